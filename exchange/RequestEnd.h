#pragma once
// The end of every request, told to the window's view: once per request, when its answer has
// been interpreted, refused or given up on. Tools that send a series of the window's ordinary
// requests (read everything, write a configuration) learn from it when to send the next one
// and what became of each.
#include <cstdint>

#include "exchange/ExchangeStates.h"
#include "protocol/Commands.h"

enum class TRequestOutcome {
    Answered,    // the answer was interpreted
    Refused,     // a Modbus exception, a QV result other than 0, or no such parameter
    Unanswered,  // silence, or bytes that are not this request's answer
    Corrupted,   // the answer failed its checksum
    Failed,      // the port failed, or a field the chain needs did not convert
};

struct TRequestEnd {
    TListComand command = GetAdr;
    uint8_t firstData = 0;  // the request's first data byte: the parameter of GetPar, GetVal
    ExchangeStates exchangeState = ExchangeStates::Single;  // ExchangeState when the answer came
    TRequestOutcome outcome = TRequestOutcome::Answered;
    // The answer as the interpretation read it (QV form; Modbus layout for the reads that are
    // not rewritten); valid during the call only.
    const uint8_t* answer = nullptr;
    int length = 0;
    bool modbus = false;       // the instrument was addressed in Modbus RTU
    bool chainGoesOn = false;  // the interpretation sent the next request of a chain

    // The readings page was preparing its panels: the answer filled no field.
    bool PreparingReadings() const { return exchangeState == ExchangeStates::ReadingPreparation; }
};

// Made where the main thread handles a request's end (the interpretation, the exception, the
// silence); tells the view when it goes out of scope, after the handling, so that the view
// sees the fields filled and knows whether the chain's next request is on its way. A handling
// left by an exception ends its request as Failed.
class TRequestEndNotice {
public:
    // Answered is refined from the answer itself: a bad checksum, a refusal in QV form.
    explicit TRequestEndNotice(TRequestOutcome outcome);
    ~TRequestEndNotice();
    TRequestEndNotice(const TRequestEndNotice&) = delete;
    TRequestEndNotice& operator=(const TRequestEndNotice&) = delete;

private:
    TRequestEnd FEnd;
    int FExceptions;
};
