// Continuous reading, the program against a matched reference, on the virtual instrument's
// pseudo-terminal:
//
//  program    the main window (offscreen, or on X under xvfb-run), its exchange thread and
//             serial port, reading parameter 1 in Modbus RTU at 115200 bit/s with the repeat
//             pause in the interval field, started with the readings button;
//  reference  libmodbus in this same process, paced by a QTimer of the same kind and interval:
//             each tick reads the same two registers (modbus_read_registers), decodes the
//             value, shows it on the fifteen digit controls of a main form of its own (shown,
//             the same colours and cells) in the program's display format (sign cell, four
//             digits with the point code the program took from the instrument), the timer
//             armed again before the drawing as the program arms it. So both sides draw, and
//             the drawing counts on both.
//
// Rounds alternate (program, reference, program, ...) on one instrument and one pty. The
// instrument's value moves fast (500 +- 480 over 50 ms), so each reading changes 3-4 of the
// panel's digits and they really repaint; --frozen holds it still (the exchange alone).
//
// Stamps, taken as things happen:
//   answer written      the instrument's write() of an answer
//   answer in hand      program: the interpretation's first call to the window (its status),
//                       made on the main thread once the answer has come over from the port
//                       event thread and the exchange thread; reference: modbus_read_registers
//                       returned
//   timer armed         program: the exchange's ArmRepeatTimer returned (a forwarding view sits
//                       between the exchange and the window); reference: QTimer::start returned
//   timer fired         the timer's QTimerEvent reaches its QTimer (an event filter)
//   request written     write() of the request on the port's descriptor
// This executable interposes write(), so neither the program nor libmodbus carries bench code.
// Own critical path = (answer written -> timer armed) + (timer fired -> request written): what a
// side does between an answer and its next request, the pause itself left out. CPU time,
// system calls, context switches and allocations per exchange come from Probes.h.
//
// The interval is 2 ms: in Modbus RTU the program keeps 1.75 ms of silence after the last byte
// received (at 115200 bit/s), and with 2 ms that wait never falls between the stamps.
// A pty has no line timing: bytes "at 115200 bit/s" arrive at once.
#include <modbus.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/Probes.h"
#include "controls/Digit.h"
#include "exchange/ExchangeView.h"
#include "exchange/Thread1.h"
#include "exchange/typeCMD.h"
#include "protocol/NumberText.h"
#include "sim/VirtualInstrument.h"
#include "tests/support/TestDesktop.h"
#include "ui/Unit1.h"
#include "ui/main.h"
#include "ui_main.h"

using bench::RunEventLoopFor;
using bench::WaitUntil;

// ---- stamps -----------------------------------------------------------------------------------

namespace {

enum StampKind : uint8_t {
    AnswerWritten,
    AnswerInHand,
    TimerArmed,
    TimerFired,
    RequestWritten,
    DrawStart,
    DrawEnd
};

struct Stamp {
    int64_t ns;
    StampKind kind;
};

constexpr size_t StampCapacity = size_t(1) << 20;
Stamp Stamps[StampCapacity];
std::atomic<size_t> StampCount{0};
std::atomic<bool> Stamping{false};

// Descriptors of the line: the port's side (the program's or libmodbus's) and the
// instrument's side, found anew after every open.
constexpr int MaxLineFds = 4;
std::atomic<int> PortFds[MaxLineFds];
std::atomic<int> InstrumentFds[MaxLineFds];
std::atomic<pid_t> InstrumentTid{0};

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void Put(StampKind kind, int64_t ns) {
    const size_t i = StampCount.fetch_add(1, std::memory_order_relaxed);
    if (i < StampCapacity) Stamps[i] = {ns, kind};
}

void Mark(StampKind kind) {
    if (Stamping.load(std::memory_order_relaxed)) Put(kind, NowNs());
}

bool Holds(const std::atomic<int>* fds, int fd) {
    for (int i = 0; i < MaxLineFds; ++i)
        if (fds[i].load(std::memory_order_relaxed) == fd) return true;
    return false;
}

void NoteLineWrite(int fd, int64_t at) {
    if (Holds(InstrumentFds, fd)) {
        InstrumentTid.store(probes::CurrentTid(), std::memory_order_relaxed);
        Put(AnswerWritten, at);
    } else if (Holds(PortFds, fd)) {
        Put(RequestWritten, at);
    }
}

}  // namespace

// The stamp is taken as the call is made: the write wakes the reader on the other side, which
// may preempt the writer before it could stamp afterwards.
extern "C" ssize_t write(int fd, const void* buffer, size_t count) {
    const int64_t at = Stamping.load(std::memory_order_relaxed) ? NowNs() : 0;
    const ssize_t written = ::syscall(SYS_write, fd, buffer, count);
    if (written > 0 && at != 0) NoteLineWrite(fd, at);
    return written;
}

namespace {

// Both sides of the line as this process holds them: descriptors linked to the pty's slave
// path are the port's, those on /dev/ptmx the instrument's.
void FindLineDescriptors(const std::string& slavePath) {
    int port = 0, instrument = 0;
    for (int i = 0; i < MaxLineFds; ++i) PortFds[i] = InstrumentFds[i] = -1;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& entry : fds.entryList(QDir::Files | QDir::System)) {
        char target[256] = {};
        const QByteArray link = fds.filePath(entry).toLocal8Bit();
        if (::readlink(link.constData(), target, sizeof target - 1) <= 0) continue;
        if (slavePath == target && port < MaxLineFds) PortFds[port++] = entry.toInt();
        if (std::strcmp(target, "/dev/ptmx") == 0 && instrument < MaxLineFds)
            InstrumentFds[instrument++] = entry.toInt();
    }
}

// ---- what a side did in one span ------------------------------------------------------------

struct ThreadTotals {
    double cpuNs = 0, switches = 0, syscalls = 0, allocations = 0;
};

struct Side {
    double seconds = 0;
    double exchanges = 0;         // requests written
    double countedExchanges = 0;  // requests written while system calls were counted
    std::vector<double> toArmed, fromFired, critical, cycle, drawing;  // microseconds
    std::vector<double> toInHand, inHandToArmed;  // the first part split where the answer
                                                  // reaches the main thread
    std::map<std::string, ThreadTotals> threads;  // by role
    double xServerNs = 0;
    double changedCells = 0, digitPaints = 0;
};

std::string RoleOf(const probes::ThreadFigures& f) {
    if (f.tid == ::getpid()) return "main thread";
    if (f.tid == InstrumentTid.load()) return "instrument";
    if (f.name == "Th1") return "exchange thread";
    if (f.name == "TSerialThread") return "port event thread";
    return "thread " + f.name;  // Qt's own (QXcbEventQueue, ...)
}

std::vector<Stamp> SortedStamps() {
    const size_t n = std::min(StampCount.load(), StampCapacity);
    std::vector<Stamp> v(Stamps, Stamps + n);
    std::sort(v.begin(), v.end(), [](const Stamp& a, const Stamp& b) { return a.ns < b.ns; });
    return v;
}

// Answer -> armed -> fired -> request, each exchange on its own; the request also closes a cycle.
void TakePaths(Side& side) {
    int64_t answer = -1, inHand = -1, armed = -1, fired = -1, request = -1, drawStart = -1;
    auto us = [](int64_t ns) { return double(ns) / 1000.0; };
    for (const Stamp& s : SortedStamps()) {
        switch (s.kind) {
            case AnswerWritten:
                answer = s.ns;
                inHand = armed = fired = -1;
                break;
            case AnswerInHand:
                if (answer >= 0 && inHand < 0) inHand = s.ns;
                break;
            case TimerArmed:
                if (answer >= 0 && armed < 0) armed = s.ns;
                break;
            case TimerFired:
                if (armed >= 0 && fired < 0) fired = s.ns;
                break;
            case DrawStart:
                drawStart = s.ns;
                break;
            case DrawEnd:
                if (drawStart >= 0) side.drawing.push_back(us(s.ns - drawStart));
                break;
            case RequestWritten:
                side.exchanges += 1;
                if (fired >= 0) {
                    side.toArmed.push_back(us(armed - answer));
                    side.fromFired.push_back(us(s.ns - fired));
                    side.critical.push_back(us(armed - answer + s.ns - fired));
                    if (inHand >= 0 && inHand <= armed) {
                        side.toInHand.push_back(us(inHand - answer));
                        side.inHandToArmed.push_back(us(armed - inHand));
                    }
                }
                if (request >= 0) side.cycle.push_back(us(s.ns - request));
                request = s.ns;
                answer = inHand = armed = fired = -1;
                break;
        }
    }
}

// Runs the event loop for `ms` with the probes on and adds what they saw to `side`: either
// everything but the system calls, or (`countSyscalls`) the system calls alone.
void MeasureSpan(Side& side, int ms, pid_t xServer, bool countSyscalls) {
    probes::ThreadSnapshot threads;
    const double xBefore = xServer ? probes::ProcessCpuNs(xServer) : 0;
    threads.Begin(countSyscalls);
    StampCount = 0;
    Stamping = true;
    const int64_t start = NowNs();
    RunEventLoopFor(ms);
    Stamping = false;
    const double seconds = double(NowNs() - start) / 1e9;
    const std::vector<probes::ThreadFigures> figures = threads.End();
    const double xServerNs = xServer ? probes::ProcessCpuNs(xServer) - xBefore : 0;
    if (countSyscalls) {
        Side counted;
        TakePaths(counted);
        side.countedExchanges += counted.exchanges;
        for (const probes::ThreadFigures& f : figures)
            side.threads[RoleOf(f)].syscalls += f.syscalls;
        return;
    }
    side.seconds += seconds;
    side.xServerNs += xServerNs;
    for (const probes::ThreadFigures& f : figures) {
        ThreadTotals& t = side.threads[RoleOf(f)];
        t.cpuNs += f.cpuNs;
        t.switches += f.switches;
        t.allocations += f.allocations;
    }
    TakePaths(side);
}

// ---- the program --------------------------------------------------------------------------------

// Between the exchange and the window: forwards every call, stamps the repeat timer's arming
// and the drawing of a reading, and counts the digit cells a reading changed.
class StampingView : public TExchangeView {
public:
    StampingView(TExchangeView& inner, Tz& window) : FInner(inner), FWindow(window) {}
    double changedCells = 0;

    // The interpretation's first call: the answer has reached the main thread.
    void ShowStatus(const QString& text) override {
        Mark(AnswerInHand);
        FInner.ShowStatus(text);
    }
    void ShowError(const QString& text) override { FInner.ShowError(text); }
    void ReportLineFailure(const ESerialPort& error) override { FInner.ReportLineFailure(error); }
    void ShowReading(int panel, uint8_t pointCode, double value) override {
        QChar before[5];
        for (int cell = 0; cell < 5; ++cell) before[cell] = FWindow.PanelCell(panel, cell)->Value();
        Mark(DrawStart);
        FInner.ShowReading(panel, pointCode, value);
        Mark(DrawEnd);
        if (!Stamping) return;
        for (int cell = 0; cell < 5; ++cell)
            if (FWindow.PanelCell(panel, cell)->Value() != before[cell]) changedCells += 1;
    }
    void ClearPanel(int panel) override { FInner.ClearPanel(panel); }
    void ShowUnit(int panel, const QString& unit) override { FInner.ShowUnit(panel, unit); }
    QString FieldText(TField field) const override { return FInner.FieldText(field); }
    void SetFieldText(TField field, const QString& text) override {
        FInner.SetFieldText(field, text);
    }
    void SetFieldIndex(TField field, int index) override { FInner.SetFieldIndex(field, index); }
    void ArmRepeatTimer(int intervalMs) override {
        FInner.ArmRepeatTimer(intervalMs);
        Mark(TimerArmed);
    }
    void RefreshProtocolView() override { FInner.RefreshProtocolView(); }
    void EnableProtocolSwitch(bool enabled) override { FInner.EnableProtocolSwitch(enabled); }
    void TraceAnswer(const uint8_t* answer, int length) override {
        FInner.TraceAnswer(answer, length);
    }
    void RequestEnded(const TRequestEnd& end) override { FInner.RequestEnded(end); }

private:
    TExchangeView& FInner;
    Tz& FWindow;
};

// Stamps a timer's tick as its event arrives, before the timer emits timeout().
class TimerFiredStamp : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Timer) Mark(TimerFired);
        return false;
    }
};

class PaintCount : public QObject {
public:
    double paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && Stamping.load(std::memory_order_relaxed)) paints += 1;
        return false;
    }
};

struct Options {
    int rounds = 4;
    int roundMs = 4000;
    int intervalMs = 2;
    bool frozen = false;  // a value that never changes: no digit repaints
};

void StartReading(Tz& window, int intervalMs) {
    Ui::Tz& f = *window.ui;
    f.EditAdr->setText(QStringLiteral("1"));
    window.EditAdrExit();
    f.ToolButton1->click();
    f.CheckBox1->setChecked(true);
    f.CheckBox2->setChecked(false);
    f.CheckBox3->setChecked(false);
    f.Edit1->setText(QString::number(intervalMs));
    f.BitBtn1->click();
    if (!WaitUntil([] { return ExchangeState == ExchangeStates::ContinuousReading; }, 5000))
        qFatal("reading did not start");
}

void ProgramRound(Side& side, sim::VirtualInstrument& instrument, const Options& o, pid_t xServer,
                  bool countSyscalls) {
    QStringList errors;
    bench::WriteSettings(500);
    Tz::PortOverride = QString::fromStdString(instrument.DevicePath());
    TTestDesktop desktop;
    desktop.errorBox = [&errors](const QString& text) { errors << text; };
    const int noAnswers = NoAnswerCount, badCrcs = CrcErrorCount;
    {
        auto window = std::make_unique<Tz>(nullptr, &desktop);
        TSettingForm settingForm(window.get());
        SettingForm = &settingForm;
        window->show();
        if (!WaitUntil([&] { return CurrentQuery != nullptr && window->ComPort->Connected(); },
                       10000))
            qFatal("the program did not open %s", instrument.DevicePath().c_str());
        TExchangeView* windowView = ExchangeView;
        StampingView view(*windowView, *window);
        ExchangeView = &view;
        TimerFiredStamp fired;
        window->TimerRepeat->installEventFilter(&fired);
        PaintCount paints;
        for (int panel = 1; panel <= 3; ++panel)
            for (int cell = 0; cell < 5; ++cell)
                window->PanelCell(panel, cell)->installEventFilter(&paints);

        StartReading(*window, o.intervalMs);
        RunEventLoopFor(300);  // preparation done, the first readings drawn
        FindLineDescriptors(instrument.DevicePath());
        MeasureSpan(side, o.roundMs, xServer, countSyscalls);
        if (!countSyscalls) {
            side.changedCells += view.changedCells;
            side.digitPaints += paints.paints;
        }

        window->ui->BitBtn2->click();
        RunEventLoopFor(50);  // an answer still under way is taken and dropped
        ExchangeView = windowView;
        SettingForm = nullptr;
    }
    desktop.errorBox = nullptr;
    Tz::PortOverride.clear();
    if (!errors.isEmpty())
        std::printf("  the program showed errors: %s\n", qPrintable(errors.join(" | ")));
    if (NoAnswerCount != noAnswers || CrcErrorCount != badCrcs)
        std::printf("  program: no answer %d, bad CRC %d\n", NoAnswerCount.load(),
                    CrcErrorCount.load());
}

// ---- the reference ------------------------------------------------------------------------------

// The reference's own form: the main window's layout with the digits coloured as the program
// colours them, the readings page in front.
struct ReferenceForm {
    QMainWindow window;
    Ui::Tz ui;
    ReferenceForm() {
        ui.setupUi(&window);
        ui.PageControl1->setCurrentWidget(ui.TabPok);
        const QColor green(0x00, 0x80, 0x00);
        for (TDigit* d : window.findChildren<TDigit*>()) {
            d->SetShift(0);
            d->OnPen()->SetColor(green);
            d->OnBrush()->SetColor(green);
            d->OffPen()->SetColor(Qt::white);
            d->OffBrush()->SetColor(window.palette().color(QPalette::Button));
            d->SetValue(QLatin1Char(' '));
            d->Setdp(false);
        }
    }
    // The first panel: sign cell, then the digits left to right, as the program shows them.
    TDigit* Cell(int cell) const {
        TDigit* const cells[5] = {ui.Digit5, ui.Digit1, ui.Digit3, ui.Digit4, ui.Digit2};
        return cells[cell];
    }
    // The program's display format: sign cell, four digits, the point after digit point code + 1.
    void Show(uint8_t pointCode, double value) {
        QChar sign = QLatin1Char(' ');
        if (value < 0) {
            sign = QLatin1Char('-');
            value = -value;
        }
        char digits[4];
        protocol::PanelDigits(value, pointCode, digits);
        for (int k = 1; k <= 4; ++k) Cell(k)->Setdp(pointCode == k - 1);
        Cell(0)->SetValue(sign);
        for (int k = 1; k <= 4; ++k) Cell(k)->SetValue(QLatin1Char(digits[k - 1]));
    }
};

void ReferenceRound(Side& side, sim::VirtualInstrument& instrument, const Options& o, pid_t xServer,
                    bool countSyscalls, uint8_t pointCode) {
    const std::string path = instrument.DevicePath();
    modbus_t* ctx = modbus_new_rtu(path.c_str(), 115200, 'N', 8, 1);
    if (!ctx || modbus_set_slave(ctx, 1) != 0 || modbus_connect(ctx) != 0)
        qFatal("libmodbus cannot open %s: %s", path.c_str(), modbus_strerror(errno));
    ReferenceForm form;
    form.window.show();
    PaintCount paints;
    for (TDigit* d : form.window.findChildren<TDigit*>()) d->installEventFilter(&paints);
    QTimer timer;  // as the program's repeat timer: default kind, stopped on its tick
    timer.setInterval(o.intervalMs);
    TimerFiredStamp fired;
    timer.installEventFilter(&fired);
    uint16_t registers[2];
    int failures = 0;
    double changedCells = 0;
    // As the program does: the timer is armed before the value is drawn (it cannot fire before
    // this handler returns), so the drawing stays off the way to the next request.
    QObject::connect(&timer, &QTimer::timeout, [&] {
        timer.stop();
        const bool read = modbus_read_registers(ctx, 0, 2, registers) == 2;
        Mark(AnswerInHand);
        timer.start();
        Mark(TimerArmed);
        if (!read) {
            ++failures;
            return;
        }
        QChar before[5];
        for (int cell = 0; cell < 5; ++cell) before[cell] = form.Cell(cell)->Value();
        Mark(DrawStart);
        // The instrument keeps the value's low-order word in the first register.
        form.Show(pointCode, double(modbus_get_float_cdab(registers)));
        Mark(DrawEnd);
        if (Stamping)
            for (int cell = 0; cell < 5; ++cell)
                if (form.Cell(cell)->Value() != before[cell]) changedCells += 1;
    });
    timer.start();
    RunEventLoopFor(300);
    FindLineDescriptors(path);
    changedCells = 0;
    MeasureSpan(side, o.roundMs, xServer, countSyscalls);
    if (!countSyscalls) {
        side.changedCells += changedCells;
        side.digitPaints += paints.paints;
    }
    timer.stop();
    modbus_close(ctx);
    modbus_free(ctx);
    if (failures) std::printf("  reference: %d failed reads\n", failures);
}

// ---- figures ------------------------------------------------------------------------------------

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double P99(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, v.size() * 99 / 100)];
}

void Figure(const std::string& what, double program, double reference, const char* unit = "") {
    const int decimals = std::max(program, reference) >= 100 ? 0 : 1;
    std::printf("%s: program %.*f%s, reference %.*f%s, ratio ", what.c_str(), decimals, program,
                unit, decimals, reference, unit);
    if (reference > 0)
        std::printf("%.2f\n", program / reference);
    else
        std::printf("-\n");
}

using Field = double ThreadTotals::*;

// System calls were counted in rounds of their own.
double ExchangesFor(const Side& side, Field field) {
    return field == &ThreadTotals::syscalls ? side.countedExchanges : side.exchanges;
}

double PerExchange(const Side& side, const std::string& role, Field field) {
    const auto it = side.threads.find(role);
    const double exchanges = ExchangesFor(side, field);
    return it == side.threads.end() || exchanges == 0 ? 0 : it->second.*field / exchanges;
}

double AllButInstrument(const Side& side, Field field) {
    double sum = 0;
    for (const auto& [role, totals] : side.threads)
        if (role != "instrument") sum += totals.*field;
    const double exchanges = ExchangesFor(side, field);
    return exchanges == 0 ? 0 : sum / exchanges;
}

// One line for the threads together, then one per thread (the main thread first).
void ThreadFigures(const char* what, const Side& p, const Side& r, Field field, double scale,
                   const char* unit) {
    Figure(std::string(what) + ", all threads but the instrument's",
           AllButInstrument(p, field) * scale, AllButInstrument(r, field) * scale, unit);
    std::vector<std::string> roles{"main thread"};
    for (const Side* side : {&p, &r})
        for (const auto& entry : side->threads)
            if (entry.first != "instrument" &&
                std::find(roles.begin(), roles.end(), entry.first) == roles.end())
                roles.push_back(entry.first);
    for (const std::string& role : roles) {
        const double program = PerExchange(p, role, field), reference = PerExchange(r, role, field);
        if (role != "main thread" && program == 0 && reference == 0) continue;  // an idle Qt thread
        Figure(std::string(what) + ", " + role, program * scale, reference * scale, unit);
    }
}

void PrintSummary(const Side& p, const Side& r, pid_t xServer) {
    std::printf("\n");
    Figure("exchanges per second", p.exchanges / p.seconds, r.exchanges / r.seconds);
    Figure("own critical path, answer written -> timer armed, median", Median(p.toArmed),
           Median(r.toArmed), " us");
    Figure("  of which answer written -> answer on the main thread, median", Median(p.toInHand),
           Median(r.toInHand), " us");
    Figure("  of which answer on the main thread -> timer armed, median", Median(p.inHandToArmed),
           Median(r.inHandToArmed), " us");
    Figure("own critical path, timer fired -> request written, median", Median(p.fromFired),
           Median(r.fromFired), " us");
    Figure("own critical path, both parts, median", Median(p.critical), Median(r.critical), " us");
    Figure("own critical path, both parts, p99", P99(p.critical), P99(r.critical), " us");
    Figure("exchange cycle, request -> next request, median", Median(p.cycle), Median(r.cycle),
           " us");
    ThreadFigures("CPU per exchange", p, r, &ThreadTotals::cpuNs, 1e-3, " us");
    const char* calls = probes::ThreadSnapshot::SyscallsExact()
                            ? "system calls per exchange"
                            : "read/write-class system calls per exchange";
    ThreadFigures(calls, p, r, &ThreadTotals::syscalls, 1, "");
    ThreadFigures("voluntary context switches per exchange", p, r, &ThreadTotals::switches, 1, "");
    ThreadFigures("allocations per exchange", p, r, &ThreadTotals::allocations, 1, "");
    if (xServer)
        Figure("X server CPU per exchange", p.xServerNs / p.exchanges / 1e3,
               r.xServerNs / r.exchanges / 1e3, " us");
    std::printf(
        "(not compared) instrument thread CPU per exchange: %.1f us beside the program, "
        "%.1f us beside the reference\n",
        PerExchange(p, "instrument", &ThreadTotals::cpuNs) / 1e3,
        PerExchange(r, "instrument", &ThreadTotals::cpuNs) / 1e3);
    Figure("digit cells changed per reading", p.changedCells / p.exchanges,
           r.changedCells / r.exchanges);
    Figure("digit paint events per exchange", p.digitPaints / p.exchanges,
           r.digitPaints / r.exchanges);
    Figure("drawing a reading, median", Median(p.drawing), Median(r.drawing), " us");
}

void PrintRound(int i, const Side& p, const Side& r) {
    std::printf(
        "round %d: program %.0f exchanges, critical path %.0f us, CPU %.0f us/exchange; "
        "reference %.0f exchanges, %.0f us, %.0f us/exchange\n",
        i, p.exchanges, Median(p.critical), AllButInstrument(p, &ThreadTotals::cpuNs) / 1e3,
        r.exchanges, Median(r.critical), AllButInstrument(r, &ThreadTotals::cpuNs) / 1e3);
    std::fflush(stdout);
}

void Accumulate(Side& into, const Side& from) {
    into.seconds += from.seconds;
    into.exchanges += from.exchanges;
    into.countedExchanges += from.countedExchanges;
    for (auto [to, add] : {std::pair{&into.toArmed, &from.toArmed},
                           {&into.fromFired, &from.fromFired},
                           {&into.toInHand, &from.toInHand},
                           {&into.inHandToArmed, &from.inHandToArmed},
                           {&into.critical, &from.critical},
                           {&into.cycle, &from.cycle},
                           {&into.drawing, &from.drawing}})
        to->insert(to->end(), add->begin(), add->end());
    for (const auto& [role, t] : from.threads) {
        ThreadTotals& sum = into.threads[role];
        sum.cpuNs += t.cpuNs;
        sum.switches += t.switches;
        sum.syscalls += t.syscalls;
        sum.allocations += t.allocations;
    }
    into.xServerNs += from.xServerNs;
    into.changedCells += from.changedCells;
    into.digitPaints += from.digitPaints;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rounds")
            o.rounds = std::atoi(argv[++i]);
        else if (arg == "--round-ms")
            o.roundMs = std::atoi(argv[++i]);
        else if (arg == "--interval-ms")
            o.intervalMs = std::atoi(argv[++i]);
    }
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]) == "--frozen") o.frozen = true;
    QTemporaryDir home;
    if (!bench::UseOwnHome(home)) return 1;
    QApplication app(argc, argv);
    const pid_t xServer =
        QGuiApplication::platformName() == QLatin1String("xcb") ? probes::XServerPid() : 0;

    sim::Config config;
    config.protocol = sim::Protocol::Modbus;
    config.address = 1;
    config.parameterCount = 3;
    sim::VirtualInstrument instrument(config);
    if (o.frozen)
        instrument.Model().FreezeValue(1, 123.4f);
    else
        instrument.Model().LetValueDrift(1, 500.0f, 480.0f, 50);
    instrument.Start();

    std::printf(
        "Platform %s; %d rounds of %d ms per side; Modbus RTU, parameter 1, interval %d ms, "
        "value %s; system calls counted %s\n",
        qPrintable(QGuiApplication::platformName()), o.rounds, o.roundMs, o.intervalMs,
        o.frozen ? "frozen" : "moving",
        probes::ThreadSnapshot::SyscallsExact() ? "by tracepoint"
                                                : "from /proc io (read/write only)");
    std::fflush(stdout);
    Side program, reference;
    for (int i = 1; i <= o.rounds; ++i) {
        Side p, r;
        ProgramRound(p, instrument, o, xServer, false);
        ReferenceRound(r, instrument, o, xServer, false, ChannelSetup[0].PointCode);
        PrintRound(i, p, r);
        Accumulate(program, p);
        Accumulate(reference, r);
    }
    // One more round per side with the system calls counted, and nothing else taken from it.
    ProgramRound(program, instrument, o, xServer, true);
    ReferenceRound(reference, instrument, o, xServer, true, ChannelSetup[0].PointCode);
    instrument.Stop();
    PrintSummary(program, reference, xServer);
    return 0;
}
