// The main window's answer log: while its list is hidden the lines wait in a ring and no list
// item is made; once the list is shown it holds exactly the lines it would hold had every
// answer gone straight in (one line per byte, a blank line after each answer, the newest
// TAnswerLog::LineLimit lines).
#include <QListWidget>
#include <QSignalSpy>
#include <QtTest>
#include <vector>

#include "ui/AnswerLog.h"

namespace {

// What the list shows when every answer goes straight in.
class DirectLog {
public:
    void Add(const std::vector<uint8_t>& answer) {
        for (uint8_t b : answer) FLines << QString::number(b);
        FLines << QStringLiteral("  ");
        if (FLines.size() > TAnswerLog::LineLimit)
            FLines.remove(0, FLines.size() - TAnswerLog::LineLimit);
    }
    void Clear() { FLines.clear(); }
    const QStringList& Lines() const { return FLines; }

private:
    QStringList FLines;
};

QStringList LinesOf(const QListWidget& list) {
    QStringList lines;
    for (int row = 0; row < list.count(); ++row) lines << list.item(row)->text();
    return lines;
}

// The n-th answer of a run: bytes that differ from answer to answer, so a line in the wrong
// place shows.
std::vector<uint8_t> Answer(int n, int length) {
    std::vector<uint8_t> bytes(size_t(length), 0);
    for (int k = 0; k < length; ++k) bytes[size_t(k)] = uint8_t(n * 7 + k);
    return bytes;
}

}  // namespace

class TestAnswerLog : public QObject {
    Q_OBJECT

    QWidget FParent;  // never shown: the list's own visibility is what counts
    QListWidget* FList = nullptr;
    TAnswerLog* FLog = nullptr;
    DirectLog FDirect;
    int FAnswers = 0;

    void AddAnswers(int count, int length) {
        for (int i = 0; i < count; ++i, ++FAnswers) {
            const std::vector<uint8_t> answer = Answer(FAnswers, length);
            FLog->Add(answer.data(), int(answer.size()));
            FDirect.Add(answer);
        }
    }

private slots:
    void init() {
        FList = new QListWidget(&FParent);
        FList->hide();  // as on the form
        FLog = new TAnswerLog(*FList);
        FDirect.Clear();
        FAnswers = 0;
    }

    void cleanup() { delete FList; }

    // Answers added hidden, then shown, then hidden again; the list is compared with the one
    // filled directly each time it is shown, and stays untouched while hidden.
    void showsWhatTheListFilledDirectlyShows_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("hiddenFirst");
        QTest::addColumn<int>("whileShown");
        QTest::addColumn<int>("hiddenAgain");
        // lines per answer: length + 1
        QTest::newRow("a few answers") << 10 << 3 << 2 << 4;
        QTest::newRow("nothing before the first show") << 10 << 0 << 5 << 1;
        QTest::newRow("exactly the limit hidden") << 9 << 200 << 0 << 0;
        QTest::newRow("ring wrapped while hidden") << 10 << 250 << 1 << 0;
        QTest::newRow("wrapped many times") << 4 << 3001 << 0 << 0;
        QTest::newRow("full list, a few more hidden") << 10 << 190 << 20 << 7;
        QTest::newRow("full list, then a full ring hidden") << 10 << 5 << 200 << 400;
        QTest::newRow("short answers (exception replies)") << 5 << 700 << 10 << 333;
        QTest::newRow("answer longer than the limit") << 2500 << 1 << 1 << 1;
    }
    void showsWhatTheListFilledDirectlyShows() {
        QFETCH(int, length);
        QFETCH(int, hiddenFirst);
        QFETCH(int, whileShown);
        QFETCH(int, hiddenAgain);
        QSignalSpy inserted(FList->model(), &QAbstractItemModel::rowsInserted);

        AddAnswers(hiddenFirst, length);
        QCOMPARE(FList->count(), 0);
        QCOMPARE(inserted.count(), 0);
        QCOMPARE(FLog->PendingLines(), std::min(hiddenFirst * (length + 1), TAnswerLog::LineLimit));
        FList->show();
        QCOMPARE(LinesOf(*FList), FDirect.Lines());

        AddAnswers(whileShown, length);  // straight in
        QCOMPARE(FLog->PendingLines(), 0);
        QCOMPARE(LinesOf(*FList), FDirect.Lines());

        FList->hide();
        const QStringList before = LinesOf(*FList);
        inserted.clear();
        AddAnswers(hiddenAgain, length);
        QCOMPARE(inserted.count(), 0);
        QCOMPARE(LinesOf(*FList), before);
        FList->show();
        QCOMPARE(LinesOf(*FList), FDirect.Lines());
        QVERIFY(FList->count() <= TAnswerLog::LineLimit);
    }

    // Emptied while lines still waited: they do not come back when it is shown.
    void clearedListGetsOnlyLaterLines() {
        AddAnswers(30, 10);
        FList->clear();
        FDirect.Clear();
        FList->show();
        QCOMPARE(FList->count(), 0);
        FList->hide();
        AddAnswers(2, 10);
        FList->show();
        QCOMPARE(LinesOf(*FList), FDirect.Lines());
        QCOMPARE(FList->count(), 22);
    }
};

QTEST_MAIN(TestAnswerLog)
#include "test_answer_log.moc"
