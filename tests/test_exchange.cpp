// The exchange end to end: the real serial port component on a pseudo-terminal, the exchange
// thread, the Modbus translation and the answer interpretation, against the virtual
// instrument. Each test starts a fresh program window (offscreen) and instrument.
#include <QListWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "AppHarness.h"
#include "exchange/ExchangeView.h"

using sim::Protocol;

namespace {

QString WithCrc(const char* hexBody) {
    return QString::fromStdString(sim::ToHex(sim::WithCrc(sim::FromHex(hexBody))));
}

sim::Config Instrument(Protocol protocol, uint16_t address) {
    sim::Config config;
    config.protocol = protocol;
    config.address = address;
    config.parameterCount = 3;
    return config;
}

constexpr int Wait = 10000;  // generous: these machines are shared and noisy

}  // namespace

class TestExchange : public QObject {
    Q_OBJECT
    AppHarness app;

    void StartWith(Protocol protocol, uint16_t address, bool programModbus) {
        const sim::Config config = Instrument(protocol, address);
        app.Start(&config, programModbus);
        app.SetAddress(address);
    }
    void Tick(bool p1, bool p2, bool p3) {
        app.ui().CheckBox1->setChecked(p1);
        app.ui().CheckBox2->setChecked(p2);
        app.ui().CheckBox3->setChecked(p3);
    }
    // Waits for the given number of received frames.
    bool Frames(size_t count) { return app.WaitForFrames(count, Wait); }

private slots:
    void cleanup() { app.Stop(); }

    void qvReadingOfOneParameter() {
        StartWith(Protocol::Qv, 1, false);
        app.instrument->Model().SetParameterSetup(1, 173.2f, 1, 2);
        app.instrument->Model().FreezeValue(1, 12.5f);
        Tick(true, false, false);
        app.ui().Edit1->setText(QStringLiteral("50"));
        app.ui().BitBtn1->click();
        QVERIFY(Frames(3));
        const QStringList frames = app.Frames();
        QCOMPARE(frames[0], QStringLiteral("01 00 41 01 F0 48"));
        QCOMPARE(frames[1], QStringLiteral("01 00 40 01 F1 D8"));
        QCOMPARE(frames[2], QStringLiteral("01 00 40 01 F1 D8"));
        QCOMPARE(app.ui().Label1->text(), QStringLiteral("V"));
        QTRY_COMPARE_WITH_TIMEOUT(app.PanelText(1), QStringLiteral("  12.5"), Wait);
        QCOMPARE(ChannelSetup[0].PointCode, uint8_t(2));
        QCOMPARE(float(ChannelSetup[0].Scale), 173.2f);
        QCOMPARE(int(ExchangeState.load()), int(ExchangeStates::ContinuousReading));
        QVERIFY(app.errors.isEmpty());
    }

    void modbusReadingOfParametersOneAndThree() {
        StartWith(Protocol::Modbus, 7, true);
        app.instrument->Model().SetParameterSetup(1, 100.0f, 1, 1);
        app.instrument->Model().SetParameterSetup(3, 100.0f, 2, 1);
        app.instrument->Model().FreezeValue(1, -12.3456f);
        app.instrument->Model().FreezeValue(3, 0.5f);
        Tick(true, false, true);
        app.ui().Edit1->setText(QStringLiteral("1"));
        app.ui().BitBtn1->click();
        QVERIFY(Frames(6));
        const QStringList frames = app.Frames().mid(0, 6);
        QCOMPARE(frames, QStringList({WithCrc("07 03 00 64 00 04"), WithCrc("07 03 00 74 00 04"),
                                      WithCrc("07 03 00 00 00 02"), WithCrc("07 03 00 08 00 02"),
                                      WithCrc("07 03 00 00 00 02"), WithCrc("07 03 00 08 00 02")}));
        QTRY_COMPARE_WITH_TIMEOUT(app.PanelText(3), QStringLiteral("  0.50"), Wait);
        QTRY_COMPARE_WITH_TIMEOUT(app.PanelText(1), QStringLiteral("-12.35"), Wait);
        QCOMPARE(app.ui().Label3->text(), QStringLiteral("A"));
        QCOMPARE(app.PanelText(2), QStringLiteral("     "));
        app.ui().BitBtn2->click();
        QCOMPARE(int(ExchangeState.load()), int(ExchangeStates::Single));
    }

    void answerInThreePiecesIsOneAnswer() {
        StartWith(Protocol::Qv, 1, false);
        app.instrument->Model().Change([](sim::InstrumentState& s) {
            s.year = 5;
            s.serialNumber = 42;
            s.parameterCount = 3;
        });
        app.instrument->SetFaults(Fault([](sim::Faults& f) {
            f.pieces = 3;
            f.pieceGapMs = 100;
        }));
        app.ui().BitBtn5->click();
        QTRY_COMPARE_WITH_TIMEOUT(app.ui().Edit3->text(), QStringLiteral("050042"), Wait);
        QCOMPARE(app.ui().Edit4->text(), QStringLiteral("2005"));
        QCOMPARE(app.ui().Edit5->text(), QStringLiteral("3"));
        QVERIFY(app.errors.isEmpty());
    }

    void shortAnswerIsNoAnswer() {
        StartWith(Protocol::Qv, 1, false);
        app.instrument->SetFaults(Fault([](sim::Faults& f) { f.cutBytes = 1; }));
        app.ui().BitBtn9->click();
        QTRY_COMPARE_WITH_TIMEOUT(app.errors, QStringList{QStringLiteral("Прибор не отвечает ")},
                                  Wait);
        QCOMPARE(app.window->StatusText(), QStringLiteral("Прибор не отвечает"));
    }

    void trailingBytesArePurgedBeforeTheNextRequest() {
        StartWith(Protocol::Qv, 1, false);
        app.instrument->Model().Change([](sim::InstrumentState& s) { s.brightness = 2; });
        app.instrument->SetFaults(Fault([](sim::Faults& f) {
            f.trailing = {0xAA, 0xBB, 0xCC};
            f.count = 1;
        }));
        app.ui().BitBtn9->click();
        QTRY_COMPARE_WITH_TIMEOUT(app.ui().TrackBar1->value(), 2, Wait);
        app.ui().BitBtn3->click();
        QTRY_COMPARE_WITH_TIMEOUT(app.ui().Edit2->text(), QStringLiteral("1"), Wait);
        QVERIFY(app.errors.isEmpty());
    }

    void modbusExceptionsAfterTheTimeout() {
        StartWith(Protocol::Modbus, 7, true);
        app.instrument->SetFaults(Fault([](sim::Faults& f) {
            f.exception = 2;
            f.count = 1;
        }));
        app.ui().Edit8->setText(QStringLiteral("2"));
        app.ui().BitBtn7->click();
        QTRY_COMPARE_WITH_TIMEOUT(app.errors,
                                  QStringList{QStringLiteral("Несуществующий параметр ")}, Wait);
        QCOMPARE(int(ExchangeState.load()), int(ExchangeStates::Single));

        // The same exception to a value request is silent and ends the polling.
        app.errors.clear();
        Tick(true, false, false);
        app.ui().Edit1->setText(QStringLiteral("1"));
        app.instrument->SetFaults(sim::Faults{});
        app.instrument->ClearReceived();
        app.ui().BitBtn1->click();
        QVERIFY(Frames(2));
        app.instrument->SetFaults(Fault([](sim::Faults& f) { f.exception = 2; }));
        QTRY_VERIFY_WITH_TIMEOUT(app.instrument->InjectedFaults().exceptions >= 1, Wait);
        QTRY_VERIFY_WITH_TIMEOUT(!AwaitingAnswer && !app.window->Timer_Out->isActive(), Wait);
        QCOMPARE(
            int(ExchangeState.load()),
            int(ExchangeStates::ContinuousReading));  // left as it was, yet nothing more is asked
        const size_t sent = app.instrument->ReceivedFrames().size();
        QTest::qWait(1000);  // a second with no request proves the polling ended
        QCOMPARE(app.instrument->ReceivedFrames().size(), sent);
        QVERIFY(app.errors.isEmpty());
    }

    void countersFollowTheStatusAfterKeyE() {
        StartWith(Protocol::Modbus, 7, true);
        QTest::keyClick(app.ui().Edit2, Qt::Key_E);
        QVERIFY(ShowCounters);
        SentCount = 12;
        CrcErrorCount = 0;
        NoAnswerCount = 1;
        app.ui().BitBtn9->click();
        QTRY_COMPARE_WITH_TIMEOUT(app.window->StatusText(),
                                  QStringLiteral("Операция выполнена успешно         13 / 0 / 1"),
                                  Wait);
        // Once the line has been out of step, that count follows.
        OutOfStepCount = 2;
        app.ui().BitBtn9->click();
        QTRY_COMPARE_WITH_TIMEOUT(
            app.window->StatusText(),
            QStringLiteral("Операция выполнена успешно         14 / 0 / 1 / 2"), Wait);
        OutOfStepCount = 0;
        ShowCounters = false;
    }

    void searchFindsAModbusDeviceAfterTheQvSilence() {
        StartWith(Protocol::Modbus, 17, false);
        app.ui().BitBtn21->click();
        QTRY_COMPARE_WITH_TIMEOUT(
            app.window->StatusText(),
            QStringLiteral("Сетевой адрес найденого прибора: 17    Протокол: MB"), Wait);
        QCOMPARE(app.Frames(), QStringList({QStringLiteral("FF 77 FF 00 00 00 D0 0B"),
                                            QStringLiteral("FF 77 FF FF 00 01 21 FB")}));
        QCOMPARE(int(ProtocolIsModbus), 1);
        QVERIFY(app.window->windowTitle().contains(QStringLiteral("ModBus RTU")));
        QCOMPARE(app.ui().EditAdr->text(), QStringLiteral("17"));
        QCOMPARE(int(CurrentQuery->Adr), 17);
        QVERIFY(app.ui().BitBtn23->isEnabled());
        QCOMPARE(int(ExchangeState.load()), int(ExchangeStates::Single));
    }

    void searchFindsAQvDeviceAndSwitchesIt() {
        StartWith(Protocol::Qv, 12, true);
        app.ForgetAddress();
        app.ui().BitBtn21->click();
        QTRY_COMPARE_WITH_TIMEOUT(app.ui().EditAdr->text(), QStringLiteral("12"), Wait);
        QVERIFY(app.window->windowTitle().contains(QStringLiteral("Quorvanta")));
        QCOMPARE(app.ui().BitBtn23->text(), QStringLiteral("MB RTU"));
        QCOMPARE(int(ProtocolIsModbus), 0);

        app.ui().BitBtn23->click();
        QTRY_COMPARE_WITH_TIMEOUT(int(ProtocolIsModbus), 1, Wait);
        QCOMPARE(app.Frames().last(), WithCrc("00 00 FE 0C 00"));
        QVERIFY(!app.ui().BitBtn23->isEnabled());
        QCOMPARE(app.ui().BitBtn23->text(), QStringLiteral("QV"));
        QVERIFY(app.instrument->Model().SpokenProtocol() == Protocol::Modbus);
        // and the instrument now answers in Modbus RTU at the same address
        app.ui().BitBtn3->click();
        QTRY_COMPARE_WITH_TIMEOUT(app.ui().Edit2->text(), QStringLiteral("12"), Wait);
    }

    void searchWithoutAnswerRestoresTheProtocol() {
        StartWith(Protocol::Qv, 3, true);
        app.instrument->SetFaults(Fault([](sim::Faults& f) { f.silence = true; }));
        app.ui().BitBtn21->click();
        QTRY_COMPARE_WITH_TIMEOUT(app.errors, QStringList{QStringLiteral("Прибор не отвечает ")},
                                  Wait);
        QCOMPARE(app.Frames().size(), 2);
        QCOMPARE(int(ProtocolIsModbus), 1);
        QCOMPARE(int(ExchangeState.load()), int(ExchangeStates::Single));
    }

    void switchAddressLimits() {
        StartWith(Protocol::Modbus, 3, false);
        app.SetAddress(300);
        app.ui().BitBtn23->setEnabled(true);
        app.ui().BitBtn23->click();
        QCOMPARE(app.errors, QStringList{QStringLiteral("Неверно указан адрес устройства ")});
        QCOMPARE(int(CurrentQuery->Adr), 300);
        QVERIFY(app.instrument->ReceivedFrames().empty());

        ProtocolIsModbus = 1;
        app.ui().BitBtn23->click();
        QVERIFY(Frames(1));
        QCOMPARE(app.Frames()[0], WithCrc("FF 76 2C 01 00 00"));
        QCOMPARE(int(CurrentQuery->Adr), 300);
    }

    void setpointChains_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("16-bit") << 710 << -200 << QStringLiteral("-200");
        QTest::newRow("8-bit") << 5 << 56 << QStringLiteral("56");
    }
    void setpointChains() {
        QFETCH(int, format);
        QFETCH(int, stored);
        QFETCH(QString, shown);
        StartWith(Protocol::Modbus, 7, true);
        app.instrument->Model().Change([&](sim::InstrumentState& s) {
            s.setpointFormat = uint16_t(format);
            s.upperSetpoint = int16_t(stored);
        });
        app.ui().BitBtn15->click();
        QTRY_COMPARE_WITH_TIMEOUT(app.ui().Edit11->text(), shown, Wait);
        QCOMPARE(app.Frames(),
                 QStringList({WithCrc("07 03 03 F4 00 01"), WithCrc("07 03 00 C8 00 01")}));

        app.instrument->ClearReceived();
        app.ui().Edit11->setText(QStringLiteral("231"));
        app.ui().BitBtn16->click();
        QTRY_COMPARE_WITH_TIMEOUT(app.errors,
                                  QStringList{QStringLiteral("Неверное значение уставки ")}, Wait);
        QCOMPARE(app.Frames().size(), 1);

        app.instrument->ClearReceived();
        app.ui().Edit11->setText(QStringLiteral("-150"));
        app.ui().BitBtn16->click();
        QVERIFY(Frames(2));
        const QString write =
            format == 710 ? WithCrc("07 06 50 04 FF 6A") : WithCrc("07 10 00 C8 00 01 02 00 6A");
        QCOMPARE(app.Frames()[1], write);
    }

    void relayReadChainAndWriteChain() {
        StartWith(Protocol::Modbus, 7, true);
        app.instrument->Model().Change([](sim::InstrumentState& s) {
            s.relays[1] = {3, 15, 2.5f};
        });
        app.ui().ComboBox8->setCurrentIndex(1);
        app.ui().BitBtn29->click();
        QTRY_COMPARE_WITH_TIMEOUT(app.ui().Edit10->text(), QStringLiteral("2.500"), Wait);
        QCOMPARE(app.ui().ComboBox9->currentIndex(), 3);
        QCOMPARE(app.ui().Edit6->text(), QStringLiteral("15"));

        app.instrument->ClearReceived();
        app.ui().ComboBox8->setCurrentIndex(0);
        app.ui().ComboBox9->setCurrentIndex(2);
        app.ui().Edit6->setText(QStringLiteral("7"));
        app.ui().Edit10->setText(QStringLiteral("1.5"));
        app.ui().BitBtn30->click();
        QVERIFY(Frames(2));
        QCOMPARE(app.Frames(), QStringList({WithCrc("07 10 02 2A 00 04 08 00 02 00 00 00 00 00 07"),
                                            WithCrc("07 10 02 3A 00 02 04 3F C0 00 00")}));
        QTRY_VERIFY_WITH_TIMEOUT(app.instrument->Model().Snapshot().relays[0].hysteresis == 1.5f,
                                 Wait);
        QCOMPARE(int(app.instrument->Model().Snapshot().relays[0].mode), 2);
        QCOMPARE(int(app.instrument->Model().Snapshot().relays[0].delay), 7);
    }

    void serialNumberInBothProtocols_data() {
        QTest::addColumn<bool>("modbus");
        QTest::newRow("QV") << false;
        QTest::newRow("Modbus") << true;
    }
    void serialNumberInBothProtocols() {
        QFETCH(bool, modbus);
        StartWith(modbus ? Protocol::Modbus : Protocol::Qv, 1, modbus);
        app.ui().Edit3->setText(QStringLiteral("231234"));
        app.ui().BitBtn19->click();
        if (modbus) {
            QVERIFY(Frames(2));
            QCOMPARE(app.Frames(),
                     QStringList({WithCrc("01 06 03 F0 04 D2"), WithCrc("01 06 03 F2 00 17")}));
        } else {
            QVERIFY(Frames(1));
            QCOMPARE(app.Frames(), QStringList{WithCrc("01 00 0F 17 04 D2")});
        }
        QTRY_COMPARE_WITH_TIMEOUT(int(app.instrument->Model().Snapshot().year), 23, Wait);
        QCOMPARE(int(app.instrument->Model().Snapshot().serialNumber), 1234);
        QCOMPARE(int(ExchangeState.load()), int(ExchangeStates::Single));

        app.ui().Edit3->setText(QStringLiteral("23123"));
        app.ui().BitBtn19->click();
        QVERIFY(app.errors.contains(QStringLiteral("Неверно задан заводской номер ")));
    }

    void lockedSerialNumberIsReported() {
        StartWith(Protocol::Qv, 1, false);
        app.instrument->Model().SetSerialLocked(true);
        app.ui().Edit3->setText(QStringLiteral("231234"));
        app.ui().BitBtn19->click();
        QTRY_COMPARE_WITH_TIMEOUT(app.errors,
                                  QStringList{QStringLiteral("Невозможно изменить номер ")}, Wait);
    }

    void badChecksums() {
        StartWith(Protocol::Qv, 1, false);
        Tick(true, false, false);
        app.ui().Edit1->setText(QStringLiteral("1"));
        app.ui().BitBtn1->click();
        QVERIFY(Frames(2));
        app.instrument->SetFaults(Fault([](sim::Faults& f) {
            f.badCrc = true;
            f.count = 2;
        }));
        QTRY_VERIFY_WITH_TIMEOUT(CrcErrorCount >= 2, Wait);
        QVERIFY(app.errors.isEmpty());  // no box while polling
        const size_t before = app.instrument->ReceivedFrames().size();
        QVERIFY(Frames(before + 3));  // and the polling goes on
        // Stopped between exchanges, so that no polled answer is still on its way when the
        // brightness is asked for.
        app.ui().Edit1->setText(QString::number(Tz::LongestRepeatPauseMs));
        QTRY_VERIFY_WITH_TIMEOUT(
            !RequestOnItsWay() && app.window->TimerRepeat->isActive() &&
                app.window->TimerRepeat->interval() == Tz::LongestRepeatPauseMs,
            Wait);
        app.ui().BitBtn2->click();

        app.instrument->SetFaults(Fault([](sim::Faults& f) {
            f.badCrc = true;
            f.count = 1;
        }));
        app.ui().BitBtn9->click();
        QTRY_COMPARE_WITH_TIMEOUT(app.errors,
                                  QStringList{QStringLiteral("Ошибка контрольной суммы ! ")}, Wait);
    }

    void corruptedModbusAnswerIsAChecksumError() {
        StartWith(Protocol::Modbus, 7, true);
        app.instrument->Model().Change([](sim::InstrumentState& s) { s.brightness = 2; });
        app.ui().TrackBar1->setValue(0);
        app.instrument->SetFaults(Fault([](sim::Faults& f) {
            f.badCrc = true;
            f.count = 1;
        }));
        app.ui().BitBtn9->click();
        QTRY_COMPARE_WITH_TIMEOUT(app.errors,
                                  QStringList{QStringLiteral("Ошибка контрольной суммы ! ")}, Wait);
        QCOMPARE(app.ui().TrackBar1->value(), 0);
    }

    void vanishingDeviceDuringReadingThenBack() {
        // Through a name of the test's own that goes with the device: another test's pty may
        // get the vanished one's number, and the program would reconnect to it.
        QTemporaryDir names;
        const QString name = names.filePath(QStringLiteral("instrument"));
        const sim::Config config = Instrument(Protocol::Modbus, 7);
        app.Start(&config, true, QString(), [&name](const QString& device) {
            return QFile::link(device, name) ? name : device;
        });
        app.SetAddress(7);
        Tick(true, false, false);
        app.ui().Edit1->setText(QStringLiteral("20"));
        app.ui().BitBtn1->click();
        QVERIFY(Frames(3));
        QVERIFY(QFile::remove(name));
        app.instrument->Vanish();
        QTRY_VERIFY_WITH_TIMEOUT(!app.errors.isEmpty(), Wait);
        QTRY_VERIFY_WITH_TIMEOUT(!app.window->TimerRepeat->isActive() && !AwaitingAnswer, Wait);

        app.instrument->Reappear();
        app.window->ComPort->Close();
        app.window->ComPort->SetPort(QString::fromStdString(app.instrument->DevicePath()));
        app.window->ComPort->Open();
        app.errors.clear();
        app.instrument->ClearReceived();
        app.instrument->Model().FreezeValue(1, 1.25f);
        app.ui().BitBtn1->click();
        QTRY_COMPARE_WITH_TIMEOUT(app.PanelText(1), QStringLiteral("   1.3"), Wait);
        QVERIFY(app.errors.isEmpty());
    }

    void readingWithNothingTickedEndsAtOnce() {
        StartWith(Protocol::Modbus, 7, true);
        Tick(false, false, false);
        app.ui().BitBtn1->click();
        QCOMPARE(app.errors, QStringList{NoChannelTickedText() + QLatin1Char(' ')});
        QCOMPARE(int(ExchangeState.load()), int(ExchangeStates::Single));
        QTest::qWait(400);  // longer than the answer time-out: nothing may be on the line
        QVERIFY(app.instrument->ReceivedFrames().empty());
    }

    // A second request while the first answer is awaited replaces it: the first answer's bytes
    // are read as the start of the second one, which fails its check once; nothing is queued,
    // and the line is clean again for the next request.
    void requestWhileAnAnswerIsAwaitedReplacesIt() {
        StartWith(Protocol::Qv, 1, false);
        app.instrument->SetFaults(Fault([](sim::Faults& f) {
            f.delayMs = 150;
            f.count = 2;
        }));
        app.ui().BitBtn9->click();
        QVERIFY(Frames(1));  // on the line before the purge of the next request could drop it
        app.ui().BitBtn5->click();
        QCOMPARE(int(SentCount), 2);
        QVERIFY(Frames(2));
        QTRY_COMPARE_WITH_TIMEOUT(app.errors,
                                  QStringList{QStringLiteral("Ошибка контрольной суммы ! ")}, Wait);
        QTRY_VERIFY_WITH_TIMEOUT(!AwaitingAnswer && !app.window->Timer_Out->isActive(), Wait);
        app.ui().BitBtn5->click();
        QTRY_COMPARE_WITH_TIMEOUT(app.ui().Edit5->text(), QStringLiteral("3"), Wait);
        QCOMPARE(app.errors.size(), 1);
    }

    // The answer log: every byte of every answer in decimal, one per line, then a line of two
    // spaces; beyond 2000 lines the oldest give way.
    void answerLogLinesAndLimit() {
        StartWith(Protocol::Qv, 1, false);
        Tick(true, false, false);
        // One value, then an hour's pause.
        app.ui().Edit1->setText(QString::number(Tz::LongestRepeatPauseMs));
        const int passesBefore = ExchangeThread->PassCount();
        app.ui().BitBtn1->click();
        QTRY_VERIFY_WITH_TIMEOUT(app.instrument->AnswersSent() >= 2, Wait);
        QStringList expected;
        auto logged = [&expected](const sim::Bytes& answer) {
            for (uint8_t b : answer) expected << QString::number(b);
            expected << QStringLiteral("  ");
        };
        logged(app.instrument->SentAnswers().back());  // the value, 10 bytes
        QListWidget* log = app.ui().Memo1;
        auto lines = [log] {
            QStringList all;
            for (int row = 0; row < log->count(); ++row) all << log->item(row)->text();
            return all;
        };
        // Hidden, as on the form, the log makes no lines; shown, it has every answer's.
        QTRY_VERIFY_WITH_TIMEOUT(ExchangeThread->PassCount() >= passesBefore + 2, Wait);
        QCOMPARE(log->count(), 0);
        log->show();
        QVERIFY(lines().endsWith(QStringLiteral("  ")));
        QCOMPARE(lines().mid(log->count() - 11), expected);
        expected = lines();

        for (int i = 0; i < 200; ++i) {
            uint8_t answer[10];
            for (int k = 0; k < 10; ++k) answer[k] = uint8_t(i * 10 + k);
            ExchangeView->TraceAnswer(answer, 10);
            logged(sim::Bytes(answer, answer + 10));
        }
        QCOMPARE(log->count(), 2000);
        QCOMPARE(lines(), expected.mid(expected.size() - 2000));
    }

    void qvOnlyCommandsAreNotSentInModbus() {
        StartWith(Protocol::Modbus, 7, true);
        app.ui().Button2->click();
        app.ui().BitBtn17->click();
        QTest::qWait(400);
        QVERIFY(app.instrument->ReceivedFrames().empty());
        QCOMPARE(app.window->StatusText(),
                 QStringLiteral("Команда недоступна в протоколе ModBus RTU"));
    }
};

QTEST_MAIN(TestExchange)
#include "test_exchange.moc"
