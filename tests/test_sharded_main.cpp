// The share of a test class that one ctest entry runs: every function lands in exactly one
// share, the fixtures and data functions in none, and a command line that names functions
// is left alone.
#include <QObject>
#include <QSet>
#include <QTest>

#include "ShardedMain.h"

namespace {

// A class shaped like the real ones: fixtures, a data function, a public slot, a slot with an
// argument; only the six private test functions count.
class Sample : public QObject {
    Q_OBJECT
public slots:
    void notATest() {}

private slots:
    void initTestCase() {}
    void first() {}
    void second_data() {}
    void second() {}
    void third() {}
    void init() {}
    void fourth() {}
    void withArgument(int) {}
    void fifth() {}
    void sixth() {}
    void cleanup() {}
    void cleanupTestCase() {}
};

const QStringList sampleFunctions = {"first", "second", "third", "fourth", "fifth", "sixth"};

}  // namespace

class TestShardedMain : public QObject {
    Q_OBJECT
private slots:
    void testFunctionsAreTheOnesQtTestRuns() {
        QCOMPARE(test_shard::testFunctions(Sample::staticMetaObject), sampleFunctions);
    }

    void sharesCoverEveryFunctionOnce_data() {
        QTest::addColumn<int>("count");
        for (int n : {1, 2, 3, 4, 6}) QTest::addRow("%d shares", n) << n;
    }
    void sharesCoverEveryFunctionOnce() {
        QFETCH(int, count);
        QStringList all;
        for (int k = 0; k < count; ++k) {
            const QStringList share = test_shard::shareOf(sampleFunctions, {k, count});
            QVERIFY2(!share.isEmpty(),
                     qPrintable(QString("share %1 of %2 is empty").arg(k + 1).arg(count)));
            all += share;
        }
        QCOMPARE(all.size(), sampleFunctions.size());
        QCOMPARE(QSet<QString>(all.begin(), all.end()),
                 QSet<QString>(sampleFunctions.begin(), sampleFunctions.end()));
    }

    void shareIsRead_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("index");  // -1: no share
        QTest::addColumn<int>("count");
        QTest::newRow("first of three") << "1/3" << 0 << 3;
        QTest::newRow("last of three") << "3/3" << 2 << 3;
        QTest::newRow("whole") << "1/1" << 0 << 1;
        QTest::newRow("unset") << "" << -1 << 0;
        QTest::newRow("zero-based") << "0/3" << -1 << 0;
        QTest::newRow("past the end") << "4/3" << -1 << 0;
        QTest::newRow("no count") << "2" << -1 << 0;
        QTest::newRow("zero count") << "1/0" << -1 << 0;
        QTest::newRow("words") << "a/b" << -1 << 0;
        QTest::newRow("three parts") << "1/2/3" << -1 << 0;
    }
    void shareIsRead() {
        QFETCH(QString, text);
        QFETCH(int, index);
        QFETCH(int, count);
        const auto share = test_shard::parseShare(text);
        QCOMPARE(share.has_value(), index >= 0);
        if (share) {
            QCOMPARE(share->index, index);
            QCOMPARE(share->count, count);
        }
    }

    void commandLineChoice_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("chooses");
        QTest::newRow("nothing") << QStringList{"t"} << false;
        QTest::newRow("a function") << QStringList{"t", "soak"} << true;
        QTest::newRow("a function and a row") << QStringList{"t", "flood:QV"} << true;
        QTest::newRow("output file") << QStringList{"t", "-o", "report.xml,junitxml"} << false;
        QTest::newRow("output, then a function") << QStringList{"t", "-o", "r,txt", "soak"} << true;
        QTest::newRow("verbose") << QStringList{"t", "-v2", "-maxwarnings", "0"} << false;
        QTest::newRow("listing the functions") << QStringList{"t", "-functions"} << true;
        QTest::newRow("listing the rows") << QStringList{"t", "-datatags"} << true;
    }
    void commandLineChoice() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, chooses);
        QCOMPARE(test_shard::commandLineChooses(arguments), chooses);
    }

    void argumentsAddTheShare() {
        const QStringList given = {"t", "-o", "r,txt"};
        qputenv("TESSERA_TEST_SHARD", "2/3");
        QCOMPARE(*test_shard::arguments(Sample::staticMetaObject, given),
                 given + QStringList({"second", "fifth"}));
        // Named functions win over the share.
        QCOMPARE(*test_shard::arguments(Sample::staticMetaObject, QStringList({"t", "third"})),
                 QStringList({"t", "third"}));
        // More shares than functions: an empty share is an error, not "run everything".
        qputenv("TESSERA_TEST_SHARD", "7/7");
        QVERIFY(!test_shard::arguments(Sample::staticMetaObject, given).has_value());
        qunsetenv("TESSERA_TEST_SHARD");
        QCOMPARE(*test_shard::arguments(Sample::staticMetaObject, given), given);
    }
};

QTEST_GUILESS_MAIN(TestShardedMain)
#include "test_sharded_main.moc"
