// Faults on the line that must neither write anything unasked nor show a value as good that
// is not the answer to its request. The program runs on a pseudo-terminal whose far side is
// this test: it reads each request and writes exactly the answer bytes a case needs.
#include <poll.h>

#include <QLineEdit>
#include <QSlider>
#include <QtTest>

#include "AppHarness.h"
#include "PtyPair.h"
#include "commissioning/Commissioning.h"
#include "protocol/Crc.h"
#include "protocol/Requests.h"

namespace {

constexpr int Wait = 10000;  // generous: these machines are shared and noisy

QByteArray WithCrc(const char* hexBody) {
    QByteArray frame = QByteArray::fromHex(hexBody);
    frame.append(2, '\0');
    StoreCrc(reinterpret_cast<uint8_t*>(frame.data()), uint16_t(frame.size()));
    return frame;
}

QByteArray BadCrc(const char* hexBody) {
    QByteArray frame = WithCrc(hexBody);
    frame[frame.size() - 1] = char(frame[frame.size() - 1] ^ 0xFF);
    return frame;
}

QString Hex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

}  // namespace

class TestLineFaults : public QObject {
    Q_OBJECT
    std::unique_ptr<PtyPair> line;
    AppHarness app;
    QByteArray pending;

    void StartOnLine(bool modbus, int address) {
        line = std::make_unique<PtyPair>();
        QVERIFY(line->Valid());
        Tz::PortOverride = line->slavePath;
        AppHarness::WriteSettings(AppHarness::Settings(modbus ? 1 : 0));
        app.desktop.errorBox = [this](const QString& text) { app.errors << text; };
        app.errors.clear();
        app.window = std::make_unique<Tz>(nullptr, &app.desktop);
        app.window->show();
        QVERIFY(QTest::qWaitFor([] { return CurrentQuery != nullptr; }, Wait));
        QVERIFY(app.window->ComPort->Connected());
        if (address == 0)
            app.ForgetAddress();
        else
            app.SetAddress(address);
        pending.clear();
    }

    // The next request the program wrote (requests go out in one write each).
    QString NextRequest() {
        if (!QTest::qWaitFor(
                [this] {
                    pending += line->Received();
                    return !pending.isEmpty();
                },
                Wait))
            return QString();
        const QString request = Hex(pending);
        pending.clear();
        return request;
    }
    // Nothing more was written: the program has finished with what it was given.
    bool NothingSent() {
        pending += line->Received();
        return pending.isEmpty();
    }

private slots:
    void cleanup() {
        app.Stop();
        line.reset();
        LineOutOfStep = false;
    }

    // A failed serial-number write ends its chain: the year write never follows a later,
    // unrelated answer (with an address changed in between it went to another device).
    void serialNumberChainEndsWithItsFailure_data() {
        QTest::addColumn<QByteArray>("answer");  // empty: no answer
        QTest::addColumn<QString>("error");
        QTest::newRow("no answer") << QByteArray() << QStringLiteral("Прибор не отвечает ");
        QTest::newRow("bad checksum")
            << BadCrc("07 06 03 F0 04 D2") << QStringLiteral("Ошибка контрольной суммы ! ");
        QTest::newRow("exception")
            << WithCrc("07 86 03") << QStringLiteral("Неверное значение параметра ");
    }
    void serialNumberChainEndsWithItsFailure() {
        QFETCH(QByteArray, answer);
        QFETCH(QString, error);
        StartOnLine(true, 7);
        app.ui().Edit3->setText(QStringLiteral("231234"));
        app.ui().BitBtn19->click();
        QCOMPARE(NextRequest(), Hex(WithCrc("07 06 03 F0 04 D2")));
        if (!answer.isEmpty()) QVERIFY(line->Send(answer));
        QTRY_COMPARE_WITH_TIMEOUT(app.errors.value(0), error, Wait);

        app.ui().BitBtn9->click();  // brightness
        QCOMPARE(NextRequest(), Hex(WithCrc("07 03 03 EE 00 01")));
        QVERIFY(line->Send(WithCrc("07 03 02 00 01")));
        QTRY_COMPARE_WITH_TIMEOUT(app.ui().TrackBar1->value(), 1, Wait);
        QVERIFY2(NothingSent(), qPrintable(Hex(pending)));
        QCOMPARE(int(ExchangeState.load()), int(ExchangeStates::Single));
    }

    // An address the protocol cannot carry is refused instead of being cut to its low bits.
    void addressesOutOfRangeAreRefused_data() {
        QTest::addColumn<bool>("modbus");
        QTest::addColumn<QString>("typed");
        QTest::newRow("Modbus 257") << true << QStringLiteral("257");
        QTest::newRow("Modbus -255") << true << QStringLiteral("-255");
        QTest::newRow("Modbus 248") << true << QStringLiteral("248");
        QTest::newRow("QV 70000") << false << QStringLiteral("70000");
        QTest::newRow("QV -1") << false << QStringLiteral("-1");
        QTest::newRow("Modbus 0, the broadcast") << true << QStringLiteral("0");
        QTest::newRow("QV 0") << false << QStringLiteral("0");
        QTest::newRow("QV 65001") << false << QStringLiteral("65001");
        QTest::newRow("a letter") << true << QStringLiteral("2a");
        QTest::newRow("a trailing comma") << true << QStringLiteral("12,");
        QTest::newRow("an exponent") << false << QStringLiteral("1e2");
        QTest::newRow("empty") << true << QString();
        QTest::newRow("full-width digits") << true << QStringLiteral("\uFF11\uFF12");
    }
    void addressesOutOfRangeAreRefused() {
        QFETCH(bool, modbus);
        QFETCH(QString, typed);
        StartOnLine(modbus, 7);
        app.ui().EditAdr->setText(typed);
        app.window->EditAdrExit();
        QCOMPARE(app.errors.size(), 1);
        QVERIFY(app.errors[0].startsWith(QStringLiteral("Неверно указан адрес устройства")));
        QCOMPARE(int(CurrentQuery->Adr), 7);
        QCOMPARE(app.ui().EditAdr->text(), QStringLiteral("7"));
        // and a new address that the instrument could not take is not written either
        app.ui().Edit2->setText(typed);
        app.ui().BitBtn4->click();
        QCOMPARE(app.errors.size(), 2);
        QVERIFY(NothingSent());
    }

    // The field starts as the form gives it (0): no request of the instrument's operation goes
    // to the broadcast; the operator is told to type the address or search. The search itself
    // keeps its own address.
    void noRequestGoesToAnAddressTheProtocolCannotCarry_data() {
        QTest::addColumn<bool>("modbus");
        QTest::addColumn<int>("address");
        QTest::newRow("Modbus 0") << true << 0;
        QTest::newRow("QV 0") << false << 0;
        QTest::newRow("Modbus 300, a QV address") << true << 300;
    }
    void noRequestGoesToAnAddressTheProtocolCannotCarry() {
        QFETCH(bool, modbus);
        QFETCH(int, address);
        StartOnLine(modbus, 7);
        CurrentQuery->Adr = uint16_t(address);
        app.ui().EditAdr->setText(QString::number(address));
        app.ui().BitBtn9->click();  // brightness
        QVERIFY(NothingSent());
        QCOMPARE(app.errors.size(), 1);
        QVERIFY2(app.errors[0].contains(QStringLiteral("поиском")), qPrintable(app.errors[0]));
        QCOMPARE(int(ExchangeState.load()), int(ExchangeStates::Single));
        // Polling refused the same way: nothing sent, and polling is not said to run.
        app.ui().CheckBox1->setChecked(true);
        app.ui().BitBtn1->click();
        QVERIFY(NothingSent());
        QCOMPARE(app.errors.size(), 2);
        QVERIFY2(app.errors[1].contains(QStringLiteral("поиском")), qPrintable(app.errors[1]));
        QCOMPARE(int(ExchangeState.load()), int(ExchangeStates::Single));
        QVERIFY(!app.window->PollingStatus().Running());
        app.errors.clear();
        app.ui().BitBtn21->click();  // the search is sent to its own address
        QVERIFY(!NextRequest().isEmpty());
        QVERIFY(app.errors.isEmpty());
    }

    // An answer from another address is not the request's answer.
    void answerFromAnotherAddressIsNotTaken_data() {
        QTest::addColumn<bool>("modbus");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("foreign");
        QTest::newRow("Modbus") << true << WithCrc("07 03 03 EE 00 01")
                                << WithCrc("08 03 02 00 02");
        QTest::newRow("QV") << false << WithCrc("07 00 43") << WithCrc("08 00 43 02");
    }
    void answerFromAnotherAddressIsNotTaken() {
        QFETCH(bool, modbus);
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, foreign);
        StartOnLine(modbus, 7);
        app.ui().BitBtn9->click();
        QCOMPARE(NextRequest(), Hex(request));
        QVERIFY(line->Send(foreign));
        QTRY_COMPARE_WITH_TIMEOUT(app.errors.value(0), QStringLiteral("Прибор не отвечает "), Wait);
        QCOMPARE(app.ui().TrackBar1->value(), 0);
        QVERIFY(app.window->StatusText() != QStringLiteral("Операция выполнена успешно"));
    }

    // A QV instrument that answers the search late is not taken for the Modbus attempt's
    // answer: the program's protocol stays as it was.
    void lateQvSearchAnswerIsNotAModbusAnswer() {
        StartOnLine(false, 0);
        app.ui().BitBtn21->click();
        QCOMPARE(NextRequest(), Hex(WithCrc("FF 77 FF 00 00 00")));  // QV attempt
        QCOMPARE(NextRequest(), Hex(WithCrc("FF 77 FF FF 00 01")));  // Modbus attempt
        QVERIFY(line->Send(WithCrc("05 00 FF 00 00")));              // the QV answer, late
        QTRY_COMPARE_WITH_TIMEOUT(app.errors.value(0), QStringLiteral("Прибор не отвечает "), Wait);
        QCOMPARE(int(ProtocolIsModbus), 0);
        QVERIFY(!app.window->windowTitle().contains(QStringLiteral("ModBus")));
    }

    // Two instruments answering the search at once damage each other's answer: the error box
    // says what it always said, and the status bar what it may mean and what to use instead.
    void damagedSearchAnswerPointsToTheLineView() {
        StartOnLine(false, 0);
        app.ui().BitBtn21->click();
        QCOMPARE(NextRequest(), Hex(WithCrc("FF 77 FF 00 00 00")));  // QV attempt
        QVERIFY(line->Send(QByteArray::fromHex("0500FF00001234")));  // overlapped answers
        QTRY_COMPARE_WITH_TIMEOUT(app.errors.value(0),
                                  QStringLiteral("Ошибка контрольной суммы ! "), Wait);
        QVERIFY2(app.window->StatusText().contains(QStringLiteral("несколько приборов")) &&
                     app.window->StatusText().contains(QStringLiteral("«Линия»")),
                 qPrintable(app.window->StatusText()));
    }

    // Bytes that arrive while no answer is awaited (a duplicated answer, late) put the line
    // out of step: at most the exchange they fall into is wrong, the line is purged after it
    // falls silent, and every later value is on its own panel.
    void duplicatedAnswersNeverShiftThePanels_data() {
        QTest::addColumn<QString>("pause");
        QTest::addColumn<bool>("whileAwaited");  // the duplicate comes before the next answer
        QTest::newRow("between exchanges, pause 500 ms") << QStringLiteral("500") << false;
        QTest::newRow("before the next answer, pause 20 ms") << QStringLiteral("20") << true;
    }
    void duplicatedAnswersNeverShiftThePanels() {
        QFETCH(QString, pause);
        QFETCH(bool, whileAwaited);
        StartOnLine(true, 7);
        app.ui().CheckBox1->setChecked(true);
        app.ui().CheckBox2->setChecked(false);
        app.ui().CheckBox3->setChecked(true);
        app.ui().Edit1->setText(pause);
        app.ui().BitBtn1->click();
        // parameters 1 and 3: scale 100, unit V, point code 1
        QCOMPARE(NextRequest(), Hex(WithCrc("07 03 00 64 00 04")));
        QVERIFY(line->Send(WithCrc("07 03 08 00 00 42 C8 00 01 00 02")));
        QCOMPARE(NextRequest(), Hex(WithCrc("07 03 00 74 00 04")));
        QVERIFY(line->Send(WithCrc("07 03 08 00 00 42 C8 00 01 00 02")));
        const QByteArray value1 = WithCrc("07 03 04 00 00 41 48");  // 12.5
        const QByteArray value3 = WithCrc("07 03 04 00 00 42 34");  // 45.0
        const int outOfStepBefore = OutOfStepCount;
        for (int round = 0; round < 6; ++round) {
            QCOMPARE(NextRequest(), Hex(WithCrc("07 03 00 00 00 02")));
            QVERIFY(line->Send(value1));
            if (round == 2 && !whileAwaited) {
                // the same answer again while the pause runs
                QTRY_COMPARE_WITH_TIMEOUT(app.PanelText(1), QStringLiteral("  12.5"), Wait);
                QVERIFY(line->Send(value1));
            }
            const QString request3 = NextRequest();
            QCOMPARE(request3, Hex(WithCrc("07 03 00 08 00 02")));
            if (round == 2 && whileAwaited) QVERIFY(line->Send(value1));
            QVERIFY(line->Send(value3));
        }
        QCOMPARE(NextRequest(), Hex(WithCrc("07 03 00 00 00 02")));
        QVERIFY(line->Send(value1));
        QTRY_COMPARE_WITH_TIMEOUT(app.PanelText(1), QStringLiteral("  12.5"), Wait);
        QTRY_COMPARE_WITH_TIMEOUT(app.PanelText(3), QStringLiteral("  45.0"), Wait);
        QCOMPARE(OutOfStepCount - outOfStepBefore, 1);
        QCOMPARE(CrcErrorCount.load(), 0);
        QVERIFY(app.errors.isEmpty());
    }

    // A duplicate of the format answer while the chain still runs: glued to the format answer,
    // or right behind the setpoint request, where it has the form of the setpoint's answer and
    // comes before it. Either way another answer of the same form follows the one taken, so
    // that exchange is given up and said so (the chain ends there); 710 never reaches the
    // setpoint field, and the next read is good.
    void duplicatedFormatAnswerWhileTheChainRuns_data() {
        QTest::addColumn<bool>("afterTheRequest");  // else glued to the format answer itself
        QTest::newRow("behind the setpoint request") << true;
        QTest::newRow("glued to the format answer") << false;
    }
    void duplicatedFormatAnswerWhileTheChainRuns() {
        QFETCH(bool, afterTheRequest);
        StartOnLine(true, 7);
        QStringList shown;
        connect(app.ui().Edit11, &QLineEdit::textChanged, this,
                [&shown](const QString& text) { shown << text; });
        const QByteArray format = WithCrc("07 03 02 02 C6");  // 710: 16-bit setpoints
        const QByteArray value = WithCrc("07 03 02 00 78");   // 120
        app.ui().BitBtn15->click();
        QCOMPARE(NextRequest(), Hex(WithCrc("07 03 03 F4 00 01")));
        if (afterTheRequest) {
            QVERIFY(line->Send(format));
            QCOMPARE(NextRequest(), Hex(WithCrc("07 03 00 C8 00 01")));
            QVERIFY(line->Send(format + value));
        } else {
            QVERIFY(line->Send(format + format));
        }
        QTRY_COMPARE_WITH_TIMEOUT(app.errors.size(), 1, Wait);
        QVERIFY2(app.errors[0].startsWith(QStringLiteral("Ответ прибора не соответствует")),
                 qPrintable(app.errors[0]));
        QVERIFY2(NothingSent(), qPrintable(Hex(pending)));
        QVERIFY2(!shown.contains(QStringLiteral("710")), qPrintable(shown.join('|')));

        app.errors.clear();
        app.ui().BitBtn15->click();
        QCOMPARE(NextRequest(), Hex(WithCrc("07 03 03 F4 00 01")));
        QVERIFY(line->Send(format));
        QCOMPARE(NextRequest(), Hex(WithCrc("07 03 00 C8 00 01")));
        QVERIFY(line->Send(WithCrc("07 03 02 00 96")));  // 150
        QTRY_COMPARE_WITH_TIMEOUT(app.ui().Edit11->text(), QStringLiteral("150"), Wait);
        QVERIFY2(!shown.contains(QStringLiteral("710")), qPrintable(shown.join('|')));
        QVERIFY(app.errors.isEmpty());
    }

    // The setpoint read is a chain: the format, then the value in that format. A duplicate of
    // the format answer that arrives after the chain has ended answers nothing: taken as the
    // answer of the chain's last request it put the format (710) into the setpoint field as a
    // good reading.
    void duplicatedFormatAnswerNeverReachesTheSetpoint() {
        StartOnLine(true, 7);
        QStringList shown;
        connect(app.ui().Edit11, &QLineEdit::textChanged, this,
                [&shown](const QString& text) { shown << text; });
        const QByteArray format = WithCrc("07 03 02 02 C6");  // 710: 16-bit setpoints
        app.ui().BitBtn15->click();
        QCOMPARE(NextRequest(), Hex(WithCrc("07 03 03 F4 00 01")));
        QVERIFY(line->Send(format));
        QCOMPARE(NextRequest(), Hex(WithCrc("07 03 00 C8 00 01")));
        QVERIFY(line->Send(WithCrc("07 03 02 FF 38")));  // -200
        QTRY_COMPARE_WITH_TIMEOUT(app.ui().Edit11->text(), QStringLiteral("-200"), Wait);
        const int outOfStepBefore = OutOfStepCount;
        QVERIFY(line->Send(format));  // the duplicate, late: nothing is awaited
        QTRY_VERIFY_WITH_TIMEOUT(LineOutOfStep.load(), Wait);

        app.ui().BitBtn15->click();
        QCOMPARE(NextRequest(), Hex(WithCrc("07 03 03 F4 00 01")));
        QVERIFY(line->Send(format));
        QCOMPARE(NextRequest(), Hex(WithCrc("07 03 00 C8 00 01")));
        QVERIFY(line->Send(WithCrc("07 03 02 00 96")));  // 150
        QTRY_COMPARE_WITH_TIMEOUT(app.ui().Edit11->text(), QStringLiteral("150"), Wait);
        QCOMPARE(shown, QStringList({QStringLiteral("-200"), QStringLiteral("150")}));
        QCOMPARE(OutOfStepCount - outOfStepBefore, 1);
        QCOMPARE(CrcErrorCount.load(), 0);
        QVERIFY(app.errors.isEmpty());
    }

    // A new address is asked before it is written: only silence there lets the write go out;
    // an instrument answering at it (cleanly, refusing, or with damaged bytes) keeps it, and
    // nothing is written.
    void newAddressIsAskedFirst_data() {
        QTest::addColumn<bool>("modbus");
        QTest::addColumn<QByteArray>("answerAtTarget");  // empty: silence
        QTest::addColumn<bool>("written");
        QTest::newRow("Modbus, free") << true << QByteArray() << true;
        QTest::newRow("QV, free") << false << QByteArray() << true;
        QTest::newRow("Modbus, taken") << true << WithCrc("08 03 02 00 08") << false;
        QTest::newRow("Modbus, taken, refusing") << true << WithCrc("08 83 02") << false;
        QTest::newRow("Modbus, taken, damaged") << true << BadCrc("08 03 02 00 08") << false;
        QTest::newRow("QV, taken") << false << WithCrc("08 00 4A") << false;
        QTest::newRow("QV, taken, damaged") << false << BadCrc("08 00 4A") << false;
    }
    void newAddressIsAskedFirst() {
        QFETCH(bool, modbus);
        QFETCH(QByteArray, answerAtTarget);
        QFETCH(bool, written);
        const auto form = modbus ? protocol::Protocol::Modbus : protocol::Protocol::Qv;
        const auto frame = [form](const protocol::Request& r, uint16_t address) {
            const auto bytes = protocol::BuildRequest(r, address, form).bytes;
            return Hex(QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size())));
        };
        StartOnLine(modbus, 7);
        app.ui().Edit2->setText(QStringLiteral("8"));
        app.ui().BitBtn4->click();
        QCOMPARE(NextRequest(), frame(protocol::Read(GetAdr), 8));
        if (!answerAtTarget.isEmpty()) QVERIFY(line->Send(answerAtTarget));
        if (written) {
            QCOMPARE(NextRequest(), frame(protocol::WriteAddress(8), 7));
            QVERIFY(app.errors.isEmpty());  // the silence hoped for raised no box
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(app.errors.size(), 1, Wait);
        QVERIFY2(app.errors[0].contains(QStringLiteral("По адресу 8")), qPrintable(app.errors[0]));
        QTRY_VERIFY_WITH_TIMEOUT(!AwaitingAnswer && !app.window->Commissioning->Busy(), Wait);
        QVERIFY2(NothingSent(), qPrintable(Hex(pending)));
        QCOMPARE(int(CurrentQuery->Adr), 7);  // requests still go to the instrument in use
    }
};

QTEST_MAIN(TestLineFaults)
#include "test_line_faults.moc"
