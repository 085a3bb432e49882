// The window through the network (loopback only): the virtual instrument behind a transparent
// serial server (tcp://, QV and Modbus RTU as on a wire) and behind a Modbus TCP gateway
// (modbus-tcp://). Connecting never blocks the window, a failure says why and keeps the line
// in use, a gateway's "nobody there" is silence, and a dropped connection comes back by
// itself with polling resumed.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QComboBox>
#include <QLabel>
#include <QSlider>
#include <QStatusBar>
#include <QtTest>
#include <memory>
#include <mutex>
#include <vector>

#include "AppHarness.h"
#include "BoxCloser.h"
#include "InstrumentSetups.h"
#include "exchange/FrameTap.h"
#include "line/LineTableModel.h"
#include "line/LineWindow.h"
#include "monitor/FrameRows.h"
#include "sim/BusList.h"
#include "sim/TcpGateway.h"
#include "sim/VirtualBus.h"
#include "ui/PortWatch.h"
#include "ui/SetupFile.h"
#include "ui_Unit1.h"

using sim::GatewayKind;
using sim::Protocol;

namespace {

constexpr int Wait = 15000;  // generous: these machines are shared and noisy

// A loopback port nobody listens on: bound, never listened to, so a connection is refused.
struct RefusingPort {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    uint16_t port = 0;
    RefusingPort() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port = ntohs(address.sin_port);
    }
    ~RefusingPort() { ::close(fd); }
};

}  // namespace

class TestGatewayWindow : public QObject {
    Q_OBJECT
    AppHarness app;
    std::unique_ptr<sim::TcpGateway> gateway;

    void StartBehind(GatewayKind kind, Protocol protocol, uint16_t address) {
        const sim::Config config = Instrument(protocol, address, 3);
        app.Start(&config, protocol == Protocol::Modbus, QString(),
                  [this, kind](const QString& device) {
                      sim::GatewayOptions options;
                      options.kind = kind;
                      gateway = std::make_unique<sim::TcpGateway>(device.toStdString(), options);
                      gateway->Start();
                      return QString::fromStdString(gateway->Url());
                  });
        QTRY_VERIFY_WITH_TIMEOUT(app.window->ComPort->Connected(), Wait);
        QVERIFY(app.errors.isEmpty());
        app.SetAddress(address);
    }

    QString PortField() const {
        return app.window->findChild<QLabel*>(QStringLiteral("PortField"))->text();
    }

    // The settings dialog, shown as the window shows it, with `port` typed.
    void ChoosePort(const QString& port, int protocolIsModbus) {
        SettingForm->LoadSettings(app.window->ComPort->Port(), SpeedIndex, ProtocolIsModbus);
        SettingForm->open();
        QVERIFY(QTest::qWaitForWindowExposed(SettingForm));
        SettingForm->ui->ComboBox1->setEditText(port);
        SettingForm->ui->ComboBox3->setCurrentIndex(protocolIsModbus);
    }

private slots:
    void cleanup() {
        app.Stop();
        gateway.reset();
    }

    // Reads and polling through each kind of gateway, in each protocol it carries.
    void exchangeThroughAGateway_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("protocol");
        QTest::newRow("transparent, QV") << int(GatewayKind::Transparent) << int(Protocol::Qv);
        QTest::newRow("transparent, Modbus RTU")
            << int(GatewayKind::Transparent) << int(Protocol::Modbus);
        QTest::newRow("Modbus TCP") << int(GatewayKind::ModbusTcp) << int(Protocol::Modbus);
    }
    void exchangeThroughAGateway() {
        QFETCH(int, kind);
        QFETCH(int, protocol);
        StartBehind(GatewayKind(kind), Protocol(protocol), 7);
        app.instrument->Model().SetParameterSetup(1, 100.0f, 1, 1);
        app.instrument->Model().FreezeValue(1, 42.5f);
        app.instrument->Model().Change([](sim::InstrumentState& s) { s.brightness = 2; });
        app.ui().ToolButton2->click();
        app.ui().BitBtn9->click();  // brightness
        QTRY_COMPARE_WITH_TIMEOUT(app.ui().TrackBar1->value(), 2, Wait);

        app.ui().ToolButton1->click();
        app.ui().CheckBox1->setChecked(true);
        app.ui().CheckBox2->setChecked(false);
        app.ui().CheckBox3->setChecked(false);
        app.ui().Edit1->setText(QStringLiteral("20"));
        app.ui().BitBtn1->click();
        QTRY_COMPARE_WITH_TIMEOUT(app.PanelText(1), QStringLiteral(" 42.50"), Wait);
        app.ui().BitBtn2->click();
        QVERIFY2(app.errors.isEmpty(), qPrintable(app.errors.join('\n')));
    }

    // The search finds the instrument's address and protocol through the gateway: both
    // protocols through a transparent server, Modbus through a Modbus TCP gateway (whose
    // search goes to the service unit).
    void searchThroughAGateway_data() { exchangeThroughAGateway_data(); }
    void searchThroughAGateway() {
        QFETCH(int, kind);
        QFETCH(int, protocol);
        StartBehind(GatewayKind(kind), Protocol(protocol), 23);
        app.ForgetAddress();
        ProtocolIsModbus = protocol == int(Protocol::Modbus) ? 0 : 1;  // the other one
        app.ui().BitBtn21->click();
        QTRY_COMPARE_WITH_TIMEOUT(app.ui().EditAdr->text(), QStringLiteral("23"), Wait);
        QTRY_COMPARE_WITH_TIMEOUT(int(ProtocolIsModbus), protocol == int(Protocol::Modbus) ? 1 : 0,
                                  Wait);
        QTRY_COMPARE_WITH_TIMEOUT(int(ExchangeState.load()), int(ExchangeStates::Single), Wait);
        QVERIFY2(app.errors.isEmpty(), qPrintable(app.errors.join('\n')));
    }

    // A Modbus TCP gateway answers for an address nobody holds with exception 0x0B: the
    // window says the instrument does not answer, never that it refused.
    void nobodyBehindTheGatewayIsSilence() {
        StartBehind(GatewayKind::ModbusTcp, Protocol::Modbus, 7);
        app.SetAddress(9);
        app.ui().ToolButton2->click();
        app.ui().BitBtn9->click();
        QTRY_COMPARE_WITH_TIMEOUT(app.errors.size(), 1, Wait);
        QVERIFY2(app.errors[0].startsWith(QStringLiteral("Прибор не отвечает")),
                 qPrintable(app.errors[0]));
    }

    // A connection that cannot be made: the click returns at once (the connection is made in
    // the background), the message says why and names both ports, the line in use stays.
    void refusedGatewayKeepsTheLineInUse() {
        StartBehind(GatewayKind::Transparent, Protocol::Modbus, 7);
        const QString working = app.window->ComPort->Port();
        RefusingPort refusing;
        QVERIFY(refusing.port != 0);
        const QString url = QStringLiteral("tcp://127.0.0.1:%1").arg(refusing.port);
        ChoosePort(url, 1);
        BoxCloser boxes;
        SettingForm->ui->Button1->click();
        QTRY_COMPARE_WITH_TIMEOUT(boxes.seen.size(), 1, Wait);
        QVERIFY2(boxes.seen[0].text.contains(QStringLiteral("Порт %1 не открыт").arg(url)) &&
                     boxes.seen[0].text.contains(working),
                 qPrintable(boxes.seen[0].text));
        QVERIFY2(boxes.seen[0].text.contains(QStringLiteral("refused"), Qt::CaseInsensitive) ||
                     boxes.seen[0].text.contains(QStringLiteral("отказ"), Qt::CaseInsensitive),
                 qPrintable(boxes.seen[0].text));
        QTRY_VERIFY_WITH_TIMEOUT(app.window->ComPort->Connected(), Wait);
        QCOMPARE(app.window->ComPort->Port(), working);
        SettingForm->ui->Button2->click();
    }

    // QV cannot pass a Modbus TCP gateway: refused before anything is closed or connected.
    void qvThroughModbusTcpIsRefused() {
        StartBehind(GatewayKind::ModbusTcp, Protocol::Modbus, 7);
        const QString working = app.window->ComPort->Port();
        ChoosePort(QStringLiteral("modbus-tcp://127.0.0.1:1"), 0);
        BoxCloser boxes;
        SettingForm->ui->Button1->click();
        QTRY_COMPARE_WITH_TIMEOUT(boxes.seen.size(), 1, Wait);
        QVERIFY2(boxes.seen[0].text.contains(QStringLiteral("Modbus TCP")),
                 qPrintable(boxes.seen[0].text));
        QVERIFY(app.window->ComPort->Connected());
        QCOMPARE(app.window->ComPort->Port(), working);
        QCOMPARE(int(ProtocolIsModbus), 1);
        SettingForm->ui->Button2->click();
    }

    // A gateway chosen in the dialog is connected and remembered for the port list.
    void chosenGatewayIsRemembered() {
        StartBehind(GatewayKind::Transparent, Protocol::Modbus, 7);
        const QString url = app.window->ComPort->Port();
        Tz::PortOverride.clear();  // chosen by the operator, not given for the run
        ChoosePort(url, 1);
        SettingForm->ui->Button1->click();
        QTRY_VERIFY_WITH_TIMEOUT(!SettingForm->isVisible(), Wait);
        QVERIFY(app.window->ComPort->Connected());
        QCOMPARE(SetupFile::ReadNetwork(SetupFile::Path()).recent, QStringList{url});
        ChoosePort(url, 1);
        bool offered = false;
        for (int i = 0; i < SettingForm->ui->ComboBox1->count(); ++i)
            offered = offered || SettingForm->ui->ComboBox1->itemData(i, Qt::EditRole) == url;
        QVERIFY(offered);
        SettingForm->ui->Button2->click();
    }

    // The frame monitor sees what travelled: through a Modbus TCP gateway the MBAP header
    // apart from the PDU, request and answer under one transaction id; through a transparent
    // server the frame as on a wire.
    void framesShowTheMbapHeader_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("Modbus TCP") << int(GatewayKind::ModbusTcp);
        QTest::newRow("transparent") << int(GatewayKind::Transparent);
    }
    void framesShowTheMbapHeader() {
        QFETCH(int, kind);
        StartBehind(GatewayKind(kind), Protocol::Modbus, 7);
        struct Collect : TFrameTap {
            std::mutex lock;
            std::vector<TFrameEvent> events;
            void FrameEvent(TFrameEvent&& event) override {
                const std::lock_guard<std::mutex> hold(lock);
                events.push_back(std::move(event));
            }
            size_t Count() {
                const std::lock_guard<std::mutex> hold(lock);
                return events.size();
            }
        } collect;
        FrameTap = &collect;
        app.ui().ToolButton2->click();
        app.ui().BitBtn9->click();  // brightness: 07 03 03 EE 00 01
        QTRY_VERIFY_WITH_TIMEOUT(collect.Count() >= 2 && !AwaitingAnswer, Wait);
        FrameTap = nullptr;
        const TFrameEvent& request = collect.events[0];
        const TFrameEvent& answer = collect.events[1];
        QCOMPARE(int(request.kind), int(TFrameEvent::Kind::Request));
        QCOMPARE(int(answer.kind), int(TFrameEvent::Kind::Answer));
        TFrameRow row;
        row.bytes = request.bytes;
        row.header = request.transportHeader;
        if (GatewayKind(kind) == GatewayKind::Transparent) {
            QVERIFY(request.transportHeader.isEmpty() && answer.transportHeader.isEmpty());
            QVERIFY(FrameBytesText(row).startsWith(QStringLiteral("07 03 03 EE 00 01 ")));
            return;
        }
        QCOMPARE(request.transportHeader.size(), 7);
        QCOMPARE(answer.transportHeader.left(2), request.transportHeader.left(2));
        const QString transaction =
            QString::fromLatin1(request.transportHeader.left(2).toHex(' ').toUpper());
        QCOMPARE(FrameBytesText(row),
                 QStringLiteral("MBAP %1 00 00 00 06 07 | PDU 03 03 EE 00 01").arg(transaction));
        // the answer: unit 7, function 3, two data bytes
        QCOMPARE(QString::fromLatin1(answer.transportHeader.mid(2).toHex(' ').toUpper()),
                 QStringLiteral("00 00 00 05 07"));
    }

    // The line view scans a line behind a gateway and lists only the instruments that
    // answered: both protocols through a transparent server; Modbus through a Modbus TCP
    // gateway, whose no-answer exceptions for the empty addresses are silence.
    void lineViewScansBehindAGateway_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("transparent")
            << int(GatewayKind::Transparent) << QStringList{"12 QV", "9 Modbus RTU"};
        QTest::newRow("Modbus TCP") << int(GatewayKind::ModbusTcp) << QStringList{"9 Modbus RTU"};
    }
    void lineViewScansBehindAGateway() {
        QFETCH(int, kind);
        QFETCH(QStringList, found);
        std::vector<sim::Config> configs;
        std::string error;
        QVERIFY(sim::ParseBus("qv:12,modbus:9", configs, error));
        sim::VirtualBus bus(configs);
        bus.Start();
        sim::GatewayOptions options;
        options.kind = GatewayKind(kind);
        gateway = std::make_unique<sim::TcpGateway>(bus.DevicePath(), options);
        gateway->Start();
        app.Start(nullptr, true, QString::fromStdString(gateway->Url()));
        QTRY_VERIFY_WITH_TIMEOUT(app.window->ComPort->Connected(), Wait);
        auto* line = new TLineWindow(*app.window, app.window.get());
        line->SetRange(8, 13);
        line->SetSpeeds(TLineWindow::Speeds::Current);
        line->SetProtocols(GatewayKind(kind) == GatewayKind::ModbusTcp
                               ? TLineWindow::Protocols::Modbus
                               : TLineWindow::Protocols::Both);
        QVERIFY(line->StartScan());
        QVERIFY(QTest::qWaitFor([line] { return !line->OwnsLine(); }, 4 * Wait));
        QStringList rows;
        for (int r = 0; r < line->Model().rowCount(); ++r)
            rows << line->Model().Cell(r, TLineTableModel::Address) + QLatin1Char(' ') +
                        line->Model().Cell(r, TLineTableModel::Protocol);
        rows.sort();
        QCOMPARE(rows, found);
        delete line;
        app.Stop();
        gateway.reset();
    }

    // The gateway drops the connection while polling: the operator is told in plain words,
    // the window connects again by itself and polling goes on.
    void droppedConnectionComesBack() {
        StartBehind(GatewayKind::Transparent, Protocol::Modbus, 7);
        app.instrument->Model().FreezeValue(1, 12.0f);
        app.ui().CheckBox1->setChecked(true);
        app.ui().CheckBox2->setChecked(false);
        app.ui().CheckBox3->setChecked(false);
        app.ui().Edit1->setText(QStringLiteral("20"));
        app.ui().BitBtn1->click();
        QVERIFY(app.WaitForFrames(5, Wait));
        const size_t connections = gateway->Connections();
        gateway->DropConnection();
        QTRY_VERIFY_WITH_TIMEOUT(gateway->Connections() > connections, Wait);
        QTRY_VERIFY_WITH_TIMEOUT(
            app.window->StatusText().contains(QStringLiteral("опрос продолжается")), Wait);
        QVERIFY2(!app.errors.isEmpty() && app.errors[0].contains(QStringLiteral("шлюз")),
                 qPrintable(app.errors.join('\n')));
        const size_t frames = app.instrument->ReceivedFrames().size();
        QVERIFY(app.WaitForFrames(frames + 5, Wait));
        QVERIFY(PortField().contains(QStringLiteral("подключён снова")));
        app.ui().BitBtn2->click();
    }
};

QTEST_MAIN(TestGatewayWindow)
#include "test_gateway_window.moc"
