// The serial port list with stable names and adapters, read from a fake /sys and /dev laid
// out in a temporary folder the way Linux lays them out.
#include <unistd.h>

#include <QtTest>

#include "serial/SerialBackend.h"

using serial_backend::PortInfo;

namespace {

class FakeSystem {
public:
    FakeSystem() { QVERIFY(FRoot.isValid()); }
    std::string Root() const { return FRoot.path().toStdString(); }

    void File(const QString& path, const QByteArray& content) {
        const QString full = FRoot.filePath(path);
        QDir().mkpath(QFileInfo(full).path());
        QFile file(full);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    void Dir(const QString& path) { QVERIFY(QDir().mkpath(FRoot.filePath(path))); }
    // A relative symlink, as sysfs and udev make them.
    void Link(const QString& path, const QByteArray& target) {
        const QString full = FRoot.filePath(path);
        QDir().mkpath(QFileInfo(full).path());
        QVERIFY(::symlink(target.constData(), full.toLocal8Bit().constData()) == 0);
    }
    // A USB serial port: the USB device (with its attribute files) > interface > port.
    void UsbPort(const QString& name, const QString& usbDevice, const QByteArray& maker,
                 const QByteArray& model, const QByteArray& vendorId, const QByteArray& productId) {
        const QString device = "sys/devices/pci0000:00/usb1/" + usbDevice;
        File(device + "/idVendor", vendorId + "\n");
        File(device + "/idProduct", productId + "\n");
        if (!maker.isEmpty()) File(device + "/manufacturer", maker + "\n");
        if (!model.isEmpty()) File(device + "/product", model + "\n");
        Dir(device + "/" + usbDevice + ":1.0/" + name);
        Dir("sys/class/tty/" + name);
        Link("sys/class/tty/" + name + "/device",
             ("../../../devices/pci0000:00/usb1/" + usbDevice + "/" + usbDevice + ":1.0/" + name)
                 .toLocal8Bit());
    }

private:
    QTemporaryDir FRoot;
};

QStringList Describe(const std::vector<PortInfo>& ports) {
    QStringList lines;
    for (const PortInfo& p : ports)
        lines << QString::fromStdString(p.name + " | " + p.path + " | " + p.stablePath + " | " +
                                        p.description);
    return lines;
}

}  // namespace

class TestPortDetails : public QObject {
    Q_OBJECT

private slots:
    void portsWithStableNamesAndAdapters() {
        FakeSystem fake;
        fake.UsbPort("ttyUSB0", "1-1", "FTDI", "FT232R USB UART", "0403", "6001");
        fake.UsbPort("ttyACM0", "1-2", "", "", "2341", "0043");  // no strings: the ids
        fake.UsbPort("ttyUSB1", "1-3", "", "CP2102 USB to UART", "10c4", "ea60");
        fake.File("sys/class/tty/ttyS0/type", "4\n");  // a real UART
        fake.Link("sys/class/tty/ttyS0/device", "../../../devices/pnp0/00:01");
        fake.Dir("sys/devices/pnp0/00:01");
        fake.File("sys/class/tty/ttyS1/type", "0\n");  // registered, no UART behind it
        fake.Dir("sys/class/tty/tty0");                // a virtual terminal
        fake.Dir("sys/class/tty/console");
        fake.Link("dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "../../ttyUSB0");
        fake.Link("dev/serial/by-id/usb-Arduino_Uno_7543-if00", "../../ttyACM0");

        std::vector<PortInfo> ports;
        QVERIFY(serial_backend::ListPortDetails(ports, fake.Root()));
        const QStringList expected = {
            "ttyACM0 | /dev/ttyACM0 | /dev/serial/by-id/usb-Arduino_Uno_7543-if00 | USB 2341:0043",
            "ttyS0 | /dev/ttyS0 |  | ",
            "ttyUSB0 | /dev/ttyUSB0 | "
            "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0 "
            "| FTDI FT232R USB UART",
            "ttyUSB1 | /dev/ttyUSB1 |  | CP2102 USB to UART",
        };
        QCOMPARE(Describe(ports), expected);
    }

    // Two stable names for one port: the first by name is kept.
    void firstStableNameWins() {
        FakeSystem fake;
        fake.UsbPort("ttyUSB0", "1-1", "A", "B", "0001", "0002");
        fake.Link("dev/serial/by-id/usb-z", "../../ttyUSB0");
        fake.Link("dev/serial/by-id/usb-a", "../../ttyUSB0");
        std::vector<PortInfo> ports;
        QVERIFY(serial_backend::ListPortDetails(ports, fake.Root()));
        QCOMPARE(ports.size(), size_t(1));
        QCOMPARE(QString::fromStdString(ports[0].stablePath),
                 QStringLiteral("/dev/serial/by-id/usb-a"));
    }

    void noSysfsIsAFailure() {
        FakeSystem fake;
        std::vector<PortInfo> ports(1);
        QVERIFY(!serial_backend::ListPortDetails(ports, fake.Root()));
    }

    void noPortsIsAnEmptyList() {
        FakeSystem fake;
        fake.Dir("sys/class/tty/tty1");
        std::vector<PortInfo> ports(2);
        QVERIFY(serial_backend::ListPortDetails(ports, fake.Root()));
        QVERIFY(ports.empty());
    }
};

QTEST_APPLESS_MAIN(TestPortDetails)
#include "test_port_details.moc"
