// The readings page: starting and stopping the polling, the repeat step, and the digits.
#include <QLabel>
#include <QTimer>
#include <array>
#include <cmath>

#include "controls/Digit.h"
#include "ui/PortWatch.h"
#include "ui/main.h"
#include "ui_main.h"

namespace {

// Scale of the magnitude for each point code: one digit more than shown, for the rounding.
double PointFactor(uint8_t pointCode) {
    switch (pointCode) {
        case 0:
            return 10000;
        case 1:
            return 1000;
        case 2:
            return 100;
        default:
            return 10;
    }
}

using PanelDigits = std::array<QChar, 4>;

// The four digit characters of a magnitude: rounded half up on the extra digit, 9999 at most.
// Made in place: every value answer comes through here.
PanelDigits FourDigits(double magnitude, uint8_t pointCode) {
    PanelDigits digits;
    if (std::isnan(magnitude)) {
        digits.fill(QLatin1Char('-'));
        return digits;
    }
    const double scaled = magnitude * PointFactor(pointCode);
    // Anything past 99999 shows as the overflow anyway; the cap keeps the cast defined.
    const long long n = scaled >= 1e6 ? 1000000 : static_cast<long long>(std::trunc(scaled));
    long long m = n % 10 >= 5 ? n / 10 + 1 : n / 10;
    if (m > 9999) m = 9999;
    for (int i = 3; i >= 0; --i, m /= 10) digits[size_t(i)] = QChar(char16_t(u'0' + m % 10));
    for (int i = 1; i <= 4 && digits[size_t(i - 1)] == QLatin1Char('0'); ++i)
        if (i <= pointCode) digits[size_t(i - 1)] = QLatin1Char(' ');
    return digits;
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
    const PanelDigits digits = FourDigits(value, pointCode);
    for (int k = 1; k <= 4; ++k) PanelCell(panel, k)->Setdp(pointCode == k - 1);
    PanelCell(panel, 0)->SetValue(sign);
    for (int k = 1; k <= 4; ++k) PanelCell(panel, k)->SetValue(digits[size_t(k - 1)]);
}

void Tz::ClearPanel(int panel) {
    if (panel < 1 || panel > 3) return;
    UnitsLabel(panel)->setText(QString());
    for (int k = 1; k <= 4; ++k) PanelCell(panel, k)->Setdp(false);
    for (int k = 0; k <= 4; ++k) PanelCell(panel, k)->SetValue(QLatin1Char(' '));
}

void Tz::BitBtn1Click() {
    Guarded([this] {
        NoAnswerCount = 0;
        CrcErrorCount = 0;
        SentCount = 0;
        for (int panel = 1; panel <= 3; ++panel) ClearPanel(panel);
        ExchangeState = 10;
        ChannelTicked[0] = ui->CheckBox1->isChecked();
        ChannelTicked[1] = ui->CheckBox2->isChecked();
        ChannelTicked[2] = ui->CheckBox3->isChecked();
        SelectedChannel = 0;
        for (int p = 3; p >= 1; --p)
            if (ChannelTicked[p - 1]) SelectedChannel = uint8_t(p);
        if (SelectedChannel == 0) {
            ExchangeState = 0;
            ShowStatus(NoChannelTickedText());
            ShowError(NoChannelTickedText());
            return;
        }
        PortWatch->PollingStarted();
        CurrentQuery->SetName(GetPar);
        CurrentQuery->Push(SelectedChannel);
        CurrentQuery->Query();
    });
}

void Tz::BitBtn2Click() {
    StopPolling();
    ExchangeState = 0;
}

void Tz::TimerRepeatTimer() {
    TimerRepeat->stop();
    if (ExchangeState != 11 || CurrentQuery->Code != CommandTable[GetVal].Code) return;
    Guarded([this] {
        NextTickedChannel();
        CurrentQuery->SetName(GetVal);
        CurrentQuery->Push(SelectedChannel);
        CurrentQuery->Query();
    });
}
