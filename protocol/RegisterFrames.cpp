#include "protocol/RegisterFrames.h"

#include "protocol/Answers.h"
#include "protocol/Crc.h"
#include "protocol/Limits.h"

namespace protocol {

namespace {

constexpr int MaxReadBits = 2000;
constexpr int MaxReadRegisters = 125;
constexpr int MaxWriteBits = 1968;
constexpr int MaxWriteRegisters = 123;
constexpr uint16_t CoilOn = 0xFF00;

void PutWord(std::vector<uint8_t>& frame, uint16_t value) {
    frame.push_back(uint8_t(value >> 8));
    frame.push_back(uint8_t(value & 0xFF));
}

uint16_t WordAt(const uint8_t* at) {
    return uint16_t(at[0] << 8 | at[1]);
}

int BytesOfBits(int bits) {
    return (bits + 7) / 8;
}

int ItemCount(const DataRequest& request) {
    return IsReadFunction(request.function) ? request.count : int(request.values.size());
}

// The read's data bytes: bits packed eight to a byte, least significant first, or registers.
int ReadDataBytes(const DataRequest& request) {
    return CarriesBits(request.function) ? BytesOfBits(request.count) : 2 * request.count;
}

bool EchoMatches(const DataRequest& request, const uint8_t* answer) {
    const uint16_t first = WordAt(answer + 2);
    const uint16_t second = WordAt(answer + 4);
    if (first != request.start) return false;
    switch (request.function) {
        case DataFunction::WriteCoil:
            return second == (request.values[0] ? CoilOn : 0);
        case DataFunction::WriteRegister:
            return second == request.values[0];
        default:
            return second == request.values.size();
    }
}

}  // namespace

bool DataFunctionFromNumber(int number, DataFunction& function) {
    switch (number) {
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
        case 6:
        case 15:
        case 16:
            function = DataFunction(number);
            return true;
        default:
            return false;
    }
}

bool IsReadFunction(DataFunction function) {
    return uint8_t(function) <= 4;
}

bool CarriesBits(DataFunction function) {
    return function == DataFunction::ReadCoils || function == DataFunction::ReadDiscreteInputs ||
           function == DataFunction::WriteCoil || function == DataFunction::WriteCoils;
}

int ItemLimit(DataFunction function) {
    switch (function) {
        case DataFunction::ReadCoils:
        case DataFunction::ReadDiscreteInputs:
            return MaxReadBits;
        case DataFunction::ReadHoldingRegisters:
        case DataFunction::ReadInputRegisters:
            return MaxReadRegisters;
        case DataFunction::WriteCoils:
            return MaxWriteBits;
        case DataFunction::WriteRegisters:
            return MaxWriteRegisters;
        default:
            return 1;
    }
}

std::string DataRequestProblem(const DataRequest& request) {
    if (request.address > HighestModbusAddress)
        return "the address must be within 0.." + std::to_string(HighestModbusAddress);
    const int count = ItemCount(request);
    const int limit = ItemLimit(request.function);
    const std::string function = "function " + std::to_string(int(request.function));
    if (count < 1 || count > limit) {
        const std::string what = IsReadFunction(request.function) ? "reads" : "writes";
        return function + " " + what + " 1.." + std::to_string(limit) +
               (CarriesBits(request.function) ? " coils" : " registers") + ", not " +
               std::to_string(count);
    }
    if (int(request.start) + count - 1 > 0xFFFF)
        return "the last item would be beyond register 65535";
    if (CarriesBits(request.function))
        for (uint16_t v : request.values)
            if (v > 1) return "a coil is 0 or 1, not " + std::to_string(v);
    return std::string();
}

std::vector<uint8_t> BuildDataRequest(const DataRequest& request) {
    std::vector<uint8_t> frame{request.address, uint8_t(request.function)};
    PutWord(frame, request.start);
    switch (request.function) {
        case DataFunction::WriteCoil:
            PutWord(frame, request.values.at(0) ? CoilOn : 0);
            break;
        case DataFunction::WriteRegister:
            PutWord(frame, request.values.at(0));
            break;
        case DataFunction::WriteCoils: {
            PutWord(frame, uint16_t(request.values.size()));
            std::vector<uint8_t> packed(size_t(BytesOfBits(int(request.values.size()))), 0);
            for (size_t i = 0; i < request.values.size(); ++i)
                if (request.values[i]) packed[i / 8] |= uint8_t(1u << (i % 8));
            frame.push_back(uint8_t(packed.size()));
            frame.insert(frame.end(), packed.begin(), packed.end());
            break;
        }
        case DataFunction::WriteRegisters:
            PutWord(frame, uint16_t(request.values.size()));
            frame.push_back(uint8_t(2 * request.values.size()));
            for (uint16_t v : request.values) PutWord(frame, v);
            break;
        default:
            PutWord(frame, request.count);
            break;
    }
    frame.resize(frame.size() + 2);
    StoreCrc(frame.data(), uint16_t(frame.size()));
    return frame;
}

int DataAnswerLength(const DataRequest& request) {
    if (IsReadFunction(request.function)) return 5 + ReadDataBytes(request);
    return 8;  // a write's answer echoes the start and the value or count
}

DataAnswer DecodeDataAnswer(const DataRequest& request, const uint8_t* a, int length) {
    DataAnswer answer;
    using S = DataAnswer::Status;
    const uint8_t function = uint8_t(request.function);
    // The exception answer is told by its own length and CRC, before the length awaited.
    if (length >= ExceptionAnswerLength && a[1] == (function | 0x80) &&
        Crc16(a, ExceptionAnswerLength) == 0) {
        answer.status = a[0] == request.address ? S::Exception : S::WrongAddress;
        answer.exceptionCode = a[2];
        return answer;
    }
    const int expected = DataAnswerLength(request);
    if (length < expected) {
        answer.status = S::Short;
        return answer;
    }
    if (Crc16(a, uint16_t(expected)) != 0) {
        answer.status = S::BadCrc;
        return answer;
    }
    if (a[0] != request.address) {
        answer.status = S::WrongAddress;
        return answer;
    }
    if (a[1] != function) {
        answer.status = S::WrongFunction;
        return answer;
    }
    if (!IsReadFunction(request.function)) {
        answer.status = EchoMatches(request, a) ? S::Ok : S::Mismatch;
        return answer;
    }
    if (a[2] != ReadDataBytes(request)) {
        answer.status = S::Mismatch;
        return answer;
    }
    const uint8_t* data = a + 3;
    for (int i = 0; i < request.count; ++i)
        answer.values.push_back(CarriesBits(request.function) ? (data[i / 8] >> (i % 8)) & 1
                                                              : WordAt(data + 2 * i));
    answer.status = S::Ok;
    return answer;
}

const char* ExceptionMeaning(uint8_t code) {
    if (const char* own = ExceptionText(code)) return own;
    switch (code) {
        case 1:
            return "Недопустимая функция";
        case 4:
            return "Отказ устройства";
        case 5:
            return "Запрос принят, выполняется";
        case 6:
            return "Устройство занято";
        case 8:
            return "Ошибка чётности памяти";
        case GatewayPathUnavailable:
            return "Шлюз: нет пути к устройству";
        case GatewayTargetSilent:
            return "Шлюз: устройство не отвечает";
        default:
            return nullptr;
    }
}

std::string ExceptionDescriptionText(uint8_t code) {
    const std::string number = "исключение " + std::to_string(code);
    const char* meaning = ExceptionMeaning(code);
    return meaning ? number + ": " + meaning : number;
}

std::string DataAnswerProblem(const DataAnswer& answer) {
    using S = DataAnswer::Status;
    switch (answer.status) {
        case S::Ok:
            return std::string();
        case S::Exception:
            return ExceptionDescriptionText(answer.exceptionCode);
        case S::Short:
            return "неполный ответ";
        case S::BadCrc:
            return "ошибка контрольной суммы";
        case S::WrongAddress:
            return "ответ с другого адреса";
        case S::WrongFunction:
            return "ответ другой функции";
        case S::Mismatch:
            return "ответ не соответствует запросу";
    }
    return std::string();
}

}  // namespace protocol
