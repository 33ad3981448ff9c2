// A Tolka whose hidraw node this user may not open, in a real window: the status line says so, and one box
// tells the fix in the words qv7ctl uses. The node is a file of mode 000 offered as a Tolka through the hid
// layer's interface list; the test runs unprivileged (access_denied_gui.sh), where open(2) refuses it.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QLabel>
#include <QMessageBox>
#include <QTest>

#include <fstream>
#include <memory>

#include "hid/access_advice.h"
#include "panel/control_table.h"
#include "panel/hid_provider.h"
#include "panel/main_window.h"
#include "temp_dir.h"

namespace qv7::panel {
namespace {

constexpr int kWaitMs = 10000;  // generous: only a failing test waits this long

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

struct Rig {
    test::TempDir dir;
    std::filesystem::path node = dir / "hidraw5";
    bool attached = true;
    CBrontalDlg* window = nullptr;
    std::unique_ptr<CBrontalDlg> owner;

    Rig() {
        std::ofstream(node) << "";
        ::chmod(node.c_str(), 0);
        auto provider = std::make_unique<HidProvider>([this](std::vector<hid::HidInterface>& out) {
            out.clear();
            if (attached) out.push_back({node.string(), hid::kTolkaVendorId, hid::kTolkaProductId, "TK1", "Tolka"});
            return true;
        });
        owner = std::make_unique<CBrontalDlg>(std::move(provider), [](std::string_view) {});
        window = owner.get();
        window->show();
    }
    std::string status() { return qobject_cast<QLabel*>(window->control(kStatusLabelId))->text().toStdString(); }
    QList<QMessageBox*> boxes() {
        QList<QMessageBox*> open;
        for (auto* b : window->findChildren<QMessageBox*>())
            if (b->isVisible()) open.append(b);
        return open;
    }
};

TEST(AccessDenied, StatusLineAndOneBoxWithTheFixPerPlugIn) {
    ASSERT_NE(::geteuid(), 0u) << "run unprivileged (access_denied_gui.sh): root opens a mode-000 node";
    Rig rig;
    EXPECT_EQ(rig.status(), std::string(kStatusNoAccess));
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.boxes().size() == 1; }, kWaitMs)) << "no advice box";
    QMessageBox* box = rig.boxes().first();
    const QString text = box->text();
    for (std::string_view part :
         {std::string_view(rig.node.native()), hid::udevRulePath(), hid::kPrintRuleCommand, hid::kReloadRulesCommand})
        EXPECT_TRUE(text.contains(qs(part))) << text.toStdString() << "\nlacks: " << part;
    box->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.boxes().isEmpty(); }, kWaitMs));

    // More notices of the same plug-in: the status stays, no second box.
    rig.window->controller().onArrival();
    rig.window->controller().onArrival();
    QTest::qWait(50);
    EXPECT_TRUE(rig.boxes().isEmpty());
    EXPECT_EQ(rig.status(), std::string(kStatusNoAccess));

    // Unplugged: no device. Plugged in again: the advice comes once more.
    rig.attached = false;
    rig.window->controller().onRemoval();
    EXPECT_EQ(rig.status(), std::string(kStatusNoDevice));
    rig.attached = true;
    rig.window->controller().onArrival();
    EXPECT_EQ(rig.status(), std::string(kStatusNoAccess));
    EXPECT_TRUE(QTest::qWaitFor([&] { return rig.boxes().size() == 1; }, kWaitMs)) << "no box after replug";
    for (auto* b : rig.boxes()) b->close();
}

}  // namespace
}  // namespace qv7::panel
