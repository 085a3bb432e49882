// The computing part of the Win32 serial backend: device paths of port names, the DCB values
// of line settings (including the combinations no UART has), the order of port names and the
// description inside a device's friendly name.
#include <QtTest>
#include <algorithm>

#include "serial/SerialWin32Rules.h"

using namespace serial_backend;
using namespace serial_backend::win32;

Q_DECLARE_METATYPE(serial_backend::LineSettings)

namespace {

QStringList Names(const std::vector<std::string>& names) {
    QStringList list;
    for (const std::string& n : names) list << QString::fromStdString(n);
    return list;
}

LineSettings Line(int32_t speed, int dataBits, Parity parity, StopBits stopBits) {
    LineSettings s;
    s.baudRate = speed;
    s.dataBits = dataBits;
    s.parity = parity;
    s.stopBits = stopBits;
    return s;
}

}  // namespace

class TestWin32Mapping : public QObject {
    Q_OBJECT
private slots:
    void devicePath_data();
    void devicePath();
    void dcbValues_data();
    void dcbValues();
    void portOrder();
    void description_data();
    void description();
};

void TestWin32Mapping::devicePath_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("path");
    QTest::newRow("single digit") << "COM5"
                                  << "\\\\.\\COM5";
    QTest::newRow("above COM9") << "COM12"
                                << "\\\\.\\COM12";
    QTest::newRow("other driver's name") << "CNCA0"
                                         << "\\\\.\\CNCA0";
    QTest::newRow("already a device path") << "\\\\.\\COM3"
                                           << "\\\\.\\COM3";
    QTest::newRow("global namespace path") << "\\\\?\\GLOBALROOT\\Device\\Serial0"
                                           << "\\\\?\\GLOBALROOT\\Device\\Serial0";
}

void TestWin32Mapping::devicePath() {
    QFETCH(QString, port);
    QFETCH(QString, path);
    QCOMPARE(QString::fromStdString(DevicePath(port.toStdString())), path);
}

void TestWin32Mapping::dcbValues_data() {
    QTest::addColumn<LineSettings>("line");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("parityCode");
    QTest::addColumn<bool>("parityCheck");
    QTest::addColumn<int>("stopCode");
    const auto accepted = [](const char* name, LineSettings line, int parity, bool check,
                             int stop) {
        QTest::newRow(name) << line << true << parity << check << stop;
    };
    const auto refused = [](const char* name, LineSettings line) {
        QTest::newRow(name) << line << false << 0 << false << 0;
    };
    accepted("9600 8N1", Line(9600, 8, Parity::None, StopBits::One), 0, false, 0);
    accepted("19200 7E1 checks parity", Line(19200, 7, Parity::Even, StopBits::One), 2, true, 0);
    accepted("odd", Line(9600, 8, Parity::Odd, StopBits::One), 1, true, 0);
    accepted("mark, 2 stop bits", Line(9600, 8, Parity::Mark, StopBits::Two), 3, true, 2);
    accepted("space", Line(9600, 8, Parity::Space, StopBits::One), 4, true, 0);
    accepted("5 bits 1.5 stop", Line(1200, 5, Parity::None, StopBits::OneAndHalf), 0, false, 1);
    refused("8 bits 1.5 stop", Line(9600, 8, Parity::None, StopBits::OneAndHalf));
    refused("5 bits 2 stop", Line(9600, 5, Parity::None, StopBits::Two));
    refused("4 data bits", Line(9600, 4, Parity::None, StopBits::One));
    refused("9 data bits", Line(9600, 9, Parity::None, StopBits::One));
    refused("speed 0", Line(0, 8, Parity::None, StopBits::One));
    refused("negative speed", Line(-9600, 8, Parity::None, StopBits::One));
    refused("unknown parity", Line(9600, 8, Parity(5), StopBits::One));
    refused("unknown stop bits", Line(9600, 8, Parity::None, StopBits(3)));
}

void TestWin32Mapping::dcbValues() {
    QFETCH(LineSettings, line);
    QFETCH(bool, accepted);
    DcbValues values;
    QCOMPARE(MakeDcbValues(line, values), accepted);
    if (!accepted) return;
    QFETCH(int, parityCode);
    QFETCH(bool, parityCheck);
    QFETCH(int, stopCode);
    QCOMPARE(values.baudRate, uint32_t(line.baudRate));
    QCOMPARE(int(values.byteSize), line.dataBits);
    QCOMPARE(int(values.parity), parityCode);
    QCOMPARE(values.parityCheck, parityCheck);
    QCOMPARE(int(values.stopBits), stopCode);
}

// One table in the expected order, shuffled and sorted back.
void TestWin32Mapping::portOrder() {
    const std::vector<std::string> expected = {"CNCA0", "CNCB0", "com1",  "COM2",
                                               "COM9",  "COM10", "COM11", "COM100"};
    std::vector<std::string> names = expected;
    std::reverse(names.begin(), names.end());
    std::rotate(names.begin(), names.begin() + 3, names.end());
    std::sort(names.begin(), names.end(), PortNameLess);
    QCOMPARE(Names(names), Names(expected));
    // A strict order: equal names are not less, names equal but for case or zeros are ordered.
    QVERIFY(!PortNameLess("COM3", "COM3"));
    QVERIFY(PortNameLess("COM3", "com3") != PortNameLess("com3", "COM3"));
    QVERIFY(PortNameLess("COM03", "COM3") != PortNameLess("COM3", "COM03"));
}

void TestWin32Mapping::description_data() {
    QTest::addColumn<QString>("friendly");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("description");
    QTest::newRow("adapter") << "Silicon Labs CP210x USB to UART Bridge (COM3)"
                             << "COM3"
                             << "Silicon Labs CP210x USB to UART Bridge";
    QTest::newRow("case of the suffix") << "USB Serial Port (com7)"
                                        << "COM7"
                                        << "USB Serial Port";
    QTest::newRow("another port's number") << "USB Serial Port (COM12)"
                                           << "COM1"
                                           << "USB Serial Port (COM12)";
    QTest::newRow("no suffix") << "Communications Port"
                               << "COM1"
                               << "Communications Port";
    QTest::newRow("only the suffix") << " (COM1)"
                                     << "COM1"
                                     << " (COM1)";
    QTest::newRow("empty") << ""
                           << "COM1"
                           << "";
}

void TestWin32Mapping::description() {
    QFETCH(QString, friendly);
    QFETCH(QString, port);
    QFETCH(QString, description);
    QCOMPARE(QString::fromStdString(DescriptionOf(friendly.toStdString(), port.toStdString())),
             description);
}

QTEST_APPLESS_MAIN(TestWin32Mapping)
#include "test_win32_mapping.moc"
