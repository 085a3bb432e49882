// The main window as the operator meets it: start-up from the settings file, the title,
// shutdown writing the settings, the readings page and the parameter page's requests, against
// the virtual instrument on a pseudo-terminal.
#include <QComboBox>
#include <QtTest>

#include "AppHarness.h"
#include "exchange/cp1251.h"

using sim::Protocol;

namespace {

constexpr int Wait = 10000;

QString WithCrc(const char* hexBody) {
    return QString::fromStdString(sim::ToHex(sim::WithCrc(sim::FromHex(hexBody))));
}

QStringList SettingsLines() {
    QFile file(AppHarness::SettingsPath());
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
    AppHarness app;

    void StartProgram(const QString& settings) {
        app.errors.clear();
        AppHarness::WriteSettings(settings);
        Tz::PortOverride = QStringLiteral("/dev/tessera-no-such-port");
        app.desktop.errorBox = [this](const QString& text) { app.errors << text; };
        app.window = std::make_unique<Tz>(nullptr, &app.desktop);
        app.window->show();
        QVERIFY(QTest::qWaitFor([] { return CurrentQuery != nullptr; }, Wait));
    }
    void StartWithInstrument(Protocol protocol, uint16_t address) {
        sim::Config config;
        config.protocol = protocol;
        config.address = address;
        app.Start(&config, protocol == Protocol::Modbus);
        app.SetAddress(address);
        QVERIFY(app.window->ComPort->Connected());
    }

private slots:
    void cleanup() {
        app.Stop();
        // The folder one test puts where the settings file belongs must not outlive it when
        // the test fails half way (the next run could not write its settings).
        if (QFileInfo(AppHarness::SettingsPath()).isDir()) QDir().rmdir(AppHarness::SettingsPath());
    }

    void startWithoutSettingsFile() {
        AppHarness::RemoveSettings();
        Tz::PortOverride = QStringLiteral("/dev/tessera-no-such-port");
        app.desktop.errorBox = [this](const QString& text) { app.errors << text; };
        app.window = std::make_unique<Tz>(nullptr, &app.desktop);
        app.window->show();
        QTRY_VERIFY_WITH_TIMEOUT(!app.errors.isEmpty(), Wait);
        QCOMPARE(app.errors,
                 QStringList{QStringLiteral("Попытка открыть несуществующий COM-порт ")});
        QCOMPARE(app.window->pos(), QPoint(0, 0));
        QCOMPARE(app.window->windowTitle(),
                 QStringLiteral("Tessera_RS-485 4.15        Протокол: ModBus RTU   9600"));
        QCOMPARE(app.ui().BitBtn23->text(), QStringLiteral("QV"));
        QCOMPARE(app.ui().Edit1->text(), QStringLiteral("500"));
        QCOMPARE(PortName, QStringLiteral("COM1"));
        QVERIFY(app.ui().PageControl1->currentWidget() == app.ui().TabPar);
        // Both lines' speed lists hold the instrument's eight speeds, none chosen.
        for (QComboBox* box : {app.ui().ComboBox2, app.ui().ComboBox3}) {
            QStringList speeds;
            for (int i = 0; i < box->count(); ++i) speeds << box->itemText(i);
            QCOMPARE(speeds, (QStringList{"1200", "2400", "4800", "9600", "19200", "38400", "57600",
                                          "115200"}));
            QCOMPARE(box->currentIndex(), -1);
        }
    }

    void titleFollowsTheStoredProtocolAndSpeed() {
        StartProgram(QStringLiteral("[port]\nprot=0\nBAUD=7\n[Update]\nUpdate=0\n"));
        QCOMPARE(app.window->windowTitle(),
                 QStringLiteral("Tessera_RS-485 4.15        Протокол: Quorvanta   115200"));
        QCOMPARE(app.ui().BitBtn23->text(), QStringLiteral("MB RTU"));
        QCOMPARE(app.ui().BitBtn23->toolTip(),
                 QStringLiteral("Сменить протокол в приборе на ModBus RTU"));
        QVERIFY(!app.ui().BitBtn23->isEnabled());
    }

    void hostileValuesFallBackToDefaults() {
        StartProgram(QStringLiteral("[Port]\nBaud=9\nprot=7\nPause=-5\n[Update]\nUpdate=0\n"));
        QCOMPARE(SpeedIndex, 3);
        QCOMPARE(int(ProtocolIsModbus), 1);
        QCOMPARE(app.ui().Edit1->text(), QStringLiteral("500"));
        QVERIFY(app.window->windowTitle().endsWith(QStringLiteral("9600")));
    }

    void closeWritesAllEightKeysInOrder() {
        StartProgram(QStringLiteral("[Port]\nSP=0\nprot=0\n[Update]\nUpdate=0\n"));
        app.ui().Edit1->setText(QStringLiteral("250"));
        app.window->move(40, 30);
        app.window->close();
        QStringList keys;
        for (const QString& line : SettingsLines()) keys << line.section(QLatin1Char('='), 0, 0);
        QCOMPARE(keys, QStringList({"[Port]", "SP", "prot", "Port", "Baud", "Pause", "[Update]",
                                    "Update", "[form]", "left", "top"}));
        const QStringList lines = SettingsLines();
        QVERIFY(lines.contains(QStringLiteral("SP=0")));
        QVERIFY(lines.contains(QStringLiteral("Pause=250")));
        QVERIFY(lines.contains(QStringLiteral("prot=0")));
        QVERIFY(lines.contains(QStringLiteral("Update=1")));  // no notification this run
        QVERIFY(lines.contains(QStringLiteral("Port=COM1")));
        QCOMPARE(app.errors,
                 QStringList{QStringLiteral("Попытка открыть несуществующий COM-порт ")});
    }

    void closeWritesANewFileInTheKeyOrder() {
        AppHarness::RemoveSettings();
        StartProgram(QString());
        QFile::remove(AppHarness::SettingsPath());
        app.window->close();
        QStringList keys;
        for (const QString& line : SettingsLines()) keys << line.section(QLatin1Char('='), 0, 0);
        QCOMPARE(keys, QStringList({"[form]", "left", "top", "[Port]", "Port", "Baud", "Pause",
                                    "prot", "SP", "[Update]", "Update"}));
    }

    // A demo or --port run may switch the speed and the protocol for its own line; the line
    // the engineer keeps in setup.cfg is written back as it was found, absent keys absent.
    void lineForThisRunOnlyLeavesTheStoredLine_data() {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("stored QV line")
            << QStringLiteral("[Port]\nPort=/dev/ttyUSB3\nBaud=2\nprot=0\n[Update]\nUpdate=0\n")
            << QStringList{"Port=/dev/ttyUSB3", "Baud=2", "prot=0"};
        QTest::newRow("nothing stored") << QStringLiteral("[Update]\nUpdate=0\n") << QStringList{};
    }
    void lineForThisRunOnlyLeavesTheStoredLine() {
        QFETCH(QString, settings);
        QFETCH(QStringList, expected);
        Tz::LineForThisRunOnly = true;
        StartProgram(settings);
        ProtocolIsModbus = 1;
        SpeedIndex = 7;
        PortName = QStringLiteral("/dev/pts/99");
        app.ui().Edit1->setText(QStringLiteral("250"));
        app.window->close();
        Tz::LineForThisRunOnly = false;
        const QStringList lines = SettingsLines();
        QVERIFY(lines.contains(QStringLiteral("Pause=250")));  // not a line setting: kept
        QStringList line;
        for (const QString& l : lines)
            if (l.startsWith(QLatin1String("Port=")) || l.startsWith(QLatin1String("Baud=")) ||
                l.startsWith(QLatin1String("prot=")))
                line << l;
        QCOMPARE(line, expected);
    }

    void unusableIntervalOrFileIsToldNotCrashed() {
        StartProgram(QStringLiteral("[Port]\nPause=700\n[Update]\nUpdate=0\n"));
        app.errors.clear();
        app.ui().Edit1->setText(QStringLiteral("fast"));
        QFile::remove(AppHarness::SettingsPath());
        QVERIFY(QDir().mkdir(AppHarness::SettingsPath()));  // a folder where the file should be
        app.window->close();
        QCOMPARE(app.errors.size(), 1);
        QVERIFY(app.errors[0].contains(QStringLiteral("700")));
        QVERIFY(app.errors[0].contains(QStringLiteral("setup.cfg")));
        QVERIFY(QFileInfo(AppHarness::SettingsPath()).isDir());
        QDir().rmdir(AppHarness::SettingsPath());
    }

    void displayFormat_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("pointCode");
        QTest::addColumn<QString>("shown");
        QTest::newRow("173.25 / 2") << 173.25 << 2 << QStringLiteral(" 173.3");
        QTest::newRow("0.5 / 1") << 0.5 << 1 << QStringLiteral("  0.50");
        QTest::newRow("-12.3456 / 1") << -12.3456 << 1 << QStringLiteral("-12.35");
        QTest::newRow("overflow") << 10000.0 << 3 << QStringLiteral(" 9999.");
        QTest::newRow("5 / 3") << 5.0 << 3 << QStringLiteral("    5.");
        QTest::newRow("0.0004 / 0") << 0.0004 << 0 << QStringLiteral(" 0.000");
        QTest::newRow("0.0005 / 0") << 0.0005 << 0 << QStringLiteral(" 0.001");
        QTest::newRow("negative zero") << -0.0 << 2 << QStringLiteral("   0.0");
        QTest::newRow("code 4 blanks a zero") << 0.0 << 4 << QStringLiteral("     ");
        QTest::newRow("huge") << 1e30 << 1 << QStringLiteral(" 99.99");
    }
    void displayFormat() {
        QFETCH(double, value);
        QFETCH(int, pointCode);
        QFETCH(QString, shown);
        StartProgram(AppHarness::Settings(1));
        app.window->ShowReading(2, uint8_t(pointCode), value);
        QCOMPARE(app.PanelText(2), shown);
        app.window->ClearPanel(2);
        QCOMPARE(app.PanelText(2), QStringLiteral("     "));
    }

    void onlyTheSecondParameter() {
        StartWithInstrument(Protocol::Qv, 1);
        app.ui().CheckBox1->setChecked(false);
        app.ui().CheckBox2->setChecked(true);
        app.ui().Edit1->setText(QStringLiteral("1"));
        app.ui().BitBtn1->click();
        QVERIFY(app.WaitForFrames(4, Wait));
        const QStringList frames = app.Frames().mid(0, 4);
        QCOMPARE(frames, QStringList({WithCrc("01 00 41 02"), WithCrc("01 00 40 02"),
                                      WithCrc("01 00 40 02"), WithCrc("01 00 40 02")}));
        QCOMPARE(app.PanelText(1), QStringLiteral("     "));
        QCOMPARE(app.PanelText(3), QStringLiteral("     "));
    }

    void intervalFieldRules() {
        StartWithInstrument(Protocol::Modbus, 3);
        app.ui().Edit1->setText(QString());
        app.ui().BitBtn1->click();
        QTRY_VERIFY_WITH_TIMEOUT(app.window->TimerRepeat->isActive(), Wait);
        QCOMPARE(app.window->TimerRepeat->interval(), 300);
    }

    // A pause polling cannot keep is refused before anything is sent, with the field and the
    // range named; polling never reads one value and stops without a word.
    void unusableIntervalIsRefused_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("0") << QStringLiteral("0");
        QTest::newRow("negative") << QStringLiteral("-5");
        QTest::newRow("no number") << QStringLiteral("fast");
        QTest::newRow("exponent") << QStringLiteral("1e3");
        QTest::newRow("fraction") << QStringLiteral("2.5");
        QTest::newRow("over an hour") << QStringLiteral("3600001");
    }
    void unusableIntervalIsRefused() {
        QFETCH(QString, typed);
        StartWithInstrument(Protocol::Modbus, 3);
        app.ui().Edit1->setText(typed);
        app.instrument->ClearReceived();
        app.errors.clear();
        app.ui().BitBtn1->click();
        QCOMPARE(app.errors.size(), 1);
        QVERIFY2(app.errors[0].contains(QStringLiteral("Частота обновления")),
                 qPrintable(app.errors[0]));
        QVERIFY(app.errors[0].contains(QStringLiteral("от 1 до 3600000")));
        QCOMPARE(int(ExchangeState.load()), int(ExchangeStates::Single));
        QVERIFY(!AwaitingAnswer);
        QTest::qWait(200);
        QVERIFY(app.instrument->ReceivedFrames().empty());
    }

    // Typed during polling, such a pause leaves polling going at the pause it started with.
    void unusableIntervalDuringPollingKeepsPolling() {
        StartWithInstrument(Protocol::Modbus, 3);
        app.ui().Edit1->setText(QStringLiteral("20"));
        app.ui().BitBtn1->click();
        QTRY_COMPARE_WITH_TIMEOUT(int(ExchangeState.load()), int(ExchangeStates::ContinuousReading),
                                  Wait);
        app.ui().Edit1->setText(QStringLiteral("0"));
        const size_t before = app.instrument->ReceivedFrames().size();
        QVERIFY(app.WaitForFrames(before + 5, Wait));
        QCOMPARE(app.window->TimerRepeat->interval(), 20);
        QTRY_VERIFY_WITH_TIMEOUT(app.window->StatusText().contains(QStringLiteral("20 мс")), Wait);
        app.ui().BitBtn2->click();
    }

    void parameterPageStopsPolling() {
        StartWithInstrument(Protocol::Modbus, 3);
        app.ui().Edit1->setText(QStringLiteral("5"));
        app.ui().ToolButton1->click();
        QVERIFY(app.ui().PageControl1->currentWidget() == app.ui().TabPok);
        app.ui().BitBtn1->click();
        QVERIFY(app.WaitForFrames(4, Wait));
        app.ui().ToolButton2->click();
        QVERIFY(app.ui().PageControl1->currentWidget() == app.ui().TabPar);
        QVERIFY(!app.window->TimerRepeat->isActive());
        QCOMPARE(int(ExchangeState.load()),
                 int(ExchangeStates::ContinuousReading));  // left as it was
        app.ui().ToolButton1->click();
        const size_t sent = app.instrument->ReceivedFrames().size();
        QTest::qWait(600);
        QVERIFY(app.instrument->ReceivedFrames().size() <= sent + 1);  // at most the one in flight
        QVERIFY(!app.window->TimerRepeat->isActive());
    }

    void parameterPageRequests_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<int>("index");  // the frame's place among those sent
        QTest::newRow("scale 173.2 kV of parameter 1")
            << "BitBtn8" << WithCrc("01 00 01 01 43 2D 33 33 05 02") << 0;
        QTest::newRow("information text")
            << "BitBtn12"
            << WithCrc(("01 00 05 61 62 63" + QByteArray(61, ' ').toHex()).constData()) << 0;
        QTest::newRow("IEC sizes")
            << "BitBtn28" << WithCrc("01 10 0A 00 00 04 08 00 01 00 01 00 01 00 0D") << 0;
        QTest::newRow("alarm mode") << "BitBtn31" << WithCrc("01 06 50 00 00 02") << 0;
        QTest::newRow("speed RS1") << "BitBtn25" << WithCrc("01 00 02 05") << 0;
        QTest::newRow("speed RS2") << "BitBtn26" << WithCrc("01 00 04 08") << 0;
        // the new address is asked first (nobody answers at 300), then written
        QTest::newRow("new address") << "BitBtn4" << WithCrc("01 00 00 2C 01") << 1;
        QTest::newRow("brightness") << "BitBtn10" << WithCrc("01 00 03 02") << 0;
    }
    void parameterPageRequests() {
        QFETCH(QString, button);
        QFETCH(QString, frame);
        QFETCH(int, index);
        StartWithInstrument(Protocol::Qv, 1);
        Ui::Tz& f = app.ui();
        f.Edit8->setText(QStringLiteral("1"));
        f.Edit7->setText(QStringLiteral("173.2"));
        f.ei1->setCurrentIndex(4);
        f.Edit9->setText(QStringLiteral("abc"));
        f.ComboBox4->setCurrentIndex(0);
        f.ComboBox5->setCurrentIndex(0);
        f.ComboBox6->setCurrentIndex(0);
        f.ComboBox7->setCurrentIndex(1);
        f.ComboBox10->setCurrentIndex(2);
        f.ComboBox2->setCurrentIndex(4);
        f.ComboBox3->setCurrentIndex(7);
        f.Edit2->setText(QStringLiteral("300"));
        f.TrackBar1->setValue(2);
        app.window->findChild<QAbstractButton*>(button)->click();
        QVERIFY(app.WaitForFrames(size_t(index) + 1, Wait));
        QCOMPARE(app.Frames()[index], frame);
        QTRY_VERIFY_WITH_TIMEOUT(!AwaitingAnswer, Wait);
        QVERIFY(app.errors.isEmpty());
    }

    void parameterPageFieldsFromAnswers() {
        StartWithInstrument(Protocol::Modbus, 9);
        app.instrument->Model().SetParameterSetup(2, 173.2f, 3, 1);
        app.instrument->Model().SetInfoText(ToCp1251(QStringLiteral("Щит 3")).toStdString());
        app.instrument->Model().Change([](sim::InstrumentState& s) {
            s.iec = {2, 3, 2, 21};
            s.signallingMode = 3;
        });
        Ui::Tz& f = app.ui();
        f.Edit8->setText(QStringLiteral("2"));
        f.BitBtn7->click();
        QTRY_COMPARE_WITH_TIMEOUT(f.Edit7->text(), QStringLiteral("173.20"), Wait);
        QCOMPARE(f.ei1->currentIndex(), 2);
        f.BitBtn11->click();
        QTRY_COMPARE_WITH_TIMEOUT(f.Edit9->text(), QStringLiteral("Щит 3"), Wait);
        f.BitBtn27->click();
        QTRY_COMPARE_WITH_TIMEOUT(f.ComboBox7->currentIndex(), 2, Wait);
        QCOMPARE(f.ComboBox4->currentIndex(), 1);
        QCOMPARE(f.ComboBox5->currentIndex(), 2);
        QCOMPARE(f.ComboBox6->currentIndex(), 1);
        f.BitBtn32->click();
        QTRY_COMPARE_WITH_TIMEOUT(f.ComboBox10->currentIndex(), 3, Wait);
        QVERIFY(app.errors.isEmpty());
    }

    void fieldsThatDoNotConvertSendNothing() {
        StartWithInstrument(Protocol::Qv, 1);
        app.ui().Edit8->setText(QStringLiteral("x"));
        app.ui().BitBtn7->click();
        app.ui().ei1->setCurrentIndex(-1);
        app.ui().BitBtn8->click();
        QCOMPARE(app.errors.size(), 2);
        QCOMPARE(app.errors[1], QStringLiteral("Неверно задана единица измерения "));
        QTest::qWait(400);
        QVERIFY(app.instrument->ReceivedFrames().empty());
    }

    void scaleFieldTakesDigitsAndDecimalSeparatorOnly() {
        StartProgram(AppHarness::Settings(1));
        app.ui().Edit7->clear();
        QTest::keyClicks(app.ui().Edit7, QStringLiteral("1a7-3.2"));
        QCOMPARE(app.ui().Edit7->text(), QStringLiteral("173.2"));
        app.ui().Edit7->clear();
        QTest::keyClicks(app.ui().Edit7, QStringLiteral("1a73,2"));
        QCOMPARE(app.ui().Edit7->text(), QStringLiteral("173,2"));
    }

    // A decimal comma is the decimal point (Russian keyboards type it) in the scale and the
    // relay's hysteresis; a text that is still not a number is refused with a message and
    // nothing is written.
    void decimalCommaIsTheDecimalPoint_data() {
        QTest::addColumn<bool>("hysteresis");  // else the scale
        QTest::addColumn<QString>("text");
        QTest::addColumn<float>("written");  // 0: refused
        QTest::newRow("scale, comma") << false << QStringLiteral("173,2") << 173.2f;
        QTest::newRow("scale, point") << false << QStringLiteral("17.32") << 17.32f;
        QTest::newRow("scale, two separators") << false << QStringLiteral("17,3,2") << 0.0f;
        QTest::newRow("hysteresis, comma") << true << QStringLiteral("1,5") << 1.5f;
        QTest::newRow("hysteresis, two separators") << true << QStringLiteral("1,5,0") << 0.0f;
    }
    void decimalCommaIsTheDecimalPoint() {
        QFETCH(bool, hysteresis);
        QFETCH(QString, text);
        QFETCH(float, written);
        StartWithInstrument(Protocol::Qv, 1);
        if (hysteresis) {
            app.ui().ComboBox8->setCurrentIndex(0);
            app.ui().ComboBox9->setCurrentIndex(1);
            app.ui().Edit6->setText(QStringLiteral("7"));
            app.ui().Edit10->setText(text);
            app.ui().BitBtn30->click();
        } else {
            app.ui().Edit7->setText(text);
            app.ui().Edit8->setText(QStringLiteral("1"));
            app.ui().ei1->setCurrentIndex(0);
            app.ui().BitBtn8->click();
        }
        if (written == 0.0f) {
            QCOMPARE(app.errors.size(), 1);
            QVERIFY(app.instrument->ReceivedFrames().empty());
            return;
        }
        const auto value = [this, hysteresis] {
            const auto state = app.instrument->Model().Snapshot();
            return hysteresis ? state.relays[0].hysteresis : state.parameters[0].scale;
        };
        QTRY_COMPARE_WITH_TIMEOUT(value(), written, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(app.window->StatusText(),
                                  QStringLiteral("Операция выполнена успешно"), 10000);
        QVERIFY(app.errors.isEmpty());
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
