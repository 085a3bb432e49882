#pragma once
// The instrument's answers: one complete request frame in, the answer frame out (empty when the
// instrument stays silent), the model changed as the request asks. Pure apart from the model;
// called on the server's reader thread, usable directly by fuzzers and unit tests.
#include "sim/Bytes.h"
#include "sim/InstrumentModel.h"

namespace sim {

// Answers `request` in the protocol the model currently speaks. The whole request is handled
// under the model's lock; a protocol switch takes effect for the next request.
// In QV the six Modbus-only configuration writes are answered in Modbus form when
// `modbusWritesInQv` is set.
Bytes Answer(InstrumentModel& model, const Bytes& request, bool modbusWritesInQv = true);

// The separate protocols, on a state the caller has locked.
// `elapsedMs` is the instrument's running time, which the live values follow.
Bytes AnswerQv(InstrumentState& state, const Bytes& request, double elapsedMs,
               bool modbusWritesInQv);
Bytes AnswerModbus(InstrumentState& state, const Bytes& request, double elapsedMs);

// Modbus exception codes the instrument uses.
namespace exception {
constexpr uint8_t kIllegalFunction = 1;
constexpr uint8_t kIllegalAddress = 2;
constexpr uint8_t kIllegalValue = 3;
constexpr uint8_t kProtected = 0x46;
}  // namespace exception

// QV result bytes of write acknowledgements and status bytes of GetPar/GetVal.
namespace result {
constexpr uint8_t kAccepted = 0;
constexpr uint8_t kNoSuchParameter = 2;
constexpr uint8_t kBadValue = 3;
constexpr uint8_t kNumberLocked = 10;
constexpr uint8_t kProtected = 0x46;
}  // namespace result

}  // namespace sim
