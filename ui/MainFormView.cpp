#include "ui/MainFormView.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSlider>
#include <QTimer>

#include "commissioning/Commissioning.h"
#include "ui/AnswerLog.h"
#include "ui/main.h"
#include "ui_main.h"

TMainFormView::TMainFormView(Tz& window)
    : FWindow(window), FAnswerLog(new TAnswerLog(*window.ui->Memo1)) {}

// Each value of the exchange and the form control that shows it.
QWidget* TMainFormView::Field(TField field) const {
    Ui::Tz& f = *FWindow.ui;
    switch (field) {
        case TField::NetworkAddress:
            return f.EditAdr;
        case TField::RepeatIntervalMs:
            return f.Edit1;
        case TField::AddressRead:
            return f.Edit2;
        case TField::SerialNumber:
            return f.Edit3;
        case TField::Year:
            return f.Edit4;
        case TField::ParameterCount:
            return f.Edit5;
        case TField::RelayDelay:
            return f.Edit6;
        case TField::Scale:
            return f.Edit7;
        case TField::InfoText:
            return f.Edit9;
        case TField::RelayHysteresis:
            return f.Edit10;
        case TField::UpperSetpoint:
            return f.Edit11;
        case TField::LowerSetpoint:
            return f.Edit12;
        case TField::Unit:
            return f.ei1;
        case TField::Brightness:
            return f.TrackBar1;
        case TField::IecCommonAddressSize:
            return f.ComboBox4;
        case TField::IecCauseSize:
            return f.ComboBox5;
        case TField::IecObjectAddressSize:
            return f.ComboBox6;
        case TField::IecType:
            return f.ComboBox7;
        case TField::RelayMode:
            return f.ComboBox9;
        case TField::AlarmMode:
            return f.ComboBox10;
    }
    return nullptr;
}

void TMainFormView::ShowStatus(const QString& text) {
    FWindow.ShowStatus(text);
}

void TMainFormView::ShowError(const QString& text) {
    FWindow.ShowError(text);
}

void TMainFormView::ReportLineFailure(const ESerialPort& error) {
    FWindow.ReportLineFailure(error);
}

void TMainFormView::ShowReading(int panel, uint8_t pointCode, double value) {
    FWindow.ShowReading(panel, pointCode, value);
    FWindow.Commissioning->ReadingShown(panel, pointCode, value);  // plot and log
}

void TMainFormView::ClearPanel(int panel) {
    FWindow.ClearPanel(panel);
}

void TMainFormView::ShowUnit(int panel, const QString& unit) {
    if (panel >= 1 && panel <= 3) FWindow.UnitsLabel(panel)->setText(unit);
}

QString TMainFormView::FieldText(TField field) const {
    QWidget* w = Field(field);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text();
    if (auto* list = qobject_cast<QComboBox*>(w)) return list->currentText();
    return QString();
}

void TMainFormView::SetFieldText(TField field, const QString& text) {
    if (auto* edit = qobject_cast<QLineEdit*>(Field(field))) edit->setText(text);
}

void TMainFormView::SetFieldIndex(TField field, int index) {
    QWidget* w = Field(field);
    if (auto* list = qobject_cast<QComboBox*>(w)) list->setCurrentIndex(index);
    if (auto* slider = qobject_cast<QSlider*>(w)) slider->setValue(index);
}

void TMainFormView::ArmRepeatTimer(int intervalMs) {
    QTimer* timer = FWindow.TimerRepeat;
    // A pause typed during polling that polling cannot keep (0 or less) would stop it without
    // a word: it goes on at the pause it was started with, and says so.
    if (intervalMs <= 0 || intervalMs > Tz::LongestRepeatPauseMs) {
        intervalMs = FWindow.AcceptedRepeatPause();
        FWindow.ShowStatus(
            Tz::tr("Частота обновления не подходит: опрос идёт с паузой %1 мс").arg(intervalMs));
    }
    timer->setInterval(intervalMs);
    if (timer->interval() > 0 && !timer->isActive()) timer->start();
}

void TMainFormView::RefreshProtocolView() {
    FWindow.RefreshProtocolView();
}

void TMainFormView::EnableProtocolSwitch(bool enabled) {
    FWindow.ui->BitBtn23->setEnabled(enabled);
}

void TMainFormView::TraceAnswer(const uint8_t* answer, int length) {
    FAnswerLog->Add(answer, length);
}

void TMainFormView::RequestEnded(const TRequestEnd& end) {
    FWindow.NoteRequestEnded(end);
    FWindow.Commissioning->RequestEnded(end);
}
