#include "exchange/mb.h"

#include "exchange/typeCMD.h"
#include "protocol/ModbusFrames.h"

void ToModbusRequest() {
    uint8_t lengthOut = CurrentQuery->LengthOut;
    uint8_t lengthIn = CurrentQuery->LengthIn;
    // Commands without a Modbus form (SetYear, SetMode, GetMode) are never sent in Modbus
    // RTU; the callers refuse them before they get here.
    if (!protocol::ToModbusRequest(RequestBuffer, lengthOut, lengthIn)) return;
    CurrentQuery->LengthOut = lengthOut;
    CurrentQuery->LengthIn = lengthIn;
}

void FromModbusAnswer() {
    uint8_t lengthIn = CurrentQuery->LengthIn;
    protocol::FromModbusAnswer(RequestBuffer, CurrentQuery->Code, AnswerBuffer, lengthIn);
    CurrentQuery->LengthIn = lengthIn;
}
