// The device goes away while values are polled and comes back on another pseudo-terminal
// under the same by-id name (a symlink stands for it): the operator is told once, in plain
// words with the system's reason, and the program reconnects and goes on polling by itself.
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "AppHarness.h"
#include "serial/SerialPort.h"
#include "ui/PortList.h"
#include "ui/PortWatch.h"

namespace {

constexpr int Wait = 10000;  // generous: these machines are shared and noisy

std::unique_ptr<sim::VirtualInstrument> Instrument(float value) {
    sim::Config config;
    config.protocol = sim::Protocol::Modbus;
    config.address = 1;
    auto instrument = std::make_unique<sim::VirtualInstrument>(config);
    instrument->Model().SetParameterSetup(1, 100.0f, 1, 2);
    instrument->Model().FreezeValue(1, value);
    instrument->Start();
    return instrument;
}

QString Path(const sim::VirtualInstrument& instrument) {
    return QString::fromStdString(instrument.DevicePath());
}

}  // namespace

class TestPortWatch : public QObject {
    Q_OBJECT
    AppHarness app;
    QTemporaryDir FDir;

    QString PortField() {
        auto* field = app.window->findChild<QLabel*>(QStringLiteral("PortField"));
        return field ? field->text() : QString();
    }

private slots:
    // A port that fails to open: a message that names a system call carries the system's
    // reason (a console given as the port failed its set-up with no word of why); a message
    // that says what is wrong stands as it is.
    void openFailureTextCarriesTheReason_data() {
        QTest::addColumn<int>("message");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("reasonShown");
        QTest::newRow("set-up of the line") << 6 << EIO << true;
        QTest::newRow("purge") << 5 << EIO << true;
        QTest::newRow("no such port") << 0 << ENOENT << false;
        QTest::newRow("busy") << 1 << EBUSY << false;
        QTest::newRow("not a serial port") << 15 << ENOTTY << false;
    }
    void openFailureTextCarriesTheReason() {
        QFETCH(int, message);
        QFETCH(int, code);
        QFETCH(bool, reasonShown);
        errno = code;  // as right after the failed call
        const ESerialPort failure(message);
        const QString text = TPortWatch::OpenFailureText(failure);
        const QString reason = QString::fromLocal8Bit(std::strerror(code));
        QVERIFY2(text.startsWith(failure.Message()), qPrintable(text));
        QCOMPARE(text == failure.Message() + QStringLiteral(": ") + reason, reasonShown);
        if (!reasonShown) QCOMPARE(text, failure.Message());
    }

    void init() { AwaitingAnswer = false; }
    void cleanup() {
        app.Stop();
        app.desktop.portDetails = nullptr;
    }

    void reconnectsAndResumesPolling_data() {
        QTest::addColumn<bool>("openedByKernelName");
        QTest::newRow("opened by its by-id name") << false;
        QTest::newRow("opened by its kernel name") << true;
    }

    void reconnectsAndResumesPolling() {
        QFETCH(bool, openedByKernelName);
        const QString byId = FDir.filePath(QStringLiteral("usb-Tessera_Adapter_0042-if00-port0"));
        QFile::remove(byId);
        app.instrument = Instrument(12.5f);
        const QString first = Path(*app.instrument);
        QVERIFY(QFile::link(first, byId));
        // The system knows the kernel device by its by-id name while it is plugged in.
        app.desktop.portDetails = [first, byId](std::vector<serial_backend::PortInfo>& ports) {
            ports.clear();
            if (QFileInfo::exists(first))
                ports.push_back(
                    {"pts", first.toStdString(), byId.toStdString(), "Tessera adapter"});
            return true;
        };
        app.Start(nullptr, true, openedByKernelName ? first : byId);
        app.SetAddress(1);
        QVERIFY(app.window->ComPort->Connected());
        QCOMPARE(PortField(), QStringLiteral("Порт: ") + (openedByKernelName ? first : byId));
        app.ui().CheckBox1->setChecked(true);
        app.ui().Edit1->setText(QStringLiteral("20"));
        app.ui().ToolButton1->click();
        app.ui().BitBtn1->click();
        QTRY_COMPARE_WITH_TIMEOUT(app.PanelText(1), QStringLiteral("  12.5"), Wait);

        app.instrument->Vanish();
        QTRY_COMPARE_WITH_TIMEOUT(app.errors.size(), 1, Wait);
        const QString told = app.errors.first();
        qInfo() << "told:" << told;
        const int lineMessages[] = {3, 4, 5, 9};
        QVERIFY2(std::any_of(std::begin(lineMessages), std::end(lineMessages),
                             [&](int i) {
                                 return told.startsWith(QString::fromUtf8(SerialPortMessages[i]));
                             }),
                 qPrintable(told));
        QVERIFY2(told.contains(QString::fromLocal8Bit(std::strerror(EIO))), qPrintable(told));
        QVERIFY2(told.contains(QStringLiteral("отключено")), qPrintable(told));
        QVERIFY2(told.contains(QStringLiteral("продолжит опрос")), qPrintable(told));
        QTRY_COMPARE_WITH_TIMEOUT(PortField(),
                                  QStringLiteral("Порт %1: ожидание устройства").arg(byId), Wait);

        // Plugged back: another pty, another instrument, the same by-id name.
        auto second = Instrument(1.25f);
        QVERIFY(QFile::remove(byId));
        QVERIFY(QFile::link(Path(*second), byId));
        QTRY_COMPARE_WITH_TIMEOUT(app.PanelText(1), QStringLiteral("   1.3"), Wait);
        QTRY_VERIFY_WITH_TIMEOUT(second->ReceivedFrames().size() >= 6, Wait);  // and it goes on
        QCOMPARE(app.window->ComPort->Port(), byId);
        QVERIFY2(PortField().startsWith(QStringLiteral("Порт: %1 (подключён снова в ").arg(byId)),
                 qPrintable(PortField()));
        QCOMPARE(app.errors.size(), 1);

        // Gone again soon after: a flaky contact is told in the status bar, not box on box,
        // and the next return is taken up the same way.
        second->Vanish();
        QTRY_COMPARE_WITH_TIMEOUT(PortField(),
                                  QStringLiteral("Порт %1: ожидание устройства").arg(byId), Wait);
        auto third = Instrument(3.75f);
        QVERIFY(QFile::remove(byId));
        QVERIFY(QFile::link(Path(*third), byId));
        QTRY_COMPARE_WITH_TIMEOUT(app.PanelText(1), QStringLiteral("   3.8"), Wait);
        QCOMPARE(app.errors.size(), 1);
        app.Stop();
        QFile::remove(byId);
    }
};

QTEST_MAIN(TestPortWatch)
#include "test_portwatch.moc"
