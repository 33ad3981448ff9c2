// The single-instance rule with real qv7-panel processes: started together, one after another, after a crash.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

namespace {

// What the running copy writes on standard error each time a later start hands over to it.
constexpr char kForwardedLine[] = "qv7-panel: brought forward by a later start";
constexpr int kBound = 60000;  // only bounds a hang

std::unique_ptr<QProcess> startPanel(const QTemporaryDir& runtime) {
    auto p = std::make_unique<QProcess>();
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    p->setProcessEnvironment(env);
    p->start(QStringLiteral(QV7_PANEL_EXE), {"--simulate"});
    return p;
}

QString socketIn(const QTemporaryDir& runtime) {
    return runtime.filePath(QFileInfo(QStringLiteral(QV7_PANEL_EXE)).completeBaseName());
}

// Standard error read so far; QProcess only fills its buffer while events are processed.
struct Copy {
    std::unique_ptr<QProcess> process;
    QByteArray err;
    int forwardedTo() {
        err += process->readAllStandardError();
        return static_cast<int>(err.count(kForwardedLine));
    }
};

void stop(QProcess& p) {
    if (p.state() == QProcess::NotRunning) return;
    p.terminate();
    if (!p.waitForFinished(10000)) p.kill();
    p.waitForFinished(10000);
}

TEST(PanelProgram, SecondStartHandsOverToTheFirstAndExits) {
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    Copy first{startPanel(runtime), {}};
    ASSERT_TRUE(first.process->waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(socketIn(runtime)); }, kBound))
        << "the first copy never listened";

    auto second = startPanel(runtime);
    ASSERT_TRUE(second->waitForFinished(kBound));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_FALSE(second->readAllStandardError().contains("running on")) << "the second copy opened no device";
    EXPECT_TRUE(QTest::qWaitFor([&] { return first.forwardedTo() == 1; }, kBound)) << first.err.constData();
    EXPECT_EQ(first.process->state(), QProcess::Running);
    stop(*first.process);
}

// Starts that overlap: whoever claims the name first stays, every other start hands over to it and exits 0,
// and the one that stays hears from each of them exactly once.
TEST(PanelProgram, StartsCloseTogetherLeaveExactlyOneCopy) {
    constexpr int kRounds = 20;
    for (const int copies : {2, 5}) {
        for (int round = 0; round < kRounds; ++round) {
            SCOPED_TRACE(testing::Message() << copies << " copies, round " << round);
            QTemporaryDir runtime;
            ASSERT_TRUE(runtime.isValid());
            std::mt19937 random(static_cast<unsigned>(round * 10 + copies));
            std::vector<int> offsets(static_cast<std::size_t>(copies));
            for (int& ms : offsets) ms = std::uniform_int_distribution<int>(0, 50)(random);
            std::sort(offsets.begin(), offsets.end());

            std::vector<Copy> started;
            int at = 0;
            for (const int ms : offsets) {
                QThread::msleep(static_cast<unsigned long>(ms - at));
                at = ms;
                started.push_back({startPanel(runtime), {}});
            }
            auto running = [&] {
                return std::count_if(started.begin(), started.end(),
                                     [](const Copy& c) { return c.process->state() != QProcess::NotRunning; });
            };
            EXPECT_TRUE(QTest::qWaitFor([&] { return running() <= 1; }, kBound)) << running() << " still running";
            ASSERT_EQ(running(), 1);
            for (Copy& c : started) {
                if (c.process->state() != QProcess::NotRunning) continue;
                EXPECT_EQ(c.process->exitStatus(), QProcess::NormalExit);
                EXPECT_EQ(c.process->exitCode(), 0) << c.process->readAllStandardError().constData();
            }
            Copy& survivor = *std::find_if(started.begin(), started.end(),
                                           [](const Copy& c) { return c.process->state() != QProcess::NotRunning; });
            EXPECT_TRUE(QTest::qWaitFor([&] { return survivor.forwardedTo() >= copies - 1; }, kBound));
            // Anything late would have arrived by the time a fresh start is answered.
            Copy probe{startPanel(runtime), {}};
            ASSERT_TRUE(probe.process->waitForFinished(kBound));
            EXPECT_EQ(probe.process->exitCode(), 0);
            EXPECT_TRUE(QTest::qWaitFor([&] { return survivor.forwardedTo() >= copies; }, kBound));
            EXPECT_EQ(survivor.forwardedTo(), copies) << survivor.err.constData();
            for (Copy& c : started) stop(*c.process);
            if (HasFailure()) return;
        }
    }
}

// A copy killed outright leaves its socket behind; the next start takes the name over and later starts find it.
TEST(PanelProgram, SocketLeftByAKilledCopyIsTakenOver) {
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    auto killed = startPanel(runtime);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(socketIn(runtime)); }, kBound));
    killed->kill();
    ASSERT_TRUE(killed->waitForFinished(kBound));
    ASSERT_TRUE(QFileInfo::exists(socketIn(runtime))) << "SIGKILL removes nothing: the socket file stays";

    Copy next{startPanel(runtime), {}};
    // It names its device only after the claim.
    ASSERT_TRUE(QTest::qWaitFor([&] { return next.forwardedTo() == 0 && next.err.contains("running on"); }, kBound))
        << next.err.constData();
    auto later = startPanel(runtime);
    ASSERT_TRUE(later->waitForFinished(kBound));
    EXPECT_EQ(later->exitCode(), 0) << later->readAllStandardError().constData();
    EXPECT_TRUE(QTest::qWaitFor([&] { return next.forwardedTo() == 1; }, kBound)) << next.err.constData();
    EXPECT_EQ(next.process->state(), QProcess::Running);
    stop(*next.process);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
