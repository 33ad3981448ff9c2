// The single-instance rule with two real qv7-panel processes.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

namespace {

QProcess* startPanel(const QTemporaryDir& runtime, QObject* parent) {
    auto* p = new QProcess(parent);
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    p->setProcessEnvironment(env);
    p->start(QStringLiteral(QV7_PANEL_EXE), {"--simulate"});
    return p;
}

TEST(PanelProgram, SecondStartHandsOverToTheFirstAndExits) {
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    QObject owner;
    QProcess* first = startPanel(runtime, &owner);
    ASSERT_TRUE(first->waitForStarted());
    const QString socket = runtime.filePath(QFileInfo(QStringLiteral(QV7_PANEL_EXE)).completeBaseName());
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(socket); }, 20000)) << "the first copy never listened";

    QProcess* second = startPanel(runtime, &owner);
    ASSERT_TRUE(second->waitForFinished(20000));
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_FALSE(second->readAllStandardError().contains("running on")) << "the second copy opened no device";
    EXPECT_EQ(first->state(), QProcess::Running);

    first->terminate();
    if (!first->waitForFinished(5000)) first->kill();
    first->waitForFinished(5000);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
