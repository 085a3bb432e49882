#include "linescan/LinePort.h"

#include "protocol/Answers.h"

namespace linescan {

std::vector<uint8_t> ReceiveAnswer(LinePort& line, size_t length, bool modbus,
                                   std::chrono::milliseconds silence) {
    std::vector<uint8_t> bytes;
    Clock::time_point silenceEnds = line.Now() + silence;
    for (;;) {
        if (bytes.size() >= length) break;
        if (modbus && bytes.size() == size_t(protocol::ExceptionAnswerLength) &&
            protocol::LooksLikeModbusException(bytes.data(), int(bytes.size())))
            break;
        if (!line.Receive(bytes, silenceEnds)) break;
        silenceEnds = line.Now() + silence;
    }
    return bytes;
}

}  // namespace linescan
