// The line's owner on a virtual bus: the main window's polling, the registers window and the
// line view compete for one line. Whoever holds it keeps it; a contender is refused and told
// who holds it, and sends nothing; the main window's own exchange waits while any window
// holds the line; every frame reaches the frame monitor with its window's name, the line
// view's scan and watch included.
#include <QAbstractButton>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include "AppHarness.h"
#include "commissioning/Commissioning.h"
#include "line/LineWindow.h"
#include "lineowner/LineOwner.h"
#include "monitor/FrameMonitorModel.h"
#include "monitor/FrameRecorder.h"
#include "registers/RegistersWindow.h"
#include "sim/BusList.h"
#include "sim/VirtualBus.h"

namespace {

constexpr int Wait = 10000;

enum class Contender { Polling, Registers, Line, ReadAll };

QString NameOf(Contender c) {
    switch (c) {
        case Contender::Polling:
            return QStringLiteral("Главное окно");
        case Contender::Registers:
            return QStringLiteral("Регистры");
        case Contender::Line:
            return QStringLiteral("Линия");
        case Contender::ReadAll:
            return QStringLiteral("Прочитать всё");
    }
    return QString();
}

}  // namespace

Q_DECLARE_METATYPE(Contender)

class TestLineOwner : public QObject {
    Q_OBJECT

    std::unique_ptr<sim::VirtualBus> bus;
    AppHarness app;
    std::unique_ptr<TFrameRecorder> recorder;
    TLineWindow* line = nullptr;
    TRegistersWindow* registers = nullptr;

    TLineOwner& Owner() { return app.window->LineOwner(); }

    // The window of each request the monitor shows, in the order they went out.
    QStringList RequestSources() {
        recorder->Flush();
        QStringList sources;
        const TFrameMonitorModel& model = recorder->Model();
        for (int r = 0; r < model.rowCount(); ++r)
            if (model.Row(r).direction == TFrameDirection::Request) sources << model.Row(r).source;
        return sources;
    }
    // The same, each run of one window's requests counted once.
    QStringList RequestTurns() {
        QStringList turns;
        for (const QString& source : RequestSources())
            if (turns.isEmpty() || turns.back() != source) turns << source;
        return turns;
    }
    int RequestsOf(const QString& source) { return int(RequestSources().count(source)); }

    // Which of the main window's own exchange controls are on: the pages, then the buttons.
    std::vector<bool> OwnExchangeEnabled() {
        std::vector<bool> enabled{app.ui().PageControl1->isEnabled()};
        for (QAbstractButton* own : app.window->OwnExchangeButtons())
            enabled.push_back(own->isEnabled());
        return enabled;
    }

    bool Take(Contender c) {
        switch (c) {
            case Contender::Polling:
                app.ui().BitBtn1->click();  // nothing happens while the page is off
                return app.window->PollingStatus().Running();
            case Contender::Registers:
                registers->SetPolling(true);
                return registers->OwnsLine();
            case Contender::Line:
                line->SetWatching(true);
                return line->OwnsLine();
            case Contender::ReadAll:
                return app.window->Commissioning->ReadAll();
        }
        return false;
    }

    bool Give(Contender c) {
        switch (c) {
            case Contender::Polling:
                app.ui().BitBtn2->click();
                return QTest::qWaitFor([] { return !RequestOnItsWay(); }, Wait);
            case Contender::Registers:
                registers->SetPolling(false);
                return QTest::qWaitFor([this] { return !registers->OwnsLine(); }, Wait);
            case Contender::Line:
                line->SetWatching(false);
                return QTest::qWaitFor([this] { return !line->OwnsLine(); }, Wait);
            case Contender::ReadAll:  // it ends by itself
                return QTest::qWaitFor([this] { return !app.window->Commissioning->Busy(); }, Wait);
        }
        return false;
    }

    // A contender has been heard on the line (its requests in the monitor) since `before`.
    bool Talks(Contender c, int before) {
        return QTest::qWaitFor([&] { return RequestsOf(NameOf(c)) >= before + 2; }, Wait);
    }

private slots:
    void initTestCase() {
        std::vector<sim::Config> configs;
        std::string error;
        QVERIFY(sim::ParseBus("modbus:7,qv:12", configs, error));
        bus = std::make_unique<sim::VirtualBus>(configs);
        bus->Start();
        app.Start(nullptr, true, QString::fromStdString(bus->DevicePath()));
        app.SetAddress(7);
        recorder = std::make_unique<TFrameRecorder>();
        recorder->SetMonitorOpen(true);
        line = new TLineWindow(*app.window, app.window.get());
        registers = new TRegistersWindow(*app.window, {}, app.window.get());
        registers->AddressBox()->setValue(7);

        // The scan's frames reach the monitor as the line view's, decoded as the instrument's
        // commands; it finds both instruments.
        line->SetRange(6, 12);
        line->SetSpeeds(TLineWindow::Speeds::Current);
        line->SetProtocols(TLineWindow::Protocols::Both);
        QVERIFY(line->StartScan());
        QVERIFY(QTest::qWaitFor([this] { return !line->OwnsLine(); }, 6 * Wait));
        QCOMPARE(line->Model().rowCount(), 2);
        QCOMPARE(RequestTurns(), QStringList{NameOf(Contender::Line)});
        recorder->Flush();
        bool decoded = false;
        for (int r = 0; r < recorder->Model().rowCount(); ++r)
            decoded = decoded || recorder->Model().Row(r).command == GetYear;
        QVERIFY(decoded);
        for (int r = 0; r < line->Model().rowCount(); ++r) line->Model().SetTicked(r, true);
    }

    void cleanupTestCase() {
        recorder.reset();
        line = nullptr;
        registers = nullptr;
        app.Stop();
        bus.reset();
    }

    void contendersForTheLine_data() {
        QTest::addColumn<Contender>("first");
        QTest::addColumn<Contender>("second");
        QTest::addColumn<bool>("secondTakesIt");
        QTest::newRow("polling gives way to the registers")
            << Contender::Polling << Contender::Registers << true;
        QTest::newRow("polling gives way to the line view")
            << Contender::Polling << Contender::Line << true;
        QTest::newRow("registers hold it against the line view")
            << Contender::Registers << Contender::Line << false;
        QTest::newRow("the line view holds it against the registers")
            << Contender::Line << Contender::Registers << false;
        QTest::newRow("the line view holds it against polling")
            << Contender::Line << Contender::Polling << false;
        QTest::newRow("registers hold it against polling")
            << Contender::Registers << Contender::Polling << false;
        QTest::newRow("polling gives way to read-all")
            << Contender::Polling << Contender::ReadAll << true;
        QTest::newRow("read-all holds it against the line view")
            << Contender::ReadAll << Contender::Line << false;
        QTest::newRow("the registers hold it against read-all")
            << Contender::Registers << Contender::ReadAll << false;
    }

    void contendersForTheLine() {
        QFETCH(Contender, first);
        QFETCH(Contender, second);
        QFETCH(bool, secondTakesIt);
        recorder->Flush();
        recorder->Model().Clear();
        const std::vector<bool> ownBefore = OwnExchangeEnabled();
        QVERIFY(ownBefore.front());

        QVERIFY(Take(first));
        QVERIFY(Talks(first, 0));
        if (first != Contender::Polling) {
            QCOMPARE(Owner().HolderName(), NameOf(first));
            QCOMPARE(OwnExchangeEnabled(), std::vector<bool>(ownBefore.size(), false));
            QVERIFY(Owner().HolderNote()->isVisible());
            QVERIFY(Owner().HolderNote()->text().contains(NameOf(first)));
        }

        QCOMPARE(Take(second), secondTakesIt);
        const Contender holder = secondTakesIt ? second : first;
        if (secondTakesIt) {
            QCOMPARE(Owner().HolderName(), NameOf(second));
            QVERIFY(!app.window->PollingStatus().Running());
        } else if (second != Contender::Polling) {
            const QString status = second == Contender::Line ? line->StatusLabel()->text()
                                   : second == Contender::Registers
                                       ? registers->StatusLabel()->text()
                                       : app.window->StatusText();
            QVERIFY2(status.contains(QStringLiteral("«%1»").arg(NameOf(first))),
                     qPrintable(status));
        }
        // The holder goes on talking; then it gives the line back.
        QVERIFY(Talks(holder, RequestsOf(NameOf(holder))));
        QVERIFY(Give(holder));
        if (holder != first) QVERIFY(Give(first));
        QTRY_VERIFY_WITH_TIMEOUT(Owner().HolderName().isEmpty(), Wait);
        QCOMPARE(OwnExchangeEnabled(), ownBefore);
        QVERIFY(!Owner().HolderNote()->isVisible());

        // Turns never interleave, and the one refused sent nothing.
        const QStringList expected =
            secondTakesIt ? QStringList{NameOf(first), NameOf(second)} : QStringList{NameOf(first)};
        QCOMPARE(RequestTurns(), expected);
        // Every request of a window was answered in the monitor under the same name.
        recorder->Flush();
        const TFrameMonitorModel& model = recorder->Model();
        for (int r = 1; r < model.rowCount(); ++r)
            if (model.Row(r).direction == TFrameDirection::Answer &&
                model.Row(r - 1).direction == TFrameDirection::Request)
                QCOMPARE(model.Row(r).source, model.Row(r - 1).source);
    }
};

QTEST_MAIN(TestLineOwner)
#include "test_line_owner.moc"
