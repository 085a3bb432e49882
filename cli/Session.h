#pragma once
// One instrument on the line: requests to its address in its protocol, the answers checked,
// rewritten into QV form and handed to the decoders; and the two ways of finding one.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/Line.h"
#include "protocol/Answers.h"
#include "protocol/Requests.h"

namespace cli {

// Modbus gateways' exceptions: no path to that address, or no answer from it.
using protocol::GatewayPathUnavailable;
using protocol::GatewayTargetSilent;
using protocol::IsGatewayNoAnswer;

struct Reply {
    enum class Kind { Ok, Silent, Garbled, Refused };
    Kind kind = Kind::Silent;  // a gateway's 0x0A or 0x0B is Silent, with its exceptionCode
    protocol::Answer answer;   // Ok: in the form the decoders read
    uint8_t exceptionCode = 0;

    bool Ok() const { return kind == Kind::Ok; }
    const uint8_t* Bytes() const { return answer.bytes.data(); }
    int Length() const { return answer.length; }
};

// "Несуществующий параметр (exception 2)", "exception 7".
std::string ExceptionDescription(uint8_t code);

class Session {
public:
    Session(Line& line, uint16_t address, protocol::Protocol protocol)
        : FLine(line), FAddress(address), FProtocol(protocol) {}

    uint16_t Address() const { return FAddress; }
    protocol::Protocol Protocol() const { return FProtocol; }
    void SetAddress(uint16_t address) { FAddress = address; }
    void SetProtocol(protocol::Protocol protocol) { FProtocol = protocol; }
    Line& Wire() { return FLine; }

    // The answer to one request, or why there is none.
    Reply Ask(const protocol::Request& request);
    // A read that must be answered: throws CliError (ExitNoAnswer, or ExitRefused for an
    // exception). The message names `what` (the keys of a configuration write, say), or the
    // command when it is empty.
    Reply Read(const protocol::Request& request, const std::string& what = std::string());
    // A write that must be accepted: throws CliError (ExitNoAnswer; ExitRefused for an
    // exception or a result byte other than 0).
    void Write(const protocol::Request& request, const std::string& what = std::string());

private:
    Line& FLine;
    uint16_t FAddress;
    protocol::Protocol FProtocol;
};

struct Found {
    uint16_t address = 0;
    protocol::Protocol protocol = protocol::Protocol::Qv;
};

// The single-instrument search: the search request in each of `protocols` in turn (QV
// first, as the window searches); the first answer tells address and protocol. `damaged`, when
// given, tells whether an answer came back damaged, as when several instruments answer at once.
std::optional<Found> Search(Line& line, const std::vector<protocol::Protocol>& protocols,
                            bool* damaged = nullptr);

// A cheap read at one address (its address register): true when an instrument answers it in
// `protocol` (an exception counts: something speaking that protocol is there).
bool Probe(Line& line, uint16_t address, protocol::Protocol protocol);

const char* ProtocolName(protocol::Protocol protocol);  // "qv", "modbus"

}  // namespace cli
