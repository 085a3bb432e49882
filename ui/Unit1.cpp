// Port settings dialog: loading, the port list refreshed on paint, placement beside the main
// window, and applying the choice to the main window's port.
#include "ui/Unit1.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>
#include <QStringList>
#include <QTimer>
#include <exception>

#include "serial/SerialPort.h"
#include "ui/SetupFile.h"
#include "ui/main.h"
#include "ui_Unit1.h"

TSettingForm* SettingForm = nullptr;

namespace {

constexpr int DefaultSpeedIndex = SetupFile::DefaultSpeedIndex;
constexpr int DefaultProtocol = SetupFile::DefaultProtocolIsModbus;
const QPoint OffsetFromMainWindow(170, 100);

QString ErrorCaption() { return QStringLiteral("Ошибка"); }

QStringList Items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
    return items;
}

// The list's selection when there is one; otherwise the value in force if it is a valid
// index of the list, else the default.
int ChosenIndex(const QComboBox* box, int current, int fallback) {
    if (box->currentIndex() >= 0) return box->currentIndex();
    return current >= 0 && current < box->count() ? current : fallback;
}

}  // namespace

TSettingForm::TSettingForm(QWidget* parent) : QDialog(parent), ui(new Ui::TSettingForm) {
    ui->setupUi(this);
    // The speed and protocol lists are selection-only (not editable, see Unit1.ui): a typed
    // entry would leave them without a selection, and applying would then store -1 as
    // SpeedIndex and 0xFF as ProtocolIsModbus, while the title reads the speed list at
    // SpeedIndex and the exchange tests ProtocolIsModbus against 0 and 1.
    connect(ui->Button1, &QPushButton::clicked, this, &TSettingForm::Button1Click);
    connect(ui->Button2, &QPushButton::clicked, this, &TSettingForm::Button2Click);
    // Typing in the port box turns a pick back into a typed name: only a name taken from the
    // list becomes the stored setting.
    connect(ui->ComboBox1->lineEdit(), &QLineEdit::textEdited, this, [this] { DropPortPick(); });
    FormCreate();
}

TSettingForm::~TSettingForm() {
    if (SettingForm == this) SettingForm = nullptr;
    delete ui;
}

void TSettingForm::FormCreate() { PlaceByMainWindow(); }

void TSettingForm::LoadSettings(const QString& portName, int speedIndex, int protocolIsModbus) {
    ui->ComboBox1->setEditText(portName);
    DropPortPick();
    ui->ComboBox2->setCurrentIndex(speedIndex >= 0 && speedIndex < ui->ComboBox2->count()
                                       ? speedIndex
                                       : DefaultSpeedIndex);
    ui->ComboBox3->setCurrentIndex(protocolIsModbus == 0 || protocolIsModbus == 1 ? protocolIsModbus
                                                                                  : DefaultProtocol);
}

bool TSettingForm::PortPicked() const { return ui->ComboBox1->currentIndex() >= 0; }

void TSettingForm::DropPortPick() {
    QComboBox* box = ui->ComboBox1;
    if (box->currentIndex() < 0) return;
    // An editable box empties its field when the selection goes, so the text is put back.
    const QString text = box->currentText();
    const int cursor = box->lineEdit()->cursorPosition();
    box->setCurrentIndex(-1);
    box->setEditText(text);
    box->lineEdit()->setCursorPosition(cursor);
}

void TSettingForm::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    FormPaint();
}

void TSettingForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    // A new showing: an earlier pick no longer stands, and a list failure is worth telling
    // the operator again.
    DropPortPick();
    FPortListFailureShown = false;
}

void TSettingForm::FormPaint() {
    // Paint events come from Qt's event loop, which must never see an exception.
    try {
        RefreshPortList();
        PlaceByMainWindow();
    } catch (const std::exception& e) {
        ReportPortListFailure(QString::fromUtf8(e.what()));
    } catch (...) {
        ReportPortListFailure(QString());
    }
}

// The ports present are read at every paint, so a USB adapter plugged in while the dialog is
// open shows up. The box is only touched when the list has changed: a paint must not change
// what it paints when nothing changed, or each paint would ask for the next one, and a pick
// made in the drop-down (whose closing repaints the dialog underneath on some systems) must
// survive that repaint. A changed list drops the pick, the field's text stays.
void TSettingForm::RefreshPortList() {
    QStringList ports;
    try {
        TSerialPort::EnumSerialPorts(ports);
    } catch (const ESerialPort& e) {
        ReportPortListFailure(e.Message());  // the box keeps its previous items
        return;
    }
    QComboBox* box = ui->ComboBox1;
    if (Items(box) == ports) return;
    const QString text = box->currentText();
    box->clear();
    box->addItems(ports);
    box->setCurrentIndex(-1);
    box->setEditText(text);
}

void TSettingForm::ReportPortListFailure(const QString& message) {
    if (FPortListFailureShown) return;
    FPortListFailureShown = true;
    // Not from inside the paint event: the box runs an event loop of its own.
    QTimer::singleShot(0, this, [this, message] {
        QMessageBox::critical(this, ErrorCaption(), message);
    });
}

void TSettingForm::PlaceByMainWindow() {
    if (!z) return;
    const QPoint target = z->pos() + OffsetFromMainWindow;
    if (pos() != target) move(target);
}

void TSettingForm::Button1Click() {
    if (!z || !z->ComPort) return;
    TSerialPort* port = z->ComPort;
    try {
        port->Close();
        if (PortPicked()) PortName = ui->ComboBox1->currentText();
        SpeedIndex = ChosenIndex(ui->ComboBox2, SpeedIndex, DefaultSpeedIndex);
        port->SetBaudRate(SpeedIndexToBaudRate(SpeedIndex));
        port->SetPort(ui->ComboBox1->currentText());
        ProtocolIsModbus = uint8_t(ChosenIndex(ui->ComboBox3, ProtocolIsModbus, DefaultProtocol));
        port->Open();
    } catch (const ESerialPort& e) {
        // The settings taken so far stay in force and the port stays closed; the operator
        // picks another port or cancels.
        QMessageBox::critical(this, ErrorCaption(), e.Message());
        return;
    } catch (const std::exception& e) {
        QMessageBox::critical(this, ErrorCaption(), QString::fromUtf8(e.what()));
        return;
    }
    z->RefreshProtocolView();
    accept();
}

// Closing by the close box or Escape rejects the dialog the same way: nothing is changed.
void TSettingForm::Button2Click() { reject(); }
