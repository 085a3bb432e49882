#include "sim/PtyLine.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

#include "sim/LineSpeed.h"

namespace sim {

namespace {

std::runtime_error SystemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

void CloseIfOpen(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// Bound for one write to the master while the port side does not read.
constexpr int kWriteStallMs = 2000;

}  // namespace

// A raw slave from the start: no echo, no line discipline between the program and us.
void PtyLine::Open() {
    int master = -1, slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) throw SystemError("openpty");
    termios raw{};
    if (::tcgetattr(slave, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::tcsetattr(slave, TCSANOW, &raw);
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    char name[128] = {};
    if (::ptsname_r(master, name, sizeof name) != 0) {
        ::close(master);
        ::close(slave);
        throw SystemError("ptsname_r");
    }
    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        ::close(master);
        ::close(slave);
        throw SystemError("pipe2");
    }
    std::lock_guard<std::mutex> lock(FMutex);
    FMaster = master;
    FSlave = slave;
    FWakeRead = wake[0];
    FWakeWrite = wake[1];
    FPath = name;
}

void PtyLine::Close() {
    std::lock_guard<std::mutex> lock(FMutex);
    CloseIfOpen(FMaster);
    CloseIfOpen(FSlave);
    CloseIfOpen(FWakeRead);
    CloseIfOpen(FWakeWrite);
    FPath.clear();
}

bool PtyLine::IsOpen() const {
    std::lock_guard<std::mutex> lock(FMutex);
    return FMaster >= 0;
}

std::string PtyLine::Path() const {
    std::lock_guard<std::mutex> lock(FMutex);
    return FPath;
}

int PtyLine::Master() const {
    std::lock_guard<std::mutex> lock(FMutex);
    return FMaster;
}

int PtyLine::WakeSignal() const {
    std::lock_guard<std::mutex> lock(FMutex);
    return FWakeRead;
}

void PtyLine::Wake() {
    std::lock_guard<std::mutex> lock(FMutex);
    const char wake = 1;
    if (FWakeWrite >= 0) (void)!::write(FWakeWrite, &wake, 1);
}

bool PtyLine::WriteAll(const Bytes& bytes) {
    std::lock_guard<std::mutex> lock(FMutex);
    size_t done = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWriteStallMs);
    while (done < bytes.size() && FMaster >= 0) {
        const ssize_t put = ::write(FMaster, bytes.data() + done, bytes.size() - done);
        if (put > 0) {
            done += size_t(put);
            continue;
        }
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && errno != EAGAIN) return false;
        if (std::chrono::steady_clock::now() > deadline) return false;
        pollfd out{FMaster, POLLOUT, 0};
        ::poll(&out, 1, 50);
    }
    return done == bytes.size();
}

// The kept slave descriptor shares the port side's terminal settings.
uint32_t PtyLine::PortSpeed() const {
    std::lock_guard<std::mutex> lock(FMutex);
    return FSlave >= 0 ? sim::PortSpeed(FSlave) : 0;
}

}  // namespace sim
