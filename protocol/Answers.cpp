#include "protocol/Answers.h"

#include <algorithm>

#include "protocol/Crc.h"
#include "protocol/Limits.h"
#include "protocol/Registers.h"
#include "protocol/Requests.h"

namespace protocol {

namespace {

bool AddressMatches(const RequestFrame& request, const uint8_t* answer) {
    if (request.command == GetTypeProt || request.command == SetTypeProt) return true;
    if (request.modbus) return answer[0] == request.bytes[0];
    return answer[0] == request.bytes[0] && answer[1] == request.bytes[1];
}

bool IsExceptionTo(const RequestFrame& request, const uint8_t* answer, int length) {
    return request.modbus && request.bytes.size() >= 2 && length >= ExceptionAnswerLength &&
           answer[0] == request.bytes[0] && answer[1] == (request.bytes[1] | fn::ExceptionFlag);
}

}  // namespace

bool LooksLikeModbusException(const uint8_t* answer, int length) {
    return length == ExceptionAnswerLength && answer[1] > fn::ExceptionFlag;
}

AnswerCheck CheckAnswer(const RequestFrame& request, const uint8_t* answer, int length) {
    AnswerCheck check;
    if (IsExceptionTo(request, answer, length)) {
        const bool good = Crc16(answer, ExceptionAnswerLength) == 0;
        check.status = good ? AnswerStatus::Exception : AnswerStatus::BadCrc;
        check.exceptionCode = good ? answer[2] : 0;
        return check;
    }
    const int expected = request.lengthIn;
    if (expected < 3 || length < expected) {
        check.status = AnswerStatus::Short;
    } else if (Crc16(answer, uint16_t(expected)) != 0) {
        check.status = AnswerStatus::BadCrc;
    } else if (request.bytes.size() < 2 || !AddressMatches(request, answer)) {
        check.status = AnswerStatus::WrongAddress;
    } else {
        check.status = AnswerStatus::Ok;
    }
    return check;
}

const char* ExceptionText(uint8_t code) {
    switch (code) {
        case 2:
            return "Несуществующий параметр";
        case 3:
            return "Неверное значение параметра";
        case 0x46:
            return "Аппаратная защита";
        default:
            return nullptr;
    }
}

bool ExceptionIsReported(uint8_t code, TListComand command) {
    if (code == 2) return command == GetPar;
    return code == 3 || code == 0x46;
}

bool AnswerNeedsRewrite(const RequestFrame& request) {
    return request.modbus && !IsUntranslatedRead(request.command);
}

Answer TakeAnswer(const RequestFrame& request, const uint8_t* received, int count) {
    Answer answer;
    answer.check = CheckAnswer(request, received, count);
    const int kept = std::min(count, FrameBufferSize);
    std::copy(received, received + kept, answer.bytes.begin());
    answer.length = answer.check.status == AnswerStatus::Exception
                        ? ExceptionAnswerLength
                        : std::min<int>(kept, request.lengthIn);
    if (!answer.Ok() || !AnswerNeedsRewrite(request) || request.bytes.size() < 4) return answer;
    uint8_t lengthIn = uint8_t(answer.length);
    FromModbusAnswer(request.bytes.data(), request.code, answer.bytes.data(), lengthIn);
    answer.length = lengthIn;
    return answer;
}

std::optional<ProtocolAnswer> DecodeSearchAnswer(const uint8_t* received, int count) {
    const RequestFrame qv = BuildRequest(Search(), 0, Protocol::Qv);
    if (count >= qv.lengthIn && received[2] == qv.code && Crc16(received, qv.lengthIn) == 0)
        return DecodeProtocolAnswer(received, qv.lengthIn);
    const RequestFrame modbus = BuildRequest(Search(), 0, Protocol::Modbus);
    if (count < modbus.lengthIn || received[1] != fn::Search) return std::nullopt;
    const Answer answer = TakeAnswer(modbus, received, count);
    if (!answer.Ok()) return std::nullopt;
    auto found = DecodeProtocolAnswer(answer.bytes.data(), answer.length);
    if (found) found->protocol = Protocol::Modbus;  // the form says so, whatever its tag
    return found;
}

namespace {

bool ModbusAnswerFits(const uint8_t* r, int requestLength, const uint8_t* a, int answerLength) {
    if (requestLength < 2 || answerLength < ExceptionAnswerLength) return false;
    if (r[0] != fn::BroadcastAddress && a[0] != r[0]) return false;
    if (a[1] == (r[1] | fn::ExceptionFlag)) return answerLength == ExceptionAnswerLength;
    if (a[1] != r[1]) return false;
    switch (r[1]) {
        case fn::ReadRegisters:
            return requestLength >= 6 && a[2] == 2 * (r[4] << 8 | r[5]) && answerLength == 5 + a[2];
        case fn::WriteRegister:
        case fn::WriteRegisters:
            return requestLength >= 6 && answerLength >= 8 && std::equal(r + 2, r + 6, a + 2);
        default:
            return true;  // the search and the protocol switch: the function is all they echo
    }
}

bool QvAnswerFits(const uint8_t* r, int requestLength, const uint8_t* a, int answerLength) {
    if (requestLength < 3 || answerLength < 3) return false;
    const uint16_t to = uint16_t(r[0] | r[1] << 8);
    if (to != 0 && to != SearchAddress && (a[0] != r[0] || a[1] != r[1])) return false;
    return a[2] == r[2];
}

}  // namespace

bool AnswerFitsRequest(const uint8_t* request, int requestLength, bool modbus,
                       const uint8_t* answer, int answerLength) {
    return modbus ? ModbusAnswerFits(request, requestLength, answer, answerLength)
                  : QvAnswerFits(request, requestLength, answer, answerLength);
}

}  // namespace protocol
