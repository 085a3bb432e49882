// Without a display, or with one that cannot be opened, the program says that a desktop
// session is needed and how to run under Xvfb, and ends with status 1; with any way to show
// its windows it goes on.
#include <QProcess>
#include <QTemporaryFile>
#include <QtTest>
#include <cstdio>

#include "app/DisplayCheck.h"

namespace {

const char* const DisplayVariables[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};

// What DisplayUsable wrote, read back from a scratch file.
QString Written(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    QByteArray text;
    char chunk[512];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, int(n));
    return QString::fromUtf8(text);
}

}  // namespace

class TestDisplayCheck : public QObject {
    Q_OBJECT

private slots:
    void decision_data() {
        QTest::addColumn<QString>("variable");  // the one set, if any
        QTest::addColumn<QString>("argument");
        QTest::addColumn<bool>("usable");
        QTest::newRow("nothing") << ""
                                 << "" << false;
        QTest::newRow("empty DISPLAY") << "DISPLAY="
                                       << "" << false;
        QTest::newRow("X") << "DISPLAY=:0"
                           << "" << true;
        QTest::newRow("Wayland") << "WAYLAND_DISPLAY=wayland-0"
                                 << "" << true;
        QTest::newRow("platform chosen") << "QT_QPA_PLATFORM=offscreen"
                                         << "" << true;
        QTest::newRow("platform argument") << ""
                                           << "-platform" << true;
    }

    void decision() {
        QFETCH(QString, variable);
        QFETCH(QString, argument);
        QFETCH(bool, usable);
        for (const char* name : DisplayVariables) qunsetenv(name);
        if (!variable.isEmpty())
            qputenv(variable.section('=', 0, 0).toLatin1(), variable.section('=', 1).toLatin1());
        QByteArray program("tessera"), extra = argument.toLatin1(), value("offscreen");
        char* argv[] = {program.data(), extra.data(), value.data(), nullptr};
        std::FILE* out = std::tmpfile();
        QVERIFY(out);
        QCOMPARE(DisplayUsable(argument.isEmpty() ? 1 : 3, argv, out), usable);
        const QString text = Written(out);
        std::fclose(out);
        if (usable) {
            QVERIFY(text.isEmpty());
        } else {
            QVERIFY2(text.contains("desktop session"), qPrintable(text));
            QVERIFY2(text.contains("xvfb-run -a scripts/dev.sh run"), qPrintable(text));
        }
    }

    // The program itself, started with no display at all, with one that is gone, and with a
    // platform chosen that finds no display.
    void programWithoutDisplay_data() {
        QTest::addColumn<QString>("variable");  // the one set, if any
        QTest::newRow("none") << "";
        QTest::newRow("display gone") << "DISPLAY=:4242";
        QTest::newRow("platform chosen") << "QT_QPA_PLATFORM=xcb";
    }
    void programWithoutDisplay() {
        QFETCH(QString, variable);
        if (variable.startsWith("DISPLAY") && QFile::exists("/tmp/.X11-unix/X4242"))
            QSKIP("a display :4242 exists here");
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : DisplayVariables) env.remove(QString::fromLatin1(name));
        if (!variable.isEmpty()) env.insert(variable.section('=', 0, 0), variable.section('=', 1));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(TESSERA_PROGRAM), {QStringLiteral("--demo")});
        QVERIFY(program.waitForFinished(60000));
        const QString err = QString::fromUtf8(program.readAllStandardError());
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 1);
        QVERIFY2(err.contains("desktop session"), qPrintable(err));
        QVERIFY2(err.contains("xvfb-run -a scripts/dev.sh run"), qPrintable(err));
        QVERIFY2(!err.contains("Reinstalling"), qPrintable(err));
    }
};

QTEST_GUILESS_MAIN(TestDisplayCheck)
#include "test_displaycheck.moc"
