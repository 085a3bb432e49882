// Port settings dialog: loading, the port list refreshed on paint and while it is up, placement
// beside the main window, and applying the choice to the main window's port.
#include "ui/Unit1.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>
#include <QStandardItemModel>
#include <QStyleOptionComboBox>
#include <QTimer>
#include <exception>
#include <vector>

#include "protocol/Limits.h"
#include "serial/SerialBackend.h"
#include "serial/SerialPort.h"
#include "ui/Language.h"
#include "ui/PortList.h"
#include "ui/PortWatch.h"
#include "ui/RealDesktop.h"
#include "ui/SetupFile.h"
#include "ui/main.h"
#include "ui_Unit1.h"

TSettingForm* SettingForm = nullptr;

namespace {

constexpr int DefaultSpeedIndex = SetupFile::DefaultSpeedIndex;
constexpr int DefaultProtocol = SetupFile::DefaultProtocolIsModbus;
const QPoint OffsetFromMainWindow(170, 100);

QString ErrorCaption() {
    return TSettingForm::tr("Ошибка");
}

// The component's message for an unreadable port list.
constexpr int PortListMessage = 13;
// No wider than this however long a port name is.
constexpr int MaxPortBoxWidth = 560;
// How often the ports are read while the dialog is up; reading them is a few small files.
constexpr int PortsLookIntervalMs = 1000;

// An entry of the port box: the drop-down shows the name with the adapter's description, the
// editable field (which reads the edit role) takes the name alone.
class PortItem : public QStandardItem {
public:
    explicit PortItem(const TPortChoice& choice)
        : QStandardItem(choice.text), FValue(choice.value) {}
    QVariant data(int role) const override {
        return role == Qt::EditRole ? QVariant(FValue) : QStandardItem::data(role);
    }

private:
    QString FValue;
};

QVector<TPortChoice> Choices(const QComboBox* box) {
    QVector<TPortChoice> choices;
    for (int i = 0; i < box->count(); ++i)
        choices.append({box->itemData(i, Qt::EditRole).toString(),
                        box->itemData(i, Qt::DisplayRole).toString()});
    return choices;
}

// The stored language choice as the language list shows it: none stored is Russian.
QString StoredOrOwnLanguage() {
    return Language::IsKnown(Language::Stored) ? Language::Stored : Language::Known().first();
}

// The list's selection when there is one; otherwise the value in force if it is a valid
// index of the list, else the default.
int ChosenIndex(const QComboBox* box, int current, int fallback) {
    if (box->currentIndex() >= 0) return box->currentIndex();
    return current >= 0 && current < box->count() ? current : fallback;
}

serial_backend::NetworkPortName GatewayName(const QString& port) {
    serial_backend::NetworkPortName parsed;
    serial_backend::ParseNetworkPortName(port.toStdString(), parsed);
    return parsed;
}

}  // namespace

TSettingForm::TSettingForm(QWidget* parent) : QDialog(parent), ui(new Ui::TSettingForm) {
    ui->setupUi(this);
    for (const int32_t speed : protocol::LineSpeeds) ui->ComboBox2->addItem(QString::number(speed));
    ui->ComboBox2->setCurrentIndex(-1);
    FDesignedBoxWidth = ui->ComboBox1->width();
    FDesignedDialogWidth = width();
    // The speed and protocol lists are selection-only (not editable, see Unit1.ui): a typed
    // entry would leave them without a selection, and applying would then store -1 as
    // SpeedIndex and 0xFF as ProtocolIsModbus, while the title reads the speed list at
    // SpeedIndex and the exchange tests ProtocolIsModbus against 0 and 1.
    connect(ui->Button1, &QPushButton::clicked, this, &TSettingForm::Button1Click);
    connect(ui->Button2, &QPushButton::clicked, this, &TSettingForm::Button2Click);
    FPortsLook.setInterval(PortsLookIntervalMs);
    connect(&FPortsLook, &QTimer::timeout, this, &TSettingForm::FollowPorts);
    FormCreate();
}

TSettingForm::~TSettingForm() {
    if (SettingForm == this) SettingForm = nullptr;
    delete ui;
}

void TSettingForm::FormCreate() {
    PlaceByMainWindow();
}

void TSettingForm::LoadSettings(const QString& portName, int speedIndex, int protocolIsModbus) {
    FLoadedPort = portName;
    FRecentGateways = SetupFile::ReadNetwork(SetupFile::Path()).recent;
    ui->ComboBox1->setCurrentIndex(-1);
    ui->ComboBox1->setEditText(portName);
    FitPortBox();
    ui->ComboBox2->setCurrentIndex(
        speedIndex >= 0 && speedIndex < ui->ComboBox2->count() ? speedIndex : DefaultSpeedIndex);
    ui->ComboBox3->setCurrentIndex(
        protocolIsModbus == 0 || protocolIsModbus == 1 ? protocolIsModbus : DefaultProtocol);
    ui->ComboBox4->setCurrentIndex(int(Language::Known().indexOf(StoredOrOwnLanguage())));
}

// The language list (in Language::Known's order) changes the stored choice only when the
// operator changed it, so that a settings file in which nobody chose a language stays without
// one. True when the choice changed.
bool TSettingForm::TakeLanguage() {
    const QStringList known = Language::Known();
    const int index = ui->ComboBox4->currentIndex();
    if (index < 0 || index >= known.size() || known[index] == StoredOrOwnLanguage()) return false;
    Language::Stored = known[index];
    return true;
}

QString TSettingForm::ChosenPort() const {
    const QString typed = ui->ComboBox1->currentText().trimmed();
    return typed.isEmpty() ? FLoadedPort : typed;
}

void TSettingForm::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    FormPaint();
}

void TSettingForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    // A new showing: a list failure is worth telling the operator again.
    FPortListFailureShown = false;
    FPortsLook.start();
}

void TSettingForm::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!event->spontaneous()) FPortsLook.stop();
}

void TSettingForm::FormPaint() {
    FollowPorts();
    PlaceByMainWindow();
}

// At every paint, and on a timer while the dialog is up (without placing it). Both come from
// Qt's event loop, which must never see an exception.
void TSettingForm::FollowPorts() {
    try {
        RefreshPortList();
    } catch (const std::exception& e) {
        ReportPortListFailure(QString::fromUtf8(e.what()));
    } catch (...) {
        ReportPortListFailure(QString());
    }
}

// The ports present are read at every paint and every second while the dialog is up, so a
// USB adapter plugged in while the dialog is open shows up. The box is only touched when the
// list has changed: a paint must not change what it paints when nothing changed, or each
// paint would ask for the next one, and a pick made in the drop-down (whose closing repaints
// the dialog underneath on some systems) must survive that repaint. The field's text stays
// whatever the list does.
void TSettingForm::RefreshPortList() {
    std::vector<serial_backend::PortInfo> ports;
    // The main window's desktop: the system's list, or a test's.
    TDesktop& desktop = z ? z->Desktop() : static_cast<TDesktop&>(TRealDesktop::Instance());
    if (!desktop.ReadPortDetails(ports)) {
        ReportPortListFailure(ESerialPort(PortListMessage).Message());  // the box keeps its items
        return;
    }
    QVector<TPortChoice> choices = PortChoices(ports);
    for (const QString& gateway : FRecentGateways)
        choices.append({gateway, tr("%1 (шлюз)").arg(gateway)});
    QComboBox* box = ui->ComboBox1;
    if (Choices(box) == choices) return;
    const QString text = box->currentText();
    box->clear();
    auto* model = qobject_cast<QStandardItemModel*>(box->model());
    for (const TPortChoice& choice : choices) model->appendRow(new PortItem(choice));
    box->setCurrentIndex(-1);
    box->setEditText(text);
    FitPortBox();
}

// By-id names run to sixty characters and more: the port box, and the dialog with it, grow
// until the longest name in the list or the field can be read; the drop-down also fits the
// descriptions beside the names.
void TSettingForm::FitPortBox() {
    QComboBox* box = ui->ComboBox1;
    const QFontMetrics metrics(box->font());
    int textWidth = metrics.horizontalAdvance(box->currentText());
    for (int i = 0; i < box->count(); ++i)
        textWidth = qMax(textWidth, metrics.horizontalAdvance(box->itemText(i)));
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.editable = true;
    const QSize contents(textWidth, box->height());
    const int needed =
        box->style()->sizeFromContents(QStyle::CT_ComboBox, &option, contents, box).width();
    const int boxWidth = qBound(FDesignedBoxWidth, needed, MaxPortBoxWidth);
    if (boxWidth != box->width()) {
        box->resize(boxWidth, box->height());
        resize(FDesignedDialogWidth + boxWidth - FDesignedBoxWidth, height());
    }
    box->view()->setMinimumWidth(box->view()->sizeHintForColumn(0) + 24);
}

void TSettingForm::ReportPortListFailure(const QString& message) {
    if (FPortListFailureShown) return;
    FPortListFailureShown = true;
    // Not from inside the paint event: the box runs an event loop of its own.
    QTimer::singleShot(0, this,
                       [this, message] { QMessageBox::critical(this, ErrorCaption(), message); });
}

void TSettingForm::PlaceByMainWindow() {
    if (!z) return;
    const QPoint target = z->pos() + OffsetFromMainWindow;
    if (pos() != target) move(target);
}

void TSettingForm::Button1Click() {
    if (!z || !z->ComPort || FApplying) return;
    TSerialPort* port = z->ComPort;
    const QString chosen = ChosenPort();
    const uint8_t protocol = uint8_t(ChosenIndex(ui->ComboBox3, ProtocolIsModbus, DefaultProtocol));
    const serial_backend::NetworkPortName gateway = GatewayName(chosen);
    if (gateway.transport == serial_backend::Transport::ModbusTcp && protocol == 0) {
        QMessageBox::critical(this, ErrorCaption(), Tz::QvThroughModbusTcpText(chosen));
        return;
    }
    // The windows are built in the language of the start: a new choice comes with the next.
    if (TakeLanguage()) z->ShowStatus(ui->ComboBox4->toolTip());
    // What is in use now, given back when the new choice cannot be opened: a mistyped port
    // must not cost the operator the line that works.
    FBefore = TakeLineInUse();
    try {
        port->Close();
        // The demo's device lives for one run only: the stored setting keeps the real port.
        if (chosen != Tz::PortOverride) PortName = chosen;
        SpeedIndex = ChosenIndex(ui->ComboBox2, SpeedIndex, DefaultSpeedIndex);
        port->SetBaudRate(SpeedIndexToBaudRate(SpeedIndex));
        port->SetPort(chosen);
        ProtocolIsModbus = protocol;
    } catch (const ESerialPort& e) {
        ApplyEnded(chosen, &e);
        return;
    } catch (const std::exception& e) {
        const ESerialPort failure(QString::fromUtf8(e.what()));
        ApplyEnded(chosen, &failure);
        return;
    }
    // A gateway is connected in the background: the dialog waits with its Ок disabled and
    // "Отмена" gives the old line back; a serial port opens at once.
    FApplying = true;
    ui->Button1->setEnabled(false);
    if (gateway.transport != serial_backend::Transport::Serial)
        z->ShowStatus(tr("Подключение к %1…").arg(chosen));
    z->PortWatch->PortChanged();
    port->OpenInBackground(
        [this, chosen](const ESerialPort* failure) { ApplyEnded(chosen, failure); });
}

void TSettingForm::ApplyEnded(const QString& chosen, const ESerialPort* failure) {
    FApplying = false;
    ui->Button1->setEnabled(true);
    if (failure) {
        // The dialog stays up: the operator picks another port or cancels, which changes
        // nothing more.
        const QString text = TPortWatch::OpenFailureText(*failure);
        const QString still = GiveBackLineInUse(FBefore);
        z->PortWatch->PortChanged();
        QMessageBox::critical(
            this, ErrorCaption(),
            text + QStringLiteral("\n\n") + tr("Порт %1 не открыт. ").arg(chosen) + still);
        return;
    }
    if (GatewayName(chosen).transport != serial_backend::Transport::Serial) {
        if (chosen != Tz::PortOverride) SetupFile::RememberGateway(SetupFile::Path(), chosen);
        z->ShowStatus(tr("Подключено к %1").arg(chosen));
    }
    z->PortWatch->PortChanged();
    z->RefreshProtocolView();
    accept();
}

// Closing by the close box or Escape, like "Отмена", changes nothing: a connection still
// being made is given up and the line in use comes back.
void TSettingForm::reject() {
    if (FApplying) {
        FApplying = false;
        ui->Button1->setEnabled(true);
        GiveBackLineInUse(FBefore);
        z->PortWatch->PortChanged();
        z->ShowStatus(tr("Подключение отменено."));
    }
    QDialog::reject();
}

TSettingForm::TLineInUse TSettingForm::TakeLineInUse() const {
    const TSerialPort& port = *z->ComPort;
    return {PortName,    SpeedIndex,      ProtocolIsModbus.load(),
            port.Port(), port.BaudRate(), port.Connected()};
}

// Restores what was in use and reopens it if it was open; says which port the program
// works with now.
QString TSettingForm::GiveBackLineInUse(const TLineInUse& line) {
    TSerialPort& port = *z->ComPort;
    PortName = line.storedName;
    SpeedIndex = line.speedIndex;
    ProtocolIsModbus = line.protocolIsModbus;
    try {
        port.Close();
        port.SetBaudRate(line.baudRate);
        port.SetPort(line.port);
        if (!line.open) return tr("Порт %1 по-прежнему не открыт.").arg(line.port);
        if (port.IsNetworkPort()) {
            port.OpenInBackground([](const ESerialPort* failure) {
                if (!z) return;
                z->PortWatch->PortChanged();
                if (failure) z->ShowError(TPortWatch::OpenFailureText(*failure));
            });
            return tr("Подключение к %1, с которым шла работа, восстанавливается.").arg(line.port);
        }
        port.Open();
        return tr("В работе остаётся порт %1.").arg(line.port);
    } catch (const ESerialPort& e) {
        return tr("Порт %1, с которым шла работа, открыть снова не удалось: %2")
            .arg(line.port, TPortWatch::OpenFailureText(e));
    }
}

void TSettingForm::Button2Click() {
    reject();
}
