// The main thread's longest stall while the readings are polled through line faults: late,
// duplicated, damaged, cut and noisy answers, rotated every few seconds. A 5 ms timer on the
// main thread stamps each turn of the event loop; a stall is how much later than due a tick
// came. The window must never freeze: goal, no stall over 20 ms.
//
//   stall_bench [--minutes M] [--interval MS]      (default 10 minutes, 20 ms polling pause)
//
// Prints `figure:` lines; run by hand on a quiet machine (the process's own scheduling counts).
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "exchange/Thread1.h"
#include "sim/VirtualInstrument.h"
#include "tests/support/TestDesktop.h"
#include "ui/Unit1.h"
#include "ui/main.h"
#include "ui_main.h"

namespace {

constexpr int TickMs = 5;
constexpr int FaultPeriodMs = 3000;

// One fault after another, each for FaultPeriodMs, then again from the start.
std::vector<std::pair<const char*, sim::Faults>> FaultRotation() {
    std::vector<std::pair<const char*, sim::Faults>> rotation;
    auto add = [&rotation](const char* name, auto change) {
        sim::Faults f;
        change(f);
        rotation.emplace_back(name, f);
    };
    add("none", [](sim::Faults&) {});
    add("every answer 450 ms late", [](sim::Faults& f) { f.delayMs = 450; });
    add("duplicate 100 ms later", [](sim::Faults& f) { f.duplicateAfterMs = 100; });
    add("bad checksum", [](sim::Faults& f) { f.badCrc = true; });
    add("answer in 3 pieces 60 ms apart", [](sim::Faults& f) {
        f.pieces = 3;
        f.pieceGapMs = 60;
    });
    add("noise after the answer", [](sim::Faults& f) { f.trailing = sim::Bytes(40, 0x55); });
    add("answer cut short", [](sim::Faults& f) { f.cutBytes = 2; });
    add("random silences and bad checksums", [](sim::Faults& f) {
        f.silenceChance = 0.1;
        f.badCrcChance = 0.1;
        f.seed = 485;
    });
    return rotation;
}

struct StallWatch {
    QElapsedTimer clock;
    qint64 last = 0;
    std::vector<qint64> stalls;  // ms late, one per tick

    void Tick() {
        const qint64 now = clock.elapsed();
        if (last > 0) stalls.push_back(std::max<qint64>(0, now - last - TickMs));
        last = now;
    }
};

}  // namespace

int main(int argc, char** argv) {
    int minutes = 10, intervalMs = 20;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--minutes")
            minutes = std::atoi(argv[++i]);
        else if (std::string(argv[i]) == "--interval")
            intervalMs = std::atoi(argv[++i]);
    }
    QTemporaryDir home;
    if (!bench::UseOwnHome(home)) return 1;
    QApplication app(argc, argv);

    sim::Config config;
    config.protocol = sim::Protocol::Modbus;
    config.address = 1;
    config.parameterCount = 3;
    sim::VirtualInstrument instrument(config);
    instrument.Model().LetValueDrift(1, 500.0f, 480.0f, 50);
    instrument.Start();

    bench::WriteSettings(500);
    Tz::PortOverride = QString::fromStdString(instrument.DevicePath());
    TTestDesktop desktop;
    int errorBoxes = 0;
    desktop.errorBox = [&errorBoxes](const QString&) { ++errorBoxes; };
    auto window = std::make_unique<Tz>(nullptr, &desktop);
    TSettingForm settingForm(window.get());
    SettingForm = &settingForm;
    window->show();
    if (!bench::WaitUntil([&] { return CurrentQuery && window->ComPort->Connected(); }, 10000))
        qFatal("the program did not open %s", instrument.DevicePath().c_str());

    Ui::Tz& f = *window->ui;
    f.EditAdr->setText(QStringLiteral("1"));
    window->EditAdrExit();
    f.ToolButton1->click();
    f.CheckBox1->setChecked(true);
    f.CheckBox2->setChecked(true);
    f.CheckBox3->setChecked(true);
    f.Edit1->setText(QString::number(intervalMs));
    f.BitBtn1->click();
    if (!bench::WaitUntil([] { return ExchangeState == ExchangeStates::ContinuousReading; }, 5000))
        qFatal("reading did not start");

    StallWatch watch;
    watch.clock.start();
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticks, &QTimer::timeout, [&watch] { watch.Tick(); });
    ticks.start(TickMs);

    const auto rotation = FaultRotation();
    size_t next = 0;
    QTimer faults;
    QObject::connect(&faults, &QTimer::timeout, [&] {
        instrument.SetFaults(rotation[next % rotation.size()].second);
        ++next;
    });
    faults.start(FaultPeriodMs);

    const int sentBefore = SentCount;
    bench::RunEventLoopFor(minutes * 60 * 1000);
    ticks.stop();
    faults.stop();
    const int sent = SentCount - sentBefore;
    f.BitBtn2->click();
    bench::RunEventLoopFor(100);

    std::vector<qint64> sorted = watch.stalls;
    std::sort(sorted.begin(), sorted.end());
    const qint64 longest = sorted.empty() ? 0 : sorted.back();
    const qint64 p999 = sorted.empty() ? 0 : sorted[sorted.size() * 999 / 1000];
    const auto over = [&sorted](qint64 ms) {
        return long(sorted.end() - std::upper_bound(sorted.begin(), sorted.end(), ms));
    };
    std::printf(
        "%d min of polling three parameters at a %d ms pause, %zu fault kinds rotated "
        "every %d s; %d requests; %d error boxes\n",
        minutes, intervalMs, rotation.size(), FaultPeriodMs / 1000, sent, errorBoxes);
    std::printf(
        "figure: longest event-loop stall %lld ms (goal 20 ms); 99.9th percentile %lld "
        "ms; ticks %zu, late over 10 ms %ld, over 20 ms %ld, over 100 ms %ld\n",
        longest, p999, sorted.size(), over(10), over(20), over(100));
    std::fflush(stdout);
    SettingForm = nullptr;  // the dialog, then the window, go with this scope
    Tz::PortOverride.clear();
    return longest <= 20 ? 0 : 2;
}
