#include "protocol/Commands.h"

namespace {

// clang-format off
const char* const Names[CommandCount] = {
    "SetPar", "GetPar", "SetMode", "GetMode", "GetVal", "SetBright", "GetBright", "SetAdr",
    "GetAdr", "SetInfo", "GetInfo", "SetUst1", "GetUst1", "SetUst2", "GetUst2", "GetYear",
    "SetYear", "SetNumberOfProduce", "GetNumberOfProduce", "SetYearMB", "GetTypeProt",
    "SetTypeProt", "SetSpeed", "GetSpeed", "SetSpeed2", "GetIEC", "SetIEC", "GetSpeakerMode",
    "SetSpeakerMode", "GetRelayParams", "GetRelayGist", "SetRelayParams", "SetRelayGist",
    "GetVersForUst1", "GetVersForUst2", "GetVersForUst11", "GetVersForUst22", "SetUst11",
    "SetUst22"};
// clang-format on

TCommandTable MakeDefaultTable() {
    TCommandTable table{};
    auto set = [&table](TListComand n, uint8_t code, uint8_t out, uint8_t in) {
        table[n] = {code, out, in};
    };
    set(SetPar, 0x01, 12, 6);
    set(GetPar, 0x41, 6, 12);
    set(SetMode, 0x21, 6, 6);
    set(GetMode, 0x61, 5, 6);
    set(GetVal, 0x40, 6, 10);
    set(SetBright, 0x03, 6, 6);
    set(GetBright, 0x43, 5, 6);
    set(SetAdr, 0x00, 7, 6);
    set(GetAdr, 0x4A, 5, 5);
    set(SetInfo, 0x05, 69, 6);
    set(GetInfo, 0x45, 5, 69);
    set(SetUst1, 0x06, 6, 6);
    set(GetUst1, 0x46, 5, 6);
    set(SetUst2, 0x07, 6, 6);
    set(GetUst2, 0x47, 5, 6);
    set(GetYear, 0x44, 5, 9);
    set(SetYear, 0x0F, 8, 6);
    set(SetNumberOfProduce, 0x31, 7, 6);
    set(SetYearMB, 0x32, 7, 6);
    set(GetTypeProt, 0xFF, 8, 7);
    set(SetTypeProt, 0xFE, 7, 6);
    set(SetSpeed, 0x02, 6, 6);
    set(SetSpeed2, 0x04, 6, 6);
    set(GetIEC, 0x48, 6, 11);
    set(GetSpeakerMode, 0x50, 5, 6);
    set(GetRelayParams, 0x51, 19, 6);
    set(GetRelayGist, 0x52, 11, 6);
    set(GetVersForUst1, 0x53, 5, 6);
    set(GetVersForUst2, 0x54, 5, 6);
    set(GetVersForUst11, 0x55, 5, 6);
    set(GetVersForUst22, 0x56, 5, 6);
    // The 16-bit setpoint writes go out in Modbus form; the builder replaces the lengths.
    set(SetUst11, 0x57, 6, 6);
    set(SetUst22, 0x58, 6, 6);
    return table;
}

}  // namespace

const TCommandTable& DefaultCommandTable() {
    static const TCommandTable table = MakeDefaultTable();
    return table;
}

bool IsModbusOnlyWrite(TListComand name) {
    switch (name) {
        case SetIEC:
        case SetSpeakerMode:
        case SetUst11:
        case SetUst22:
        case SetRelayParams:
        case SetRelayGist:
            return true;
        default:
            return false;
    }
}

const char* CommandName(TListComand name) {
    return name < CommandCount ? Names[name] : "";
}

bool CommandFromName(const std::string& text, TListComand& name) {
    for (int i = 0; i < CommandCount; ++i) {
        if (text == Names[i]) {
            name = TListComand(i);
            return true;
        }
    }
    return false;
}

namespace protocol {

bool IsUntranslatedRead(TListComand name) {
    switch (name) {
        case GetUst1:
        case GetUst2:
        case GetIEC:
        case GetSpeakerMode:
        case GetRelayParams:
        case GetRelayGist:
        case GetVersForUst1:
        case GetVersForUst2:
        case GetVersForUst11:
        case GetVersForUst22:
            return true;
        default:
            return false;
    }
}

}  // namespace protocol
