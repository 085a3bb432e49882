#include "serial/SerialPort.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <mutex>
#include <thread>
#include <vector>

#include "serial/SerialBackend.h"
#include "serial/SerialPortWindow.h"
#include "serial/SerialThread.h"

using namespace serial_backend;

Q_LOGGING_CATEGORY(lcSerialPort, "tessera.serial", QtWarningMsg)

const int32_t BaudRateTable[29] = {
    0,      110,     300,     600,     1200,    2400,    4800,    9600,    14400,   19200,
    38400,  56000,   57600,   115200,  128000,  230400,  256000,  460800,  500000,  576000,
    921600, 1000000, 1152000, 1500000, 2000000, 2500000, 3000000, 3500000, 4000000,
};

const char* const SerialPortMessages[SerialPortMessageCount] = {
    QT_TRANSLATE_NOOP("ESerialPort", "Попытка открыть несуществующий COM-порт"),
    QT_TRANSLATE_NOOP("ESerialPort", "Порт занят другой программой"),
    QT_TRANSLATE_NOOP("ESerialPort", "Порт не открыт"),
    QT_TRANSLATE_NOOP("ESerialPort", "Ошибка записи в порт"),
    QT_TRANSLATE_NOOP("ESerialPort", "Ошибка чтения из порта"),
    QT_TRANSLATE_NOOP("ESerialPort", "Ошибка функции PurgeComm"),
    QT_TRANSLATE_NOOP("ESerialPort", "Ошибка функции SetCommState"),
    QT_TRANSLATE_NOOP("ESerialPort", "Ошибка функции SetCommTimeouts"),
    QT_TRANSLATE_NOOP("ESerialPort", "Ошибка функции SetupComm"),
    QT_TRANSLATE_NOOP("ESerialPort", "Ошибка функции ClearCommError"),
    QT_TRANSLATE_NOOP("ESerialPort", "Ошибка функции GetCommModemStatus"),
    QT_TRANSLATE_NOOP("ESerialPort", "Ошибка функции EscapeCommFunction"),
    QT_TRANSLATE_NOOP("ESerialPort", "Нельзя менять свойство, пока порт открыт"),
    QT_TRANSLATE_NOOP("ESerialPort", "Ошибка обращения к системному реестру"),
    QT_TRANSLATE_NOOP(
        "ESerialPort",
        "Нет прав доступа к COM-порту (пользователь должен входить в группу dialout)"),
    QT_TRANSLATE_NOOP("ESerialPort", "Указанное устройство не является последовательным портом"),
    QT_TRANSLATE_NOOP(
        "ESerialPort",
        "Неверное имя сетевого порта (нужно tcp://УЗЕЛ:ПОРТ или modbus-tcp://УЗЕЛ:ПОРТ)"),
    QT_TRANSLATE_NOOP("ESerialPort", "Сетевой узел не найден"),
    QT_TRANSLATE_NOOP("ESerialPort", "Сетевой узел отверг подключение"),
    QT_TRANSLATE_NOOP("ESerialPort", "Сетевой узел недоступен"),
    QT_TRANSLATE_NOOP("ESerialPort", "Сетевой узел не ответил на подключение вовремя"),
};

namespace {

enum MessageIndex {
    msgNotFound = 0,
    msgBusy = 1,
    msgNotOpen = 2,
    msgWrite = 3,
    msgRead = 4,
    msgPurge = 5,
    msgLineSettings = 6,
    msgTimeouts = 7,
    msgQueueSizes = 8,
    msgQueueCounts = 9,
    msgModemStatus = 10,
    msgEscape = 11,
    msgOpenProperty = 12,
    msgPortList = 13,
    msgNoPermission = 14,
    msgNotSerial = 15,
    msgBadNetworkName = 16,
    msgHostUnknown = 17,
    msgRefused = 18,
    msgUnreachable = 19,
    msgConnectTimedOut = 20,
};

struct ErrorFlag {
    uint32_t flag;
    TSerialError error;
};

constexpr ErrorFlag LineErrors[] = {
    {CE_BREAK, ceBreak},       {CE_FRAME, ceFrame},     {CE_IOE, ceIO},
    {CE_MODE, ceMode},         {CE_OVERRUN, ceOverrun}, {CE_RXOVER, ceRxOver},
    {CE_RXPARITY, ceRxParity}, {CE_TXFULL, ceTxFull},
};

uint32_t TimeoutValue(int32_t ms) {
    return ms < 0 ? MaxDword : uint32_t(ms);
}

// The driver's queue sizes are even; an odd request is taken one lower.
int32_t EvenQueueSize(int32_t size) {
    return size > 0 && (size & 1) ? size - 1 : size;
}

}  // namespace

void TExceptionReport::LogHandlerFailure(const QString& message) {
    qCWarning(lcSerialPort).noquote() << message;
}

void TSerialPort::HandlerFailed(const QString& message) {
    if (FExceptionReport)
        FExceptionReport->HandlerFailed(message);
    else
        TExceptionReport::LogHandlerFailure(message);
}

// ---- ESerialPort ----------------------------------------------------------------------------

// The system's code is read before anything else runs: building the text may call into the
// allocator.
ESerialPort::ESerialPort(int messageIndex)
    : ESerialPort(messageIndex, serial_backend::LastErrorCode()) {}

ESerialPort::ESerialPort(int messageIndex, int systemError)
    : ESerialPort(messageIndex >= 0 && messageIndex < SerialPortMessageCount
                      ? QCoreApplication::translate("ESerialPort", SerialPortMessages[messageIndex])
                      : QString()) {
    // These come from no system call (a bad network port name is the user's).
    if (messageIndex != msgNotOpen && messageIndex != msgOpenProperty &&
        messageIndex != msgBadNetworkName)
        FSystemError = systemError;
}

ESerialPort::ESerialPort(const QString& message) : FMessage(message), FUtf8(message.toUtf8()) {}

QString ESerialPort::Text() const {
    if (FSystemError == 0) return FMessage;
    return FMessage + QStringLiteral(": ") +
           QString::fromLocal8Bit(serial_backend::ErrorText(FSystemError).c_str());
}

// ---- TSerialTimeouts ------------------------------------------------------------------------

void TSerialTimeouts::Assign(const TSerialTimeouts& source) {
    FReadInterval = source.FReadInterval;
    FReadTotalM = source.FReadTotalM;
    FReadTotalC = source.FReadTotalC;
    FWriteTotalM = source.FWriteTotalM;
    FWriteTotalC = source.FWriteTotalC;
}

void TSerialTimeouts::Changed() {
    if (FSerialPort) FSerialPort->ApplyTimeouts();
}

#define TESSERA_TIMEOUT_SETTER(Name, Field)      \
    void TSerialTimeouts::Set##Name(int32_t v) { \
        if (v == Field) return;                  \
        Field = v;                               \
        Changed();                               \
    }
TESSERA_TIMEOUT_SETTER(ReadInterval, FReadInterval)
TESSERA_TIMEOUT_SETTER(ReadTotalMultiplier, FReadTotalM)
TESSERA_TIMEOUT_SETTER(ReadTotalConstant, FReadTotalC)
TESSERA_TIMEOUT_SETTER(WriteTotalMultiplier, FWriteTotalM)
TESSERA_TIMEOUT_SETTER(WriteTotalConstant, FWriteTotalC)
#undef TESSERA_TIMEOUT_SETTER

// ---- TSerialPort: life cycle --------------------------------------------------------------

TSerialPort::TSerialPort(QObject* owner)
    : QObject(owner),
      FDataPacket(std::make_unique<TSerialPacket>(this)),
      FTimeouts(std::make_unique<TSerialTimeouts>(this)) {}

TSerialPort::~TSerialPort() {
    try {
        Close();
    } catch (...) {
        // Destruction goes on whatever Close met.
    }
}

QString TSerialPort::DevicePath(const QString& port) {
    if (IsNetworkPortName(port.toStdString())) return port;
#ifdef _WIN32
    return port;  // the backend opens the name in the device namespace (\\.\COM12)
#else
    if (port.startsWith(QLatin1Char('/'))) return port;
    static const QRegularExpression comName(QStringLiteral("^COM([1-9][0-9]*)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = comName.match(port);
    if (match.hasMatch())
        return QStringLiteral("/dev/ttyS%1").arg(match.captured(1).toLongLong() - 1);
    return QStringLiteral("/dev/") + port;
#endif
}

void TSerialPort::Open() {
    if (FConnected) return;
    AbandonBackgroundOpen();
    OpenDevice();
    StartAfterOpen();
}

// The device is held: the line settings, buffers and timeouts go to it and its events start.
void TSerialPort::StartAfterOpen() {
    FConnected = true;
    try {
        ApplyLineSettings();
        ApplyBufferSizes();
        ApplyTimeouts();
        StartEventDelivery();
    } catch (...) {
        FEventThread.reset();
        DestroyWindow();
        ReleaseHandle();
        FConnected = false;
        throw;
    }
}

void TSerialPort::OpenDevice() {
    const std::string path = DevicePath(FPort).toLocal8Bit().toStdString();
    OpenOptions options;
    options.connectTimeoutMs = FConnectTimeoutMs;
    const OpenStatus status = Device::Open(path, FHandle, options);
    AdoptOpenResult(status, status == OpenStatus::Ok ? 0 : serial_backend::LastErrorCode());
}

// Any failure other than "missing", "busy", "no permission", "not a serial port" and a network
// port's own failures leaves the handle unset, and the open then fails on the line settings.
// A network port gets the network allowance set here.
void TSerialPort::AdoptOpenResult(OpenStatus status, int systemError) {
    FOpenError = systemError;
    if (status == OpenStatus::Ok && FHandle) FHandle->SetNetworkAllowanceMs(FNetworkAllowanceMs);
    switch (status) {
        case OpenStatus::Ok:
        case OpenStatus::Failed:
            return;
        case OpenStatus::NotFound:
            throw ESerialPort(msgNotFound, systemError);
        case OpenStatus::Busy:
            throw ESerialPort(msgBusy, systemError);
        case OpenStatus::NoPermission:
            throw ESerialPort(msgNoPermission, systemError);
        case OpenStatus::NotSerial:
            throw ESerialPort(msgNotSerial, systemError);
        case OpenStatus::BadName:
            throw ESerialPort(msgBadNetworkName, systemError);
        case OpenStatus::HostUnknown:
            throw ESerialPort(msgHostUnknown, systemError);
        case OpenStatus::Refused:
            throw ESerialPort(msgRefused, systemError);
        case OpenStatus::Unreachable:
            throw ESerialPort(msgUnreachable, systemError);
        case OpenStatus::TimedOut:
            throw ESerialPort(msgConnectTimedOut, systemError);
    }
}

// What a connecting thread and the port share: the thread hands its result to the port only
// while `port` is set; the port clears it (under the lock) when it gives the attempt up or
// ends, so nothing is ever posted to a port that is gone.
struct TSerialPort::PendingOpen {
    std::mutex lock;
    TSerialPort* port = nullptr;
};

void TSerialPort::OpenInBackground(TOpenDone done) {
    AbandonBackgroundOpen();
    if (FConnected || !IsNetworkPort()) {
        try {
            Open();
        } catch (const ESerialPort& e) {
            done(&e);
            return;
        }
        done(nullptr);
        return;
    }
    auto pending = std::make_shared<PendingOpen>();
    pending->port = this;
    FPendingOpen = pending;
    OpenOptions options;
    options.connectTimeoutMs = FConnectTimeoutMs;
    const std::string path = DevicePath(FPort).toLocal8Bit().toStdString();
    // Detached: a connection under way must not hold up closing the window; it ends within
    // the time-out (name resolution aside) and its result is then dropped.
    std::thread([pending, options, path, done = std::move(done)] {
        auto device = std::make_shared<std::unique_ptr<Device>>();
        const OpenStatus status = Device::Open(path, *device, options);
        const int error = status == OpenStatus::Ok ? 0 : serial_backend::LastErrorCode();
        const std::lock_guard<std::mutex> hold(pending->lock);
        if (!pending->port) return;  // abandoned: the connection closes with `device`
        TSerialPort* port = pending->port;
        QMetaObject::invokeMethod(
            port,
            [port, pending, device, status, error, done] {
                port->FinishBackgroundOpen(pending, std::move(*device), status, error, done);
            },
            Qt::QueuedConnection);
    }).detach();
}

void TSerialPort::FinishBackgroundOpen(const std::shared_ptr<PendingOpen>& pending,
                                       std::unique_ptr<Device> device, OpenStatus status,
                                       int systemError, const TOpenDone& done) {
    if (FPendingOpen != pending) return;  // given up meanwhile
    FPendingOpen.reset();
    try {
        FHandle = std::move(device);
        AdoptOpenResult(status, systemError);
        StartAfterOpen();
    } catch (const ESerialPort& e) {
        done(&e);
        return;
    }
    done(nullptr);
}

void TSerialPort::AbandonBackgroundOpen() {
    if (!FPendingOpen) return;
    {
        const std::lock_guard<std::mutex> hold(FPendingOpen->lock);
        FPendingOpen->port = nullptr;
    }
    FPendingOpen.reset();
}

void TSerialPort::StartEventDelivery() {
    if (FSyncMethod == smWindowSync) FWindow = new TSerialPortWindow(this);
    FEventThread = std::make_unique<TSerialThread>(this);
}

void TSerialPort::Close() {
    AbandonBackgroundOpen();
    if (!FConnected) return;
    FEventThread.reset();
    DestroyWindow();
    ReleaseHandle();
    FConnected = false;
}

// Events already handed over still run, here, while the port is open; none can run later.
void TSerialPort::DestroyWindow() {
    if (!FWindow) return;
    FWindow->DeliverPending();
    delete FWindow;
    FWindow = nullptr;
}

void TSerialPort::ReleaseHandle() {
    if (!FHandle) return;
    FHandle->Close();
    FHandle.reset();
}

Device& TSerialPort::DeviceOrRaise(int messageIndex) {
    // No device: the open failed, and its reason is the one to give.
    if (!FHandle) throw ESerialPort(messageIndex, FOpenError);
    return *FHandle;
}

bool TSerialPort::CheckOpen() {
    if (!FConnected) throw ESerialPort(msgNotOpen);
    return true;
}

// ---- TSerialPort: applying settings ---------------------------------------------------------

void TSerialPort::ApplyLineSettings() {
    if (!FConnected) return;
    Device& device = DeviceOrRaise(msgLineSettings);
    // Settings no line can take: no system call failed, so there is no reason to give.
    if (FBaudRate > br4000000 || FByteSize > bs8 || FParity > paSpace || FStopBits > sb2)
        throw ESerialPort(msgLineSettings, 0);
    LineSettings settings;
    settings.baudRate = BitsPerSecond();
    settings.dataBits = int(FByteSize) + 5;
    settings.parity = serial_backend::Parity(FParity);
    settings.stopBits = serial_backend::StopBits(FStopBits);
    if (!device.SetLineSettings(settings)) throw ESerialPort(msgLineSettings);
}

void TSerialPort::ApplyBufferSizes() {
    if (!FConnected) return;
    if (!DeviceOrRaise(msgQueueSizes).SetQueueSizes(FInBufSize, FOutBufSize))
        throw ESerialPort(msgQueueSizes);
}

void TSerialPort::ApplyTimeouts() {
    if (!FConnected) return;
    serial_backend::Timeouts t;
    t.readInterval = TimeoutValue(FTimeouts->ReadInterval());
    t.readTotalMultiplier = TimeoutValue(FTimeouts->ReadTotalMultiplier());
    t.readTotalConstant = TimeoutValue(FTimeouts->ReadTotalConstant());
    t.writeTotalMultiplier = TimeoutValue(FTimeouts->WriteTotalMultiplier());
    t.writeTotalConstant = TimeoutValue(FTimeouts->WriteTotalConstant());
    if (!DeviceOrRaise(msgTimeouts).SetTimeouts(t)) throw ESerialPort(msgTimeouts);
}

// ---- TSerialPort: properties ----------------------------------------------------------------

template <typename T>
static bool StoreIfChanged(T& field, const T& value) {
    if (field == value) return false;
    field = value;
    return true;
}

void TSerialPort::SetBaudRate(TBaudRate v) {
    if (StoreIfChanged(FBaudRate, v)) ApplyLineSettings();
}

void TSerialPort::SetByteSize(TByteSize v) {
    if (StoreIfChanged(FByteSize, v)) ApplyLineSettings();
}

void TSerialPort::SetCustomBaudRate(int32_t v) {
    if (StoreIfChanged(FCustomBaudRate, v)) ApplyLineSettings();
}

void TSerialPort::SetParity(TParity v) {
    if (StoreIfChanged(FParity, v)) ApplyLineSettings();
}

void TSerialPort::SetStopBits(TStopBits v) {
    if (StoreIfChanged(FStopBits, v)) ApplyLineSettings();
}

void TSerialPort::SetInBufSize(int32_t v) {
    if (StoreIfChanged(FInBufSize, EvenQueueSize(v))) ApplyBufferSizes();
}

void TSerialPort::SetOutBufSize(int32_t v) {
    if (StoreIfChanged(FOutBufSize, EvenQueueSize(v))) ApplyBufferSizes();
}

void TSerialPort::SetPort(const QString& v) {
    if (FConnected) throw ESerialPort(msgOpenProperty);
    FPort = v;
}

void TSerialPort::SetSyncMethod(TSyncMethod v) {
    if (v == FSyncMethod) return;
    if (FConnected) throw ESerialPort(msgOpenProperty);
    FSyncMethod = v;
}

void TSerialPort::SetThreadPriority(TThreadPriority v) {
    if (v == FCTPriority) return;
    if (FConnected) throw ESerialPort(msgOpenProperty);
    FCTPriority = v;
}

void TSerialPort::SetDataPacket(const TSerialPacket& v) {
    FDataPacket->Assign(v);
}

void TSerialPort::SetTimeouts(const TSerialTimeouts& v) {
    FTimeouts->Assign(v);
    ApplyTimeouts();
}

// ---- TSerialPort: operations ----------------------------------------------------------------

void TSerialPort::EnumSerialPorts(QStringList& ports) {
    std::vector<std::string> names;
    if (!ListSerialPorts(names)) throw ESerialPort(msgPortList);
    QStringList found;
    for (const std::string& name : names) found << QString::fromLocal8Bit(name.c_str());
    found.sort(Qt::CaseInsensitive);
    ports = found;
}

void TSerialPort::ClearBuffer(bool input, bool output) {
    const uint32_t flags = (input ? PURGE_RXCLEAR : 0) | (output ? PURGE_TXCLEAR : 0);
    if (!FHandle || !FHandle->Purge(flags)) throw ESerialPort(msgPurge);
}

void TSerialPort::PurgeAll() {
    const uint32_t flags = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
    if (!FHandle || !FHandle->Purge(flags)) throw ESerialPort(msgPurge);
}

int32_t TSerialPort::InBufCount() {
    int32_t in = 0;
    uint32_t errors = 0;
    if (!FHandle || !FHandle->InQueueCount(in, errors)) throw ESerialPort(msgQueueCounts);
    return in;
}

int32_t TSerialPort::OutBufCount() {
    int32_t in = 0, out = 0;
    uint32_t errors = 0;
    if (!FHandle || !FHandle->QueueCounts(in, out, errors)) throw ESerialPort(msgQueueCounts);
    return out;
}

int32_t TSerialPort::Read(void* buffer, int32_t count) {
    CheckOpen();
    if (count <= 0) return 0;
    const int32_t n = DeviceOrRaise(msgRead).Read(buffer, count);
    if (n < 0) throw ESerialPort(msgRead);
    if (n > 0) NoteReceived();
    return n;
}

bool TSerialPort::IsNetworkPort() const {
    return IsNetworkPortName(FPort.toStdString());
}

bool TSerialPort::IsModbusTcp() const {
    NetworkPortName name;
    ParseNetworkPortName(FPort.toStdString(), name);
    return name.transport == Transport::ModbusTcp;
}

uint32_t TSerialPort::NetworkAllowanceMs() const {
    return IsNetworkPort() ? FNetworkAllowanceMs.load() : 0;
}

void TSerialPort::SetNetworkAllowanceMs(uint32_t ms) {
    FNetworkAllowanceMs = ms;
    if (FHandle) FHandle->SetNetworkAllowanceMs(ms);
}

bool TSerialPort::NeedsFrameSilence() const {
    return !IsModbusTcp();
}

void TSerialPort::SetConnectTimeoutMs(int ms) {
    FConnectTimeoutMs = ms > 0 ? ms : 1;
}

int32_t TSerialPort::LastTransactionId() {
    return FHandle ? FHandle->LastTransactionId() : -1;
}

std::vector<serial_backend::TransportNote> TSerialPort::TakeTransportNotes() {
    return FHandle ? FHandle->TakeTransportNotes() : std::vector<serial_backend::TransportNote>();
}

int32_t TSerialPort::BitsPerSecond() const {
    return FBaudRate == brCustom ? FCustomBaudRate : BaudRateTable[FBaudRate];
}

void TSerialPort::NoteReceived() {
    FLastReceived = std::chrono::steady_clock::now().time_since_epoch().count();
}

std::chrono::steady_clock::time_point TSerialPort::LastReceivedAt() const {
    return std::chrono::steady_clock::time_point(
        std::chrono::steady_clock::duration(FLastReceived.load()));
}

int32_t TSerialPort::ReadStr(QString& str, int32_t count) {
    QByteArray bytes(count > 0 ? count : 0, '\0');
    const int32_t n = Read(bytes.data(), count);
    str = QString::fromLatin1(bytes.constData(), n);
    return n;
}

int32_t TSerialPort::Write(const void* buffer, int32_t count) {
    CheckOpen();
    if (count <= 0) return 0;
    const int32_t n = DeviceOrRaise(msgWrite).Write(buffer, count);
    if (n < 0) throw ESerialPort(msgWrite);
    return n;
}

// Characters above 255 have no byte of their own and go out as '?'.
int32_t TSerialPort::WriteStr(const QString& str) {
    const QByteArray bytes = str.toLatin1();
    return Write(bytes.constData(), int32_t(bytes.size()));
}

static void EscapeOrRaise(Device* device, int code) {
    if (!device || !device->Escape(code)) throw ESerialPort(msgEscape);
}

void TSerialPort::SetBreak(bool state) {
    CheckOpen();
    EscapeOrRaise(FHandle.get(), state ? SETBREAK : CLRBREAK);
}

void TSerialPort::SetDTR(bool state) {
    CheckOpen();
    EscapeOrRaise(FHandle.get(), state ? SETDTR : CLRDTR);
}

void TSerialPort::SetRTS(bool state) {
    CheckOpen();
    EscapeOrRaise(FHandle.get(), state ? SETRTS : CLRRTS);
}

// MS_CTS_ON..MS_RLSD_ON are bits 4..7, in the order of TSerialSignal.
TSerialSignals TSerialPort::Signals() {
    CheckOpen();
    uint32_t status = 0;
    if (!FHandle || !FHandle->ModemStatus(status)) throw ESerialPort(msgModemStatus);
    return TSerialSignals((status >> 4) & 0x0F);
}

// ---- TSerialPort: event delivery ------------------------------------------------------------

void TSerialPort::DoRxChar() {
    const int32_t count = InBufCount();
    if (count <= 0) return;
    if (FDataPacket->Enabled() && FDataPacket->PacketDefined()) {
        QString str;
        ReadStr(str, count);
        FDataPacket->AddData(str);
    } else if (OnRxChar) {
        OnRxChar(this, count);
    }
}

void TSerialPort::DoTxEmpty() {
    if (OnTxEmpty) OnTxEmpty(this);
}

void TSerialPort::DoRing() {
    if (OnRing) OnRing(this);
}

void TSerialPort::DoBreak() {
    if (OnBreak) OnBreak(this);
}

void TSerialPort::DoRx80Full() {
    if (OnRx80Full) OnRx80Full(this);
}

bool TSerialPort::LineSignal(TSerialSignal signal) {
    return Signals() & BitOf(signal);
}

void TSerialPort::DoCTSChange() {
    if (OnCTSChange) OnCTSChange(this, LineSignal(csCTS));
}

void TSerialPort::DoDSRChange() {
    if (OnDSRChange) OnDSRChange(this, LineSignal(csDSR));
}

void TSerialPort::DoRLSDChange() {
    if (OnRLSDChange) OnRLSDChange(this, LineSignal(csRLSD));
}

void TSerialPort::DoError() {
    int32_t in = 0, out = 0;
    uint32_t flags = 0;
    if (!FHandle || !FHandle->QueueCounts(in, out, flags)) throw ESerialPort(msgQueueCounts);
    TSerialErrors errors = 0;
    for (const ErrorFlag& e : LineErrors)
        if (flags & e.flag) errors |= TSerialErrors(BitOf(e.error));
    // A parity error means nothing while the line carries no parity bit.
    if (FParity == paNone) errors &= TSerialErrors(~BitOf(ceRxParity));
    if (errors && OnError) OnError(this, errors);
}

void TSerialPort::DoPacket(const QString& str) {
    if (OnPacket) OnPacket(this, str);
}

void TSerialPort::DispatchEvent(uint32_t eventFlag) {
    switch (eventFlag) {
        case EV_RXCHAR:
            DoRxChar();
            break;
        case EV_TXEMPTY:
            DoTxEmpty();
            break;
        case EV_CTS:
            DoCTSChange();
            break;
        case EV_DSR:
            DoDSRChange();
            break;
        case EV_RLSD:
            DoRLSDChange();
            break;
        case EV_BREAK:
            DoBreak();
            break;
        case EV_ERR:
            DoError();
            break;
        case EV_RING:
            DoRing();
            break;
        case EV_RX80FULL:
            DoRx80Full();
            break;
        default:
            break;
    }
}

// The event thread does not wait for these: each is queued to the main thread and the
// thread goes back to waiting at once; the queue keeps them in the fixed order.
void TSerialPort::PostEventMessage(uint32_t eventFlag) {
    FWindow->PostEventMessage(eventFlag);
}

void TSerialPort::PortWindowProc(uint32_t eventFlag) {
    try {
        CheckOpen();
        DispatchEvent(eventFlag);
    } catch (const ESerialPort& e) {
        HandlerFailed(e.Text());
    } catch (const std::exception& e) {
        HandlerFailed(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        HandlerFailed(QString());
    }
}

static_assert(DefaultNetworkAllowanceMs == 200, "the port's default allowance is the backend's");
