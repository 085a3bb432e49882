#pragma once
// The line of the virtual instruments: a pseudo-terminal whose slave side the program opens
// like a serial port, and whose master side the instruments read and write.
//
// The pty is set raw (no echo) as soon as it is made, and the line keeps a slave descriptor
// open for its whole life, so the port side may close and reopen the path freely and the
// master never reads EIO meanwhile.
//
// Threads: every member function may be called from any thread. Open and Close are called by
// the owner while no reader thread runs; the reader polls Master() and WakeSignal().
#include <mutex>
#include <string>

#include "sim/Bytes.h"

namespace sim {

class PtyLine {
public:
    PtyLine() = default;
    ~PtyLine() { Close(); }
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    // Makes the pty and the wake-up pipe; throws std::runtime_error when it cannot.
    void Open();
    void Close();  // safe to call more than once
    bool IsOpen() const;
    // Path of the slave side ("/dev/pts/5"); empty while closed.
    std::string Path() const;

    // Master side, non-blocking; -1 while closed.
    int Master() const;
    // Readable when Wake() was called: a reader blocked in poll() looks up.
    int WakeSignal() const;
    void Wake();

    // Writes all bytes towards the port side; false when the port side stops reading for too
    // long or the line closed.
    bool WriteAll(const Bytes& bytes);
    // The speed the port side set, bits per second; 0 when unknown or closed.
    uint32_t PortSpeed() const;

private:
    mutable std::mutex FMutex;  // descriptors, path, writes to the master
    int FMaster = -1;
    int FSlave = -1;
    int FWakeRead = -1;
    int FWakeWrite = -1;
    std::string FPath;
};

}  // namespace sim
