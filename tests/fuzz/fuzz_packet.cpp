// Packet assembly of the serial port: settings from the input, then the rest of the input
// added in chunks as the event thread would hand over received bytes.
//
// Input: flags, packet size, maximum buffer size, start and stop string lengths and their
// text, then chunks (a length byte, then that many bytes), one character per byte.
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "serial/SerialPort.h"

namespace {

struct Reader {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    uint8_t Byte() { return at < size ? data[at++] : 0; }
    QString Text(size_t n) {
        QString s;
        for (; n > 0 && at < size; --n) s += QChar(char16_t(data[at++]));  // Latin-1, as ReadStr
        return s;
    }
    bool Done() const { return at >= size; }
};

[[noreturn]] void Fail(const char* what, const QString& packet) {
    std::fprintf(stderr, "%s: \"%s\"\n", what, packet.toLatin1().constData());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader in{data, size};
    TSerialPort port;  // stays closed: DoPacket only calls the handler
    TSerialPacket& packet = port.DataPacket();
    const uint8_t flags = in.Byte();
    packet.SetMaxBufferSize(in.Byte() * 4 + 1);
    packet.SetPacketSize(in.Byte());
    const size_t startLength = in.Byte() % 5;
    const size_t stopLength = in.Byte() % 5;
    packet.SetStartString(in.Text(startLength));
    packet.SetStopString(in.Text(stopLength));
    packet.SetIncludeStrings(flags & 1);
    packet.SetEnabled(!(flags & 2));

    const QString start = packet.StartString();
    const QString stop = packet.StopString();
    const int fixed = packet.PacketSize();
    const bool include = packet.IncludeStrings();
    port.OnPacket = [&](TSerialPort*, const QString& p) {
        if (!packet.PacketDefined()) Fail("packet without size or stop string", p);
        if (!include) return;
        if (fixed > 0 && p.size() != fixed) Fail("packet of the wrong size", p);
        if (!start.isEmpty() && !p.startsWith(start)) Fail("packet without its start string", p);
        if (!stop.isEmpty() && !p.endsWith(stop)) Fail("packet without its stop string", p);
    };
    while (!in.Done()) {
        const size_t chunk = in.Byte() % 64 + 1;
        packet.AddData(in.Text(chunk));
        // Whatever arrived, the collected text stays below the maximum buffer size.
        if (packet.Buffer().size() >= packet.MaxBufferSize())
            Fail("buffer over its maximum", packet.Buffer());
    }
    return 0;
}
