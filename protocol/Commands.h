#pragma once
// The instrument's command catalogue: the 39 commands, their QV codes and frame lengths.
#include <array>
#include <cstdint>
#include <string>

// clang-format off
enum TListComand : uint8_t {
    SetPar, GetPar, SetMode, GetMode, GetVal, SetBright, GetBright, SetAdr, GetAdr, SetInfo,
    GetInfo, SetUst1, GetUst1, SetUst2, GetUst2, GetYear, SetYear, SetNumberOfProduce,
    GetNumberOfProduce, SetYearMB, GetTypeProt, SetTypeProt, SetSpeed, GetSpeed, SetSpeed2,
    GetIEC, SetIEC, GetSpeakerMode, SetSpeakerMode, GetRelayParams, GetRelayGist,
    SetRelayParams, SetRelayGist, GetVersForUst1, GetVersForUst2, GetVersForUst11,
    GetVersForUst22, SetUst11, SetUst22
};
// clang-format on
constexpr int CommandCount = 39;

struct TCommandEntry {
    uint8_t Code;
    uint8_t LengthOut;  // whole request, CRC included
    uint8_t LengthIn;   // whole expected answer, CRC included
};

using TCommandTable = std::array<TCommandEntry, CommandCount>;

// Code and lengths of every command. GetNumberOfProduce and GetSpeed are never sent and the
// four writes that the request builder lays out itself (SetIEC, SetSpeakerMode,
// SetRelayParams, SetRelayGist) have all-zero entries.
const TCommandTable& DefaultCommandTable();

// True for the six writes that exist only as Modbus RTU frames, whatever the protocol.
bool IsModbusOnlyWrite(TListComand name);

// The command's name as it is written here ("GetVal"); "" for a value outside the enum.
const char* CommandName(TListComand name);
// The command named `text` (exact spelling); false when there is none.
bool CommandFromName(const std::string& text, TListComand& name);

namespace protocol {

// The ten reads whose Modbus answers are read in Modbus layout, without the rewrite into QV
// form.
bool IsUntranslatedRead(TListComand name);

}  // namespace protocol
