// The floor for bench/startup.sh: a Qt Widgets window with one label that renders once and ends the
// way `qv7-panel --screenshot FILE` does, by grabbing itself into FILE from the event loop. With --chinese the label
// is Chinese, so the window pays the CJK font's load as any window showing Chinese does.
// usage: bare_window --screenshot=FILE [--chinese]
#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    const char* file = nullptr;
    bool chinese = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--screenshot=", 13) == 0) file = argv[i] + 13;
        if (std::strcmp(argv[i], "--chinese") == 0) chinese = true;
    }
    if (!file || !*file) {
        std::fputs("usage: bare_window --screenshot=FILE [--chinese]\n", stderr);
        return 2;
    }
    QApplication app(argc, argv);
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(
        new QLabel(chinese ? QStringLiteral("一个空的Qt窗口") : QStringLiteral("A bare Qt window"), &window));
    window.show();
    QTimer::singleShot(0, &window, [&window, file] {
        const bool saved = window.grab().save(QString::fromLocal8Bit(file));
        QCoreApplication::exit(saved ? 0 : 1);
    });
    return app.exec();
}
