// The parameter page: one handler per glyph button, each filling CurrentQuery and sending it.
// The answers come back through the exchange thread's interpretation.
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>

#include "commissioning/AddressProbe.h"
#include "commissioning/Commissioning.h"
#include "exchange/Convert.h"
#include "exchange/cp1251.h"
#include "protocol/Decoders.h"
#include "protocol/Float.h"
#include "protocol/Limits.h"
#include "ui/main.h"
#include "ui_main.h"

namespace {

constexpr int InfoTextBytes = 64;

// Point code of a scale text: digits before the first point (or comma), minus one (3 without
// a point).
int ScalePointCode(const QString& scaleText) {
    QString text = scaleText;
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    const int position = text.indexOf(QLatin1Char('.')) + 1;
    return (position > 0 ? position : 5) - 2;
}

}  // namespace

void Tz::SendSimple(TListComand name) {
    Guarded([name] {
        CurrentQuery->SetName(name);
        CurrentQuery->Query();
    });
}

// SetYear, SetMode and GetMode have no Modbus RTU form; an instrument addressed in Modbus
// would receive a meaningless frame, so they are refused there.
bool Tz::RefuseInModbus(TListComand) {
    if (ProtocolIsModbus == 0) return false;
    ShowStatus(tr("Команда недоступна в протоколе ModBus RTU"));
    return true;
}

namespace {

// An address is typed as plain decimal digits; anything else ("2a", "12,", "1e2", an empty
// field, digits of another script) is no address at all, never 0.
bool ParseTypedAddress(const QString& text, int& address) {
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 6) return false;
    for (const QChar c : t)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    address = t.toInt();
    return true;
}

bool AddressFitsProtocol(int address) {
    return protocol::InstrumentAddressValid(address, ProtocolIsModbus != 0);
}

QString AddressRefusedText(const QString& typed) {
    return Tz::tr("Неверно указан адрес устройства: %1 (допустимо %2)")
        .arg(typed.trimmed().isEmpty() ? Tz::tr("пусто") : typed.trimmed())
        .arg(
            QStringLiteral("1..%1").arg(protocol::HighestInstrumentAddress(ProtocolIsModbus != 0)));
}

}  // namespace

void Tz::EditAdrExit() {
    if (!CurrentQuery) return;
    const QString typed = ui->EditAdr->text();
    // Leaving the field unchanged (the form's 0 before any address is known) says nothing;
    // the request that would go to it is refused when it is asked for.
    if (typed == QString::number(CurrentQuery->Adr)) return;
    int address = 0;
    if (ParseTypedAddress(typed, address) && AddressFitsProtocol(address)) {
        CurrentQuery->Adr = uint16_t(address);
        return;
    }
    // The field goes back to the address requests really go to.
    ui->EditAdr->setText(QString::number(CurrentQuery->Adr));
    ShowStatus(AddressRefusedText(typed));
    ShowError(AddressRefusedText(typed));
}

void Tz::BitBtn3Click() {
    SendSimple(GetAdr);
}

void Tz::BitBtn4Click() {
    Guarded([this] {
        const QString typed = ui->Edit2->text();
        int address = 0;
        if (!ParseTypedAddress(typed, address) || !AddressFitsProtocol(address)) {
            ShowStatus(AddressRefusedText(typed));
            ShowError(AddressRefusedText(typed));
            return;
        }
        if (address == CurrentQuery->Adr) {
            SendAddressWrite(uint16_t(address));
            return;
        }
        GiveNewAddress(uint16_t(address));
    });
}

void Tz::SendAddressWrite(uint16_t address) {
    CurrentQuery->SetName(SetAdr);
    CurrentQuery->Push(uint8_t(address));
    CurrentQuery->Push(uint8_t(address >> 8));
    CurrentQuery->Query();
}

// The new address is asked first; the write goes out only when nothing answered there.
// The two run as a series, so the silence hoped for raises no error box.
void Tz::GiveNewAddress(uint16_t address) {
    TSequenceStep write;
    write.name = tr("Запись адреса %1").arg(address);
    write.start = [this, address] { Guarded([this, address] { SendAddressWrite(address); }); };
    std::vector<TSequenceStep> steps{AddressFreeStep(*this, address), std::move(write)};
    const bool started =
        Commissioning->RunSequence(std::move(steps), tr("Смена адреса"), true, [this] {
            for (const auto& report : Commissioning->Sequence().Reports())
                if (report.result != TStepResult::Done) {
                    const QString text =
                        report.message.isEmpty() ? StepResultText(report.result) : report.message;
                    ShowStatus(text);
                    ShowError(text);
                    return;
                }
        });
    if (!started) ShowError(tr("Адрес не изменён: дождитесь окончания обмена с прибором."));
}

void Tz::BitBtn7Click() {
    Guarded([this] {
        const int parameter = StrToInt(ui->Edit8->text());
        CurrentQuery->SetName(GetPar);
        CurrentQuery->Push(uint8_t(parameter));
        CurrentQuery->Query();
    });
}

void Tz::BitBtn8Click() {
    if (ui->ei1->currentIndex() < 0) {
        ShowError(tr("Неверно задана единица измерения"));
        return;
    }
    Guarded([this] {
        const QString scaleText = ui->Edit7->text();
        TBytes4 scale;
        SingleToBytesBE(scale, StrToFloat(scaleText));
        const int parameter = StrToInt(ui->Edit8->text());
        const int pointCode = ScalePointCode(scaleText);
        ScalePointPos = uint8_t(pointCode);
        CurrentQuery->SetName(SetPar);
        CurrentQuery->Push(uint8_t(parameter));
        for (uint8_t b : scale) CurrentQuery->Push(b);
        CurrentQuery->Push(uint8_t(ui->ei1->currentIndex() + 1));
        CurrentQuery->Push(uint8_t(pointCode));
        CurrentQuery->Query();
    });
}

void Tz::BitBtn5Click() {
    SendSimple(GetYear);
}

void Tz::BitBtn19Click() {
    const QString text = ui->Edit3->text();
    if (text.size() != 6) {
        ShowError(tr("Неверно задан заводской номер"));
        ShowStatus(tr("Неверно задан заводской номер"));
        return;
    }
    Guarded([&text] {
        const int year = StrToInt(text.left(2));
        const int number = StrToInt(text.mid(2, 4));
        if (ProtocolIsModbus == 0) {
            CurrentQuery->SetName(SetYear);
            CurrentQuery->Push(uint8_t(year));
            CurrentQuery->Push(uint8_t(number >> 8));
            CurrentQuery->Push(uint8_t(number));
        } else {
            ExchangeState = ExchangeStates::SerialThenYear;
            CurrentQuery->SetName(SetNumberOfProduce);
            CurrentQuery->Push(uint8_t(number));
            CurrentQuery->Push(uint8_t(number >> 8));
        }
        CurrentQuery->Query();
    });
}

void Tz::BitBtn6Click() {
    if (!RefuseInModbus(SetYear)) SendSimple(SetYear);
}

void Tz::BitBtn20Click() {
    Guarded([this] {
        const int year = StrToInt(ui->Edit4->text()) - 2000;
        CurrentQuery->SetName(SetYearMB);
        CurrentQuery->Push(uint8_t(year));
        CurrentQuery->Push(uint8_t(year >> 8));
        CurrentQuery->Query();
    });
}

void Tz::BitBtn9Click() {
    SendSimple(GetBright);
}

void Tz::BitBtn10Click() {
    Guarded([this] {
        CurrentQuery->SetName(SetBright);
        CurrentQuery->Push(uint8_t(ui->TrackBar1->value()));
        CurrentQuery->Query();
    });
}

void Tz::BitBtn11Click() {
    SendSimple(GetInfo);
}

void Tz::BitBtn12Click() {
    Guarded([this] {
        const QByteArray text =
            ToCp1251(ui->Edit9->text() + QString(InfoTextBytes, QLatin1Char(' ')))
                .left(InfoTextBytes);
        CurrentQuery->SetName(SetInfo);
        for (char c : text) CurrentQuery->Push(uint8_t(c));
        CurrentQuery->Query();
    });
}

void Tz::BitBtn15Click() {
    SendSimple(GetVersForUst1);
}
void Tz::BitBtn13Click() {
    SendSimple(GetVersForUst2);
}
void Tz::BitBtn16Click() {
    SendSimple(GetVersForUst11);
}
void Tz::BitBtn14Click() {
    SendSimple(GetVersForUst22);
}

void Tz::BitBtn25Click() {
    if (ui->ComboBox2->currentText().isEmpty()) return;
    Guarded([this] {
        CurrentQuery->SetName(SetSpeed);
        CurrentQuery->Push(uint8_t(ui->ComboBox2->currentIndex() + 1));
        CurrentQuery->Query();
    });
}

void Tz::BitBtn26Click() {
    if (ui->ComboBox3->currentText().isEmpty()) return;
    Guarded([this] {
        CurrentQuery->SetName(SetSpeed2);
        CurrentQuery->Push(uint8_t(ui->ComboBox3->currentIndex() + 1));
        CurrentQuery->Query();
    });
}

void Tz::BitBtn27Click() {
    SendSimple(GetIEC);
}

void Tz::BitBtn28Click() {
    Guarded([this] {
        CurrentQuery->SetName(SetIEC);
        for (QComboBox* size : {ui->ComboBox4, ui->ComboBox5, ui->ComboBox6}) {
            CurrentQuery->Push(0);
            CurrentQuery->Push(uint8_t(size->currentIndex() + 1));
        }
        CurrentQuery->Push(0);
        CurrentQuery->Push(protocol::IecTypeByte(ui->ComboBox7->currentIndex()));
        CurrentQuery->Query();
    });
}

void Tz::BitBtn29Click() {
    if (ui->ComboBox8->currentIndex() < 0) ui->ComboBox8->setCurrentIndex(0);
    SendSimple(GetRelayParams);
}

void Tz::BitBtn30Click() {
    Guarded([this] {
        const int delay = StrToInt(ui->Edit6->text());
        // The hysteresis goes out with the second request; checking it now keeps a bad field
        // from leaving the relay half written.
        StrToFloat(ui->Edit10->text());
        ExchangeState = ExchangeStates::RelayThenHysteresis;
        CurrentQuery->SetName(SetRelayParams);
        CurrentQuery->Push(0);
        CurrentQuery->Push(uint8_t(ui->ComboBox9->currentIndex()));
        CurrentQuery->Push(uint8_t(delay >> 8));
        CurrentQuery->Push(uint8_t(delay));
        CurrentQuery->Query();
    });
    // Refused before anything went out: no hysteresis follows.
    if (ExchangeState == ExchangeStates::RelayThenHysteresis && !RequestOnItsWay())
        ExchangeState = ExchangeStates::Single;
}

void Tz::BitBtn32Click() {
    SendSimple(GetSpeakerMode);
}

void Tz::BitBtn31Click() {
    Guarded([this] {
        CurrentQuery->SetName(SetSpeakerMode);
        CurrentQuery->Push(0);
        CurrentQuery->Push(uint8_t(ui->ComboBox10->currentIndex()));
        CurrentQuery->Query();
    });
}

void Tz::BitBtn17Click() {
    if (!RefuseInModbus(GetMode)) SendSimple(GetMode);
}
void Tz::Button1Click() {
    BitBtn17Click();
}

void Tz::BitBtn18Click() {
    if (RefuseInModbus(SetMode)) return;
    Guarded([this] {
        CurrentQuery->SetName(SetMode);
        CurrentQuery->Push(uint8_t(ui->ComboBox1->currentIndex()));
        CurrentQuery->Query();
    });
}

void Tz::Button2Click() {
    if (RefuseInModbus(SetMode)) return;
    Guarded([] {
        CurrentQuery->SetName(SetMode);
        CurrentQuery->Push(1);
        CurrentQuery->Query();
    });
}

void Tz::Button3Click() {
    if (RefuseInModbus(SetMode)) return;
    Guarded([] {
        CurrentQuery->SetName(SetMode);
        CurrentQuery->Push(0);
        CurrentQuery->Query();
    });
}
