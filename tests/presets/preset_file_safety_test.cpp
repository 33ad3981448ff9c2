// para.bin that cannot be loaded whole, stale temporary files and odd file types: the user's presets are never lost.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <regex>

#include "common/atomic_file.h"
#include "files.h"
#include "hex.h"
#include "params/preset_file.h"
#include "preset_records.h"
#include "presets/preset_library.h"
#include "temp_dir.h"

namespace qv7 {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::TempDir;
using Msg = HeadlessPresetUi::Message;

Bytes records(std::initializer_list<std::string_view> names) {
    Bytes all;
    for (auto n : names) {
        const auto r = test::handRecord(test::singingDefault(), n);
        all.insert(all.end(), r.begin(), r.end());
    }
    return all;
}

Bytes numberedRecords(std::size_t n) {
    Bytes all;
    for (std::size_t i = 0; i < n; ++i) {
        const auto r = test::handRecord(test::singingDefault(), "u" + std::to_string(i));
        all.insert(all.end(), r.begin(), r.end());
    }
    return all;
}

bool contains(const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; }

// Every "para.bin.damaged-..." beside the file, sorted.
std::vector<fs::path> keptCopies(const fs::path& dir) {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().starts_with("para.bin.damaged-")) out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::string> fileNames(const fs::path& file) {
    std::vector<std::string> out;
    if (const auto b = test::readFile(file))
        for (const auto& e : decodeUserPresets(*b)) out.push_back(e.nameBytes());
    return out;
}

std::vector<std::string> userItems(const HeadlessPresetUi& ui) {
    return {ui.items.begin() + std::min<std::ptrdiff_t>(62, static_cast<std::ptrdiff_t>(ui.items.size())),
            ui.items.end()};
}

class PresetFileSafety : public ::testing::Test {
protected:
    fs::path file() const { return dir / "para.bin"; }
    TempDir dir;
    HeadlessPresetUi ui;
    PresetLibrary lib{ui, dir / "para.bin", [](std::string_view) {}};
};

struct DamageCase {
    const char* what;
    Bytes file;
    std::vector<std::string> listed;  // what the load rules list
    std::string reason;               // part of the notice
};

// The load rules still decide what is listed; what they leave out is announced, and the first save
// keeps the file as it was under a dated name before replacing it.
TEST_F(PresetFileSafety, FileNotLoadedWholeIsAnnouncedAndKeptBeforeTheFirstSave) {
    Bytes stray = records({"one", "two"});
    stray.push_back(0x00);
    Bytes tail = records({"one", "two"});
    tail.resize(250);
    const DamageCase cases[] = {
        {"one stray byte", stray, {}, "201 字节，不是 100 的整数倍"},
        {"truncated tail", tail, {}, "250 字节，不是 100 的整数倍"},
        {"139 records", numberedRecords(139), {}, "超过 138 条的上限"},
        {"bad checksum in record 2",
         test::cat({test::handRecord(test::singingDefault(), "one"), test::handRecord(test::singingDefault(), "two", 3),
                    test::handRecord(test::singingDefault(), "three")}),
         {"one", "three"},
         "第2条（校验和错误）"},
        {"bad header in record 1",
         [] {
             auto r = test::handRecord(test::singingDefault(), "one");
             r[1] = 0x14;
             r[99] = static_cast<uint8_t>(r[99] + 10);
             return test::cat({r, records({"two"})});
         }(),
         {"two"},
         "第1条（记录头错误）"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir d;
        const fs::path para = d / "para.bin";
        test::writeFile(para, c.file);
        HeadlessPresetUi u;
        PresetLibrary l(u, para, [](std::string_view) {});
        l.InitPresetLibrary();

        EXPECT_EQ(userItems(u), c.listed);
        ASSERT_EQ(u.messages.size(), 1u) << "the load says what it left out";
        EXPECT_EQ(u.messages[0].caption, "提示");
        EXPECT_TRUE(contains(u.messages[0].text, para.string())) << u.messages[0].text;
        EXPECT_TRUE(contains(u.messages[0].text, c.reason)) << u.messages[0].text;
        EXPECT_EQ(test::readFile(para), c.file) << "loading changes nothing";

        u.messages.clear();
        ASSERT_EQ(l.savePreset("new", ParameterSet{}), SaveOutcome::Saved);
        const auto kept = keptCopies(d.path());
        ASSERT_EQ(kept.size(), 1u) << "the file as it was is kept beside it";
        EXPECT_EQ(test::readFile(kept[0]), c.file);
        EXPECT_TRUE(std::regex_match(kept[0].filename().string(), std::regex(R"(para\.bin\.damaged-\d{8}-\d{6})")))
            << kept[0];
        ASSERT_EQ(u.messages.size(), 1u);
        EXPECT_EQ(u.messages[0].caption, "提示");
        EXPECT_TRUE(contains(u.messages[0].text, kept[0].string())) << "says where: " << u.messages[0].text;
        auto expected = c.listed;
        expected.push_back("new");
        EXPECT_EQ(fileNames(para), expected);

        // Once kept, later saves replace the file as usual.
        u.messages.clear();
        ASSERT_EQ(l.savePreset("newer", ParameterSet{}), SaveOutcome::Saved);
        EXPECT_TRUE(u.messages.empty());
        EXPECT_EQ(keptCopies(d.path()).size(), 1u);
    }
}

TEST_F(PresetFileSafety, WholeFilesAndEmptyFilesSayNothingAndKeepNoCopy) {
    for (const Bytes& content : {records({"one", "two"}), Bytes{}}) {
        test::writeFile(file(), content);
        lib.InitPresetLibrary();
        ASSERT_EQ(lib.savePreset("new", ParameterSet{}), SaveOutcome::Saved);
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_TRUE(keptCopies(dir.path()).empty());
    }
}

TEST_F(PresetFileSafety, DeletingOverADamagedFileKeepsItFirst) {
    const Bytes bad = test::handRecord(test::singingDefault(), "bad", 1);
    const struct {
        const char* what;
        Bytes original;
        int remove;
        std::vector<std::string> left;  // in the file afterwards; empty: no file
    } cases[] = {{"one of two listed", test::cat({records({"one"}), bad, records({"three"})}), 62, {"three"}},
                 {"the only listed one", test::cat({records({"one"}), bad}), 62, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir d;
        const fs::path para = d / "para.bin";
        const Bytes& original = c.original;
        test::writeFile(para, original);
        HeadlessPresetUi u;
        PresetLibrary l(u, para, [](std::string_view) {});
        l.InitPresetLibrary();
        u.messages.clear();
        EXPECT_TRUE(l.removeUserPreset(c.remove));
        const auto kept = keptCopies(d.path());
        ASSERT_EQ(kept.size(), 1u);
        EXPECT_EQ(test::readFile(kept[0]), original);
        ASSERT_EQ(u.messages.size(), 1u);
        EXPECT_TRUE(contains(u.messages[0].text, kept[0].string())) << u.messages[0].text;
        if (c.left.empty()) EXPECT_FALSE(fs::exists(para));
        else EXPECT_EQ(fileNames(para), c.left);
    }
}

TEST_F(PresetFileSafety, AKeptCopyIsNeverOverwritten) {
    Bytes damaged = records({"one"});
    damaged.push_back(7);
    test::writeFile(file(), damaged);
    // Two saves in the same second over two damaged files: the second copy takes another name.
    lib.setClock([] { return std::time_t{1765378862}; });
    lib.InitPresetLibrary();
    ASSERT_EQ(lib.savePreset("a", ParameterSet{}), SaveOutcome::Saved);
    const auto first = keptCopies(dir.path());
    ASSERT_EQ(first.size(), 1u);

    Bytes damaged2 = records({"x"});
    damaged2.resize(150);
    test::writeFile(file(), damaged2);
    lib.InitPresetLibrary();
    ASSERT_EQ(lib.savePreset("b", ParameterSet{}), SaveOutcome::Saved);
    const auto both = keptCopies(dir.path());
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(test::readFile(first[0]), damaged);
    const auto second = both[0] == first[0] ? both[1] : both[0];
    EXPECT_EQ(test::readFile(second), damaged2);
}

TEST_F(PresetFileSafety, AFifoOrDeviceNodeNeverBlocksTheLoadAndIsNotLostEither) {
    const struct {
        const char* what;
        std::function<void(const fs::path&)> make;
    } cases[] = {
        {"fifo", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0); }},
        {"symlink to /dev/zero", [](const fs::path& p) { fs::create_symlink("/dev/zero", p); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir d;
        const fs::path para = d / "para.bin";
        c.make(para);
        // In a child with an alarm, so a blocking open fails the test instead of hanging it.
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::alarm(10);
            HeadlessPresetUi u;
            PresetLibrary l(u, para, [](std::string_view) {});
            l.InitPresetLibrary();
            const bool told = l.count() == 62 && u.messages.size() == 1 && contains(u.messages[0].text, "不是普通文件");
            if (!told) ::_exit(1);
            // Kept aside like any file not loaded whole; the new file does not take over its mode.
            struct stat st {};
            const bool saved = l.savePreset("x", ParameterSet{}) == SaveOutcome::Saved &&
                               keptCopies(d.path()).size() == 1 && ::lstat(para.c_str(), &st) == 0 &&
                               S_ISREG(st.st_mode) && (st.st_mode & 07777) == 0644;
            ::_exit(saved ? 0 : 2);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status) << " (blocked)";
        EXPECT_NE(WEXITSTATUS(status), 1) << "lists the built-ins and says the file is not a regular file";
        EXPECT_NE(WEXITSTATUS(status), 2) << "keeps it aside and saves a regular 0644 file";
    }
}

TEST_F(PresetFileSafety, ADirectoryNamedParaBinIsNoPresetFile) {
    fs::create_directories(file() / "keep");
    lib.InitPresetLibrary();
    EXPECT_EQ(lib.count(), 62);
    EXPECT_TRUE(ui.messages.empty());
}

// Runs `body` in a child as the unprivileged user nobody; its result comes back through a pipe.
// Nothing when this process cannot change users (not root).
std::optional<std::string> asNobody(const std::function<std::string()>& body) {
    if (::geteuid() != 0) return std::nullopt;
    int fds[2];
    if (::pipe(fds) != 0) return std::nullopt;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        std::string out = "cannot become nobody";
        if (::setgid(65534) == 0 && ::setuid(65534) == 0) out = body();
        (void)!::write(fds[1], out.data(), out.size());
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string out;
    char buf[4096];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<std::size_t>(n));
    ::close(fds[0]);
    ::waitpid(child, nullptr, 0);
    return out;
}

// A file the user cannot read is never replaced blindly: it is kept beside the new one when the
// system allows a link to it, and otherwise the save is refused with the reason.
TEST_F(PresetFileSafety, UnreadableFileIsKeptOrTheSaveIsRefused) {
    const Bytes original = records({"one", "two"});
    test::writeFile(file(), original);
    const bool root = ::geteuid() == 0;
    if (root) {
        // Another user's file in our own directory, as after one run with sudo.
        ASSERT_EQ(::chown(dir.path().c_str(), 65534, 65534), 0);
        ASSERT_EQ(::chmod(file().c_str(), 0600), 0);
    } else {
        ASSERT_EQ(::chmod(file().c_str(), 0000), 0);
    }
    auto run = [&]() -> std::string {
        HeadlessPresetUi u;
        PresetLibrary l(u, file(), [](std::string_view) {});
        l.InitPresetLibrary();
        std::string out = "listed=" + std::to_string(l.count() - 62) + "\n";
        for (const auto& m : u.messages) out += "load|" + m.caption + "|" + m.text + "\n";
        u.messages.clear();
        const auto r = l.savePreset("new", ParameterSet{});
        out += "saved=" + std::to_string(r == SaveOutcome::Saved) + "\n";
        for (const auto& m : u.messages) out += "save|" + m.caption + "|" + m.text + "\n";
        return out;
    };
    const std::string out = root ? asNobody(run).value() : run();
    SCOPED_TRACE(out);
    EXPECT_TRUE(contains(out, "listed=0\n"));
    EXPECT_TRUE(contains(out, "load|提示|")) << "the load says the file could not be read";
    EXPECT_TRUE(contains(out, "Permission denied"));
    std::ifstream hardlinks("/proc/sys/fs/protected_hardlinks");
    int protectedLinks = 1;
    hardlinks >> protectedLinks;
    const auto kept = keptCopies(dir.path());
    if (root && protectedLinks != 0) {
        // Neither a link nor a copy of another user's unreadable file is possible: refuse.
        EXPECT_TRUE(contains(out, "saved=0\n"));
        EXPECT_TRUE(contains(out, "save|Error|"));
        EXPECT_TRUE(kept.empty());
        EXPECT_EQ(test::readFile(file()), original) << "the file is exactly as it was";
    } else {
        EXPECT_TRUE(contains(out, "saved=1\n"));
        ASSERT_EQ(kept.size(), 1u);
        EXPECT_TRUE(contains(out, kept[0].string()));
        ::chmod(kept[0].c_str(), 0600);
        EXPECT_EQ(test::readFile(kept[0]), original);
    }
}

// ---- a save killed half-way ----

TEST_F(PresetFileSafety, StaleTemporaryFilesOfAKilledSaveGoAtTheNextStart) {
    test::writeFile(file(), records({"one"}));
    test::writeFile(dir / ".para.bin.Ab12Z9", records({"half"}));  // left by a killed save
    test::writeFile(dir / ".para.bin.xY7kQ2", {});
    // Not ours, or not a leftover: all of these stay.
    test::writeFile(dir / ".para.bin.abc", {});  // not the temporary pattern
    test::writeFile(dir / ".para.bin.Ab12Z9x", {});
    test::writeFile(dir / ".TolkaPanel.ini.Ab12Z9", {});  // another file's
    test::writeFile(dir / "precious", records({"mine"}));
    fs::create_symlink(dir / "precious", dir / ".para.bin.Sym123");  // only regular files go
    fs::create_directory(dir / ".para.bin.Dir123");
    test::writeFile(dir / ".para.bin.Live12", {});  // a save in progress in another program holds its lock
    const int live = ::open((dir / ".para.bin.Live12").c_str(), O_RDONLY);
    ASSERT_GE(live, 0);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);

    lib.InitPresetLibrary();
    ::close(live);

    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(dir.path())) left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{".TolkaPanel.ini.Ab12Z9", ".para.bin.Ab12Z9x", ".para.bin.Dir123",
                                              ".para.bin.Live12", ".para.bin.Sym123", ".para.bin.abc", "para.bin",
                                              "precious"}));
    EXPECT_EQ(fileNames(dir / "precious"), std::vector<std::string>{"mine"});
    EXPECT_EQ(lib.count(), 63);
    EXPECT_TRUE(ui.messages.empty());
}

// A program starting while another one saves must not take the live save's temporary file for a leftover.
TEST_F(PresetFileSafety, StartUpCleanUpNeverBreaksASaveInProgress) {
    const Bytes content = numberedRecords(138);
    const pid_t cleaner = ::fork();
    ASSERT_GE(cleaner, 0);
    if (cleaner == 0) {
        for (;;) removeStaleTemporaryFiles(file());
    }
    int failures = 0;
    std::string firstError;
    for (int i = 0; i < 100; ++i) {
        const auto r = writeFileAtomically(file(), content);
        if (!r && failures++ == 0) firstError = r.error;
    }
    ::kill(cleaner, SIGKILL);
    ::waitpid(cleaner, nullptr, 0);
    EXPECT_EQ(failures, 0) << firstError;
    EXPECT_EQ(test::readFile(file()), content);
}

// ---- a write that fails is never reported as done ----

TEST_F(PresetFileSafety, DeleteThatCannotWriteReportsFailureAndKeepsTheFile) {
    const Bytes original = records({"one", "two", "three"});
    test::writeFile(file(), original);
    lib.InitPresetLibrary();
    bool removed = true;
    {
        test::FileSizeLimit limit(50);
        removed = lib.removeUserPreset(63);
    }
    EXPECT_FALSE(removed);
    EXPECT_EQ(ui.messages, (std::vector<Msg>{{"写失败！！", "Error"}}));
    EXPECT_EQ(test::readFile(file()), original);
    EXPECT_EQ(lib.count(), 64) << "the library keeps the change";
    EXPECT_TRUE(contains(lib.lastFileError(), "para.bin")) << lib.lastFileError();
}

}  // namespace
}  // namespace qv7
