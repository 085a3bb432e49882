// The port settings dialog against the real main window and its port: which name becomes the
// stored setting, what reaches the port, what cancelling keeps, how a failed reopen and an
// unreadable port list are reported, how the list follows the ports, how by-id names are listed,
// and where the dialog stands. Pseudo-terminals stand for the serial lines; the port list is ours.
#include <pty.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <vector>

#include "BoxCloser.h"
#include "TestDesktop.h"
#include "serial/SerialPort.h"
#include "ui/PortList.h"
#include "ui/PortWatch.h"
#include "ui/Unit1.h"
#include "ui/main.h"
#include "ui_Unit1.h"

using serial_backend::PortInfo;

namespace {

// One end of a pseudo-terminal pair; the port under test opens the other end by its path.
class Pty {
public:
    Pty() {
        int slave = -1;
        char name[128] = {};
        if (::openpty(&FMaster, &slave, name, nullptr, nullptr) == 0) {
            FPath = QString::fromLocal8Bit(name);
            ::close(slave);
        }
    }
    ~Pty() {
        if (FMaster >= 0) ::close(FMaster);
    }
    const QString& Path() const { return FPath; }

private:
    int FMaster = -1;
    QString FPath;
};

// Lets every event posted so far run, including deferred reports: queued calls run in order.
void DrainPosted() {
    bool reached = false;
    QTimer::singleShot(0, qApp, [&reached] { reached = true; });
    QTRY_VERIFY_WITH_TIMEOUT(reached, 10000);
}

const QString kNotFound = QString::fromUtf8("Попытка открыть несуществующий COM-порт");
const QString kPortList = QString::fromUtf8("Ошибка обращения к системному реестру");
const QString kErrorTitle = QString::fromUtf8("Ошибка");

}  // namespace

class TestSettingForm : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;
    std::vector<PortInfo> FListed;  // what the system lists
    TTestDesktop FDesktop;          // lists FListed as the ports present
    bool FListReadable = true;
    Pty FLineA;
    Pty FLineB;
    Ui::TSettingForm* ui = nullptr;

    QStringList PortItems() const {
        QStringList items;
        for (int i = 0; i < ui->ComboBox1->count(); ++i) items << ui->ComboBox1->itemText(i);
        return items;
    }

    void AddListedPort(const QString& name, const QString& byId = QString(),
                       const QString& description = QString()) {
        const std::string kernel = name.toStdString();
        FListed.push_back(
            {kernel, "/dev/" + kernel, byId.toStdString(), description.toStdString()});
    }
    void RemoveListedPort(const QString& name) {
        const std::string kernel = name.toStdString();
        FListed.erase(std::remove_if(FListed.begin(), FListed.end(),
                                     [&](const PortInfo& p) { return p.name == kernel; }),
                      FListed.end());
    }

    QString PortField() const { return z->PortWatch->Field()->text(); }

    // What ToolButton3Click does, shown without blocking so the test can work the dialog.
    void OpenDialog() {
        SettingForm->LoadSettings(PortName, SpeedIndex, ProtocolIsModbus);
        SettingForm->open();
        QVERIFY(QTest::qWaitForWindowExposed(SettingForm));
        // The first paint fills the port list from our directory.
        QTRY_VERIFY_WITH_TIMEOUT(PortItems().contains("ttyTessera0"), 10000);
    }

    void TypePortName(const QString& name) {
        QLineEdit* edit = ui->ComboBox1->lineEdit();
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, name);
        QCOMPARE(ui->ComboBox1->currentText(), name);
    }

    // The operator takes the item from the list with the keyboard.
    void PickPort(const QString& name) {
        const int index = ui->ComboBox1->findData(name, Qt::EditRole);
        QVERIFY(index >= 0);
        QComboBox* box = ui->ComboBox1;
        box->setFocus();
        // Down from "nothing chosen" lands on the first item, then one item per key.
        while (box->currentIndex() > 0) QTest::keyClick(box, Qt::Key_Up);
        if (box->currentIndex() < 0) QTest::keyClick(box, Qt::Key_Down);
        for (int i = 0; i < index; ++i) QTest::keyClick(box, Qt::Key_Down);
        QCOMPARE(ui->ComboBox1->currentText(), name);
    }

    // Inside the shown dialog: note what the port box shows, do `action`, confirm.
    void ActInDialog(const QString& action, QString& shown) {
        QVERIFY(QTest::qWaitForWindowExposed(SettingForm));
        shown = ui->ComboBox1->currentText();
        if (action == "pick then type") {
            QTRY_VERIFY_WITH_TIMEOUT(PortItems().contains("ttyTessera0"), 10000);
            PickPort("ttyTessera0");
        }
        if (!action.isEmpty()) TypePortName(FLineB.Path());
        ui->Button1->click();
    }

private slots:
    void initTestCase() {
        QVERIFY(FDir.isValid());
        QVERIFY(!FLineA.Path().isEmpty());
        QVERIFY(!FLineB.Path().isEmpty());
        FDesktop.portDetails = [this](std::vector<PortInfo>& ports) {
            ports = FListed;
            return FListReadable;
        };
        new Tz(nullptr, &FDesktop);
        QVERIFY(z);
        SettingForm = new TSettingForm(z);
        ui = SettingForm->ui;
    }

    void cleanupTestCase() {
        delete SettingForm;
        if (z) z->ComPort->Close();
        delete z;
    }

    // Every test starts from the port open on line A at 9600, the settings matching it.
    void init() {
        if (SettingForm->isVisible()) SettingForm->reject();
        // Listed names that lead to no device: picking one can never open a real port.
        FListed.clear();
        AddListedPort("ttyTessera0");
        AddListedPort("ttyTessera1");
        FListReadable = true;
        Tz::PortOverride.clear();
        PortName = FLineA.Path();
        SpeedIndex = 3;
        ProtocolIsModbus = 1;
        z->ComPort->Close();
        z->ComPort->SetPort(FLineA.Path());
        z->ComPort->SetBaudRate(br9600);
        z->ComPort->Open();
        QVERIFY(z->ComPort->Connected());
        z->setWindowTitle(QString());
    }

    void form_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("rect");
        QTest::newRow("Label1") << "Label1" << QRect(16, 24, 76, 21);
        QTest::newRow("Label2") << "Label2" << QRect(16, 56, 76, 21);
        QTest::newRow("Label3") << "Label3" << QRect(16, 88, 76, 21);
        QTest::newRow("ComboBox1") << "ComboBox1" << QRect(96, 24, 73, 21);
        QTest::newRow("ComboBox2") << "ComboBox2" << QRect(96, 56, 73, 21);
        QTest::newRow("ComboBox3") << "ComboBox3" << QRect(96, 88, 73, 21);
        QTest::newRow("CheckBox1") << "CheckBox1" << QRect(16, 115, 153, 27);
        QTest::newRow("Button1") << "Button1" << QRect(16, 137, 49, 25);
        QTest::newRow("Button2") << "Button2" << QRect(96, 137, 75, 25);
    }

    void form() {
        QFETCH(QString, name);
        QFETCH(QRect, rect);
        auto* w = SettingForm->findChild<QWidget*>(name);
        QVERIFY(w);
        QCOMPARE(w->parentWidget(), SettingForm);
        QCOMPARE(w->geometry(), rect);
    }

    void formTexts() {
        QCOMPARE(SettingForm->windowTitle(), QString::fromUtf8("Настройка"));
        // 181 high as designed, plus the language row below the buttons.
        QCOMPARE(SettingForm->size(), QSize(195, 229));
        QCOMPARE(ui->Label1->text(), QString::fromUtf8("Порт"));
        QCOMPARE(ui->Label2->text(), QString::fromUtf8("Скорость"));
        QCOMPARE(ui->Label3->text(), QString::fromUtf8("Протокол"));
        // Cyrillic О and к, not Latin.
        QCOMPARE(ui->Button1->text(), QString(QChar(0x041E)) + QChar(0x043A));
        QCOMPARE(ui->Button2->text(), QString::fromUtf8("Отмена"));
        const QString hint = QString::fromUtf8(
            "Изменять тип протокола в настройках программы при изменении в приборе");
        QCOMPARE(ui->CheckBox1->text(), hint);
        QCOMPARE(ui->CheckBox1->toolTip(), hint);
        QVERIFY(ui->CheckBox1->isHidden());
        const QStringList speeds{"1200",  "2400",  "4800",  "9600",
                                 "19200", "38400", "57600", "115200"};
        QCOMPARE(ui->ComboBox2->count(), speeds.size());
        for (int i = 0; i < speeds.size(); ++i) QCOMPARE(ui->ComboBox2->itemText(i), speeds[i]);
        QCOMPARE(ui->ComboBox3->count(), 2);
        QCOMPARE(ui->ComboBox3->itemText(0), QString("QV"));
        QCOMPARE(ui->ComboBox3->itemText(1), QString("MB"));
        // Only the port box takes typed text; the other two always hold a valid index.
        QVERIFY(ui->ComboBox1->isEditable());
        QVERIFY(!ui->ComboBox2->isEditable());
        QVERIFY(!ui->ComboBox3->isEditable());
        // Tab order: port, speed, protocol, check box, Ок, Отмена.
        const QList<QWidget*> order{ui->ComboBox1, ui->ComboBox2, ui->ComboBox3,
                                    ui->CheckBox1, ui->Button1,   ui->Button2};
        QList<QWidget*> chain;
        QWidget* w = ui->ComboBox1;
        for (int guard = 0; guard < 50 && chain.size() < order.size();
             ++guard, w = w->nextInFocusChain())
            if (order.contains(w) && !chain.contains(w)) chain << w;
        QCOMPARE(chain, order);
    }

    // Confirming applies speed and protocol to the port and the title; a value loaded from
    // outside the lists never gets through.
    void apply_data() {
        QTest::addColumn<int>("loadSpeed");
        QTest::addColumn<int>("loadProtocol");
        QTest::addColumn<int>("chooseSpeed");     // -1: leave the list alone
        QTest::addColumn<int>("chooseProtocol");  // -1: leave the list alone
        QTest::addColumn<int>("speedIndex");
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("protocol");
        QTest::addColumn<QString>("titleEnd");
        QTest::newRow("19200 QV") << 3 << 1 << 4 << 0 << 4 << int(br19200) << 0
                                  << "Quorvanta   19200";
        QTest::newRow("57600 MB") << 3 << 0 << 6 << 1 << 6 << int(br57600) << 1
                                  << "ModBus RTU   57600";
        QTest::newRow("1200") << 3 << 1 << 0 << -1 << 0 << int(br1200) << 1 << "ModBus RTU   1200";
        QTest::newRow("115200") << 3 << 1 << 7 << -1 << 7 << int(br115200) << 1
                                << "ModBus RTU   115200";
        QTest::newRow("untouched")
            << 5 << 0 << -1 << -1 << 5 << int(br38400) << 0 << "Quorvanta   38400";
        QTest::newRow("loaded out of range")
            << 9 << 7 << -1 << -1 << 3 << int(br9600) << 1 << "ModBus RTU   9600";
        QTest::newRow("loaded negative")
            << -1 << -1 << -1 << -1 << 3 << int(br9600) << 1 << "ModBus RTU   9600";
    }

    void apply() {
        QFETCH(int, loadSpeed);
        QFETCH(int, loadProtocol);
        QFETCH(int, chooseSpeed);
        QFETCH(int, chooseProtocol);
        QFETCH(int, speedIndex);
        QFETCH(int, baud);
        QFETCH(int, protocol);
        QFETCH(QString, titleEnd);
        SpeedIndex = loadSpeed;
        ProtocolIsModbus = uint8_t(loadProtocol);
        SettingForm->LoadSettings(PortName, loadSpeed, loadProtocol);
        SettingForm->open();
        QVERIFY(QTest::qWaitForWindowExposed(SettingForm));
        if (chooseSpeed >= 0) ui->ComboBox2->setCurrentIndex(chooseSpeed);
        if (chooseProtocol >= 0) ui->ComboBox3->setCurrentIndex(chooseProtocol);
        ui->Button1->click();
        QVERIFY(!SettingForm->isVisible());
        QCOMPARE(SettingForm->result(), int(QDialog::Accepted));
        QCOMPARE(SpeedIndex, speedIndex);
        QCOMPARE(int(ProtocolIsModbus), protocol);
        QCOMPARE(int(z->ComPort->BaudRate()), baud);
        QVERIFY(z->ComPort->Connected());
        QCOMPARE(z->ComPort->Port(), FLineA.Path());
        QVERIFY2(z->windowTitle().endsWith(titleEnd), qPrintable(z->windowTitle()));
        QCOMPARE(PortName, FLineA.Path());
    }

    // The dialog shows the port in use, whatever the stored setting says; a name typed or
    // picked is what opens and what is stored; "Ок" without changes keeps the port in use.
    // The demo's own device is never stored. The status bar's field names the open port.
    void portInUse_data() {
        QTest::addColumn<QString>("stored");  // PortName before the dialog
        QTest::addColumn<bool>("demo");       // the open port is the run's own device
        QTest::addColumn<QString>("action");  // "", "type", "pick then type"
        QTest::addColumn<bool>("storesB");
        QTest::newRow("untouched") << "A" << false << "" << false;
        QTest::newRow("untouched, other port stored") << "COM1" << false << "" << false;
        QTest::newRow("untouched, demo") << "COM1" << true << "" << false;
        QTest::newRow("typed") << "A" << false << "type" << true;
        QTest::newRow("picked, then typed over") << "A" << false << "pick then type" << true;
        QTest::newRow("typed, demo") << "COM1" << true << "type" << true;
    }

    void portInUse() {
        QFETCH(QString, stored);
        QFETCH(bool, demo);
        QFETCH(QString, action);
        QFETCH(bool, storesB);
        PortName = stored == "A" ? FLineA.Path() : stored;
        if (demo) Tz::PortOverride = FLineA.Path();
        for (int showing = 1; showing <= 2; ++showing) {
            // "Настройка", worked inside its modal loop; the second showing changes nothing.
            QString shown;
            QTimer::singleShot(0, this, [&] {
                ActInDialog(showing == 1 ? action : QString(), shown);
                if (SettingForm->isVisible()) SettingForm->reject();  // acting failed
            });
            z->findChild<QAbstractButton*>("ToolButton3")->click();
            QVERIFY(!QTest::currentTestFailed());
            QCOMPARE(shown, showing == 1 || !storesB ? FLineA.Path() : FLineB.Path());
            QCOMPARE(SettingForm->result(), int(QDialog::Accepted));
            QVERIFY(z->ComPort->Connected());
            const QString opened = storesB ? FLineB.Path() : FLineA.Path();
            QCOMPARE(z->ComPort->Port(), opened);
            // What the dialog showed and "Ок" confirmed, unless it is the demo's device.
            QCOMPARE(PortName, storesB ? FLineB.Path() : demo ? stored : FLineA.Path());
            QCOMPARE(PortField(), QString::fromUtf8("Порт: ") + opened);
        }
        QVERIFY(z->windowTitle().endsWith("ModBus RTU   9600"));
    }

    // A port that cannot be opened costs nothing: the line in use is given back (reopened),
    // the message names the port that failed and the one still in use, the dialog stays up,
    // and a name that opens then gets the line.
    void failedOpenKeepsTheWorkingPort() {
        OpenDialog();
        PickPort("ttyTessera1");
        ui->ComboBox2->setCurrentIndex(4);
        BoxCloser boxes;
        ui->Button1->click();
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].title, kErrorTitle);
        QVERIFY2(boxes.seen[0].text.startsWith(kNotFound), qPrintable(boxes.seen[0].text));
        QVERIFY2(boxes.seen[0].text.contains(QStringLiteral("Порт ttyTessera1 не открыт")) &&
                     boxes.seen[0].text.contains(
                         QStringLiteral("В работе остаётся порт %1").arg(FLineA.Path())),
                 qPrintable(boxes.seen[0].text));
        QCOMPARE(boxes.seen[0].icon, QMessageBox::Critical);
        QVERIFY(SettingForm->isVisible());
        QVERIFY(z->ComPort->Connected());
        QCOMPARE(z->ComPort->Port(), FLineA.Path());
        QCOMPARE(int(z->ComPort->BaudRate()), int(br9600));
        QCOMPARE(PortName, FLineA.Path());
        QCOMPARE(SpeedIndex, 3);
        QCOMPARE(int(ProtocolIsModbus), 1);
        QCOMPARE(PortField(), QString::fromUtf8("Порт: ") + FLineA.Path());

        TypePortName(FLineB.Path());
        ui->Button1->click();
        QCOMPARE(boxes.seen.size(), 1);
        QVERIFY(!SettingForm->isVisible());
        QVERIFY(z->ComPort->Connected());
        QCOMPARE(z->ComPort->Port(), FLineB.Path());
        QCOMPARE(int(z->ComPort->BaudRate()), int(br19200));
        QCOMPARE(PortName, FLineB.Path());
    }

    // "Отмена" after a failed choice changes nothing: the program still works with the port
    // it had.
    void cancelAfterFailedOpenChangesNothing() {
        OpenDialog();
        TypePortName("/nonexistent/tessera-port");
        BoxCloser boxes;
        ui->Button1->click();
        QCOMPARE(boxes.seen.size(), 1);
        QVERIFY(boxes.seen[0].text.startsWith(kNotFound));
        QVERIFY(boxes.seen[0].text.contains(QStringLiteral("/nonexistent/tessera-port")));
        ui->Button2->click();
        QVERIFY(!SettingForm->isVisible());
        QVERIFY(z->ComPort->Connected());
        QCOMPARE(z->ComPort->Port(), FLineA.Path());
        QCOMPARE(PortName, FLineA.Path());
    }

    void cancel_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("Отмена") << 0;
        QTest::newRow("close box") << 1;
        QTest::newRow("Escape") << 2;
    }

    void cancel() {
        QFETCH(int, how);
        OpenDialog();
        TypePortName(FLineB.Path());
        ui->ComboBox2->setCurrentIndex(7);
        ui->ComboBox3->setCurrentIndex(0);
        if (how == 0) ui->Button2->click();
        if (how == 1) SettingForm->close();
        if (how == 2) QTest::keyClick(SettingForm, Qt::Key_Escape);
        QVERIFY(!SettingForm->isVisible());
        QCOMPARE(SettingForm->result(), int(QDialog::Rejected));
        QVERIFY(z->ComPort->Connected());
        QCOMPARE(z->ComPort->Port(), FLineA.Path());
        QCOMPARE(int(z->ComPort->BaudRate()), int(br9600));
        QCOMPARE(PortName, FLineA.Path());
        QCOMPARE(SpeedIndex, 3);
        QCOMPARE(int(ProtocolIsModbus), 1);
        QVERIFY(z->windowTitle().isEmpty());
    }

    // Each paint reads the ports present: a new port shows up, the typed text stays, and an
    // unchanged list leaves the box, pick included, alone.
    void portListFollowsThePorts() {
        OpenDialog();
        PickPort("ttyTessera1");
        SettingForm->repaint();
        QCOMPARE(ui->ComboBox1->currentIndex(), 1);
        QCOMPARE(ui->ComboBox1->currentText(), QString("ttyTessera1"));

        TypePortName("/dev/custom");
        AddListedPort("ttyTessera2");
        SettingForm->repaint();
        QCOMPARE(PortItems(), (QStringList{"ttyTessera0", "ttyTessera1", "ttyTessera2"}));
        QCOMPARE(ui->ComboBox1->currentText(), QString("/dev/custom"));

        PickPort("ttyTessera0");
        RemoveListedPort("ttyTessera2");
        SettingForm->repaint();
        QCOMPARE(PortItems(), (QStringList{"ttyTessera0", "ttyTessera1"}));
        QCOMPARE(ui->ComboBox1->currentText(), QString("ttyTessera0"));
    }

    // An open dialog that nothing repaints (its paints are held back here) still follows the
    // ports: an adapter plugged in shows up with its by-id name and description, one pulled
    // goes, and the typed text stays.
    void portListFollowsThePortsWithoutPaints() {
        OpenDialog();
        struct PaintBlocker : QObject {
            bool eventFilter(QObject*, QEvent* e) override { return e->type() == QEvent::Paint; }
        } blocker;
        SettingForm->installEventFilter(&blocker);
        TypePortName("/dev/custom");
        const QString byId = "/dev/serial/by-id/usb-Tessera_RS485_Adapter_0042-if00-port0";
        AddListedPort("ttyUSB3", byId, "Tessera RS-485 adapter");
        QTRY_VERIFY_WITH_TIMEOUT(PortItems().contains(byId), 10000);
        const int index = ui->ComboBox1->findData(byId, Qt::EditRole);
        QCOMPARE(ui->ComboBox1->itemData(index, Qt::DisplayRole).toString(),
                 byId + "   Tessera RS-485 adapter");
        RemoveListedPort("ttyTessera0");
        QTRY_VERIFY_WITH_TIMEOUT(!PortItems().contains("ttyTessera0"), 10000);
        SettingForm->removeEventFilter(&blocker);
        QCOMPARE(ui->ComboBox1->currentText(), QString("/dev/custom"));
    }

    // Ports as engineers know them: a by-id name beside its kernel name, each with the
    // adapter's description in the drop-down; the field takes the name alone.
    void portChoices_data() {
        QTest::addColumn<QStringList>("port");  // name, path, by-id path, description
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QStringList>("texts");
        const QString byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
        QTest::newRow("built-in") << QStringList{"ttyS0", "/dev/ttyS0", "", ""}
                                  << QStringList{"ttyS0"} << QStringList{"ttyS0"};
        QTest::newRow("no by-id name")
            << QStringList{"ttyACM0", "/dev/ttyACM0", "", "Arduino Uno"} << QStringList{"ttyACM0"}
            << QStringList{"ttyACM0   Arduino Uno"};
        const QString ftdi = "FTDI FT232R USB UART";
        QTest::newRow("USB adapter")
            << QStringList{"ttyUSB0", "/dev/ttyUSB0", byId, ftdi} << QStringList{"ttyUSB0", byId}
            << QStringList{"ttyUSB0   " + ftdi, byId + "   " + ftdi};
    }

    void portChoices() {
        QFETCH(QStringList, port);
        QFETCH(QStringList, values);
        QFETCH(QStringList, texts);
        const PortInfo info{port[0].toStdString(), port[1].toStdString(), port[2].toStdString(),
                            port[3].toStdString()};
        const QVector<TPortChoice> choices = PortChoices({info});
        QStringList gotValues, gotTexts;
        for (const TPortChoice& c : choices) {
            gotValues << c.value;
            gotTexts << c.text;
        }
        QCOMPARE(gotValues, values);
        QCOMPARE(gotTexts, texts);
    }

    // A by-id choice opens and is stored as the by-id path, and the box is wide enough to
    // read it. (A link to line B stands for the by-id name.)
    void byIdChoiceIsStoredAsIs() {
        const QString byId = FDir.filePath("usb-Tessera_RS485_Adapter_0042-if00-port0");
        QVERIFY(QFile::link(FLineB.Path(), byId));
        AddListedPort("ttyUSB7", byId, "Tessera RS-485 adapter");
        OpenDialog();
        QTRY_VERIFY_WITH_TIMEOUT(PortItems().contains(byId), 10000);
        const int index = ui->ComboBox1->findData(byId, Qt::EditRole);
        QCOMPARE(ui->ComboBox1->itemData(index, Qt::DisplayRole).toString(),
                 byId + QString::fromUtf8("   Tessera RS-485 adapter"));
        PickPort(byId);
        const int textWidth = ui->ComboBox1->fontMetrics().horizontalAdvance(byId);
        const int fieldWidth = ui->ComboBox1->lineEdit()->width();
        QVERIFY2(fieldWidth >= textWidth,
                 qPrintable(QString("%1 < %2").arg(fieldWidth).arg(textWidth)));
        QVERIFY(SettingForm->width() - ui->ComboBox1->geometry().right() >= 0);
        ui->Button1->click();
        QVERIFY(!SettingForm->isVisible());
        QVERIFY(z->ComPort->Connected());
        QCOMPARE(z->ComPort->Port(), byId);
        QCOMPARE(PortName, byId);
        QFile::remove(byId);
    }

    // An unreadable port list is told once per showing however often the dialog repaints
    // (closing the error box alone repaints it), and the list keeps what it had.
    void portListFailureReportedOnce() {
        OpenDialog();
        const QStringList before = PortItems();
        BoxCloser boxes;
        FListReadable = false;
        int paints = 0;
        struct PaintCounter : QObject {
            int* count;
            explicit PaintCounter(int* c) : count(c) {}
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::Paint) ++*count;
                return false;
            }
        } counter(&paints);
        SettingForm->installEventFilter(&counter);
        for (int i = 0; i < 5; ++i) {
            SettingForm->repaint();
            DrainPosted();
        }
        QTRY_COMPARE_WITH_TIMEOUT(boxes.seen.size(), 1, 10000);
        for (int i = 0; i < 3; ++i) {
            SettingForm->repaint();
            DrainPosted();
        }
        SettingForm->removeEventFilter(&counter);
        QVERIFY(paints >= 8);
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].title, kErrorTitle);
        QCOMPARE(boxes.seen[0].text, kPortList);
        QCOMPARE(PortItems(), before);

        // The next showing tells it again.
        SettingForm->reject();
        SettingForm->open();
        QTRY_COMPARE_WITH_TIMEOUT(boxes.seen.size(), 2, 10000);
        SettingForm->reject();
    }

    void placement() {
        z->move(40, 30);
        OpenDialog();
        const QPoint expected = z->pos() + QPoint(170, 100);
        QTRY_COMPARE_WITH_TIMEOUT(SettingForm->pos(), expected, 10000);
        SettingForm->move(expected + QPoint(50, 60));
        SettingForm->repaint();
        QTRY_COMPARE_WITH_TIMEOUT(SettingForm->pos(), expected, 10000);
    }
};

QTEST_MAIN(TestSettingForm)
#include "test_settingform.moc"
