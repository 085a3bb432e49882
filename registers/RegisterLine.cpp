#include "registers/RegisterLine.h"

#include "exchange/FrameTap.h"
#include "protocol/Crc.h"
#include "serial/SerialPort.h"

namespace {

void Tap(TFrameEvent&& event) {
    if (TFrameTap* tap = FrameTap.load(std::memory_order_acquire)) {
        event.atNs = FrameTapNowNs();
        event.byHand = true;
        tap->FrameEvent(std::move(event));
    }
}

const uint8_t* Data(const QByteArray& bytes) {
    return reinterpret_cast<const uint8_t*>(bytes.constData());
}

}  // namespace

TRegisterLine::TRegisterLine(TSerialPort& port, std::function<int()> answerWaitMs, QObject* parent)
    : QObject(parent), FPort(port), FAnswerWaitMs(std::move(answerWaitMs)) {
    FPoll.setInterval(PollIntervalMs);
    connect(&FPoll, &QTimer::timeout, this, &TRegisterLine::Poll);
}

bool TRegisterLine::Send(const TLineRequest& request) {
    if (FBusy) return false;
    FRequest = request;
    FReceived.clear();
    FSince.invalidate();
    FWaitMs = FAnswerWaitMs ? FAnswerWaitMs() : 370;
    try {
        if (!FPort.Connected()) throw ESerialPort(tr("Порт не открыт"));
        // What an earlier request left unread is no answer to this one.
        FPort.ClearBuffer(true, true);
        if (FPort.Write(request.frame.constData(), int32_t(request.frame.size())) !=
            request.frame.size())
            throw ESerialPort(tr("Кадр записан не полностью"));
    } catch (const ESerialPort& e) {
        TFrameEvent failed;
        failed.kind = TFrameEvent::Kind::PortError;
        failed.message = e.Text();
        Tap(std::move(failed));
        FBusy = true;  // Finish reports it as this request's end
        Finish(e.Text());
        return false;
    }
    TFrameEvent sent;
    sent.kind = TFrameEvent::Kind::Request;
    sent.bytes = request.frame;
    sent.modbus = request.modbus;
    sent.lengthIn = uint8_t(qMin(request.answerLength, 255));
    sent.message = request.meaning;
    Tap(std::move(sent));
    FBusy = true;
    FSince.start();
    FLastByteMs = 0;
    FPoll.start();
    return true;
}

bool TRegisterLine::Complete() const {
    if (FReceived.size() >= FRequest.answerLength) return true;
    // A whole Modbus exception answer is shorter than the answer awaited.
    return FRequest.modbus && FReceived.size() == 5 && FRequest.frame.size() >= 2 &&
           uint8_t(FReceived[1]) == (uint8_t(FRequest.frame[1]) | 0x80) &&
           Crc16(Data(FReceived), 5) == 0;
}

void TRegisterLine::Poll() {
    try {
        const int32_t queued = FPort.InBufCount();
        if (queued > 0) {
            QByteArray chunk(queued, '\0');
            const int32_t n = FPort.Read(chunk.data(), queued);
            if (n > 0) {
                FReceived.append(chunk.constData(), n);
                FLastByteMs = FSince.elapsed();
            }
        }
    } catch (const ESerialPort& e) {
        TFrameEvent failed;
        failed.kind = TFrameEvent::Kind::PortError;
        failed.message = e.Text();
        Tap(std::move(failed));
        Finish(e.Text());
        return;
    }
    // The wait restarts with every byte, as the exchange's does.
    if (Complete() || FSince.elapsed() - FLastByteMs >= FWaitMs) Finish();
}

void TRegisterLine::Finish(const QString& failure) {
    if (!FBusy) return;
    FPoll.stop();
    FBusy = false;
    TLineAnswer answer;
    answer.request = FRequest.frame;
    answer.bytes = failure.isEmpty() ? FReceived : QByteArray();
    answer.latencyMs = FSince.isValid() ? double(FSince.nsecsElapsed()) / 1e6 : 0;
    answer.failure = failure;
    if (failure.isEmpty()) {
        TFrameEvent taken;
        taken.bytes = answer.bytes;
        if (answer.bytes.isEmpty()) {
            taken.kind = TFrameEvent::Kind::Timeout;
        } else {
            const bool good = answer.bytes.size() >= 3 &&
                              Crc16(Data(answer.bytes), uint16_t(answer.bytes.size())) == 0;
            taken.kind = good ? TFrameEvent::Kind::Answer : TFrameEvent::Kind::BadCrc;
            bool error = !good;
            if (FDescribe) taken.message = FDescribe(answer.request, answer.bytes, error);
            taken.handError = error;
        }
        Tap(std::move(taken));
    }
    emit Answered(answer);
}
