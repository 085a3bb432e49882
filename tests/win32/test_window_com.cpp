// The program's main window built for Windows, driven in-process against a real COM port
// behind which a virtual instrument answers (scripts/windows-gui-check.sh maps Wine's COM5
// onto the pseudo-terminal of a Linux tessera-sim started with --frozen).
//
// The port is the one the settings file names, as at a real start: the registry's port list,
// the search, the polled readings, parameters written and read back, the settings file in the
// user's documents folder and a second start from it.
//
// It builds natively too (a pseudo-terminal's path as the port), which is how it is tried
// without Wine.
// Environment: TESSERA_WIN_PORT (default COM5), TESSERA_WIN_ADDRESS (the instrument's Modbus
// address, default 17), TESSERA_WIN_SCREENSHOTS (a folder: the window is saved there as
// windows-readings.png and windows-parameters.png).
#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QtTest>
#include <memory>

#include "TestDesktop.h"
#include "controls/Digit.h"
#include "exchange/Thread1.h"
#include "exchange/typeCMD.h"
#include "ui/SetupFile.h"
#include "ui/Unit1.h"
#include "ui/main.h"
#include "ui_Unit1.h"
#include "ui_main.h"

namespace {

constexpr int Wait = 10000;
const QString Success = QStringLiteral("Операция выполнена успешно");

QString Port() {
    return qEnvironmentVariable("TESSERA_WIN_PORT", QStringLiteral("COM5"));
}
int Address() {
    return qEnvironmentVariableIntValue("TESSERA_WIN_ADDRESS") > 0
               ? qEnvironmentVariableIntValue("TESSERA_WIN_ADDRESS")
               : 17;
}

QStringList SettingsLines() {
    QFile file(SetupFile::Path());
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

}  // namespace

class TestWindowCom : public QObject {
    Q_OBJECT
    TTestDesktop desktop;  // the error boxes, answered here and kept in `errors`
    std::unique_ptr<Tz> window;
    std::unique_ptr<TSettingForm> settingForm;
    QStringList errors;

    Ui::Tz& ui() { return *window->ui; }

    // A start as the program makes it: the port comes from the settings file.
    void StartProgram() {
        errors.clear();
        desktop.errorBox = [this](const QString& text) { errors << text; };
        window = std::make_unique<Tz>(nullptr, &desktop);
        settingForm = std::make_unique<TSettingForm>(window.get());
        SettingForm = settingForm.get();
        window->show();
        QVERIFY(QTest::qWaitFor([] { return CurrentQuery != nullptr; }, Wait));
        QTRY_VERIFY_WITH_TIMEOUT(window->ComPort->Connected(), Wait);
    }

    void StopProgram() {
        settingForm.reset();
        SettingForm = nullptr;
        window.reset();
        desktop.errorBox = nullptr;
        ExchangeState = ExchangeStates::Single;
    }

    void UseInstrumentAddress() {
        ui().EditAdr->setText(QString::number(Address()));
        window->EditAdrExit();
    }

    // What the panel shows: sign cell and the four digits, with "." after a lit point.
    QString PanelText(int panel) {
        QString text;
        for (int cell = 0; cell <= 4; ++cell) {
            TDigit* d = window->PanelCell(panel, cell);
            text += d->Value().isNull() ? QLatin1Char('?') : d->Value();
            if (d->Bars() & 0x80) text += QLatin1Char('.');
        }
        return text;
    }

    void Screenshot(const QString& name) {
        const QString folder = qEnvironmentVariable("TESSERA_WIN_SCREENSHOTS");
        if (folder.isEmpty()) return;
        QVERIFY(window->grab().save(folder + QLatin1Char('/') + name));
    }

private slots:
    void initTestCase() {
        // The settings file of a first start: the port, Modbus RTU at 9600, no update check.
        QDir().mkpath(SetupFile::Folder());
        QFile file(SetupFile::Path());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(
            QStringLiteral("[Port]\nPort=%1\nBaud=3\nPause=500\nprot=1\n[Update]\nUpdate=0\n")
                .arg(Port())
                .toUtf8());
        file.close();
        StartProgram();
    }
    void cleanupTestCase() { StopProgram(); }

    void settingsFileIsInTheUsersDocuments() {
#ifdef _WIN32
        const QString profile = QDir::fromNativeSeparators(qEnvironmentVariable("USERPROFILE"));
#else
        const QString profile = QDir::homePath();
#endif
        QVERIFY2(!profile.isEmpty(), "no user profile folder");
        QVERIFY2(SetupFile::Path().startsWith(profile + QLatin1Char('/'), Qt::CaseInsensitive),
                 qPrintable(SetupFile::Path()));
        QVERIFY(SetupFile::Path().endsWith(QStringLiteral("/Tessera_RS/setup.cfg")));
        QCOMPARE(PortName, Port());
    }

    // The port list of Windows (the registry's SERIALCOMM, where Wine lists its mapped ports);
    // a pseudo-terminal is in no port list.
    void portListNamesThePort() {
#ifndef _WIN32
        QSKIP("a pseudo-terminal is in no port list");
#endif
        settingForm->LoadSettings(PortName, SpeedIndex, ProtocolIsModbus);
        settingForm->show();
        QComboBox* box = settingForm->ui->ComboBox1;
        QTRY_VERIFY_WITH_TIMEOUT(box->findText(Port(), Qt::MatchStartsWith) >= 0 ||
                                     box->findText(Port(), Qt::MatchContains) >= 0,
                                 Wait);
        settingForm->hide();
        QVERIFY(errors.isEmpty());
    }

    void searchFindsTheInstrument() {
        ui().BitBtn21->click();
        QTRY_COMPARE_WITH_TIMEOUT(
            window->StatusText(),
            QStringLiteral("Сетевой адрес найденого прибора: %1    Протокол: MB").arg(Address()),
            Wait);
        QCOMPARE(ui().EditAdr->text(), QString::number(Address()));
        QCOMPARE(int(CurrentQuery->Adr), Address());
        QCOMPARE(int(ProtocolIsModbus), 1);
        QVERIFY(errors.isEmpty());
    }

    // The three readings of the instrument's panel, which tessera-sim --frozen keeps at
    // 229.7 (two decimals set: one shown), 1.48 and 50.
    void pollingShowsTheThreeReadings() {
        UseInstrumentAddress();
        ui().ToolButton1->click();
        QVERIFY(ui().PageControl1->currentWidget() == ui().TabPok);
        ui().CheckBox1->setChecked(true);
        ui().CheckBox2->setChecked(true);
        ui().CheckBox3->setChecked(true);
        ui().Edit1->setText(QStringLiteral("200"));
        ui().BitBtn1->click();
        QTRY_COMPARE_WITH_TIMEOUT(PanelText(1), QStringLiteral(" 229.7"), Wait);
        QTRY_COMPARE_WITH_TIMEOUT(PanelText(2), QStringLiteral(" 1.480"), Wait);
        QTRY_COMPARE_WITH_TIMEOUT(PanelText(3), QStringLiteral(" 50.00"), Wait);
        // Still polling: several rounds later the panels hold the same values.
        QTRY_VERIFY_WITH_TIMEOUT(window->TimerRepeat->isActive(), Wait);
        Screenshot(QStringLiteral("windows-readings.png"));
        ui().BitBtn2->click();
        QTRY_VERIFY_WITH_TIMEOUT(!AwaitingAnswer, Wait);
        QVERIFY(!window->TimerRepeat->isActive());
        QCOMPARE(PanelText(1), QStringLiteral(" 229.7"));
        QVERIFY(errors.isEmpty());
    }

    // A parameter written, its field cleared, and read back from the instrument.
    void parameterWrittenAndReadBack_data() {
        QTest::addColumn<QString>("writeButton");
        QTest::addColumn<QString>("readButton");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("cleared");
        QTest::addColumn<QString>("readBack");
        QTest::newRow("scale") << "BitBtn8"
                               << "BitBtn7"
                               << "Edit7"
                               << "173.2"
                               << "1"
                               << "173.2";
        QTest::newRow("information text") << "BitBtn12"
                                          << "BitBtn11"
                                          << "Edit9" << QStringLiteral("Щит 3") << ""
                                          << "Щит 3";
        QTest::newRow("alarm mode") << "BitBtn31"
                                    << "BitBtn32"
                                    << "ComboBox10"
                                    << "2"
                                    << "0"
                                    << "2";
        QTest::newRow("IEC sizes") << "BitBtn28"
                                   << "BitBtn27"
                                   << "ComboBox7"
                                   << "1"
                                   << "0"
                                   << "1";
    }
    void parameterWrittenAndReadBack() {
        QFETCH(QString, writeButton);
        QFETCH(QString, readButton);
        QFETCH(QString, field);
        QFETCH(QString, written);
        QFETCH(QString, cleared);
        QFETCH(QString, readBack);
        UseInstrumentAddress();
        ui().ToolButton2->click();
        ui().Edit8->setText(QStringLiteral("1"));
        ui().ei1->setCurrentIndex(4);
        ui().ComboBox4->setCurrentIndex(1);
        ui().ComboBox5->setCurrentIndex(2);
        ui().ComboBox6->setCurrentIndex(1);
        auto* edit = window->findChild<QLineEdit*>(field);
        auto* combo = window->findChild<QComboBox*>(field);
        QVERIFY(edit || combo);
        const auto set = [&](const QString& value) {
            if (edit)
                edit->setText(value);
            else
                combo->setCurrentIndex(value.toInt());
        };
        // The information text comes back padded with spaces to its full length.
        const auto shown = [&] {
            return edit ? edit->text().trimmed() : QString::number(combo->currentIndex());
        };
        set(written);
        ui().StatusBar1->clearMessage();
        window->findChild<QAbstractButton*>(writeButton)->click();
        QTRY_COMPARE_WITH_TIMEOUT(window->StatusText(), Success, Wait);
        QTRY_VERIFY_WITH_TIMEOUT(!AwaitingAnswer, Wait);
        set(cleared);
        QCOMPARE(shown(), cleared);
        ui().StatusBar1->clearMessage();
        window->findChild<QAbstractButton*>(readButton)->click();
        QTRY_COMPARE_WITH_TIMEOUT(shown(), readBack, Wait);
        QTRY_VERIFY_WITH_TIMEOUT(!AwaitingAnswer, Wait);
        if (field == QLatin1String("Edit7")) QCOMPARE(ui().ei1->currentIndex(), 4);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(QLatin1Char('\n'))));
        if (QTest::currentDataTag() == QLatin1String("IEC sizes"))
            Screenshot(QStringLiteral("windows-parameters.png"));
    }

    void settingsSavedAndReadOnTheNextStart() {
        ui().Edit1->setText(QStringLiteral("250"));
        window->move(40, 30);
        window->close();
        const QStringList lines = SettingsLines();
        QVERIFY2(lines.contains(QStringLiteral("Port=%1").arg(Port())),
                 qPrintable(lines.join('|')));
        QVERIFY(lines.contains(QStringLiteral("Pause=250")));
        QVERIFY(lines.contains(QStringLiteral("prot=1")));
        QVERIFY(lines.contains(QStringLiteral("left=40")));
        QVERIFY(lines.contains(QStringLiteral("top=30")));
        StopProgram();

        PortName.clear();
        RepeatPause = 0;
        StartProgram();
        QCOMPARE(PortName, Port());
        QCOMPARE(ui().Edit1->text(), QStringLiteral("250"));
        QCOMPARE(window->pos(), QPoint(40, 30));
        // The port the file named answers: a parameter read over it.
        UseInstrumentAddress();
        ui().Edit8->setText(QStringLiteral("1"));
        ui().Edit7->clear();
        ui().BitBtn7->click();
        QTRY_COMPARE_WITH_TIMEOUT(ui().Edit7->text(), QStringLiteral("173.2"), Wait);
        QVERIFY(errors.isEmpty());
    }
};

QTEST_MAIN(TestWindowCom)
#include "test_window_com.moc"
