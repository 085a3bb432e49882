// Win32 side of serial_backend: a communications device opened for overlapped I/O, so that a
// read, a write and the event thread's WaitCommEvent can be outstanding on one handle at once.

// Ours first: <windows.h> turns the EV_*, CE_*, MS_* and escape names into macros.
#include "serial/SerialBackend.h"
#include "serial/SerialBackendDevices.h"
#include "serial/SerialWin32Rules.h"

#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601  // CancelIoEx
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h first: the SetupAPI headers rely on its types.
#include <initguid.h>
// initguid.h before devguid.h, so that the class GUIDs are defined here.
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <cstring>
#include <map>

namespace serial_backend {
namespace {

std::wstring Widen(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(size_t(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), &wide[0], size);
    return wide;
}

std::string Narrow(const wchar_t* text, size_t length) {
    if (length == 0) return std::string();
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text, int(length), nullptr, 0, nullptr, nullptr);
    std::string narrow(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, int(length), &narrow[0], size, nullptr, nullptr);
    return narrow;
}

// Registry and SetupAPI strings may or may not carry their terminating nulls.
std::string NarrowStored(const wchar_t* text, size_t maxLength) {
    size_t length = 0;
    while (length < maxLength && text[length] != L'\0') ++length;
    return Narrow(text, length);
}

// Runs `cleanup` without letting it replace the failure that the caller is about to report.
template <typename Cleanup>
void KeepingLastError(Cleanup cleanup) {
    const DWORD error = GetLastError();
    cleanup();
    SetLastError(error);
}

OpenStatus StatusOfOpenError(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return OpenStatus::NotFound;
        // A communications device cannot be shared: a second CreateFileW is refused with
        // ERROR_ACCESS_DENIED by the serial driver, ERROR_SHARING_VIOLATION by some others.
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return OpenStatus::Busy;
        default:
            return OpenStatus::Failed;
    }
}

// One overlapped operation's record with its own event (manual reset, signalled at first, as
// the I/O functions expect); the event is closed in every case.
class Overlapped {
public:
    Overlapped() {
        std::memset(&FRecord, 0, sizeof FRecord);
        FRecord.hEvent = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    }
    ~Overlapped() {
        if (FRecord.hEvent) KeepingLastError([this] { CloseHandle(FRecord.hEvent); });
    }
    Overlapped(const Overlapped&) = delete;
    Overlapped& operator=(const Overlapped&) = delete;

    bool Valid() const { return FRecord.hEvent != nullptr; }
    OVERLAPPED* Record() { return &FRecord; }

    // Completes a ReadFile or WriteFile that returned `started`: also one that finished at
    // once goes through the wait and the overlapped result. -1 on failure.
    int32_t Finish(HANDLE device, BOOL started) {
        if (!started && GetLastError() != ERROR_IO_PENDING) return -1;
        if (WaitForSingleObject(FRecord.hEvent, INFINITE) != WAIT_OBJECT_0) return -1;
        DWORD done = 0;
        if (GetOverlappedResult(device, &FRecord, &done, FALSE) || EndedByTimeout())
            return int32_t(FRecord.InternalHigh);
        return -1;
    }

    // An operation that ran into its total timeout ends with STATUS_TIMEOUT, a success code
    // that Wine's GetOverlappedResult reports as a failure; the count is in the record.
    static bool EndedByTimeout() {
        const DWORD error = GetLastError();
        return error == ERROR_TIMEOUT || error == WAIT_TIMEOUT;
    }

    // For a read that should have completed at once but is pending (Wine, when the queue is
    // empty, waits for the next byte instead): what has come by now, the rest cancelled.
    int32_t TakeWhatCame(HANDLE device) {
        DWORD done = 0;
        if (WaitForSingleObject(FRecord.hEvent, 0) != WAIT_OBJECT_0) CancelIoEx(device, &FRecord);
        if (GetOverlappedResult(device, &FRecord, &done, TRUE)) return int32_t(done);
        return GetLastError() == ERROR_OPERATION_ABORTED ? int32_t(FRecord.InternalHigh) : -1;
    }

private:
    OVERLAPPED FRecord;
};

// ---- port list ----------------------------------------------------------------------------

class RegistryKey {
public:
    ~RegistryKey() {
        if (FKey) KeepingLastError([this] { RegCloseKey(FKey); });
    }
    LONG Open(HKEY parent, const wchar_t* path) {
        return RegOpenKeyExW(parent, path, 0, KEY_READ, &FKey);
    }
    HKEY Get() const { return FKey; }
    HKEY* Receive() { return &FKey; }

private:
    HKEY FKey = nullptr;
};

const wchar_t SerialCommKey[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";

// The values of SERIALCOMM: names of the drivers' devices, data the port names. Any other
// result than the end of the values is a failure, as is a name too long for the buffers.
LONG ReadSerialComm(HKEY key, std::vector<std::string>& names) {
    for (DWORD index = 0;; ++index) {
        wchar_t valueName[256];
        wchar_t data[128];  // 256 bytes
        DWORD nameLength = DWORD(sizeof valueName / sizeof valueName[0]);
        DWORD dataSize = DWORD(sizeof data);
        DWORD type = 0;
        const LONG rc = RegEnumValueW(key, index, valueName, &nameLength, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data), &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS) return rc;
        if (type != REG_SZ) continue;
        const std::string name = NarrowStored(data, dataSize / sizeof(wchar_t));
        if (!name.empty()) names.push_back(name);
    }
}

std::string DeviceStringProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    wchar_t text[512];
    DWORD type = 0;
    DWORD size = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type,
                                           reinterpret_cast<BYTE*>(text), DWORD(sizeof text),
                                           &size) ||
        type != REG_SZ)
        return std::string();
    return NarrowStored(text, size / sizeof(wchar_t));
}

std::string DevicePortName(HDEVINFO set, SP_DEVINFO_DATA& device) {
    RegistryKey key;
    *key.Receive() = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key.Get() == INVALID_HANDLE_VALUE) {
        *key.Receive() = nullptr;
        return std::string();
    }
    wchar_t name[128];
    DWORD type = 0;
    DWORD size = DWORD(sizeof name);
    if (RegQueryValueExW(key.Get(), L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name),
                         &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::string();
    return NarrowStored(name, size / sizeof(wchar_t));
}

// Port name -> the friendly name of the device behind it, for the devices of the port and
// modem classes that are present. Nothing is found where SetupAPI knows no such device (Wine's
// ports, virtual port drivers without a device node).
std::map<std::string, std::string> FriendlyNames() {
    std::map<std::string, std::string> names;
    for (const GUID* deviceClass : {&GUID_DEVCLASS_PORTS, &GUID_DEVCLASS_MODEM}) {
        HDEVINFO set = SetupDiGetClassDevsW(deviceClass, nullptr, nullptr, DIGCF_PRESENT);
        if (set == INVALID_HANDLE_VALUE) continue;
        SP_DEVINFO_DATA device;
        device.cbSize = sizeof device;
        for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
            const std::string port = DevicePortName(set, device);
            if (port.empty()) continue;
            std::string friendly = DeviceStringProperty(set, device, SPDRP_FRIENDLYNAME);
            if (friendly.empty()) friendly = DeviceStringProperty(set, device, SPDRP_DEVICEDESC);
            names[port] = friendly;
        }
        SetupDiDestroyDeviceInfoList(set);
    }
    return names;
}

// A communications device of this system, opened for overlapped I/O.
class Win32SerialDevice final : public Device {
public:
    ~Win32SerialDevice() override { Close(); }
    static OpenStatus Open(const std::string& path, std::unique_ptr<Device>& device);
    bool Close() override;
    bool SetLineSettings(const LineSettings& settings) override;
    bool SetQueueSizes(int32_t inSize, int32_t outSize) override;
    bool SetTimeouts(const Timeouts& timeouts) override;
    bool Purge(uint32_t purgeFlags) override;
    bool QueueCounts(int32_t& inQueue, int32_t& outQueue, uint32_t& errors) override;
    bool InQueueCount(int32_t& inQueue, uint32_t& errors) override;
    bool ModemStatus(uint32_t& status) override;
    bool Escape(int code) override;
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    NativeHandleType NativeHandle() const override { return FHandle; }
    int32_t InQueueSize() const override;

private:
    Win32SerialDevice() = default;
    bool ReadsReturnAtOnce() const;
    // INVALID_HANDLE_VALUE while closed; the DCB and COMMTIMEOUTS found on open are put back
    // on close.
    void* FHandle = reinterpret_cast<void*>(intptr_t(-1));
    bool FSettingsSaved = false;
    std::vector<unsigned char> FSavedSettings;
    mutable std::mutex FMutex;  // guards the two below
    Timeouts FTimeouts;         // as last set on the device
    int32_t FInQueueSize = 2048;
};

}  // namespace

int LastErrorCode() {
    return int(GetLastError());
}

std::string ErrorText(int code) {
    const DWORD error = DWORD(code);
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message;
    KeepingLastError([&] {
        if (length) message = Narrow(text, length);
        if (text) LocalFree(text);
    });
    while (!message.empty() && std::strchr("\r\n .", message.back())) message.pop_back();
    if (message.empty()) message = "error " + std::to_string(error);
    return message;
}

std::string LastErrorText() {
    const DWORD error = GetLastError();
    std::string message = ErrorText(int(error));
    SetLastError(error);
    return message;
}

// ---- Device -------------------------------------------------------------------------------

OpenStatus OpenSerialDevice(const std::string& path, std::unique_ptr<Device>& device) {
    return Win32SerialDevice::Open(path, device);
}

OpenStatus Win32SerialDevice::Open(const std::string& path, std::unique_ptr<Device>& device) {
    // Share mode 0: no one else opens the port while we hold it.
    const HANDLE handle =
        CreateFileW(Widen(win32::DevicePath(path)).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                    nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return StatusOfOpenError(GetLastError());
    std::unique_ptr<Win32SerialDevice> opened(new Win32SerialDevice);
    opened->FHandle = handle;
    // What Close puts back; a handle without them is no communications device.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    COMMTIMEOUTS timeouts{};
    if (!GetCommState(handle, &dcb) || !GetCommTimeouts(handle, &timeouts)) {
        KeepingLastError([&] { opened->Close(); });
        return OpenStatus::Failed;
    }
    opened->FSavedSettings.resize(sizeof dcb + sizeof timeouts);
    std::memcpy(opened->FSavedSettings.data(), &dcb, sizeof dcb);
    std::memcpy(opened->FSavedSettings.data() + sizeof dcb, &timeouts, sizeof timeouts);
    opened->FSettingsSaved = true;
    device = std::move(opened);
    return OpenStatus::Ok;
}

bool Win32SerialDevice::Close() {
    if (FHandle == INVALID_HANDLE_VALUE) return true;
    bool ok = true;
    if (FSettingsSaved) {
        DCB dcb;
        COMMTIMEOUTS timeouts;
        std::memcpy(&dcb, FSavedSettings.data(), sizeof dcb);
        std::memcpy(&timeouts, FSavedSettings.data() + sizeof dcb, sizeof timeouts);
        ok = SetCommState(FHandle, &dcb) && ok;
        ok = SetCommTimeouts(FHandle, &timeouts) && ok;
        FSettingsSaved = false;
    }
    ok = CloseHandle(FHandle) && ok;
    FHandle = INVALID_HANDLE_VALUE;
    return ok;
}

bool Win32SerialDevice::SetLineSettings(const LineSettings& settings) {
    win32::DcbValues values;
    if (!win32::MakeDcbValues(settings, values)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    DCB dcb;
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = values.baudRate;
    dcb.fBinary = 1;
    dcb.fParity = values.parityCheck ? 1 : 0;
    // DTR and RTS raised while the port is open; no handshake on any line.
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.ByteSize = values.byteSize;
    dcb.Parity = values.parity;
    dcb.StopBits = values.stopBits;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    return SetCommState(FHandle, &dcb) != 0;
}

bool Win32SerialDevice::SetQueueSizes(int32_t inSize, int32_t outSize) {
    if (!SetupComm(FHandle, DWORD(inSize), DWORD(outSize))) return false;
    std::lock_guard<std::mutex> lock(FMutex);
    FInQueueSize = inSize;
    return true;
}

int32_t Win32SerialDevice::InQueueSize() const {
    std::lock_guard<std::mutex> lock(FMutex);
    return FInQueueSize;
}

bool Win32SerialDevice::SetTimeouts(const Timeouts& t) {
    COMMTIMEOUTS timeouts;
    timeouts.ReadIntervalTimeout = t.readInterval;
    timeouts.ReadTotalTimeoutMultiplier = t.readTotalMultiplier;
    timeouts.ReadTotalTimeoutConstant = t.readTotalConstant;
    timeouts.WriteTotalTimeoutMultiplier = t.writeTotalMultiplier;
    timeouts.WriteTotalTimeoutConstant = t.writeTotalConstant;
    if (!SetCommTimeouts(FHandle, &timeouts)) return false;
    std::lock_guard<std::mutex> lock(FMutex);
    FTimeouts = t;
    return true;
}

bool Win32SerialDevice::Purge(uint32_t purgeFlags) {
    return PurgeComm(FHandle, purgeFlags) != 0;
}

bool Win32SerialDevice::QueueCounts(int32_t& inQueue, int32_t& outQueue, uint32_t& errors) {
    DWORD flags = 0;
    COMSTAT status;
    std::memset(&status, 0, sizeof status);
    if (!ClearCommError(FHandle, &flags, &status)) return false;
    inQueue = int32_t(status.cbInQue);
    outQueue = int32_t(status.cbOutQue);
    errors = flags;  // CE_* have the same values here
    return true;
}

// ClearCommError reports both queues in one call.
bool Win32SerialDevice::InQueueCount(int32_t& inQueue, uint32_t& errors) {
    int32_t outQueue = 0;
    return QueueCounts(inQueue, outQueue, errors);
}

bool Win32SerialDevice::ModemStatus(uint32_t& status) {
    DWORD lines = 0;
    if (!GetCommModemStatus(FHandle, &lines)) return false;
    status = lines;  // MS_* have the same values here
    return true;
}

bool Win32SerialDevice::Escape(int code) {
    return EscapeCommFunction(FHandle, DWORD(code)) != 0;
}

int32_t Win32SerialDevice::Read(void* buffer, int32_t count) {
    Overlapped overlapped;
    if (!overlapped.Valid()) return -1;
    DWORD done = 0;
    const BOOL started = ReadFile(FHandle, buffer, DWORD(count), &done, overlapped.Record());
    if (!started && GetLastError() == ERROR_IO_PENDING && ReadsReturnAtOnce())
        return overlapped.TakeWhatCame(FHandle);
    return overlapped.Finish(FHandle, started);
}

// ReadIntervalTimeout MAXDWORD with both read totals 0: a read completes at once with what
// the input queue holds.
bool Win32SerialDevice::ReadsReturnAtOnce() const {
    std::lock_guard<std::mutex> lock(FMutex);
    return FTimeouts.readInterval == MaxDword && FTimeouts.readTotalMultiplier == 0 &&
           FTimeouts.readTotalConstant == 0;
}

int32_t Win32SerialDevice::Write(const void* buffer, int32_t count) {
    Overlapped overlapped;
    if (!overlapped.Valid()) return -1;
    DWORD done = 0;
    const BOOL started = WriteFile(FHandle, buffer, DWORD(count), &done, overlapped.Record());
    return overlapped.Finish(FHandle, started);
}

// ---- the serial device's event waiter ---------------------------------------------------

namespace {

class Win32SerialWaiter final : public LineWaiter {
public:
    explicit Win32SerialWaiter(Device& device) : FDevice(device) {
        FStopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ~Win32SerialWaiter() override {
        CancelPendingWait();
        if (FStopEvent) CloseHandle(FStopEvent);
    }
    bool Valid() const override { return FStopEvent && FOverlapped.Valid(); }
    void SetMask(uint32_t eventMask) override;
    WaitResult Wait(uint32_t& mask) override;
    void Stop() override { SetEvent(FStopEvent); }

private:
    bool StartWait();
    bool LeaveOutModemEvents();
    void CancelPendingWait();

    Device& FDevice;
    HANDLE FStopEvent = nullptr;  // manual reset: once stopped, every later wait sees it
    Overlapped FOverlapped;
    DWORD FEventMask = 0;  // written by WaitCommEvent, possibly after it has returned
    uint32_t FMask = 0;
    bool FPending = false;
};

// WaitCommEvent; false if it failed at once.
bool Win32SerialWaiter::StartWait() {
    FEventMask = 0;
    ResetEvent(FOverlapped.Record()->hEvent);
    // Done at once or pending: either way the event is (or will be) signalled.
    FPending = WaitCommEvent(FDevice.NativeHandle(), &FEventMask, FOverlapped.Record()) ||
               GetLastError() == ERROR_IO_PENDING;
    return FPending;
}

// Wine refuses a wait that includes modem-line events on a device without modem lines (a
// pseudo-terminal); such a device never reports them anyway, so the wait goes on without.
bool Win32SerialWaiter::LeaveOutModemEvents() {
    const uint32_t modemEvents = EV_CTS | EV_DSR | EV_RING | EV_RLSD;
    DWORD lines = 0;
    if (!(FMask & modemEvents) || GetCommModemStatus(FDevice.NativeHandle(), &lines)) return false;
    FMask &= ~modemEvents;
    return SetCommMask(FDevice.NativeHandle(), FMask) != 0;
}

// A WaitCommEvent still running writes into `FOverlapped` and `FEventMask`: it is cancelled
// and waited for before either goes away or is used again.
void Win32SerialWaiter::CancelPendingWait() {
    if (!FPending) return;
    HANDLE handle = FDevice.NativeHandle();
    CancelIoEx(handle, FOverlapped.Record());
    DWORD unused = 0;
    GetOverlappedResult(handle, FOverlapped.Record(), &unused, TRUE);
    FPending = false;
}

// The device reports only the events of its mask; the result is not checked, as a device
// that refuses the mask simply reports nothing.
void Win32SerialWaiter::SetMask(uint32_t eventMask) {
    FMask = eventMask;
    SetCommMask(FDevice.NativeHandle(), eventMask);
}

WaitResult Win32SerialWaiter::Wait(uint32_t& mask) {
    HANDLE handle = FDevice.NativeHandle();
    if (!FPending && !StartWait()) {
        KeepingLastError([&] {
            if (LeaveOutModemEvents()) StartWait();
        });
        if (!FPending) return WaitResult::Failed;  // the device is gone or takes no waits
    }
    // The stop event first: when both are signalled, the stop wins.
    const HANDLE objects[2] = {FStopEvent, FOverlapped.Record()->hEvent};
    const DWORD r = WaitForMultipleObjects(2, objects, FALSE, INFINITE);
    if (r == WAIT_OBJECT_0) {
        CancelPendingWait();
        return WaitResult::Stopped;
    }
    if (r != WAIT_OBJECT_0 + 1) {
        CancelPendingWait();
        return WaitResult::Failed;
    }
    FPending = false;
    DWORD unused = 0;
    if (!GetOverlappedResult(handle, FOverlapped.Record(), &unused, FALSE))
        return WaitResult::Skipped;
    // A wait ended by a change of the mask reports no event.
    mask = uint32_t(FEventMask) & FMask;
    return mask ? WaitResult::Events : WaitResult::Skipped;
}

}  // namespace

std::unique_ptr<LineWaiter> MakeSerialWaiter(Device& device) {
    return std::make_unique<Win32SerialWaiter>(device);
}

// ---- port list ----------------------------------------------------------------------------

bool ListSerialPorts(std::vector<std::string>& names) {
    RegistryKey key;
    LONG rc = key.Open(HKEY_LOCAL_MACHINE, SerialCommKey);
    std::vector<std::string> found;
    if (rc == ERROR_SUCCESS) rc = ReadSerialComm(key.Get(), found);
    if (rc != ERROR_SUCCESS) {
        SetLastError(DWORD(rc));
        return false;
    }
    names = found;
    return true;
}

// Windows removes SERIALCOMM when the last port goes, so here (unlike for ListSerialPorts,
// whose callers report a missing key) a missing key is an empty list.
bool ListPortDetails(std::vector<PortInfo>& ports, const std::string& /*root*/) {
    std::vector<std::string> names;
    if (!ListSerialPorts(names)) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND) return false;
        names.clear();
    }
    std::sort(names.begin(), names.end(), win32::PortNameLess);
    names.erase(std::unique(names.begin(), names.end()), names.end());
    const std::map<std::string, std::string> friendly = FriendlyNames();
    ports.clear();
    for (const std::string& name : names) {
        PortInfo info;
        info.name = name;
        info.path = name;
        // A COM number stays with its adapter across replugging: the name is the stable one.
        const auto it = friendly.find(name);
        if (it != friendly.end()) info.description = win32::DescriptionOf(it->second, name);
        ports.push_back(info);
    }
    return true;
}

}  // namespace serial_backend
