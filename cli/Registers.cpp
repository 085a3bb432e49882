// regs read|write: any register or coil of any Modbus RTU device on the line; raw: one frame
// typed in hex. Every argument is checked before the port is opened, so that a request
// refused is never sent.
#include <algorithm>
#include <cmath>
#include <sstream>

#include "cli/Commands.h"
#include "cli/Errors.h"
#include "config/Json.h"
#include "protocol/KnownRegisters.h"
#include "protocol/Limits.h"
#include "protocol/RawFrames.h"
#include "protocol/RegisterFrames.h"
#include "protocol/RegisterValues.h"

namespace cli {

using config::JsonString;
using namespace protocol;

namespace {

[[noreturn]] void Usage(const std::string& message) {
    throw CliError(ExitUsage, message);
}

struct RegsPlan {
    bool read = true;
    DataRequest request;
    RegisterType type = RegisterType::U16;
    WordOrder order = WordOrder::ABCD;
    NumberBase base = NumberBase::Dec;
};

DataFunction FunctionOf(int number) {
    DataFunction function;
    if (!DataFunctionFromNumber(number, function))
        Usage("--function is 1, 2, 3, 4, 5, 6, 15 or 16, not " + std::to_string(number));
    return function;
}

std::string CountProblem(DataFunction function, long count) {
    const int limit = ItemLimit(function);
    if (count >= 1 && count <= limit) return std::string();
    return "function " + std::to_string(int(function)) +
           (IsReadFunction(function) ? " reads 1.." : " writes 1..") + std::to_string(limit) +
           (CarriesBits(function) ? " coils" : " registers") + ", not " + std::to_string(count);
}

void PlanRead(const Options& o, RegsPlan& plan) {
    DataRequest& r = plan.request;
    r.function = FunctionOf(o.function ? o.function : 3);
    if (!IsReadFunction(r.function)) Usage("regs read takes --function 1, 2, 3 or 4");
    const int width = CarriesBits(r.function) ? 1 : RegisterWidth(plan.type);
    const long count = o.countGiven ? o.count : width;
    if (const std::string problem = CountProblem(r.function, count); !problem.empty())
        Usage(problem);
    if (count % width != 0)
        Usage(std::string("--type ") + RegisterTypeName(plan.type) +
              " takes registers in pairs: --count must be even");
    r.count = uint16_t(count);
}

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> items;
    std::stringstream list(text);
    for (std::string item; std::getline(list, item, ',');) items.push_back(item);
    if (!text.empty() && text.back() == ',') items.push_back(std::string());
    return items;
}

void PlanWrite(const Options& o, RegsPlan& plan) {
    plan.read = false;
    if (!o.values) Usage("regs write needs --value V (or V,V,... for a block)");
    if (o.countGiven) Usage("regs write takes the count from its values, not --count");
    if (o.function && IsReadFunction(FunctionOf(o.function)))
        Usage("regs write takes --function 5, 6, 15 or 16");
    std::string problem;
    const auto request = PlanDataWrite(plan.request.address, o.function, plan.request.start,
                                       Split(*o.values), plan.type, plan.order, problem);
    if (!request) Usage("--value: " + problem);
    plan.request = *request;
}

RegsPlan PlanRegs(const Options& o) {
    if (o.arguments.size() != 1 || (o.arguments[0] != "read" && o.arguments[0] != "write"))
        Usage("regs needs read or write");
    RegsPlan plan;
    if (!RegisterTypeFromName(o.type, plan.type)) Usage("--type is u16, s16, u32, s32 or float");
    if (!WordOrderFromName(o.order, plan.order)) Usage("--order is ABCD, CDAB, BADC or DCBA");
    if (!NumberBaseFromName(o.base, plan.base)) Usage("--base is dec, hex or bin");
    if (!o.start) Usage("regs needs --start R (the first register, 0..65535)");
    if (o.address && *o.address > HighestModbusAddress)
        Usage("Modbus RTU addresses end at " + std::to_string(HighestModbusAddress));
    plan.request.start = uint16_t(*o.start);
    plan.request.address = uint8_t(o.address.value_or(1));
    if (o.arguments[0] == "read")
        PlanRead(o, plan);
    else
        PlanWrite(o, plan);
    if (const std::string problem = DataRequestProblem(plan.request); !problem.empty())
        Usage(problem);
    return plan;
}

// --address, or the Modbus instrument the search finds.
uint8_t DeviceAddress(const Options& o, Line& line) {
    if (o.address) return uint8_t(*o.address);
    if (const auto found = Search(line, {Protocol::Modbus})) return uint8_t(found->address);
    throw CliError(ExitNoAnswer, "no instrument answered the search (give the device's --address)");
}

// The frame as the line sends it and awaits its answer.
RequestFrame LineFrame(const std::vector<uint8_t>& bytes, int answerLength, bool modbus) {
    RequestFrame frame;
    frame.bytes = bytes;
    frame.lengthIn = uint8_t(std::min(answerLength, 255));
    frame.modbus = modbus;
    return frame;
}

[[noreturn]] void Refused(const DataRequest& r, const DataAnswer& answer) {
    const std::string what = "function " + std::to_string(int(r.function)) + " at register " +
                             std::to_string(r.start) + ": ";
    // A gateway's "no path" and "no answer" mean no device answered.
    if (answer.status == DataAnswer::Status::Exception && IsGatewayNoAnswer(answer.exceptionCode))
        throw CliError(ExitNoAnswer, what + DataAnswerProblem(answer));
    if (answer.status == DataAnswer::Status::Exception)
        throw CliError(ExitRefused, "the device refused " + what + DataAnswerProblem(answer));
    throw CliError(ExitNoAnswer, "no valid answer to " + what + DataAnswerProblem(answer));
}

// In JSON a decimal value is a number; hex, binary and a single that is no number are strings.
std::string JsonNumberOrText(const std::string& text, NumberBase base) {
    if (base != NumberBase::Dec) return JsonString(text);
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(value) ? text : JsonString(text);
}

void PrintRead(const Options& o, const RegsPlan& plan, const std::vector<uint16_t>& values,
               std::ostream& out) {
    const DataRequest& r = plan.request;
    const bool bits = CarriesBits(r.function);
    const int width = bits ? 1 : RegisterWidth(plan.type);
    if (o.json)
        out << "{\"address\":" << int(r.address) << ",\"function\":" << int(r.function)
            << ",\"start\":" << r.start << ",\"values\":[";
    for (size_t i = 0; i < values.size(); i += size_t(width)) {
        const uint16_t number = uint16_t(r.start + i);
        const int left = int(values.size() - i);
        const std::string value =
            bits ? std::to_string(values[i])
                 : RegisterValueText(values.data() + i, left, plan.type, plan.order, plan.base);
        // Coils and discrete inputs have no names: the instrument's names are of its registers.
        const bool named = !bits && !KnownRegisterName(number).empty();
        const std::string name = named ? KnownRegisterName(number) : std::string();
        const std::string meaning =
            named ? KnownRegisterValue(number, values.data() + i, left) : std::string();
        if (o.json) {
            out << (i ? "," : "") << "{\"register\":" << number
                << ",\"value\":" << JsonNumberOrText(value, plan.base) << ",\"registers\":[";
            for (int w = 0; w < width; ++w) out << (w ? "," : "") << values[i + size_t(w)];
            out << "],\"name\":" << (named ? JsonString(name) : "null")
                << ",\"meaning\":" << (meaning.empty() ? "null" : JsonString(meaning)) << "}";
            continue;
        }
        out << number << "\t" << value;
        if (named) out << "\t" << name << (meaning.empty() ? "" : ": " + meaning);
        out << "\n";
    }
    if (o.json) out << "]}\n";
}

}  // namespace

int RegsCommand(const Options& o, std::ostream& out) {
    RegsPlan plan = PlanRegs(o);
    auto line = OpenLine(o);
    DataRequest& r = plan.request;
    r.address = DeviceAddress(o, *line);
    const std::vector<uint8_t> received =
        line->Exchange(LineFrame(BuildDataRequest(r), DataAnswerLength(r), true));
    if (received.empty())
        throw CliError(ExitNoAnswer,
                       "device " + std::to_string(int(r.address)) + " did not answer");
    const DataAnswer answer = DecodeDataAnswer(r, received.data(), int(received.size()));
    if (answer.status != DataAnswer::Status::Ok) Refused(r, answer);
    if (plan.read) {
        PrintRead(o, plan, answer.values, out);
        return ExitSuccess;
    }
    const char* what = CarriesBits(r.function) ? " coil" : " register";
    if (o.json)
        out << "{\"address\":" << int(r.address) << ",\"function\":" << int(r.function)
            << ",\"start\":" << r.start << ",\"written\":" << r.values.size() << "}\n";
    else
        out << "wrote " << r.values.size() << what << (r.values.size() > 1 ? "s" : "") << " from "
            << r.start << "\n";
    return ExitSuccess;
}

int RawCommand(const Options& o, std::ostream& out) {
    if (o.arguments.empty()) Usage("raw needs the frame in hex: raw \"01 03 03 EB 00 01\"");
    std::string text;
    for (const std::string& a : o.arguments) text += (text.empty() ? "" : " ") + a;
    const HexFrame frame = ParseHexFrame(text, o.crc);
    if (!frame.Ok()) Usage("raw: " + frame.problem);

    // A data request's or a QV command's answer is complete at its length; any other frame's
    // at the silence.
    DataRequest data;
    const bool isData = DataRequestFromFrame(frame.bytes, data);
    const int length = RawAnswerLength(frame.bytes);
    auto line = OpenLine(o);
    const std::vector<uint8_t> received =
        line->Exchange(LineFrame(frame.bytes, length > 0 ? length : 255, isData));
    const RawAnswerView view = DescribeRawAnswer(frame.bytes, received);
    const char* kind = view.kind == RawAnswerView::Kind::Qv       ? "qv"
                       : view.kind == RawAnswerView::Kind::Modbus ? "modbus"
                                                                  : nullptr;
    if (o.json) {
        out << "{\"sent\":" << JsonString(HexText(frame.bytes))
            << ",\"received\":" << (received.empty() ? "null" : JsonString(HexText(received)))
            << ",\"protocol\":" << (kind ? JsonString(kind) : "null")
            << ",\"meaning\":" << (view.text.empty() ? "null" : JsonString(view.text))
            << ",\"error\":" << (view.error || received.empty() ? "true" : "false") << "}\n";
    } else {
        out << "> " << HexText(frame.bytes) << "\n";
        out << "< " << (received.empty() ? "(no answer)" : HexText(received)) << "\n";
        if (!view.text.empty()) out << (kind ? std::string(kind) + ": " : "") << view.text << "\n";
    }
    if (received.empty()) return ExitNoAnswer;
    if (!view.error) return ExitSuccess;
    const bool exception = received.size() == size_t(ExceptionAnswerLength) && received[1] > 0x80;
    return exception ? ExitRefused : ExitNoAnswer;
}

}  // namespace cli
