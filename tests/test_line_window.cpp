// The "Линия" window against a virtual bus on a pseudo-terminal, with the main window on the
// same line: a QV instrument, a slow Modbus RTU one, one at another speed and two sharing an
// address. The scan finds each with its address, protocol and speed and reports the
// collision; the watch shows each instrument's own values in its own row; "Открыть" switches
// the main window to the instrument; while the window works the main window's exchange is
// held and no request overlaps another (counted on the instruments' side); closing the window
// gives the line back. One bus and one program for the whole run: the line is scanned once
// (scanFindsTheLine), and the later cases work with what it found.
#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "AppHarness.h"
#include "commissioning/Commissioning.h"
#include "line/LineWindow.h"
#include "lineowner/LineOwner.h"
#include "protocol/Requests.h"
#include "protocol/Units.h"
#include "registers/RegistersWindow.h"
#include "sim/BusList.h"
#include "sim/VirtualBus.h"

namespace {

constexpr int Wait = 10000;
// The slow instrument's answer delay, well inside the full wait.
constexpr int SlowMs = 200;

// Index on the bus: what each instrument is.
enum Bus { QvAt12, SlowAt9, FastAt30, SharedA, SharedB };

std::vector<sim::Config> Instruments() {
    std::vector<sim::Config> configs;
    std::string error;
    const std::string list =
        "qv:12,modbus:9+" + std::to_string(SlowMs) + "ms,modbus:30@19200,modbus:20,modbus:20";
    if (!sim::ParseBus(list, configs, error)) qFatal("bad bus: %s", error.c_str());
    return configs;
}

// Whether `station` heard exactly this request.
bool Heard(const sim::Station& station, const protocol::Request& request, uint16_t address,
           protocol::Protocol protocol) {
    const std::vector<uint8_t> frame = protocol::BuildRequest(request, address, protocol).bytes;
    for (const sim::Bytes& heard : station.ReceivedFrames())
        if (heard == frame) return true;
    return false;
}

QString RowText(const TLineTableModel& model, int row) {
    return QStringLiteral("%1 %2 %3")
        .arg(model.Cell(row, TLineTableModel::Address), model.Cell(row, TLineTableModel::Protocol),
             model.Cell(row, TLineTableModel::Speed));
}

}  // namespace

class TestLineWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<sim::VirtualBus> bus;
    AppHarness app;
    TLineWindow* window = nullptr;
    QMenu* menu = nullptr;

    bool Idle() {
        return QTest::qWaitFor([this] { return !window->OwnsLine(); }, 3 * Wait);
    }

    // Scans 9..30 at 9600 and 19200 in both protocols and waits for the end.
    bool Scan() {
        window->SetRange(9, 30);
        window->SetSpeeds(TLineWindow::Speeds::List, QStringLiteral("9600, 19200"));
        window->SetProtocols(TLineWindow::Protocols::Both);
        return window->StartScan() && Idle();
    }

    std::vector<bool> OwnButtonsEnabled() {
        std::vector<bool> enabled;
        for (QAbstractButton* own : app.window->OwnExchangeButtons())
            enabled.push_back(own->isEnabled());
        return enabled;
    }

    int Row(uint16_t address, protocol::Protocol protocol, int32_t baud) {
        return window->Model().RowOf(address, protocol, baud);
    }

private slots:
    void initTestCase() {
        bus = std::make_unique<sim::VirtualBus>(Instruments());
        for (size_t i = 0; i < bus->Size(); ++i)
            bus->Instrument(i).Model().Change([i](sim::InstrumentState& s) {
                s.serialNumber = uint16_t(100 + i);
                s.year = 24;
                s.parameters[0].unitCode = 1;
                s.parameters[0].pointCode = 2;
            });
        bus->Instrument(QvAt12).Model().SetInfoText("QV 12");
        bus->Start();
        app.Start(nullptr, true, QString::fromStdString(bus->DevicePath()));
        menu = app.window->Commissioning->MenuButton()->menu();
        TLineWindow::AddToWindow(*menu, *app.window);
        auto* button = app.window->findChild<QToolButton*>(QStringLiteral("ToolButtonLine"));
        QVERIFY(button);
        QCOMPARE(button->text(), QStringLiteral("Линия"));
        QCOMPARE(button->toolTip(), QStringLiteral("Приборы на линии"));
        QVERIFY(button->x() > app.ui().ToolButton4->x());
        button->click();
        window = app.window->findChild<TLineWindow*>();
        QVERIFY(window);
        QVERIFY(window->isVisible());
    }
    void cleanupTestCase() {
        window = nullptr;
        app.Stop();
        bus.reset();
    }
    // Each case starts with the window shown and idle, every instrument ticked and well.
    void init() {
        window->show();
        QVERIFY(Idle());
        for (int r = 0; r < window->Model().rowCount(); ++r) window->Model().SetTicked(r, true);
        for (size_t i = 0; i < bus->Size(); ++i) bus->Instrument(i).ClearFaults();
    }

    void menuOpensTheSameWindow() {
        QAction* action = menu->findChild<QAction*>(QStringLiteral("ActionLine"));
        QVERIFY(action);
        window->close();
        action->trigger();
        QCOMPARE(app.window->findChildren<TLineWindow*>().size(), 1);
        QVERIFY(window->isVisible());
    }

    // Every instrument with its address, protocol and speed, the serial number it told, the
    // units and information text read afterwards; the shared address as a collision.
    void scanFindsTheLine() {
        QVERIFY(!window->LineOwnerLabel()->isVisible());
        const std::vector<bool> enabled = OwnButtonsEnabled();
        QVERIFY(Scan());
        TLineTableModel& m = window->Model();
        QStringList rows;
        for (int r = 0; r < m.rowCount(); ++r) rows << RowText(m, r);
        rows.sort();  // in the order found
        QCOMPARE(rows, QStringList({"12 QV 9600", "20 Modbus RTU 9600", "30 Modbus RTU 19200",
                                    "9 Modbus RTU 9600"}));
        const int qv = Row(12, protocol::Protocol::Qv, 9600);
        QCOMPARE(m.Cell(qv, TLineTableModel::Serial), QStringLiteral("240100 / 2024"));
        QCOMPARE(m.Cell(Row(9, protocol::Protocol::Modbus, 9600), TLineTableModel::Serial),
                 QStringLiteral("240101 / 2024"));
        QCOMPARE(m.Cell(Row(30, protocol::Protocol::Modbus, 19200), TLineTableModel::Serial),
                 QStringLiteral("240102 / 2024"));
        QVERIFY(m.At(Row(20, protocol::Protocol::Modbus, 9600)).IsCollision());
        QCOMPARE(m.Cell(qv, TLineTableModel::Info), QStringLiteral("QV 12"));
        QVERIFY(m.Cell(qv, TLineTableModel::Units)
                    .startsWith(QString::fromStdString(protocol::UnitName(1))));
        QVERIFY(window->ProgressLabel()->text().contains(QStringLiteral("найдено: 4")));
        QVERIFY(window->StatusLabel()->text().contains(QStringLiteral("найдено 4")));
        // The main window has the line back, at its own speed.
        QVERIFY(!window->LineOwnerLabel()->isVisible());
        QCOMPARE(app.window->ComPort->BitsPerSecond(), 9600);
        QCOMPARE(OwnButtonsEnabled(), enabled);
    }

    // Each instrument's own values in its own row; nothing else on the wire meanwhile, no
    // request before the answer to the one before (the slow instrument's included).
    void watchShowsEachOwnValues() {
        const struct {
            Bus index;
            uint16_t address;
            protocol::Protocol protocol;
            int32_t baud;
            float value;
        } watched[] = {{QvAt12, 12, protocol::Protocol::Qv, 9600, 12.5f},
                       {SlowAt9, 9, protocol::Protocol::Modbus, 9600, 9.5f},
                       {FastAt30, 30, protocol::Protocol::Modbus, 19200, 30.5f}};
        for (const auto& w : watched) {
            bus->Instrument(w.index).Model().FreezeValue(1, w.value);
            bus->Instrument(w.index).ClearReceived();
        }
        const size_t heardBefore = bus->Instrument(SlowAt9).RequestsHeard();
        const size_t collisionsBefore = bus->Collisions();
        const size_t sentBefore = window->Worker().RequestsSent();
        size_t answeredBefore = 0;
        for (const auto& w : watched) answeredBefore += bus->Instrument(w.index).AnswersSent();
        window->WatchButton()->click();
        QVERIFY(window->OwnsLine());
        QVERIFY(window->LineOwnerLabel()->isVisible());
        TLineTableModel& m = window->Model();
        for (const auto& w : watched) {
            const int row = Row(w.address, w.protocol, w.baud);
            const QString expected = QString::number(double(w.value), 'f', 1) + ' ' +
                                     QString::fromStdString(protocol::UnitName(1));
            QTRY_COMPARE_WITH_TIMEOUT(m.Cell(row, TLineTableModel::Value1), expected, 3 * Wait);
        }
        window->WatchButton()->click();
        QVERIFY(Idle());
        QVERIFY(!window->LineOwnerLabel()->isVisible());
        // Every request the window sent was answered by its own instrument: none overlapped
        // another (it would have garbled both), the slow instrument's included.
        const size_t sent = window->Worker().RequestsSent() - sentBefore;
        auto answered = [&] {
            size_t total = 0;
            for (const auto& w : watched) total += bus->Instrument(w.index).AnswersSent();
            return total - answeredBefore;
        };
        QTRY_COMPARE_WITH_TIMEOUT(answered(), sent, Wait);
        QVERIFY(bus->Instrument(SlowAt9).RequestsHeard() > heardBefore);
        for (const auto& w : watched) {
            const int row = Row(w.address, w.protocol, w.baud);
            QVERIFY(m.At(row).answers > 0);
            QCOMPARE(m.At(row).unanswered, 0);
            QCOMPARE(m.Cell(row, TLineTableModel::State), QStringLiteral("отвечает"));
        }
        // The collision was not watched: no answers overlapped.
        QCOMPARE(bus->Collisions(), collisionsBefore);
    }

    // A value that stops coming is greyed with the time of its last good answer.
    void silentInstrumentGoesStale() {
        TLineTableModel& m = window->Model();
        for (int r = 0; r < m.rowCount(); ++r)
            m.SetTicked(r, r == Row(12, protocol::Protocol::Qv, 9600));
        bus->Instrument(QvAt12).Model().FreezeValue(1, 1.5f);
        const int row = Row(12, protocol::Protocol::Qv, 9600);
        window->SetWatching(true);
        QTRY_VERIFY_WITH_TIMEOUT(m.At(row).parameters[0].value.has_value(), Wait);
        bus->Instrument(QvAt12).SetFaults(Fault([](sim::Faults& f) {
            f.silence = true;
            f.count = 1000;
        }));
        QTRY_VERIFY_WITH_TIMEOUT(m.At(row).parameters[0].stale, Wait);
        QVERIFY(m.Cell(row, TLineTableModel::Value1).contains(QStringLiteral("(")));
        QTRY_VERIFY_WITH_TIMEOUT(
            m.Cell(row, TLineTableModel::State).startsWith(QStringLiteral("молчит с ")), Wait);
        window->SetWatching(false);
        QVERIFY(Idle());
    }

    // "Открыть" points the main window at the instrument: address, protocol, speed; the main
    // window's next request reaches it.
    void openSwitchesTheMainWindow_data() {
        QTest::addColumn<int>("address");
        QTest::addColumn<bool>("modbus");
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("index");
        QTest::newRow("QV at 9600") << 12 << false << 9600 << int(QvAt12);
        QTest::newRow("Modbus at 19200") << 30 << true << 19200 << int(FastAt30);
    }
    void openSwitchesTheMainWindow() {
        QFETCH(int, address);
        QFETCH(bool, modbus);
        QFETCH(int, baud);
        QFETCH(int, index);
        const int row = Row(uint16_t(address),
                            modbus ? protocol::Protocol::Modbus : protocol::Protocol::Qv, baud);
        QVERIFY(row >= 0);
        window->Table()->selectRow(row);
        QPushButton* open = window->findChild<QPushButton*>(QStringLiteral("LineOpen"));
        QVERIFY(open);
        open->click();
        QCOMPARE(app.ui().EditAdr->text(), QString::number(address));
        QCOMPARE(int(ProtocolIsModbus.load()), modbus ? 1 : 0);
        QCOMPARE(app.window->ComPort->BitsPerSecond(), baud);
        QCOMPARE(app.window->Baud(), baud);
        QVERIFY(app.window->StatusText().contains(QString::number(address)));
        bus->Instrument(size_t(index)).ClearReceived();
        app.window->ReadSerialNumber();
        QVERIFY(bus->Instrument(size_t(index)).WaitForAnswers(1, Wait));
        QTRY_COMPARE_WITH_TIMEOUT(app.ui().Edit3->text().isEmpty(), false, Wait);
    }

    void collisionDoesNotOpen() {
        const QString before = app.ui().EditAdr->text();
        QVERIFY(!window->Open(Row(20, protocol::Protocol::Modbus, 9600)));
        QCOMPARE(app.ui().EditAdr->text(), before);
        QVERIFY(window->StatusLabel()->text().contains(QStringLiteral("20")));
    }

    // A configuration file on the ticked instruments: the preview shows per instrument only
    // what differs; the write sends only that, never the address, the protocol or a speed;
    // reading back verifies it; a silent instrument is reported as such; the report is saved.
    void batchWritesOnlyWhatDiffers() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("panel.cfg"));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(
                "address = 99\nprotocol = qv\nspeed.line1 = 19200\nbrightness = 2\n"
                "alarm.mode = 3\n");
        }
        for (size_t i = 0; i < bus->Size(); ++i)
            bus->Instrument(i).Model().Change([](sim::InstrumentState& s) {
                s.brightness = 1;
                s.signallingMode = 0;
            });
        // The QV one holds the file's brightness already; the slow one does not answer.
        bus->Instrument(QvAt12).Model().Change([](sim::InstrumentState& s) { s.brightness = 2; });
        bus->Instrument(SlowAt9).SetFaults(Fault([](sim::Faults& f) { f.silence = true; }));
        const struct {
            Bus index;
            uint16_t address;
            protocol::Protocol protocol;
            int32_t baud;
            QString differences;
        } instruments[] = {
            {QvAt12, 12, protocol::Protocol::Qv, 9600, "alarm.mode"},
            {SlowAt9, 9, protocol::Protocol::Modbus, 9600, "не отвечает"},
            {FastAt30, 30, protocol::Protocol::Modbus, 19200, "brightness, alarm.mode"}};

        QVERIFY(window->PreviewBatch(path));
        QVERIFY(Idle());
        TBatchReportModel& report = window->BatchReport();
        QCOMPARE(report.rowCount(), 3);
        for (const auto& i : instruments) {
            TWatchTarget target;
            target.address = i.address;
            target.protocol = i.protocol;
            target.baud = i.baud;
            const int row = report.RowOf(target);
            QVERIFY(row >= 0);
            QCOMPARE(report.Cell(row, TBatchReportModel::Differences), i.differences);
        }
        for (size_t i = 0; i < bus->Size(); ++i) bus->Instrument(i).ClearReceived();
        QPushButton* write = window->findChild<QPushButton*>(QStringLiteral("LineBatchWrite"));
        QVERIFY(write && write->isEnabled());
        write->click();
        QVERIFY(window->OwnsLine());
        QVERIFY(Idle());

        for (const auto& i : instruments) {
            const sim::Station& station = bus->Instrument(i.index);
            const sim::InstrumentState state = station.Model().Snapshot();
            QCOMPARE(state.address, i.address);
            QCOMPARE(state.protocol, i.protocol == protocol::Protocol::Qv ? sim::Protocol::Qv
                                                                          : sim::Protocol::Modbus);
            QVERIFY(!Heard(station, protocol::WriteAddress(99), i.address, i.protocol));
            QVERIFY(!Heard(station, protocol::SwitchProtocol(i.address, i.protocol), i.address,
                           i.protocol));
            QVERIFY(!Heard(station, protocol::WriteSpeed(1, protocol::SpeedCode(19200)), i.address,
                           i.protocol));
        }
        // Written where it differed, and nothing else; nothing to the silent one.
        QCOMPARE(int(bus->Instrument(FastAt30).Model().Snapshot().brightness), 2);
        QCOMPARE(int(bus->Instrument(FastAt30).Model().Snapshot().signallingMode), 3);
        QCOMPARE(int(bus->Instrument(QvAt12).Model().Snapshot().signallingMode), 3);
        QVERIFY(!Heard(bus->Instrument(QvAt12), protocol::WriteBrightness(2), 12,
                       protocol::Protocol::Qv));
        QCOMPARE(int(bus->Instrument(SlowAt9).Model().Snapshot().signallingMode), 0);

        QStringList results;
        for (int r = 0; r < report.rowCount(); ++r)
            results << report.Cell(r, TBatchReportModel::Address) + ' ' +
                           report.Cell(r, TBatchReportModel::Result);
        results.sort();
        QCOMPARE(results, QStringList({"12 записано, проверено", "30 записано, проверено",
                                       "9 не отвечает"}));

        const QString saved = dir.filePath(QStringLiteral("report.csv"));
        QVERIFY(window->SaveBatchReport(saved));
        QFile file(saved);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[0].startsWith(QStringLiteral("address,protocol,speed,differences,result")));
        QVERIFY(lines.filter(QStringLiteral("не отвечает")).size() == 1);
        bus->Instrument(SlowAt9).ClearFaults();
        // Without a new preview there is nothing to write.
        QVERIFY(!window->WriteBatch());
    }

    void batchRefusesABadFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bad.cfg"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("brightness = 7\n");
        file.close();
        QVERIFY(!window->PreviewBatch(path));
        QVERIFY(!window->OwnsLine());
        QVERIFY(window->StatusLabel()->text().contains(QStringLiteral("brightness")));
    }

    // Closing the window while it watches ends the watch and gives the line back.
    void closingGivesTheLineBack() {
        const std::vector<bool> enabled = OwnButtonsEnabled();
        const int32_t speed = app.window->ComPort->BitsPerSecond();
        window->SetWatching(true);
        QVERIFY(window->OwnsLine());
        QVERIFY(!app.ui().BitBtn21->isEnabled());
        window->close();
        QVERIFY(Idle());
        QVERIFY(!window->LineOwnerLabel()->isVisible());
        QCOMPARE(OwnButtonsEnabled(), enabled);
        QCOMPARE(app.window->ComPort->BitsPerSecond(), speed);
    }

    // The main window closing ends the work at once, before its port is closed.
    void mainWindowClosingEndsTheWork() {
        window->SetWatching(true);
        QVERIFY(window->Worker().Running());
        QCloseEvent close;
        window->eventFilter(app.window.get(), &close);
        QVERIFY(!window->Worker().Running());
        QVERIFY(Idle());  // the end is then told as usual
    }

    void exportCsv() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("line.csv"));
        QVERIFY(window->ExportCsv(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5);
        QVERIFY(
            lines.filter(QRegularExpression(QStringLiteral("^12,QV,9600,240100 / 2024,"))).size() ==
            1);
        QVERIFY(!window->ExportCsv(dir.filePath(QStringLiteral("no/such/folder/line.csv"))));
        QCOMPARE(window->StatusLabel()->styleSheet(), QStringLiteral("color: red"));
    }

    // "Стоп" ends the scan at once; what was found stays and the line comes back.
    void stopKeepsWhatWasFound() {
        // QV only: the instrument at 12 is known at the end of the pass at 9600, and the pass
        // at 19200 is still to come when the scan is stopped.
        window->SetRange(1, 60);
        window->SetSpeeds(TLineWindow::Speeds::List, QStringLiteral("9600, 19200"));
        window->SetProtocols(TLineWindow::Protocols::Qv);
        // The main window polls its instrument; the scan stops that first.
        app.window->StartReading();
        QTRY_COMPARE_WITH_TIMEOUT(int(ExchangeState.load()), int(ExchangeStates::ContinuousReading),
                                  Wait);
        QVERIFY(window->StartScan());
        QVERIFY(ExchangeState.load() != ExchangeStates::ContinuousReading);
        QVERIFY(!app.window->TimerRepeat->isActive());
        QVERIFY(window->OwnsLine());
        QVERIFY(window->LineOwnerLabel()->isVisible());
        QVERIFY(!app.ui().BitBtn21->isEnabled());      // the main window's search waits
        QVERIFY(!app.ui().PageControl1->isEnabled());  // and so do its pages' requests
        QVERIFY(app.window->StatusBar()->isAncestorOf(window->LineOwnerLabel()));
        QTRY_VERIFY_WITH_TIMEOUT(window->Model().rowCount() >= 1, 3 * Wait);
        const int seen = window->Model().rowCount();
        window->Stop();
        QVERIFY(Idle());
        QVERIFY(window->Model().rowCount() >= seen);
        QVERIFY(!window->ProgressLabel()->text().contains(QStringLiteral("Адресов: 120 из 120")));
        QVERIFY(window->StatusLabel()->text().contains(QStringLiteral("остановлен")));
        QVERIFY(!window->LineOwnerLabel()->isVisible());
        QVERIFY(app.ui().BitBtn21->isEnabled());
        QVERIFY(app.ui().PageControl1->isEnabled());
    }

    // The line window and the registers window never talk on the line at once: whichever
    // holds it, the other refuses, names the holder and sends nothing; given back, the line
    // is the other's to take.
    void oneWindowAtATimeOnTheLine() {
        TRegistersWindow registers(*app.window, {});
        window->SetRange(1, 60);
        window->SetSpeeds(TLineWindow::Speeds::List, QStringLiteral("9600, 19200"));
        window->SetProtocols(TLineWindow::Protocols::Qv);
        QVERIFY(window->StartScan());
        QCOMPARE(app.window->LineOwner().HolderName(), QStringLiteral("Линия"));
        registers.SetPolling(true);
        QVERIFY(!registers.OwnsLine());
        QVERIFY(!registers.Busy());
        QVERIFY2(registers.StatusLabel()->text().contains(QStringLiteral("«Линия»")),
                 qPrintable(registers.StatusLabel()->text()));
        window->Stop();
        QVERIFY(Idle());
        QVERIFY(app.window->LineOwner().HolderName().isEmpty());

        registers.SetPolling(true);
        QVERIFY(registers.OwnsLine());
        QCOMPARE(app.window->LineOwner().HolderName(), QStringLiteral("Регистры"));
        QVERIFY(!window->StartScan());
        QVERIFY(!window->OwnsLine());
        QVERIFY2(window->StatusLabel()->text().contains(QStringLiteral("«Регистры»")),
                 qPrintable(window->StatusLabel()->text()));
        registers.SetPolling(false);
        QTRY_VERIFY_WITH_TIMEOUT(!registers.OwnsLine(), Wait);
        QTRY_VERIFY_WITH_TIMEOUT(app.window->LineOwner().HolderName().isEmpty(), Wait);
        QVERIFY(window->StartScan());
        window->Stop();
        QVERIFY(Idle());
    }

    // A request of the main window still on its way: the window waits for the line to fall
    // silent first. Stopped while waiting and started again, only the second start counts.
    void restartWhileTheMainWindowFinishes() {
        const int address = app.ui().EditAdr->text().toInt();
        app.SetAddress(99);  // nobody: the request waits the whole answer time
        // A scan longer than the main window's answer wait.
        window->SetRange(1, 30);
        window->SetSpeeds(TLineWindow::Speeds::List, QStringLiteral("9600"));
        window->SetProtocols(TLineWindow::Protocols::Qv);
        app.window->ReadSerialNumber();
        QTRY_VERIFY_WITH_TIMEOUT(AwaitingAnswer.load(), Wait);
        QVERIFY(window->StartScan());
        QVERIFY(!window->Worker().Running());  // waiting for the main window's request
        window->Stop();
        QVERIFY(!window->OwnsLine());
        QVERIFY(window->StartScan());
        QTRY_VERIFY_WITH_TIMEOUT(window->Worker().Running(), Wait);
        QVERIFY(Idle());
        QVERIFY(!window->Worker().Running());  // the line came back when the scan ended
        QVERIFY2(window->StatusLabel()->text().contains(QStringLiteral("Поиск закончен")),
                 qPrintable(window->StatusLabel()->text()));
        QCOMPARE(window->Model().rowCount(), 1);
        app.SetAddress(address);
    }
};

QTEST_MAIN(TestLineWindow)
#include "test_line_window.moc"
