#include "serial/SerialTermios.h"

namespace serial_backend {
namespace {

struct SpeedEntry {
    int32_t baudRate;
    speed_t code;
};

// 14400, 56000, 128000 and 256000 have no constant and go through BOTHER.
constexpr SpeedEntry StandardSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

tcflag_t CharacterSizeFlag(int dataBits) {
    switch (dataBits) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        default:
            return CS8;
    }
}

// CMSPAR makes the parity bit constant: with PARODD it is always 1 (mark), without it 0.
tcflag_t ParityFlags(Parity parity) {
    switch (parity) {
        case Parity::Odd:
            return PARENB | PARODD;
        case Parity::Even:
            return PARENB;
        case Parity::Mark:
            return PARENB | CMSPAR | PARODD;
        case Parity::Space:
            return PARENB | CMSPAR;
        case Parity::None:
            break;
    }
    return 0;
}

// A UART sends 1.5 stop bits for CSTOPB with 5 data bits and 2 otherwise, so 1.5 exists only
// with 5 data bits and 2 only with more (the same pairs the Win32 driver accepts).
bool StopBitsFlag(const LineSettings& settings, tcflag_t& flag) {
    switch (settings.stopBits) {
        case StopBits::One:
            flag = 0;
            return true;
        case StopBits::OneAndHalf:
            flag = CSTOPB;
            return settings.dataBits == 5;
        case StopBits::Two:
            flag = CSTOPB;
            return settings.dataBits > 5;
    }
    return false;
}

bool ValidSettings(const LineSettings& settings) {
    return settings.baudRate > 0 && settings.dataBits >= 5 && settings.dataBits <= 8 &&
           settings.parity <= Parity::Space;
}

void MakeRaw(termios& t) {
    t.c_iflag &= ~tcflag_t(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                           IXOFF | IXANY | INPCK | IGNPAR | IUCLC | IMAXBEL);
    t.c_oflag &= ~tcflag_t(OPOST);
    t.c_lflag &= ~tcflag_t(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~tcflag_t(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    // CLOCAL: the RS-485 adapters carry no carrier line; CREAD: receiver on.
    t.c_cflag |= CLOCAL | CREAD;
    // VMIN 1: on the non-blocking fd an empty queue then reads as EAGAIN, and 0 is left to
    // mean end of file (a hung-up line); with VMIN 0 an empty read also returns 0.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
}

}  // namespace

speed_t StandardSpeed(int32_t baudRate) {
    for (const SpeedEntry& entry : StandardSpeeds)
        if (entry.baudRate == baudRate) return entry.code;
    return B0;
}

bool MakeRawTermios(const LineSettings& settings, termios& t, bool& needsArbitrarySpeed) {
    tcflag_t stopFlag = 0;
    if (!ValidSettings(settings) || !StopBitsFlag(settings, stopFlag)) return false;
    MakeRaw(t);
    t.c_cflag |= CharacterSizeFlag(settings.dataBits) | ParityFlags(settings.parity) | stopFlag;
    // The receiver checks parity only when asked to (INPCK); bad bytes are passed on as read.
    if (settings.parity != Parity::None) t.c_iflag |= INPCK;
    speed_t code = StandardSpeed(settings.baudRate);
    needsArbitrarySpeed = code == B0;
    // A placeholder speed until termios2 sets the real one.
    if (needsArbitrarySpeed) code = B38400;
    return cfsetispeed(&t, code) == 0 && cfsetospeed(&t, code) == 0;
}

}  // namespace serial_backend
