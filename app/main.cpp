// Program entry: the three windows in their fixed order, then the message loop.
//   tessera            the stored port
//   tessera --demo     a virtual instrument on a pseudo-terminal, for this run only
// TESSERA_EXIT_AFTER_SHOWN=1 (start-up benchmark): quit as soon as the main window is shown
// and its first activation (port opened) has run; prints "shown after N ms, port open" (or
// "port not open"), N counted from main().
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProxyStyle>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/DisplayCheck.h"
#include "sim/VirtualInstrument.h"
#include "ui/Unit1.h"
#include "ui/UpdateForm.h"
#include "ui/main.h"
#include "ui_main.h"

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

}  // namespace

int main(int argc, char* argv[]) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    if (!DisplayUsable(argc, argv, stderr)) return 1;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessera_RS-485"));
    app.setStyle(new HintTimingStyle);

    QCommandLineParser parser;
    parser.addHelpOption();
    QCommandLineOption demo(QStringLiteral("demo"),
                            QStringLiteral("Work with a built-in virtual instrument at address 1."));
    parser.addOption(demo);
    parser.process(app);

    Tz mainWindow;
    TSettingForm settingForm(&mainWindow);
    SettingForm = &settingForm;
    TForm1 notification;
    Form1 = &notification;

    std::unique_ptr<sim::VirtualInstrument> instrument;
    if (parser.isSet(demo)) {
        try {
            // The demo instrument speaks the protocol the program is set to, at address 1.
            instrument = StartDemoInstrument(ProtocolIsModbus == 1 ? sim::Protocol::Modbus
                                                                   : sim::Protocol::Qv);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "virtual instrument: %s\n", e.what());
            return 1;
        }
        Tz::PortOverride = QString::fromStdString(instrument->DevicePath());
        mainWindow.ui->EditAdr->setText(QStringLiteral("1"));
        std::printf("virtual instrument on %s\n", instrument->DevicePath().c_str());
        std::fflush(stdout);
    }
    mainWindow.show();
    if (qEnvironmentVariableIsSet("TESSERA_EXIT_AFTER_SHOWN")) {
        // Posted after the activation that show() queued, so it runs once that has finished.
        QTimer::singleShot(0, &app, [&] {
            std::printf("shown after %lld ms, port %s\n", static_cast<long long>(sinceStart.elapsed()),
                        mainWindow.ComPort->Connected() ? "open" : "not open");
            std::fflush(stdout);
            app.quit();
        });
    }
    const int code = app.exec();
    // The update worker may still be waiting on the network; give it a moment to end.
    StopUpdateCheck(2000);
    if (instrument) instrument->Stop();
    return code;
}
