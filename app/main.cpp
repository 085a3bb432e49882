// Program entry: the three windows in their fixed order, then the message loop.
//   tessera            the stored port
//   tessera --demo     a virtual instrument on a pseudo-terminal, for this run only
//   tessera --port P --address N   another port and address for this run only
//   tessera --lang en  English texts for this run only (else the language stored in setup.cfg)
// (the options are in CommandLine.cpp; tessera --help lists them)
// TESSERA_EXIT_AFTER_SHOWN=1 (start-up benchmark): quit as soon as the main window has painted
// its first frame (its first activation, the port opened, has run by then); prints "shown after
// N ms, port open" (or "port not open"), N counted from main().
// TESSERA_STARTUP_TRACE=1: each step of the start-up with its time since main() on standard
// error, to see where the start-up goes.
#include "ui/main.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProxyStyle>
#include <QTimer>
#include <QToolButton>
#include <cstdio>
#include <memory>

#include "app/CommandLine.h"
#include "app/DisplayCheck.h"
#include "base/FirstFrame.h"
#include "commissioning/Commissioning.h"
#include "line/LineWindow.h"
#include "registers/RegistersWindow.h"
#ifndef _WIN32  // the virtual instrument needs POSIX pseudo-terminals
#include "sim/VirtualInstrument.h"
#endif
#include "ui/Language.h"
#include "ui/SetupFile.h"
#include "ui/Unit1.h"
#include "ui/UpdateForm.h"

namespace {

// Hints appear 200 ms after the pointer comes to rest.
class HintTimingStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == QStyle::SH_ToolTip_WakeUpDelay) return 200;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

#ifndef _WIN32
std::unique_ptr<sim::VirtualInstrument> StartDemoInstrument(sim::Protocol protocol) {
    sim::Config config;
    config.protocol = protocol;
    config.address = 1;
    config.parameterCount = 3;
    auto instrument = std::make_unique<sim::VirtualInstrument>(config);
    sim::SetUpDemoPanel(instrument->Model());
    instrument->Start();
    return instrument;
}

// Starts the virtual instrument and points this run at it; false (with a message) if it fails.
struct DemoInstrument {
    std::unique_ptr<sim::VirtualInstrument> instrument;
    bool Start(Tz& mainWindow) {
        try {
            // The demo instrument speaks the protocol the program is set to, at address 1.
            instrument = StartDemoInstrument(ProtocolIsModbus == 1 ? sim::Protocol::Modbus
                                                                   : sim::Protocol::Qv);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "virtual instrument: %s\n", e.what());
            return false;
        }
        Tz::PortOverride = QString::fromStdString(instrument->DevicePath());
        mainWindow.AddressField()->setText(QStringLiteral("1"));
        std::printf("virtual instrument on %s\n", instrument->DevicePath().c_str());
        std::fflush(stdout);
        return true;
    }
    ~DemoInstrument() {
        if (instrument) instrument->Stop();
    }
};
#else
struct DemoInstrument {
    bool Start(Tz&) {
        std::fprintf(stderr,
                     "--demo: the virtual instrument needs pseudo-terminals, which "
                     "this system does not have\n");
        return false;
    }
};
#endif

// The start-up's steps, timed from main() when TESSERA_STARTUP_TRACE is set.
class StartupTrace {
public:
    explicit StartupTrace(const QElapsedTimer& sinceStart)
        : FSinceStart(sinceStart), FOn(qEnvironmentVariableIsSet("TESSERA_STARTUP_TRACE")) {}
    void Step(const char* what) const {
        if (FOn)
            std::fprintf(stderr, "start-up %7.2f ms  %s\n",
                         double(FSinceStart.nsecsElapsed()) / 1e6, what);
    }

private:
    const QElapsedTimer& FSinceStart;
    const bool FOn;
};

QStringList ArgumentsOf(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// The line's framing as stored, and "Регистры…" in the service menu, which may change it; a
// line for this run only keeps the stored framing as it was.
void AddRegistersWindow(Tz& mainWindow) {
    const SetupFile::TFraming stored = SetupFile::ReadFraming(SetupFile::Path());
    mainWindow.ComPort->SetParity(TParity(stored.parity));
    mainWindow.ComPort->SetStopBits(stored.stopBits == 2 ? sb2 : sb1);
    TRegistersWindow::AddToMenu(
        *mainWindow.Commissioning->MenuButton()->menu(), mainWindow, [](const TLineFraming& f) {
            if (!Tz::LineForThisRunOnly)
                SetupFile::WriteFraming(SetupFile::Path(),
                                        {int(f.parity), f.stopBits == sb2 ? 2 : 1});
        });
}

// "Линия…" in the service menu and its button on the toolbar.
void AddLineWindow(Tz& mainWindow) {
    TLineWindow::AddToWindow(*mainWindow.Commissioning->MenuButton()->menu(), mainWindow);
}

// Help and version go to standard output, errors to standard error.
int PrintAnswer(const CommandLine& command) {
    const bool failed = command.action == CommandLine::Action::Error;
    std::fprintf(failed ? stderr : stdout, "%s\n", qPrintable(command.text));
    return failed ? 2 : 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    const StartupTrace trace(sinceStart);
    // Help, version and plain mistakes are answered before the window system is touched, so
    // that they work without a display. An option unknown here may be one of Qt's own: the
    // arguments are parsed again once Qt has taken those.
    if (const CommandLine early = ParseCommandLine(ArgumentsOf(argc, argv));
        early.action != CommandLine::Action::Run && early.unknownOptions.isEmpty())
        return PrintAnswer(early);
    if (!DisplayUsable(argc, argv, stderr)) return 1;
    TellPlainlyWhenNoDisplayOpens();
    trace.Step("display checked");
    QApplication app(argc, argv);
    trace.Step("application object made");
    QApplication::setApplicationName(QStringLiteral("Tessera_RS-485"));
    // Ties the windows to the installed launcher entry (its icon on Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("tessera-rs485"));
    app.setStyle(new HintTimingStyle);

    const CommandLine command = ParseCommandLine(QApplication::arguments());
    if (command.action != CommandLine::Action::Run) return PrintAnswer(command);
    // Before any window exists: every text is made in the language in force when it is made.
    const QString language =
        command.language.isEmpty() ? SetupFile::Read(SetupFile::Path()).language : command.language;
    // Russian too: Qt's own dialogs and buttons are English unless their texts are loaded.
    if (!Language::Apply(language.isEmpty() ? QStringLiteral("ru") : language))
        std::fprintf(stderr, "language '%s' is not available; the texts stay Russian\n",
                     qPrintable(language));

    trace.Step("settings read, language applied");
    Tz mainWindow;
    trace.Step("main window made");
    TSettingForm settingForm(&mainWindow);
    SettingForm = &settingForm;
    trace.Step("port settings dialog made");
    TForm1 notification;
    Form1 = &notification;
    trace.Step("update notification made");

    DemoInstrument demo;
    if (command.demo && !demo.Start(mainWindow)) return 1;
    if (!command.port.isEmpty()) Tz::PortOverride = command.port;
    Tz::LineForThisRunOnly = command.demo || !command.port.isEmpty();
    AddRegistersWindow(mainWindow);
    AddLineWindow(mainWindow);
    // Read into the request's address when the window is first activated, as a typed one.
    if (command.address) mainWindow.AddressField()->setText(QString::number(*command.address));
    mainWindow.show();
    trace.Step("main window shown");
    QTimer::singleShot(0, &app, [&trace] { trace.Step("first activation done"); });
    const bool exitAfterShown = qEnvironmentVariableIsSet("TESSERA_EXIT_AFTER_SHOWN");
    // The first frame comes after the activation that show() queued, so the port is open by then.
    base::WhenFirstFramePainted(mainWindow, [&] {
        trace.Step("first frame painted");
        if (!exitAfterShown) return;
        std::printf("shown after %lld ms, port %s\n", static_cast<long long>(sinceStart.elapsed()),
                    mainWindow.ComPort->Connected() ? "open" : "not open");
        std::fflush(stdout);
        app.quit();
    });
    const int code = app.exec();
    // The update worker may still be waiting on the network; give it a moment to end.
    StopUpdateCheck(2000);
    return code;
}
