// What the program costs when it has little to do, against the least a Qt Widgets program can
// be (minimal_window: one empty window), both as processes of their own on the same platform:
//
//  1. start-up: each binary launched 10 times, alternately, with TESSERA_EXIT_AFTER_SHOWN=1
//     (it quits once its window has painted its first frame; the program also opens its port
//     on the instrument's pty first): time from fork to its "shown after N ms" line, median;
//     peak RSS of the launches, the largest; the same again against the window with one line
//     of text (TESSERA_MINIMAL_TEXT=1), the least a window that shows a word costs, fonts
//     included; and against the program's main form alone (form_window), the floor under the
//     program;
//  2. idle: both running side by side for a window (30 s by default) after 2 s of settling:
//       (a) the program's port open, no request out;
//       (b) then 10 bytes from the instrument left unread in the program's input queue;
//     CPU time of every thread of each process (/proc/<pid>/task/*/schedstat), and each one's
//     peak RSS (VmHWM) at the end.
//
// The virtual instrument runs in a child process forked before anything else.
// --program PATH measures another build of the program (an earlier one, say) the same way.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench/Probes.h"
#include "sim/VirtualInstrument.h"

namespace {

using Clock = std::chrono::steady_clock;

// The program measured: the one built beside this benchmark, or another build (--program).
const char* ProgramBinary = TESSERA_BINARY;

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

bool InjectUnreadBytes(InstrumentProcess& p) {
    char ack;
    return ::write(p.commands, "i", 1) == 1 && ::read(p.replies, &ack, 1) == 1;
}

// ---- launching ------------------------------------------------------------------------------

struct Home {
    std::string path;
    explicit Home(const std::string& port) {
        char pattern[] = "/tmp/idle_bench.XXXXXX";
        path = ::mkdtemp(pattern);
        const std::string folder = path + "/Documents/Tessera_RS";
        ::mkdir((path + "/Documents").c_str(), 0700);
        ::mkdir(folder.c_str(), 0700);
        FILE* settings = std::fopen((folder + "/setup.cfg").c_str(), "w");
        std::fprintf(settings, "[Port]\nPort=%s\nBaud=7\nPause=500\nprot=1\n[Update]\nUpdate=0\n",
                     port.c_str());
        std::fclose(settings);
    }
    ~Home() { std::system(("rm -rf '" + path + "'").c_str()); }
};

// Forks `binary` with its output on a pipe (returned in `output`), in `home`, offscreen.
pid_t Launch(const char* binary, const Home& home, bool exitAfterShown, int& output,
             bool withText = false) {
    int out[2];
    if (::pipe(out) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        const int quiet = ::open("/dev/null", O_WRONLY);  // Qt's platform notes
        ::dup2(quiet, 2);
        ::close(out[0]);
        ::close(out[1]);
        ::setenv("HOME", home.path.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home.path + "/.config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (home.path + "/.local/share").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", home.path.c_str(), 1);
        if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        if (exitAfterShown) ::setenv("TESSERA_EXIT_AFTER_SHOWN", "1", 1);
        if (withText) ::setenv("TESSERA_MINIMAL_TEXT", "1", 1);
        ::execl(binary, binary, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    output = out[0];
    return pid;
}

struct Start {
    double ms = -1;  // fork -> "shown" line; -1: no such line, a failed exit, or no port
    double peakRssMb = 0;
};

// One launch up to its "shown after" line. The program must also report its port open, so
// that an error path is never timed instead.
Start LaunchOnce(const char* binary, const Home& home, bool needsPort, bool withText = false) {
    const auto started = Clock::now();
    int output = -1;
    const pid_t pid = Launch(binary, home, true, output, withText);
    Start s;
    std::string line;
    char c;
    while (::read(output, &c, 1) == 1) {
        if (c != '\n') {
            line += c;
            continue;
        }
        if (line.rfind("shown after", 0) == 0) {
            if (!needsPort || line.find("port open") != std::string::npos)
                s.ms = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
            break;
        }
        line.clear();
    }
    ::close(output);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    s.peakRssMb = usage.ru_maxrss / 1024.0;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) s.ms = -1;
    return s;
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void Figure(const char* what, double program, double reference, const char* unit, int decimals) {
    std::printf("%s: program %.*f%s, reference %.*f%s, ratio ", what, decimals, program, unit,
                decimals, reference, unit);
    if (reference > 0)
        std::printf("%.2f\n", program / reference);
    else
        std::printf("-\n");
    std::fflush(stdout);
}

// ---- 1. start-up ------------------------------------------------------------------------------

void StartUps(const Home& home, int launches) {
    std::vector<double> programMs, referenceMs, textMs, formMs;
    double programRss = 0, referenceRss = 0, textRss = 0, formRss = 0;
    for (int i = 0; i < launches; ++i) {
        const Start p = LaunchOnce(ProgramBinary, home, true);
        const Start r = LaunchOnce(MINIMAL_WINDOW_BINARY, home, false);
        const Start t = LaunchOnce(MINIMAL_WINDOW_BINARY, home, false, true);
        const Start f = LaunchOnce(FORM_WINDOW_BINARY, home, false);
        if (p.ms < 0 || r.ms < 0 || t.ms < 0 || f.ms < 0) {
            std::printf("launch %d: no \"shown after\" line (or no open port), or a failed exit\n",
                        i + 1);
            continue;
        }
        programMs.push_back(p.ms);
        referenceMs.push_back(r.ms);
        textMs.push_back(t.ms);
        formMs.push_back(f.ms);
        programRss = std::max(programRss, p.peakRssMb);
        referenceRss = std::max(referenceRss, r.peakRssMb);
        textRss = std::max(textRss, t.peakRssMb);
        formRss = std::max(formRss, f.peakRssMb);
    }
    if (programMs.empty()) return;
    Figure("start-up to the first frame painted, median", Median(programMs), Median(referenceMs),
           " ms", 0);
    Figure("peak RSS at start-up, largest", programRss, referenceRss, " MB", 1);
    Figure("start-up to the first frame painted, median, against a window with one line of text",
           Median(programMs), Median(textMs), " ms", 0);
    Figure("peak RSS at start-up, largest, against a window with one line of text", programRss,
           textRss, " MB", 1);
    Figure("start-up to the first frame painted, median, against the main form alone",
           Median(programMs), Median(formMs), " ms", 0);
    Figure("peak RSS at start-up, largest, against the main form alone", programRss, formRss, " MB",
           1);
    Figure("the main form alone against the empty window: start-up", Median(formMs),
           Median(referenceMs), " ms", 0);
    Figure("the main form alone against the empty window: peak RSS", formRss, referenceRss, " MB",
           1);
}

// ---- 2. idle ----------------------------------------------------------------------------------

double PeakRssMb(pid_t pid) {
    char path[64], text[4096] = {};
    std::snprintf(path, sizeof path, "/proc/%d/status", int(pid));
    FILE* f = std::fopen(path, "r");
    if (!f) return 0;
    const size_t n = std::fread(text, 1, sizeof text - 1, f);
    std::fclose(f);
    text[n] = '\0';
    const char* at = std::strstr(text, "VmHWM:");
    return at ? std::strtod(at + 6, nullptr) / 1024.0 : 0;
}

// CPU time each process used over `seconds`, as milliseconds per minute.
void CpuPerMinute(pid_t program, pid_t reference, int seconds, double& programMs,
                  double& referenceMs) {
    const double p0 = probes::ProcessCpuNs(program), r0 = probes::ProcessCpuNs(reference);
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double minutes = std::chrono::duration<double>(Clock::now() - start).count() / 60.0;
    programMs = (probes::ProcessCpuNs(program) - p0) / 1e6 / minutes;
    referenceMs = (probes::ProcessCpuNs(reference) - r0) / 1e6 / minutes;
}

void Idle(const Home& home, InstrumentProcess& instrument, int seconds) {
    int programOut = -1, referenceOut = -1;
    const pid_t program = Launch(ProgramBinary, home, false, programOut);
    const pid_t reference = Launch(MINIMAL_WINDOW_BINARY, home, false, referenceOut);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    double p = 0, r = 0;
    CpuPerMinute(program, reference, seconds, p, r);
    Figure("idle CPU per minute, port open, no request", p, r, " ms", 2);
    if (!InjectUnreadBytes(instrument)) std::printf("the instrument did not inject its bytes\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    CpuPerMinute(program, reference, seconds, p, r);
    Figure("idle CPU per minute, 10 unread bytes in the input", p, r, " ms", 2);
    Figure("peak RSS after idling", PeakRssMb(program), PeakRssMb(reference), " MB", 1);
    for (pid_t pid : {program, reference}) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
    ::close(programOut);
    ::close(referenceOut);
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 30;
    int launches = 10;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--seconds")
            seconds = std::atoi(argv[++i]);
        else if (std::string(argv[i]) == "--launches")
            launches = std::atoi(argv[++i]);
        else if (std::string(argv[i]) == "--program")
            ProgramBinary = argv[++i];
    }
    // Forked before any thread exists in this process.
    InstrumentProcess instrument = StartInstrument();
    if (instrument.path.empty()) {
        std::printf("the virtual instrument did not start\n");
        return 1;
    }
    std::printf(
        "Platform %s; program and reference (one empty Qt Widgets window) as processes of "
        "their own; %d launches each, %d s idle\n",
        std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "offscreen", launches,
        seconds);
    std::fflush(stdout);
    {
        const Home home(instrument.path);
        StartUps(home, launches);
        Idle(home, instrument, seconds);
    }
    StopInstrument(instrument);
    return 0;
}
