// The toolbar's address group: device search (QV first, then Modbus RTU) and the switch of
// the instrument's protocol.
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "ui/main.h"
#include "ui_main.h"

namespace {

constexpr int AddressGroupWidth = 122;
constexpr int AddressGroupWideWidth = 200;
constexpr int HighestAddress = 65000;
constexpr int HighestModbusAddress = 247;

}  // namespace

void Tz::BitBtn21Click() {
    SavedProtocol = ProtocolIsModbus.load();
    ExchangeState = 17;
    ProtocolIsModbus = 0;
    const uint16_t saved = CurrentQuery->Adr;
    CurrentQuery->Adr = SearchAddress;
    CurrentQuery->SetName(GetTypeProt);
    try {
        CurrentQuery->Query();
    } catch (const ESerialPort& e) {
        // Nothing went out: the search never started.
        CurrentQuery->Adr = saved;
        ProtocolIsModbus = SavedProtocol.load();
        ExchangeState = 0;
        ShowError(e.Message());
        return;
    }
    CurrentQuery->Adr = saved;
}

void Tz::BitBtn22Click() {
    ui->GroupBoxAdr->resize(AddressGroupWideWidth, ui->GroupBoxAdr->height());
    ui->BitBtn22->hide();
    ui->BitBtn24->show();
}

void Tz::BitBtn24Click() {
    ui->GroupBoxAdr->resize(AddressGroupWidth, ui->GroupBoxAdr->height());
    ui->BitBtn22->show();
    ui->BitBtn24->hide();
}

void Tz::BitBtn23Click() {
    CurrentQuery->SetName(SetTypeProt);
    const uint16_t address = CurrentQuery->Adr;
    CurrentQuery->Adr = 0;
    if (address == 0 || address > HighestAddress ||
        (address > HighestModbusAddress && ProtocolIsModbus == 0)) {
        ShowStatus(QStringLiteral("Неверно указан адрес устройства"));
        ShowError(QStringLiteral("Неверно указан адрес устройства"));
        CurrentQuery->Adr = address;
        return;
    }
    CurrentQuery->Push(uint8_t(address));
    if (ProtocolIsModbus != 0) {
        CurrentQuery->Push(uint8_t(address >> 8));
        CurrentQuery->Push(0);
        CurrentQuery->Push(0);
    }
    Guarded([] { CurrentQuery->Query(); });
    CurrentQuery->Adr = address;
}
