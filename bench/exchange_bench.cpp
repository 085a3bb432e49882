// Continuous reading throughput, on pseudo-terminals against the virtual instrument:
//
//  A  the program itself: the main window (offscreen), its exchange thread and serial port,
//     reading parameter 1 in Modbus RTU with the repeat pause at its minimum (interval "1"),
//     started with the readings button;
//  B  libmodbus: a loop of modbus_read_registers over the same two registers (0..1) of the
//     same instrument, on the same pty once the program has closed its port.
//
// A and B alternate (A B A B ...), each round a few seconds. Then: QV against the wire time,
// and three parameters for 10 s.
//
// Time stamps. Every write() made by the program and by the instrument is stamped the moment
// it returns: this executable is linked with --wrap=write, so neither the program nor the
// instrument carries any benchmark code. The program writes its requests on the main thread;
// the instrument writes its answers on its line thread. Per exchange:
//   cycle       request written -> next request written (includes the repeat pause)
//   own time    answer written by the instrument (complete on the line) -> next request
//               written: everything the program does per exchange, pause included
// The configured pause (1 ms) is subtracted where the output says so; the repeat timer's
// real period (QTimer counts whole milliseconds) is measured separately and printed.
//
// A pty has no line timing: bytes "at 115200 bit/s" arrive at once.
//
// --monitor: the program's CPU time per exchange with the frame monitor closed and open (its
// history full), rounds alternating; the instrument is tessera-sim in a process of its own,
// so that only the program's threads are counted.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QListWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <modbus.h>
#include <unistd.h>
#include <vector>

#include "exchange/Thread1.h"
#include "exchange/typeCMD.h"
#include "sim/VirtualInstrument.h"
#include "ui/FrameMonitor.h"
#include "ui/Unit1.h"
#include "ui/main.h"
#include "ui_main.h"

// ---- write() time stamps ------------------------------------------------------------------

#include "bench/BenchSupport.h"

using bench::CpuSeconds;
using bench::RunEventLoopFor;
using bench::WaitUntil;

namespace {

using Clock = std::chrono::steady_clock;

enum StampKind : uint8_t {
    MainWrite,     // write() on the main thread: the program's request
    OtherWrite,    // write() on another thread: the instrument's answer
    RxEvent,       // --profile-ms only: the port's receive event reached the main window
    Interpreted,   // --profile-ms only: the answer interpretation reached its answer log
};

struct WriteStamp {
    int64_t ns;     // steady clock; for a write, when the call was made
    int32_t bytes;  // bytes written
    StampKind kind;
};

constexpr size_t StampCapacity = size_t(1) << 20;
WriteStamp Stamps[StampCapacity];
std::atomic<size_t> StampCount{0};
std::atomic<bool> Stamping{false};
thread_local bool OnMainThread = false;

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

}  // namespace

extern "C" ssize_t __real_write(int fd, const void* buffer, size_t count);

// The stamp is taken as the call is made: the write wakes the reader on the other side,
// which may preempt the writer before it could take a stamp afterwards.
extern "C" ssize_t __wrap_write(int fd, const void* buffer, size_t count) {
    const int64_t at = Stamping.load(std::memory_order_relaxed) ? NowNs() : 0;
    const ssize_t written = __real_write(fd, buffer, count);
    if (written > 0 && at != 0) {
        const size_t i = StampCount.fetch_add(1, std::memory_order_relaxed);
        if (i < StampCapacity)
            Stamps[i] = {at, int32_t(written), OnMainThread ? MainWrite : OtherWrite};
    }
    return written;
}

namespace {

void Stamp(StampKind kind) {
    if (!Stamping.load(std::memory_order_relaxed)) return;
    const size_t i = StampCount.fetch_add(1, std::memory_order_relaxed);
    if (i < StampCapacity) Stamps[i] = {NowNs(), 0, kind};
}

}  // namespace

namespace {

// ---- figures ------------------------------------------------------------------------------

struct Spread {
    double median = 0, p99 = 0;
    size_t n = 0;
};

Spread SpreadOf(std::vector<double> v) {
    Spread s;
    s.n = v.size();
    if (v.empty()) return s;
    std::sort(v.begin(), v.end());
    s.median = v[v.size() / 2];
    s.p99 = v[std::min(v.size() - 1, v.size() * 99 / 100)];
    return s;
}

// Per-exchange times (microseconds) from the stamps of one round.
struct ExchangeTimes {
    std::vector<double> cycle;  // request written -> next request written
    std::vector<double> own;    // answer written -> next request written
};

// Stamps from different threads land in the array in the order their slots were taken.
size_t SortedStampCount() {
    const size_t n = std::min(StampCount.load(), StampCapacity);
    std::sort(Stamps, Stamps + n, [](const WriteStamp& a, const WriteStamp& b) { return a.ns < b.ns; });
    return n;
}

ExchangeTimes TimesFromStamps(int requestBytes) {
    ExchangeTimes t;
    const size_t n = SortedStampCount();
    int64_t lastRequest = -1, lastAnswer = -1;
    for (size_t i = 0; i < n; ++i) {
        const WriteStamp& s = Stamps[i];
        if (s.kind == MainWrite) {
            if (s.bytes != requestBytes) continue;
            if (lastRequest >= 0) t.cycle.push_back(double(s.ns - lastRequest) / 1000.0);
            if (lastAnswer > lastRequest && lastRequest >= 0)
                t.own.push_back(double(s.ns - lastAnswer) / 1000.0);
            lastRequest = s.ns;
        } else if (s.kind == OtherWrite) {
            lastAnswer = s.ns;
        }
    }
    return t;
}

// Where the own time goes (--profile-ms): answer written -> receive event on the main thread
// -> answer log written by the interpretation (the repeat timer armed just before) -> request.
void PrintStages(int requestBytes) {
    std::vector<double> toRx, toStatus, toRequest;
    const size_t n = SortedStampCount();
    int64_t answer = -1, rx = -1, status = -1;
    for (size_t i = 0; i < n; ++i) {
        const WriteStamp& s = Stamps[i];
        switch (s.kind) {
        case OtherWrite: answer = s.ns; rx = status = -1; break;
        case RxEvent: if (answer >= 0 && rx < 0) rx = s.ns; break;
        case Interpreted: if (rx >= 0 && status < 0) status = s.ns; break;
        case MainWrite:
            if (s.bytes == requestBytes && status >= 0) {
                toRx.push_back(double(rx - answer) / 1000.0);
                toStatus.push_back(double(status - rx) / 1000.0);
                toRequest.push_back(double(s.ns - status) / 1000.0);
            }
            answer = rx = status = -1;
            break;
        }
    }
    auto show = [](const char* what, const std::vector<double>& v) {
        std::vector<double> sorted = v;
        std::sort(sorted.begin(), sorted.end());
        if (sorted.empty()) return;
        std::printf("  %-44s median %8.1f us   p99 %8.1f us\n", what, sorted[sorted.size() / 2],
                    sorted[std::min(sorted.size() - 1, sorted.size() * 99 / 100)]);
    };
    show("answer written -> receive event, main thread", toRx);
    show("receive event -> interpretation done", toStatus);
    show("interpretation done -> next request written (pause)", toRequest);
}

void Append(std::vector<double>& to, const std::vector<double>& from) {
    to.insert(to.end(), from.begin(), from.end());
}

std::vector<double> Minus(std::vector<double> v, double us) {
    for (double& x : v) x -= us;
    return v;
}



// The repeat timer's real period at interval 1: a 1 ms QTimer restarted from its own slot,
// as the program restarts TimerRepeat after each answer.
Spread TimerPeriod() {
    std::vector<double> periods;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setInterval(1);
    QEventLoop loop;
    Clock::time_point started;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        periods.push_back(std::chrono::duration<double, std::micro>(Clock::now() - started).count());
        if (periods.size() >= 2000) {
            loop.quit();
            return;
        }
        started = Clock::now();
        timer.start();
    });
    started = Clock::now();
    timer.start();
    loop.exec();
    return SpreadOf(periods);
}

// ---- A: the program ------------------------------------------------------------------------

struct Round {
    double seconds = 0;
    size_t exchanges = 0;  // request frames the instrument received
    ExchangeTimes times;
};

void WriteSettings(int protocol) {
    const QString path = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                         QStringLiteral("/Tessera_RS/setup.cfg");
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) qFatal("cannot write %s", qPrintable(path));
    file.write(QStringLiteral("[Port]\nBaud=7\nPause=1\nprot=%1\n[Update]\nUpdate=0\n")
                   .arg(protocol)
                   .toUtf8());
}

// Starts the program on the instrument's line, reads the ticked parameters with interval 1,
// stamps `ms` of steady polling, stops and closes the program (and with it the port).
Round ProgramRound(sim::VirtualInstrument& instrument, bool modbus, int parameters, int ms,
                   bool stages = false) {
    Round r;
    QStringList errors;
    WriteSettings(modbus ? 1 : 0);
    Tz::PortOverride = QString::fromStdString(instrument.DevicePath());
    Tz::ErrorBoxHook = [&errors](const QString& text) { errors << text; };
    {
        auto window = std::make_unique<Tz>();
        TSettingForm settingForm(window.get());
        SettingForm = &settingForm;
        window->show();
        if (!WaitUntil([&] { return CurrentQuery != nullptr && window->ComPort->Connected(); }, 10000))
            qFatal("the program did not open %s", instrument.DevicePath().c_str());
        Ui::Tz& f = *window->ui;
        f.EditAdr->setText(QStringLiteral("1"));
        window->EditAdrExit();
        f.ToolButton1->click();
        f.CheckBox1->setChecked(parameters >= 1);
        f.CheckBox2->setChecked(parameters >= 2);
        f.CheckBox3->setChecked(parameters >= 3);
        f.Edit1->setText(QStringLiteral("1"));
        if (stages) {
            auto original = window->ComPort->OnRxChar;
            window->ComPort->OnRxChar = [original](TSerialPort* sender, int32_t count) {
                Stamp(RxEvent);
                original(sender, count);
            };
            // The answer log is written at the end of the interpretation, just after the
            // repeat timer is armed.
            QObject::connect(f.Memo1->model(), &QAbstractItemModel::rowsInserted,
                             [] { Stamp(Interpreted); });
        }
        f.BitBtn1->click();
        // Preparation (GetPar for each parameter) and a short warm-up are left out.
        if (!WaitUntil([] { return ExchangeState == 11; }, 5000)) qFatal("reading did not start");
        RunEventLoopFor(200);

        instrument.ClearReceived();
        StampCount = 0;
        Stamping = true;
        const auto start = Clock::now();
        RunEventLoopFor(ms);
        Stamping = false;
        r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        r.exchanges = instrument.ReceivedFrames().size();
        f.BitBtn2->click();
        SettingForm = nullptr;
    }
    r.times = TimesFromStamps(modbus ? 8 : 6);
    Tz::ErrorBoxHook = nullptr;
    Tz::PortOverride.clear();
    if (!errors.isEmpty()) std::printf("  program showed errors: %s\n", qPrintable(errors.join(" | ")));
    if (NoAnswerCount || CrcErrorCount)
        std::printf("  no answer %d, bad CRC %d\n", NoAnswerCount.load(), CrcErrorCount.load());
    return r;
}

// ---- B: libmodbus ---------------------------------------------------------------------------

Round LibmodbusRound(sim::VirtualInstrument& instrument, int ms) {
    Round r;
    const std::string path = instrument.DevicePath();
    modbus_t* ctx = modbus_new_rtu(path.c_str(), 115200, 'N', 8, 1);
    if (!ctx || modbus_set_slave(ctx, 1) != 0 || modbus_connect(ctx) != 0)
        qFatal("libmodbus cannot open %s: %s", path.c_str(), modbus_strerror(errno));
    uint16_t registers[2];
    int failures = 0;
    instrument.ClearReceived();
    const auto start = Clock::now();
    const auto end = start + std::chrono::milliseconds(ms);
    for (Clock::time_point now = start; now < end;) {
        const int got = modbus_read_registers(ctx, 0, 2, registers);
        const Clock::time_point done = Clock::now();
        if (got == 2) {
            ++r.exchanges;
            r.times.cycle.push_back(std::chrono::duration<double, std::micro>(done - now).count());
        } else {
            ++failures;
        }
        now = done;
    }
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    // Every read counted must have been a request the instrument received and answered.
    const size_t received = instrument.ReceivedFrames().size();
    if (received != r.exchanges + failures)
        std::printf("  libmodbus: %zu reads, but the instrument received %zu requests\n",
                    r.exchanges + failures, received);
    modbus_close(ctx);
    modbus_free(ctx);
    if (failures) std::printf("  libmodbus: %d failed reads\n", failures);
    return r;
}

// ---- the frame monitor's cost ----------------------------------------------------------------

struct CpuRound {
    double cpuSeconds = 0;
    double seconds = 0;
    int exchanges = 0;  // requests sent
};

// The monitor's history filled to its bound, so that every batch also drops the oldest rows.
void FillHistory(TFrameMonitor& monitor) {
    auto& model = static_cast<TFrameMonitorModel&>(*monitor.Filter().sourceModel());
    TFrameRow row;
    row.direction = TFrameDirection::Answer;
    row.bytes = QByteArray::fromHex("0103040000414801F0");
    row.length = int(row.bytes.size());
    row.meaning = QStringLiteral("12.50 V");
    model.AppendRows(std::vector<TFrameRow>(size_t(model.HistoryLimit()), row));
}

// Polls parameter 1 at interval 1 ms on `port` for `ms`, the monitor open or not, and counts
// the process's CPU time (the instrument runs elsewhere).
CpuRound MonitorRound(const QString& port, bool monitorOpen, int ms) {
    CpuRound r;
    WriteSettings(1);
    Tz::PortOverride = port;
    Tz::ErrorBoxHook = [](const QString& text) { std::printf("  error: %s\n", qPrintable(text)); };
    {
        auto window = std::make_unique<Tz>();
        TSettingForm settingForm(window.get());
        SettingForm = &settingForm;
        window->show();
        if (!WaitUntil([&] { return CurrentQuery != nullptr && window->ComPort->Connected(); }, 10000))
            qFatal("the program did not open %s", qPrintable(port));
        Ui::Tz& f = *window->ui;
        f.EditAdr->setText(QStringLiteral("1"));
        window->EditAdrExit();
        f.ToolButton1->click();
        f.CheckBox1->setChecked(true);
        f.Edit1->setText(QStringLiteral("1"));
        if (monitorOpen) {
            window->ToolButton5->click();
            FillHistory(*window->FrameMonitor());
        }
        f.BitBtn1->click();
        if (!WaitUntil([] { return ExchangeState == 11; }, 5000)) qFatal("reading did not start");
        RunEventLoopFor(300);
        const int sent = SentCount;
        const double cpu = CpuSeconds();
        const auto start = Clock::now();
        RunEventLoopFor(ms);
        r.cpuSeconds = CpuSeconds() - cpu;
        r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        r.exchanges = SentCount - sent;
        f.BitBtn2->click();
        SettingForm = nullptr;
    }
    Tz::ErrorBoxHook = nullptr;
    Tz::PortOverride.clear();
    return r;
}

int MonitorCost(int rounds, int roundMs) {
    QProcess instrument;
    instrument.start(QStringLiteral(TESSERA_SIM_BINARY),
                     {QStringLiteral("--protocol"), QStringLiteral("modbus"),
                      QStringLiteral("--address"), QStringLiteral("1")});
    if (!instrument.waitForReadyRead(10000)) qFatal("tessera-sim did not start");
    const QString port = QString::fromLocal8Bit(instrument.readLine()).trimmed();
    std::printf("Frame monitor closed (C) and open (O), Modbus RTU, parameter 1, interval 1 ms, "
                "%d x %d ms each; CPU time of this process (the instrument runs apart)\n",
                rounds, roundMs);
    CpuRound total[2];
    std::vector<double> perExchange[2];
    for (int i = 0; i < rounds; ++i) {
        for (int open = 0; open < 2; ++open) {
            const CpuRound r = MonitorRound(port, open == 1, roundMs);
            total[open].cpuSeconds += r.cpuSeconds;
            total[open].seconds += r.seconds;
            total[open].exchanges += r.exchanges;
            perExchange[open].push_back(r.cpuSeconds / r.exchanges * 1e6);
            std::printf("round %d %c: %6.1f exchanges/s, CPU %.1f us per exchange (%.0f %% of a core)\n",
                        i + 1, open ? 'O' : 'C', r.exchanges / r.seconds, perExchange[open].back(),
                        100 * r.cpuSeconds / r.seconds);
            std::fflush(stdout);
        }
    }
    const double closed = total[0].cpuSeconds / total[0].exchanges * 1e6;
    const double opened = total[1].cpuSeconds / total[1].exchanges * 1e6;
    std::printf("\nCPU per exchange, all rounds: closed %.1f us, open %.1f us: %+.1f us (%+.1f %%)\n",
                closed, opened, opened - closed, 100 * (opened - closed) / closed);
    std::printf("exchanges per second: closed %.1f, open %.1f\n",
                total[0].exchanges / total[0].seconds, total[1].exchanges / total[1].seconds);
    std::printf("medians of the rounds: closed %.1f us, open %.1f us\n",
                SpreadOf(perExchange[0]).median, SpreadOf(perExchange[1]).median);
    instrument.terminate();
    instrument.waitForFinished(5000);
    return 0;
}

void PrintSpread(const char* what, const Spread& s) {
    std::printf("  %-58s median %8.1f us   p99 %8.1f us   (n=%zu)\n", what, s.median, s.p99, s.n);
}

}  // namespace

int main(int argc, char** argv) {
    OnMainThread = true;
    int roundMs = 5000;
    int rounds = 4;
    int profileMs = 0;  // --profile-ms N: one program round of N ms and nothing else (for perf)
    bool monitor = false;  // --monitor: the frame monitor's cost and nothing else
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--round-ms") roundMs = std::atoi(argv[++i]);
        else if (std::string(argv[i]) == "--rounds") rounds = std::atoi(argv[++i]);
        else if (std::string(argv[i]) == "--profile-ms") profileMs = std::atoi(argv[++i]);
    }
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]) == "--monitor") monitor = true;
    // Settings and documents in a HOME of our own; the window offscreen unless asked otherwise.
    QTemporaryDir home;
    if (!home.isValid()) return 1;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + "/.local/share").toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (monitor) return MonitorCost(rounds, roundMs);

    std::printf("Continuous reading on a pseudo-terminal (no line timing), %d x %d ms per side\n\n",
                rounds, roundMs);
    const Spread timer = TimerPeriod();
    std::printf("QTimer at interval 1 ms, restarted from its slot: median %.0f us, p99 %.0f us\n\n",
                timer.median, timer.p99);

    sim::Config config;
    config.protocol = sim::Protocol::Modbus;
    config.address = 1;
    config.parameterCount = 3;
    sim::VirtualInstrument modbusInstrument(config);
    modbusInstrument.Start();
    if (profileMs > 0) {
        const Round r = ProgramRound(modbusInstrument, true, 1, profileMs, true);
        std::printf("program alone: %.1f exchanges/s\n", r.exchanges / r.seconds);
        PrintSpread("request -> next request", SpreadOf(r.times.cycle));
        PrintSpread("answer on the line -> next request (own time)", SpreadOf(r.times.own));
        PrintStages(8);
        return 0;
    }

    // ---- A B A B ----
    double aSeconds = 0, bSeconds = 0;
    size_t aExchanges = 0, bExchanges = 0;
    std::vector<double> aCycle, aOwn, bCycle;
    for (int i = 0; i < rounds; ++i) {
        const Round a = ProgramRound(modbusInstrument, true, 1, roundMs);
        const Round b = LibmodbusRound(modbusInstrument, roundMs);
        std::printf("round %d: A %7.1f exchanges/s   B %7.1f exchanges/s\n", i + 1,
                    a.exchanges / a.seconds, b.exchanges / b.seconds);
        std::fflush(stdout);
        aSeconds += a.seconds;
        aExchanges += a.exchanges;
        Append(aCycle, a.times.cycle);
        Append(aOwn, a.times.own);
        bSeconds += b.seconds;
        bExchanges += b.exchanges;
        Append(bCycle, b.times.cycle);
    }
    const double aRate = aExchanges / aSeconds, bRate = bExchanges / bSeconds;
    const Spread aSpread = SpreadOf(aCycle), bSpread = SpreadOf(bCycle);
    const Spread aNet = SpreadOf(Minus(aCycle, 1000.0));
    const Spread aNetTimer = SpreadOf(Minus(aCycle, timer.median));
    std::printf("\nModbus RTU, parameter 1 (registers 0..1), %d rounds each:\n", rounds);
    std::printf("  A program, interval 1 ms   %8.1f exchanges/s\n", aRate);
    std::printf("  B libmodbus                %8.1f exchanges/s\n", bRate);
    std::printf("  A/B                        %8.4f\n", aRate / bRate);
    PrintSpread("A request -> next request", aSpread);
    PrintSpread("A request -> next request, minus the configured 1 ms", aNet);
    PrintSpread("A request -> next request, minus the timer's median period", aNetTimer);
    PrintSpread("A answer on the line -> next request (own time)", SpreadOf(aOwn));
    PrintSpread("A own time minus the configured 1 ms", SpreadOf(Minus(aOwn, 1000.0)));
    PrintSpread("A own time minus the timer's median period", SpreadOf(Minus(aOwn, timer.median)));
    PrintSpread("B modbus_read_registers call", bSpread);
    std::printf("  per-exchange time A (minus 1 ms) / B, medians: %.2f\n", aNet.median / bSpread.median);
    std::fflush(stdout);

    // ---- three parameters, 10 s ----
    {
        const Round r = ProgramRound(modbusInstrument, true, 3, 10000);
        std::printf("\nModbus RTU, three parameters, interval 1 ms, 10 s:\n");
        std::printf("  %.1f exchanges/s\n", r.exchanges / r.seconds);
        PrintSpread("request -> next request", SpreadOf(r.times.cycle));
        PrintSpread("own time: answer on the line -> next request", SpreadOf(r.times.own));
        PrintSpread("own time minus the configured 1 ms", SpreadOf(Minus(r.times.own, 1000.0)));
        PrintSpread("own time minus the timer's median period", SpreadOf(Minus(r.times.own, timer.median)));
        std::fflush(stdout);
    }
    modbusInstrument.Stop();

    // ---- QV against the wire time ----
    {
        config.protocol = sim::Protocol::Qv;
        sim::VirtualInstrument qvInstrument(config);
        qvInstrument.Start();
        std::vector<double> cycle, own;
        double seconds = 0;
        size_t exchanges = 0;
        for (int i = 0; i < std::max(1, rounds / 2); ++i) {
            const Round r = ProgramRound(qvInstrument, false, 1, roundMs);
            seconds += r.seconds;
            exchanges += r.exchanges;
            Append(cycle, r.times.cycle);
            Append(own, r.times.own);
        }
        qvInstrument.Stop();
        const Spread overhead = SpreadOf(Minus(own, 1000.0));
        const Spread beyondTimer = SpreadOf(Minus(own, timer.median));
        // GetVal: request 6 + answer 10 bytes, 10 bits each (start, 8 data, stop).
        const double wire115200 = 16 * 10 / 115200.0 * 1e6, wire9600 = 16 * 10 / 9600.0 * 1e6;
        std::printf("\nQV, GetVal of parameter 1, interval 1 ms:\n");
        std::printf("  %.1f exchanges/s on the pty\n", exchanges / seconds);
        PrintSpread("request -> next request", SpreadOf(cycle));
        PrintSpread("overhead: answer on the line -> next request, minus 1 ms", overhead);
        PrintSpread("the same minus the timer's median period instead", beyondTimer);
        std::printf("  wire time of one exchange: %.0f us at 115200, %.0f us at 9600 bit/s\n",
                    wire115200, wire9600);
        std::printf("  overhead / wire time: median %.2f (p99 %.2f) at 115200, median %.3f "
                    "(p99 %.3f) at 9600\n",
                    overhead.median / wire115200, overhead.p99 / wire115200,
                    overhead.median / wire9600, overhead.p99 / wire9600);
        std::printf("  (minus the timer's period: median %.2f at 115200, %.3f at 9600)\n",
                    beyondTimer.median / wire115200, beyondTimer.median / wire9600);
    }
    return 0;
}
