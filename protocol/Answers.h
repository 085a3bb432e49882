#pragma once
// Checks of a received answer against the request that was sent, and the whole answer path of
// a synchronous caller: check, then the rewrite of a Modbus answer into QV form.
#include <array>
#include <cstdint>
#include <optional>

#include "protocol/Commands.h"
#include "protocol/Decoders.h"
#include "protocol/ModbusFrames.h"

namespace protocol {

enum class AnswerStatus {
    Ok,
    Short,         // fewer bytes than the request's answer length
    BadCrc,        // the frame check failed
    WrongAddress,  // another instrument's answer
    Exception,     // a Modbus exception answer: the instrument refused
};

struct AnswerCheck {
    AnswerStatus status = AnswerStatus::Short;
    uint8_t exceptionCode = 0;  // the Modbus exception code when status is Exception
};

// A Modbus TCP gateway answers for an instrument that is not there with one of these
// exceptions: no instrument answered, never an instrument that refused.
constexpr uint8_t GatewayPathUnavailable = 0x0A;
constexpr uint8_t GatewayTargetSilent = 0x0B;
inline bool IsGatewayNoAnswer(uint8_t exceptionCode) {
    return exceptionCode == GatewayPathUnavailable || exceptionCode == GatewayTargetSilent;
}

// Length of a Modbus exception answer: address, function | 0x80, code, CRC.
constexpr int ExceptionAnswerLength = 5;

// The exchange's test for an exception frame: exactly five bytes, function above 0x80.
bool LooksLikeModbusException(const uint8_t* answer, int length);

// Whether `answer` has the form of the answer to `request` as it went on the wire: from the
// address the request went to (the search and the protocol switch, sent to the broadcast
// address, are answered from the instrument's own), for the function or command it asked, with
// what the protocol echoes: a Modbus read's byte count, a Modbus write's register and value
// or quantity, the QV command code. A Modbus exception to the request's function fits. The CRC
// is not looked at. A duplicated or late answer to another request of the same kind still
// fits: telling those apart is a matter of timing, which the exchange watches.
bool AnswerFitsRequest(const uint8_t* request, int requestLength, bool modbus,
                       const uint8_t* answer, int answerLength);

// Checks `length` received bytes against `request`. In order: a Modbus exception (a Modbus
// request answered by five bytes from its address with the function | 0x80 and a good
// CRC), the length (the first request.lengthIn bytes are the answer; more are ignored), the
// CRC, and the address (the answer's address field equals the request's; not checked for
// the search and the protocol switch, which the instrument answers from its own address).
AnswerCheck CheckAnswer(const RequestFrame& request, const uint8_t* answer, int length);

// The operator's text for a Modbus exception code (UTF-8): 2 "Несуществующий параметр",
// 3 "Неверное значение параметра", 0x46 "Аппаратная защита"; nullptr for other codes.
const char* ExceptionText(uint8_t code);
// Whether the exchange reports the exception to the operator: code 2 only for GetPar, codes 3
// and 0x46 always, others never.
bool ExceptionIsReported(uint8_t code, TListComand command);

// True when the answer to `request` goes through FromModbusAnswer before it is decoded.
bool AnswerNeedsRewrite(const RequestFrame& request);

// One answer taken off the line, checked and, when it is good, in the form the decoders read.
struct Answer {
    AnswerCheck check;
    std::array<uint8_t, FrameBufferSize> bytes{};  // QV form (Modbus layout for untranslated reads)
    int length = 0;                                // bytes of `bytes` that belong to the answer
    bool Ok() const { return check.status == AnswerStatus::Ok; }
};

// Checks `received` and, when it is good, rewrites a Modbus answer into QV form.
Answer TakeAnswer(const RequestFrame& request, const uint8_t* received, int count);

// The answer to the search, told by its own form, whichever protocol's search was sent: a QV
// answer (address low, address high, code 0xFF) or a Modbus RTU one (address, function 0x77),
// each whole and with a good CRC. A QV instrument answering late, while the Modbus RTU search
// is awaited, is thus still taken for a QV instrument. std::nullopt for anything else.
std::optional<ProtocolAnswer> DecodeSearchAnswer(const uint8_t* received, int count);

}  // namespace protocol
