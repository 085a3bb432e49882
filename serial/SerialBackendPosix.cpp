// POSIX (Linux) side of serial_backend: termios and ioctl on a non-blocking descriptor,
// epoll for the line events.
#include <dirent.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <netdb.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "serial/ReadWait.h"
#include "serial/SerialBackend.h"
#include "serial/SerialBackendDevices.h"
#include "serial/SerialTermios.h"
#include "serial/SerialTermios2.h"

namespace serial_backend {
namespace {

using Clock = std::chrono::steady_clock;

template <typename Call>
int RetryOnInterrupt(Call call) {
    int rc;
    do rc = call();
    while (rc < 0 && errno == EINTR);
    return rc;
}

int IoctlRetry(int fd, unsigned long request, void* arg) {
    return RetryOnInterrupt([&] { return ioctl(fd, request, arg); });
}

// Errors meaning "this device has no such function" (a pseudo-terminal has no modem lines
// and no error counters).
bool NotSupported(int error) {
    return error == ENOTTY || error == EINVAL;
}

// ---- driver error counters (TIOCGICOUNT) ---------------------------------------------

enum Counter { cCts, cDsr, cRing, cDcd, cFrame, cOverrun, cParity, cBreak, cBufOverrun, cCount };
static_assert(cCount == DriverCounters::Count, "one value per counter");

constexpr uint32_t Bit(Counter c) {
    return 1u << c;
}

// Reads the counters into `counters`; false when the device has none (remembered) or the
// call failed.
bool ReadCounters(int fd, DriverCounters& counters) {
    if (counters.unsupported) return false;
    serial_icounter_struct icount{};
    if (IoctlRetry(fd, TIOCGICOUNT, &icount) != 0) {
        counters.unsupported = NotSupported(errno);
        return false;
    }
    const int now[cCount] = {icount.cts,    icount.dsr,   icount.rng,
                             icount.dcd,    icount.frame, icount.overrun,
                             icount.parity, icount.brk,   icount.buf_overrun};
    for (int i = 0; i < cCount; ++i) counters.values[i] = uint32_t(now[i]);
    counters.known = true;
    return true;
}

// Which counters moved since the last reading (bit n: counter n); the reading is kept.
uint32_t CountersChanged(int fd, DriverCounters& counters) {
    DriverCounters now = counters;
    if (!ReadCounters(fd, now)) {
        counters.unsupported = now.unsupported;
        return 0;
    }
    uint32_t changed = 0;
    if (counters.known)
        for (int i = 0; i < cCount; ++i)
            if (now.values[i] != counters.values[i]) changed |= Bit(Counter(i));
    counters = now;
    return changed;
}

uint32_t LineErrorFlags(uint32_t changed) {
    uint32_t errors = 0;
    if (changed & Bit(cFrame)) errors |= CE_FRAME;
    if (changed & Bit(cOverrun)) errors |= CE_OVERRUN;
    if (changed & Bit(cParity)) errors |= CE_RXPARITY;
    if (changed & Bit(cBreak)) errors |= CE_BREAK;
    if (changed & Bit(cBufOverrun)) errors |= CE_RXOVER;
    return errors;
}

// ---- timeouts ---------------------------------------------------------------------------

int MillisecondsUntil(Clock::time_point at) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(at - Clock::now()).count();
    if (left <= 0) return 0;
    // Round up so poll() does not wake a hair before the deadline and spin once more.
    return int(std::min<int64_t>(left + 1, INT_MAX));
}

// Waits for `events` on fd; true when ready, false on time-out (timeoutMs < 0: no limit).
bool WaitReady(int fd, short events, int timeoutMs, bool& failed) {
    pollfd p{fd, events, 0};
    int rc = RetryOnInterrupt([&] { return poll(&p, 1, timeoutMs); });
    failed = rc < 0 || (rc > 0 && (p.revents & POLLNVAL));
    return rc > 0;
}

// ---- opening ------------------------------------------------------------------------------

OpenStatus StatusOfOpenError(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return OpenStatus::NotFound;
        case EBUSY:
            return OpenStatus::Busy;
        case EISDIR:
            return OpenStatus::NotSerial;
        case EACCES:
        case EPERM:
        case EROFS:
            return OpenStatus::NoPermission;
        default:
            return OpenStatus::Failed;
    }
}

// ---- port list ----------------------------------------------------------------------------

std::string SysfsTtyDir() {
    const char* overridden = std::getenv("TESSERA_SYSFS_TTY");
    return overridden && *overridden ? overridden : "/sys/class/tty";
}

bool StartsWith(const std::string& s, const char* prefix) {
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// The 8250 driver registers ttyS0..ttySn whether or not a UART sits behind them; the real
// ones report a non-zero port type.
bool IsRealUart(const std::string& entryDir) {
    std::ifstream typeFile(entryDir + "/type");
    long type = 0;
    return typeFile >> type && type != 0;
}

bool IsSerialPort(const std::string& dir, const std::string& name) {
    static const char* const alwaysSerial[] = {"ttyUSB", "ttyACM", "ttyAMA", "rfcomm"};
    for (const char* prefix : alwaysSerial)
        if (StartsWith(name, prefix)) return true;
    const std::string entryDir = dir + "/" + name;
    if (StartsWith(name, "ttyS")) return IsRealUart(entryDir);
    // Other drivers' ports (ttymxc, ttyXR...) have a device behind them; consoles do not.
    return Exists(entryDir + "/device");
}

// A serial device of this system: termios and ioctl on a non-blocking descriptor.
class PosixSerialDevice final : public Device {
public:
    ~PosixSerialDevice() override { Close(); }
    static OpenStatus Open(const std::string& path, std::unique_ptr<Device>& device);
    bool Close() override;
    bool SetLineSettings(const LineSettings& settings) override;
    bool SetQueueSizes(int32_t inSize, int32_t outSize) override;
    bool SetTimeouts(const Timeouts& timeouts) override;
    bool Purge(uint32_t purgeFlags) override;
    bool QueueCounts(int32_t& inQueue, int32_t& outQueue, uint32_t& errors) override;
    bool InQueueCount(int32_t& inQueue, uint32_t& errors) override;
    bool ModemStatus(uint32_t& status) override;
    bool Escape(int code) override;
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    NativeHandleType NativeHandle() const override { return FFd; }
    int32_t InQueueSize() const override;

private:
    PosixSerialDevice() = default;
    Timeouts CurrentTimeouts() const;
    uint32_t TakeLineErrors();

    int FFd = -1;
    bool FLocked = false;
    bool FExclusive = false;
    bool FSettingsSaved = false;
    std::vector<unsigned char> FSavedSettings;  // the terminal's settings found on open
    mutable std::mutex FMutex;                  // guards the fields below
    Timeouts FTimeouts;
    int32_t FInQueueSize = 2048;
    DriverCounters FErrorCounters;  // at the last QueueCounts or InQueueCount
};

}  // namespace

int LastErrorCode() {
    return errno;
}

std::string ErrorText(int code) {
    if (code > HostLookupErrorBase) return gai_strerror(-(code - HostLookupErrorBase));
    return std::strerror(code);
}

std::string LastErrorText() {
    return ErrorText(errno);
}

// ---- Device -------------------------------------------------------------------------------

OpenStatus OpenSerialDevice(const std::string& path, std::unique_ptr<Device>& device) {
    return PosixSerialDevice::Open(path, device);
}

OpenStatus PosixSerialDevice::Open(const std::string& path, std::unique_ptr<Device>& device) {
    // O_NOCTTY: a serial line must never become our controlling terminal. O_NONBLOCK: every
    // wait is a poll() bounded by the timeouts, and open() does not wait for a carrier.
    int fd = RetryOnInterrupt(
        [&] { return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (fd < 0) return StatusOfOpenError(errno);
    if (!isatty(fd)) {
        ::close(fd);
        return OpenStatus::NotSerial;
    }
    std::unique_ptr<PosixSerialDevice> opened(new PosixSerialDevice);
    opened->FFd = fd;
    // TIOCEXCL keeps other opens out but not root's, so the lock is what others really see.
    // The caller reads the reason from errno: the close after a failure must not change it.
    auto fail = [&opened](int error, OpenStatus status) {
        opened->Close();
        errno = error;
        return status;
    };
    if (RetryOnInterrupt([&] { return flock(fd, LOCK_EX | LOCK_NB); }) != 0)
        return fail(errno, errno == EWOULDBLOCK ? OpenStatus::Busy : OpenStatus::Failed);
    opened->FLocked = true;
    termios saved{};
    if (IoctlRetry(fd, TIOCEXCL, nullptr) != 0 || tcgetattr(fd, &saved) != 0)
        return fail(errno, OpenStatus::Failed);
    opened->FExclusive = true;
    opened->FSavedSettings.assign(reinterpret_cast<unsigned char*>(&saved),
                                  reinterpret_cast<unsigned char*>(&saved) + sizeof saved);
    opened->FSettingsSaved = true;
    ReadCounters(fd, opened->FErrorCounters);
    device = std::move(opened);
    return OpenStatus::Ok;
}

bool PosixSerialDevice::Close() {
    if (FFd < 0) return true;
    bool ok = true;
    if (FSettingsSaved) {
        termios saved{};
        std::memcpy(&saved, FSavedSettings.data(), sizeof saved);
        ok = RetryOnInterrupt([&] { return tcsetattr(FFd, TCSANOW, &saved); }) == 0 && ok;
        FSettingsSaved = false;
    }
    if (FExclusive) {
        ok = IoctlRetry(FFd, TIOCNXCL, nullptr) == 0 && ok;
        FExclusive = false;
    }
    if (FLocked) {
        ok = RetryOnInterrupt([&] { return flock(FFd, LOCK_UN); }) == 0 && ok;
        FLocked = false;
    }
    // close() is not retried: on Linux the descriptor is gone even when it reports EINTR.
    ok = ::close(FFd) == 0 && ok;
    FFd = -1;
    return ok;
}

bool PosixSerialDevice::SetLineSettings(const LineSettings& settings) {
    termios t{};
    if (tcgetattr(FFd, &t) != 0) return false;
    bool arbitrarySpeed = false;
    if (!MakeRawTermios(settings, t, arbitrarySpeed)) {
        errno = EINVAL;
        return false;
    }
    if (RetryOnInterrupt([&] { return tcsetattr(FFd, TCSANOW, &t); }) != 0) return false;
    if (arbitrarySpeed && !SetArbitrarySpeed(FFd, uint32_t(settings.baudRate))) return false;
    // DTR and RTS up while open; a pseudo-terminal has no modem lines to raise.
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (IoctlRetry(FFd, TIOCMBIS, &lines) != 0 && !NotSupported(errno)) return false;
    // tcsetattr succeeds when the driver took any part of the request, and some drivers
    // keep their old speed silently: the speed read back is the proof. A UART's divisor may
    // land a little off an arbitrary rate, hence the 3 % allowance.
    uint32_t actual = 0;
    if (!ReadOutputSpeed(FFd, actual)) return false;
    const uint64_t wanted = uint32_t(settings.baudRate);
    const uint64_t diff = actual > wanted ? actual - wanted : wanted - actual;
    if (diff * 100 <= wanted * 3) return true;
    // The driver kept another speed (a virtual console keeps 38400): it did not take the
    // argument, which is the reason given.
    errno = EINVAL;
    return false;
}

bool PosixSerialDevice::SetQueueSizes(int32_t inSize, int32_t outSize) {
    // The tty layer's queues have a fixed size; the requested input size only scales the
    // "80 % full" event.
    (void)outSize;
    std::lock_guard<std::mutex> lock(FMutex);
    FInQueueSize = inSize;
    return true;
}

int32_t PosixSerialDevice::InQueueSize() const {
    std::lock_guard<std::mutex> lock(FMutex);
    return FInQueueSize;
}

bool PosixSerialDevice::SetTimeouts(const Timeouts& timeouts) {
    std::lock_guard<std::mutex> lock(FMutex);
    FTimeouts = timeouts;
    return true;
}

Timeouts PosixSerialDevice::CurrentTimeouts() const {
    std::lock_guard<std::mutex> lock(FMutex);
    return FTimeouts;
}

bool PosixSerialDevice::Purge(uint32_t purgeFlags) {
    const bool input = purgeFlags & (PURGE_RXABORT | PURGE_RXCLEAR);
    const bool output = purgeFlags & (PURGE_TXABORT | PURGE_TXCLEAR);
    if (!input && !output) return true;
    const int queue = input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH;
    return RetryOnInterrupt([&] { return tcflush(FFd, queue); }) == 0;
}

uint32_t PosixSerialDevice::TakeLineErrors() {
    std::lock_guard<std::mutex> lock(FMutex);
    return LineErrorFlags(CountersChanged(FFd, FErrorCounters));
}

bool PosixSerialDevice::QueueCounts(int32_t& inQueue, int32_t& outQueue, uint32_t& errors) {
    int out = 0;
    if (FFd < 0 || IoctlRetry(FFd, TIOCOUTQ, &out) != 0) return false;
    outQueue = out;
    return InQueueCount(inQueue, errors);
}

bool PosixSerialDevice::InQueueCount(int32_t& inQueue, uint32_t& errors) {
    int in = 0;
    if (FFd < 0 || IoctlRetry(FFd, FIONREAD, &in) != 0) return false;
    inQueue = in;
    errors = TakeLineErrors();
    return true;
}

bool PosixSerialDevice::ModemStatus(uint32_t& status) {
    int lines = 0;
    if (IoctlRetry(FFd, TIOCMGET, &lines) != 0) return false;
    status = 0;
    if (lines & TIOCM_CTS) status |= MS_CTS_ON;
    if (lines & TIOCM_DSR) status |= MS_DSR_ON;
    if (lines & TIOCM_RNG) status |= MS_RING_ON;
    if (lines & TIOCM_CAR) status |= MS_RLSD_ON;
    return true;
}

bool PosixSerialDevice::Escape(int code) {
    int line = 0;
    switch (code) {
        case SETBREAK:
            return IoctlRetry(FFd, TIOCSBRK, nullptr) == 0;
        case CLRBREAK:
            return IoctlRetry(FFd, TIOCCBRK, nullptr) == 0;
        case SETDTR:
            line = TIOCM_DTR;
            return IoctlRetry(FFd, TIOCMBIS, &line) == 0;
        case CLRDTR:
            line = TIOCM_DTR;
            return IoctlRetry(FFd, TIOCMBIC, &line) == 0;
        case SETRTS:
            line = TIOCM_RTS;
            return IoctlRetry(FFd, TIOCMBIS, &line) == 0;
        case CLRRTS:
            line = TIOCM_RTS;
            return IoctlRetry(FFd, TIOCMBIC, &line) == 0;
        default:
            errno = EINVAL;
            return false;
    }
}

int32_t PosixSerialDevice::Read(void* buffer, int32_t count) {
    const Timeouts t = CurrentTimeouts();
    auto [immediate, firstByteOnly, useInterval, hasTotal, totalDeadline] = ReadWaitOf(t, count);
    auto* bytes = static_cast<unsigned char*>(buffer);
    int32_t done = 0;
    for (;;) {
        const ssize_t n =
            RetryOnInterrupt([&] { return int(::read(FFd, bytes + done, size_t(count - done))); });
        if (n < 0 && errno != EAGAIN) return -1;
        if (n == 0) return done;  // end of file: the far side has gone, nothing more comes
        if (n > 0) done += int32_t(n);
        if (done == count || immediate || (firstByteOnly && done > 0)) return done;
        int waitMs = hasTotal ? MillisecondsUntil(totalDeadline) : -1;
        if (useInterval && done > 0)
            waitMs = waitMs < 0 ? int(t.readInterval) : std::min(waitMs, int(t.readInterval));
        if (hasTotal && waitMs == 0) return done;
        bool failed = false;
        if (!WaitReady(FFd, POLLIN, waitMs, failed)) return failed ? -1 : done;
    }
}

int32_t PosixSerialDevice::Write(const void* buffer, int32_t count) {
    const Timeouts t = CurrentTimeouts();
    Clock::time_point deadline;
    const bool hasTotal =
        TotalDeadline(t.writeTotalMultiplier, t.writeTotalConstant, count, deadline);
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    int32_t done = 0;
    while (done < count) {
        const ssize_t n =
            RetryOnInterrupt([&] { return int(::write(FFd, bytes + done, size_t(count - done))); });
        if (n < 0 && errno != EAGAIN) return -1;
        if (n > 0) {
            done += int32_t(n);
            continue;
        }
        const int waitMs = hasTotal ? MillisecondsUntil(deadline) : -1;
        if (hasTotal && waitMs == 0) break;  // timed out: the operation reports what went out
        bool failed = false;
        if (!WaitReady(FFd, POLLOUT, waitMs, failed) && failed) return -1;
    }
    return done;
}

// ---- the serial device's event waiter ---------------------------------------------------

namespace {

class PosixSerialWaiter final : public LineWaiter {
public:
    explicit PosixSerialWaiter(Device& device);
    ~PosixSerialWaiter() override;
    bool Valid() const override { return FEpollFd >= 0 && FStopFd >= 0; }
    void SetMask(uint32_t eventMask) override { FMask = eventMask; }
    WaitResult Wait(uint32_t& mask) override;
    void Stop() override;

private:
    uint32_t CounterEvents();
    uint32_t RxEvents();
    void StopWatchingDevice();

    Device& FDevice;
    int FEpollFd = -1;
    int FStopFd = -1;
    uint32_t FMask = 0;
    bool FWatchingDevice = false;
    bool FWasAbove80 = false;
    DriverCounters FCounters;
};

uint32_t PosixSerialWaiter::CounterEvents() {
    const uint32_t changed = CountersChanged(FDevice.NativeHandle(), FCounters);
    uint32_t events = 0;
    if (changed & Bit(cBreak)) events |= EV_BREAK;
    if (LineErrorFlags(changed) & ~CE_BREAK) events |= EV_ERR;
    if (changed & Bit(cCts)) events |= EV_CTS;
    if (changed & Bit(cDsr)) events |= EV_DSR;
    if (changed & Bit(cRing)) events |= EV_RING;
    if (changed & Bit(cDcd)) events |= EV_RLSD;
    return events;
}

// EV_RX80FULL fires when the queue crosses 80 % of the requested input size, not again
// until it has dropped below.
uint32_t PosixSerialWaiter::RxEvents() {
    int queued = 0;
    if (IoctlRetry(FDevice.NativeHandle(), FIONREAD, &queued) != 0) return EV_RXCHAR;
    const int64_t size = FDevice.InQueueSize();
    const bool above80 = size > 0 && int64_t(queued) * 10 >= size * 8;
    const bool crossed = above80 && !FWasAbove80;
    FWasAbove80 = above80;
    return EV_RXCHAR | (crossed ? EV_RX80FULL : 0);
}

// After a hang-up the descriptor stays readable (end of file) for good; watching it further
// would wake the thread in a loop, so from here on only the stop event counts.
void PosixSerialWaiter::StopWatchingDevice() {
    epoll_ctl(FEpollFd, EPOLL_CTL_DEL, FDevice.NativeHandle(), nullptr);
    FWatchingDevice = false;
}

PosixSerialWaiter::PosixSerialWaiter(Device& device) : FDevice(device) {
    FEpollFd = epoll_create1(EPOLL_CLOEXEC);
    FStopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (FEpollFd < 0 || FStopFd < 0) return;
    epoll_event stop{};
    stop.events = EPOLLIN;
    stop.data.fd = FStopFd;
    // The program leaves an answer's bytes queued until its exchange thread reads them, so a
    // level-triggered wait would return at once again and again; EPOLLET wakes only when
    // something new arrives.
    epoll_event line{};
    line.events = EPOLLIN | EPOLLET;
    line.data.fd = device.NativeHandle();
    if (epoll_ctl(FEpollFd, EPOLL_CTL_ADD, FStopFd, &stop) != 0 ||
        epoll_ctl(FEpollFd, EPOLL_CTL_ADD, device.NativeHandle(), &line) != 0)
        return;
    FWatchingDevice = true;
    ReadCounters(device.NativeHandle(), FCounters);
}

PosixSerialWaiter::~PosixSerialWaiter() {
    if (FStopFd >= 0) ::close(FStopFd);
    if (FEpollFd >= 0) ::close(FEpollFd);
}

void PosixSerialWaiter::Stop() {
    const uint64_t one = 1;
    RetryOnInterrupt([&] { return int(::write(FStopFd, &one, sizeof one)); });
}

// EV_TXEMPTY is never reported: the tty layer wakes no one when its output queue drains, and
// watching TIOCOUTQ would need a timer in a thread that must sleep between events. Modem
// line and break counters (TIOCGICOUNT) are compared on each wake-up, so their changes are
// seen together with received bytes; TIOCMIWAIT would need a thread of its own.
WaitResult PosixSerialWaiter::Wait(uint32_t& mask) {
    epoll_event ready[2];
    const int n = epoll_wait(FEpollFd, ready, 2, -1);
    if (n < 0) return errno == EINTR ? WaitResult::Skipped : WaitResult::Failed;
    uint32_t lineFlags = 0;
    for (int i = 0; i < n; ++i) {
        if (ready[i].data.fd == FStopFd) return WaitResult::Stopped;
        lineFlags |= ready[i].events;
    }
    uint32_t events = 0;
    if (FWatchingDevice && (lineFlags & (EPOLLHUP | EPOLLERR))) {
        StopWatchingDevice();
        events = EV_ERR;  // reported once, so the owner learns the line is gone
    } else if (lineFlags & EPOLLIN) {
        events = RxEvents() | CounterEvents();
    }
    mask = events & FMask;
    return mask ? WaitResult::Events : WaitResult::Skipped;
}

}  // namespace

std::unique_ptr<LineWaiter> MakeSerialWaiter(Device& device) {
    return std::make_unique<PosixSerialWaiter>(device);
}

// ---- port list ----------------------------------------------------------------------------

bool ListSerialPorts(std::vector<std::string>& names) {
    const std::string dir = SysfsTtyDir();
    DIR* listing = opendir(dir.c_str());
    if (!listing) return false;
    names.clear();
    bool complete = true;
    for (;;) {
        errno = 0;  // readdir tells its end from a failure only through errno
        const dirent* entry = readdir(listing);
        if (!entry) {
            complete = errno == 0;
            break;
        }
        const std::string name = entry->d_name;
        if (name != "." && name != ".." && IsSerialPort(dir, name)) names.push_back(name);
    }
    closedir(listing);
    return complete;
}

}  // namespace serial_backend
