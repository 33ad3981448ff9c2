// The floor for bench/startup.sh: a Qt Widgets window with one label that renders once and ends the
// way `qv7-panel --screenshot FILE` does, by grabbing itself into FILE from the event loop.
// usage: bare_window --screenshot=FILE
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
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--screenshot=", 13) == 0) file = argv[i] + 13;
    if (!file || !*file) {
        std::fputs("usage: bare_window --screenshot=FILE\n", stderr);
        return 2;
    }
    QApplication app(argc, argv);
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(QStringLiteral("A bare Qt window"), &window));
    window.show();
    QTimer::singleShot(0, &window, [&window, file] {
        const bool saved = window.grab().save(QString::fromLocal8Bit(file));
        QCoreApplication::exit(saved ? 0 : 1);
    });
    return app.exec();
}
