#include "sim/VirtualInstrument.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

#include "sim/Answers.h"

namespace sim {

namespace {

InstrumentState InitialState(const Config& config) {
    if (config.parameterCount < 1 || config.parameterCount > limits::kMaxParameters)
        throw std::invalid_argument("parameter count must be 1..3");
    InstrumentState state;
    state.protocol = config.protocol;
    state.address = config.address;
    state.parameterCount = config.parameterCount;
    return state;
}

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

VirtualInstrument::VirtualInstrument(const Config& config)
    : FConfig(config), FModel(InitialState(config)), FSplitter(config.modbusWritesInQv) {}

VirtualInstrument::~VirtualInstrument() { Stop(); }

void VirtualInstrument::Start() {
    if (Running()) return;
    OpenPty();
    StartReader();
}

void VirtualInstrument::Stop() {
    StopReader();
    ClosePty();
}

bool VirtualInstrument::Running() const {
    std::lock_guard<std::mutex> lock(FLineMutex);
    return FMaster >= 0;
}

std::string VirtualInstrument::DevicePath() const {
    std::lock_guard<std::mutex> lock(FLineMutex);
    return FPath;
}

void VirtualInstrument::Vanish() { Stop(); }

void VirtualInstrument::Reappear() {
    if (Running()) return;
    FSplitter = FrameSplitter(FConfig.modbusWritesInQv);
    Start();
}

// A raw slave from the start: no echo, no line discipline between the program and us. The
// slave descriptor we keep open means the master never reads EIO while the port side closes.
void VirtualInstrument::OpenPty() {
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
    std::lock_guard<std::mutex> lock(FLineMutex);
    FMaster = master;
    FSlave = slave;
    FWakeRead = wake[0];
    FWakeWrite = wake[1];
    FPath = name;
}

void VirtualInstrument::ClosePty() {
    std::lock_guard<std::mutex> lock(FLineMutex);
    CloseIfOpen(FMaster);
    CloseIfOpen(FSlave);
    CloseIfOpen(FWakeRead);
    CloseIfOpen(FWakeWrite);
    FPath.clear();
}

void VirtualInstrument::StartReader() {
    FStopping = false;
    FReader = std::thread([this] { ReaderLoop(); });
}

void VirtualInstrument::StopReader() {
    if (!FReader.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(FPauseMutex);
        FStopping = true;
    }
    FPauseWake.notify_all();
    {
        std::lock_guard<std::mutex> lock(FLineMutex);
        const char stop = 1;
        if (FWakeWrite >= 0) (void)!::write(FWakeWrite, &stop, 1);
    }
    FReader.join();
}

int VirtualInstrument::SilenceTimeoutMs() const {
    if (!FSplitter.Pending()) return -1;
    const auto quiet = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - FLastByte);
    return std::max(0, FConfig.silenceMs - int(quiet.count()));
}

void VirtualInstrument::ReaderLoop() {
    while (!FStopping) {
        pollfd fds[2] = {{FMaster, POLLIN, 0}, {FWakeRead, POLLIN, 0}};
        const int ready = ::poll(fds, 2, SilenceTimeoutMs());
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) {
            if (ready == 0 && FSplitter.Pending()) {
                if (std::optional<Bytes> frame = FSplitter.OnSilence(FModel.SpokenProtocol()))
                    HandleFrame(*frame);
                RecordDiscarded();
            }
            continue;
        }
        if (fds[1].revents) continue;  // stop request; the loop condition ends it
        if (fds[0].revents & POLLIN) {
            ReadAvailable();
            HandleFrames();
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            PauseUnlessStopping(10);  // nothing to read; do not spin
        }
    }
}

void VirtualInstrument::ReadAvailable() {
    uint8_t chunk[512];
    for (;;) {
        const ssize_t got = ::read(FMaster, chunk, sizeof chunk);
        if (got > 0) {
            FSplitter.Append(chunk, size_t(got));
            FLastByte = std::chrono::steady_clock::now();
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        return;  // EAGAIN: all read; EIO: no slave open, nothing to read
    }
}

// The protocol is asked anew for every frame: a switch answered just now changes how the
// bytes after it are cut.
void VirtualInstrument::HandleFrames() {
    while (std::optional<Bytes> frame = FSplitter.Next(FModel.SpokenProtocol())) HandleFrame(*frame);
    RecordDiscarded();
}

void VirtualInstrument::HandleFrame(const Bytes& frame) {
    {
        std::lock_guard<std::mutex> lock(FRecordMutex);
        FReceived.push_back(frame);
    }
    FRecordChanged.notify_all();
    const Protocol spoken = FModel.SpokenProtocol();
    const Bytes answer = Answer(FModel, frame, FConfig.modbusWritesInQv);
    Deliver(FFaults.Plan(frame, answer, spoken));
}

void VirtualInstrument::Deliver(const Delivery& delivery) {
    Bytes written;
    for (const Delivery::Piece& piece : delivery.pieces) {
        if (piece.pauseMs > 0 && !PauseUnlessStopping(piece.pauseMs)) return;
        if (!WriteAll(piece.bytes)) return;
        written.insert(written.end(), piece.bytes.begin(), piece.bytes.end());
    }
    if (delivery.pieces.empty()) return;
    {
        std::lock_guard<std::mutex> lock(FRecordMutex);
        FSent.push_back(written);
        ++FAnswersSent;
    }
    FRecordChanged.notify_all();
}

bool VirtualInstrument::WriteAll(const Bytes& bytes) {
    std::lock_guard<std::mutex> lock(FLineMutex);
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

bool VirtualInstrument::PauseUnlessStopping(int ms) {
    std::unique_lock<std::mutex> lock(FPauseMutex);
    FPauseWake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return FStopping.load(); });
    return !FStopping;
}

void VirtualInstrument::RecordDiscarded() {
    std::vector<Bytes> dropped = FSplitter.TakeDiscarded();
    if (dropped.empty()) return;
    std::lock_guard<std::mutex> lock(FRecordMutex);
    for (Bytes& bytes : dropped) FDiscarded.push_back(std::move(bytes));
}

void VirtualInstrument::SetFaults(const Faults& faults) { FFaults.Set(faults); }
FaultCounts VirtualInstrument::InjectedFaults() const { return FFaults.Counts(); }

std::vector<Bytes> VirtualInstrument::ReceivedFrames() const {
    std::lock_guard<std::mutex> lock(FRecordMutex);
    return FReceived;
}

void VirtualInstrument::ClearReceived() {
    std::lock_guard<std::mutex> lock(FRecordMutex);
    FReceived.clear();
    FSent.clear();
    FDiscarded.clear();
}

bool VirtualInstrument::WaitForFrames(size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(FRecordMutex);
    return FRecordChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [&] { return FReceived.size() >= count; });
}

size_t VirtualInstrument::AnswersSent() const {
    std::lock_guard<std::mutex> lock(FRecordMutex);
    return FAnswersSent;
}

bool VirtualInstrument::WaitForAnswers(size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(FRecordMutex);
    return FRecordChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [&] { return FAnswersSent >= count; });
}

std::vector<Bytes> VirtualInstrument::SentAnswers() const {
    std::lock_guard<std::mutex> lock(FRecordMutex);
    return FSent;
}

std::vector<Bytes> VirtualInstrument::Discarded() const {
    std::lock_guard<std::mutex> lock(FRecordMutex);
    return FDiscarded;
}

void VirtualInstrument::InjectBytes(const Bytes& bytes) { WriteAll(bytes); }

}  // namespace sim
