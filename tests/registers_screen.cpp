// Not a test: lays out the README's picture of the "Регистры" window against the virtual
// instrument (a read of the identity block, the scale of parameter 1 as a float, a raw frame)
// and has the whole screen taken with ImageMagick's import:
//   xvfb-run -a -s "-screen 0 1100x720x24" build/tests/tessera_registers_screen docs/registers.png
// It works in a temporary HOME, so the user's settings are never touched.
#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "commissioning/Commissioning.h"
#include "registers/RegistersWindow.h"
#include "sim/VirtualInstrument.h"
#include "tests/support/TestDesktop.h"
#include "ui/Unit1.h"
#include "ui/main.h"
#include "ui_main.h"

namespace {

TTestDesktop ShotDesktop;

// Waits until the window's request has been answered.
void Answered(TRegistersWindow& window) {
    if (!QTest::qWaitFor([&window] { return !window.Busy(); }, 5000))
        std::fprintf(stderr, "no answer in time\n");
    QTest::qWait(200);
}

}  // namespace

int main(int argc, char* argv[]) {
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    const QString path =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("registers.png");

    sim::Config config;
    config.protocol = sim::Protocol::Modbus;
    config.address = 1;
    sim::VirtualInstrument instrument(config);
    instrument.Start();
    sim::SetUpDemoPanel(instrument.Model());
    Tz::PortOverride = QString::fromStdString(instrument.DevicePath());

    Tz window{nullptr, &ShotDesktop};
    TSettingForm settingForm{&window};
    SettingForm = &settingForm;
    window.move(0, 0);
    window.show();
    QTest::qWait(500);
    window.ui->EditAdr->setText(QStringLiteral("1"));
    window.EditAdrExit();

    TRegistersWindow::AddToMenu(*window.Commissioning->MenuButton()->menu(), window, nullptr);
    window.findChild<QAction*>(QStringLiteral("ActionRegisters"))->trigger();
    auto* registers = window.findChild<TRegistersWindow*>();
    registers->move(40, 60);
    registers->resize(1000, 640);
    registers->CountBox()->setValue(8);
    registers->ReadOnce();
    Answered(*registers);
    registers->RawField()->setText(QStringLiteral("01 03 00 64 00 02"));
    registers->SendRaw();
    Answered(*registers);
    registers->WriteValuesField()->setText(QStringLiteral("2"));
    registers->WriteStartBox()->setValue(1006);
    registers->raise();
    QTest::qWait(500);

    const int code = QProcess::execute(QStringLiteral("import"),
                                       {QStringLiteral("-window"), QStringLiteral("root"), path});
    std::printf("%s: import exited with %d\n", qPrintable(path), code);
    registers->close();
    window.close();
    SettingForm = nullptr;
    instrument.Stop();
    return code == 0 ? 0 : 1;
}
