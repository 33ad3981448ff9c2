// The real window on the offscreen platform against the simulated Tolka served on a local socket: a
// server that goes away is a removal, and a new server on the same path is an arrival.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <memory>
#include <thread>

#include "panel/control_table.h"
#include "panel/main_window.h"
#include "sim/sim_server.h"
#include "sim/tolka_sim.h"

namespace qv7::panel {
namespace {

constexpr int kWaitMs = 20000;  // generous: only a failing test waits this long

// qv7-sim --listen PATH in a thread; going out of scope closes the link and removes the socket file.
class Server {
public:
    explicit Server(const std::string& path)
        : thread_([this, path] {
              sim::TolkaSim device(sim::defaultConfig());
              sim::ServerOptions options;
              options.path = path;
              sim::serveSocket(device, options, stop_);
          }) {}
    ~Server() {
        stop_ = true;
        thread_.join();
    }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

TEST(SocketDevice, AServerThatGoesIsARemovalAndANewOneAnArrival) {
    QTemporaryDir dir;
    const QString file = dir.filePath("tolka");
    const std::string path = file.toStdString();
    auto server = std::make_unique<Server>(path);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(file); }, kWaitMs));

    CBrontalDlg window(std::make_unique<SocketProvider>(path), [](std::string_view) {});
    window.show();
    const PanelController& c = window.controller();
    ASSERT_TRUE(QTest::qWaitFor([&] { return c.enabled(kMonitorVolSliderId); }, kWaitMs));

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        server.reset();
        EXPECT_TRUE(QTest::qWaitFor([&] { return c.text(kStatusLabelId) == kStatusNoDevice; }, kWaitMs));
        EXPECT_FALSE(c.enabled(kMonitorVolSliderId));

        server = std::make_unique<Server>(path);
        EXPECT_TRUE(QTest::qWaitFor([&] { return c.enabled(kMonitorVolSliderId); }, kWaitMs));
        EXPECT_EQ(c.text(kStatusLabelId), kStatusConnected);
    }
    window.close();
}

}  // namespace
}  // namespace qv7::panel
