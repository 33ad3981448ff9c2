// qv7ctl: the Tolka from the command line.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <vector>

#include "cli/commands.h"
#include "cli/panel_handover.h"
#include "cli/tolka_cli.h"
#include "cli/udev_rules_file.h"

namespace {

using qv7::cli::Args;
using qv7::cli::Options;

struct Command {
    const char* name;
    std::function<int(const Options&, const Args&)> run;
    const char* synopsis;
    const char* help;
};

const std::vector<Command>& commands() {
    static const std::vector<Command> table = {
        {"list", [](const Options& o, const Args&) { return qv7::hid::cliList(std::cout, o.json); }, "list",
         "Every Tolka attached, one per line: its hidraw path and serial number (--json for scripts).\n"
         "Prints nothing and exits 3 when there is none."},
        {"watch",
         [](const Options& o, const Args&) {
             qv7::hid::WatchOptions w;
             w.json = o.json;
             return qv7::hid::cliWatch(std::cout, std::cerr, w);
         },
         "watch", "Prints the arrival and removal of Tolkas as they happen, until interrupted."},
        {"info", qv7::cli::cmdInfo, "info", "Identity strings, chip serial, quick-key names and battery voltage."},
        {"get", qv7::cli::cmdGet, "get",
         "The 30 parameters and 7 advanced settings as NAME=VALUE lines; with --json an object\n"
         "{\"parameters\": {...}, \"advanced\": {...}} keyed by the field names, eqGain an array."},
        {"set", qv7::cli::cmdSet, "set NAME=VALUE...",
         "Changes settings by name (see get), e.g. set micVol=5 'eqGain[6]=30' erfan=1.\n"
         "All changes to one record go out as one command. A value the device would refuse is\n"
         "refused before anything is sent (exit 2), naming the field and its valid range."},
        {"mix", qv7::cli::cmdMix, "mix on|off", "Switches the stereo mix."},
        {"charge", qv7::cli::cmdCharge, "charge on|off", "Switches charging."},
        {"key", qv7::cli::cmdKey, "key N",
         "Selects quick key N (0, 1 or 2): the device loads the preset stored in it."},
        {"preset list", qv7::cli::cmdPresetList, "preset list",
         "Every preset of the library the panel keeps (para.bin): index, name, built-in or user."},
        {"preset show", qv7::cli::cmdPresetShow, "preset show NAME|INDEX", "A preset's 30 settings."},
        {"preset apply", qv7::cli::cmdPresetApply, "preset apply NAME|INDEX",
         "Sends a preset to the device as the panel's \"使用效果\" does: checked for the device's firmware,\n"
         "with the device's own accompany, auto_poweroff and auto_poweroff_time kept."},
        {"preset save", qv7::cli::cmdPresetSave, "preset save NAME",
         "Saves the device's current settings as a user preset (a name of at most 10 GBK bytes)."},
        {"preset delete", qv7::cli::cmdPresetDelete, "preset delete NAME|INDEX", "Deletes a user preset."},
        {"preset export", qv7::cli::cmdPresetExport, "preset export [NAME|INDEX...] FILE",
         "Writes presets to FILE as JSON (docs/preset-format.md), '-' for standard output: the ones\n"
         "named, built-in ones too, or else every user preset. A regular file (or the one a symbolic link\n"
         "leads to) is replaced atomically; a FIFO, a terminal or /dev/stdout is written in place; a\n"
         "directory, a block device or a socket is refused."},
        {"preset import", qv7::cli::cmdPresetImport, "preset import [--replace] FILE",
         "Adds the presets of a JSON file ('-' for standard input) as user presets. Every field and name\n"
         "is checked first and para.bin is written once, or not at all. A name a user preset already\n"
         "has is refused unless --replace, which overwrites that preset."},
        {"key store", qv7::cli::cmdKeyStore, "key store N NAME|INDEX",
         "Stores a preset, under its name, in quick key N (0, 1 or 2) of the device."},
        {"firmware write", qv7::cli::cmdFirmwareWrite, "firmware write FILE",
         "Writes a firmware image (1 to 196,608 bytes) to the device, with a progress bar on a terminal.\n"
         "A transfer that keeps moving is never cut off; --timeout seconds without progress end it (exit 3)."},
        {"firmware check", qv7::cli::cmdFirmwareCheck, "firmware check",
         "Asks the version-check service whether newer firmware exists for the device and prints the\n"
         "offer (--json for scripts). QV7_CHECK_HOST (host[:port] for http, or https://host[:port])\n"
         "points it at another server."},
        {"firmware update", qv7::cli::cmdFirmwareUpdate, "firmware update [--yes]",
         "Asks the service, downloads and verifies the offered image, asks before writing (unless\n"
         "--yes) and writes it to the device with a progress bar."},
        {"trace check", qv7::cli::cmdTraceCheck, "trace check FILE",
         "Reads a recording (--record) and prints every anomaly with its line: framing, checksums,\n"
         "sequence numbers, the handshake's order, replies that answer no request, parameter reports\n"
         "out of range. Exits 1 when there is any, 0 when there is none."},
    };
    return table;
}

void usage(FILE* to) {
    std::fputs(
        "usage: qv7ctl [--device DEV] [--timeout SEC] [--json] [--yes] [--trace] [--record FILE [--record-raw]]\n"
        "              COMMAND [ARGS]\n"
        "       qv7ctl --help | --version | --print-udev-rules\n\n",
        to);
    std::fputs("devices: the first Tolka found (default), a hidraw path (/dev/hidrawN), sim (the simulated Tolka),\n"
               "         sim:VERSION (with that firmware), unix:PATH (a device on a local socket);\n"
               "         QV7_DEVICE sets the default\n\ncommands:\n",
               to);
    for (const auto& c : commands()) std::fprintf(to, "  %s\n", c.synopsis);
    std::fputs("\nqv7ctl COMMAND --help tells more. --timeout (default 5 s) bounds each wait for the device\n"
               "and the version-check service; a firmware write is bounded by time without progress.\n"
               "exit codes: 0 done, 1 the device refused or failed, 2 bad usage or value (nothing sent),\n"
               "            3 no device or no answer, 4 another program holds the Tolka\n"
               "set, get, key, key store, info, mix, charge, preset apply and preset save go through a running\n"
               "panel that holds the Tolka; preset list, show, delete and import through any running panel.\n"
               "--record FILE writes every report both ways to FILE (serial numbers masked unless --record-raw;\n"
               "qv7-sim --replay FILE plays it back, trace check FILE checks it; docs/reporting.md).\n"
               "--print-udev-rules prints the udev rule that lets the user at the seat open the Tolka\n"
               "(for /etc/udev/rules.d/70-qv7.rules) and exits.\n",
               to);
}

// The command's own exit code, unless what it printed did not all reach standard output: a script reading it
// must not take a cut report for a whole one. A failure the command already reported keeps its own code.
int outputChecked(int rc) {
    std::cout.flush();
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    const int err = errno;
    if (flushed && !std::ferror(stdout) && std::cout.good()) return rc;
    if (err != 0) std::fprintf(stderr, "qv7ctl: cannot write to standard output: %s\n", std::strerror(err));
    else std::fprintf(stderr, "qv7ctl: cannot write to standard output\n");
    return rc == qv7::cli::kOk ? qv7::cli::kFailed : rc;
}

int run(int argc, char** argv) {
    Options o;
    if (const char* env = std::getenv("QV7_DEVICE")) o.device = env;
    std::vector<std::string> words;
    bool help = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--json") o.json = true;
        else if (a == "--trace") o.trace = true;
        else if (a == "--yes" || a == "-y") o.yes = true;
        else if (a == "--record-raw") o.recordRaw = true;
        else if (a == "--help" || a == "-h") help = true;
        else if (a == "--version") {
            std::printf("qv7ctl %s\n", QV7_VERSION);
            return qv7::cli::kOk;
        } else if (a == "--print-udev-rules") {
            std::fwrite(qv7::cli::kUdevRulesFile, 1, qv7::cli::kUdevRulesFileSize, stdout);
            return qv7::cli::kOk;
        } else if (a == "--device" || a == "--timeout" || a == "--record") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "qv7ctl: %s needs a value\n", a.c_str());
                return qv7::cli::kUsage;
            }
            const std::string v = argv[++i];
            if (a == "--device") {
                o.device = v;
                continue;
            }
            if (a == "--record") {
                o.record = v;
                continue;
            }
            char* end = nullptr;
            const long t = std::strtol(v.c_str(), &end, 10);
            if (end == v.c_str() || *end != '\0' || t < 1 || t > 3600) {
                std::fprintf(stderr, "qv7ctl: --timeout needs seconds from 1 to 3600, got '%s'\n", v.c_str());
                return qv7::cli::kUsage;
            }
            o.timeoutSec = static_cast<int>(t);
        } else if (a.size() > 1 && a[0] == '-' && words.empty()) {
            std::fprintf(stderr, "qv7ctl: unknown option '%s'\n", a.c_str());
            usage(stderr);
            return qv7::cli::kUsage;
        } else {
            words.push_back(a);
        }
    }
    if (words.empty()) {
        usage(help ? stdout : stderr);
        return help ? qv7::cli::kOk : qv7::cli::kUsage;
    }
    // Two-word commands ("firmware write") take precedence over one-word ones.
    const Command* found = nullptr;
    std::size_t used = 0;
    for (const auto& c : commands()) {
        const std::string name = c.name;
        if (words.size() >= 2 && name == words[0] + " " + words[1]) found = &c, used = 2;
        else if (!found && name == words[0]) found = &c, used = 1;
    }
    if (!found) {
        std::fprintf(stderr, "qv7ctl: unknown command '%s'\n", words[0].c_str());
        usage(stderr);
        return qv7::cli::kUsage;
    }
    if (help) {
        std::printf("usage: qv7ctl [options] %s\n\n%s\n", found->synopsis, found->help);
        return qv7::cli::kOk;
    }
    // Held until the command ends (the process's end drops it too, however it ends).
    qv7::DeviceLock lock;
    if (qv7::cli::usesDevice(found->name)) {
        if (const auto code = qv7::cli::takeDeviceOrHandOver(o, found->name, words, lock)) {
            if (!o.record.empty())
                std::fputs("qv7ctl: nothing was recorded: another program holds the Tolka (a panel started with "
                           "--record records its own conversation)\n",
                           stderr);
            return *code;
        }
    }
    return found->run(o, Args(words.begin() + static_cast<std::ptrdiff_t>(used), words.end()));
}

}  // namespace

int main(int argc, char** argv) { return outputChecked(run(argc, argv)); }
