// The protocol core's answer path without the window: any answer bytes to any request, in
// either protocol, through the checks, the Modbus rewrite and every decoder, and the decoded
// numbers through the texts the window and the command-line tool show.
//
// Input: command, flags (bit 0 Modbus, bit 1 relay 2, bit 2 16-bit setpoints), address low
// and high, count of request data bytes (low 3 bits), the data bytes, then the answer bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "protocol/Answers.h"
#include "protocol/Cp1251.h"
#include "protocol/Decoders.h"
#include "protocol/NumberText.h"
#include "protocol/Units.h"

namespace {

using namespace protocol;

// Keeps the compiler from dropping work whose result is not otherwise used.
volatile size_t Sink = 0;

void Show(double value, int decimals) {
    Sink = Sink + FixedText(value, decimals).size() + ReadingText(value, uint8_t(decimals)).size();
}

void DecodeAll(const uint8_t* a, int n, Protocol protocol, uint16_t format, int relay) {
    if (auto v = DecodeAddress(a, n)) Sink = Sink + *v;
    if (auto v = DecodeParameter(a, n)) {
        Show(v->scale, 3 - v->pointCode);
        Sink = Sink + UnitName(v->unitCode).size();
    }
    if (auto v = DecodeSerialAndYear(a, n))
        Sink = Sink + SerialNumberText(*v).size() + YearText(*v).size();
    if (auto v = DecodeBrightness(a, n)) Sink = Sink + size_t(*v);
    if (auto v = DecodeInfoText(a, n)) Sink = Sink + ToCp1251(*v).size();
    if (auto v = DecodeSetpoint(a, n, protocol, format)) Sink = Sink + size_t(*v);
    if (auto v = DecodeSetpointFormat(a, n, protocol)) Sink = Sink + *v;
    if (auto v = DecodeIecFraming(a, n)) Sink = Sink + size_t(IecTypeIndex(v->type) + 1);
    if (auto v = DecodeAlarmMode(a, n)) Sink = Sink + size_t(*v);
    if (auto v = DecodeRelayParams(a, n, relay)) Sink = Sink + v->mode + size_t(v->delay);
    if (auto v = DecodeRelayHysteresis(a, n, relay)) Show(*v, int(Sink % 5));
    if (auto v = DecodeProtocolAnswer(a, n)) Sink = Sink + v->address;
    if (auto v = DecodeReading(a, n)) Show(v->value, int(Sink % 5));
    if (auto v = DecodeWriteResult(a, n)) Sink = Sink + *v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5) return 0;
    const TListComand command = TListComand(data[0] % CommandCount);
    const uint8_t flags = data[1];
    const Protocol protocol = flags & 1 ? Protocol::Modbus : Protocol::Qv;
    const int relay = flags & 2 ? 2 : 1;
    const uint16_t format = flags & 4 ? SixteenBitSetpoints : 0;
    const uint16_t address = uint16_t(data[2] | data[3] << 8);
    const size_t dataCount = std::min<size_t>(data[4] & 7, size - 5);
    const std::vector<uint8_t> requestData(data + 5, data + 5 + dataCount);
    const uint8_t* received = data + 5 + dataCount;
    const int count = int(std::min<size_t>(size - 5 - dataCount, 4 * FrameBufferSize));

    const RequestFrame request = BuildRequest(command, address, requestData, protocol, relay);
    const Answer answer = TakeAnswer(request, received, count);
    DecodeAll(answer.bytes.data(), answer.length, protocol, format, relay);
    // The decoders must stand any bytes, checked or not.
    DecodeAll(received, count, protocol, format, relay);
    Sink = Sink + LooksLikeModbusException(received, count);

    // The rewrite as the exchange runs it: on a whole frame buffer, with whatever length the
    // request left.
    if (request.bytes.size() >= 4) {
        uint8_t buffer[FrameBufferSize] = {};
        std::memcpy(buffer, received, std::min(count, FrameBufferSize));
        uint8_t lengthIn = request.lengthIn;
        FromModbusAnswer(request.bytes.data(), request.code, buffer, lengthIn);
        DecodeAll(buffer, lengthIn, protocol, format, relay);
    }
    const std::string text(reinterpret_cast<const char*>(received), size_t(count));
    Sink = Sink + ToCp1251(FromCp1251(text)).size() + ToCp1251(text).size();
    return 0;
}
