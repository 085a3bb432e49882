// Integer fields: what converts to which number and what is refused, through the short way
// taken for plain digits and the general one alike.
#include <QLocale>
#include <QtTest>

#include "exchange/Convert.h"

class TestConvert : public QObject {
    Q_OBJECT
private slots:
    void integers_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("converts");
        QTest::addColumn<int>("expected");
        QTest::newRow("one digit") << "7" << true << 7;
        QTest::newRow("zero") << "0" << true << 0;
        QTest::newRow("leading zeros") << "0012" << true << 12;
        QTest::newRow("nine digits") << "999999999" << true << 999999999;
        QTest::newRow("ten digits, in range") << "2147483647" << true << 2147483647;
        QTest::newRow("ten digits, too large") << "2147483648" << false << 0;
        QTest::newRow("leading zeros beyond nine") << "0000000000300" << true << 300;
        QTest::newRow("blanks around") << " 300 " << true << 300;
        QTest::newRow("signed") << "-25" << true << -25;
        QTest::newRow("plus sign") << "+25" << true << 25;
        QTest::newRow("hexadecimal") << "0x1F" << true << 31;
        QTest::newRow("hexadecimal, capital") << "0X1f" << true << 31;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("blank") << "  " << false << 0;
        QTest::newRow("digit and letter") << "12a" << false << 0;
        QTest::newRow("inner blank") << "1 2" << false << 0;
        QTest::newRow("decimal point") << "1.5" << false << 0;
        QTest::newRow("fullwidth digits")
            << QString::fromUtf8("\xEF\xBC\x91\xEF\xBC\x92") << false << 0;
        QTest::newRow("arabic-indic digits") << QString::fromUtf8("\xD9\xA1\xD9\xA2") << false << 0;
    }
    void integers() {
        QFETCH(QString, text);
        QFETCH(bool, converts);
        QFETCH(int, expected);
        bool threw = false;
        int value = -1;
        try {
            value = StrToInt(text);
        } catch (const EConvertError& e) {
            threw = true;
            QVERIFY(e.Message().contains(text));
        }
        QCOMPARE(!threw, converts);
        if (converts) QCOMPARE(value, expected);
    }

    // Every plain run of up to nine digits gives what the locale's conversion gives.
    void plainDigitsAgreeWithTheLocale() {
        const QLocale c = QLocale::c();
        for (const char* text :
             {"1", "09", "100", "2000", "65535", "123456789", "000000001", "99999999", "370"}) {
            bool ok = false;
            const qlonglong general = c.toLongLong(QLatin1String(text), &ok);
            QVERIFY(ok);
            QCOMPARE(qlonglong(StrToInt(QLatin1String(text))), general);
        }
    }
};

QTEST_APPLESS_MAIN(TestConvert)
#include "test_convert.moc"
