// The frame monitor: the tap's events turned into rows (bytes, decoded meaning, marks) in both
// protocols, the bounded history, the filter, copying and saving, the log category, and the
// window opened from the toolbar while the program reads the virtual instrument.
#include <QClipboard>
#include <QFontDatabase>
#include <QScrollBar>
#include <QTableView>
#include <QtTest>

#include "AppHarness.h"
#include "FrameEvents.h"
#include "monitor/FrameMonitor.h"
#include "monitor/FrameMonitorModel.h"
#include "monitor/FrameRecorder.h"
#include "protocol/Crc.h"
#include "protocol/Requests.h"

using Column = TFrameMonitorModel::Column;

Q_DECLARE_METATYPE(protocol::Request)

namespace {

constexpr int Wait = 10000;
constexpr int64_t Ms = 1000000;  // ns

QByteArray Hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QString Cell(const QAbstractItemModel& model, int row, int column) {
    return model.index(row, column).data().toString();
}

// A row of `count` requests for the history and filter tests: GetVal requests, every third a
// time-out of GetPar, numbered in the meaning.
std::vector<TFrameRow> NumberedRows(int from, int count) {
    std::vector<TFrameRow> rows;
    for (int i = from; i < from + count; ++i) {
        TFrameRow row;
        row.direction = i % 3 == 0 ? TFrameDirection::Timeout : TFrameDirection::Request;
        row.command = i % 3 == 0 ? GetPar : GetVal;
        row.error = i % 3 == 0;
        row.meaning = QStringLiteral("№%1, строка").arg(i);
        rows.push_back(row);
    }
    return rows;
}

// An answer row of `frame`.
TFrameRow FrameRow(const QByteArray& frame, bool error = false) {
    TFrameRow row;
    row.direction = TFrameDirection::Answer;
    row.command = GetInfo;
    row.bytes = frame;
    row.length = int(frame.size());
    row.error = error;
    return row;
}

// The information text's answer, the longest frame there is.
QByteArray InfoAnswer() {
    return Hex("07 00 45") + QByteArray(64, 'A') + Hex("12 34");
}

// Lines of text painted in the Bytes cell of `row`: bands of pixel rows with ink in them.
int PaintedLines(QTableView& table, int row) {
    const QImage image = table.viewport()->grab().toImage();
    const QRect cell = table.visualRect(table.model()->index(row, Column::Bytes));
    const QRgb background = image.pixel(cell.left() + 1, cell.top() + 1);
    int lines = 0;
    bool inLine = false;
    for (int y = cell.top(); y <= cell.bottom(); ++y) {
        bool ink = false;
        for (int x = cell.left(); x <= cell.right() && !ink; ++x)
            ink = image.pixel(x, y) != background;
        if (ink && !inLine) ++lines;
        inLine = ink;
    }
    return lines;
}

// The most bytes ("07 " each) that a line of a Bytes cell could ever hold.
int MostBytesOnALine(const QTableView& table) {
    const QFontMetrics fixed(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    return (table.columnWidth(Column::Bytes) + fixed.horizontalAdvance(QLatin1Char(' '))) /
           fixed.horizontalAdvance(QStringLiteral("00 "));
}

QString TopMeaning(const QTableView& table) {
    return Cell(*table.model(), table.indexAt(QPoint(1, 1)).row(), Column::Meaning);
}

bool LastRowInView(const QTableView& table) {
    const QRect last = table.visualRect(table.model()->index(table.model()->rowCount() - 1, 0));
    return last.top() >= 0 && last.bottom() < table.viewport()->height();
}

}  // namespace

class TestFrameMonitor : public QObject {
    Q_OBJECT
    AppHarness app;

private slots:
    void initTestCase() { FillCommandTable(); }
    void cleanup() { app.Stop(); }

    // One exchange after a GetPar of parameter 1 (scale 173.2 V, two decimals): the request
    // row, then the answer or time-out row with its bytes, CRC, pieces and meaning.
    void rowsOfAnExchange_data() {
        QTest::addColumn<bool>("modbus");
        QTest::addColumn<protocol::Request>("request");
        QTest::addColumn<QString>("requestHex");
        QTest::addColumn<QString>("requestMeaning");
        QTest::addColumn<QByteArray>("answer");  // empty: time-out
        QTest::addColumn<int>("available");      // bytes that had come (-1: the answer's)
        QTest::addColumn<int>("pieces");
        QTest::addColumn<QString>("direction");
        QTest::addColumn<QString>("crc");
        QTest::addColumn<QString>("piecesText");
        QTest::addColumn<QString>("meaning");
        QTest::addColumn<bool>("error");
        using namespace protocol;
        const QByteArray mbValue = Hex("07 03 04 00 00 41 48 AC 55");
        QTest::newRow("Modbus value") << true << ReadValue(1) << "07 03 00 00 00 02 C4 6D"
                                      << "параметр 1" << mbValue << -1 << 1 << "ответ"
                                      << "верна"
                                      << "1"
                                      << "12.50 V" << false;
        QTest::newRow("QV value") << false << ReadValue(1) << "07 00 40 01 F1 50"
                                  << "параметр 1" << Hex("07 00 40 41 48 00 00 00 24 82") << -1 << 1
                                  << "ответ"
                                  << "верна"
                                  << "1"
                                  << "12.50 V" << false;
        QTest::newRow("Modbus value in three pieces")
            << true << ReadValue(1) << "07 03 00 00 00 02 C4 6D"
            << "параметр 1" << mbValue << -1 << 3 << "ответ"
            << "верна"
            << "3 за 200.0 мс"
            << "12.50 V" << false;
        QTest::newRow("Modbus address") << true << Read(GetAdr) << "07 03 03 EA 00 01 A5 DC"
                                        << "" << Hex("07 03 02 00 07 71 86") << -1 << 1 << "ответ"
                                        << "верна"
                                        << "1"
                                        << "адрес 7" << false;
        QTest::newRow("QV serial number")
            << false << Read(GetYear) << "07 00 44 C0 32"
            << "" << Hex("07 00 44 05 00 2A 03 C2 62") << -1 << 1 << "ответ"
            << "верна"
            << "1"
            << "номер 050042, год 2005, параметров 3" << false;
        QTest::newRow("QV information text") << false << Read(GetInfo) << "07 00 45 01 F2"
                                             << ""
                                             << Hex("07 00 45 D9 E8 F2 20 33 00 00 00 00 00 00 00 "
                                                    "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                                                    "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                                                    "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                                                    "00 00 00 00 00 00 00 41 B5")
                                             << -1 << 1 << "ответ"
                                             << "верна"
                                             << "1"
                                             << "«Щит 3»" << false;
        QTest::newRow("QV brightness written")
            << false << WriteBrightness(2) << "07 00 03 02 80 61"
            << "яркость 2" << Hex("07 00 03 00 01 A0") << -1 << 1 << "ответ"
            << "верна"
            << "1"
            << "принято" << false;
        QTest::newRow("QV serial number refused")
            << false << WriteSerialAndYearQv(5, 42) << "07 00 0F 05 00 2A 93 66"
            << "год 2005, номер 42" << Hex("07 00 0F 0A 84 A7") << -1 << 1 << "ответ"
            << "верна"
            << "1"
            << "номер изменить нельзя" << true;
        QTest::newRow("Modbus search")
            << true << Search() << "FF 77 FF FF 00 01 21 FB"
            << "поиск прибора" << Hex("07 77 00 00 01 4B B4") << -1 << 1 << "ответ"
            << "верна"
            << "1"
            << "адрес 7, протокол Modbus RTU" << false;
        QTest::newRow("Modbus exception")
            << true << ReadParameter(2) << "07 03 00 6C 00 04 84 72"
            << "параметр 2" << Hex("07 83 02 20 F0") << -1 << 1 << "ответ"
            << "верна"
            << "1"
            << "исключение 2: Несуществующий параметр" << true;
        QTest::newRow("Modbus bad CRC")
            << true << ReadValue(1) << "07 03 00 00 00 02 C4 6D"
            << "параметр 1" << Hex("07 03 04 00 00 41 48 AC AA") << -1 << 1 << "ответ"
            << "ошибка"
            << "1"
            << "ошибка контрольной суммы" << true;
        QTest::newRow("QV another address") << false << Read(GetAdr) << "07 00 4A 41 F6"
                                            << "" << Hex("08 00 4A 71 F5") << -1 << 1 << "ответ"
                                            << "верна"
                                            << "1"
                                            << "ответ с другого адреса" << true;
        QTest::newRow("QV trailing bytes") << false << Read(GetBright) << "07 00 43 81 F0"
                                           << "" << Hex("07 00 43 02 B1 A1") << 9 << 1 << "ответ"
                                           << "верна"
                                           << "1"
                                           << "яркость 2 (ещё 3 байт в порту)" << false;
        QTest::newRow("QV silence") << false << ReadValue(1) << "07 00 40 01 F1 50"
                                    << "параметр 1" << QByteArray() << 0 << 0 << "тайм-аут"
                                    << ""
                                    << ""
                                    << "нет ответа" << true;
        QTest::newRow("Modbus short answer") << true << ReadValue(1) << "07 03 00 00 00 02 C4 6D"
                                             << "параметр 1" << QByteArray() << 3 << 2 << "тайм-аут"
                                             << ""
                                             << "2 за 200.0 мс"
                                             << "неполный ответ: 3 из 9 байт" << true;
    }

    // The search's address is the broadcast address its frame begins with, in both forms.
    void searchIsSentToTheBroadcastAddress_data() {
        QTest::addColumn<bool>("modbus");
        QTest::newRow("QV") << false;
        QTest::newRow("Modbus RTU") << true;
    }
    void searchIsSentToTheBroadcastAddress() {
        QFETCH(bool, modbus);
        TFrameRecorder recorder;
        recorder.FrameEvent(RequestEvent(
            protocol::Search(), modbus ? protocol::Protocol::Modbus : protocol::Protocol::Qv, 0));
        TFrameEvent silence;
        silence.kind = TFrameEvent::Kind::Timeout;
        silence.atNs = 370 * Ms;
        recorder.FrameEvent(std::move(silence));
        recorder.Flush();
        QCOMPARE(recorder.Model().rowCount(), 2);
        QCOMPARE(Cell(recorder.Model(), 0, Column::Address), QStringLiteral("255"));
        QCOMPARE(Cell(recorder.Model(), 1, Column::Address), QStringLiteral("255"));
    }

    void rowsOfAnExchange() {
        QFETCH(bool, modbus);
        QFETCH(protocol::Request, request);
        QFETCH(QString, requestHex);
        QFETCH(QString, requestMeaning);
        QFETCH(QByteArray, answer);
        QFETCH(int, available);
        QFETCH(int, pieces);
        const protocol::Protocol form =
            modbus ? protocol::Protocol::Modbus : protocol::Protocol::Qv;
        TFrameRecorder recorder;
        recorder.FrameEvent(RequestEvent(protocol::ReadParameter(1), form, 0));
        recorder.FrameEvent(AnswerEvent(modbus ? Hex("07 03 08 33 33 43 2D 00 01 00 01 F9 A8")
                                               : Hex("07 00 41 43 2D 33 33 01 01 00 2B 88"),
                                        4 * Ms));
        recorder.FrameEvent(RequestEvent(request, form, 10 * Ms));
        recorder.FrameEvent(
            AnswerEvent(answer, 22 * Ms + Ms / 2, pieces, pieces > 1 ? 200 * Ms : 0, available));
        QCOMPARE(recorder.Model().rowCount(), 0);  // rows come with the flush, in one batch
        QSignalSpy inserted(&recorder.Model(), &QAbstractItemModel::rowsInserted);
        recorder.Flush();
        QCOMPARE(inserted.count(), 1);

        const TFrameMonitorModel& m = recorder.Model();
        QCOMPARE(m.rowCount(), 4);
        QCOMPARE(Cell(m, 1, Column::Meaning), QStringLiteral("шкала 173.20 V"));
        const QString protocolText = modbus ? QStringLiteral("Modbus RTU") : QStringLiteral("QV");
        const QString command = QString::fromLatin1(CommandName(request.command));
        // The request.
        QCOMPARE(Cell(m, 2, Column::Direction), QStringLiteral("запрос"));
        QCOMPARE(Cell(m, 2, Column::Bytes), requestHex);
        QCOMPARE(Cell(m, 2, Column::Length), QString::number(requestHex.split(' ').size()));
        QCOMPARE(Cell(m, 2, Column::Protocol), protocolText);
        QCOMPARE(Cell(m, 2, Column::Command), command);
        QCOMPARE(Cell(m, 2, Column::Crc), QStringLiteral("верна"));
        QCOMPARE(Cell(m, 2, Column::Meaning), requestMeaning);
        QCOMPARE(Cell(m, 2, Column::Mark), QString());
        // Its answer or time-out.
        QTEST(Cell(m, 3, Column::Direction), "direction");
        QCOMPARE(Cell(m, 3, Column::Bytes), QString::fromLatin1(answer.toHex(' ').toUpper()));
        QCOMPARE(Cell(m, 3, Column::Length),
                 QString::number(answer.isEmpty() ? available : answer.size()));
        QCOMPARE(Cell(m, 3, Column::Protocol), protocolText);
        QCOMPARE(Cell(m, 3, Column::Command), command);
        QCOMPARE(Cell(m, 3, Column::Latency), QStringLiteral("12.5"));
        QTEST(Cell(m, 3, Column::Crc), "crc");
        QTEST(Cell(m, 3, Column::Pieces), "piecesText");
        QTEST(Cell(m, 3, Column::Meaning), "meaning");
        QFETCH(bool, error);
        QCOMPARE(m.index(3, 0).data(TFrameMonitorModel::ErrorRole).toBool(), error);
        QCOMPARE(Cell(m, 3, Column::Mark), error ? QStringLiteral("!") : QString());
        QCOMPARE(m.index(3, Column::Meaning).data(Qt::BackgroundRole).isValid(), true);
        QCOMPARE(m.index(3, Column::Meaning).data(Qt::ForegroundRole).isValid(), error);
        QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$"))
                    .match(Cell(m, 3, Column::Time))
                    .hasMatch());
    }

    // A monitor opened during polling has seen no GetPar: the value takes the unit and point
    // that the reading's preparation stored.
    void valueBeforeAnyGetParSeen() {
        ChannelSetup[1] = {5.0, 0, 2};
        TFrameRecorder recorder;
        recorder.FrameEvent(RequestEvent(protocol::ReadValue(2), protocol::Protocol::Qv, 0));
        recorder.FrameEvent(AnswerEvent(Hex("07 00 40 3F BC CC CD 00 AA 17"), Ms));
        recorder.FrameEvent(RequestEvent(protocol::ReadValue(3), protocol::Protocol::Qv, 2 * Ms));
        recorder.FrameEvent(AnswerEvent(Hex("07 00 40 3F BC CC CD 00 AA 17"), 3 * Ms));
        recorder.Flush();
        ChannelSetup[1] = {};
        QCOMPARE(Cell(recorder.Model(), 1, Column::Meaning), QStringLiteral("1.475 A"));
        QCOMPARE(Cell(recorder.Model(), 3, Column::Meaning), QStringLiteral("1.475"));
    }

    // Each row is a request in every form the tap can see: the frame as the request builder
    // lays it out, and the right protocol for the six Modbus-only writes and the three
    // QV-only commands.
    void tapSeesEveryRequestInItsForm_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<bool>("modbus");
        for (int c = 0; c < CommandCount; ++c) {
            if (c == GetNumberOfProduce || c == GetSpeed) continue;  // never sent
            for (bool modbus : {false, true})
                QTest::addRow("%s %s", CommandName(TListComand(c)), modbus ? "Modbus" : "QV")
                    << c << modbus;
        }
    }

    void tapSeesEveryRequestInItsForm() {
        QFETCH(int, command);
        QFETCH(bool, modbus);
        struct Catcher : TFrameTap {
            TFrameEvent last;
            void FrameEvent(TFrameEvent&& e) override { last = std::move(e); }
        } catcher;
        ProtocolIsModbus = modbus ? 1 : 0;
        TQuery query;
        query.Adr = 7;
        query.SetName(TListComand(command));
        const std::vector<uint8_t> data = {2, 0x41, 0x48, 0, 0, 1, 1};
        for (uint8_t b : data) query.Push(b);
        query.BuildFrame();
        FrameTapDetail::RequestWritten(catcher, query, RequestBuffer, query.LengthOut);
        const protocol::RequestFrame expected =
            protocol::BuildRequest(TListComand(command), 7, data,
                                   modbus ? protocol::Protocol::Modbus : protocol::Protocol::Qv);
        QCOMPARE(catcher.last.modbus, expected.modbus);
        QCOMPARE(catcher.last.bytes.toHex(' '),
                 QByteArray(reinterpret_cast<const char*>(expected.bytes.data()),
                            int(expected.bytes.size()))
                     .toHex(' '));
        QCOMPARE(int(catcher.last.lengthIn), int(expected.lengthIn));
        QCOMPARE(int(catcher.last.command), command);
        ProtocolIsModbus = 1;
    }

    // Batches beyond the history drop the oldest rows, one removal and one insertion per
    // batch; a batch larger than the whole history keeps its newest rows.
    void historyIsBounded() {
        TFrameRecorder recorder;
        TFrameMonitorModel& m = recorder.Model();
        QCOMPARE(m.HistoryLimit(), 10000);
        QSignalSpy inserted(&m, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&m, &QAbstractItemModel::rowsRemoved);
        m.AppendRows(NumberedRows(0, 6000));
        m.AppendRows(NumberedRows(6000, 6000));
        QCOMPARE(m.rowCount(), 10000);
        QCOMPARE(inserted.count(), 2);
        QCOMPARE(removed.count(), 1);
        QCOMPARE(Cell(m, 0, Column::Meaning), QStringLiteral("№2000, строка"));
        QCOMPARE(Cell(m, 9999, Column::Meaning), QStringLiteral("№11999, строка"));
        m.AppendRows(NumberedRows(20000, 10500));
        QCOMPARE(m.rowCount(), 10000);
        QCOMPARE(Cell(m, 0, Column::Meaning), QStringLiteral("№20500, строка"));
        QCOMPARE(Cell(m, 9999, Column::Meaning), QStringLiteral("№30499, строка"));

        m.SetPaused(true);
        m.AppendRows(NumberedRows(40000, 5));
        QCOMPARE(Cell(m, 9999, Column::Meaning), QStringLiteral("№30499, строка"));
        m.Clear();
        QCOMPARE(m.rowCount(), 0);
    }

    // The filter shows one command's rows or the errors only, and saving writes exactly the
    // rows it shows, with the header, in plain text and CSV.
    void savingWritesTheRowsShown_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("command");
        QTest::addColumn<bool>("errorsOnly");
        QTest::addColumn<int>("rowsShown");
        const int plain = int(TFrameTextFormat::Plain), csv = int(TFrameTextFormat::Csv);
        QTest::newRow("plain, all") << plain << -1 << false << 30;
        QTest::newRow("plain, GetVal") << plain << int(GetVal) << false << 20;
        QTest::newRow("CSV, errors") << csv << -1 << true << 10;
        QTest::newRow("CSV, GetVal errors") << csv << int(GetVal) << true << 0;
    }

    void savingWritesTheRowsShown() {
        QFETCH(int, format);
        QFETCH(int, command);
        QFETCH(bool, errorsOnly);
        TFrameRecorder recorder;
        recorder.Model().AppendRows(NumberedRows(0, 30));
        TFrameFilter filter;
        filter.setSourceModel(&recorder.Model());
        filter.SetCommand(command);
        filter.SetErrorsOnly(errorsOnly);
        QTEST(filter.rowCount(), "rowsShown");

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("обмен.txt"));
        QVERIFY(SaveFrameRows(filter, path, TFrameTextFormat(format), nullptr));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray bytes = file.readAll();
        const bool csv = format == int(TFrameTextFormat::Csv);
        QCOMPARE(bytes.startsWith("\xEF\xBB\xBF"), csv);
        if (csv) bytes.remove(0, 3);
        const QStringList lines =
            QString::fromUtf8(bytes).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), filter.rowCount() + 1);
        QCOMPARE(
            lines[0],
            csv ? QStringLiteral("!,Время,Направление,Адрес,Команда,Байты,Значение,Окно,"
                                 "\"Задержка, мс\",Части,CRC,Длина,Протокол")
                : QStringLiteral("!\tВремя\tНаправление\tАдрес\tКоманда\tБайты\tЗначение\tОкно\t"
                                 "Задержка, мс\tЧасти\tCRC\tДлина\tПротокол"));
        for (int r = 0; r < filter.rowCount(); ++r) {
            const QString meaning = Cell(filter, r, Column::Meaning);
            // The meaning holds a comma: CSV quotes it.
            const QString separator = csv ? QStringLiteral(",") : QStringLiteral("\t");
            const QString field = csv ? QLatin1Char('"') + meaning + QLatin1Char('"') : meaning;
            QVERIFY2(lines[r + 1].contains(separator + field + separator),
                     qPrintable(lines[r + 1]));
            QCOMPARE(lines[r + 1].startsWith(QLatin1Char('!')),
                     filter.index(r, 0).data(TFrameMonitorModel::ErrorRole).toBool());
        }
    }

    // Copied rows keep the error mark; closing the window stops the tap, opening starts it.
    void windowCopiesAndListensWhileOpen() {
        TFrameRecorder recorder;
        recorder.Model().AppendRows(NumberedRows(0, 6));
        TFrameMonitor monitor(recorder);
        QCOMPARE(FrameTap.load(), nullptr);
        monitor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&monitor));
        QCOMPARE(monitor.windowTitle(), QStringLiteral("Монитор обмена"));
        QCOMPARE(FrameTap.load(), static_cast<TFrameTap*>(&recorder));
        monitor.Table()->selectRow(2);
        monitor.Table()->selectionModel()->select(
            monitor.Filter().index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        const QStringList copied =
            monitor.CopySelection().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(copied.size(), 2);
        QVERIFY(copied[0].contains(QStringLiteral("\t№2, строка\t")));
        QVERIFY(copied[1].startsWith(QStringLiteral("!\t")));
        QVERIFY(copied[1].contains(QStringLiteral("\t№3, строка\t")));
        QCOMPARE(QApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts),
                 copied);
        monitor.close();
        QCOMPARE(FrameTap.load(), nullptr);
    }

    // A frame longer than a line of the Bytes column is shown whole on lines of its own row,
    // whatever the column's width and after the filter hid and showed it again; copied and
    // saved whole. Short frames keep one line.
    void longFramesAreShownWhole() {
        TFrameRecorder recorder;
        const QByteArray info = InfoAnswer();
        recorder.Model().AppendRows(
            {FrameRow(Hex("07 00 45 01 F2")), FrameRow(info), FrameRow(Hex("07 00 45 01"), true)});
        TFrameMonitor monitor(recorder);
        monitor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&monitor));
        QTableView& table = *monitor.Table();
        const auto shownWhole = [&table, &info](int row) {
            const int lines = PaintedLines(table, row);
            if (lines * MostBytesOnALine(table) >= info.size()) return true;
            qWarning("%d lines of at most %d bytes", lines, MostBytesOnALine(table));
            return false;
        };
        QCOMPARE(PaintedLines(table, 0), 1);
        QCOMPARE(PaintedLines(table, 2), 1);
        QCOMPARE(table.rowHeight(2), table.rowHeight(0));
        QVERIFY(shownWhole(1));
        const int lines = PaintedLines(table, 1);

        table.setColumnWidth(Column::Bytes, table.columnWidth(Column::Bytes) / 2);
        QVERIFY(PaintedLines(table, 1) > lines);
        QVERIFY(shownWhole(1));

        monitor.Filter().SetErrorsOnly(true);
        QCOMPARE(table.model()->rowCount(), 1);
        monitor.Filter().SetErrorsOnly(false);
        QCOMPARE(table.model()->rowCount(), 3);
        QVERIFY(shownWhole(1));
        QCOMPARE(table.rowHeight(2), table.rowHeight(0));

        table.selectRow(1);
        QVERIFY(monitor.CopySelection().contains(QLatin1Char('\t') + FrameHex(info) +
                                                 QLatin1Char('\t')));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("обмен.csv"));
        QVERIFY(monitor.SaveTo(path, TFrameTextFormat::Csv));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains(FrameHex(info).toLatin1()));
    }

    // The view follows the newest row, a long one included, until the user scrolls up; then
    // the rows in view stay in view, also while the oldest rows are dropped.
    void followsNewestUnlessScrolledUp() {
        TFrameRecorder recorder;
        TFrameMonitorModel& m = recorder.Model();
        TFrameMonitor monitor(recorder);
        monitor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&monitor));
        QTableView& table = *monitor.Table();
        // A batch, then the event loop's turn that comes before the next one.
        const auto append = [&m](std::vector<TFrameRow>&& rows) {
            m.AppendRows(std::move(rows));
            QCoreApplication::processEvents();
        };
        append(NumberedRows(0, 100));
        QVERIFY(LastRowInView(table));
        append({FrameRow(InfoAnswer())});
        QVERIFY(LastRowInView(table));
        append(NumberedRows(100, 50));
        QVERIFY(LastRowInView(table));

        table.verticalScrollBar()->setValue(40);
        QCOMPARE(TopMeaning(table), QStringLiteral("№40, строка"));
        append(NumberedRows(150, m.HistoryLimit() - m.rowCount()));
        QCOMPARE(TopMeaning(table), QStringLiteral("№40, строка"));
        append(NumberedRows(20000, 30));  // the oldest 30 rows go
        QCOMPARE(m.rowCount(), m.HistoryLimit());
        QCOMPARE(TopMeaning(table), QStringLiteral("№40, строка"));
        QVERIFY(!LastRowInView(table));

        table.scrollToBottom();
        append({FrameRow(InfoAnswer())});
        QVERIFY(LastRowInView(table));
        append(NumberedRows(30000, 5));
        QVERIFY(LastRowInView(table));
    }

    // Closed and opened again, the monitor shows the newest rows and follows new ones, unless
    // the user had scrolled up before closing it.
    void reopenedFollowsNewest_data() {
        QTest::addColumn<bool>("scrolledUp");
        QTest::newRow("left at the end") << false;
        QTest::newRow("scrolled up") << true;
    }
    void reopenedFollowsNewest() {
        QFETCH(bool, scrolledUp);
        TFrameRecorder recorder;
        TFrameMonitorModel& m = recorder.Model();
        const auto append = [&m](std::vector<TFrameRow>&& rows) {
            m.AppendRows(std::move(rows));
            QCoreApplication::processEvents();
        };
        // Rows recorded before the window was first made (the log category was on).
        append(NumberedRows(0, 150));
        TFrameMonitor monitor(recorder);
        monitor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&monitor));
        QTableView& table = *monitor.Table();
        QTRY_VERIFY(LastRowInView(table));
        append(NumberedRows(150, 50));
        QVERIFY(LastRowInView(table));
        if (scrolledUp) table.verticalScrollBar()->setValue(40);
        monitor.close();
        append(NumberedRows(200, 50));  // what came while it was closed
        monitor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&monitor));
        if (scrolledUp) {
            QTRY_COMPARE(TopMeaning(table), QStringLiteral("№40, строка"));
            return;
        }
        QTRY_VERIFY(LastRowInView(table));
        append(NumberedRows(250, 20));
        QVERIFY(LastRowInView(table));
    }

    // With the category on, every event is one line on the log, also with no window open.
    void logCategoryPrintsOneLinePerEvent() {
        QVERIFY(!lcFrames().isDebugEnabled());
        static QStringList lines;
        lines.clear();
        QLoggingCategory::setFilterRules(QStringLiteral("tessera.frames.debug=true"));
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext& context, const QString& text) {
                if (QByteArray(context.category) == "tessera.frames") lines << text;
            });
        {
            TFrameRecorder recorder;
            QCOMPARE(FrameTap.load(), static_cast<TFrameTap*>(&recorder));
            recorder.FrameEvent(
                RequestEvent(protocol::Read(GetAdr), protocol::Protocol::Modbus, 0));
            recorder.FrameEvent(AnswerEvent(QByteArray(), 370 * Ms, 0, 0, 0));
            recorder.Flush();
        }
        qInstallMessageHandler(previous);
        QLoggingCategory::setFilterRules(QString());
        QCOMPARE(FrameTap.load(), nullptr);
        QCOMPARE(lines.size(), 2);
        QVERIFY(
            lines[0].contains(QStringLiteral("\tзапрос\t7\tGetAdr\t07 03 03 EA 00 01 A5 DC\t")));
        QVERIFY(lines[0].contains(QStringLiteral("\tГлавное окно\t")));
        QVERIFY(lines[0].endsWith(QStringLiteral("\tверна\t8\tModbus RTU")));
        QVERIFY(lines[1].startsWith(QStringLiteral("!\t")));
        QVERIFY(lines[1].contains(QStringLiteral("тайм-аут")));
    }

    // "Обмен" stands after "Помощь" and moves with the toolbar when the address group widens.
    void toolbarButtonFollowsHelp() {
        app.Start(nullptr, true);
        QToolButton* help = app.ui().ToolButton4;
        QToolButton* monitor = app.window->ToolButton5;
        QVERIFY(monitor);
        QCOMPARE(monitor->text(), QStringLiteral("Обмен"));
        QCOMPARE(monitor->toolTip(), QStringLiteral("Монитор обмена"));
        QCOMPARE(monitor->geometry(), help->geometry().translated(66, 0));
        QCOMPARE(help->geometry(), QRect(322, 6, 66, 44));
        app.ui().BitBtn22->click();
        QCOMPARE(monitor->geometry(), help->geometry().translated(66, 0));
        QVERIFY(app.ui().ToolBar1->rect().contains(monitor->geometry()));
        app.ui().BitBtn24->click();
        QCOMPARE(help->geometry(), QRect(322, 6, 66, 44));
    }

    // The program reads the instrument with the monitor open: the requests and answers on the
    // line are its rows, byte for byte as they travelled (the Modbus answer before its
    // rewrite), and a corrupted answer is an error row.
    // The same with the window's own button and live polling: reopened, it shows the newest.
    void reopenedDuringPollingFollowsNewest() {
        sim::Config config;
        config.protocol = sim::Protocol::Modbus;
        config.address = 7;
        app.Start(&config, true);
        app.SetAddress(7);
        app.window->ToolButton5->click();
        TFrameMonitor* monitor = app.window->FrameMonitor();
        QVERIFY(monitor);
        QVERIFY(QTest::qWaitForWindowExposed(monitor));
        app.ui().ToolButton1->click();
        app.ui().CheckBox1->setChecked(true);
        app.ui().Edit1->setText(QStringLiteral("5"));
        app.ui().BitBtn1->click();
        const QAbstractItemModel& rows = monitor->Filter();
        QTRY_VERIFY_WITH_TIMEOUT(rows.rowCount() >= 80, Wait);
        monitor->close();
        app.window->ToolButton5->click();
        QVERIFY(QTest::qWaitForWindowExposed(monitor));
        const int reopenedWith = rows.rowCount();
        QTRY_VERIFY_WITH_TIMEOUT(rows.rowCount() >= reopenedWith + 40, Wait);
        QTRY_VERIFY_WITH_TIMEOUT(LastRowInView(*monitor->Table()), Wait);
        app.ui().BitBtn2->click();
    }

    void monitorShowsLiveTraffic() {
        sim::Config config;
        config.protocol = sim::Protocol::Modbus;
        config.address = 7;
        app.Start(&config, true);
        app.SetAddress(7);
        app.instrument->Model().SetParameterSetup(1, 173.2f, 1, 1);
        app.instrument->Model().FreezeValue(1, 12.5f);
        app.window->ToolButton5->click();
        TFrameMonitor* monitor = app.window->FrameMonitor();
        QVERIFY(monitor && monitor->isVisible());
        QVERIFY(monitor->parentWidget() == app.window.get() && monitor->isWindow());
        const QAbstractItemModel& rows = monitor->Filter();

        app.ui().ToolButton1->click();
        app.ui().CheckBox1->setChecked(true);
        app.ui().Edit1->setText(QStringLiteral("20"));
        app.ui().BitBtn1->click();
        QTRY_VERIFY_WITH_TIMEOUT(rows.rowCount() >= 6, Wait);
        app.ui().BitBtn2->click();
        QTRY_VERIFY_WITH_TIMEOUT(!AwaitingAnswer && ExchangeThread->PassCount() > 0, Wait);
        QTest::qWait(2 * TFrameRecorder::FlushIntervalMs);

        const QStringList sent = app.Frames();
        QStringList answers;
        for (const auto& a : app.instrument->SentAnswers())
            answers << QString::fromStdString(sim::ToHex(a));
        QCOMPARE(Cell(rows, 0, Column::Bytes), QStringLiteral("07 03 00 64 00 04 05 B0"));
        QCOMPARE(Cell(rows, 1, Column::Meaning), QStringLiteral("шкала 173.20 V"));
        int requests = 0, answered = 0;
        for (int r = 0; r < rows.rowCount(); ++r) {
            const QString direction = Cell(rows, r, Column::Direction);
            if (direction == QStringLiteral("запрос")) {
                QCOMPARE(Cell(rows, r, Column::Bytes), sent.value(requests++));
            } else {
                QCOMPARE(direction, QStringLiteral("ответ"));
                QCOMPARE(Cell(rows, r, Column::Bytes), answers.value(answered++));
                QCOMPARE(Cell(rows, r, Column::Crc), QStringLiteral("верна"));
                QVERIFY(Cell(rows, r, Column::Latency).toDouble() >= 0);
                if (r > 2) QCOMPARE(Cell(rows, r, Column::Meaning), QStringLiteral("12.50 V"));
            }
        }
        QCOMPARE(requests, sent.size());
        QVERIFY(answered >= requests - 1);

        // A corrupted answer and a silence, each one error row after its request.
        app.instrument->SetFaults(Fault([](sim::Faults& f) {
            f.badCrc = true;
            f.count = 1;
        }));
        app.ui().BitBtn3->click();
        QTRY_VERIFY_WITH_TIMEOUT(
            Cell(rows, rows.rowCount() - 1, Column::Crc) == QStringLiteral("ошибка"), Wait);
        QCOMPARE(Cell(rows, rows.rowCount() - 1, Column::Mark), QStringLiteral("!"));
        QCOMPARE(Cell(rows, rows.rowCount() - 2, Column::Command), QStringLiteral("GetAdr"));
        app.instrument->SetFaults(Fault([](sim::Faults& f) {
            f.silence = true;
            f.count = 1;
        }));
        app.ui().BitBtn3->click();
        QTRY_VERIFY_WITH_TIMEOUT(
            Cell(rows, rows.rowCount() - 1, Column::Direction) == QStringLiteral("тайм-аут"), Wait);
        // The time-out timer may fire up to 5 % early (a coarse timer).
        const QString waited = Cell(rows, rows.rowCount() - 1, Column::Latency);
        QVERIFY2(waited.toDouble() >= 0.95 * AnswerTimeoutMs - 1, qPrintable(waited));

        // An answer in three pieces 100 ms apart is one row that counts its receive events.
        app.instrument->SetFaults(Fault([](sim::Faults& f) {
            f.pieces = 3;
            f.pieceGapMs = 100;
            f.count = 1;
        }));
        const int before = rows.rowCount();
        app.ui().BitBtn3->click();
        QTRY_COMPARE_WITH_TIMEOUT(rows.rowCount(), before + 2, Wait);
        QCOMPARE(Cell(rows, before + 1, Column::Meaning), QStringLiteral("адрес 7"));
        const QString pieces = Cell(rows, before + 1, Column::Pieces);
        QVERIFY2(pieces.startsWith(QStringLiteral("2 за ")) ||
                     pieces.startsWith(QStringLiteral("3 за ")),
                 qPrintable(pieces));

        // The line goes away: the port's failure is a row of its own.
        app.instrument->Vanish();
        app.ui().BitBtn3->click();
        QTRY_COMPARE_WITH_TIMEOUT(Cell(rows, rows.rowCount() - 1, Column::Direction),
                                  QStringLiteral("ошибка порта"), Wait);
        QVERIFY(!Cell(rows, rows.rowCount() - 1, Column::Meaning).isEmpty());

        monitor->close();
        QCOMPARE(FrameTap.load(), nullptr);
    }
};

QTEST_MAIN(TestFrameMonitor)
#include "test_frame_monitor.moc"
