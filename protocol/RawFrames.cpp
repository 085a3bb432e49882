#include "protocol/RawFrames.h"

#include <cctype>
#include <cstdio>

#include "protocol/Answers.h"
#include "protocol/Crc.h"
#include "protocol/KnownRegisters.h"
#include "protocol/NumberText.h"
#include "protocol/Units.h"

namespace protocol {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == ',' || c == '\n' || c == '\r';
}

bool GoodCrc(const std::vector<uint8_t>& frame) {
    return frame.size() >= 3 && Crc16(frame.data(), uint16_t(frame.size())) == 0;
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.7g", value);
    return text;
}

// The registers of a read, each with the instrument's name and meaning where it has one.
std::string RegistersText(const DataRequest& request, const std::vector<uint16_t>& values) {
    std::string text;
    for (size_t i = 0; i < values.size(); ++i) {
        const uint16_t number = uint16_t(request.start + i);
        if (!text.empty()) text += "; ";
        text += std::to_string(number) + " = " + std::to_string(values[i]);
        const std::string name = KnownRegisterName(number);
        if (name.empty()) continue;
        const std::string meaning =
            KnownRegisterValue(number, values.data() + i, int(values.size() - i));
        text += " (" + name + (meaning.empty() ? "" : ": " + meaning) + ")";
    }
    return text;
}

std::string BitsText(const DataRequest& request, const std::vector<uint16_t>& values) {
    std::string text = std::to_string(request.start) + ":";
    for (uint16_t v : values) text += v ? " 1" : " 0";
    return text;
}

std::string DataAnswerText(const DataRequest& request, const DataAnswer& answer) {
    const std::string function = "функция " + std::to_string(int(request.function)) + ": ";
    if (IsReadFunction(request.function))
        return function + (CarriesBits(request.function) ? BitsText(request, answer.values)
                                                         : RegistersText(request, answer.values));
    const size_t count = request.values.size();
    if (request.function == DataFunction::WriteCoil ||
        request.function == DataFunction::WriteRegister)
        return function + "записано " + std::to_string(request.start) + " = " +
               std::to_string(request.values[0]);
    return function + "записано " + std::to_string(count) + " с " + std::to_string(request.start);
}

// One of the instrument's QV commands the request is, by its code and length.
bool QvCommandOf(const std::vector<uint8_t>& frame, TListComand& command) {
    if (frame.size() < 5 || !GoodCrc(frame)) return false;
    const TCommandTable& table = DefaultCommandTable();
    for (int c = 0; c < CommandCount; ++c)
        if (table[c].Code == frame[2] && table[c].LengthOut == frame.size() &&
            table[c].LengthIn > 0) {
            command = TListComand(c);
            return true;
        }
    return false;
}

std::string QvAnswerText(TListComand command, const uint8_t* a, int length) {
    const std::string name = std::string(CommandName(command)) + ": ";
    switch (command) {
        case GetAdr:
            if (const auto v = DecodeAddress(a, length))
                return name + "адрес " + std::to_string(*v);
            break;
        case GetVal:
            if (const auto v = DecodeReading(a, length))
                return name + (v->exists ? Number(v->value) : "параметр отсутствует");
            break;
        case GetPar:
            if (const auto v = DecodeParameter(a, length))
                return name + (v->exists ? "шкала " + Number(v->scale) + " " + UnitName(v->unitCode)
                                         : "параметр отсутствует");
            break;
        case GetYear:
            if (const auto v = DecodeSerialAndYear(a, length))
                return name + "номер " + SerialNumberText(*v) + ", год " + YearText(*v);
            break;
        case GetBright:
            if (const auto v = DecodeBrightness(a, length))
                return name + "яркость " + std::to_string(*v);
            break;
        case GetInfo:
            if (const auto v = DecodeInfoText(a, length)) return name + "«" + *v + "»";
            break;
        default:
            if (CommandName(command)[0] == 'S')
                if (const auto v = DecodeWriteResult(a, length))
                    return name +
                           (*v == WriteAccepted ? "принято" : "результат " + std::to_string(*v));
            break;
    }
    return name + "ответ";
}

}  // namespace

HexFrame ParseHexFrame(const std::string& text, bool appendCrc) {
    HexFrame frame;
    std::string digits;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (IsSeparator(c)) continue;
        // "0x" before a byte: the next two digits are the byte.
        if (c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
            digits.size() % 2 == 0) {
            ++i;
            continue;
        }
        if (HexDigit(c) < 0) {
            frame.kind = HexFrame::Problem::NotHex;
            frame.position = int(i + 1);
            frame.problem = "\"" + std::string(1, c) + "\" at position " + std::to_string(i + 1) +
                            " is not a hex digit";
            return frame;
        }
        digits += c;
    }
    if (digits.empty()) {
        frame.kind = HexFrame::Problem::Empty;
        frame.problem = "no bytes given";
        return frame;
    }
    if (digits.size() % 2 != 0) {
        frame.kind = HexFrame::Problem::OddDigits;
        frame.total = int(digits.size());
        frame.problem = "an odd number of hex digits (" + std::to_string(digits.size()) +
                        "): every byte takes two";
        return frame;
    }
    const size_t total = digits.size() / 2 + (appendCrc ? 2 : 0);
    if (total > size_t(MaxRawFrameBytes)) {
        frame.kind = HexFrame::Problem::TooLong;
        frame.total = int(total);
        frame.problem = std::to_string(total) + " bytes" + (appendCrc ? " with the CRC" : "") +
                        ": a frame has at most " + std::to_string(MaxRawFrameBytes);
        return frame;
    }
    for (size_t i = 0; i < digits.size(); i += 2)
        frame.bytes.push_back(uint8_t(HexDigit(digits[i]) << 4 | HexDigit(digits[i + 1])));
    if (appendCrc) {
        frame.bytes.resize(frame.bytes.size() + 2);
        StoreCrc(frame.bytes.data(), uint16_t(frame.bytes.size()));
    }
    return frame;
}

std::string HexText(const std::vector<uint8_t>& bytes) {
    std::string text;
    char hex[4];
    for (uint8_t b : bytes) {
        std::snprintf(hex, sizeof hex, text.empty() ? "%02X" : " %02X", b);
        text += hex;
    }
    return text;
}

bool DataRequestFromFrame(const std::vector<uint8_t>& frame, DataRequest& request) {
    if (frame.size() < 8 || !GoodCrc(frame)) return false;
    DataFunction function;
    if (!DataFunctionFromNumber(frame[1], function)) return false;
    DataRequest r;
    r.address = frame[0];
    r.function = function;
    r.start = uint16_t(frame[2] << 8 | frame[3]);
    const uint16_t word = uint16_t(frame[4] << 8 | frame[5]);
    if (IsReadFunction(function)) {
        if (frame.size() != 8) return false;
        r.count = word;
    } else if (function == DataFunction::WriteCoil || function == DataFunction::WriteRegister) {
        if (frame.size() != 8) return false;
        if (function == DataFunction::WriteCoil && word != 0 && word != 0xFF00) return false;
        r.values = {function == DataFunction::WriteCoil ? uint16_t(word ? 1 : 0) : word};
    } else {
        // The byte count must be the one the item count gives, and the frame that long.
        const bool coils = function == DataFunction::WriteCoils;
        const size_t bytes = frame[6];
        if (bytes != (coils ? (size_t(word) + 7) / 8 : 2 * size_t(word)) ||
            frame.size() != 9 + bytes)
            return false;
        for (uint16_t i = 0; i < word; ++i)
            r.values.push_back(coils ? (frame[7 + i / 8] >> (i % 8)) & 1
                                     : uint16_t(frame[7 + 2 * i] << 8 | frame[8 + 2 * i]));
    }
    if (!DataRequestProblem(r).empty()) return false;
    request = r;
    return true;
}

int RawAnswerLength(const std::vector<uint8_t>& frame) {
    DataRequest data;
    if (DataRequestFromFrame(frame, data)) return DataAnswerLength(data);
    TListComand command;
    if (QvCommandOf(frame, command)) return DefaultCommandTable()[command].LengthIn;
    return 0;
}

RawAnswerView DescribeRawAnswer(const std::vector<uint8_t>& request,
                                const std::vector<uint8_t>& answer) {
    RawAnswerView view;
    if (answer.empty()) return view;
    const int length = int(answer.size());
    DataRequest data;
    if (DataRequestFromFrame(request, data)) {
        const DataAnswer decoded = DecodeDataAnswer(data, answer.data(), length);
        if (decoded.status == DataAnswer::Status::Ok ||
            decoded.status == DataAnswer::Status::Exception) {
            view.kind = RawAnswerView::Kind::Modbus;
            view.error = decoded.status != DataAnswer::Status::Ok;
            view.text = view.error ? DataAnswerProblem(decoded) : DataAnswerText(data, decoded);
            return view;
        }
    }
    if (const auto found = DecodeSearchAnswer(answer.data(), length)) {
        view.kind =
            found->protocol == Protocol::Qv ? RawAnswerView::Kind::Qv : RawAnswerView::Kind::Modbus;
        view.text = "поиск: адрес " + std::to_string(found->address);
        return view;
    }
    TListComand command;
    if (QvCommandOf(request, command)) {
        RequestFrame frame;
        frame.command = command;
        frame.code = request[2];
        frame.bytes = request;
        frame.lengthIn = DefaultCommandTable()[command].LengthIn;
        const Answer taken = TakeAnswer(frame, answer.data(), length);
        if (taken.Ok()) {
            view.kind = RawAnswerView::Kind::Qv;
            view.text = QvAnswerText(command, taken.bytes.data(), taken.length);
            return view;
        }
    }
    // Told by its form alone.
    view.error = true;
    if (!GoodCrc(answer)) {
        view.text = "ошибка контрольной суммы";
        return view;
    }
    if (length == ExceptionAnswerLength && answer[1] > 0x80) {
        view.kind = RawAnswerView::Kind::Modbus;
        view.text = ExceptionDescriptionText(answer[2]);
        return view;
    }
    view.error = false;
    view.text = "кадр с верной контрольной суммой";
    return view;
}

}  // namespace protocol
