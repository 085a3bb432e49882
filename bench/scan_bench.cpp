// The scan of a line (addresses 1-247, QV and Modbus RTU, one speed) on the virtual bus, timed
// against the line's floor: what the same requests and answers take on the wire at that
// speed, with the short wait at every silent address and each slow instrument's delay, as an
// ideal scan that never has to ask twice would spend. The second figure compares with the
// full wait at every address, what a scan without the short wait spends.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Line.h"
#include "linescan/LineScan.h"
#include "protocol/Requests.h"
#include "sim/BusList.h"
#include "sim/VirtualBus.h"

namespace {

using protocol::Protocol;

double Seconds(std::chrono::microseconds t) {
    return std::chrono::duration<double>(t).count();
}

const sim::Config* InstrumentAt(const std::vector<sim::Config>& bus, uint16_t address,
                                Protocol protocol) {
    const sim::Protocol wanted =
        protocol == Protocol::Modbus ? sim::Protocol::Modbus : sim::Protocol::Qv;
    for (const sim::Config& c : bus)
        if (c.address == address && c.protocol == wanted) return &c;
    return nullptr;
}

// An exchange on the wire: the request, the delay, the answer.
std::chrono::microseconds Exchange(const protocol::Request& request, uint16_t address,
                                   Protocol protocol, int32_t baud, int delayMs) {
    const protocol::RequestFrame frame = protocol::BuildRequest(request, address, protocol);
    return linescan::WireTime(frame.bytes.size() + frame.lengthIn, baud) +
           std::chrono::milliseconds(delayMs);
}

// The line's time for the plan; each silent address costs the short wait, or with
// `fullWaits` the request and the full wait.
std::chrono::microseconds Floor(const linescan::ScanPlan& plan, const std::vector<sim::Config>& bus,
                                int32_t baud, bool fullWaits = false) {
    std::chrono::microseconds floor{0};
    std::vector<uint16_t> found;
    for (Protocol p : plan.protocols)
        for (uint16_t a : plan.addresses) {
            if (p == Protocol::Modbus && a > protocol::HighestModbusAddress) continue;
            if (std::find(found.begin(), found.end(), a) != found.end()) continue;
            if (const sim::Config* c = InstrumentAt(bus, a, p)) {
                floor += Exchange(protocol::Read(GetAdr), a, p, baud, c->answerDelayMs);
                floor += Exchange(protocol::Read(GetYear), a, p, baud, c->answerDelayMs);
                found.push_back(a);
                continue;
            }
            const protocol::RequestFrame frame =
                protocol::BuildRequest(protocol::Read(GetAdr), a, p);
            floor += fullWaits ? linescan::WireTime(frame.bytes.size(), baud) +
                                     std::chrono::milliseconds(plan.timing.fullWaitMs)
                               : linescan::ShortWait(plan.timing, frame.bytes.size(),
                                                     frame.lengthIn, baud);
        }
    return floor;
}

void Figure(const std::string& what, double program, double reference) {
    std::printf("%s: program %.1f s, reference %.1f s, ratio %.2f\n", what.c_str(), program,
                reference, program / reference);
    std::fflush(stdout);
}

void Run(int32_t baud, bool slow) {
    const std::string at = "@" + std::to_string(baud);
    std::string entries =
        "modbus:7" + at + ",qv:12" + at + ",modbus:100" + at + ",qv:200" + at + ",modbus:247" + at;
    if (slow) entries += ",modbus:150" + at + "+300ms";
    std::vector<sim::Config> configs;
    std::string error;
    if (!sim::ParseBus(entries, configs, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return;
    }
    sim::VirtualBus bus(configs);
    bus.Start();
    cli::Line line(bus.DevicePath(), baud, 370, false);
    linescan::ScanPlan plan;
    for (int a = 1; a <= 247; ++a) plan.addresses.push_back(uint16_t(a));
    plan.bauds = {baud};
    plan.protocols = {Protocol::Qv, Protocol::Modbus};
    linescan::LineScan scan(line, plan);
    const auto started = std::chrono::steady_clock::now();
    scan.Run();
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    size_t rightlyFound = 0;
    for (const linescan::Finding& f : scan.Findings())
        rightlyFound += f.kind == linescan::Finding::Kind::Instrument &&
                        InstrumentAt(configs, f.address, f.protocol) != nullptr;
    const std::string what = "scan 1-247 qv+modbus at " + std::to_string(baud) + " bit/s, " +
                             std::to_string(configs.size()) + " instruments" +
                             (slow ? " (one answering 300 ms late)" : " (prompt)");
    std::printf("%s: %zu of %zu found at their addresses, %zu findings, asked again %zu times\n",
                what.c_str(), rightlyFound, configs.size(), scan.Findings().size(),
                scan.Rechecks());
    Figure(what + ", against the line's floor", took, Seconds(Floor(plan, configs, baud)));
    Figure(what + ", against the full wait at every silent address", took,
           Seconds(Floor(plan, configs, baud, true)));
}

}  // namespace

int main() {
    for (int32_t baud : {9600, 115200})
        for (bool slow : {false, true}) Run(baud, slow);
    return 0;
}
