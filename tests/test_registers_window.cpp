// The "Регистры" window against the virtual instrument on a pseudo-terminal: registers read
// with the instrument's names and meanings, values in another type and order, one value and a
// block written, an exception in the row's error, polling that takes the line from the main
// window (and gives it back), the frames in the frame monitor, a raw frame and a bad one, the
// line's framing on the port, CSV export; and the table's model on its own clock.
#include <termios.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "AppHarness.h"
#include "InstrumentSetups.h"
#include "commissioning/Commissioning.h"
#include "monitor/FrameMonitorModel.h"
#include "monitor/FrameRecorder.h"
#include "protocol/Crc.h"
#include "registers/RegistersWindow.h"
#include "ui/Language.h"
#include "ui/SetupFile.h"

namespace {

constexpr int Wait = 10000;
constexpr int InstrumentAddress = 7;

QString Cell(TRegisterTableModel& model, int row, int column) {
    return model.data(model.index(row, column)).toString();
}

QString Hex(const std::vector<uint8_t>& bytes) {
    return QString::fromStdString(sim::ToHex(bytes));
}

// The frame with its CRC, as the instrument receives it.
QString WithCrc(const QByteArray& hex) {
    QByteArray frame = QByteArray::fromHex(hex);
    frame.resize(frame.size() + 2);
    StoreCrc(reinterpret_cast<uint8_t*>(frame.data()), uint16_t(frame.size()));
    return Hex(std::vector<uint8_t>(frame.begin(), frame.end()));
}

// A descriptor this process holds open on `path`, -1 when none.
int DescriptorOf(const QString& path) {
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& name : fds.entryList(QDir::Files | QDir::System))
        if (QFile::symLinkTarget(fds.filePath(name)) == path) return name.toInt();
    return -1;
}

}  // namespace

class TestRegistersWindow : public QObject {
    Q_OBJECT

    AppHarness app;
    TRegistersWindow* window = nullptr;
    std::vector<TLineFraming> stored;

    void SetRange(int function, int start, int count, const char* type = "u16",
                  const char* order = "ABCD") {
        window->FunctionBox()->setCurrentIndex(window->FunctionBox()->findData(function));
        window->StartBox()->setValue(start);
        window->CountBox()->setValue(count);
        window->TypeBox()->setCurrentText(QLatin1String(type));
        window->OrderBox()->setCurrentText(QLatin1String(order));
    }

    // Reads once and waits for the answer.
    bool Read() {
        const int before = window->RequestsSent();
        window->ReadOnce();
        return window->RequestsSent() == before + 1 &&
               QTest::qWaitFor([this] { return !window->Busy(); }, Wait);
    }

private slots:
    void init() {
        sim::Config config = Instrument(sim::Protocol::Modbus, InstrumentAddress);
        app.Start(&config, true);
        ConfigureEveryGroup(app.instrument->Model());
        app.SetAddress(InstrumentAddress);
        stored.clear();
        QMenu* menu = app.window->Commissioning->MenuButton()->menu();
        TRegistersWindow::AddToMenu(*menu, *app.window,
                                    [this](const TLineFraming& f) { stored.push_back(f); });
        QAction* open = menu->findChild<QAction*>(QStringLiteral("ActionRegisters"));
        QVERIFY(open);
        open->trigger();
        window = app.window->findChild<TRegistersWindow*>();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QCOMPARE(window->AddressBox()->value(), InstrumentAddress);  // the main window's address
    }
    void cleanup() {
        window = nullptr;
        app.Stop();
    }

    void namedRegisters() {
        SetRange(3, 1000, 7);
        app.instrument->ClearReceived();
        QVERIFY(Read());
        QCOMPARE(app.Frames(), QStringList{WithCrc("07 03 03 E8 00 07")});
        TRegisterTableModel& m = window->Model();
        QCOMPARE(m.rowCount(), 7);
        QCOMPARE(Cell(m, 2, TRegisterTableModel::Name), QStringLiteral("Сетевой адрес"));
        QCOMPARE(Cell(m, 2, TRegisterTableModel::Value), QStringLiteral("7"));
        QCOMPARE(Cell(m, 4, TRegisterTableModel::Meaning), QStringLiteral("1234"));  // serial
        QCOMPARE(Cell(m, 5, TRegisterTableModel::Meaning), QStringLiteral("2023"));  // year
        QCOMPARE(Cell(m, 6, TRegisterTableModel::Name), QStringLiteral("Яркость"));
        QCOMPARE(Cell(m, 6, TRegisterTableModel::Value), QStringLiteral("2"));
        QCOMPARE(Cell(m, 1, TRegisterTableModel::Name), QString());  // a gap in the block
        QCOMPARE(Cell(m, 2, TRegisterTableModel::Error), QString());
        QVERIFY(!Cell(m, 2, TRegisterTableModel::Age).isEmpty());
    }

    // The scale of parameter 1, kept low-order word first, is the single 173.2 seen as CDAB;
    // the other orders show other numbers from the same registers, and hex shows its bits.
    void typesAndOrders() {
        SetRange(3, 100, 2, "float", "CDAB");
        QVERIFY(Read());
        TRegisterTableModel& m = window->Model();
        QCOMPARE(m.rowCount(), 1);
        QCOMPARE(Cell(m, 0, TRegisterTableModel::Value), QStringLiteral("173.2"));
        QCOMPARE(Cell(m, 0, TRegisterTableModel::Meaning), QStringLiteral("173.2"));
        QCOMPARE(Cell(m, 0, TRegisterTableModel::Name), QStringLiteral("Шкала пар. 1"));
        window->OrderBox()->setCurrentText(QStringLiteral("ABCD"));
        QVERIFY(Cell(m, 0, TRegisterTableModel::Value) != QStringLiteral("173.2"));
        window->OrderBox()->setCurrentText(QStringLiteral("CDAB"));
        window->BaseBox()->setCurrentIndex(1);
        QCOMPARE(Cell(m, 0, TRegisterTableModel::Value), QStringLiteral("0x432D3333"));
        // u16 again: two rows, the raw words.
        window->TypeBox()->setCurrentText(QStringLiteral("u16"));
        QCOMPARE(m.rowCount(), 2);
        QCOMPARE(Cell(m, 1, TRegisterTableModel::Value), QStringLiteral("0x432D"));
    }

    void writeOneValueAndABlock() {
        SetRange(3, 1006, 1);
        window->WriteStartBox()->setValue(1006);
        window->WriteValuesField()->setText(QStringLiteral("0"));
        app.instrument->ClearReceived();
        window->WriteValues();
        QTRY_VERIFY_WITH_TIMEOUT(!window->Busy(), Wait);
        QCOMPARE(app.Frames(), QStringList{WithCrc("07 06 03 EE 00 00")});
        QCOMPARE(int(app.instrument->Model().Snapshot().brightness), 0);
        // The row of the register written shows the value at once.
        QCOMPARE(Cell(window->Model(), 0, TRegisterTableModel::Value), QStringLiteral("0"));

        // Two registers of the text (four characters) in one request, given in hex.
        // A row picked in the table is where the write starts.
        SetRange(3, 1098, 4);
        window->Table()->setCurrentIndex(window->Model().index(2, 0));
        QCOMPARE(window->WriteStartBox()->value(), 1100);
        window->WriteValuesField()->setText(QStringLiteral("0x4142, 0x4344"));
        app.instrument->ClearReceived();
        window->WriteValues();
        QTRY_VERIFY_WITH_TIMEOUT(!window->Busy(), Wait);
        QCOMPARE(app.Frames(), QStringList{WithCrc("07 10 04 4C 00 02 04 41 42 43 44")});
        QVERIFY2(app.instrument->Model().InfoText().rfind("ABCD", 0) == 0,
                 app.instrument->Model().InfoText().c_str());
    }

    void badValuesAreNotSent() {
        app.instrument->ClearReceived();
        const int before = window->RequestsSent();
        window->WriteValuesField()->setText(QStringLiteral("70000"));
        window->WriteValues();
        QVERIFY2(window->StatusLabel()->text().contains(QStringLiteral("70000")),
                 qPrintable(window->StatusLabel()->text()));
        window->WriteFunctionBox()->setCurrentIndex(window->WriteFunctionBox()->findData(6));
        window->WriteValuesField()->setText(QStringLiteral("1,2"));
        window->WriteValues();
        QVERIFY(window->StatusLabel()->text().contains(QStringLiteral("записывает одно значение")));
        window->RawField()->setText(QStringLiteral("07 03 3EA"));
        window->SendRaw();
        QVERIFY(window->StatusLabel()->text().contains(QStringLiteral("Нечётное число цифр")));
        window->RawField()->setText(QString("07").repeated(255));
        window->SendRaw();
        QVERIFY(window->StatusLabel()->text().contains(QStringLiteral("257")));
        SetRange(3, 1000, 3, "float");
        window->ReadOnce();
        QVERIFY(window->StatusLabel()->text().contains(QStringLiteral("чётным")));
        QCOMPARE(window->RequestsSent(), before);
        // Nothing went out: a read now is the first frame the instrument sees.
        SetRange(3, 1002, 1);
        QVERIFY(Read());
        QCOMPARE(app.Frames(), QStringList{WithCrc("07 03 03 EA 00 01")});
        // The count box takes no more than the function reads.
        QCOMPARE(window->CountBox()->maximum(), 125);
        window->FunctionBox()->setCurrentIndex(window->FunctionBox()->findData(1));
        QCOMPARE(window->CountBox()->maximum(), 2000);
    }

    void exceptionInTheRow() {
        SetRange(3, 5000, 2);
        QVERIFY(Read());
        QCOMPARE(Cell(window->Model(), 0, TRegisterTableModel::Error),
                 QStringLiteral("исключение 2: Несуществующий параметр"));
        QCOMPARE(Cell(window->Model(), 1, TRegisterTableModel::Value), QString());
        // A later failure keeps the value read before, with its error beside it.
        SetRange(3, 1002, 1);
        QVERIFY(Read());
        app.instrument->SetFaults(Fault([](sim::Faults& f) { f.silence = true; }));
        QVERIFY(Read());
        QCOMPARE(Cell(window->Model(), 0, TRegisterTableModel::Value), QStringLiteral("7"));
        QCOMPARE(Cell(window->Model(), 0, TRegisterTableModel::Error),
                 QStringLiteral("нет ответа"));
        app.instrument->SetFaults(Fault([](sim::Faults& f) { f.badCrc = true; }));
        QVERIFY(Read());
        QCOMPARE(Cell(window->Model(), 0, TRegisterTableModel::Error),
                 QStringLiteral("ошибка контрольной суммы"));
        // The port gone: the row says so, the value stays.
        app.instrument->Stop();
        QVERIFY(Read());
        QCOMPARE(Cell(window->Model(), 0, TRegisterTableModel::Value), QStringLiteral("7"));
        QVERIFY(!Cell(window->Model(), 0, TRegisterTableModel::Error).isEmpty());
    }

    // Polling takes the line from the main window's polling: once the window's first read has
    // gone out, only its reads follow; the status bar says who has the line until it stops.
    void pollingOwnsTheLine() {
        app.ui().BitBtn1->click();  // the main window polls the readings
        QVERIFY(app.WaitForFrames(3));
        SetRange(3, 1000, 3);
        window->IntervalBox()->setValue(50);
        window->SetPolling(true);
        QVERIFY(window->OwnsLine());
        QVERIFY(window->LineOwnerLabel()->isVisible());
        QCOMPARE(int(ExchangeState.load()), int(ExchangeStates::Single));
        const QString read = WithCrc("07 03 03 E8 00 03");
        QVERIFY(QTest::qWaitFor([&] { return app.Frames().count(read) >= 4; }, Wait));
        window->SetPolling(false);
        QTRY_VERIFY_WITH_TIMEOUT(!window->OwnsLine(), Wait);
        QVERIFY(!window->LineOwnerLabel()->isVisible());
        const QStringList frames = app.Frames();
        const int first = int(frames.indexOf(read));
        for (int i = first; i < frames.size(); ++i) QCOMPARE(frames[i], read);
        QVERIFY(Cell(window->Model(), 0, TRegisterTableModel::Age).toDouble() < 5.0);
        // The main window's own requests work again afterwards.
        app.instrument->ClearReceived();
        app.window->ReadAddress();
        QVERIFY(app.WaitForFrames(1));
    }

    // The main window's request still awaiting a slow answer when the window takes the line:
    // that answer is left to pass, not taken for the window's.
    void mainWindowsLateAnswerIsNotTaken() {
        app.instrument->SetFaults(Fault([](sim::Faults& f) { f.delayMs = 150; }));
        SetRange(3, 1000, 3);
        for (int round = 0; round < 3; ++round) {
            app.instrument->ClearReceived();
            app.window->ReadAddress();  // a request of the main window, answered late
            QVERIFY(app.WaitForFrames(1));
            QVERIFY(Read());
            QCOMPARE(Cell(window->Model(), 2, TRegisterTableModel::Error), QString());
            QCOMPARE(Cell(window->Model(), 2, TRegisterTableModel::Value), QStringLiteral("7"));
        }
    }

    // Each request and its answer reach the frame monitor, with the window's meanings.
    void framesInTheMonitor() {
        TFrameRecorder recorder;
        recorder.SetMonitorOpen(true);
        SetRange(3, 1002, 1);
        QVERIFY(Read());
        window->RawField()->setText(QStringLiteral("07 03 27 10 00 01"));
        window->SendRaw();
        QTRY_VERIFY_WITH_TIMEOUT(!window->Busy(), Wait);
        recorder.Flush();
        recorder.SetMonitorOpen(false);
        TFrameMonitorModel& rows = recorder.Model();
        QCOMPARE(rows.rowCount(), 4);
        auto meaning = [&](int row) {
            return rows.data(rows.index(row, TFrameMonitorModel::Meaning)).toString();
        };
        auto error = [&](int row) {
            return rows.data(rows.index(row, 0), TFrameMonitorModel::ErrorRole).toBool();
        };
        QCOMPARE(meaning(0), QStringLiteral("функция 3: 1 с 1002"));
        QVERIFY2(meaning(1).contains(QStringLiteral("1002 = 7 (Сетевой адрес: 7)")),
                 qPrintable(meaning(1)));
        QVERIFY(!error(1));
        QCOMPARE(meaning(2), QStringLiteral("кадр вручную"));
        QVERIFY2(meaning(3).contains(QStringLiteral("исключение 2")), qPrintable(meaning(3)));
        QVERIFY(error(3));
    }

    void rawFrameOnceAndRepeated() {
        window->RawField()->setText(QStringLiteral("0703 03EA 0001"));
        window->RawCrcBox()->setChecked(true);
        window->SendRaw();
        QTRY_VERIFY_WITH_TIMEOUT(!window->Busy(), Wait);
        const QString shown = window->RawAnswerLabel()->text();
        QVERIFY2(shown.contains(QStringLiteral("< ") + WithCrc("07 03 02 00 07")),
                 qPrintable(shown));
        QVERIFY2(
            shown.contains(QStringLiteral("Modbus RTU: функция 3: 1002 = 7 (Сетевой адрес: 7)")),
            qPrintable(shown));
        // Repeated: every frame answered before the next goes out, each the same.
        app.instrument->ClearReceived();
        window->RawIntervalBox()->setValue(50);
        window->SetRawRepeat(true);
        QVERIFY(app.WaitForFrames(3));
        window->SetRawRepeat(false);
        QTRY_VERIFY_WITH_TIMEOUT(!window->OwnsLine(), Wait);
        const QStringList frames = app.Frames();
        QCOMPARE(frames.count(WithCrc("07 03 03 EA 00 01")), frames.size());
        QCOMPARE(int(app.instrument->Model().Snapshot().address), InstrumentAddress);
    }

    // The instrument's QV frames typed by hand are read as QV.
    void rawQvFrame() {
        app.Stop();
        sim::Config config = Instrument(sim::Protocol::Qv, 12);
        app.Start(&config, false);
        QMenu* menu = app.window->Commissioning->MenuButton()->menu();
        TRegistersWindow::AddToMenu(*menu, *app.window, nullptr);
        menu->findChild<QAction*>(QStringLiteral("ActionRegisters"))->trigger();
        window = app.window->findChild<TRegistersWindow*>();
        QVERIFY(window);
        window->RawField()->setText(QStringLiteral("0C 00 4A"));
        window->SendRaw();
        QTRY_VERIFY_WITH_TIMEOUT(
            window->RawAnswerLabel()->text().contains(QStringLiteral("QV: GetAdr: адрес 12")),
            Wait);
    }

    // The framing chosen reaches the port (PARODD and CSTOPB on the pseudo-terminal, whose
    // kernel side clears PARENB) and is handed on to be stored; the instrument still answers.
    void framingOnThePort() {
        QComboBox* parity = window->ParityBox();
        QComboBox* stopBits = window->StopBitsBox();
        QCOMPARE(parity->currentData().toInt(), int(paNone));  // 8N1 unless stored otherwise
        parity->setCurrentIndex(parity->findData(int(paOdd)));
        emit parity->activated(parity->currentIndex());
        stopBits->setCurrentIndex(stopBits->findData(int(sb2)));
        emit stopBits->activated(stopBits->currentIndex());
        QCOMPARE(app.window->Port().Parity(), paOdd);
        QCOMPARE(app.window->Port().StopBits(), sb2);
        QVERIFY(!stored.empty());
        QCOMPARE(stored.back().parity, paOdd);
        QCOMPARE(stored.back().stopBits, sb2);
        // The port holds the device exclusively: its termios are read through a descriptor
        // of this process that names the device.
        const int fd = DescriptorOf(QString::fromStdString(app.instrument->DevicePath()));
        QVERIFY(fd >= 0);
        termios t{};
        QCOMPARE(tcgetattr(fd, &t), 0);
        QVERIFY(t.c_cflag & PARODD);
        QVERIFY(t.c_cflag & CSTOPB);
        SetRange(3, 1002, 1);
        QVERIFY(Read());
        QCOMPARE(Cell(window->Model(), 0, TRegisterTableModel::Value), QStringLiteral("7"));
    }

    void csvExport() {
        SetRange(3, 1002, 1);
        QVERIFY(Read());
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("regs.csv"));
        window->ExportCsv(path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY2(text.contains(
                     QRegularExpression(QStringLiteral("^register,name,value,meaning,age_s,error\n"
                                                       "1002,Сетевой адрес,7,7,\\d+\\.\\d,\n$"))),
                 qPrintable(text));
    }

    // ---- the setup file's framing --------------------------------------------------------

    void framingInTheSetupFile_data() {
        QTest::addColumn<QString>("body");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("stopBits");
        QTest::newRow("absent: 8N1") << "[Port]\nBaud=3\n" << 0 << 1;
        QTest::newRow("even, 2") << "[Port]\nParity=2\nStopBits=2\n" << 2 << 2;
        QTest::newRow("out of range") << "[Port]\nParity=7\nStopBits=3\n" << 0 << 1;
    }
    void framingInTheSetupFile() {
        QFETCH(QString, body);
        QFETCH(int, parity);
        QFETCH(int, stopBits);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("setup.cfg"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(body.toUtf8());
        file.close();
        SetupFile::TFraming f = SetupFile::ReadFraming(path);
        QCOMPARE(f.parity, parity);
        QCOMPARE(f.stopBits, stopBits);
        // Stored, and kept when the main window writes its own keys.
        QVERIFY(SetupFile::WriteFraming(path, {1, 2}));
        QVERIFY(SetupFile::Write(path, SetupFile::Read(path)));
        f = SetupFile::ReadFraming(path);
        QCOMPARE(f.parity, 1);
        QCOMPARE(f.stopBits, 2);
    }
};

// The table on a clock of its own: ages, errors that keep values, views, writes and CSV.
class TestRegisterTable : public QObject {
    Q_OBJECT

    qint64 now = 0;

private slots:
    void rowsAgesAndErrors() {
        TRegisterTableModel m(nullptr, [this] { return now; });
        m.SetRange(protocol::DataFunction::ReadHoldingRegisters, 1002, 2);
        QCOMPARE(m.rowCount(), 2);
        QCOMPARE(Cell(m, 0, TRegisterTableModel::Age), QString());  // unread
        now = 1000;
        m.TakeValues({7, 9});
        now = 3500;
        QCOMPARE(Cell(m, 0, TRegisterTableModel::Age), QStringLiteral("2.5"));
        m.TakeError(QStringLiteral("нет ответа"));
        QCOMPARE(Cell(m, 1, TRegisterTableModel::Value), QStringLiteral("9"));
        QCOMPARE(Cell(m, 1, TRegisterTableModel::Error), QStringLiteral("нет ответа"));
        // A write of register 1003 updates its row alone; coils written do not touch registers.
        m.TakeWritten(protocol::DataFunction::WriteRegister, 1003, {11});
        QCOMPARE(Cell(m, 1, TRegisterTableModel::Value), QStringLiteral("11"));
        QCOMPARE(Cell(m, 1, TRegisterTableModel::Age), QStringLiteral("0.0"));
        QCOMPARE(Cell(m, 1, TRegisterTableModel::Error), QString());
        QCOMPARE(Cell(m, 0, TRegisterTableModel::Error), QStringLiteral("нет ответа"));
        m.TakeWritten(protocol::DataFunction::WriteCoil, 1002, {1});
        QCOMPARE(Cell(m, 0, TRegisterTableModel::Value), QStringLiteral("7"));
    }

    // In English the instrument's names are English, their suffixes kept.
    void namesInEnglish() {
        TRegisterTableModel m(nullptr, [this] { return now; });
        m.SetRange(protocol::DataFunction::ReadHoldingRegisters, 100, 2);
        QVERIFY(Language::Apply(QStringLiteral("en")));
        const QString first = Cell(m, 0, TRegisterTableModel::Name);
        const QString second = Cell(m, 1, TRegisterTableModel::Name);
        QVERIFY(Language::Apply(QStringLiteral("ru")));
        QCOMPARE(first, QStringLiteral("Scale of par. 1"));
        QCOMPARE(second, QStringLiteral("Scale of par. 1 (2)"));
        QCOMPARE(Cell(m, 0, TRegisterTableModel::Name), QStringLiteral("Шкала пар. 1"));
    }

    void viewsOverTwoRegisters() {
        TRegisterTableModel m(nullptr, [this] { return now; });
        m.SetRange(protocol::DataFunction::ReadInputRegisters, 0, 3);
        m.TakeValues({0x0001, 0x0002, 0x0003});
        m.SetView(protocol::RegisterType::U32, protocol::WordOrder::CDAB,
                  protocol::NumberBase::Dec);
        QCOMPARE(m.rowCount(), 2);
        QCOMPARE(Cell(m, 0, TRegisterTableModel::Value), QStringLiteral("131073"));
        QCOMPARE(Cell(m, 1, TRegisterTableModel::Value), QString());  // half a value
        // Input registers are not the instrument's: no names.
        QCOMPARE(Cell(m, 0, TRegisterTableModel::Name), QString());
    }

    void csvQuotesWhatNeedsIt() {
        TRegisterTableModel m(nullptr, [this] { return now; });
        m.SetRange(protocol::DataFunction::ReadHoldingRegisters, 1100, 1);
        now = 0;
        m.TakeValues({0x2C22});  // the characters , and "
        QCOMPARE(m.Csv(), QStringLiteral("register,name,value,meaning,age_s,error\n"
                                         "1100,Доп. информация 1-2,11298,\"«,\"\"»\",0.0,\n"));
    }
};

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    TestRegisterTable table;
    TestRegistersWindow window;
    return QTest::qExec(&table, argc, argv) | QTest::qExec(&window, argc, argv);
}

#include "test_registers_window.moc"
