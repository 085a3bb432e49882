#include "lineowner/SerialLine.h"

#include <QCoreApplication>
#include <thread>

#include "protocol/Crc.h"
#include "serial/SerialPort.h"

namespace {

using linescan::Clock;

// The port's speed setting for a speed in bits per second; the custom setting for the others.
TBaudRate BaudRateOf(int32_t baud) {
    for (unsigned i = 1; i < std::size(BaudRateTable); ++i)
        if (BaudRateTable[i] == baud) return TBaudRate(i);
    return brCustom;
}

QByteArray Bytes(const std::vector<uint8_t>& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

}  // namespace

TSerialLine::TSerialLine(TSerialPort& port) : FPort(port) {}

void TSerialLine::SetSource(const QString& name) {
    std::lock_guard<std::mutex> lock(FSourceMutex);
    FSource = name;
}

QString TSerialLine::Source() const {
    std::lock_guard<std::mutex> lock(FSourceMutex);
    return FSource;
}

void TSerialLine::SetSpeed(int32_t baud) {
    const TBaudRate rate = BaudRateOf(baud);
    if (rate == brCustom) FPort.SetCustomBaudRate(baud);
    FPort.SetBaudRate(rate);
}

void TSerialLine::Discard() {
    EndAnswer();
    FPort.ClearBuffer(true, false);
}

void TSerialLine::Send(const std::vector<uint8_t>& frame) {
    TFrameEvent request;
    request.byHand = true;
    Write(frame, std::move(request));
}

void TSerialLine::SendRequest(const protocol::RequestFrame& frame) {
    TFrameEvent request;
    request.command = frame.command;
    request.code = frame.code;
    request.modbus = frame.modbus;
    request.lengthIn = frame.lengthIn;
    request.data = Bytes(frame.data);
    Write(frame.bytes, std::move(request));
}

void TSerialLine::SendByHand(const std::vector<uint8_t>& frame, bool modbus, int answerLength,
                             const QString& meaning, Describe describe) {
    TFrameEvent request;
    request.byHand = true;
    request.modbus = modbus;
    request.lengthIn = uint8_t(std::min(answerLength, 255));
    request.message = meaning;
    Write(frame, std::move(request));
    FDescribe = std::move(describe);
}

// A strict instrument takes a frame that begins sooner than 3.5 characters after the last
// byte on the line for the tail of that one. A Modbus TCP gateway frames each request itself.
void TSerialLine::KeepSilence() {
    if (!FPort.NeedsFrameSilence()) return;
    const auto silence =
        std::chrono::microseconds(protocol::FrameSilenceMicroseconds(FPort.BitsPerSecond()));
    const Clock::time_point due =
        std::min(FPort.LastReceivedAt() + silence, Clock::now() + silence);
    if (due > Clock::now()) std::this_thread::sleep_until(due);
}

void TSerialLine::Write(const std::vector<uint8_t>& frame, TFrameEvent&& request) {
    EndAnswer();
    FDescribe = nullptr;
    try {
        if (!FPort.Connected())
            throw ESerialPort(QCoreApplication::translate("TSerialLine", "Порт не открыт"));
        KeepSilence();
        const int32_t size = int32_t(frame.size());
        if (FPort.Write(frame.data(), size) != size)
            throw ESerialPort(
                QCoreApplication::translate("TSerialLine", "Кадр записан не полностью"));
    } catch (const ESerialPort& e) {
        TFrameEvent failed;
        failed.kind = TFrameEvent::Kind::PortError;
        failed.message = e.Text();
        Tap(std::move(failed));
        throw;
    }
    ++FSent;
    request.kind = TFrameEvent::Kind::Request;
    request.bytes = Bytes(frame);
    request.atNs = FrameTapNowNs();
    FRequest = request;
    Tap(std::move(request));
    FAwaiting = true;
    FAnswer.clear();
    FPieces = 0;
}

bool TSerialLine::Receive(std::vector<uint8_t>& into, Clock::time_point deadline) {
    for (;;) {
        const int32_t queued = FPort.InBufCount();
        if (queued > 0) {
            std::vector<uint8_t> chunk(static_cast<size_t>(queued));
            const int32_t n = FPort.Read(chunk.data(), queued);
            if (n > 0) {
                into.insert(into.end(), chunk.begin(), chunk.begin() + n);
                if (FAwaiting) {
                    FLastByteNs = FrameTapNowNs();
                    if (FPieces++ == 0) FFirstByteNs = FLastByteNs;
                    FAnswer.append(reinterpret_cast<const char*>(chunk.data()), n);
                }
                return true;
            }
        }
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(PollStep);
    }
}

Clock::time_point TSerialLine::Now() const {
    return Clock::now();
}

void TSerialLine::EndAnswer() {
    if (!FAwaiting) return;
    FAwaiting = false;
    if (!FrameTap.load(std::memory_order_acquire)) return;
    TFrameEvent event;
    event.pieces = FPieces;
    event.available = int(FAnswer.size());
    if (FAnswer.isEmpty()) {
        event.kind = TFrameEvent::Kind::Timeout;
        event.atNs = FrameTapNowNs();
    } else {
        const bool good =
            FAnswer.size() >= 3 && Crc16(reinterpret_cast<const uint8_t*>(FAnswer.constData()),
                                         uint16_t(FAnswer.size())) == 0;
        event.kind = good ? TFrameEvent::Kind::Answer : TFrameEvent::Kind::BadCrc;
        event.bytes = FAnswer;
        event.atNs = FLastByteNs;
        event.spreadNs = FLastByteNs - FFirstByteNs;
        if (FRequest.byHand) {
            event.byHand = true;
            bool error = !good;
            if (FDescribe) event.message = FDescribe(FRequest.bytes, FAnswer, error);
            event.handError = error;
        }
    }
    Tap(std::move(event));
}

void TSerialLine::Tap(TFrameEvent&& event) const {
    TFrameTap* tap = FrameTap.load(std::memory_order_acquire);
    if (!tap) return;
    event.source = Source();
    if (event.atNs == 0) event.atNs = FrameTapNowNs();
    tap->FrameEvent(std::move(event));
}
