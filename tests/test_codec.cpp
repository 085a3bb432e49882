// The frame check and the single-precision encodings, byte for byte.
#include <QtTest>
#include <cmath>
#include <cstring>

#include "protocol/Crc.h"
#include "protocol/Float.h"

class TestCodec : public QObject {
    Q_OBJECT
private slots:
    void crcOfKnownFrames_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("crc");
        QTest::newRow("empty") << QByteArray() << 0xFFFF;
        QTest::newRow("check string") << QByteArray("123456789") << 0x374B;
        QTest::newRow("GetAdr to 1") << QByteArray::fromHex("01004A") << 0xA1F7;
        QTest::newRow("GetAdr to 5") << QByteArray::fromHex("05004A") << 0xE036;
        QTest::newRow("search") << QByteArray::fromHex("FF77FF000000") << 0xD00B;
        QTest::newRow("whole frame checks to 0") << QByteArray::fromHex("01004AA1F7") << 0;
    }
    void crcOfKnownFrames() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, crc);
        QCOMPARE(
            int(Crc16(reinterpret_cast<const uint8_t*>(bytes.constData()), uint16_t(bytes.size()))),
            crc);
    }

    void storeCrcPutsLowOrderByteFirst() {
        uint8_t frame[5] = {0x01, 0x00, 0x4A, 0, 0};
        StoreCrc(frame, 5);
        QCOMPARE(frame[3], uint8_t(0xA1));
        QCOMPARE(frame[4], uint8_t(0xF7));
    }

    void singleToBytes_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("one") << 1.0 << QByteArray::fromHex("3F800000");
        QTest::newRow("scale 173.2") << 173.2 << QByteArray::fromHex("432D3333");
        QTest::newRow("hundred") << 100.0 << QByteArray::fromHex("42C80000");
        QTest::newRow("minus two") << -2.0 << QByteArray::fromHex("C0000000");
    }
    void singleToBytes() {
        QFETCH(double, value);
        QFETCH(QByteArray, wire);
        TBytes4 out{};
        SingleToBytesBE(out, value);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(out.data()), 4).toHex(), wire.toHex());
        // and back: the decoder takes the least significant byte first
        TBytes4 reversed;
        ReverseBytes4(out, reversed);
        QCOMPARE(BytesToSingle(reversed), double(float(value)));
    }

    void zeroAndNegativeZero() {
        QCOMPARE(BytesToSingle({0, 0, 0, 0}), 0.0);
        QVERIFY(!std::signbit(BytesToSingle({0, 0, 0, 0})));
        const double negativeZero = BytesToSingle({0, 0, 0, 0x80});
        QCOMPARE(negativeZero, 0.0);
        QVERIFY(std::signbit(negativeZero));
        QCOMPARE(BytesToSingle({0x00, 0x00, 0x80, 0x3F}), 1.0);
    }

    void specialValuesPassThrough() {
        QVERIFY(std::isnan(BytesToSingle({0x00, 0x00, 0xC0, 0x7F})));
        QVERIFY(std::isinf(BytesToSingle({0x00, 0x00, 0x80, 0x7F})));
    }
};

QTEST_APPLESS_MAIN(TestCodec)
#include "test_codec.moc"
