// What the program costs when it has little to do, on a pseudo-terminal:
//
//  1. start-up: the real `tessera` binary, launched 10 times with TESSERA_EXIT_AFTER_SHOWN=1
//     (it quits once the main window is shown and activated): time from fork to its "shown
//     after N ms, port open" line, median and spread, and its peak RSS;
//  2. CPU time over a window (60 s by default) of the program (main window offscreen, exchange
//     thread, serial port; this process) with
//       (a) the port open and no polling,
//       (b) polling one parameter at 500 ms,
//       (c) 10 bytes from the instrument left unread in the input queue, no request out;
//     and the peak RSS of this process after the three.
//
// The virtual instrument runs in a child process forked before anything else, so its work is
// not counted in the program's CPU time.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "exchange/Thread1.h"
#include "exchange/typeCMD.h"
#include "sim/VirtualInstrument.h"
#include "ui/Unit1.h"
#include "ui/main.h"
#include "ui_main.h"

#include "bench/BenchSupport.h"

using bench::CpuSeconds;
using bench::RunEventLoopFor;
using bench::WaitUntil;

namespace {

using Clock = std::chrono::steady_clock;

// ---- the instrument's process ---------------------------------------------------------------

struct InstrumentProcess {
    pid_t pid = -1;
    int commands = -1;  // 'i': inject 10 bytes, then answers 'k' on `replies`
    int replies = -1;
    std::string path;
};

[[noreturn]] void ServeInstrument(int commands, int replies) {
    sim::Config config;
    config.protocol = sim::Protocol::Modbus;
    config.address = 1;
    config.parameterCount = 3;
    sim::VirtualInstrument instrument(config);
    instrument.Start();
    const std::string path = instrument.DevicePath() + "\n";
    (void)!::write(replies, path.data(), path.size());
    char c;
    while (::read(commands, &c, 1) == 1) {
        if (c == 'i') {
            instrument.InjectBytes({'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'});
            (void)!::write(replies, "k", 1);
        }
    }
    instrument.Stop();
    ::_exit(0);
}

InstrumentProcess StartInstrument() {
    int toChild[2], fromChild[2];
    if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0) std::exit(1);
    InstrumentProcess p;
    p.pid = ::fork();
    if (p.pid == 0) {
        ::close(toChild[1]);
        ::close(fromChild[0]);
        ServeInstrument(toChild[0], fromChild[1]);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    p.commands = toChild[1];
    p.replies = fromChild[0];
    char c;
    while (::read(p.replies, &c, 1) == 1 && c != '\n') p.path += c;
    return p;
}

void StopInstrument(InstrumentProcess& p) {
    ::close(p.commands);
    ::waitpid(p.pid, nullptr, 0);
}

// ---- helpers --------------------------------------------------------------------------------




QString SettingsText(const std::string& port, int pause) {
    return QStringLiteral("[Port]\nPort=%1\nBaud=7\nPause=%2\nprot=1\n[Update]\nUpdate=0\n")
        .arg(QString::fromStdString(port))
        .arg(pause);
}

void WriteFile(const QString& path, const QString& text) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) qFatal("cannot write %s", qPrintable(path));
    file.write(text.toUtf8());
}

// ---- 1. start-up of the real binary -----------------------------------------------------------

struct Launch {
    double ms = -1;      // fork -> "shown" line
    long maxRssKb = 0;
};

Launch LaunchOnce(const QString& home) {
    int out[2];
    if (::pipe(out) != 0) return {};
    const auto started = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::close(out[1]);
        const QByteArray h = home.toLocal8Bit();
        ::setenv("HOME", h.constData(), 1);
        ::setenv("XDG_CONFIG_HOME", (h + "/.config").constData(), 1);
        ::setenv("XDG_DATA_HOME", (h + "/.local/share").constData(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("TESSERA_EXIT_AFTER_SHOWN", "1", 1);
        ::execl(TESSERA_BINARY, TESSERA_BINARY, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    Launch l;
    std::string line;
    char c;
    while (::read(out[0], &c, 1) == 1) {
        if (c == '\n') {
            if (line.rfind("shown after", 0) == 0) {
                // A launch whose port did not open would time an error path instead.
                if (line.find("port open") == std::string::npos) break;
                l.ms = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
                break;
            }
            line.clear();
        } else {
            line += c;
        }
    }
    ::close(out[0]);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    l.maxRssKb = usage.ru_maxrss;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) l.ms = -1;
    return l;
}

void StartUp(const std::string& port, int launches) {
    QTemporaryDir home;
    WriteFile(home.path() + QStringLiteral("/Documents/Tessera_RS/setup.cfg"), SettingsText(port, 500));
    std::vector<double> ms;
    long rss = 0;
    for (int i = 0; i < launches; ++i) {
        const Launch l = LaunchOnce(home.path());
        if (l.ms < 0) {
            std::printf("launch %d: no \"shown ..., port open\" line, or a failed exit\n", i + 1);
            continue;
        }
        ms.push_back(l.ms);
        rss = std::max(rss, l.maxRssKb);
    }
    if (ms.empty()) return;
    std::sort(ms.begin(), ms.end());
    std::printf("start-up to main window shown and port open (%zu launches): median %.0f ms, "
                "min %.0f ms, max %.0f ms; peak RSS %.1f MB\n",
                ms.size(), ms[ms.size() / 2], ms.front(), ms.back(), rss / 1024.0);
}

// ---- 2. idle cost ---------------------------------------------------------------------------

void Report(const char* what, double cpu, double wall) {
    std::printf("  %-46s %7.3f s CPU in %5.1f s = %6.3f %% of a core\n", what, cpu, wall,
                100.0 * cpu / wall);
    std::fflush(stdout);
}

template <typename F>
void Measure(const char* what, int ms, F&& afterwards) {
    const double cpuBefore = CpuSeconds();
    const auto start = Clock::now();
    RunEventLoopFor(ms);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    Report(what, CpuSeconds() - cpuBefore, wall);
    afterwards();
}

void IdleCost(InstrumentProcess& instrument, int ms) {
    WriteFile(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                  QStringLiteral("/Tessera_RS/setup.cfg"),
              SettingsText(instrument.path, 500));
    QStringList errors;
    Tz::ErrorBoxHook = [&errors](const QString& text) { errors << text; };
    auto window = std::make_unique<Tz>();
    auto settingForm = std::make_unique<TSettingForm>(window.get());
    SettingForm = settingForm.get();
    window->show();
    if (!WaitUntil([&] { return CurrentQuery != nullptr && window->ComPort->Connected(); }, 10000))
        qFatal("the program did not open %s", instrument.path.c_str());
    Ui::Tz& f = *window->ui;
    f.EditAdr->setText(QStringLiteral("1"));
    window->EditAdrExit();
    f.ToolButton1->click();
    RunEventLoopFor(1000);  // first paints and the start-up's leftovers

    std::printf("CPU time of the program (this process; the instrument runs in another):\n");
    Measure("(a) port open, no polling", ms, [] {});

    f.CheckBox1->setChecked(true);
    f.Edit1->setText(QStringLiteral("500"));
    f.BitBtn1->click();
    if (!WaitUntil([] { return ExchangeState == 11; }, 5000)) qFatal("reading did not start");
    const int sentBefore = SentCount;
    Measure("(b) polling parameter 1 at 500 ms", ms, [&] {
        std::printf("      %d requests, %d unanswered\n", SentCount - sentBefore, NoAnswerCount.load());
    });
    f.BitBtn2->click();
    RunEventLoopFor(1000);  // the last answer, if one was out, arrives and is ignored

    window->ComPort->ClearBuffer(true, false);
    char ack;
    if (::write(instrument.commands, "i", 1) != 1 || ::read(instrument.replies, &ack, 1) != 1)
        qFatal("the instrument did not inject");
    if (!WaitUntil([&] { return window->ComPort->InBufCount() == 10; }, 5000))
        qFatal("the injected bytes did not arrive");
    RunEventLoopFor(200);
    Measure("(c) 10 unread bytes in the input, no request", ms, [&] {
        std::printf("      still queued afterwards: %d bytes\n", window->ComPort->InBufCount());
    });

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak RSS of the program after the three: %.1f MB\n", usage.ru_maxrss / 1024.0);
    SettingForm = nullptr;
    settingForm.reset();  // a child of the window: gone before it
    window.reset();
    Tz::ErrorBoxHook = nullptr;
    if (!errors.isEmpty()) std::printf("the program showed errors: %s\n", qPrintable(errors.join(" | ")));
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 60;
    int launches = 10;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--seconds") seconds = std::atoi(argv[++i]);
        else if (std::string(argv[i]) == "--launches") launches = std::atoi(argv[++i]);
    }
    // Forked before any thread exists in this process.
    InstrumentProcess instrument = StartInstrument();
    if (instrument.path.empty()) {
        std::printf("the virtual instrument did not start\n");
        return 1;
    }
    std::printf("virtual instrument on %s (its own process)\n", instrument.path.c_str());
    std::fflush(stdout);

    StartUp(instrument.path, launches);
    std::fflush(stdout);

    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + "/.local/share").toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    {
        QApplication app(argc, argv);
        IdleCost(instrument, seconds * 1000);
    }
    StopInstrument(instrument);
    return 0;
}
