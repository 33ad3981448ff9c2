// "开机启动" in the tray menu of a real window: the entry it writes and removes, the state it reads at start
// and when the menu opens, and the message when the entry cannot be written.
#include "panel/autostart.h"

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <fstream>
#include <sstream>

#include "panel/main_window.h"
#include "panel/tray.h"
#include "sim/sim_transport.h"
#include "temp_dir.h"

namespace qv7::panel {
namespace {

constexpr int kWaitMs = 10000;  // generous: only a failing test waits this long

std::string contents(const std::filesystem::path& file) {
    std::ifstream f(file);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// XDG_CONFIG_HOME pointing into a scratch folder for as long as the test runs.
struct ConfigHome {
    test::TempDir dir;
    QByteArray before = qgetenv("XDG_CONFIG_HOME");
    ConfigHome() { qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir.string())); }
    ~ConfigHome() {
        if (before.isNull()) qunsetenv("XDG_CONFIG_HOME");
        else qputenv("XDG_CONFIG_HOME", before);
    }
    std::filesystem::path entry() const { return dir / "autostart" / "io.github.qv7panel.Qv7Panel.desktop"; }
};

struct Window {
    CBrontalDlg window{std::make_unique<SimProvider>(std::make_shared<sim::SimTransport>(sim::defaultConfig())),
                       [](std::string_view) {}};
    QAction& item() { return *window.tray()->autostartAction(); }
    QMessageBox* box() {
        QMessageBox* found = nullptr;
        (void)QTest::qWaitFor(
            [&] {
                const auto boxes = window.findChildren<QMessageBox*>();
                found = boxes.isEmpty() ? nullptr : boxes.first();
                return found != nullptr;
            },
            kWaitMs);
        return found;
    }
};

TEST(Autostart, MenuItemWritesAndRemovesTheEntry) {
    ConfigHome home;
    ASSERT_EQ(autostartFile(), home.entry());
    Window w;
    QAction& item = w.item();
    EXPECT_TRUE(item.isCheckable());
    EXPECT_EQ(item.text(), QString::fromUtf8("开机启动"));
    const auto actions = w.window.tray()->menu().actions();
    ASSERT_GE(actions.size(), 2);
    EXPECT_EQ(actions.indexOf(&item), actions.size() - 2) << "just above 关闭";
    EXPECT_FALSE(item.isChecked());

    item.trigger();
    EXPECT_TRUE(item.isChecked());
    ASSERT_TRUE(std::filesystem::exists(home.entry()));
    const std::string entry = contents(home.entry());
    // This program is no installed qv7-panel: the entry starts it by its absolute path, quoted.
    const std::string running = std::filesystem::canonical("/proc/self/exe").string();
    ASSERT_EQ(running.find_first_of("\"`$\\%"), std::string::npos) << "a build folder this check does not expect";
    EXPECT_NE(entry.find("\nExec=\"" + running + "\" --minimized\n"), std::string::npos) << entry;

    // The desktop's own checker accepts it (desktop-file-utils, scripts/packages.txt).
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    ASSERT_FALSE(validator.isEmpty()) << "desktop-file-validate is missing";
    QProcess validate;
    validate.setProcessChannelMode(QProcess::MergedChannels);
    validate.start(validator, {QString::fromStdString(home.entry().string())});
    ASSERT_TRUE(validate.waitForFinished(60000));
    EXPECT_EQ(validate.exitCode(), 0) << validate.readAll().toStdString();
    EXPECT_TRUE(validate.readAll().isEmpty()) << "no warnings either";

    item.trigger();
    EXPECT_FALSE(item.isChecked());
    EXPECT_FALSE(std::filesystem::exists(home.entry()));
    EXPECT_TRUE(w.window.findChildren<QMessageBox*>().isEmpty());
}

TEST(Autostart, ItemShowsTheFileAtStartAndWhenTheMenuOpens) {
    struct Case {
        const char* name;
        const char* text;  // null: no file
        bool checked;
    };
    const Case cases[] = {
        {"none", nullptr, false},
        {"ours", "", true},
        {"hidden", "[Desktop Entry]\nType=Application\nExec=qv7-panel --minimized\nHidden=true\n", false},
        {"gnome-off", "[Desktop Entry]\nExec=qv7-panel\nX-GNOME-Autostart-enabled = false\n", false},
        {"other-group", "[Desktop Entry]\nExec=qv7-panel\n[Desktop Action x]\nHidden=true\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConfigHome home;
        auto write = [&](const std::string& text) {
            std::filesystem::create_directories(home.entry().parent_path());
            std::ofstream(home.entry()) << text;
        };
        if (c.text) write(*c.text ? c.text : autostartEntry());
        Window w;
        EXPECT_EQ(w.item().isChecked(), c.checked) << "at start";

        // Changed behind the panel's back (the desktop's settings, a hand edit): the menu shows it when it opens.
        std::filesystem::remove(home.entry());
        emit w.window.tray()->menu().aboutToShow();
        EXPECT_FALSE(w.item().isChecked()) << "after removal";
        write(c.text && *c.text ? c.text : autostartEntry());
        emit w.window.tray()->menu().aboutToShow();
        EXPECT_EQ(w.item().isChecked(), c.text ? c.checked : true) << "after writing";
    }
}

// Which command the entry runs: the bare name only for the qv7-panel the session's PATH finds, else the running
// program's absolute path, quoted so the desktop reads it back as one argument.
TEST(Autostart, CommandIsTheBareNameOnlyForTheInstalledPanel) {
    test::TempDir dir;
    const auto bin = dir / "bin";
    const auto odd = dir / R"(my "$HOME" `x` \ 100%)";
    for (const auto& folder : {bin, dir / "build", dir / "opt", odd}) std::filesystem::create_directories(folder);
    for (const auto& file : {bin / "qv7-panel", dir / "build" / "qv7-panel", dir / "opt" / "qv7-panel",
                             bin / "qv7-panel-1.2", odd / "qv7-panel"})
        std::ofstream(file) << "program";
    const std::filesystem::path linked = dir / "linked" / "qv7-panel";
    std::filesystem::create_directories(linked.parent_path());
    std::filesystem::create_symlink(dir / "opt" / "qv7-panel", linked);
    const std::filesystem::path sessionPath[] = {dir / "none", bin, linked.parent_path()};
    const std::string d = dir.string();
    struct Case {
        const char* what;
        std::filesystem::path running;
        std::optional<std::string> command;
    };
    const Case cases[] = {
        {"installed", bin / "qv7-panel", "qv7-panel"},
        {"installed, reached through a link", linked, "qv7-panel"},
        {"linked from the session's PATH", dir / "opt" / "qv7-panel", "qv7-panel"},
        {"a build folder beside an installed one", dir / "build" / "qv7-panel", "\"" + d + "/build/qv7-panel\""},
        {"another name in the session's PATH", bin / "qv7-panel-1.2", "\"" + d + "/bin/qv7-panel-1.2\""},
        {"quoting and field codes", odd / "qv7-panel", "\"" + d + R"(/my \\"\\$HOME\\" \\`x\\` \\\\ 100%%/qv7-panel")"},
        {"a control character", dir / "a\nb" / "qv7-panel", std::nullopt},
        {"not UTF-8", dir / "\xff" / "qv7-panel", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(autostartCommand(c.running, sessionPath), c.command);
    }
    // The desktop's own checker reads the quoted one as valid.
    const auto entry = dir / "entry.desktop";
    std::ofstream(entry) << autostartEntry(*autostartCommand(odd / "qv7-panel", sessionPath));
    QProcess validate;
    validate.setProcessChannelMode(QProcess::MergedChannels);
    validate.start(QStringLiteral("desktop-file-validate"), {QString::fromStdString(entry.string())});
    ASSERT_TRUE(validate.waitForFinished(60000));
    EXPECT_EQ(validate.exitCode(), 0) << validate.readAll().toStdString();
    EXPECT_TRUE(validate.readAll().isEmpty()) << "no warnings either";
    // A path the entry cannot hold is refused with the reason, not written half right.
    const FileResult refused = setAutostart(dir / "autostart" / "x.desktop", true, dir / "a\nb" / "qv7-panel");
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.error.find("cannot be written in an autostart entry"), std::string::npos) << refused.error;
    EXPECT_FALSE(std::filesystem::exists(dir / "autostart" / "x.desktop"));
}

// A folder that cannot be written: the user hears why, and the item keeps showing the truth.
TEST(Autostart, UnwritableFolderGivesAMessage) {
    ConfigHome home;
    // A file where the autostart folder should be stops even root, unlike a folder's mode.
    std::ofstream(home.dir / "autostart") << "not a folder";
    Window w;
    w.item().trigger();
    EXPECT_FALSE(w.item().isChecked());
    QMessageBox* box = w.box();
    ASSERT_NE(box, nullptr) << "no message";
    const std::string text = box->text().toStdString();
    EXPECT_NE(text.find("无法更改开机启动"), std::string::npos) << text;
    EXPECT_NE(text.find((home.dir / "autostart").string()), std::string::npos) << text;
    EXPECT_EQ(box->windowTitle(), QString::fromUtf8("开机启动"));
    box->close();
}

}  // namespace
}  // namespace qv7::panel
