// The readings page: starting and stopping the polling, the repeat step, and the digits.
#include <QLabel>
#include <QLocale>
#include <QTimer>
#include <array>
#include <cmath>

#include "controls/Digit.h"
#include "protocol/NumberText.h"
#include "ui/PortWatch.h"
#include "ui/main.h"
#include "ui_main.h"

namespace {

using PanelCells = std::array<QChar, 4>;

PanelCells FourDigits(double magnitude, uint8_t pointCode) {
    char digits[4];
    protocol::PanelDigits(magnitude, pointCode, digits);
    PanelCells cells;
    for (size_t i = 0; i < cells.size(); ++i) cells[i] = QLatin1Char(digits[i]);
    return cells;
}

}  // namespace

TDigit* Tz::PanelCell(int panel, int cell) {
    // Sign cell first, then the digits left to right, as the panels are laid out.
    TDigit* const cells[3][5] = {
        {ui->Digit5, ui->Digit1, ui->Digit3, ui->Digit4, ui->Digit2},
        {ui->Digit10, ui->Digit6, ui->Digit8, ui->Digit9, ui->Digit7},
        {ui->Digit15, ui->Digit11, ui->Digit13, ui->Digit14, ui->Digit12},
    };
    return cells[panel - 1][cell];
}

QLabel* Tz::UnitsLabel(int panel) {
    QLabel* const labels[3] = {ui->Label1, ui->Label2, ui->Label3};
    return labels[panel - 1];
}

void Tz::ShowReading(int panel, uint8_t pointCode, double value) {
    if (panel < 1 || panel > 3) return;
    QChar sign = QLatin1Char(' ');
    if (value < 0) {
        sign = QLatin1Char('-');
        value = -value;
    }
    // A value that comes after polling ended (the last one, confirmed late) is no live one.
    DimPanel(panel, !FPolling.Running());
    const PanelCells digits = FourDigits(value, pointCode);
    for (int k = 1; k <= 4; ++k) PanelCell(panel, k)->Setdp(pointCode == k - 1);
    PanelCell(panel, 0)->SetValue(sign);
    for (int k = 1; k <= 4; ++k) PanelCell(panel, k)->SetValue(digits[size_t(k - 1)]);
}

void Tz::ClearPanel(int panel) {
    if (panel < 1 || panel > 3) return;
    UnitsLabel(panel)->setText(QString());
    DimPanel(panel, false);
    for (int k = 1; k <= 4; ++k) PanelCell(panel, k)->Setdp(false);
    for (int k = 0; k <= 4; ++k) PanelCell(panel, k)->SetValue(QLatin1Char(' '));
}

// The interval field must hold a pause polling can keep: 0 or less would read one value and
// stop without a word. Refused before anything is sent, naming the field and the range.
bool Tz::TakeRepeatPause() {
    const QString text = ui->Edit1->text().trimmed();
    if (text.isEmpty()) {
        FAcceptedRepeatPause = 300;  // what the exchange takes for an empty field
        return true;
    }
    bool ok = false;
    const int pause = QLocale::c().toInt(text, &ok);
    if (ok && pause >= 1 && pause <= LongestRepeatPauseMs) {
        FAcceptedRepeatPause = pause;
        return true;
    }
    const QString refusal = tr("Частота обновления: «%1» не подходит, введите целое число "
                               "миллисекунд от 1 до %2")
                                .arg(text)
                                .arg(LongestRepeatPauseMs);
    ShowStatus(refusal);
    ShowError(refusal);
    return false;
}

void Tz::BitBtn1Click() {
    if (!TakeRepeatPause()) return;
    Guarded([this] {
        NoAnswerCount = 0;
        CrcErrorCount = 0;
        SentCount = 0;
        OutOfStepCount = 0;
        DiscardedAnswerCount = 0;
        for (int panel = 1; panel <= 3; ++panel) ClearPanel(panel);
        ExchangeState = ExchangeStates::ReadingPreparation;
        ChannelTicked[0] = ui->CheckBox1->isChecked();
        ChannelTicked[1] = ui->CheckBox2->isChecked();
        ChannelTicked[2] = ui->CheckBox3->isChecked();
        SelectedChannel = 0;
        for (int p = 3; p >= 1; --p)
            if (ChannelTicked[p - 1]) SelectedChannel = uint8_t(p);
        if (SelectedChannel == 0) {
            ExchangeState = ExchangeStates::Single;
            ShowStatus(NoChannelTickedText());
            ShowError(NoChannelTickedText());
            return;
        }
        PortWatch->PollingStarted();
        CurrentQuery->SetName(GetPar);
        CurrentQuery->Push(SelectedChannel);
        CurrentQuery->Query();
        PollingStarted();
    });
    // Refused before anything went out (an address the protocol cannot carry): polling never
    // started.
    if (ExchangeState == ExchangeStates::ReadingPreparation && !RequestOnItsWay()) {
        ExchangeState = ExchangeStates::Single;
        PortWatch->PollingStopped();
    }
}

void Tz::BitBtn2Click() {
    EndPolling(tr("нажата кнопка «Стоп»"));
}

// A parameter ticked or unticked while polling joins or leaves the round at the exchange
// boundary: one leaving has its panel cleared, one joining has its characteristics read first
// (the preparation goes on from it, then polling resumes), so its panel shows the right unit
// and point. True when the round's next request was decided here.
bool Tz::TakeTickedChanges() {
    const bool ticked[3] = {ui->CheckBox1->isChecked(), ui->CheckBox2->isChecked(),
                            ui->CheckBox3->isChecked()};
    uint8_t joining = 0;
    for (int p = 3; p >= 1; --p) {
        if (ticked[p - 1] == ChannelTicked[p - 1]) continue;
        ChannelTicked[p - 1] = ticked[p - 1];
        if (ticked[p - 1])
            joining = uint8_t(p);
        else
            ClearPanel(p);
    }
    if (!ChannelTicked[0] && !ChannelTicked[1] && !ChannelTicked[2]) {
        EndPolling(NoChannelTickedText());
        ShowStatus(NoChannelTickedText());
        return true;
    }
    if (joining == 0) return false;
    ExchangeState = ExchangeStates::ReadingPreparation;
    SelectedChannel = joining;
    CurrentQuery->SetName(GetPar);
    CurrentQuery->Push(joining);
    CurrentQuery->Query();
    return true;
}

void Tz::TimerRepeatTimer() {
    TimerRepeat->stop();
    if (ExchangeState != ExchangeStates::ContinuousReading) return;
    if (CurrentQuery->Code != CommandTable[GetVal].Code) {
        PollingStopped(tr("линию занял другой запрос"));
        return;
    }
    // The value of the exchange just ended is decided before the next request purges the
    // line, and drawn after it has gone out.
    ConfirmHeldReading();
    Guarded([this] {
        if (TakeTickedChanges()) return;
        NextTickedChannel();
        CurrentQuery->SetName(GetVal);
        CurrentQuery->Push(SelectedChannel);
        CurrentQuery->Query();
    });
    ShowConfirmedReading();
}
