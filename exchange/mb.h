#pragma once
// Modbus RTU translation: the QV request in RequestBuffer rewritten into the Modbus RTU
// request just before it is sent, and the Modbus RTU answer in AnswerBuffer rewritten back
// into the QV answer that the interpretation expects. Main thread only.

// Rewrites RequestBuffer and sets CurrentQuery's LengthOut/LengthIn; appends its own CRC.
void ToModbusRequest();
// Rewrites AnswerBuffer in place into the QV answer form and sets CurrentQuery's LengthIn.
void FromModbusAnswer();
