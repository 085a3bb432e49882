#include "exchange/Channels.h"

#include <QCoreApplication>

TChannelSetup ChannelSetup[3];
bool ChannelTicked[3] = {true, false, false};
uint8_t SelectedChannel = 1;

namespace {

const char* const UnitNames[25] = {"V",  "A",  "W",    "var", "kV", "kA", "kW",  "kvar", "MV",
                                   "MA", "MW", "Mvar", "Hz",  "C",  "mA", "mkA", "GW",   "Gvar",
                                   "mV", "N",  "%",    "",    "",   "",   ""};

}  // namespace

QString UnitName(int unitCode) {
    if (unitCode < 1 || unitCode > 25) return QString();
    return QString::fromUtf8(UnitNames[unitCode - 1]);
}

QString NoChannelTickedText() {
    return QCoreApplication::translate("Channels", "Не выбран ни один параметр для чтения");
}

bool NextTickedChannel() {
    auto advance = [] {
        do {
            ++SelectedChannel;
        } while (SelectedChannel < 4 && !ChannelTicked[SelectedChannel - 1]);
    };
    advance();
    if (SelectedChannel < 4) return false;
    SelectedChannel = 0;
    advance();
    if (SelectedChannel == 4) SelectedChannel = 0;  // nothing ticked: no endless search
    return true;
}
