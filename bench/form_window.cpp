// The floor under the program's start-up: its main form alone, built from the same ui file,
// shown and painted, with nothing of the program behind it (no settings, translations, port,
// exchange threads, icons or menus of its own). Whatever the program costs above this is its
// own; what this costs above an empty window is the form the program has to show.
// TESSERA_EXIT_AFTER_SHOWN=1: quits once the form has painted its first frame, printing
// "shown after N ms" (N counted from main()), as the program does.
#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>

#include "bench/ShownAfter.h"
#include "ui_main.h"

int main(int argc, char* argv[]) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    QApplication app(argc, argv);
    QMainWindow window;
    Ui_Tz form;
    form.setupUi(&window);
    window.show();
    QuitOnceShownWhenAsked(window, sinceStart);
    return app.exec();
}
