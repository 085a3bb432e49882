#include "bench/Probes.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/perf_event.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// ---- allocation counting ------------------------------------------------------------------

namespace {

// One slot per thread, found by its id; a thread caches its slot. Plain atomics in static
// storage: usable before main() and from any thread, and they never allocate themselves.
struct AllocationSlot {
    std::atomic<pid_t> tid{0};
    std::atomic<uint64_t> count{0};
};

constexpr size_t SlotCount = 1024;
AllocationSlot Slots[SlotCount];
AllocationSlot OverflowSlot;  // more threads than slots: counted, but for no thread
thread_local AllocationSlot* OwnSlot = nullptr;
thread_local pid_t OwnTid = 0;

AllocationSlot* FindSlot(pid_t tid, bool claim) {
    for (size_t i = 0; i < SlotCount; ++i) {
        AllocationSlot& slot = Slots[(size_t(tid) + i) % SlotCount];
        pid_t holder = slot.tid.load(std::memory_order_acquire);
        if (holder == tid) return &slot;
        if (holder != 0) continue;
        if (!claim) return nullptr;
        if (slot.tid.compare_exchange_strong(holder, tid) || holder == tid) return &slot;
    }
    return claim ? &OverflowSlot : nullptr;
}

inline void CountAllocation() {
    if (!OwnSlot) OwnSlot = FindSlot(probes::CurrentTid(), true);
    OwnSlot->count.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);

void* malloc(size_t size) noexcept {
    CountAllocation();
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) noexcept {
    CountAllocation();
    return __libc_calloc(count, size);
}

void* realloc(void* block, size_t size) noexcept {
    CountAllocation();
    return __libc_realloc(block, size);
}
}

namespace probes {

pid_t CurrentTid() {
    if (!OwnTid) OwnTid = pid_t(::syscall(SYS_gettid));
    return OwnTid;
}

uint64_t AllocationsOf(pid_t tid) {
    const AllocationSlot* slot = FindSlot(tid, false);
    return slot ? slot->count.load(std::memory_order_relaxed) : 0;
}

// ---- /proc ------------------------------------------------------------------------------------

namespace {

// Reads a small file into `buffer` (NUL-terminated) without allocating; false if unreadable.
bool ReadSmallFile(const char* path, char* buffer, size_t size) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const ssize_t n = ::read(fd, buffer, size - 1);
    ::close(fd);
    if (n < 0) return false;
    buffer[n] = '\0';
    return true;
}

bool ReadTaskFile(pid_t pid, pid_t tid, const char* file, char* buffer, size_t size) {
    char path[96];
    std::snprintf(path, sizeof path, "/proc/%d/task/%d/%s", int(pid), int(tid), file);
    return ReadSmallFile(path, buffer, size);
}

// The number after `key` in a "key: value" file, or 0.
double FieldAfter(const char* text, const char* key) {
    const char* at = std::strstr(text, key);
    return at ? std::strtod(at + std::strlen(key), nullptr) : 0;
}

double TaskCpuNs(pid_t pid, pid_t tid) {
    char text[128];
    return ReadTaskFile(pid, tid, "schedstat", text, sizeof text) ? std::strtod(text, nullptr) : 0;
}

std::vector<pid_t> TasksOf(pid_t pid) {
    std::vector<pid_t> tids;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/task", int(pid));
    DIR* dir = ::opendir(path);
    if (!dir) return tids;
    while (const dirent* entry = ::readdir(dir))
        if (entry->d_name[0] >= '1' && entry->d_name[0] <= '9')
            tids.push_back(pid_t(std::atoi(entry->d_name)));
    ::closedir(dir);
    return tids;
}

// ---- system calls -----------------------------------------------------------------------------

long SyscallTracepointId() {
    static const long id = [] {
        char text[32];
        for (const char* path : {"/sys/kernel/tracing/events/raw_syscalls/sys_enter/id",
                                 "/sys/kernel/debug/tracing/events/raw_syscalls/sys_enter/id"})
            if (ReadSmallFile(path, text, sizeof text)) return std::strtol(text, nullptr, 10);
        return -1L;
    }();
    return id;
}

int OpenSyscallCounter(pid_t tid) {
    const long id = SyscallTracepointId();
    if (id < 0) return -1;
    perf_event_attr attr{};
    attr.type = PERF_TYPE_TRACEPOINT;
    attr.size = sizeof attr;
    attr.config = uint64_t(id);
    return int(::syscall(SYS_perf_event_open, &attr, tid, -1, -1, PERF_FLAG_FD_CLOEXEC));
}

double ReadCounter(int fd) {
    uint64_t value = 0;
    return ::read(fd, &value, sizeof value) == ssize_t(sizeof value) ? double(value) : 0;
}

// Read- and write-class system calls of a thread, where the tracepoint is refused.
double IoSyscalls(pid_t tid) {
    char text[256];
    if (!ReadTaskFile(::getpid(), tid, "io", text, sizeof text)) return 0;
    return FieldAfter(text, "syscr:") + FieldAfter(text, "syscw:");
}

}  // namespace

// ---- ThreadSnapshot ---------------------------------------------------------------------------

bool ThreadSnapshot::SyscallsExact() {
    const int fd = OpenSyscallCounter(CurrentTid());
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

ThreadSnapshot::~ThreadSnapshot() {
    CloseCounters();
}

double ThreadSnapshot::Syscalls(const Counter& c) const {
    if (!FCountSyscalls) return 0;
    return c.perfFd >= 0 ? ReadCounter(c.perfFd) : IoSyscalls(c.tid);
}

void ThreadSnapshot::CloseCounters() {
    for (Counter& c : FCounters)
        if (c.perfFd >= 0) ::close(c.perfFd);
    FCounters.clear();
}

// Everything that allocates or reads /proc comes first; the allocation counts are read last,
// so the snapshot's own work stays outside the span it measures (End() reads in reverse).
void ThreadSnapshot::Begin(bool countSyscalls) {
    CloseCounters();
    FCountSyscalls = countSyscalls;
    const pid_t pid = ::getpid();
    for (pid_t tid : TasksOf(pid)) {
        Counter c{tid, countSyscalls ? OpenSyscallCounter(tid) : -1, {}, 0, 0};
        c.start.tid = tid;
        char comm[64];
        if (ReadTaskFile(pid, tid, "comm", comm, sizeof comm)) {
            comm[std::strcspn(comm, "\n")] = '\0';
            c.start.name = comm;
        }
        FCounters.push_back(std::move(c));
    }
    for (Counter& c : FCounters) {
        char status[4096];
        c.start.cpuNs = TaskCpuNs(pid, c.tid);
        if (ReadTaskFile(pid, c.tid, "status", status, sizeof status))
            c.start.switches = FieldAfter(status, "voluntary_ctxt_switches:");
    }
    for (Counter& c : FCounters) c.start.syscalls = Syscalls(c);
    for (Counter& c : FCounters) c.start.allocations = double(AllocationsOf(c.tid));
}

std::vector<ThreadFigures> ThreadSnapshot::End() {
    for (Counter& c : FCounters) c.endAllocations = double(AllocationsOf(c.tid));
    for (Counter& c : FCounters) c.endSyscalls = Syscalls(c);
    const pid_t pid = ::getpid();
    std::vector<ThreadFigures> figures;
    for (const Counter& c : FCounters) {
        char status[4096];
        if (!ReadTaskFile(pid, c.tid, "status", status, sizeof status)) continue;  // ended
        ThreadFigures f = c.start;
        f.cpuNs = TaskCpuNs(pid, c.tid) - c.start.cpuNs;
        f.switches = FieldAfter(status, "voluntary_ctxt_switches:") - c.start.switches;
        f.syscalls = c.endSyscalls - c.start.syscalls;
        f.allocations = c.endAllocations - c.start.allocations;
        figures.push_back(f);
    }
    CloseCounters();
    return figures;
}

// ---- other processes ------------------------------------------------------------------------

double ProcessCpuNs(pid_t pid) {
    const std::vector<pid_t> tids = TasksOf(pid);
    if (tids.empty()) return -1;
    double sum = 0;
    for (pid_t tid : tids) sum += TaskCpuNs(pid, tid);
    return sum;
}

pid_t XServerPid() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return 0;
    DIR* proc = ::opendir("/proc");
    if (!proc) return 0;
    pid_t found = 0;
    while (const dirent* entry = ::readdir(proc)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9') continue;
        char path[300], cmdline[1024];
        std::snprintf(path, sizeof path, "/proc/%s/cmdline", entry->d_name);
        const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        const ssize_t n = ::read(fd, cmdline, sizeof cmdline - 1);
        ::close(fd);
        if (n <= 0) continue;
        cmdline[n] = '\0';
        const char* program = std::strrchr(cmdline, '/');
        program = program ? program + 1 : cmdline;
        if (std::strcmp(program, "Xvfb") != 0 && std::strcmp(program, "Xorg") != 0) continue;
        // The display is one of the later arguments ("Xvfb :99 -screen 0 ...").
        for (const char* arg = cmdline; arg < cmdline + n; arg += std::strlen(arg) + 1)
            if (std::strcmp(arg, display) == 0) found = pid_t(std::atoi(entry->d_name));
        if (found) break;
    }
    ::closedir(proc);
    return found;
}

}  // namespace probes
