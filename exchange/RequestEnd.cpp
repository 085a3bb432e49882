#include "exchange/RequestEnd.h"

#include <algorithm>
#include <exception>

#include "exchange/ExchangeView.h"
#include "exchange/Thread1.h"
#include "exchange/typeCMD.h"
#include "protocol/Crc.h"
#include "protocol/Decoders.h"

namespace {

constexpr uint8_t FirstReadCode = 0x40;  // QV codes below it are writes

// What an interpreted answer says about its request.
TRequestOutcome Classify(const TRequestEnd& end) {
    if (end.length < 2 || Crc16(end.answer, uint16_t(end.length)) != 0)
        return TRequestOutcome::Corrupted;
    const TListComand c = end.command;
    if (c == GetPar || c == GetVal) {
        const bool missing = c == GetPar ? !protocol::DecodeParameter(end.answer, end.length)
                                                .value_or(protocol::ParameterSetup{})
                                                .exists
                                         : !protocol::DecodeReading(end.answer, end.length)
                                                .value_or(protocol::Reading{})
                                                .exists;
        if (missing) return TRequestOutcome::Refused;
    }
    // A QV write answers with a result byte; Modbus answers are rewritten with result 0, and
    // the Modbus-only writes answer in Modbus form whatever the protocol.
    if (!end.modbus && CommandTable[c].Code < FirstReadCode && !IsModbusOnlyWrite(c)) {
        const auto result = protocol::DecodeWriteResult(end.answer, end.length);
        if (result && *result != protocol::WriteAccepted) return TRequestOutcome::Refused;
    }
    return TRequestOutcome::Answered;
}

}  // namespace

TRequestEndNotice::TRequestEndNotice(TRequestOutcome outcome)
    : FExceptions(std::uncaught_exceptions()) {
    FEnd.exchangeState = ExchangeState;
    FEnd.outcome = outcome;
    FEnd.answer = AnswerBuffer;
    FEnd.modbus = ProtocolIsModbus == 1;
    if (!CurrentQuery) return;
    const TQuery& q = *CurrentQuery;
    FEnd.command = q.FName;
    FEnd.firstData = q.IndexData > 0 ? q.Data[1] : 0;
    FEnd.length = std::min<int>(q.LengthIn, FrameBufferSize);
}

TRequestEndNotice::~TRequestEndNotice() {
    if (!ExchangeView) return;
    if (std::uncaught_exceptions() > FExceptions)
        FEnd.outcome = TRequestOutcome::Failed;
    else if (FEnd.outcome == TRequestOutcome::Answered)
        FEnd.outcome = Classify(FEnd);
    FEnd.chainGoesOn = AwaitingAnswer;
    ExchangeView->RequestEnded(FEnd);
}
