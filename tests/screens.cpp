// Not a test: takes the README's screenshots of the real window against the virtual
// instrument, on whatever display it runs (xvfb-run for a headless machine):
//   xvfb-run -a -s "-screen 0 1024x768x24" build/tests/tessera_screens docs
// It works in a temporary HOME, so the user's settings are never touched. Both pages are taken
// in Russian (readings.png, parameters.png), then again as `tessera --lang en` shows them
// (readings-en.png, parameters-en.png).
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "commissioning/Commissioning.h"
#include "commissioning/ConfigPreview.h"
#include "commissioning/ConfigTransfer.h"
#include "commissioning/PlotWindow.h"
#include "config/ConfigFile.h"
#include "exchange/cp1251.h"
#include "monitor/FrameMonitor.h"
#include "sim/VirtualInstrument.h"
#include "tests/support/TestDesktop.h"
#include "ui/Language.h"
#include "ui/Unit1.h"
#include "ui/main.h"
#include "ui_main.h"

namespace {

// Answers the dialogs the pictures are taken of.
TTestDesktop ShotDesktop;

void Settle(int ms) {
    QTest::qWait(ms);
}

bool Shoot(QWidget& window, const QString& path) {
    window.raise();
    window.activateWindow();
    Settle(300);
    const QPixmap shot = window.screen()->grabWindow(
        0, window.frameGeometry().x(), window.frameGeometry().y(), window.frameGeometry().width(),
        window.frameGeometry().height());
    return shot.save(path);
}

void PrepareInstrument(sim::VirtualInstrument& instrument) {
    sim::SetUpDemoPanel(instrument.Model());
    instrument.Model().FreezeValue(2, 1.482f);  // one steady value in the picture
    instrument.Model().SetInfoText(ToCp1251(QStringLiteral("Щит 3, ввод 1")).toStdString());
}

// The preview of loading a file that differs from the instrument in a few values.
bool ShootPreview(TCommissioning& tools, const QString& path) {
    bool read = false;
    QObject::connect(&tools, &TCommissioning::ReadAllFinished, [&read] { read = true; });
    if (!tools.ReadAll() || !QTest::qWaitFor([&read] { return read; }, 20000)) return false;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("panel.cfg"));
    QString error;
    if (!tools.SaveConfig(file, error)) return false;
    QFile saved(file);
    if (!saved.open(QIODevice::ReadOnly)) return false;
    config::InstrumentConfig config = config::ParseConfig(saved.readAll().toStdString());
    saved.close();
    config["brightness"] = "0";
    config["param1.scale"] = "300";
    config["info"] = "Щит 4, ввод 2";
    config["relay1.mode"] = "2";
    config["speed.line1"] = "19200";
    QFile changed(file);
    if (!changed.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    changed.write(QByteArray::fromStdString(config::FormatConfig(config, "")));
    changed.close();
    bool shot = false;
    bool ended = false;
    ShotDesktop.preview = [&](TConfigPreview& preview) {
        preview.move(40, 40);
        preview.show();
        shot = Shoot(preview, path);
        return false;  // nothing is written
    };
    ShotDesktop.report = [&ended](const QString&, bool) { ended = true; };
    tools.LoadConfig(file);
    const bool reported = QTest::qWaitFor([&ended] { return ended; }, 30000);
    ShotDesktop.preview = nullptr;
    ShotDesktop.report = nullptr;
    return shot && reported;
}

// The main window with its settings dialog, shown and talking to address 1.
struct ShotWindow {
    Tz window{nullptr, &ShotDesktop};
    TSettingForm settingForm{&window};

    ShotWindow() {
        SettingForm = &settingForm;
        window.show();
        Settle(500);
        window.ui->EditAdr->setText(QStringLiteral("1"));
        window.EditAdrExit();
    }
    ~ShotWindow() {
        window.close();
        SettingForm = nullptr;
    }
};

// Both pages in the language in force, as <page><suffix>.png.
bool ShootPages(const QString& outDir, const QString& suffix) {
    ShotWindow shot;
    Tz& window = shot.window;
    Ui::Tz& f = *window.ui;

    f.ToolButton1->click();
    f.CheckBox2->setChecked(true);
    f.CheckBox3->setChecked(true);
    f.BitBtn1->click();
    Settle(2500);
    bool ok = Shoot(window, outDir + QStringLiteral("/readings%1.png").arg(suffix));

    f.ToolButton2->click();
    for (QAbstractButton* read : {f.BitBtn5, f.BitBtn7, f.BitBtn9, f.BitBtn11, f.BitBtn15,
                                  f.BitBtn27, f.BitBtn29, f.BitBtn32}) {
        read->click();
        Settle(400);
    }
    ok = Shoot(window, outDir + QStringLiteral("/parameters%1.png").arg(suffix)) && ok;
    return ok;
}

// The frame monitor beside the polling, scrolled back to its first rows: the information text
// read before the polling (the longest frame, on lines of its own), then the polling with one
// silence and one corrupted answer among it, so that the error rows show.
bool ShootMonitor(Tz& window, sim::VirtualInstrument& instrument, const QString& path) {
    TFrameMonitor* monitor = window.FrameMonitor();
    monitor->move(7, 210);
    monitor->resize(monitor->width(), 500);
    sim::Faults once;
    once.count = 1;
    Settle(300);
    once.silence = true;
    instrument.SetFaults(once);
    Settle(500);
    once.silence = false;
    once.badCrc = true;
    instrument.SetFaults(once);
    Settle(500);
    monitor->Table()->scrollToTop();
    const bool ok = Shoot(*monitor, path);
    monitor->close();
    return ok;
}

// The preview of loading a changed file; during polling the frame monitor, then half a minute
// of three readings on the plot.
bool ShootCommissioning(const QString& outDir, sim::VirtualInstrument& instrument) {
    ShotWindow shot;
    Tz& window = shot.window;
    Ui::Tz& f = *window.ui;
    f.ToolButton2->click();
    bool ok = ShootPreview(*window.Commissioning, outDir + QStringLiteral("/preview.png"));

    window.ToolButton5->click();
    f.BitBtn11->click();  // the information text, before the polling
    Settle(400);
    f.ToolButton1->click();
    f.CheckBox1->setChecked(true);
    f.CheckBox2->setChecked(true);
    f.CheckBox3->setChecked(true);
    f.Edit1->setText(QStringLiteral("100"));
    f.BitBtn1->click();
    ok = ShootMonitor(window, instrument, outDir + QStringLiteral("/monitor.png")) && ok;
    TPlotWindow* plot = window.Commissioning->ShowPlot();
    plot->move(60, 60);
    Settle(30000);
    ok = Shoot(*plot, outDir + QStringLiteral("/plot.png")) && ok;
    f.BitBtn2->click();
    return ok;
}

}  // namespace

int main(int argc, char* argv[]) {
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    const QString outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");

    sim::Config config;
    config.protocol = sim::Protocol::Modbus;
    config.address = 1;
    sim::VirtualInstrument instrument(config);
    instrument.Start();
    PrepareInstrument(instrument);

    const QString cfg = QDir::homePath() + QStringLiteral("/Documents/Tessera_RS");
    QDir().mkpath(cfg);
    QFile file(cfg + QStringLiteral("/setup.cfg"));
    if (file.open(QIODevice::WriteOnly))
        file.write("[form]\nleft=40\ntop=40\n[Port]\nPause=200\nprot=1\n[Update]\nUpdate=0\n");
    file.close();

    Tz::PortOverride = QString::fromStdString(instrument.DevicePath());
    bool ok = ShootPages(outDir, QString());
    ok = ShootCommissioning(outDir, instrument) && ok;
    // What --lang en does before the windows are made.
    ok = Language::Apply(QStringLiteral("en")) && ShootPages(outDir, QStringLiteral("-en")) && ok;
    std::printf("%s\n", ok ? "screenshots written" : "screenshot failed");
    instrument.Stop();
    return ok ? 0 : 1;
}
