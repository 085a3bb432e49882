#pragma once
// The readings' shared state: what the instrument said about each measured parameter and
// which one is being read. Main thread only.
#include <QString>
#include <cstdint>

struct TChannelSetup {
    double Scale = 0;
    uint8_t PointCode = 0;
    uint8_t UnitCode = 0;
};
extern TChannelSetup ChannelSetup[3];  // parameters 1..3 at 0..2
extern bool ChannelTicked[3];
extern uint8_t SelectedChannel;  // 1..3; 0 when nothing was ticked

// Moves SelectedChannel to the next ticked parameter; true when it wrapped round to the first
// (every ticked parameter has had its turn). With nothing ticked it ends at 0.
bool NextTickedChannel();

QString UnitName(int unitCode);  // "V" .. "%"; empty outside 1..21
QString NoChannelTickedText();
