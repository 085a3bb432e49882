// Not a test: lays out the README's picture of the "Линия" window against a virtual bus (a QV
// instrument, a slow Modbus RTU one, one at 19200 bit/s, two sharing an address): a scan of
// 1..32 at two speeds, then a few rounds of the watch; the whole screen is taken with
// ImageMagick's import:
//   xvfb-run -a -s "-screen 0 1100x720x24" build/tests/tessera_line_screen docs/line.png
// It works in a temporary HOME, so the user's settings are never touched.
#include <QApplication>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "commissioning/Commissioning.h"
#include "line/LineWindow.h"
#include "sim/BusList.h"
#include "sim/VirtualBus.h"
#include "tests/support/TestDesktop.h"
#include "ui/Unit1.h"
#include "ui/main.h"
#include "ui_main.h"

namespace {

TTestDesktop ShotDesktop;

bool Idle(TLineWindow& window) {
    return QTest::qWaitFor([&window] { return !window.OwnsLine(); }, 60000);
}

}  // namespace

int main(int argc, char* argv[]) {
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("line.png");

    std::vector<sim::Config> configs;
    std::string error;
    sim::ParseBus("qv:12,modbus:9+300ms,modbus:30@19200,modbus:20,modbus:20", configs, error);
    sim::VirtualBus bus(configs);
    for (size_t i = 0; i < bus.Size(); ++i) {
        sim::SetUpDemoPanel(bus.Instrument(i).Model());
        bus.Instrument(i).Model().Change(
            [i](sim::InstrumentState& s) { s.serialNumber = uint16_t(40 + i); });
    }
    bus.Instrument(0).Model().SetInfoText("Shield 1");
    bus.Instrument(1).Model().SetInfoText("Pump 2");
    bus.Instrument(2).Model().SetInfoText("Boiler");
    bus.Start();
    Tz::PortOverride = QString::fromStdString(bus.DevicePath());

    Tz window{nullptr, &ShotDesktop};
    TSettingForm settingForm{&window};
    SettingForm = &settingForm;
    window.move(0, 0);
    window.show();
    QTest::qWait(500);

    TLineWindow::AddToWindow(*window.Commissioning->MenuButton()->menu(), window);
    window.findChild<QAction*>(QStringLiteral("ActionLine"))->trigger();
    auto* line = window.findChild<TLineWindow*>();
    line->move(40, 60);
    line->resize(1040, 560);
    line->SetRange(1, 32);
    line->SetSpeeds(TLineWindow::Speeds::List, QStringLiteral("9600, 19200"));
    line->StartScan();
    if (!Idle(*line)) std::fprintf(stderr, "the scan did not end in time\n");
    line->SetWatching(true);
    QTest::qWait(4000);
    line->raise();
    QTest::qWait(300);

    const int code = QProcess::execute(QStringLiteral("import"),
                                       {QStringLiteral("-window"), QStringLiteral("root"), path});
    std::printf("%s: import exited with %d\n", qPrintable(path), code);
    line->SetWatching(false);
    Idle(*line);
    line->close();
    window.close();
    SettingForm = nullptr;
    bus.Stop();
    return code == 0 ? 0 : 1;
}
