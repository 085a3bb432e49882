#include "sim/VirtualBus.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace sim {

BusOptions SingleInstrumentLine(const Config& config) {
    BusOptions options;
    options.silenceMs = config.silenceMs;
    options.answersEndFrames = false;
    return options;
}

VirtualBus::VirtualBus(const std::vector<Config>& instruments, const BusOptions& options)
    : FOptions(options) {
    for (const Config& config : instruments) FStations.push_back(std::make_unique<Station>(config));
}

VirtualBus::~VirtualBus() {
    Stop();
}

void VirtualBus::Start() {
    if (Running()) return;
    FLine.Open();
    FStopping = false;
    FReader = std::thread([this] { ReaderLoop(); });
}

void VirtualBus::Stop() {
    StopReader();
    FLine.Close();
}

bool VirtualBus::Running() const {
    return FLine.IsOpen();
}

std::string VirtualBus::DevicePath() const {
    return FLine.Path();
}

void VirtualBus::Reappear() {
    if (Running()) return;
    for (auto& station : FStations) station->ResetFraming();
    Start();
}

void VirtualBus::StopReader() {
    if (!FReader.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(FPauseMutex);
        FStopping = true;
    }
    FPauseWake.notify_all();
    FLine.Wake();
    FReader.join();
}

bool VirtualBus::AnyPending() const {
    for (const auto& station : FStations)
        if (station->Pending()) return true;
    return false;
}

int VirtualBus::SilenceTimeoutMs() const {
    if (!AnyPending()) return -1;
    const auto quiet = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - FLastByte);
    return std::max(0, FOptions.silenceMs - int(quiet.count()));
}

void VirtualBus::ReaderLoop() {
    const int master = FLine.Master();
    const int wake = FLine.WakeSignal();
    while (!FStopping) {
        pollfd fds[2] = {{master, POLLIN, 0}, {wake, POLLIN, 0}};
        const int ready = ::poll(fds, 2, SilenceTimeoutMs());
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) {
            if (ready == 0 && AnyPending()) ServeAtSilence();
            continue;
        }
        if (fds[1].revents) continue;  // stop request; the loop condition ends it
        if (fds[0].revents & POLLIN) {
            ReadAvailable();
            ServeRequests();
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            PauseUnlessStopping(10);  // nothing to read; do not spin
        }
    }
}

// The speed is taken once the bytes are there: the port side sets it before it writes.
void VirtualBus::ReadAvailable() {
    const int master = FLine.Master();
    Bytes heard;
    uint8_t chunk[512];
    for (;;) {
        const ssize_t got = ::read(master, chunk, sizeof chunk);
        if (got > 0) {
            heard.insert(heard.end(), chunk, chunk + got);
            FLastByte = std::chrono::steady_clock::now();
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        break;  // EAGAIN: all read; EIO: no slave open, nothing to read
    }
    if (heard.empty()) return;
    const uint32_t speed = FLine.PortSpeed();
    for (auto& station : FStations) station->Hear(heard.data(), heard.size(), speed);
}

// One request at a time: every instrument that holds a complete one answers it, and those
// answers go out together before the next request is taken.
void VirtualBus::ServeRequests() {
    bool answered = false;
    for (;;) {
        std::vector<Answering> answers;
        bool anyRequest = false;
        for (auto& station : FStations) {
            std::optional<Delivery> delivery = station->AnswerNext();
            if (!delivery) continue;
            anyRequest = true;
            if (!delivery->pieces.empty()) answers.push_back({station.get(), std::move(*delivery)});
        }
        if (!anyRequest || FStopping) break;
        answered |= Deliver(answers);
    }
    if (answered && FOptions.answersEndFrames && AnyPending()) ServeAtSilence();
}

void VirtualBus::ServeAtSilence() {
    std::vector<Answering> answers;
    for (auto& station : FStations) {
        if (!station->Pending()) continue;
        std::optional<Delivery> delivery = station->AnswerAtSilence();
        if (delivery && !delivery->pieces.empty())
            answers.push_back({station.get(), std::move(*delivery)});
    }
    Deliver(answers);
}

// True when anything went out on the line.
bool VirtualBus::Deliver(const std::vector<Answering>& answers) {
    if (answers.empty()) return false;
    if (answers.size() == 1) {
        Bytes written;
        const bool complete = WritePieces(answers[0].delivery, written);
        if (complete) answers[0].station->RecordAnswer(written);
        return !written.empty();
    }
    std::vector<Delivery> deliveries;
    for (const Answering& answer : answers) deliveries.push_back(answer.delivery);
    const Collision collision = Collide(deliveries, FLine.PortSpeed());
    if (collision.garbled) ++FCollisions;
    Bytes written;
    if (!WritePieces(collision.line, written)) return !written.empty();
    for (const Answering& answer : answers) {
        Bytes own;
        for (const Delivery::Piece& piece : answer.delivery.pieces)
            own.insert(own.end(), piece.bytes.begin(), piece.bytes.end());
        answer.station->RecordAnswer(own);
    }
    return true;
}

bool VirtualBus::WritePieces(const Delivery& delivery, Bytes& written) {
    for (const Delivery::Piece& piece : delivery.pieces) {
        if (piece.pauseMs > 0 && !PauseUnlessStopping(piece.pauseMs)) return false;
        if (!FLine.WriteAll(piece.bytes)) return false;
        written.insert(written.end(), piece.bytes.begin(), piece.bytes.end());
    }
    return true;
}

bool VirtualBus::PauseUnlessStopping(int ms) {
    std::unique_lock<std::mutex> lock(FPauseMutex);
    FPauseWake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return FStopping.load(); });
    return !FStopping;
}

}  // namespace sim
