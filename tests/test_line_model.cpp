// The line table's model on its own: rows of findings (no duplicates, collisions without a
// tick and with the advice), the state and counters of each instrument, values in the
// display format with units, greyed with the time of their last good answer once they stop
// coming, and the CSV export.
#include <QBrush>
#include <QColor>
#include <QtTest>

#include "config/ConfigFile.h"
#include "line/BatchConfig.h"
#include "line/BatchReportModel.h"
#include "line/LineTableModel.h"
#include "protocol/Units.h"

using linescan::Finding;
using protocol::Protocol;

namespace {

Finding Found(uint16_t address, Protocol protocol, int32_t baud, bool collision = false) {
    Finding f;
    f.kind = collision ? Finding::Kind::Collision : Finding::Kind::Instrument;
    f.address = address;
    f.protocol = protocol;
    f.baud = baud;
    if (!collision) f.identity = protocol::SerialAndYear{24, uint16_t(100 + address), 3};
    return f;
}

QTime At(int h, int m, int s) {
    return QTime(h, m, s);
}

QString Unit(int code) {
    return QString::fromStdString(protocol::UnitName(code));
}

}  // namespace

class TestLineModel : public QObject {
    Q_OBJECT

private slots:
    void findingsMakeRows_data() {
        QTest::addColumn<QString>("findings");  // "address protocol baud [c]" separated by ";"
        QTest::addColumn<QStringList>("rows");  // address, protocol, speed, ticked
        QTest::newRow("one of each") << "12 qv 9600;9 mb 9600;30 mb 19200"
                                     << QStringList{"12 QV 9600 ticked", "9 Modbus RTU 9600 ticked",
                                                    "30 Modbus RTU 19200 ticked"};
        QTest::newRow("the same twice is one row")
            << "7 mb 9600;7 mb 9600" << QStringList{"7 Modbus RTU 9600 ticked"};
        QTest::newRow("one address in both protocols and two speeds: four rows")
            << "5 qv 9600;5 mb 9600;5 qv 19200;5 mb 19200"
            << QStringList{"5 QV 9600 ticked", "5 Modbus RTU 9600 ticked", "5 QV 19200 ticked",
                           "5 Modbus RTU 19200 ticked"};
        QTest::newRow("a collision has no tick")
            << "20 mb 9600 c" << QStringList{"20 Modbus RTU 9600 none"};
        QTest::newRow("an instrument then a collision at it: the collision stays")
            << "20 mb 9600;20 mb 9600 c" << QStringList{"20 Modbus RTU 9600 none"};
    }
    void findingsMakeRows() {
        QFETCH(QString, findings);
        QFETCH(QStringList, rows);
        TLineTableModel model;
        for (const QString& entry : findings.split(';')) {
            const QStringList w = entry.split(' ');
            model.AddFinding(Found(uint16_t(w[0].toInt()),
                                   w[1] == "qv" ? Protocol::Qv : Protocol::Modbus, w[2].toInt(),
                                   w.size() > 3));
        }
        QStringList shown;
        for (int r = 0; r < model.rowCount(); ++r) {
            const QVariant tick =
                model.data(model.index(r, TLineTableModel::Address), Qt::CheckStateRole);
            shown << QStringLiteral("%1 %2 %3 %4")
                         .arg(model.Cell(r, TLineTableModel::Address),
                              model.Cell(r, TLineTableModel::Protocol),
                              model.Cell(r, TLineTableModel::Speed),
                              !tick.isValid()               ? QStringLiteral("none")
                              : tick.toInt() == Qt::Checked ? QStringLiteral("ticked")
                                                            : QStringLiteral("unticked"));
        }
        QCOMPARE(shown, rows);
    }

    void collisionRowSaysWhatToDo() {
        TLineTableModel model;
        const int row = model.AddFinding(Found(20, Protocol::Modbus, 9600, true));
        QVERIFY(model.Cell(row, TLineTableModel::Info)
                    .contains(QStringLiteral("два прибора"), Qt::CaseInsensitive));
        QVERIFY(model.Cell(row, TLineTableModel::Info).contains(QStringLiteral("смените")));
        QVERIFY(model.Cell(row, TLineTableModel::State).contains(QStringLiteral("столкновение")));
        QVERIFY(model.TickedRows().empty());
        // Nothing can tick it.
        QVERIFY(!(model.flags(model.index(row, 0)) & Qt::ItemIsUserCheckable));
        QVERIFY(!model.setData(model.index(row, 0), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(model.TickedRows().empty());
    }

    void ticks() {
        TLineTableModel model;
        model.AddFinding(Found(1, Protocol::Qv, 9600));
        model.AddFinding(Found(2, Protocol::Modbus, 9600, true));
        model.AddFinding(Found(3, Protocol::Modbus, 9600));
        QCOMPARE(model.TickedRows(), (std::vector<int>{0, 2}));
        QVERIFY(model.setData(model.index(0, 0), Qt::Unchecked, Qt::CheckStateRole));
        QCOMPARE(model.TickedRows(), (std::vector<int>{2}));
        QCOMPARE(model.RowOf(3, Protocol::Modbus, 9600), 2);
        QCOMPARE(model.RowOf(3, Protocol::Qv, 9600), -1);
        QCOMPARE(model.RowOf(3, Protocol::Modbus, 19200), -1);
    }

    // Requests' outcomes in order -> the state and the counters shown.
    void stateAndCounters_data() {
        QTest::addColumn<QString>("outcomes");  // a answered, s silent, c bad CRC, at 10:00:0N
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("counters");  // answers, unanswered, bad CRC
        QTest::newRow("new") << ""
                             << "отвечает"
                             << "0 0 0";
        QTest::newRow("answers") << "aaa"
                                 << "отвечает"
                                 << "3 0 0";
        QTest::newRow("silent since the first silence") << "aass"
                                                        << "молчит с 10:00:02"
                                                        << "2 2 0";
        QTest::newRow("answers again") << "asa"
                                       << "отвечает"
                                       << "2 1 0";
        QTest::newRow("silent anew after an answer") << "sasss"
                                                     << "молчит с 10:00:02"
                                                     << "1 4 0";
        QTest::newRow("bad CRC counts apart") << "acsc"
                                              << "молчит с 10:00:02"
                                              << "1 1 2";
    }
    void stateAndCounters() {
        QFETCH(QString, outcomes);
        QFETCH(QString, state);
        QFETCH(QString, counters);
        TLineTableModel model;
        const int row = model.AddFinding(Found(4, Protocol::Qv, 9600));
        for (int i = 0; i < outcomes.size(); ++i) {
            const QTime at = At(10, 0, i);
            if (outcomes[i] == 'a') model.TakeAnswer(row, at);
            if (outcomes[i] == 's') model.TakeSilence(row, at);
            if (outcomes[i] == 'c') model.TakeBadCrc(row, at);
        }
        QCOMPARE(model.Cell(row, TLineTableModel::State), state);
        QCOMPARE(QStringLiteral("%1 %2 %3")
                     .arg(model.Cell(row, TLineTableModel::Answers),
                          model.Cell(row, TLineTableModel::Unanswered),
                          model.Cell(row, TLineTableModel::BadCrc)),
                 counters);
    }

    // A value in the panel's format with its unit; stale after a failed read of it, with the
    // time of its last good answer, greyed; fresh again with the next good one.
    void values_data() {
        QTest::addColumn<int>("unitCode");
        QTest::addColumn<int>("pointCode");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("number");
        QTest::newRow("one decimal") << 1 << 2 << 12.54 << "12.5";
        QTest::newRow("no decimals: the point after the last digit, as the panel")
            << 13 << 3 << 1234.4 << "1234.";
        QTest::newRow("negative, three decimals") << 2 << 0 << -0.5 << "-0.500";
        QTest::newRow("no unit") << 0 << 2 << 7.0 << "7.0";
    }
    void values() {
        QFETCH(int, unitCode);
        QFETCH(int, pointCode);
        QFETCH(double, value);
        QFETCH(QString, number);
        TLineTableModel model;
        const int row = model.AddFinding(Found(4, Protocol::Modbus, 9600));
        protocol::ParameterSetup setup;
        setup.unitCode = uint8_t(unitCode);
        setup.pointCode = uint8_t(pointCode);
        model.TakeParameterSetup(row, 2, setup);
        const QString fresh = Unit(unitCode).isEmpty() ? number : number + ' ' + Unit(unitCode);
        QCOMPARE(model.Cell(row, TLineTableModel::Value2), QString());
        model.TakeReading(row, 2, value, At(11, 42, 7));
        QCOMPARE(model.Cell(row, TLineTableModel::Value2), fresh);
        const QModelIndex cell = model.index(row, TLineTableModel::Value2);
        QVERIFY(!model.data(cell, Qt::ForegroundRole).isValid());

        model.MarkStale(row, 2);
        QCOMPARE(model.Cell(row, TLineTableModel::Value2), fresh + QStringLiteral(" (11:42:07)"));
        QCOMPARE(model.data(cell, Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::gray));
        // The other parameters are left alone.
        QCOMPARE(model.Cell(row, TLineTableModel::Value1), QString());

        model.TakeReading(row, 2, value, At(11, 43, 0));
        QCOMPARE(model.Cell(row, TLineTableModel::Value2), fresh);
        QVERIFY(!model.data(cell, Qt::ForegroundRole).isValid());
    }

    void missingParameterAndUnits() {
        TLineTableModel model;
        const int row = model.AddFinding(Found(4, Protocol::Qv, 9600));
        protocol::ParameterSetup first;
        first.unitCode = 1;
        protocol::ParameterSetup absent;
        absent.exists = false;
        model.TakeParameterSetup(row, 1, first);
        model.TakeParameterSetup(row, 3, absent);
        model.TakeParameterSetup(row, 4, first);  // no such parameter: ignored
        QCOMPARE(model.Cell(row, TLineTableModel::Units), Unit(1) + QStringLiteral(", —, —"));
        QCOMPARE(model.Cell(row, TLineTableModel::Value3), QStringLiteral("—"));
        // A stale mark on a value never read shows nothing.
        model.MarkStale(row, 1);
        QCOMPARE(model.Cell(row, TLineTableModel::Value1), QString());
        QCOMPARE(model.Cell(row, TLineTableModel::Serial), QStringLiteral("240104 / 2024"));
    }

    void csv() {
        TLineTableModel model;
        const int row = model.AddFinding(Found(12, Protocol::Qv, 9600));
        model.AddFinding(Found(20, Protocol::Modbus, 19200, true));
        model.TakeInfo(row, QStringLiteral("Щит \"A\", № 5"));
        model.TakeAnswer(row, At(9, 0, 0));
        const QStringList lines = model.Csv().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[0].startsWith(QStringLiteral("address,protocol,speed,")));
        QCOMPARE(lines[0].count(','), TLineTableModel::ColumnCount - 1);
        QVERIFY(lines[1].startsWith(QStringLiteral("12,QV,9600,240112 / 2024,")));
        // A text with a comma or a quote is quoted, its quotes doubled.
        QVERIFY(lines[1].contains(QStringLiteral(",\"Щит \"\"A\"\", № 5\",отвечает,")));
        QVERIFY(lines[2].startsWith(QStringLiteral("20,Modbus RTU,19200,")));
        QVERIFY(lines[2].contains(QStringLiteral("столкновение")));
    }
    // What a batch writes of a file on an instrument: only what differs, and never the
    // address, the protocol or a line speed, whatever the file says.
    void batchPlan_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("changed");
        QTest::newRow("address, protocol, speeds left out")
            << "address = 99\nprotocol = modbus\nspeed.line1 = 19200\nspeed.line2 = 9600\n"
            << "";
        QTest::newRow("what the instrument holds already is not written")
            << "brightness = 1\nalarm.mode = 0\n"
            << "";
        QTest::newRow("what differs is") << "address = 3\nbrightness = 2\nalarm.mode = 0\n"
                                         << "brightness";
        QTest::newRow("a parameter travels whole") << "param1.unit = 2\n"
                                                   << "param1.unit";
    }
    void batchPlan() {
        QFETCH(QString, file);
        QFETCH(QString, changed);
        config::InstrumentConfig current;
        current["address"] = "7";
        current["protocol"] = "qv";
        current["brightness"] = "1";
        current["alarm.mode"] = "0";
        current["param1.scale"] = "100";
        current["param1.unit"] = "1";
        current["param1.point"] = "2";
        current["speed.line1"] = std::nullopt;
        current["speed.line2"] = std::nullopt;
        const config::ConfigPlan plan =
            line_batch::Plan(config::ParseConfig(file.toStdString()), current);
        QStringList keys;
        for (const std::string& k : line_batch::ChangedKeys(plan))
            keys << QString::fromStdString(k);
        QCOMPARE(keys.join(", "), changed);
        for (const config::PlannedWrite& w : plan.Writes()) {
            QVERIFY(w.kind != config::WriteKind::Address);
            QVERIFY(w.kind != config::WriteKind::Protocol);
            QVERIFY(w.kind != config::WriteKind::Speed);
        }
    }

    // The Modbus RTU serial number goes with the year in a second write; QV's in one.
    void batchSerialWrites() {
        config::PlannedWrite w;
        w.kind = config::WriteKind::Serial;
        w.values["serial.number"] = "1234";
        w.values["serial.year"] = "2024";
        QCOMPARE(line_batch::WriteRequests(w, Protocol::Qv).size(), size_t(1));
        const auto modbus = line_batch::WriteRequests(w, Protocol::Modbus);
        QCOMPARE(modbus.size(), size_t(2));
        QCOMPARE(int(modbus[1].command), int(SetYearMB));
        for (config::WriteKind never :
             {config::WriteKind::Address, config::WriteKind::Protocol, config::WriteKind::Speed}) {
            config::PlannedWrite other;
            other.kind = never;
            QVERIFY(line_batch::WriteRequests(other, Protocol::Modbus).empty());
        }
    }

    void batchReport() {
        TBatchReportModel report;
        TWatchTarget a;
        a.address = 5;
        TWatchTarget b;
        b.address = 6;
        b.protocol = Protocol::Modbus;
        b.baud = 19200;
        report.Reset({a, b});
        QCOMPARE(report.rowCount(), 2);
        QCOMPARE(report.Cell(0, TBatchReportModel::Differences), QString());
        report.TakePlan(a, {}, QString());
        report.TakePlan(b, {"brightness", "info"}, QString());
        QCOMPARE(report.Cell(0, TBatchReportModel::Differences), QStringLiteral("ничего"));
        QCOMPARE(report.Cell(1, TBatchReportModel::Differences),
                 QStringLiteral("brightness, info"));
        report.TakeOutcome(b, TBatchOutcome::Written, QStringLiteral("info"));
        report.TakeOutcome(a, TBatchOutcome::Refused, QStringLiteral("brightness"));
        TWatchTarget unknown;
        unknown.address = 9;
        report.TakeOutcome(unknown, TBatchOutcome::Verified, QString());  // not in the batch
        const QStringList lines = report.Csv().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[1], QStringLiteral("5,QV,0,ничего,отказ,brightness"));
        QCOMPARE(lines[2],
                 QStringLiteral("6,Modbus RTU,19200,\"brightness, info\",\"записано, при проверке "
                                "отличается\",info"));
    }
};

QTEST_GUILESS_MAIN(TestLineModel)
#include "test_line_model.moc"
