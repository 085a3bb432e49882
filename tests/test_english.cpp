// The English face: with the English translation in force (what --lang en and a stored
// English choice do at start) the windows and the messages made in code are English, while
// the program's own language stays Russian; the windows opened from the toolbar (the frame
// monitor, the service menu's read-all, configuration files and plot); and the language choice
// in setup.cfg and in the settings dialog.
#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <QTranslator>

#include "AppHarness.h"
#include "BoxCloser.h"
#include "FrameEvents.h"
#include "app/CommandLine.h"
#include "commissioning/Commissioning.h"
#include "commissioning/ConfigPreview.h"
#include "commissioning/ConfigTransfer.h"
#include "commissioning/PlotWindow.h"
#include "monitor/FrameMonitor.h"
#include "monitor/FrameMonitorModel.h"
#include "monitor/FrameRecorder.h"
#include "protocol/Requests.h"
#include "ui/HelpWindow.h"
#include "ui/Language.h"
#include "ui_Unit1.h"

Q_DECLARE_METATYPE(protocol::Request)

namespace {

constexpr int Wait = 10000;
const QString NoSuchPort = QStringLiteral("/dev/tessera-no-such-port");

bool HasCyrillic(const QString& text) {
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() >= 0x0400 && c.unicode() <= 0x04FF; });
}

// Every text a widget shows or hints, as "object: text".
QStringList ShownTexts(const QWidget& window) {
    QStringList texts{QStringLiteral("title: ") + window.windowTitle()};
    QList<QWidget*> widgets = window.findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        const QString name = w->objectName() + QStringLiteral(": ");
        if (!w->toolTip().isEmpty()) texts << name + w->toolTip();
        if (auto* b = qobject_cast<QAbstractButton*>(w)) texts << name + b->text();
        if (auto* l = qobject_cast<QLabel*>(w)) texts << name + l->text();
        if (auto* g = qobject_cast<QGroupBox*>(w)) texts << name + g->title();
        if (auto* c = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < c->count(); ++i) texts << name + c->itemText(i);
    }
    return texts;
}

// The texts of a table's cells and titles, as "table: text".
QStringList TableTexts(const QAbstractItemModel& model) {
    QStringList texts;
    for (int c = 0; c < model.columnCount(); ++c)
        texts << QStringLiteral("title: ") + model.headerData(c, Qt::Horizontal).toString();
    for (int r = 0; r < model.rowCount(); ++r)
        for (int c = 0; c < model.columnCount(); ++c)
            texts << QStringLiteral("cell: ") + model.index(r, c).data().toString();
    return texts;
}

QStringList Russian(const QStringList& texts) {
    QStringList russian;
    for (const QString& text : texts)
        if (HasCyrillic(text)) russian << text;
    return russian;
}

QStringList SettingsLines() {
    QFile file(AppHarness::SettingsPath());
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

}  // namespace

class TestEnglish : public QObject {
    Q_OBJECT
    AppHarness app;

    // The program on a port that does not exist, from the given settings file.
    void StartWithoutInstrument(const QString& settings) {
        AppHarness::WriteSettings(settings);
        Tz::PortOverride = NoSuchPort;
        app.desktop.errorBox = [this](const QString& text) { app.errors << text; };
        app.window = std::make_unique<Tz>(nullptr, &app.desktop);
        app.settingForm = std::make_unique<TSettingForm>(app.window.get());
        SettingForm = app.settingForm.get();
        app.window->show();
        QVERIFY(QTest::qWaitFor([] { return CurrentQuery != nullptr; }, Wait));
    }
    void StartWithInstrument() {
        sim::Config config;
        config.protocol = sim::Protocol::Modbus;
        config.address = 1;
        app.Start(&config, true);
        app.SetAddress(1);
        QVERIFY(app.window->ComPort->Connected());
    }
    Ui::TSettingForm& Dialog() { return *app.settingForm->ui; }

private slots:
    void init() {
        app.errors.clear();
        QVERIFY(Language::Apply(QStringLiteral("en")));
    }
    void cleanup() {
        app.desktop.report = nullptr;
        app.desktop.preview = nullptr;
        app.Stop();
        Language::Stored.clear();
        Language::Apply(QStringLiteral("ru"));
    }

    void mainWindowCaptions_data() {
        QTest::addColumn<QString>("object");
        QTest::addColumn<QString>("property");
        QTest::addColumn<QString>("english");
        auto row = [](const char* object, const char* property, const char* english) {
            QTest::newRow(object) << QString::fromLatin1(object) << QString::fromLatin1(property)
                                  << QString::fromUtf8(english);
        };
        row("ToolButton1", "text", "Readings");
        row("ToolButton2", "text", "Parameters");
        row("ToolButton3", "text", "Settings");
        row("ToolButton4", "text", "Help");
        row("BitBtn1", "text", "Read values");
        row("BitBtn2", "text", "Stop");
        row("CheckBox1", "text", "Par.1");
        row("GroupBoxAdr", "title", "Network address");
        row("GroupBoxRelay", "title", "Relay settings");
        row("LabelIecCause", "text", "Size of the 'cause of transmission' field");
        row("BitBtn23", "toolTip", "Switch the device to Quorvanta");  // set in code
    }
    void mainWindowCaptions() {
        QFETCH(QString, object);
        QFETCH(QString, property);
        StartWithoutInstrument(AppHarness::Settings(1));
        QObject* widget = app.window->findChild<QObject*>(object);
        QVERIFY(widget);
        QTEST(widget->property(qPrintable(property)).toString(), "english");
    }

    void mainWindowTitle() {
        StartWithoutInstrument(AppHarness::Settings(0, 7));
        QCOMPARE(app.window->windowTitle(),
                 QStringLiteral("Tessera_RS-485 4.15        Protocol: Quorvanta   115200"));
    }

    // Nothing of the main window or the settings dialog is left Russian, but the language
    // choice, which speaks both languages.
    void noRussianLeftInTheWindows() {
        StartWithoutInstrument(AppHarness::Settings(1));
        QStringList russian;
        for (const QString& text : ShownTexts(*app.window) + ShownTexts(*app.settingForm))
            if (HasCyrillic(text) && !text.startsWith(QLatin1String("Label4: ")) &&
                !text.startsWith(QLatin1String("ComboBox4: ")))
                russian << text;
        QVERIFY2(russian.isEmpty(), qPrintable(russian.join(QLatin1Char('\n'))));
        QCOMPARE(Dialog().Label1->text(), QStringLiteral("Port"));
        QCOMPARE(Dialog().Button1->text(), QStringLiteral("OK"));
        QCOMPARE(app.settingForm->windowTitle(), QStringLiteral("Settings"));
    }

    // The frame monitor's rows: the words of the exchange and of the protocol core (an
    // exception's text) in English, in the table, the copied text and the log line alike.
    void frameRowsInEnglish_data() {
        QTest::addColumn<bool>("modbus");
        QTest::addColumn<protocol::Request>("request");
        QTest::addColumn<QByteArray>("answer");  // hex; empty: a time-out
        QTest::addColumn<int>("available");
        QTest::addColumn<int>("pieces");
        QTest::addColumn<QString>("requestMeaning");
        QTest::addColumn<QString>("direction");
        QTest::addColumn<QString>("crc");
        QTest::addColumn<QString>("piecesText");
        QTest::addColumn<QString>("meaning");
        using namespace protocol;
        QTest::newRow("Modbus exception")
            << true << ReadParameter(2) << QByteArray("07830220F0") << 0 << 1 << "parameter 2"
            << "answer"
            << "good"
            << "1"
            << "exception 2: No such parameter";
        QTest::newRow("QV silence")
            << false << ReadValue(1) << QByteArray() << 0 << 0 << "parameter 1"
            << "timeout" << QString() << QString() << "no answer";
        QTest::newRow("Modbus short answer")
            << true << ReadValue(1) << QByteArray() << 3 << 2 << "parameter 1"
            << "timeout" << QString() << "2 in 200.0 ms"
            << "incomplete answer: 3 of 9 bytes";
        QTest::newRow("QV refused write")
            << false << WriteSerialAndYearQv(5, 42) << QByteArray("07000F0A84A7") << 0 << 1
            << "year 2005, number 42"
            << "answer"
            << "good"
            << "1"
            << "the number cannot be changed";
    }
    void frameRowsInEnglish() {
        QFETCH(bool, modbus);
        QFETCH(protocol::Request, request);
        QFETCH(QByteArray, answer);
        QFETCH(int, available);
        QFETCH(int, pieces);
        TFrameRecorder recorder;
        recorder.FrameEvent(
            RequestEvent(request, modbus ? protocol::Protocol::Modbus : protocol::Protocol::Qv));
        const QByteArray bytes = QByteArray::fromHex(answer);
        recorder.FrameEvent(AnswerEvent(bytes, 12 * 1000000, pieces, 200 * 1000000,
                                        bytes.isEmpty() ? available : -1));
        recorder.Flush();
        const TFrameMonitorModel& m = recorder.Model();
        QCOMPARE(m.rowCount(), 2);
        auto cell = [&m](int row, int column) { return m.index(row, column).data().toString(); };
        QCOMPARE(cell(0, TFrameMonitorModel::Direction), QStringLiteral("request"));
        QTEST(cell(0, TFrameMonitorModel::Meaning), "requestMeaning");
        QTEST(cell(1, TFrameMonitorModel::Direction), "direction");
        QTEST(cell(1, TFrameMonitorModel::Crc), "crc");
        QTEST(cell(1, TFrameMonitorModel::Pieces), "piecesText");
        QTEST(cell(1, TFrameMonitorModel::Meaning), "meaning");
        const QString copied = FrameRowsText(m, {0, 1}, TFrameTextFormat::Plain, true);
        QVERIFY2(!HasCyrillic(copied), qPrintable(copied));
        QVERIFY(copied.startsWith(QStringLiteral("!\tTime\tDirection\tAddress\tCommand\t")));
        QCOMPARE(FrameLogLine(m.Row(1)).split(QLatin1Char('\t')).value(2),
                 cell(1, TFrameMonitorModel::Direction));
    }

    // The windows opened from the toolbar and the service menu: the frame monitor, read-all
    // and its report, a configuration file saved and loaded back (its preview), the plot.
    void commissioningInEnglish() {
        StartWithInstrument();
        app.instrument->Model().SetInfoText("Panel 3");
        QStringList russian;

        app.window->ToolButton5->click();
        TFrameMonitor* monitor = app.window->FrameMonitor();
        QVERIFY(monitor && monitor->isVisible());
        QCOMPARE(monitor->windowTitle(), QStringLiteral("Frame monitor"));

        TCommissioning& tools = *app.window->Commissioning;
        QCOMPARE(tools.MenuButton()->text(), QStringLiteral("Service"));
        for (QAction* action : tools.MenuButton()->menu()->actions())
            if (HasCyrillic(action->text() + action->toolTip())) russian << action->text();

        QSignalSpy readAll(&tools, &TCommissioning::ReadAllFinished);
        QVERIFY(tools.ReadAll());
        QVERIFY(readAll.wait(2 * Wait));
        QVERIFY2(!HasCyrillic(app.window->StatusText()), qPrintable(app.window->StatusText()));
        QVERIFY2(app.window->StatusText().startsWith(QStringLiteral("All read: ")) ||
                     app.window->StatusText().startsWith(QStringLiteral("Read ")),
                 qPrintable(app.window->StatusText()));
        QTRY_VERIFY_WITH_TIMEOUT(monitor->Filter().rowCount() > 0, Wait);
        russian << Russian(ShownTexts(*monitor) + TableTexts(monitor->Filter()));

        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("panel.cfg"));
        QString error;
        QVERIFY2(tools.SaveConfig(file, error), qPrintable(error));
        QFile saved(file);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(saved.readAll());
        QVERIFY(text.startsWith(QStringLiteral("# Tessera_RS-485: device configuration\n")));
        QVERIFY(text.contains(
            QStringLiteral("\n# \"absent\": the value was not read from the device\n")));
        russian << Russian(text.split(QLatin1Char('\n')));

        QStringList reports;
        app.desktop.report = [&reports](const QString& report, bool) { reports << report; };
        app.desktop.preview = [&russian](TConfigPreview& preview) {
            russian << Russian(ShownTexts(preview) + TableTexts(*preview.Table()->model()));
            return false;
        };
        tools.LoadConfig(file);
        QTRY_VERIFY_WITH_TIMEOUT(!reports.isEmpty(), 3 * Wait);
        app.desktop.report = nullptr;
        app.desktop.preview = nullptr;
        QCOMPARE(reports, QStringList{QStringLiteral("Loading cancelled: nothing was written.")});

        russian << Russian(ShownTexts(*tools.ShowPlot()));
        QVERIFY2(russian.isEmpty(), qPrintable(russian.join(QLatin1Char('\n'))));
    }

    // Messages made in code: the serial port's, the port watch's, the exchange's and the
    // conversions'.
    void messagesFromCode() {
        StartWithoutInstrument(AppHarness::Settings(1));
        QTRY_VERIFY_WITH_TIMEOUT(!app.errors.isEmpty(), Wait);
        QCOMPARE(app.errors.first(),
                 QStringLiteral("Attempt to open a COM port that does not exist "));
        auto* field = app.window->findChild<QLabel*>(QStringLiteral("PortField"));
        QVERIFY(field);
        QCOMPARE(field->text(), QStringLiteral("Port %1 is not open").arg(NoSuchPort));
        {
            BoxCloser boxes;
            app.settingForm->LoadSettings(NoSuchPort, 3, 1);
            Dialog().Button1->click();
            QCOMPARE(boxes.seen.size(), 1);
            QCOMPARE(boxes.seen[0].title, QStringLiteral("Error"));
            QCOMPARE(boxes.seen[0].text,
                     QStringLiteral("Attempt to open a COM port that does not exist\n\nPort %1 "
                                    "was not opened. Port %1 is still not open.")
                         .arg(NoSuchPort));
        }
        app.Stop();

        StartWithInstrument();
        app.ui().Edit8->setText(QStringLiteral("1"));
        app.ui().BitBtn7->click();
        QTRY_COMPARE_WITH_TIMEOUT(app.window->StatusText(),
                                  QStringLiteral("Operation completed successfully"), Wait);
        app.errors.clear();
        app.ui().Edit8->setText(QStringLiteral("x1"));
        app.ui().BitBtn7->click();
        QCOMPARE(app.errors, QStringList{QStringLiteral("“x1” is not an integer ")});
    }

    void helpInEnglish() {
        StartWithoutInstrument(AppHarness::Settings(1));
        app.ui().ToolButton4->click();
        auto* help = app.window->findChild<THelpWindow*>();
        QVERIFY(help);
        QCOMPARE(help->Browser()->source(), QUrl(QStringLiteral("qrc:/help/help_en.html")));
        QVERIFY(!HasCyrillic(help->windowTitle()));
    }

    // Russian again once the English translation is dropped: nothing of it stays behind.
    void backToRussian() {
        QVERIFY(Language::Apply(QStringLiteral("ru")));
        QCOMPARE(Language::Current(), QStringLiteral("ru"));
        StartWithoutInstrument(AppHarness::Settings(1));
        QCOMPARE(app.ui().ToolButton1->text(), QStringLiteral("Показания"));
        QTRY_VERIFY_WITH_TIMEOUT(!app.errors.isEmpty(), Wait);
        QCOMPARE(app.errors.first(), QStringLiteral("Попытка открыть несуществующий COM-порт "));
        QCOMPARE(THelpWindow::Language, QStringLiteral("ru"));
    }

    void unknownLanguageLeavesRussian() {
        QVERIFY(!Language::Apply(QStringLiteral("de")));
        QCOMPARE(Language::Current(), QStringLiteral("ru"));
        QCOMPARE(QCoreApplication::translate("Tz", "Помощь"), QStringLiteral("Помощь"));
    }

    // --lang takes exactly the languages there are, and each but Russian has its translation
    // built into the program.
    void everyLanguageHasItsTranslation() {
        QCOMPARE(LanguageChoices(), Language::Known());
        QCOMPARE(Language::Known().first(), QStringLiteral("ru"));
        for (const QString& code : Language::Known().mid(1)) {
            QTranslator translator;
            QVERIFY2(translator.load(QStringLiteral(":/i18n/tessera_%1.qm").arg(code)),
                     qPrintable(code));
            QVERIFY(!translator.isEmpty());
            QCOMPARE(translator.language(), code);
        }
    }

    // The stored choice: read from [Language] Lang, shown by the dialog, changed there, written
    // back at close; a file in which nobody chose keeps exactly its keys.
    void storedChoice_data() {
        QTest::addColumn<QString>("stored");   // Lang= in the file; empty: no such key
        QTest::addColumn<int>("shown");        // the dialog's language list
        QTest::addColumn<int>("choose");       // -1: leave the list alone
        QTest::addColumn<QString>("written");  // Lang= after close; empty: no such key
        QTest::newRow("none, untouched") << QString() << 0 << -1 << QString();
        QTest::newRow("none, Russian kept") << QString() << 0 << 0 << QString();
        QTest::newRow("none, English chosen") << QString() << 0 << 1 << QStringLiteral("en");
        QTest::newRow("English, untouched")
            << QStringLiteral("en") << 1 << -1 << QStringLiteral("en");
        QTest::newRow("English, Russian chosen")
            << QStringLiteral("en") << 1 << 0 << QStringLiteral("ru");
        QTest::newRow("unknown shown as Russian, kept")
            << QStringLiteral("de") << 0 << -1 << QStringLiteral("de");
    }
    void storedChoice() {
        QFETCH(QString, stored);
        QFETCH(int, shown);
        QFETCH(int, choose);
        QFETCH(QString, written);
        QVERIFY(Language::Apply(QStringLiteral("ru")));
        QString settings = AppHarness::Settings(1);
        if (!stored.isEmpty()) settings += QStringLiteral("[Language]\nLang=%1\n").arg(stored);
        StartWithoutInstrument(settings);
        QCOMPARE(Language::Stored, stored);

        app.settingForm->LoadSettings(NoSuchPort, 3, 1);
        QCOMPARE(Dialog().ComboBox4->currentIndex(), shown);
        if (choose >= 0) Dialog().ComboBox4->setCurrentIndex(choose);
        {
            BoxCloser boxes;
            Dialog().Button1->click();  // the port fails to open: the dialog says so
            QCOMPARE(boxes.seen.size(), 1);
        }
        const bool changed = written != stored;
        // The windows keep the language they were made in; the new one comes with a restart.
        QCOMPARE(Language::Current(), QStringLiteral("ru"));
        if (changed) QCOMPARE(app.window->StatusText(), Dialog().ComboBox4->toolTip());
        app.window->close();

        const QStringList lines = SettingsLines();
        QVERIFY(lines.contains(QStringLiteral("prot=1")));
        QVERIFY(lines.contains(QStringLiteral("Baud=3")));
        QCOMPARE(lines.contains(QStringLiteral("[Language]")), !written.isEmpty());
        if (!written.isEmpty())
            QVERIFY2(lines.contains(QStringLiteral("Lang=") + written),
                     qPrintable(lines.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(TestEnglish)
#include "test_english.moc"
