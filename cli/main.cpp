// qv7ctl: the Tolka from the command line.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>

#include "cli/commands.h"

namespace {

using qv7::cli::Args;
using qv7::cli::Options;

void usage(FILE* to) {
    std::fputs(
        "usage: qv7ctl [--device DEV] [--json] [--timeout SEC] [--trace] COMMAND [ARGS]\n"
        "\n"
        "devices: sim (the simulated Tolka), sim:VERSION (with that firmware), unix:PATH (a device on a local socket)\n"
        "\n"
        "commands:\n"
        "  info                      identity, chip serial, battery and quick-key names\n"
        "  get                       every sound setting as NAME=VALUE (or --json)\n"
        "  set NAME=VALUE...         change settings, e.g. set micVol=5 eqGain[6]=30 erfan=1 mix=1\n"
        "  firmware write FILE       write a firmware image to the device\n"
        "\n"
        "exit codes: 0 done, 1 the device refused, 2 bad arguments or value, 3 no device,\n"
        "            4 no answer, 5 the device went away\n",
        to);
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (const char* env = std::getenv("QV7_DEVICE")) o.device = env;
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        const std::string a = argv[i];
        if (a == "--json") o.json = true;
        else if (a == "--trace") o.trace = true;
        else if (a == "--help" || a == "-h") {
            usage(stdout);
            return 0;
        } else if ((a == "--device" || a == "--timeout") && i + 1 < argc) {
            const std::string v = argv[++i];
            if (a == "--device") {
                o.device = v;
            } else {
                char* end = nullptr;
                const long t = std::strtol(v.c_str(), &end, 10);
                if (end == v.c_str() || *end != '\0' || t < 1 || t > 3600) {
                    std::fprintf(stderr, "qv7ctl: --timeout needs seconds from 1 to 3600, got '%s'\n", v.c_str());
                    return qv7::cli::kUsage;
                }
                o.timeoutSec = static_cast<int>(t);
            }
        } else {
            std::fprintf(stderr, "qv7ctl: unknown or incomplete option '%s'\n", a.c_str());
            usage(stderr);
            return qv7::cli::kUsage;
        }
    }
    if (i >= argc) {
        usage(stderr);
        return qv7::cli::kUsage;
    }
    std::string command = argv[i++];
    if (command == "firmware" && i < argc) command += std::string(" ") + argv[i++];
    // --json and --trace may also follow the command.
    Args args;
    for (; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--json") o.json = true;
        else if (a == "--trace") o.trace = true;
        else args.push_back(a);
    }

    const std::map<std::string, std::function<int(const Options&, const Args&)>> commands = {
        {"info", qv7::cli::cmdInfo},
        {"get", qv7::cli::cmdGet},
        {"set", qv7::cli::cmdSet},
        {"firmware write", qv7::cli::cmdFirmwareWrite},
    };
    const auto it = commands.find(command);
    if (it == commands.end()) {
        std::fprintf(stderr, "qv7ctl: unknown command '%s'\n", command.c_str());
        usage(stderr);
        return qv7::cli::kUsage;
    }
    return it->second(o, args);
}
