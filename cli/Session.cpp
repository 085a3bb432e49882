#include "cli/Session.h"

#include <algorithm>

#include "cli/Errors.h"
#include "protocol/Decoders.h"

namespace cli {

using protocol::AnswerStatus;

std::string ExceptionDescription(uint8_t code) {
    const char* text = protocol::ExceptionText(code);
    const std::string number = "exception " + std::to_string(code);
    return text ? std::string(text) + " (" + number + ")" : number;
}

namespace {

std::string ResultDescription(uint8_t result) {
    if (result == protocol::NumberCannotChange) return "Невозможно изменить номер (result 10)";
    const char* text = protocol::ExceptionText(result);
    const std::string number = "result " + std::to_string(result);
    return text ? std::string(text) + " (" + number + ")" : number;
}

Reply Take(const protocol::RequestFrame& frame, const std::vector<uint8_t>& received) {
    Reply reply;
    reply.answer = protocol::TakeAnswer(frame, received.data(), int(received.size()));
    switch (reply.answer.check.status) {
        case AnswerStatus::Ok:
            reply.kind = Reply::Kind::Ok;
            break;
        case AnswerStatus::Exception:
            reply.exceptionCode = reply.answer.check.exceptionCode;
            // A gateway's "path unavailable" and "target failed to respond": no instrument
            // answered there, which is silence, not a refusal.
            reply.kind =
                IsGatewayNoAnswer(reply.exceptionCode) ? Reply::Kind::Silent : Reply::Kind::Refused;
            break;
        default:
            reply.kind = received.empty() ? Reply::Kind::Silent : Reply::Kind::Garbled;
            break;
    }
    return reply;
}

}  // namespace

Reply Session::Ask(const protocol::Request& request) {
    const protocol::RequestFrame frame = protocol::BuildRequest(request, FAddress, FProtocol);
    return Take(frame, FLine.Exchange(frame));
}

Reply Session::Read(const protocol::Request& request, const std::string& what) {
    const Reply reply = Ask(request);
    const std::string name = what.empty() ? std::string(CommandName(request.command)) : what;
    switch (reply.kind) {
        case Reply::Kind::Ok:
            return reply;
        case Reply::Kind::Refused:
            throw CliError(ExitRefused, "the instrument refused " + name + ": " +
                                            ExceptionDescription(reply.exceptionCode));
        case Reply::Kind::Garbled:
            throw CliError(ExitNoAnswer,
                           "no valid answer to " + name + " (damaged or foreign frame)");
        default:
            if (IsGatewayNoAnswer(reply.exceptionCode))
                throw CliError(ExitNoAnswer, "the instrument did not answer " + name +
                                                 " (the gateway reports no instrument at address " +
                                                 std::to_string(FAddress) + ": exception " +
                                                 std::to_string(reply.exceptionCode) + ")");
            throw CliError(ExitNoAnswer, "the instrument did not answer " + name);
    }
}

void Session::Write(const protocol::Request& request, const std::string& what) {
    const Reply reply = Read(request, what);
    // The switch is acknowledged by the answer itself; the other writes carry a result byte.
    if (request.command == SetTypeProt) return;
    const auto result = protocol::DecodeWriteResult(reply.Bytes(), reply.Length());
    if (result && *result != protocol::WriteAccepted)
        throw CliError(ExitRefused,
                       "the instrument refused " +
                           (what.empty() ? std::string(CommandName(request.command)) : what) +
                           ": " + ResultDescription(*result));
}

std::optional<Found> Search(Line& line, const std::vector<protocol::Protocol>& protocols,
                            bool* damaged) {
    if (damaged) *damaged = false;
    for (protocol::Protocol p : protocols) {
        const protocol::RequestFrame frame = protocol::BuildRequest(protocol::Search(), 0, p);
        const std::vector<uint8_t> received = line.Exchange(frame);
        // The answer's form tells the protocol: a late answer to the other protocol's search
        // tells it as well as a timely one.
        const auto answer = protocol::DecodeSearchAnswer(received.data(), int(received.size()));
        const bool wanted = answer && std::find(protocols.begin(), protocols.end(),
                                                answer->protocol) != protocols.end();
        if (wanted) return Found{answer->address, answer->protocol};
        if (answer) continue;  // an instrument of a protocol not asked for
        // A Modbus TCP gateway that heard nobody says so with an exception: silence.
        if (protocol::LooksLikeModbusException(received.data(), int(received.size())) &&
            IsGatewayNoAnswer(received[2]))
            continue;
        if (damaged && !received.empty()) *damaged = true;
    }
    return std::nullopt;
}

bool Probe(Line& line, uint16_t address, protocol::Protocol protocol) {
    Session session(line, address, protocol);
    const Reply reply = session.Ask(protocol::Read(GetAdr));
    return reply.kind == Reply::Kind::Ok || reply.kind == Reply::Kind::Refused;
}

const char* ProtocolName(protocol::Protocol protocol) {
    return protocol == protocol::Protocol::Modbus ? "modbus" : "qv";
}

}  // namespace cli
