// The frame monitor's cost while polling: the program reads parameter 1 at interval 1 ms from
// tessera-sim (a process of its own, so that only the program's threads are counted), in
// rounds that alternate the monitor closed and open with its history full. The figure is the
// process's CPU time per request written to the port; write() is defined here to count them.
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolButton>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "exchange/Thread1.h"
#include "exchange/typeCMD.h"
#include "monitor/FrameMonitor.h"
#include "monitor/FrameMonitorModel.h"
#include "tests/support/TestDesktop.h"
#include "ui/Unit1.h"
#include "ui/main.h"
#include "ui_main.h"

namespace {

std::atomic<int> PortFd{-1};
std::atomic<int> RequestsWritten{0};

}  // namespace

extern "C" ssize_t write(int fd, const void* buffer, size_t count) {
    if (fd == PortFd.load(std::memory_order_relaxed))
        RequestsWritten.fetch_add(1, std::memory_order_relaxed);
    return syscall(SYS_write, fd, buffer, count);
}

namespace {

using bench::CpuSeconds;
using bench::RunEventLoopFor;
using bench::WaitUntil;
using Clock = std::chrono::steady_clock;

// The descriptor the program opened on `path` (the pty's slave), found through /proc.
int DescriptorOf(const QString& path) {
    const QString target = QFileInfo(path).canonicalFilePath();
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& name : fds.entryList(QDir::Files | QDir::System)) {
        if (QFileInfo(fds.filePath(name)).symLinkTarget() == target) return name.toInt();
    }
    return -1;
}

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

struct CpuRound {
    double cpuSeconds = 0;
    double seconds = 0;
    int exchanges = 0;
};

CpuRound MonitorRound(const QString& port, bool monitorOpen, int ms) {
    CpuRound r;
    bench::WriteSettings(1);
    Tz::PortOverride = port;
    TTestDesktop desktop;
    desktop.errorBox = [](const QString& text) { std::printf("  error: %s\n", qPrintable(text)); };
    {
        auto window = std::make_unique<Tz>(nullptr, &desktop);
        TSettingForm settingForm(window.get());
        SettingForm = &settingForm;
        window->show();
        if (!WaitUntil([&] { return CurrentQuery != nullptr && window->ComPort->Connected(); },
                       10000))
            qFatal("the program did not open %s", qPrintable(port));
        PortFd = DescriptorOf(port);
        if (PortFd < 0) qFatal("no descriptor open on %s", qPrintable(port));
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
        if (!WaitUntil([] { return ExchangeState == ExchangeStates::ContinuousReading; }, 5000))
            qFatal("reading did not start");
        RunEventLoopFor(300);
        const int sent = RequestsWritten;
        const double cpu = CpuSeconds();
        const auto start = Clock::now();
        RunEventLoopFor(ms);
        r.cpuSeconds = CpuSeconds() - cpu;
        r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        r.exchanges = RequestsWritten - sent;
        f.BitBtn2->click();
        PortFd = -1;
        SettingForm = nullptr;
    }
    desktop.errorBox = nullptr;
    Tz::PortOverride.clear();
    return r;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

int MonitorCost(int rounds, int roundMs) {
    QProcess instrument;
    instrument.start(QStringLiteral(TESSERA_SIM_BINARY),
                     {QStringLiteral("--protocol"), QStringLiteral("modbus"),
                      QStringLiteral("--address"), QStringLiteral("1")});
    if (!instrument.waitForReadyRead(10000)) qFatal("tessera-sim did not start");
    const QString port = QString::fromLocal8Bit(instrument.readLine()).trimmed();
    std::printf(
        "Frame monitor closed (C) and open (O), Modbus RTU, parameter 1, interval 1 ms, "
        "%d x %d ms each; CPU time of this process (the instrument runs apart)\n",
        rounds, roundMs);
    CpuRound total[2];
    std::vector<double> perExchange[2];
    for (int i = 0; i < rounds; ++i) {
        for (int open = 0; open < 2; ++open) {
            const CpuRound r = MonitorRound(port, open == 1, roundMs);
            if (r.exchanges == 0) qFatal("no request was written in round %d", i + 1);
            total[open].cpuSeconds += r.cpuSeconds;
            total[open].seconds += r.seconds;
            total[open].exchanges += r.exchanges;
            perExchange[open].push_back(r.cpuSeconds / r.exchanges * 1e6);
            std::printf(
                "round %d %c: %6.1f exchanges/s, CPU %.1f us per exchange (%.0f %% of a core)\n",
                i + 1, open ? 'O' : 'C', r.exchanges / r.seconds, perExchange[open].back(),
                100 * r.cpuSeconds / r.seconds);
            std::fflush(stdout);
        }
    }
    const double closed = total[0].cpuSeconds / total[0].exchanges * 1e6;
    const double opened = total[1].cpuSeconds / total[1].exchanges * 1e6;
    std::printf(
        "\nCPU per exchange, all rounds: closed %.1f us, open %.1f us: %+.1f us (%+.1f %%)\n",
        closed, opened, opened - closed, 100 * (opened - closed) / closed);
    std::printf("exchanges per second: closed %.1f, open %.1f\n",
                total[0].exchanges / total[0].seconds, total[1].exchanges / total[1].seconds);
    std::printf("medians of the rounds: closed %.1f us, open %.1f us\n", Median(perExchange[0]),
                Median(perExchange[1]));
    instrument.terminate();
    instrument.waitForFinished(5000);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int roundMs = 5000;
    int rounds = 4;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--round-ms")
            roundMs = std::atoi(argv[++i]);
        else if (std::string(argv[i]) == "--rounds")
            rounds = std::atoi(argv[++i]);
    }
    QTemporaryDir home;
    if (!bench::UseOwnHome(home)) return 1;
    QApplication app(argc, argv);
    return MonitorCost(rounds, roundMs);
}
