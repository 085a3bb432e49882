// The toolbar's address group: device search (QV first, then Modbus RTU) and the switch of
// the instrument's protocol.
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "protocol/Limits.h"
#include "ui/main.h"
#include "ui_main.h"

namespace {

constexpr int AddressGroupWidth = 122;
constexpr int AddressGroupWideWidth = 200;

}  // namespace

void Tz::BitBtn21Click() {
    SavedProtocol = ProtocolIsModbus.load();
    ExchangeState = ExchangeStates::SearchQv;
    ProtocolIsModbus = 0;
    try {
        CurrentQuery->QueryAt(SearchAddress, GetTypeProt);
    } catch (const ESerialPort& e) {
        // Nothing went out: the search never started.
        ProtocolIsModbus = SavedProtocol.load();
        ExchangeState = ExchangeStates::Single;
        ReportLineFailure(e);
    }
}

// The toolbar's buttons follow the address group, as they would in a toolbar that lays its
// items out in a row.
void Tz::ResizeAddressGroup(int width) {
    const int shift = width - ui->GroupBoxAdr->width();
    ui->GroupBoxAdr->resize(width, ui->GroupBoxAdr->height());
    for (QWidget* button :
         {ui->ToolButton1, ui->ToolButton2, ui->ToolButton3, ui->ToolButton4, ToolButton5})
        button->move(button->x() + shift, button->y());
}

void Tz::BitBtn22Click() {
    ResizeAddressGroup(AddressGroupWideWidth);
    ui->BitBtn22->hide();
    ui->BitBtn24->show();
}

void Tz::BitBtn24Click() {
    ResizeAddressGroup(AddressGroupWidth);
    ui->BitBtn22->show();
    ui->BitBtn24->hide();
}

void Tz::BitBtn23Click() {
    CurrentQuery->SetName(SetTypeProt);
    const uint16_t address = CurrentQuery->Adr;
    CurrentQuery->Adr = 0;
    if (address == 0 || address > protocol::HighestAddress ||
        (address > protocol::HighestModbusAddress && ProtocolIsModbus == 0)) {
        ShowStatus(tr("Неверно указан адрес устройства"));
        ShowError(tr("Неверно указан адрес устройства"));
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
