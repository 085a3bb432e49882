// The answer path of the exchange: what the main thread runs for one answer the exchange
// thread has read (decmb for Modbus RTU, Update, MBer for an exception frame), for any
// command, protocol, exchange state, selection and answer bytes, with any answer length.
//
// The window is the real one, created once on the offscreen platform and activated, with a
// port that cannot open: chained requests that Update sends fail with ESerialPort, as they
// would on a line that vanished, and the real pass reports them; so does the harness here
// (it just drops them). Error boxes go to a no-op hook.
//
// Input: command, flags, LengthIn, field choices, then the answer bytes.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QStandardPaths>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "exchange/Convert.h"
#include "exchange/Thread1.h"
#include "exchange/typeCMD.h"
#include "protocol/Crc.h"
#include "serial/SerialPort.h"
#include "tests/support/TestDesktop.h"
#include "ui/main.h"
#include "ui_main.h"

namespace {

constexpr ExchangeStates States[7] = {ExchangeStates::Single,
                                      ExchangeStates::ReadingPreparation,
                                      ExchangeStates::ContinuousReading,
                                      ExchangeStates::SearchQv,
                                      ExchangeStates::SearchModbus,
                                      ExchangeStates::SerialThenYear,
                                      ExchangeStates::RelayThenHysteresis};
// Texts the parameter page's fields may hold when an answer arrives: good, empty, junk,
// out of range.
const char* const FieldTexts[8] = {"12",  "",           "abc", "-230",
                                   "231", "0x7FFFFFFF", "1.5", "99999999999"};

void StartWindow() {
    char home[] = "/tmp/tessera-fuzz-XXXXXX";
    if (!mkdtemp(home)) {
        std::perror("mkdtemp");
        std::abort();
    }
    setenv("HOME", home, 1);
    setenv("XDG_CONFIG_HOME", (std::string(home) + "/.config").c_str(), 1);
    setenv("XDG_DATA_HOME", (std::string(home) + "/.local/share").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("TESSERA_TEST", "1", 1);

    static int argc = 1;
    static char name[] = "fuzz_answer";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);  // lives as long as the process

    // No update check: it would go to the network.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                           QStringLiteral("/Tessera_RS");
    QDir().mkpath(folder);
    QFile settings(folder + QStringLiteral("/setup.cfg"));
    if (!settings.open(QIODevice::WriteOnly)) std::abort();
    settings.write("[Update]\nUpdate=0\n");
    settings.close();

    static TTestDesktop desktop;  // lives as long as the window
    desktop.errorBox = [](const QString&) {};
    Tz::PortOverride = QStringLiteral("/dev/tessera-fuzz-no-such-port");
    new Tz(nullptr, &desktop);  // lives as long as the process; z points to it
    z->FormActivate();  // CurrentQuery, CommandTable, ExchangeThread; the port fails to open
    if (!CurrentQuery || !ExchangeThread || z->ComPort->Connected()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartWindow();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const TListComand command = TListComand(data[0] % CommandCount);
    const uint8_t flags = data[1];
    const uint8_t lengthIn = data[2];
    const uint8_t fields = data[3];
    data += 4;
    size -= 4;

    Ui::Tz& f = *z->ui;
    ProtocolIsModbus = flags & 1;
    SavedProtocol = (flags >> 1) & 1;
    ExchangeState = States[((flags >> 2) & 7) % 7];
    SelectedChannel = (flags >> 5) & 3;
    for (int i = 0; i < 3; ++i) ChannelTicked[i] = (fields >> i) & 1;
    f.CheckBox1->setChecked(ChannelTicked[0]);
    f.CheckBox2->setChecked(ChannelTicked[1]);
    f.CheckBox3->setChecked(ChannelTicked[2]);
    f.ComboBox8->setCurrentIndex((fields >> 3) & 1);
    SetpointFormat = (fields & 0x10) ? 710 : 0;
    const char* text = FieldTexts[fields >> 5];
    f.Edit1->setText(QString::fromLatin1((fields & 0x20) ? "300" : text));
    f.Edit3->setText(QString::fromLatin1(text));
    f.Edit10->setText(QString::fromLatin1(text));
    f.Edit11->setText(QString::fromLatin1(text));
    f.Edit12->setText(QString::fromLatin1(text));
    f.Memo1->clear();

    // The request as Query would have built it, so that the Modbus rewrite of the answer sees
    // the register it asked for; then the answer as the exchange thread read it.
    CurrentQuery->Adr = 1;
    CurrentQuery->SetName(command);
    CurrentQuery->Push(uint8_t(SelectedChannel));
    CurrentQuery->BuildFrame();
    CurrentQuery->LengthIn = lengthIn;
    std::memset(AnswerBuffer, 0, FrameBufferSize);
    std::memcpy(AnswerBuffer, data, size < FrameBufferSize ? size : FrameBufferSize);
    // A random CRC almost never matches: on request, make it right so the interpretation
    // behind the check is reached too.
    if ((flags & 0x80) && lengthIn >= 2 && lengthIn <= FrameBufferSize)
        StoreCrc(AnswerBuffer, lengthIn);

    try {
        if (ProtocolIsModbus == 1 && lengthIn == 5 && AnswerBuffer[1] > 0x80) {
            ExchangeThread->MBer();
        } else {
            if (ProtocolIsModbus == 1) ExchangeThread->decmb();
            ExchangeThread->Update();
        }
    } catch (const ESerialPort&) {
        // a chained request on the closed port
    } catch (const EConvertError&) {
        // a field that does not convert
    }
    return 0;
}
