// The main window as its features see it: the instrument's operations by name, each the
// parameter page's own button; the window's parts they use; the fields each group of values
// fills.
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include "exchange/Convert.h"
#include "protocol/Limits.h"
#include "protocol/Requests.h"
#include "ui/SetupFile.h"
#include "ui/main.h"
#include "ui_main.h"

void Tz::ReadAddress() {
    BitBtn3Click();
}

void Tz::ReadSerialNumber() {
    BitBtn5Click();
}

void Tz::ReadBrightness() {
    BitBtn9Click();
}

void Tz::ReadInfo() {
    BitBtn11Click();
}

void Tz::ReadParameter(int number) {
    ui->Edit8->setText(QString::number(number));
    BitBtn7Click();
}

void Tz::ReadSetpointUpper() {
    BitBtn15Click();
}

void Tz::ReadSetpointLower() {
    BitBtn13Click();
}

void Tz::ReadIecFraming() {
    BitBtn27Click();
}

void Tz::ReadRelays() {
    BitBtn29Click();
}

void Tz::ReadAlarm() {
    BitBtn32Click();
}

int Tz::ShownParameter() const {
    bool ok = false;
    const int number = ui->Edit8->text().trimmed().toInt(&ok);
    return ok ? number : 0;
}

void Tz::Send(const protocol::Request& request) {
    TQuery& q = *CurrentQuery;
    const uint16_t address = q.Adr;
    try {
        if (request.fixedAddress) q.Adr = *request.fixedAddress;
        q.SetName(request.command);
        for (uint8_t b : request.data) q.Push(b);
        q.Query();
    } catch (const ESerialPort& e) {
        q.Adr = address;
        ReportLineFailure(e);
        return;
    } catch (const EConvertError& e) {
        // Refused before it went out (an address the protocol cannot carry).
        q.Adr = address;
        ShowStatus(e.Message());
        ShowError(e.Message());
        return;
    }
    q.Adr = address;
}

void Tz::WriteSetpointUpper(const QString& text) {
    ui->Edit11->setText(text);
    BitBtn16Click();
}

void Tz::WriteSetpointLower(const QString& text) {
    ui->Edit12->setText(text);
    BitBtn14Click();
}

// The relay requests name the relay chosen in the page's relay box.
void Tz::ChooseRelay(int relay) {
    ui->ComboBox8->setCurrentIndex(relay - 1);
}

void Tz::SetRelayHysteresisToFollow(const QString& text) {
    ui->Edit10->setText(text);
}

void Tz::SetSerialDigitsToFollow(const QString& digits) {
    ui->Edit3->setText(digits);
}

void Tz::UseAddress(uint16_t address) {
    ui->EditAdr->setText(QString::number(address));
    CurrentQuery->Adr = address;
}

QStatusBar* Tz::StatusBar() {
    return ui->StatusBar1;
}

QWidget* Tz::StatusBarWidget() {
    return ui->StatusBar1;
}

void Tz::ShowInStatusBar(QWidget* widget, bool shown) {
    if (shown) {
        ui->StatusBar1->addPermanentWidget(widget);
        widget->show();
    } else if (!widget->isHidden()) {
        ui->StatusBar1->removeWidget(widget);
        widget->hide();
    }
}

// The features' buttons keep the toolbar's own style and size, and their places after its
// last button as the address group widens and narrows (eventFilter).
void Tz::AddToolButton(QToolButton* button, int slot) {
    QToolButton* const last = ui->ToolButton4;
    button->setParent(ui->ToolBar1);
    button->setIconSize(last->iconSize());
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setFont(last->font());
    button->resize(last->size());
    if (FFeatureButtons.empty()) last->installEventFilter(this);
    FFeatureButtons.push_back({button, slot});
    PlaceFeatureButtons();
    button->show();
}

void Tz::PlaceFeatureButtons() {
    QToolButton* const last = ui->ToolButton4;
    for (const FeatureButton& b : FFeatureButtons)
        if (b.button) b.button->move(last->x() + b.slot * last->width(), last->y());
}

int Tz::Baud() const {
    const bool known = SpeedIndex >= 0 && SpeedIndex < protocol::LineSpeedCount;
    return protocol::LineSpeeds[known ? SpeedIndex : SetupFile::DefaultSpeedIndex];
}

QString Tz::DefaultFolder() const {
    return SettingsFolder;
}

// The wait the next request gets: the answer time-out and, through a gateway, the network's.
int Tz::AnswerWaitMs() const {
    return AnswerTimeoutMs + int(ComPort->NetworkAllowanceMs());
}

void Tz::ShowParameterPage() {
    ui->PageControl1->setCurrentWidget(ui->TabPar);
}

QLineEdit* Tz::AddressField() {
    return ui->EditAdr;
}

std::vector<QAbstractButton*> Tz::OwnExchangeButtons() {
    return {ui->ToolButton3, ui->BitBtn21, ui->BitBtn23};
}

int Tz::InstrumentAddress() const {
    return CurrentQuery ? CurrentQuery->Adr : -1;
}

bool Tz::InstrumentSpeaksModbus() const {
    return ProtocolIsModbus == 1;
}

// The window's teardown moves the focus and would call these too: they end before it
// (~Tz).
void Tz::WhenInstrumentMayChange(QObject* context, std::function<void()> changed) {
    FFeatureConnections.push_back(
        connect(ui->EditAdr, &QLineEdit::editingFinished, context, changed));
    FFeatureConnections.push_back(
        connect(ui->ToolButton3, &QAbstractButton::clicked, context, changed));
}

void Tz::WhenOwnExchangeStarts(QObject* context, std::function<void()> starting) {
    for (QAbstractButton* own : OwnExchangeButtons())
        FFeatureConnections.push_back(connect(own, &QAbstractButton::pressed, context, starting));
}

// While a window holds the line, the pages' buttons and the toolbar's own exchanges would
// send the operator's requests between the window's: they are off, and the status bar says
// who has the line.
void Tz::EnableOwnExchange(bool enabled) {
    if (!enabled) {
        const std::vector<QAbstractButton*> buttons = OwnExchangeButtons();
        std::vector<QWidget*> own(buttons.begin(), buttons.end());
        own.push_back(ui->PageControl1);
        for (QWidget* widget : own)
            if (widget->isEnabled()) {
                widget->setEnabled(false);
                FDisabledForHolder.push_back(widget);
            }
        return;
    }
    for (const QPointer<QWidget>& widget : FDisabledForHolder)
        if (widget) widget->setEnabled(true);
    FDisabledForHolder.clear();
}

void Tz::ShowLineHolder(QWidget* note) {
    if (FLineHolderNote && FLineHolderNote != note) ShowInStatusBar(FLineHolderNote, false);
    FLineHolderNote = note;
    if (note) ShowInStatusBar(note, true);
}

void Tz::UseInstrument(uint16_t address, bool modbus, int32_t baud) {
    for (int index = 0; index < protocol::LineSpeedCount; ++index)
        if (protocol::LineSpeeds[index] == baud) {
            ComPort->SetBaudRate(SpeedIndexToBaudRate(index));
            SpeedIndex = index;
        }
    ProtocolIsModbus = modbus ? 1 : 0;
    UseAddress(address);
    RefreshProtocolView();
}

std::vector<QWidget*> Tz::GroupFields(TFieldGroup group) const {
    Ui::Tz& f = *ui;
    switch (group) {
        case TFieldGroup::Address:
            return {f.Edit2};
        case TFieldGroup::Serial:
            return {f.Edit3, f.Edit4, f.Edit5};
        case TFieldGroup::Brightness:
            return {f.TrackBar1};
        case TFieldGroup::Info:
            return {f.Edit9};
        case TFieldGroup::Parameter:
            return {f.Edit7, f.ei1};
        case TFieldGroup::SetpointUpper:
            return {f.Edit11};
        case TFieldGroup::SetpointLower:
            return {f.Edit12};
        case TFieldGroup::Iec:
            return {f.ComboBox4, f.ComboBox5, f.ComboBox6, f.ComboBox7};
        case TFieldGroup::Relay:
            return {f.ComboBox9, f.Edit6, f.Edit10};
        case TFieldGroup::Alarm:
            return {f.ComboBox10};
    }
    return {};
}

QGroupBox* Tz::GroupBox(TFieldGroup group) const {
    Ui::Tz& f = *ui;
    switch (group) {
        case TFieldGroup::Address:
            return f.GroupBoxNetAddr;
        case TFieldGroup::Serial:
            return f.GroupBoxSerial;
        case TFieldGroup::Brightness:
            return f.GroupBoxBright;
        case TFieldGroup::Info:
            return f.GroupBoxInfo;
        case TFieldGroup::Parameter:
            return f.GroupBoxPar;
        case TFieldGroup::SetpointUpper:
        case TFieldGroup::SetpointLower:
            return f.GroupBoxSetpoints;
        case TFieldGroup::Iec:
            return f.GroupBoxIEC;
        case TFieldGroup::Relay:
            return f.GroupBoxRelay;
        case TFieldGroup::Alarm:
            return f.GroupBoxAlarm;
    }
    return nullptr;
}
