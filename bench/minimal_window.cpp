// The reference for start-up, peak memory and idle CPU: the least a Qt Widgets program can be,
// one empty window shown and the event loop running.
// TESSERA_EXIT_AFTER_SHOWN=1: quits once the window is shown, printing "shown after N ms" (N
// counted from main()), as the program does.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <cstdio>

int main(int argc, char* argv[]) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    QApplication app(argc, argv);
    QWidget window;
    window.resize(640, 480);
    window.show();
    if (qEnvironmentVariableIsSet("TESSERA_EXIT_AFTER_SHOWN")) {
        QTimer::singleShot(0, &app, [&] {
            std::printf("shown after %lld ms\n", static_cast<long long>(sinceStart.elapsed()));
            std::fflush(stdout);
            app.quit();
        });
    }
    return app.exec();
}
