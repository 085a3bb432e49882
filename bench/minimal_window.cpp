// The reference for start-up, peak memory and idle CPU: the least a Qt Widgets program can be,
// one empty window shown and the event loop running.
// TESSERA_EXIT_AFTER_SHOWN=1: quits once the window has painted its first frame, printing
// "shown after N ms" (N counted from main()), as the program does.
// TESSERA_MINIMAL_TEXT=1: the window shows one line of text, so the fonts are found and
// loaded as in any window with a word in it (the empty window never needs a font).
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QWidget>

#include "bench/ShownAfter.h"

int main(int argc, char* argv[]) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    QApplication app(argc, argv);
    QWidget window;
    window.resize(640, 480);
    if (qEnvironmentVariableIsSet("TESSERA_MINIMAL_TEXT"))
        (new QLabel(QStringLiteral("Text"), &window))->move(20, 20);
    window.show();
    QuitOnceShownWhenAsked(window, sinceStart);
    return app.exec();
}
