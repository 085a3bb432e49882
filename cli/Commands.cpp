#include "cli/Commands.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <sstream>
#include <thread>

#include "cli/Errors.h"
#include "cli/Platform.h"
#include "config/ConfigAnswers.h"
#include "config/ConfigError.h"
#include "config/ConfigPlan.h"
#include "config/ConfigWrites.h"
#include "config/Json.h"
#include "linescan/LineScan.h"
#include "protocol/Decoders.h"
#include "protocol/Limits.h"
#include "protocol/NumberText.h"
#include "protocol/Units.h"
#include "serial/SerialBackend.h"

namespace cli {

using config::ConfigJson;
using config::ConfigKeys;
using config::ConfigPlan;
using config::FindKey;
using config::FormatConfig;
using config::IntegerValue;
using config::JsonString;
using config::KeyInfo;
using config::NumberText;
using config::ParseConfig;
using config::PlannedWrite;
using config::ReadConfigFile;
using config::ReadOnlyDifference;
using config::ReadOnlyDifferences;
using config::Selected;
using config::ValueKind;
using protocol::Protocol;

std::unique_ptr<Line> OpenLine(const Options& o) {
    if (o.port.empty()) throw CliError(ExitUsage, o.command + " needs --port");
    auto line =
        std::make_unique<Line>(o.port, o.baud, o.timeoutMs, o.verbose, o.networkAllowanceMs);
    using serial_backend::Parity;
    const Parity parity = o.parity == "even"  ? Parity::Even
                          : o.parity == "odd" ? Parity::Odd
                                              : Parity::None;
    const auto stopBits =
        o.stopBits == 2 ? serial_backend::StopBits::Two : serial_backend::StopBits::One;
    if (parity != Parity::None || o.stopBits != 1) line->SetFraming(parity, stopBits);
    return line;
}

namespace {

// The configuration library's errors as exit codes: the file's mistakes are usage errors, an
// answer the instrument did not give is the instrument's.
ExitCode ExitCodeOf(const config::ConfigError& e) {
    return e.Why() == config::ConfigError::Reason::NotAnswered ? ExitNoAnswer : ExitUsage;
}

// ---- common --------------------------------------------------------------------------------

std::vector<Protocol> ProtocolList(const std::string& text) {
    if (text == "auto") return {Protocol::Qv, Protocol::Modbus};
    std::vector<Protocol> list;
    std::stringstream items(text);
    for (std::string item; std::getline(items, item, ',');) {
        if (item == "qv")
            list.push_back(Protocol::Qv);
        else if (item == "modbus")
            list.push_back(Protocol::Modbus);
        else
            throw CliError(ExitUsage, "protocols are qv and modbus, not \"" + item + "\"");
    }
    return list;
}

[[noreturn]] void NoSearchAnswer(bool damaged) {
    if (damaged)
        throw CliError(ExitNoAnswer,
                       "the search got only a damaged answer: the answers of several "
                       "instruments on one line collide (scan asks each address in turn)");
    throw CliError(ExitNoAnswer, "no instrument answered the search");
}

// The protocols the line can carry: a Modbus TCP gateway carries no QV. Asked for QV alone
// there, the command is refused with the reason.
std::vector<Protocol> LineProtocols(const Line& line, const std::vector<Protocol>& wanted) {
    if (!line.CarriesModbusOnly()) return wanted;
    std::vector<Protocol> usable;
    for (Protocol p : wanted)
        if (p == Protocol::Modbus) usable.push_back(p);
    if (usable.empty())
        throw CliError(ExitUsage, "QV cannot go through " + line.Port() +
                                      ": a Modbus TCP gateway carries Modbus frames only (for QV "
                                      "use a transparent serial server, tcp://HOST:PORT)");
    return usable;
}

// The instrument the command talks to: at --address (in the protocol that answers there),
// else the one the search finds.
Session Connect(const Options& o, Line& line) {
    const std::vector<Protocol> protocols = LineProtocols(line, ProtocolList(o.protocol));
    if (o.address) {
        const uint16_t address = uint16_t(*o.address);
        if (protocols.size() == 1 && protocols[0] == Protocol::Modbus &&
            address > protocol::HighestModbusAddress)
            throw CliError(ExitUsage, "Modbus RTU addresses end at " +
                                          std::to_string(protocol::HighestModbusAddress));
        if (protocols.size() == 1) return Session(line, address, protocols[0]);
        for (Protocol p : protocols) {
            if (p == Protocol::Modbus && address > protocol::HighestModbusAddress) continue;
            if (Probe(line, address, p)) return Session(line, address, p);
        }
        throw CliError(ExitNoAnswer,
                       "no instrument answered at address " + std::to_string(address));
    }
    bool damaged = false;
    if (const auto found = Search(line, protocols, &damaged))
        return Session(line, found->address, found->protocol);
    NoSearchAnswer(damaged);
}

std::string TimeStamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", std::gmtime(&seconds));
    char full[48];
    std::snprintf(full, sizeof full, "%s.%03dZ", text, int(millis));
    return full;
}

// Waits `ms`, returning early (false) on Ctrl+C.
bool Pause(long ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (Interrupted()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min<long>(ms, 20)));
    }
    return !Interrupted();
}

// A reply the command can use, or nothing (silence, damage, refusal).
std::optional<Reply> Usable(Session& session, const protocol::Request& request) {
    Reply reply = session.Ask(request);
    if (!reply.Ok()) return std::nullopt;
    return reply;
}

// ---- ports ---------------------------------------------------------------------------------

int Ports(const Options& o, std::ostream& out) {
    std::vector<serial_backend::PortInfo> ports;
    // The system root is changed only by tests, which lay out a fake /sys and /dev.
    const char* root = std::getenv("TESSERA_SYSTEM_ROOT");
    if (!serial_backend::ListPortDetails(ports, root ? root : ""))
        throw CliError(ExitPort, "the list of serial ports cannot be read");
    if (o.json) {
        out << "[";
        for (size_t i = 0; i < ports.size(); ++i) {
            const auto& p = ports[i];
            out << (i ? "," : "") << "{\"name\":" << JsonString(p.name)
                << ",\"path\":" << JsonString(p.path) << ",\"by_id\":" << JsonString(p.stablePath)
                << ",\"description\":" << JsonString(p.description) << "}";
        }
        out << "]\n";
        return ExitSuccess;
    }
    for (const auto& p : ports) {
        out << p.path;
        if (!p.stablePath.empty()) out << "  " << p.stablePath;
        if (!p.description.empty()) out << "  (" << p.description << ")";
        out << "\n";
    }
    return ExitSuccess;
}

// ---- search --------------------------------------------------------------------------------

int SearchCommand(const Options& o, std::ostream& out) {
    auto line = OpenLine(o);
    bool damaged = false;
    const auto found = Search(*line, LineProtocols(*line, ProtocolList(o.protocol)), &damaged);
    if (!found) NoSearchAnswer(damaged);
    if (o.json)
        out << "{\"address\":" << found->address << ",\"protocol\":\""
            << ProtocolName(found->protocol) << "\"}\n";
    else
        out << "address=" << found->address << " protocol=" << ProtocolName(found->protocol)
            << "\n";
    return ExitSuccess;
}

// ---- scan ----------------------------------------------------------------------------------

struct ScanHit {
    int32_t baud;
    Protocol protocol;
    uint16_t address;
    std::string serial;  // "" when the instrument did not give it
};

std::vector<int32_t> ScanBauds(const Options& o) {
    if (!o.bauds) return {o.baud};
    if (*o.bauds == "all") {
        std::vector<int32_t> all;
        for (int code = 1; code <= 8; ++code) all.push_back(protocol::SpeedOfCode(code));
        return all;
    }
    std::vector<int32_t> bauds;
    for (long b : ParseNumberList(*o.bauds, 1, 4000000, "--bauds")) bauds.push_back(int32_t(b));
    return bauds;
}

void PrintScan(const Options& o, const std::vector<ScanHit>& hits,
               const std::vector<linescan::Finding>& collisions, bool complete, std::ostream& out) {
    if (o.json) {
        out << "{\"complete\":" << (complete ? "true" : "false") << ",\"instruments\":[";
        for (size_t i = 0; i < hits.size(); ++i) {
            const ScanHit& h = hits[i];
            out << (i ? "," : "") << "{\"baud\":" << h.baud << ",\"protocol\":\""
                << ProtocolName(h.protocol) << "\",\"address\":" << h.address
                << ",\"serial\":" << (h.serial.empty() ? "null" : JsonString(h.serial)) << "}";
        }
        out << "]";
        // Present only when there is one, so that the usual answer keeps its form.
        if (!collisions.empty()) {
            out << ",\"collisions\":[";
            for (size_t i = 0; i < collisions.size(); ++i) {
                const linescan::Finding& c = collisions[i];
                out << (i ? "," : "") << "{\"baud\":" << c.baud << ",\"protocol\":\""
                    << ProtocolName(c.protocol) << "\",\"address\":" << c.address << "}";
            }
            out << "]";
        }
        out << "}\n";
        return;
    }
    char row[96];
    std::snprintf(row, sizeof row, "%-8s %-9s %-8s %s\n", "BAUD", "PROTOCOL", "ADDRESS", "SERIAL");
    out << row;
    for (const ScanHit& h : hits) {
        std::snprintf(row, sizeof row, "%-8d %-9s %-8u %s\n", int(h.baud), ProtocolName(h.protocol),
                      unsigned(h.address), h.serial.empty() ? "-" : h.serial.c_str());
        out << row;
    }
}

// A collision is no instrument: the list keeps its columns, the warning goes to stderr.
void WarnOfCollisions(const std::vector<linescan::Finding>& collisions) {
    for (const linescan::Finding& c : collisions)
        std::fprintf(stderr,
                     "address %u (%s, %d baud): only damaged answers: two instruments share this "
                     "address; give one of them another address\n",
                     unsigned(c.address), ProtocolName(c.protocol), int(c.baud));
}

linescan::ScanPlan PlanOfScan(const Options& o) {
    linescan::ScanPlan plan;
    for (long a : ParseNumberList(o.addresses, 1, protocol::HighestAddress, "--addresses"))
        plan.addresses.push_back(uint16_t(a));
    plan.bauds = ScanBauds(o);
    plan.protocols = ProtocolList(o.protocol == "auto" ? o.protocols : o.protocol);
    plan.timing.fullWaitMs = o.timeoutMs;
    return plan;
}

int Scan(const Options& o, std::ostream& out) {
    linescan::ScanPlan plan = PlanOfScan(o);
    auto line = OpenLine(o);
    plan.protocols = LineProtocols(*line, plan.protocols);
    linescan::FitToNetwork(plan.timing, int(line->NetworkAllowanceMs()), line->CarriesModbusOnly());
    linescan::LineScan scan(*line, plan);
    scan.stopRequested = [] { return Interrupted(); };
    if (IsTerminal(stderr))
        scan.onProgress = [](const linescan::ScanProgress& p) {
            std::fprintf(stderr, "\r%d baud: address %u (%zu of %zu), %zu found, %.0f s left   ",
                         int(p.baud), unsigned(p.address), p.done + 1, p.total, p.found,
                         p.secondsLeft);
        };
    const bool complete = scan.Run() && !Interrupted();
    if (scan.onProgress) std::fprintf(stderr, "\r%70s\r", "");
    std::vector<ScanHit> hits;
    std::vector<linescan::Finding> collisions;
    for (const linescan::Finding& f : scan.Findings()) {
        if (f.kind == linescan::Finding::Kind::Collision) {
            collisions.push_back(f);
            continue;
        }
        hits.push_back({f.baud, f.protocol, f.address,
                        f.identity ? protocol::SerialNumberText(*f.identity) : std::string()});
    }
    WarnOfCollisions(collisions);
    PrintScan(o, hits, collisions, complete, out);
    if (!complete) return ExitInterrupted;
    return hits.empty() ? ExitNoAnswer : ExitSuccess;
}

// ---- read ----------------------------------------------------------------------------------

struct Channel {
    int parameter;
    protocol::ParameterSetup setup;
};

[[noreturn]] void NoSuchParameter(int p) {
    throw CliError(ExitRefused,
                   "parameter " + std::to_string(p) + ": " + protocol::ExceptionText(2));
}

std::vector<Channel> PrepareChannels(Session& session, const std::vector<long>& parameters) {
    std::vector<Channel> channels;
    for (long p : parameters) {
        Reply reply = session.Ask(protocol::ReadParameter(int(p)));
        if (reply.kind == Reply::Kind::Refused && reply.exceptionCode == 2) NoSuchParameter(int(p));
        if (!reply.Ok()) reply = session.Read(protocol::ReadParameter(int(p)));  // throws
        const auto setup = protocol::DecodeParameter(reply.Bytes(), reply.Length());
        if (!setup) throw CliError(ExitNoAnswer, "the parameter's answer is too short");
        if (!setup->exists) NoSuchParameter(int(p));
        channels.push_back({int(p), *setup});
    }
    return channels;
}

// A file written by the program: every write checked, and the close, since a full disk may
// show only there. Failures throw CliError(ExitUsage) with the system's reason.
class OutputFile {
public:
    explicit OutputFile(const std::string& path) : FPath(path) {
        FFile = std::fopen(path.c_str(), "wb");
        if (!FFile) Fail();
    }
    ~OutputFile() {
        if (FFile) std::fclose(FFile);
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Whole lines reach the file as they are written, so that what is there can be used.
    void Write(const std::string& text) {
        if (std::fwrite(text.data(), 1, text.size(), FFile) != text.size() ||
            std::fflush(FFile) != 0)
            Fail();
    }
    void Close() {
        std::FILE* file = FFile;
        FFile = nullptr;
        if (std::fclose(file) != 0) Fail();
    }

private:
    [[noreturn]] void Fail() const {
        throw CliError(ExitUsage, "cannot write " + FPath + ": " + std::strerror(errno));
    }
    std::string FPath;
    std::FILE* FFile = nullptr;
};

const char* OutputError() {
    return std::strerror(errno ? errno : EIO);
}

// Standard output as far as it has gone: throws when a write did not reach it.
void CheckOutput(std::ostream& out) {
    out.flush();
    if (!out) throw CliError(ExitUsage, std::string("cannot write the output: ") + OutputError());
}

class ReadingSink {
public:
    ReadingSink(const Options& o, std::ostream& out) : FJson(o.json), FOut(out) {
        if (!o.csv) return;
        FCsv = true;
        if (*o.csv != "-") FFile = std::make_unique<OutputFile>(*o.csv);
        Csv("time,parameter,value,unit\n");
    }
    void Add(const std::string& time, int parameter, const std::string& text, double value,
             const std::string& unit) {
        if (FCsv) Csv(time + "," + std::to_string(parameter) + "," + text + "," + unit + "\n");
        if (FCsv && !FFile) return;
        if (FJson) {
            char number[32];
            std::snprintf(number, sizeof number, "%.9g", value);
            FOut << "{\"time\":\"" << time << "\",\"parameter\":" << parameter
                 << ",\"text\":" << JsonString(text)
                 << ",\"value\":" << (std::isfinite(value) ? number : "null")
                 << ",\"unit\":" << JsonString(unit) << "}\n";
        } else {
            FOut << "parameter " << parameter << ": " << text << (unit.empty() ? "" : " ") << unit
                 << "\n";
        }
        CheckOutput(FOut);
    }
    void Close() {
        if (FFile) FFile->Close();
    }

private:
    void Csv(const std::string& line) {
        if (FFile) {
            FFile->Write(line);
            return;
        }
        FOut << line;
        CheckOutput(FOut);
    }

    bool FJson;
    std::ostream& FOut;
    bool FCsv = false;
    std::unique_ptr<OutputFile> FFile;
};

int ReadCommand(const Options& o, std::ostream& out) {
    const std::vector<long> parameters = ParseNumberList(o.params, 1, 3, "--params");
    auto line = OpenLine(o);
    Session session = Connect(o, *line);
    const std::vector<Channel> channels = PrepareChannels(session, parameters);
    ReadingSink sink(o, out);
    int failures = 0;
    for (long round = 0; o.count == 0 || round < o.count; ++round) {
        if (round > 0 && !Pause(o.intervalMs)) break;
        for (const Channel& c : channels) {
            if (Interrupted()) break;
            const Reply reply = session.Ask(protocol::ReadValue(c.parameter));
            if (reply.kind == Reply::Kind::Refused && reply.exceptionCode == 2)
                NoSuchParameter(c.parameter);
            const auto reading =
                reply.Ok() ? protocol::DecodeReading(reply.Bytes(), reply.Length()) : std::nullopt;
            if (!reading) {
                ++failures;
                std::fprintf(stderr, "parameter %d: %s\n", c.parameter,
                             reply.kind == Reply::Kind::Silent ? "no answer" : "no valid answer");
                continue;
            }
            if (!reading->exists) NoSuchParameter(c.parameter);
            sink.Add(TimeStamp(), c.parameter,
                     protocol::ReadingText(reading->value, c.setup.pointCode), reading->value,
                     protocol::UnitName(c.setup.unitCode));
        }
    }
    sink.Close();
    if (Interrupted()) return ExitInterrupted;
    return failures ? ExitNoAnswer : ExitSuccess;
}

// ---- configuration -------------------------------------------------------------------------

std::string Header(Session& session) {
    return "tessera-cli: configuration of the instrument at address " +
           std::to_string(session.Address()) + " (" + ProtocolName(session.Protocol()) + ") on " +
           session.Wire().Port() + " at " + std::to_string(session.Wire().Baud()) + " baud, read " +
           TimeStamp() + "\n\"absent\": the instrument did not give the value.";
}

int GetConfig(const Options& o, std::ostream& out) {
    auto line = OpenLine(o);
    Session session = Connect(o, *line);
    const InstrumentConfig values = ReadConfig(session);
    const std::string text =
        o.json ? ConfigJson(values) + "\n" : FormatConfig(values, Header(session));
    if (!o.output) {
        out << text;
        return ExitSuccess;
    }
    OutputFile file(*o.output);
    file.Write(text);
    file.Close();
    return ExitSuccess;
}

std::vector<std::string> OnlyList(const Options& o) {
    std::vector<std::string> list;
    if (!o.only) return list;
    std::stringstream items(*o.only);
    for (std::string item; std::getline(items, item, ',');) {
        bool matches = false;
        for (const KeyInfo& key : ConfigKeys()) matches = matches || Selected(key.name, {item});
        if (!matches) throw CliError(ExitUsage, "--only: no key is called \"" + item + "\"");
        list.push_back(item);
    }
    return list;
}

std::string KeyList(const std::vector<std::string>& keys) {
    std::string list;
    for (const std::string& k : keys) list += (list.empty() ? "" : ", ") + k;
    return list;
}

// One planned write on the line. Its failure names the keys it carries, never a command.
void RunWrite(Session& session, const PlannedWrite& w) {
    config::WriteRequests write;
    try {
        write = config::RequestsOf(w, session.Protocol(), session.Address());
    } catch (const config::ConfigError& e) {
        throw CliError(ExitCodeOf(e), e.what());
    }
    const std::string keys = KeyList(w.keys);
    for (const protocol::Request& request : write.requests) session.Write(request, keys);
    if (write.newAddress) session.SetAddress(*write.newAddress);
    if (write.newProtocol) session.SetProtocol(*write.newProtocol);
}

std::string Shown(const std::optional<std::string>& value, const std::string& key) {
    if (!value) return "absent";
    return FindKey(key)->kind == ValueKind::Text ? JsonString(*value) : *value;
}

// In JSON a value is its text as a string (never quoted twice), or null when absent.
std::string JsonValue(const std::optional<std::string>& value) {
    return value ? JsonString(*value) : "null";
}

ConfigPlan PlanWrites(const InstrumentConfig& file, const InstrumentConfig& current,
                      const std::vector<std::string>& only) {
    try {
        return ConfigPlan(file, current, only);
    } catch (const config::ConfigError& e) {
        throw CliError(ExitCodeOf(e), e.what());
    }
}

// What a run of set-config did: the writes that went through, the one that failed (with its
// reason), and those never attempted.
struct WriteOutcome {
    std::vector<const PlannedWrite*> written;
    const PlannedWrite* failed = nullptr;
    std::string failure;
    ExitCode failureCode = ExitSuccess;
    std::vector<const PlannedWrite*> notAttempted;
    bool interrupted = false;
};

// Each write in turn, stopping at the first that fails and, on Ctrl+C or SIGTERM, before the
// next (a write of two requests is never cut in two). Every write is shown once it is done.
WriteOutcome RunWrites(Session& session, const ConfigPlan& plan, const InstrumentConfig& file,
                       bool json, std::ostream& out) {
    WriteOutcome outcome;
    const std::vector<PlannedWrite>& writes = plan.Writes();
    size_t next = 0;
    for (; next < writes.size(); ++next) {
        const PlannedWrite& w = writes[next];
        if (Interrupted()) {
            outcome.interrupted = true;
            break;
        }
        try {
            RunWrite(session, w);
        } catch (const CliError& e) {
            outcome.failed = &w;
            outcome.failure = e.what();
            outcome.failureCode = e.Code();
            ++next;
            break;
        }
        outcome.written.push_back(&w);
        if (json) continue;
        for (const std::string& k : w.keys)
            out << "write " << k << ": " << Shown(plan.Current(k), k) << " -> "
                << Shown(file.at(k), k) << "\n";
        out.flush();
    }
    for (; next < writes.size(); ++next) outcome.notAttempted.push_back(&writes[next]);
    outcome.interrupted = outcome.interrupted || (!outcome.failed && Interrupted());
    return outcome;
}

std::string JsonKeys(const std::vector<const PlannedWrite*>& writes) {
    std::string list;
    for (const PlannedWrite* w : writes)
        for (const std::string& k : w->keys) list += (list.empty() ? "" : ",") + JsonString(k);
    return "[" + list + "]";
}

struct SetConfigReport {
    const InstrumentConfig& file;
    const WriteOutcome& outcome;
    std::vector<ReadOnlyDifference> readOnly;
    ConfigPlan::ReadBack check;  // empty when nothing was read back
    InstrumentConfig after;
};

void PrintSetConfigJson(const SetConfigReport& r, std::ostream& out) {
    out << "{\"written\":" << JsonKeys(r.outcome.written) << ",\"differences\":[";
    for (size_t i = 0; i < r.check.differences.size(); ++i) {
        const std::string& k = r.check.differences[i];
        out << (i ? "," : "") << "{\"key\":" << JsonString(k)
            << ",\"file\":" << JsonValue(r.file.at(k))
            << ",\"instrument\":" << JsonValue(r.after.count(k) ? r.after.at(k) : std::nullopt)
            << "}";
    }
    out << "],\"unverifiable\":[";
    for (size_t i = 0; i < r.check.unverifiable.size(); ++i)
        out << (i ? "," : "") << JsonString(r.check.unverifiable[i]);
    out << "],\"read_only\":[";
    for (size_t i = 0; i < r.readOnly.size(); ++i)
        out << (i ? "," : "") << "{\"key\":" << JsonString(r.readOnly[i].key)
            << ",\"file\":" << JsonString(r.readOnly[i].file)
            << ",\"instrument\":" << JsonString(r.readOnly[i].instrument) << "}";
    out << "],\"failed\":";
    if (r.outcome.failed) {
        std::string keys;
        for (const std::string& k : r.outcome.failed->keys)
            keys += (keys.empty() ? "" : ",") + JsonString(k);
        out << "{\"keys\":[" << keys << "],\"error\":" << JsonString(r.outcome.failure) << "}";
    } else {
        out << "null";
    }
    out << ",\"not_attempted\":" << JsonKeys(r.outcome.notAttempted)
        << ",\"interrupted\":" << (r.outcome.interrupted ? "true" : "false") << "}\n";
}

void PrintSetConfigText(const SetConfigReport& r, std::ostream& out) {
    if (r.outcome.failed)
        for (const std::string& k : r.outcome.failed->keys)
            out << "failed " << k << ": " << r.outcome.failure << "\n";
    for (const PlannedWrite* w : r.outcome.notAttempted)
        for (const std::string& k : w->keys) out << "not attempted " << k << "\n";
    for (const ReadOnlyDifference& d : r.readOnly)
        out << "cannot write " << d.key << " (read-only): file " << d.file << ", instrument "
            << d.instrument << "\n";
    for (const std::string& k : r.check.unverifiable) out << "cannot read back " << k << "\n";
    for (const std::string& k : r.check.differences)
        out << "differs " << k << ": file " << Shown(r.file.at(k), k) << ", instrument "
            << Shown(r.after.count(k) ? r.after.at(k) : std::nullopt, k) << "\n";
    const bool whole = !r.outcome.failed && !r.outcome.interrupted;
    if (whole && r.check.differences.empty() && r.readOnly.empty())
        out << "read back: as in the file\n";
}

void PrintPlan(const ConfigPlan& plan, const InstrumentConfig& file,
               const std::vector<ReadOnlyDifference>& readOnly, bool json, std::ostream& out) {
    if (!json) {
        for (const PlannedWrite& w : plan.Writes())
            for (const std::string& k : w.keys)
                out << "would write " << k << ": " << Shown(plan.Current(k), k) << " -> "
                    << Shown(file.at(k), k) << "\n";
        for (const ReadOnlyDifference& d : readOnly)
            out << "cannot write " << d.key << " (read-only): file " << d.file << ", instrument "
                << d.instrument << "\n";
        return;
    }
    std::vector<const PlannedWrite*> all;
    for (const PlannedWrite& w : plan.Writes()) all.push_back(&w);
    out << "{\"plan\":" << JsonKeys(all) << ",\"read_only\":[";
    for (size_t i = 0; i < readOnly.size(); ++i)
        out << (i ? "," : "") << JsonString(readOnly[i].key);
    out << "]}\n";
}

// Before an instrument is given a new address, the address is asked: an instrument that
// answers there (even with damaged bytes) would share it, and the two could no longer be told
// apart on the line. Nothing has been written when this refuses.
void RefuseTakenAddress(Session& session, uint16_t target) {
    const uint16_t own = session.Address();
    if (target == own) return;
    session.SetAddress(target);
    const Reply reply = session.Ask(protocol::Read(GetAdr));
    session.SetAddress(own);
    if (reply.kind != Reply::Kind::Silent)
        throw CliError(ExitUsage, "address " + std::to_string(target) +
                                      " is taken: an instrument answers there; nothing written");
}

// A configuration copied from one instrument to another must not give the second the
// first's address (two instruments at one address, one of them unreachable) or switch its
// protocol: those keys are written only when asked for.
constexpr const char* LineIdentityKeys[] = {"address", "protocol"};

void LeaveLineIdentity(InstrumentConfig& file, const InstrumentConfig& current, bool json,
                       std::ostream& out) {
    for (const char* key : LineIdentityKeys) {
        const auto given = file.find(key);
        if (given == file.end()) continue;
        const auto held = current.find(key);
        if (!json && given->second && (held == current.end() || held->second != given->second))
            out << key << ": " << *given->second
                << " in the file, not written (--with-address writes it)\n";
        file.erase(given);
    }
}

int SetConfig(const Options& o, std::ostream& out) {
    if (o.arguments.size() != 1) throw CliError(ExitUsage, "set-config needs one FILE");
    InstrumentConfig file;
    try {
        file = ParseConfig(ReadConfigFile(o.arguments[0]));
    } catch (const config::ConfigError& e) {
        const std::string what = e.what();
        throw CliError(ExitUsage,
                       what.rfind("cannot read ", 0) == 0 ? what : o.arguments[0] + ": " + what);
    }
    const std::vector<std::string> only = OnlyList(o);

    auto line = OpenLine(o);
    Session session = Connect(o, *line);
    const InstrumentConfig current = ReadConfig(session);
    if (!o.withAddress) LeaveLineIdentity(file, current, o.json, out);
    const ConfigPlan plan = PlanWrites(file, current, only);
    const std::vector<ReadOnlyDifference> readOnly = ReadOnlyDifferences(file, current, only);
    if (o.dryRun) {
        PrintPlan(plan, file, readOnly, o.json, out);
        return ExitSuccess;
    }
    if (plan.Differs("address"))
        RefuseTakenAddress(session, uint16_t(IntegerValue(*file.at("address"))));

    const WriteOutcome outcome = RunWrites(session, plan, file, o.json, out);
    SetConfigReport report{file, outcome, readOnly, {}, {}};
    // Read everything back and compare what was asked for, unless the run was cut short.
    if (!outcome.failed && !outcome.interrupted) {
        report.after = ReadConfig(session);
        report.check = plan.Compare(report.after);
    }
    if (o.json)
        PrintSetConfigJson(report, out);
    else
        PrintSetConfigText(report, out);
    if (outcome.failed) {
        out.flush();
        throw CliError(outcome.failureCode, outcome.failure);
    }
    if (outcome.interrupted) return ExitInterrupted;
    return report.check.differences.empty() && readOnly.empty() ? ExitSuccess : ExitNoAnswer;
}

// ---- address and protocol ------------------------------------------------------------------

int SetAddress(const Options& o, std::ostream& out) {
    if (o.arguments.size() != 1) throw CliError(ExitUsage, "set-address needs the new address");
    const long target = ParseNumberList(o.arguments[0], 1, protocol::HighestAddress, "address")[0];
    auto line = OpenLine(o);
    Session session = Connect(o, *line);
    if (session.Protocol() == Protocol::Modbus && target > protocol::HighestModbusAddress)
        throw CliError(ExitUsage, "Modbus RTU addresses end at " +
                                      std::to_string(protocol::HighestModbusAddress));
    const uint16_t before = session.Address();
    RefuseTakenAddress(session, uint16_t(target));
    // Ctrl+C or SIGTERM while the instrument was being found: nothing is written.
    if (Interrupted()) {
        if (o.json)
            out << "{\"address\":" << before << ",\"was\":" << before << "}\n";
        else
            out << "address " << before << " (not changed)\n";
        return ExitInterrupted;
    }
    session.Write(protocol::WriteAddress(uint16_t(target)), "address");
    session.SetAddress(uint16_t(target));
    // Once written the change is reported even when a signal came meanwhile; only the check
    // at the new address is left out then.
    const bool check = !Interrupted();
    if (check) session.Read(protocol::Read(GetAdr), "address");  // answered at the new address
    if (o.json)
        out << "{\"address\":" << target << ",\"was\":" << before << "}\n";
    else
        out << "address " << before << " -> " << target << "\n";
    return check ? ExitSuccess : ExitInterrupted;
}

int SwitchProtocolCommand(const Options& o, std::ostream& out) {
    if (o.arguments.size() != 1 || (o.arguments[0] != "qv" && o.arguments[0] != "modbus"))
        throw CliError(ExitUsage, "switch-protocol needs qv or modbus");
    const Protocol target = o.arguments[0] == "qv" ? Protocol::Qv : Protocol::Modbus;
    auto line = OpenLine(o);
    // After the switch the gateway could not reach the instrument any more.
    if (target == Protocol::Qv) LineProtocols(*line, {Protocol::Qv});
    Session session = Connect(o, *line);
    const Protocol before = session.Protocol();
    if (before != target) {
        if (!protocol::SwitchAddressValid(session.Address(), before))
            throw CliError(ExitUsage, "the instrument's address " +
                                          std::to_string(session.Address()) +
                                          " cannot be used in Modbus RTU (1.." +
                                          std::to_string(protocol::HighestModbusAddress) + ")");
        session.Write(protocol::SwitchProtocol(session.Address(), before));
        if (!Probe(*line, session.Address(), target))
            throw CliError(ExitNoAnswer, std::string("the instrument does not answer in ") +
                                             ProtocolName(target) + " after the switch");
    }
    if (o.json)
        out << "{\"address\":" << session.Address() << ",\"protocol\":\"" << ProtocolName(target)
            << "\",\"was\":\"" << ProtocolName(before) << "\"}\n";
    else
        out << "protocol " << ProtocolName(before) << " -> " << ProtocolName(target) << "\n";
    return ExitSuccess;
}

}  // namespace

InstrumentConfig ReadConfig(Session& session) {
    const config::AskInstrument ask =
        [&session](const protocol::Request& request) -> std::optional<protocol::Answer> {
        // A silent, damaged or refused address ends the command with its reason.
        if (request.command == GetAdr) return session.Read(request).answer;
        if (const auto reply = Usable(session, request)) return reply->answer;
        return std::nullopt;
    };
    return *config::ReadInstrumentConfig(session.Protocol(), ask);
}

int RunCommand(const Options& o, std::ostream& out) {
    if (o.command == "ports") return Ports(o, out);
    if (o.command == "search") return SearchCommand(o, out);
    if (o.command == "scan") return Scan(o, out);
    if (o.command == "read") return ReadCommand(o, out);
    if (o.command == "get-config") return GetConfig(o, out);
    if (o.command == "set-config") return SetConfig(o, out);
    if (o.command == "set-address") return SetAddress(o, out);
    if (o.command == "switch-protocol") return SwitchProtocolCommand(o, out);
    if (o.command == "regs") return RegsCommand(o, out);
    if (o.command == "raw") return RawCommand(o, out);
    throw CliError(ExitUsage, "unknown command \"" + o.command + "\"");
}

}  // namespace cli
