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

QWidget* Tz::ToolBar() {
    return ui->ToolBar1;
}

QToolButton* Tz::LastToolButton() {
    return ui->ToolButton4;
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

QAbstractButton* Tz::SettingsButton() {
    return ui->ToolButton3;
}

QWidget* Tz::Pages() {
    return ui->PageControl1;
}

bool Tz::ClaimLine(QObject* window, const QString& name) {
    if (FLineHolder && FLineHolder != window) return false;
    FLineHolder = window;
    FLineHolderName = name;
    return true;
}

void Tz::ReleaseLine(const QObject* window) {
    if (FLineHolder == window) FLineHolder = nullptr;
}

QString Tz::LineHolder() const {
    return FLineHolder ? FLineHolderName : QString();
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
