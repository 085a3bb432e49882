// Commissioning from the window against virtual instruments: read all and its skip rules, the
// fields of another source greyed, configuration files between the window, tessera-cli and a
// second instrument, the preview and what it lets through, the CSV log written while polling,
// and the plot's bounded memory.
#include <sys/stat.h>

#include <QAction>
#include <QGraphicsOpacityEffect>
#include <QMenu>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <cmath>

#include "AppHarness.h"
#include "InstrumentSetups.h"
#include "ShardedMain.h"
#include "commissioning/Commissioning.h"
#include "commissioning/ConfigPreview.h"
#include "commissioning/ConfigTransfer.h"
#include "commissioning/PlotModel.h"
#include "commissioning/PlotWindow.h"
#include "commissioning/ReadAll.h"
#include "config/ConfigFile.h"
#include "sim/VirtualBus.h"

using sim::Protocol;

namespace {

constexpr int Wait = 20000;  // generous: these machines are shared and noisy

struct CliRun {
    int code = -1;
    QString out;
};

CliRun Cli(const QStringList& arguments) {
    QProcess program;
    program.start(QStringLiteral(TESSERA_CLI_PROGRAM), arguments);
    CliRun run;
    if (!program.waitForFinished(60000)) {
        program.kill();
        program.waitForFinished();
        return run;
    }
    run.code = program.exitCode();
    run.out = QString::fromUtf8(program.readAllStandardOutput() + program.readAllStandardError());
    return run;
}

QString ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// What a configuration file says: its lines without the comments.
QStringList Settings(const QString& text) {
    QStringList lines;
    for (const QString& line : text.split('\n')) {
        const QString setting = line.left(line.indexOf(QLatin1String("  #"))).trimmed();
        if (!setting.isEmpty() && !setting.startsWith('#')) lines << setting;
    }
    return lines;
}

QString Path(const sim::VirtualInstrument& vi) {
    return QString::fromStdString(vi.DevicePath());
}

// A configuration file holding `text`, written in `dir`; its path, empty if not written.
QString WriteConfig(const QTemporaryDir& dir, const char* name, const QByteArray& text) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size()) return QString();
    return path;
}

bool IsWriteFrame(const sim::Bytes& frame, bool modbus) {
    if (modbus) return frame.size() > 1 && (frame[1] == 0x06 || frame[1] == 0x10);
    return frame.size() > 2 && frame[2] < 0x40;
}

}  // namespace

class TestCommission : public QObject {
    Q_OBJECT
    AppHarness app;
    QStringList reports;
    bool reportProblem = false;

    TCommissioning& C() { return *app.window->Commissioning; }

    void Start(Protocol protocol, uint16_t address, int parameters = 3) {
        const sim::Config config = Instrument(protocol, address, parameters);
        app.Start(&config, protocol == Protocol::Modbus);
        app.SetAddress(address);
    }

    bool ReadAll() {
        QSignalSpy done(&C(), &TCommissioning::ReadAllFinished);
        return C().ReadAll() && done.wait(Wait);
    }

    // The window's port moved to another line, as the settings dialog does it.
    void UseLine(const QString& path, uint16_t address, bool modbus) {
        app.window->ComPort->Close();
        app.window->ComPort->SetPort(path);
        app.window->ComPort->Open();
        ProtocolIsModbus = modbus ? 1 : 0;
        app.window->RefreshProtocolView();
        app.SetAddress(address);
    }

    bool Load(const QString& file) {
        const int before = reports.size();
        C().LoadConfig(file);
        return QTest::qWaitFor([&] { return reports.size() > before; }, 3 * Wait);
    }

    QStringList Failures() {
        QStringList failures;
        for (const auto& r : C().Sequence().Reports())
            if (r.result != TStepResult::Done)
                failures << r.name + QStringLiteral(": ") + StepResultText(r.result);
        return failures;
    }

private slots:
    void init() {
        reports.clear();
        app.desktop.report = [this](const QString& text, bool problem) {
            reports << text;
            reportProblem = problem;
        };
    }
    void cleanup() {
        app.desktop.report = nullptr;
        app.desktop.preview = nullptr;
        app.Stop();
    }

    // Only a regular file is read: a FIFO (which would hold the window for good), a folder or a
    // device ends with a report at once, and nothing is sent to the instrument.
    void loadReadsOnlyRegularFiles_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("folder") << "folder";
        QTest::newRow("endless device") << "device";
        QTest::newRow("missing") << "missing";
    }
    void loadReadsOnlyRegularFiles() {
        QFETCH(QString, kind);
        Start(Protocol::Modbus, 3);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("c.cfg"));
        if (kind == QLatin1String("fifo"))
            QVERIFY(mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        if (kind == QLatin1String("folder")) QVERIFY(QDir().mkdir(path));
        if (kind == QLatin1String("device")) path = QStringLiteral("/dev/zero");
        app.instrument->ClearReceived();
        QVERIFY(Load(path));
        QVERIFY(reportProblem);
        QVERIFY2(reports.last().contains(QStringLiteral("не прочитан")),
                 qPrintable(reports.last()));
        QVERIFY(app.instrument->ReceivedFrames().empty());
    }

    // Every group is read in turn; a group refused or left unanswered is marked and the rest
    // are still read, without an error box.
    void readAllSkipsWhatFails_data() {
        QTest::addColumn<int>("protocol");
        QTest::addColumn<int>("parameters");
        QTest::addColumn<QString>("faultyStep");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("failures");
        const int mb = int(Protocol::Modbus);
        const int qv = int(Protocol::Qv);
        QTest::newRow("Modbus, all read") << mb << 3 << ""
                                          << "" << QStringList();
        QTest::newRow("Modbus, IEC unanswered") << mb << 3 << "МЭК-101"
                                                << "silence" << QStringList{"МЭК-101: нет ответа"};
        QTest::newRow("Modbus, brightness refused")
            << mb << 3 << "Яркость"
            << "exception" << QStringList{"Яркость: отказ прибора"};
        QTest::newRow("Modbus, setpoint chain corrupted")
            << mb << 3 << "Уставка min"
            << "badCrc" << QStringList{"Уставка min: нет ответа"};
        QTest::newRow("Modbus, no third parameter") << mb << 2 << ""
                                                    << "" << QStringList{"Пар. 3: отказ прибора"};
        // QV has no answer layout for these three reads: answered, but nothing to show.
        QTest::newRow("QV, text unanswered")
            << qv << 3 << "Доп. информация"
            << "silence"
            << QStringList{"Доп. информация: нет ответа", "МЭК-101: нет данных", "Реле: нет данных",
                           "Сигнализация: нет данных"};
    }
    void readAllSkipsWhatFails() {
        QFETCH(int, protocol);
        QFETCH(int, parameters);
        QFETCH(QString, faultyStep);
        QFETCH(QString, fault);
        QFETCH(QStringList, failures);
        Start(Protocol(protocol), 7, parameters);
        ConfigureEveryGroup(app.instrument->Model());
        app.ui().Edit8->setText(QStringLiteral("2"));
        QMetaObject::Connection injector = connect(
            &C().Sequence(), &TRequestSequence::StepStarted, this, [&](int, const QString& name) {
                if (name != faultyStep) return;
                sim::Faults f;
                f.count = 1;
                f.silence = fault == "silence";
                f.badCrc = fault == "badCrc";
                f.exception = fault == "exception" ? 0x46 : 0;
                app.instrument->SetFaults(f);
            });
        QVERIFY(ReadAll());
        disconnect(injector);

        QCOMPARE(Failures(), failures);
        QCOMPARE(C().Sequence().StepCount(), 12);
        QVERIFY2(app.errors.isEmpty(), qPrintable(app.errors.join('|')));
        const QString status = app.window->StatusText();
        QVERIFY2(failures.isEmpty() ? status.startsWith(QStringLiteral("Прочитано всё: 12 из 12"))
                                    : status.contains(QStringLiteral("Не прочитано")),
                 qPrintable(status));
        // The groups read show and hold the instrument's values; "Пар. №" is left as chosen.
        const config::InstrumentConfig& read = C().Record().Values();
        QCOMPARE(app.ui().Edit2->text(), QStringLiteral("7"));
        QCOMPARE(*read.at("address"), std::string("7"));
        QCOMPARE(*read.at("serial.number"), std::string("1234"));
        QCOMPARE(app.ui().Edit8->text(), QStringLiteral("2"));
        QCOMPARE(app.ui().ei1->currentText(), QStringLiteral("Hz"));
        // The file keeps the scale as the instrument sent it; the field shows it rounded.
        QCOMPARE(*read.at("param2.scale"), std::string("0.5"));
        QCOMPARE(*read.at("param1.scale"), std::string("173.2"));
        QCOMPARE(read.at("param3.scale").has_value(), parameters == 3);
        if (!faultyStep.startsWith(QStringLiteral("Уставка")))
            QCOMPARE(app.ui().Edit12->text(), QStringLiteral("-90"));
        if (faultyStep != "Доп. информация")
            QCOMPARE(app.ui().Edit9->text().trimmed(), QStringLiteral("Щит \"A\" № 5"));
        if (faultyStep != "Яркость") QCOMPARE(app.ui().TrackBar1->value(), 2);
        // A group that failed is marked; the others are not.
        const bool iecMarked = failures.join(' ').contains(QStringLiteral("МЭК-101"));
        QCOMPARE(C().Record().Marked(TFieldGroup::Iec), iecMarked);
        QCOMPARE(C().Record().Marked(TFieldGroup::Brightness), faultyStep == "Яркость");
        QVERIFY(!C().Record().Marked(TFieldGroup::Serial));
    }

    // Read all takes over from polling, and its "Стоп" lets the group under way end and
    // reads no more.
    void readAllAfterPollingAndStopped() {
        Start(Protocol::Modbus, 7);
        app.ui().Edit1->setText(QStringLiteral("5"));
        app.ui().ToolButton1->click();
        app.ui().BitBtn1->click();
        QVERIFY(app.WaitForFrames(10));
        connect(&C().Sequence(), &TRequestSequence::StepStarted, this, [this](int index) {
            if (index == 4) C().Stop();
        });
        // What the status bar shows as each group goes out, and the stop button beside it.
        QStringList progress;
        bool stopShown = true;
        connect(&C().Sequence(), &TRequestSequence::Progress, this, [&] {
            progress << app.window->StatusText();
            const auto* stop = app.ui().StatusBar1->findChild<QToolButton*>("SequenceStop");
            stopShown = stopShown && stop && stop->isVisible();
        });
        QVERIFY(ReadAll());
        QCOMPARE(progress,
                 (QStringList{"Чтение 1 из 12 … Сетевой адрес", "Чтение 2 из 12 … Заводской номер",
                              "Чтение 3 из 12 … Яркость", "Чтение 4 из 12 … Доп. информация",
                              "Чтение 5 из 12 … Пар. 2"}));
        QVERIFY(stopShown);
        QVERIFY(!app.ui().StatusBar1->findChild<QToolButton*>("SequenceStop")->isVisible());
        QCOMPARE(int(ExchangeState.load()), int(ExchangeStates::Single));
        QCOMPARE(app.ui().PageControl1->currentWidget(), app.ui().TabPar);
        QCOMPARE(C().Sequence().Reports().size(), size_t(5));
        QVERIFY2(Failures().isEmpty(), qPrintable(Failures().join('|')));
        QCOMPARE(app.window->StatusText(), QStringLiteral("Чтение остановлено: прочитано 5 из 12"));
        const size_t frames = app.instrument->ReceivedFrames().size();
        QTest::qWait(3 * AnswerTimeoutMs);  // nothing more goes out: neither reads nor polling
        QCOMPARE(app.instrument->ReceivedFrames().size(), frames);
        QVERIFY(app.errors.isEmpty());
    }

    // Read all started while a polling request is still unanswered: that answer comes late,
    // while the first group is on its way, and must not be taken for the group's answer.
    void readAllWaitsForTheAnswerOfThePollInFlight() {
        Start(Protocol::Modbus, 7);
        app.ui().Edit1->setText(QStringLiteral("5"));
        app.ui().ToolButton1->click();
        app.ui().BitBtn1->click();
        QVERIFY(app.WaitForFrames(4));
        sim::Faults slow;
        slow.delayMs = 100;  // well inside the answer time-out
        app.instrument->SetFaults(slow);
        const size_t polled = app.instrument->ReceivedFrames().size();
        QVERIFY(app.WaitForFrames(int(polled) + 1));  // a poll has just reached the instrument
        connect(&C().Sequence(), &TRequestSequence::StepStarted, this, [this](int index) {
            if (index == 1) C().Stop();
        });
        QVERIFY(ReadAll());
        QCOMPARE(C().Sequence().Reports().size(), size_t(2));
        QVERIFY2(Failures().isEmpty(), qPrintable(Failures().join('|')));
        QCOMPARE(app.ui().Edit2->text(), QStringLiteral("7"));
        QVERIFY2(app.errors.isEmpty(), qPrintable(app.errors.join('|')));
    }

    // Fields filled from one instrument are greyed once the window talks to another, until
    // they are read again.
    void fieldsOfAnotherSourceAreGreyed_data() {
        QTest::addColumn<bool>("changePort");
        QTest::newRow("address typed") << false;
        QTest::newRow("port changed in the settings dialog") << true;
    }
    void fieldsOfAnotherSourceAreGreyed() {
        QFETCH(bool, changePort);
        Start(Protocol::Modbus, 7);  // an instrument at 7 on a line of its own
        sim::VirtualBus bus({Instrument(Protocol::Modbus, 7), Instrument(Protocol::Modbus, 9)});
        bus.Start();
        UseLine(QString::fromStdString(bus.DevicePath()), 7, true);
        auto greyed = [](QWidget* w) {
            return qobject_cast<QGraphicsOpacityEffect*>(w->graphicsEffect()) != nullptr;
        };
        QVERIFY(ReadAll());
        QVERIFY(!greyed(app.ui().Edit9) && !greyed(app.ui().TrackBar1));
        QVERIFY(!C().Record().Empty());

        if (changePort) {
            QTimer::singleShot(0, this, [this] {
                QTRY_VERIFY(SettingForm->isVisible());
                SettingForm->findChild<QComboBox*>(QStringLiteral("ComboBox1"))
                    ->setEditText(Path(*app.instrument));
                SettingForm->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
            });
            app.ui().ToolButton3->click();
            QCOMPARE(app.window->ComPort->Port(), Path(*app.instrument));
        } else {
            app.SetAddress(9);
            emit app.ui().EditAdr->editingFinished();  // as when the field loses the focus
        }
        for (QWidget* field : std::initializer_list<QWidget*>{
                 app.ui().Edit2, app.ui().Edit3, app.ui().Edit7, app.ui().Edit9, app.ui().TrackBar1,
                 app.ui().ComboBox4, app.ui().Edit10})
            QVERIFY2(greyed(field), qPrintable(field->objectName()));
        QVERIFY(C().Record().Empty());
        QString error;
        QVERIFY(!C().SaveConfig(QDir::temp().filePath("never.cfg"), error));

        // Reading one group again brings back only its own fields.
        app.ui().BitBtn11->click();
        QTRY_VERIFY_WITH_TIMEOUT(!greyed(app.ui().Edit9), Wait);
        QVERIFY(greyed(app.ui().TrackBar1));
        QVERIFY(app.errors.isEmpty());
    }

    // A value changed on the page and written after it was read is no longer what was read:
    // the saved file gives it as not read, until it is read again; the other values stay.
    void writtenValuesAreNotSavedAsRead_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("dropped");
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("brightness")
            << "TrackBar1"
            << "0"
            << "BitBtn10" << QStringList{"brightness"} << QStringList{"info", "param1.scale"};
        QTest::newRow("text") << "Edit9"
                              << "new"
                              << "BitBtn12" << QStringList{"info"}
                              << QStringList{"brightness", "relay1.mode"};
        QTest::newRow("parameter 2")
            << "Edit7"
            << "9.5"
            << "BitBtn8" << QStringList{"param2.scale", "param2.unit", "param2.point"}
            << QStringList{"param1.scale", "param3.scale"};
        QTest::newRow("relay with its hysteresis")
            << "Edit6"
            << "7"
            << "BitBtn30" << QStringList{"relay1.mode", "relay1.delay", "relay1.hysteresis"}
            << QStringList{"alarm.mode", "iec.type"};
    }
    void writtenValuesAreNotSavedAsRead() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, button);
        QFETCH(QStringList, dropped);
        QFETCH(QStringList, kept);
        Start(Protocol::Modbus, 7);
        ConfigureEveryGroup(app.instrument->Model());
        app.ui().Edit8->setText(QStringLiteral("2"));
        QVERIFY(ReadAll());
        QTemporaryDir dir;
        QString error;
        QVERIFY2(C().SaveConfig(dir.filePath("read.cfg"), error), qPrintable(error));
        QWidget* edited = app.window->findChild<QWidget*>(field);
        if (auto* line = qobject_cast<QLineEdit*>(edited)) line->setText(typed);
        if (auto* slider = qobject_cast<QAbstractSlider*>(edited)) slider->setValue(typed.toInt());
        const size_t frames = app.instrument->ReceivedFrames().size();
        app.window->findChild<QAbstractButton*>(button)->click();
        // The window learns of the write's end after the exchange thread has taken its answer:
        // saved again until the write shows, or the wait runs out.
        const auto savedAfterWrite = [&] {
            if (!C().SaveConfig(dir.filePath("written.cfg"), error)) return QStringList();
            return Settings(ReadText(dir.filePath("written.cfg")));
        };
        const auto droppedAll = [&](const QStringList& saved) {
            for (const QString& key : dropped)
                if (!saved.contains(key + " = absent")) return false;
            return true;
        };
        QTRY_VERIFY_WITH_TIMEOUT(app.instrument->ReceivedFrames().size() > frames &&
                                     !AwaitingAnswer && droppedAll(savedAfterWrite()),
                                 Wait);
        QVERIFY2(app.errors.isEmpty(), qPrintable(app.errors.join('|')));
        const QStringList before = Settings(ReadText(dir.filePath("read.cfg")));
        const QStringList after = savedAfterWrite();
        QVERIFY2(droppedAll(after), qPrintable(after.join('|')));
        for (const QString& key : dropped)
            QVERIFY(before.filter(QRegularExpression("^" + key + " = [^a]")).size() == 1);
        for (const QString& key : kept) {
            const QStringList line = before.filter(QRegularExpression("^" + key + " = [^a]"));
            QCOMPARE(line.size(), 1);
            QVERIFY2(after.contains(line.first()), qPrintable(line.first()));
        }
    }

    // A file saved by the window is the file tessera-cli writes for the same instrument, and
    // it configures a second instrument through the window (with a preview and a read-back) or
    // through tessera-cli; a file of tessera-cli configures one through the window.
    void configurationRoundTrip_data() {
        QTest::addColumn<bool>("windowSaves");
        QTest::addColumn<bool>("windowLoads");
        QTest::addColumn<int>("targetProtocol");
        QTest::newRow("window to window") << true << true << int(Protocol::Modbus);
        QTest::newRow("tessera-cli to window, QV instrument") << false << true << int(Protocol::Qv);
        QTest::newRow("window to tessera-cli") << true << false << int(Protocol::Modbus);
    }
    void configurationRoundTrip() {
#if defined(__SANITIZE_THREAD__)
        QSKIP(
            "tessera-cli runs as a process of its own, and ThreadSanitizer ends a process "
            "that forks once it has threads");
#endif
        QFETCH(bool, windowSaves);
        QFETCH(bool, windowLoads);
        QFETCH(int, targetProtocol);
        sim::VirtualInstrument source(Instrument(Protocol::Modbus, 7, 2));
        ConfigureEveryGroup(source.Model());
        source.Start();
        Start(Protocol(targetProtocol), 12, 2);  // the second instrument is the harness's
        QTemporaryDir dir;
        const QString file = dir.filePath("panel.cfg");
        const CliRun reference = Cli({"--port", Path(source), "get-config", "-o", file + ".cli"});
        QCOMPARE(reference.code, 0);
        const QString cliText = ReadText(file + ".cli");

        if (windowSaves) {
            UseLine(Path(source), 7, true);
            QVERIFY(ReadAll());
            QString error;
            QVERIFY2(C().SaveConfig(file, error), qPrintable(error));
            const QString text = ReadText(file);
            QVERIFY(text.contains(QStringLiteral("# source: port=%1 baud=9600 address=7 "
                                                 "protocol=modbus\n")
                                      .arg(Path(source))));
            QVERIFY(
                QRegularExpression(QStringLiteral("# read: \\d{4}-\\d\\d-\\d\\dT[0-9:.]+Z \\.\\. "))
                    .match(text)
                    .hasMatch());
            QCOMPARE(Settings(text), Settings(cliText));
            UseLine(Path(*app.instrument), 12, targetProtocol == int(Protocol::Modbus));
        } else {
            app.SetAddress(12);
            QVERIFY(QFile::copy(file + ".cli", file));
        }

        if (windowLoads) {
            std::vector<TPreviewRow> shown;
            app.desktop.preview = [&shown](TConfigPreview& preview) {
                shown = preview.Rows();
                // The whole copy, the address and the protocol included, asked for by hand.
                preview.SetTicked("address", true);
                preview.SetTicked("protocol", true);
                return true;
            };
            QVERIFY(Load(file));
            QVERIFY2(!reportProblem, qPrintable(reports.join('\n')));
            QVERIFY2(reports.last().contains(QStringLiteral("прибор совпадает с файлом")),
                     qPrintable(reports.last()));
            QVERIFY(!shown.empty());
            QVERIFY(app.errors.isEmpty());
            // The writes as made, in order: the address, then the protocol, last.
            const QString written = reports.last().section('\n', 0, 0);
            QVERIFY2(written.endsWith(targetProtocol == int(Protocol::Qv)
                                          ? QStringLiteral(", Сетевой адрес, Протокол.")
                                          : QStringLiteral(", Сетевой адрес.")),
                     qPrintable(written));
            QCOMPARE(int(app.instrument->Model().Address()), 7);
            QCOMPARE(app.ui().EditAdr->text(), QStringLiteral("7"));
            // Loaded once more, the file finds nothing left to write.
            const size_t frames = app.instrument->ReceivedFrames().size();
            QVERIFY(Load(file));
            QVERIFY2(reports.last().contains(QStringLiteral("Записывать нечего")),
                     qPrintable(reports.last()));
            const auto received = app.instrument->ReceivedFrames();
            for (size_t i = frames; i < received.size(); ++i)
                QVERIFY(!IsWriteFrame(received[i], true));
        } else {
            app.window->ComPort->Close();  // the port is the program's alone while it is open
            const CliRun set = Cli({"--port", Path(*app.instrument), "--address", "12",
                                    "set-config", file, "--with-address"});
            QVERIFY2(set.code == 0, qPrintable(set.out));
        }
        app.window->ComPort->Close();
        const CliRun back = Cli({"--port", Path(*app.instrument), "get-config"});
        QCOMPARE(back.code, 0);
        QCOMPARE(Settings(back.out), Settings(cliText));
    }

    // A file loaded through the window reaches the instrument as the very write frames
    // tessera-cli sends for it to a twin instrument: each request once, none chained behind it
    // (a relay's hysteresis after its mode, the serial number's year), in the same order.
    void windowWritesWhatTesseraCliWrites_data() {
        QTest::addColumn<int>("protocol");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("frames");
        const QByteArray relays =
            "relay1.mode = 2\nrelay1.delay = 10\nrelay1.hysteresis = 0.75\nrelay2.mode = 1\n"
            "relay2.delay = 90\nsetpoint.upper = 100\nsetpoint.lower = -5\nbrightness = 0\n";
        const QByteArray serial = "serial.number = 4321\nserial.year = 2031\nparam1.scale = 50\n";
        QTest::newRow("Modbus RTU: relays and setpoints") << int(Protocol::Modbus) << relays << 6;
        QTest::newRow("Modbus RTU: serial number, its year, a parameter")
            << int(Protocol::Modbus) << serial << 3;
        QTest::newRow("QV: relays and setpoints") << int(Protocol::Qv) << relays << 6;
        QTest::newRow("QV: serial number with its year, a parameter")
            << int(Protocol::Qv) << serial << 2;
    }
    void windowWritesWhatTesseraCliWrites() {
#if defined(__SANITIZE_THREAD__)
        QSKIP(
            "tessera-cli runs as a process of its own, and ThreadSanitizer ends a process "
            "that forks once it has threads");
#endif
        QFETCH(int, protocol);
        QFETCH(QByteArray, file);
        QFETCH(int, frames);
        const bool modbus = protocol == int(Protocol::Modbus);
        sim::VirtualInstrument twin(Instrument(Protocol(protocol), 12));
        ConfigureEveryGroup(twin.Model());
        twin.Start();
        Start(Protocol(protocol), 12);
        ConfigureEveryGroup(app.instrument->Model());
        QTemporaryDir dir;
        const QString path = WriteConfig(dir, "c.cfg", file);
        QVERIFY(!path.isEmpty());
        app.desktop.preview = [](TConfigPreview&) { return true; };
        QVERIFY(Load(path));
        QVERIFY2(!reportProblem && reports.last().contains(QStringLiteral("совпадает с файлом")),
                 qPrintable(reports.last()));
        QVERIFY(app.errors.isEmpty());
        const CliRun cli = Cli({"--port", Path(twin), "--address", "12", "--protocol",
                                modbus ? "modbus" : "qv", "set-config", path});
        QVERIFY2(cli.code == 0, qPrintable(cli.out));
        const auto writes = [modbus](const std::vector<sim::Bytes>& frames) {
            QStringList hex;
            for (const sim::Bytes& frame : frames)
                if (IsWriteFrame(frame, modbus))
                    hex << QByteArray(reinterpret_cast<const char*>(frame.data()),
                                      qsizetype(frame.size()))
                               .toHex(' ');
            return hex;
        };
        const QStringList window = writes(app.instrument->ReceivedFrames());
        QCOMPARE(window, writes(twin.ReceivedFrames()));
        QCOMPARE(window.size(), frames);
    }

    // The preview's rows: file and instrument side by side, each key marked.
    void previewMarksDifferences_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("instrument");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("fileText");
        QTest::addColumn<QString>("instrumentText");
        const int same = int(TPreviewState::Same);
        const int write = int(TPreviewState::Write);
        const int readOnly = int(TPreviewState::ReadOnly);
        const int none = int(TPreviewState::NotInFile);
        QTest::newRow("same") << "brightness = 2"
                              << "brightness = 2"
                              << "brightness" << same << "2"
                              << "2";
        QTest::newRow("differs") << "brightness = 0"
                                 << "brightness = 2"
                                 << "brightness" << write << "0"
                                 << "2";
        QTest::newRow("not read") << "brightness = 0"
                                  << ""
                                  << "brightness" << write << "0"
                                  << "не прочитано";
        QTest::newRow("write-only") << "speed.line1 = 19200"
                                    << ""
                                    << "speed.line1" << write << "19200"
                                    << "не читается";
        QTest::newRow("read-only differs") << "parameters = 3"
                                           << "parameters = 2"
                                           << "parameters" << readOnly << "3"
                                           << "2";
        QTest::newRow("read-only setpoint format differs") << "setpoint.format = 8"
                                                           << "setpoint.format = 710"
                                                           << "setpoint.format" << readOnly << "8"
                                                           << "710";
        QTest::newRow("one-byte setpoint format of the same") << "setpoint.format = 198"
                                                              << "setpoint.format = 710"
                                                              << "setpoint.format" << same << "198"
                                                              << "710";
        QTest::newRow("absent in the file") << "alarm.mode = absent"
                                            << "alarm.mode = 1"
                                            << "alarm.mode" << none << "—"
                                            << "1";
        QTest::newRow("missing from the file") << ""
                                               << "alarm.mode = 1"
                                               << "alarm.mode" << none << "—"
                                               << "1";
        QTest::newRow("unit named") << "param1.unit = 5"
                                    << "param1.unit = 1"
                                    << "param1.unit" << write << "5 (kV)"
                                    << "1 (V)";
        QTest::newRow("text quoted") << "info = \"Щит 3\""
                                     << "info = \"Щит 3\""
                                     << "info" << same << "«Щит 3»"
                                     << "«Щит 3»";
        QTest::newRow("same number, other spelling") << "param2.scale = 0.50"
                                                     << "param2.scale = 0.5"
                                                     << "param2.scale" << same << "0.5"
                                                     << "0.5";
    }
    void previewMarksDifferences() {
        QFETCH(QString, file);
        QFETCH(QString, instrument);
        QFETCH(QString, key);
        QFETCH(int, state);
        QFETCH(QString, fileText);
        QFETCH(QString, instrumentText);
        const auto rows = PreviewRows(config::ParseConfig(file.toStdString()),
                                      config::ParseConfig(instrument.toStdString()));
        QCOMPARE(rows.size(), config::ConfigKeys().size());
        const auto row = std::find_if(rows.begin(), rows.end(), [&](const TPreviewRow& r) {
            return r.key == key.toStdString();
        });
        QVERIFY(row != rows.end());
        QCOMPARE(int(row->state), state);
        QCOMPARE(row->fileText, fileText);
        QCOMPARE(row->instrumentText, instrumentText);
        // Only the differences that can be written are offered, ticked; the address and the
        // protocol (the instrument's place on the line) offered unticked.
        TConfigPreview dialog(QStringLiteral("f.cfg"), QStringLiteral("i"), rows, nullptr);
        const auto ticked = dialog.TickedKeys();
        const bool offered =
            std::find(ticked.begin(), ticked.end(), key.toStdString()) != ticked.end();
        const bool lineIdentity = key == "address" || key == "protocol";
        QCOMPARE(offered, state == int(TPreviewState::Write) && !lineIdentity);
        if (!lineIdentity)
            QCOMPARE(dialog.WriteButton()->isEnabled(), state == int(TPreviewState::Write));
    }

    // A file whose keys the instrument takes no write of differ from the instrument (it
    // describes another instrument): nothing is written, and the operator is told which keys
    // differ instead of "as in the file".
    void readOnlyDifferencesAreReported() {
        Start(Protocol::Modbus, 7, 3);
        QTemporaryDir dir;
        const QString file = WriteConfig(dir, "other.cfg", "parameters = 1\nsetpoint.format = 8\n");
        QVERIFY(!file.isEmpty());
        QString summary;
        app.desktop.preview = [&summary](TConfigPreview& preview) {
            summary = TConfigPreview::ReadOnlyDifferenceText(preview.Rows());
            return true;
        };
        app.instrument->ClearReceived();
        QVERIFY(Load(file));
        QVERIFY2(summary.contains(KeyLabel("parameters")) &&
                     summary.contains(KeyLabel("setpoint.format")),
                 qPrintable(summary));
        QVERIFY(reportProblem);
        QVERIFY2(reports.last().contains(QStringLiteral("Записывать нечего")) &&
                     reports.last().contains(QStringLiteral("не записывается")) &&
                     !reports.last().contains(QStringLiteral("как в файле")),
                 qPrintable(reports.last()));
        for (const auto& frame : app.instrument->ReceivedFrames())
            QVERIFY(!IsWriteFrame(frame, true));
    }

    // Nothing is written unless the preview is confirmed, and only what stays ticked.
    void previewDecidesWhatIsWritten_data() {
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<QString>("untick");
        QTest::newRow("cancelled") << false << "";
        QTest::newRow("confirmed as offered") << true << "";
        QTest::newRow("brightness unticked") << true << "brightness";
    }
    void previewDecidesWhatIsWritten() {
        QFETCH(bool, confirm);
        QFETCH(QString, untick);
        Start(Protocol::Modbus, 12);
        QTemporaryDir dir;
        const QString file =
            WriteConfig(dir, "c.cfg", "address = 20\nbrightness = 0\ninfo = \"new\"\n");
        QVERIFY(!file.isEmpty());
        std::vector<std::string> offered;
        app.desktop.preview = [&](TConfigPreview& preview) {
            offered = preview.TickedKeys();
            if (!untick.isEmpty()) preview.SetTicked(untick.toStdString(), false);
            return confirm;
        };
        QVERIFY(Load(file));
        // The file's address is offered unticked: a copy keeps the instrument's own.
        QCOMPARE(offered, (std::vector<std::string>{"brightness", "info"}));
        const sim::InstrumentState state = app.instrument->Model().Snapshot();
        QCOMPARE(int(state.address), 12);
        bool wrote = false;
        for (const auto& frame : app.instrument->ReceivedFrames())
            wrote = wrote || IsWriteFrame(frame, true);
        QCOMPARE(wrote, confirm);
        QCOMPARE(int(state.brightness), confirm && untick != "brightness" ? 0 : 1);
        QCOMPARE(app.instrument->Model().InfoText().rfind("new", 0) == 0, confirm);
        QVERIFY2(reports.last().contains(confirm ? QStringLiteral("совпадает с файлом")
                                                 : QStringLiteral("ничего не записано")),
                 qPrintable(reports.last()));
    }

    // A file's address, ticked by hand, is asked first: with another instrument answering
    // there nothing at all is written, and the report says which address is taken.
    void takenAddressInAFileWritesNothing() {
        Start(Protocol::Modbus, 12);
        sim::VirtualBus bus(
            {Instrument(Protocol::Modbus, 12, 3), Instrument(Protocol::Modbus, 20, 3)});
        bus.Start();
        UseLine(QString::fromStdString(bus.DevicePath()), 12, true);
        QTemporaryDir dir;
        const QString file = WriteConfig(dir, "c.cfg", "brightness = 0\naddress = 20\n");
        QVERIFY(!file.isEmpty());
        app.desktop.preview = [](TConfigPreview& preview) {
            preview.SetTicked("address", true);
            return true;
        };
        QVERIFY(Load(file));
        QVERIFY(reportProblem);
        QVERIFY2(reports.last().contains(QStringLiteral("По адресу 20 уже отвечает прибор")),
                 qPrintable(reports.last()));
        for (size_t i = 0; i < bus.Size(); ++i) {
            const sim::InstrumentState state = bus.Instrument(i).Model().Snapshot();
            QCOMPARE(int(state.address), i == 0 ? 12 : 20);
            QCOMPARE(int(state.brightness), 1);  // as the instruments started
        }
        QVERIFY(app.errors.isEmpty());
        app.window->ComPort->Close();
    }

    // A write the instrument refuses stops the writing there; the report says where and why.
    void refusedWriteStopsTheWriting_data() {
        QTest::addColumn<int>("protocol");
        QTest::newRow("Modbus exception") << int(Protocol::Modbus);
        QTest::newRow("QV result byte") << int(Protocol::Qv);
    }
    void refusedWriteStopsTheWriting() {
        QFETCH(int, protocol);
        Start(Protocol(protocol), 12);
        app.instrument->Model().SetWriteProtected(true);
        QTemporaryDir dir;
        const QString file = WriteConfig(dir, "c.cfg", "brightness = 0\naddress = 20\n");
        QVERIFY(!file.isEmpty());
        app.desktop.preview = [](TConfigPreview&) { return true; };
        QVERIFY(Load(file));
        QVERIFY(reportProblem);
        QVERIFY2(
            reports.last().contains(QStringLiteral("прервана на шаге «Яркость»: отказ прибора")),
            qPrintable(reports.last()));
        QVERIFY(reports.last().contains(QStringLiteral("brightness")));
        QCOMPARE(int(app.instrument->Model().Address()), 12);
        QCOMPARE(C().Sequence().Reports().size(), size_t(12));  // the read-back ran
        QVERIFY(app.errors.isEmpty());
    }

    // While polling, every reading shown is one CSV line, on the file at once.
    void csvLinesDuringPolling() {
        Start(Protocol::Modbus, 7);
        app.instrument->Model().SetParameterSetup(1, 100.0f, 1, 1);
        app.instrument->Model().SetParameterSetup(3, 10.0f, 13, 2);
        app.instrument->Model().FreezeValue(1, 12.5f);
        app.instrument->Model().FreezeValue(3, -0.5f);
        QTemporaryDir dir;
        const QString path = dir.filePath("log.csv");
        QString error;
        QVERIFY2(C().StartLog(path, error), qPrintable(error));
        app.ui().CheckBox1->setChecked(true);
        app.ui().CheckBox2->setChecked(false);
        app.ui().CheckBox3->setChecked(true);
        app.ui().Edit1->setText(QStringLiteral("10"));
        app.ui().ToolButton1->click();
        app.ui().BitBtn1->click();
        // Read by another handle while the log is open: every line is already in the file.
        QStringList lines;
        QVERIFY(QTest::qWaitFor(
            [&] {
                lines = ReadText(path).split('\n', Qt::SkipEmptyParts);
                return lines.size() > 20;
            },
            Wait));
        app.ui().BitBtn2->click();
        const qint64 logged = C().Log().Lines();
        C().StopLog();
        lines = ReadText(path).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.takeFirst(), QStringLiteral("time,parameter,value,unit"));
        QCOMPARE(lines.size(), int(logged));
        // One line per value answered: the instrument's GetVal requests, less at most the one
        // in flight when polling stopped.
        int values = 0;
        for (const auto& frame : app.instrument->ReceivedFrames())
            values += frame.size() == 8 && frame[3] <= 0x08 && frame[5] == 0x02;
        QVERIFY2(lines.size() == values || lines.size() == values - 1,
                 qPrintable(QStringLiteral("%1 lines, %2 requests").arg(lines.size()).arg(values)));
        const QRegularExpression format(QStringLiteral(
            "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z,([13]),([^,]*),(.*)$"));
        QDateTime previous;
        for (int i = 0; i < lines.size(); ++i) {
            const auto m = format.match(lines[i]);
            QVERIFY2(m.hasMatch(), qPrintable(lines[i]));
            const bool first = m.captured(1) == "1";
            QCOMPARE(first, i % 2 == 0);  // parameters 1 and 3 in turn
            QCOMPARE(m.captured(2), first ? QStringLiteral("12.50") : QStringLiteral("-0.5"));
            QCOMPARE(m.captured(3), first ? QStringLiteral("V") : QStringLiteral("Hz"));
            const QDateTime time =
                QDateTime::fromString(lines[i].section(',', 0, 0), Qt::ISODateWithMs);
            QVERIFY(time.isValid() && (!previous.isValid() || time >= previous));
            previous = time;
        }
        // The plot took the same readings.
        QCOMPARE(qsizetype(C().Plot().Series(1).Buckets().size() +
                           C().Plot().Series(3).Buckets().size()),
                 lines.size());
    }

    // The plot keeps a bounded number of buckets per series; the oldest are merged, and the
    // extremes, the first and the last reading survive.
    void plotMemoryIsBounded_data() {
        QTest::addColumn<int>("capacity");
        QTest::addColumn<int>("readings");
        QTest::addColumn<int>("intervalMs");
        QTest::newRow("below capacity") << 64 << 50 << 500;
        QTest::newRow("ten times capacity") << 64 << 640 << 500;
        QTest::newRow("a day at 2 per second") << 4000 << 172800 << 500;
        QTest::newRow("thirty hours at 1 per minute") << 256 << 1800 << 60000;
    }
    void plotMemoryIsBounded() {
        QFETCH(int, capacity);
        QFETCH(int, readings);
        QFETCH(int, intervalMs);
        TPlotModel model{size_t(capacity)};
        const int64_t start = 1'700'000'000'000;
        const int peak = readings / 3;
        const int dip = readings - 2;
        for (int i = 0; i < readings; ++i) {
            double v = std::sin(i / 50.0);
            if (i == peak) v = 1000;
            if (i == dip) v = -1000;
            model.Add(1, start + int64_t(i) * intervalMs, v, "V");
        }
        const auto& buckets = model.Series(1).Buckets();
        const int64_t last = start + int64_t(readings - 1) * intervalMs;
        const int64_t kept = std::max(start, last - TPlotModel::KeepMs);
        QVERIFY(buckets.size() <= size_t(capacity));
        QCOMPARE(buckets.back().last, last);
        QVERIFY(buckets.front().last >= kept && buckets.front().first <= kept + 2 * intervalMs);
        int count = 0;
        double low = 0, high = 0;
        for (size_t i = 0; i < buckets.size(); ++i) {
            count += buckets[i].count;
            low = std::min(low, buckets[i].min);
            high = std::max(high, buckets[i].max);
            if (i) QVERIFY(buckets[i].first > buckets[i - 1].last);
            QVERIFY(buckets[i].min <= buckets[i].max);
        }
        QCOMPARE(count, int((last - buckets.front().first) / intervalMs) + 1);
        if (start + int64_t(peak) * intervalMs >= kept) QCOMPARE(high, 1000.0);
        QCOMPARE(low, -1000.0);
        QVERIFY(buckets.back().count == 1);  // the newest readings stay whole
    }

    // After hours of readings every time window the plot offers still shows them in detail:
    // no bucket in it spans more than a small part of the window, the oldest part included.
    void plotKeepsEveryWindowInDetail_data() {
        QTest::addColumn<int>("hours");
        QTest::addColumn<int>("intervalMs");
        QTest::newRow("an hour at 10 per second") << 1 << 100;
        QTest::newRow("a day, three parameters polled every 0.5 s") << 24 << 1500;
        QTest::newRow("a day at 2 per second") << 24 << 500;
        QTest::newRow("a day at 10 per second") << 24 << 100;
    }
    void plotKeepsEveryWindowInDetail() {
        QFETCH(int, hours);
        QFETCH(int, intervalMs);
        constexpr int64_t Parts = 150;  // a bucket every few pixels of a plot 720 wide
        TPlotModel model;
        const int64_t start = 1'700'000'000'000;
        const int64_t readings = int64_t(hours) * 3600 * 1000 / intervalMs;
        for (int64_t i = 0; i < readings; ++i)
            model.Add(1, start + i * intervalMs, std::sin(double(i) / 50.0), "V");
        const auto& buckets = model.Series(1).Buckets();
        QVERIFY(buckets.size() <= model.Series(1).Capacity());
        const int64_t last = buckets.back().last;
        for (const qint64 span : TPlotWindow::Spans()) {
            const int64_t from = std::max<int64_t>(start, last - span);
            int64_t widest = 0;
            int shown = 0;
            for (const TPlotBucket& b : buckets) {
                if (b.last < from) continue;
                widest = std::max(widest, b.last - b.first);
                ++shown;
            }
            const int64_t covered = last - from;
            QVERIFY2(widest * Parts <= span,
                     qPrintable(QStringLiteral("window %1 min: a bucket of %2 s among %3")
                                    .arg(span / 60000)
                                    .arg(widest / 1000.0)
                                    .arg(shown)));
            QVERIFY(shown >= std::min<int64_t>(Parts, covered / intervalMs));
        }
    }

    // The system clock set back while readings come, when the series is nearly full of
    // readings that are now "in the future": it stays within its capacity and keeps every
    // reading counted.
    void plotBoundedWhenTheClockGoesBack() {
        constexpr size_t Capacity = 256;
        TPlotModel model{Capacity};
        const auto& buckets = model.Series(1).Buckets();
        const int64_t start = 1'700'000'000'000;
        int added = 0;
        for (int64_t t = start; added < 1000 || buckets.size() < Capacity - 6; t += 1000, ++added)
            model.Add(1, t, double(added % 17), "V");
        for (int64_t t = start - 3600 * 1000; t < start + 3 * 3600 * 1000; t += 1000, ++added) {
            model.Add(1, t, double(added % 17), "V");
            QVERIFY2(buckets.size() <= Capacity, qPrintable(QString::number(buckets.size())));
        }
        int counted = 0;
        for (const TPlotBucket& b : buckets) counted += b.count;
        QCOMPARE(counted, added);
    }

    // The plot draws the readings of the time window in their colour, saves what it shows,
    // and keeps its scale when autoscale is off.
    void plotDrawsAndKeepsItsScale_data() {
        QTest::addColumn<bool>("autoscale");
        QTest::newRow("autoscale") << true;
        QTest::newRow("scale kept") << false;
    }
    void plotDrawsAndKeepsItsScale() {
        QFETCH(bool, autoscale);
        TPlotModel model;
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        for (int i = 0; i < 60; ++i)
            model.Add(1, now - 30000 + i * 500, 230 + std::sin(i / 5.0), "V");
        QAction log(nullptr);
        TPlotWindow window(model, &log, nullptr);
        window.View()->SetAutoscale(autoscale);
        QTemporaryDir dir;
        const QString png = dir.filePath("plot.png");
        QVERIFY(window.SavePng(png));
        const QImage image(png);
        QCOMPARE(image.size(), window.View()->size());
        int coloured = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                coloured += image.pixelColor(x, y) == TPlotView::SeriesColor(1);
        QVERIFY2(coloured > 100, qPrintable(QString::number(coloured)));
        const auto before = window.View()->ShownRange(1);
        QVERIFY(before && before->first < 229 && before->second > 231 && before->second < 232);
        model.Add(1, now, 400, "V");  // a surge
        QVERIFY(window.SavePng(png));
        const auto after = window.View()->ShownRange(1);
        QCOMPARE(after->second > 400, autoscale);
        QVERIFY(!window.View()->ShownRange(2));
    }

    // The menu button stands after the toolbar's own buttons, one button's width apart from
    // the place kept for one more, and moves with them when the address group widens.
    void menuButtonFollowsTheToolbar() {
        Start(Protocol::Modbus, 7);
        QToolButton* menu = C().MenuButton();
        QToolButton* help = app.ui().ToolButton4;
        QCOMPARE(help->geometry(), QRect(322, 6, 66, 44));
        QCOMPARE(menu->geometry(), QRect(322 + 3 * 66, 6, 66, 44));
        app.ui().BitBtn22->click();
        QCOMPARE(menu->x(), help->x() + 3 * 66);
        QVERIFY(app.ui().ToolBar1->rect().contains(menu->geometry()));
        app.ui().BitBtn24->click();
        QCOMPARE(menu->x(), 322 + 3 * 66);
        QStringList actions;
        for (QAction* a : menu->menu()->actions())
            if (!a->isSeparator()) actions << a->text();
        QCOMPARE(actions, (QStringList{"Прочитать всё", "Остановить чтение или запись",
                                       "Сохранить конфигурацию…", "Загрузить конфигурацию…",
                                       "График", "Запись показаний в CSV…"}));
    }
};

TESSERA_SHARDED_TEST_MAIN(TestCommission)
#include "test_commission.moc"
