#pragma once
// TSerialPort: a reusable serial port component. Owns one device, applies line settings,
// queue sizes and timeouts, offers blocking Read/Write, queue inspection and purging, the
// modem lines, and the list of ports present. While open, a TSerialThread waits for line
// events and delivers them to the owner through the On... handlers.
//
// Lives on the main thread (Open, Close, setters). Read, Write, InBufCount, OutBufCount and
// ClearBuffer may be called from any thread. The OS calls sit behind SerialBackend.h.
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

enum TBaudRate : uint8_t {
    brCustom,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br230400,
    br256000,
    br460800,
    br500000,
    br576000,
    br921600,
    br1000000,
    br1152000,
    br1500000,
    br2000000,
    br2500000,
    br3000000,
    br3500000,
    br4000000
};
enum TByteSize : uint8_t { bs5, bs6, bs7, bs8 };
enum TParity : uint8_t { paNone, paOdd, paEven, paMark, paSpace };
enum TStopBits : uint8_t { sb1, sb1_5, sb2 };
enum TSyncMethod : uint8_t { smThreadSync, smWindowSync, smNone };
enum TThreadPriority : uint8_t {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical
};

enum TSerialEvent : uint8_t {
    evRxChar,
    evTxEmpty,
    evRing,
    evBreak,
    evCTS,
    evDSR,
    evError,
    evRLSD,
    evRx80Full
};
using TSerialEvents = uint16_t;  // bit n = TSerialEvent of ordinal n
enum TSerialError : uint8_t {
    ceBreak,
    ceFrame,
    ceIO,
    ceMode,
    ceOverrun,
    ceRxOver,
    ceRxParity,
    ceTxFull
};
using TSerialErrors = uint8_t;  // bit n = TSerialError of ordinal n
enum TSerialSignal : uint8_t { csCTS, csDSR, csRing, csRLSD };
using TSerialSignals = uint8_t;  // bit n = TSerialSignal of ordinal n

constexpr uint16_t BitOf(unsigned ordinal) {
    return uint16_t(1u << ordinal);
}

// Speeds in bits per second by TBaudRate ordinal; entry 0 (brCustom) is unused.
extern const int32_t BaudRateTable[29];

// Messages of ESerialPort, by index. 0..13 are the component's classic texts; 14 is the
// Linux-only "no permission" case, which must never be reported as busy or missing; 15 a path
// that is no serial port; 16..20 a network port's name and connection failures (bad name,
// unknown host, refused, unreachable, timed out). The texts
// are Russian (UTF-8); an ESerialPort carries the installed translation of its text, if any.
constexpr int SerialPortMessageCount = 21;
extern const char* const SerialPortMessages[SerialPortMessageCount];

class ESerialPort : public std::exception {
public:
    // Raised right after a failed system call, so the system still holds its reason (errno,
    // GetLastError() on Windows); it is kept beside the message (none for "not open" and
    // "property while open", which come from no system call).
    explicit ESerialPort(int messageIndex);
    explicit ESerialPort(const QString& message);
    const QString& Message() const { return FMessage; }
    const char* what() const noexcept override { return FUtf8.constData(); }
    // The system's code at the failure (errno, GetLastError() on Windows), 0 if unknown; its
    // text is serial_backend::ErrorText(code).
    int SystemError() const { return FSystemError; }
    // The message with the system's reason after it ("Ошибка функции SetCommState:
    // Input/output error"), the message alone when there is none: what the operator is shown.
    QString Text() const;

private:
    friend class TSerialPort;
    ESerialPort(int messageIndex, int systemError);
    int FSystemError = 0;
    QString FMessage;
    QByteArray FUtf8;
};

class TSerialPort;

// Five timeout values in milliseconds; negative means "maximum" (0xFFFFFFFF) on the device.
class TSerialTimeouts {
public:
    explicit TSerialTimeouts(TSerialPort* port = nullptr) : FSerialPort(port) {}
    void Assign(const TSerialTimeouts& source);  // copies the five values, does not apply them

    int32_t ReadInterval() const { return FReadInterval; }
    int32_t ReadTotalMultiplier() const { return FReadTotalM; }
    int32_t ReadTotalConstant() const { return FReadTotalC; }
    int32_t WriteTotalMultiplier() const { return FWriteTotalM; }
    int32_t WriteTotalConstant() const { return FWriteTotalC; }
    void SetReadInterval(int32_t v);
    void SetReadTotalMultiplier(int32_t v);
    void SetReadTotalConstant(int32_t v);
    void SetWriteTotalMultiplier(int32_t v);
    void SetWriteTotalConstant(int32_t v);

private:
    friend class TSerialPort;
    void Changed();
    TSerialPort* FSerialPort;
    int32_t FReadInterval = -1;
    int32_t FReadTotalM = 0;
    int32_t FReadTotalC = 0;
    int32_t FWriteTotalM = 100;
    int32_t FWriteTotalC = 1000;
};

// Collects received text and cuts it into packets by size and/or start and stop strings.
// Text holds one character per received byte (Latin-1), as ReadStr returns it.
class TSerialPacket {
public:
    explicit TSerialPacket(TSerialPort* port = nullptr);
    void Assign(const TSerialPacket& source);  // copies the six settings, keeps the buffer
    void AddData(const QString& value);

    bool Enabled() const { return FEnabled; }
    bool IncludeStrings() const { return FIncludeStrings; }
    int32_t MaxBufferSize() const { return FMaxBufferSize; }
    int32_t PacketSize() const { return FSize; }
    const QString& StartString() const { return FStartString; }
    const QString& StopString() const { return FStopString; }
    bool PacketDefined() const { return FSize > 0 || !FStopString.isEmpty(); }
    const QString& Buffer() const { return FBuffer; }
    void SetEnabled(bool v) { FEnabled = v; }
    void SetIncludeStrings(bool v) { FIncludeStrings = v; }
    void SetMaxBufferSize(int32_t v);
    void SetPacketSize(int32_t v);
    void SetStartString(const QString& v);
    void SetStopString(const QString& v);

private:
    friend class TSerialPort;
    void ResetBuffer();
    void ScanBuffer();
    bool ScanOnce();
    void SeekStart();
    int SeekEnd();
    QString FBuffer;
    TSerialPort* FSerialPort;
    bool FEnabled = false;
    bool FIncludeStrings = true;
    bool FInPacket = false;
    int32_t FMaxBufferSize = 1024;
    int32_t FSize = 0;
    QString FStartString;
    QString FStopString;
};

// Where an exception raised by an event handler during smWindowSync delivery is reported.
// A port given none writes it to the warning log, as LogHandlerFailure does.
class TExceptionReport {
public:
    virtual ~TExceptionReport() = default;
    virtual void HandlerFailed(const QString& message) = 0;
    static void LogHandlerFailure(const QString& message);
};

class TSerialThread;
class TSerialPortWindow;
namespace serial_backend {
class Device;
struct TransportNote;
enum class OpenStatus;
}  // namespace serial_backend

class TSerialPort : public QObject {
    Q_OBJECT
public:
    using TNotifyEvent = std::function<void(TSerialPort* sender)>;
    using TRxCharEvent = std::function<void(TSerialPort* sender, int32_t count)>;
    using TSerialSignalEvent = std::function<void(TSerialPort* sender, bool state)>;
    using TSerialErrorEvent = std::function<void(TSerialPort* sender, TSerialErrors errors)>;
    using TSerialPackEvent = std::function<void(TSerialPort* sender, const QString& str)>;

    explicit TSerialPort(QObject* owner = nullptr);
    ~TSerialPort() override;

    void Open();
    void Close();
    bool Connected() const { return FConnected.load(); }
    // Opens the port without blocking the caller on a network connection: a network port is
    // connected (its name resolved too, within ConnectTimeoutMs) on a thread of its own, and
    // `done` runs on this object's thread when the attempt has ended, with nullptr when the
    // port is open or the failure Open would have raised. A serial device opens at once, as
    // Open does, and `done` runs before this returns. Close, a later OpenInBackground or the
    // port's end abandons an attempt under way: its connection is closed, `done` never runs.
    using TOpenDone = std::function<void(const ESerialPort* failure)>;
    void OpenInBackground(TOpenDone done);
    bool Connecting() const { return FPendingOpen != nullptr; }

    static void EnumSerialPorts(QStringList& ports);
    void ClearBuffer(bool input, bool output);
    int32_t InBufCount();
    int32_t OutBufCount();
    int32_t Read(void* buffer, int32_t count);
    int32_t ReadStr(QString& str, int32_t count);
    int32_t Write(const void* buffer, int32_t count);
    int32_t WriteStr(const QString& str);
    void SetBreak(bool state);
    void SetDTR(bool state);
    void SetRTS(bool state);
    TSerialSignals Signals();

    // Properties (read, then write).
    // The line's speed in bits per second, as BaudRate (or CustomBaudRate) sets it.
    int32_t BitsPerSecond() const;
    // When bytes last arrived on the line, as the event thread saw them come or a Read took
    // them; the clock's epoch while none have. Any thread.
    std::chrono::steady_clock::time_point LastReceivedAt() const;
    TBaudRate BaudRate() const { return FBaudRate; }
    void SetBaudRate(TBaudRate v);
    TByteSize ByteSize() const { return FByteSize; }
    void SetByteSize(TByteSize v);
    int32_t CustomBaudRate() const { return FCustomBaudRate; }
    void SetCustomBaudRate(int32_t v);
    TSerialPacket& DataPacket() { return *FDataPacket; }
    void SetDataPacket(const TSerialPacket& v);
    int32_t InBufSize() const { return FInBufSize; }
    void SetInBufSize(int32_t v);
    int32_t OutBufSize() const { return FOutBufSize; }
    void SetOutBufSize(int32_t v);
    TParity Parity() const { return FParity; }
    void SetParity(TParity v);
    const QString& Port() const { return FPort; }
    void SetPort(const QString& v);
    TStopBits StopBits() const { return FStopBits; }
    void SetStopBits(TStopBits v);
    TSyncMethod SyncMethod() const { return FSyncMethod; }
    void SetSyncMethod(TSyncMethod v);
    TThreadPriority ThreadPriority() const { return FCTPriority; }
    void SetThreadPriority(TThreadPriority v);
    TSerialTimeouts& Timeouts() { return *FTimeouts; }
    void SetTimeouts(const TSerialTimeouts& v);

    // ---- a network port (Port "tcp://HOST:PORT" or "modbus-tcp://HOST:PORT") ----------------
    // True when Port names a network port; IsModbusTcp: a Modbus TCP gateway, which carries
    // Modbus frames only.
    bool IsNetworkPort() const;
    bool IsModbusTcp() const;
    // Extra time an answer may take through the network, for the exchange to add to its answer
    // wait: 0 for a serial port, else the setting (DefaultNetworkAllowanceMs, 200 ms, unless
    // set). Any thread.
    uint32_t NetworkAllowanceMs() const;
    void SetNetworkAllowanceMs(uint32_t ms);
    // False for a Modbus TCP gateway, whose frames arrive whole: the exchange may then leave
    // out the silence between Modbus RTU frames.
    bool NeedsFrameSilence() const;
    // Bound for connecting to a network port in Open (default 3000 ms).
    int ConnectTimeoutMs() const { return FConnectTimeoutMs; }
    void SetConnectTimeoutMs(int ms);
    // What the Modbus TCP framing dropped since the last call (wrong transaction id, wrong
    // length, garbage), for the frame monitor.
    std::vector<serial_backend::TransportNote> TakeTransportNotes();
    // A Modbus TCP port: the transaction id of the request last sent, for the frame monitor;
    // -1 otherwise.
    int32_t LastTransactionId();

    // Device path that Port names on this system ("/dev/" + Port, "COMn" -> /dev/ttyS(n-1),
    // a name beginning with "/" and a network port's name as they are).
    static QString DevicePath(const QString& port);

    // Event handlers; an unassigned handler is skipped.
    TNotifyEvent OnBreak;
    TSerialSignalEvent OnCTSChange;
    TSerialSignalEvent OnDSRChange;
    TSerialErrorEvent OnError;
    TSerialPackEvent OnPacket;
    TNotifyEvent OnRing;
    TSerialSignalEvent OnRLSDChange;
    TNotifyEvent OnRx80Full;
    TRxCharEvent OnRxChar;
    TNotifyEvent OnTxEmpty;

    // Used by the event thread (internal).
    bool CheckOpen();
    void PurgeAll();
    void ApplyTimeouts();
    void NoteReceived();  // bytes arrived: LastReceivedAt is now
    void DoRxChar();
    void DoTxEmpty();
    void DoRing();
    void DoBreak();
    void DoCTSChange();
    void DoDSRChange();
    void DoError();
    void DoRLSDChange();
    void DoRx80Full();
    void DoPacket(const QString& str);
    TSerialEvents Events() const { return FEvents; }
    void DispatchEvent(uint32_t eventFlag);     // the Do... operation for one EV_* flag
    void PostEventMessage(uint32_t eventFlag);  // smWindowSync: queue it for the main thread
    void PortWindowProc(uint32_t eventFlag);    // smWindowSync: runs on the main thread
    const TSerialThread* EventThread() const { return FEventThread.get(); }

    // Receives the message of an exception raised during smWindowSync delivery (the
    // application's exception handler); none: it is written to the warning log.
    void SetExceptionReport(TExceptionReport* report) { FExceptionReport = report; }

private:
    friend class TSerialThread;
    void HandlerFailed(const QString& message);
    TExceptionReport* FExceptionReport = nullptr;
    struct PendingOpen;
    void OpenDevice();
    void AdoptOpenResult(serial_backend::OpenStatus status, int systemError);
    void StartAfterOpen();
    void FinishBackgroundOpen(const std::shared_ptr<PendingOpen>& pending,
                              std::unique_ptr<serial_backend::Device> device,
                              serial_backend::OpenStatus status, int systemError,
                              const TOpenDone& done);
    void AbandonBackgroundOpen();
    void StartEventDelivery();
    void ApplyLineSettings();
    void ApplyBufferSizes();
    void ReleaseHandle();
    void DestroyWindow();
    serial_backend::Device& DeviceOrRaise(int messageIndex);
    bool LineSignal(TSerialSignal signal);

    TBaudRate FBaudRate = br9600;
    TByteSize FByteSize = bs8;
    std::atomic<bool> FConnected{false};
    TThreadPriority FCTPriority = tpNormal;
    int32_t FCustomBaudRate = 9600;
    std::atomic<int64_t> FLastReceived{0};  // steady clock ticks
    std::unique_ptr<TSerialPacket> FDataPacket;
    TSerialEvents FEvents = 0x01FF;
    std::unique_ptr<TSerialThread> FEventThread;
    std::unique_ptr<serial_backend::Device> FHandle;
    int FOpenError = 0;  // the system's code of an open that failed for no reason of its own
    int32_t FInBufSize = 2048;
    int32_t FOutBufSize = 2048;
    TParity FParity = paNone;
    QString FPort = QStringLiteral("COM1");
    TStopBits FStopBits = sb1;
    TSyncMethod FSyncMethod = smThreadSync;
    std::unique_ptr<TSerialTimeouts> FTimeouts;
    TSerialPortWindow* FWindow = nullptr;  // the hidden window of smWindowSync, while open
    std::atomic<uint32_t> FNetworkAllowanceMs{200};
    int FConnectTimeoutMs = 3000;
    std::shared_ptr<PendingOpen> FPendingOpen;  // a connection being made in the background
};
