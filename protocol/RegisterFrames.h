#pragma once
// Modbus RTU requests of the eight data functions (read coils, discrete inputs, holding and
// input registers; write one coil, one register, several coils, several registers) to any
// device on the line, and their answers decoded, exception answers included. Unlike
// ModbusFrames.h, which speaks for the instrument's own commands, these frames take any
// address, register and count the functions allow.
#include <cstdint>
#include <string>
#include <vector>

namespace protocol {

enum class DataFunction : uint8_t {
    ReadCoils = 1,
    ReadDiscreteInputs = 2,
    ReadHoldingRegisters = 3,
    ReadInputRegisters = 4,
    WriteCoil = 5,
    WriteRegister = 6,
    WriteCoils = 15,
    WriteRegisters = 16,
};

// The function for its number; false for a number outside the eight.
bool DataFunctionFromNumber(int number, DataFunction& function);
bool IsReadFunction(DataFunction function);
// Functions 1, 2, 5 and 15 carry bits; the others 16-bit registers.
bool CarriesBits(DataFunction function);
// How many items one request may carry: 2000 coils or 125 registers read, 1968 coils or 123
// registers written, 1 for the single writes.
int ItemLimit(DataFunction function);

struct DataRequest {
    uint8_t address = 1;  // 0 is the broadcast: no answer comes
    DataFunction function = DataFunction::ReadHoldingRegisters;
    uint16_t start = 0;
    uint16_t count = 1;            // reads; the writes take the number of `values`
    std::vector<uint16_t> values;  // writes: registers, or coils as 0 and 1
};

// Why the request cannot be sent (English, for the command line and the window's hint); ""
// when it can: address 0..247, a count within the function's limit, no item beyond register
// 65535, coils 0 or 1.
std::string DataRequestProblem(const DataRequest& request);

// The frame with its CRC. Only for a request DataRequestProblem has no objection to.
std::vector<uint8_t> BuildDataRequest(const DataRequest& request);

// The length of the whole answer awaited, CRC included.
int DataAnswerLength(const DataRequest& request);

struct DataAnswer {
    enum class Status {
        Ok,
        Exception,     // the device refused: exceptionCode says why
        Short,         // fewer bytes than the answer needs
        BadCrc,        // the frame check failed
        WrongAddress,  // another device's answer
        WrongFunction,
        Mismatch,  // a write's echo or a read's byte count differs from the request
    };
    Status status = Status::Short;
    uint8_t exceptionCode = 0;
    std::vector<uint16_t> values;  // reads: the registers, or the bits as 0 and 1
};

// Reads `length` received bytes as the answer to `request`.
DataAnswer DecodeDataAnswer(const DataRequest& request, const uint8_t* answer, int length);

// What a Modbus exception code means (UTF-8): the instrument's own meanings for 2, 3 and 0x46,
// the protocol's for the rest; nullptr for a code without one.
const char* ExceptionMeaning(uint8_t code);
// "исключение 2: Несуществующий параметр", "исключение 9".
std::string ExceptionDescriptionText(uint8_t code);

// What went wrong with an answer in words (UTF-8); "" for Ok.
std::string DataAnswerProblem(const DataAnswer& answer);

}  // namespace protocol
