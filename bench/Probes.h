#pragma once
// Per-thread figures of this process, taken from outside the code under measurement:
//
//   CPU time          /proc/self/task/<tid>/schedstat (nanoseconds on a CPU)
//   context switches  /proc/self/task/<tid>/status, voluntary_ctxt_switches
//   system calls      a counter of the raw_syscalls:sys_enter tracepoint per thread
//                     (perf_event_open; no seccomp, nothing traced); where the kernel refuses
//                     it, the read- and write-class calls of /proc/self/task/<tid>/io instead
//   allocations       malloc, calloc and realloc, interposed in the benchmark executable
//                     (Probes.cpp) and counted per thread; operator new goes through malloc
//
// Probes.cpp must be compiled into the benchmark executable itself: only a definition in the
// executable takes the place of the C library's malloc for every library of the process.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace probes {

struct ThreadFigures {
    pid_t tid = 0;
    std::string name;  // the thread's name (comm)
    double cpuNs = 0;
    double switches = 0;
    double syscalls = 0;
    double allocations = 0;
};

pid_t CurrentTid();

// Allocations made so far by the thread `tid`.
uint64_t AllocationsOf(pid_t tid);

// Starting values of every thread alive at Begin(); End() gives each one's difference (threads
// that ended meanwhile are dropped, threads started meanwhile are not seen).
class ThreadSnapshot {
public:
    ThreadSnapshot() = default;
    ~ThreadSnapshot();
    ThreadSnapshot(const ThreadSnapshot&) = delete;
    ThreadSnapshot& operator=(const ThreadSnapshot&) = delete;

    // `countSyscalls`: the tracepoint costs every system call a little CPU, so spans that
    // measure time and CPU leave it off.
    void Begin(bool countSyscalls);
    std::vector<ThreadFigures> End();
    // True when system calls are counted by the tracepoint (all of them).
    static bool SyscallsExact();

private:
    struct Counter {
        pid_t tid;
        int perfFd;  // -1: the io fallback
        ThreadFigures start;
        double endAllocations;  // read first in End(), into room made in Begin()
        double endSyscalls;
    };
    void CloseCounters();
    double Syscalls(const Counter& c) const;
    std::vector<Counter> FCounters;
    bool FCountSyscalls = false;
};

// Utime + stime of a whole other process (all its threads), nanoseconds; -1 if unreadable.
double ProcessCpuNs(pid_t pid);

// The process of the X server serving $DISPLAY (Xvfb under xvfb-run), or 0 when none is
// found; its CPU is work that painting on the xcb platform causes outside this process.
pid_t XServerPid();

}  // namespace probes
