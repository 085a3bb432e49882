#include "exchange/Thread1.h"

#include <QCoreApplication>
#include <algorithm>
#include <exception>

#include "base/Synchronize.h"
#include "exchange/Channels.h"
#include "exchange/Convert.h"
#include "exchange/ExchangeView.h"
#include "exchange/FrameTap.h"
#include "exchange/RequestEnd.h"
#include "exchange/cp1251.h"
#include "exchange/mb.h"
#include "exchange/typeCMD.h"
#include "protocol/Commands.h"
#include "protocol/Crc.h"
#include "protocol/Decoders.h"
#include "protocol/Float.h"
#include "protocol/Registers.h"
#include "serial/SerialPort.h"

std::atomic<bool> AwaitingAnswer{false};
std::atomic<uint8_t> ExchangeState{ExchangeStates::Single};
std::atomic<uint8_t> ProtocolIsModbus{1};
std::atomic<int32_t> SentCount{0};
std::atomic<int32_t> CrcErrorCount{0};
std::atomic<int32_t> NoAnswerCount{0};
std::atomic<uint8_t> SavedProtocol{0};
uint16_t SetpointFormat = 0;
uint8_t ScalePointPos = 0;
Th1* ExchangeThread = nullptr;
TExchangeView* ExchangeView = nullptr;
std::atomic<bool> AnswerPending{false};
std::atomic<bool> LineOutOfStep{false};
std::atomic<int32_t> OutOfStepCount{0};

namespace {

bool IsQv() {
    return ProtocolIsModbus.load() == 0;
}

// The answer's length as far as AnswerBuffer holds it: whatever length a request left behind,
// the answer is never read or checked past the buffer (an overlong one fails its CRC).
int AnswerLength() {
    return std::min<int>(CurrentQuery->LengthIn, FrameBufferSize);
}

TExchangeView& View() {
    return *ExchangeView;
}

// Interval of the repeat timer: the integer in the interval field, 300 ms when it is empty.
int RepeatInterval() {
    const QString text = View().FieldText(TField::RepeatIntervalMs);
    return text.isEmpty() ? 300 : StrToInt(text);
}

void ShowStatusAndError(const QString& text) {
    View().ShowStatus(text);
    View().ShowError(text);
}

void SendSetpoint(TField field, TListComand wide, TListComand narrow) {
    const int u = StrToInt(View().FieldText(field));
    if (SetpointFormat == 710) {
        CurrentQuery->SetName(wide);
        CurrentQuery->Push(uint8_t(u >> 8));
        CurrentQuery->Push(uint8_t(u));
    } else {
        CurrentQuery->SetName(narrow);
        CurrentQuery->Push(uint8_t(u));
    }
    CurrentQuery->Query();
}

bool SetpointInRange(TField field) {
    const int u = StrToInt(View().FieldText(field));
    if (u > protocol::SetpointLimit || u < -protocol::SetpointLimit) {
        View().ShowError(QCoreApplication::translate("Th1", "Неверное значение уставки"));
        View().ShowStatus(QCoreApplication::translate("Th1", "Неверное значение уставки"));
        return false;
    }
    return true;
}

void Trace() {
    View().TraceAnswer(AnswerBuffer, AnswerLength());
}

// A value answer while polling: the reading on its panel and the pause before the next
// request. The timer is armed first: it cannot fire before this handling has returned to the
// event loop, so nobody can tell the order, and the drawing stays off the way to the next
// request. An interval that does not convert is still reported after the reading is shown.
void ArmRepeatAndShowReading(const uint8_t* answer, int length) {
    std::exception_ptr unconvertible;
    try {
        View().ArmRepeatTimer(RepeatInterval());
    } catch (const EConvertError&) {
        unconvertible = std::current_exception();
    }
    const auto reading = protocol::DecodeReading(answer, length);
    const int channel = SelectedChannel;
    if (reading && channel >= 1 && channel <= 3)
        View().ShowReading(channel, ChannelSetup[channel - 1].PointCode, reading->value);
    if (unconvertible) std::rethrow_exception(unconvertible);
}

// A step of a chain that failed ends the chain: the serial number's year is never written
// after an unanswered or corrupted serial-number write.
void EndChainAfterFailure() {
    if (ExchangeState == ExchangeStates::SerialThenYear) ExchangeState = ExchangeStates::Single;
}

// Whether the answer in AnswerBuffer is the answer to the request in RequestBuffer: from the
// address the request went to, and of the search attempt's own protocol. A corrupted answer
// is left to the checksum check, which reports it.
bool AnswerIsForRequest(int received) {
    const uint8_t* a = AnswerBuffer;
    const uint8_t* r = RequestBuffer;
    if (received < 5 || Crc16(a, uint16_t(received)) != 0) return true;
    if (ExchangeState == ExchangeStates::SearchQv)
        return a[2] == CommandTable[GetTypeProt].Code;  // QV search answer
    if (ExchangeState == ExchangeStates::SearchModbus)
        return a[1] == protocol::fn::Search;  // Modbus search answer
    if (ProtocolIsModbus == 1 || IsModbusOnlyWrite(CurrentQuery->FName)) {
        // The search and the protocol switch go to 0xFF: the instrument answers from its own
        // address.
        return r[0] == protocol::fn::BroadcastAddress || a[0] == r[0];
    }
    const uint16_t to = uint16_t(r[0] | r[1] << 8);
    if (to == 0 || to == SearchAddress) return true;
    return uint16_t(a[0] | a[1] << 8) == to;
}

}  // namespace

Th1::Th1() {
    start();
}

Th1::~Th1() {
    Terminate();
}

void Th1::WakeUp() {
    FWakeEpoch = FEpoch.load();
    FWake.release();
}

void Th1::Suspend() {
    ++FEpoch;
    while (FWake.tryAcquire()) {
    }
}

void Th1::RunUnlessSuspended(int epoch, const std::function<void()>& fn) {
    // One pointer captured: a function this small is kept without an allocation.
    struct Pass {
        Th1* thread;
        int epoch;
        const std::function<void()>* fn;
    } pass{this, epoch, &fn};
    Sync::Synchronize([&pass] {
        if (pass.thread->FEpoch.load() == pass.epoch) (*pass.fn)();
    });
}

void Th1::Terminate() {
    if (!isRunning()) return;
    FTerminated = true;
    FWake.release();
    Sync::WaitForThread(this);
}

void Th1::Execute() {
    for (;;) {
        FWake.acquire();
        if (FTerminated) return;
        Pass();
        ++FPasses;
    }
}

void Th1::Pass() {
    const int epoch = FWakeEpoch.load();
    try {
        TSerialPort* port = QueryTarget ? QueryTarget->QueryPort() : nullptr;
        const int n = port ? port->InBufCount() : 0;
        AwaitingAnswer = false;
        const int length = CurrentQuery->LengthIn;
        if (n >= length && length > 0) {
            port->Read(AnswerBuffer, std::min(length, FrameBufferSize));
            TapAnswerTaken(AnswerBuffer, std::min(length, FrameBufferSize), n);
            AnswerPending = false;
            // Bytes beyond the expected answer belong to no request of ours.
            if (n > length) LineOutOfStep = true;
            // One hand-over for the check, the rewrite and the interpretation: the thread has
            // nothing to do between them, and every hand-over costs two thread switches.
            const bool modbus = ProtocolIsModbus == 1;
            const int received = std::min(length, FrameBufferSize);
            RunUnlessSuspended(epoch, [this, modbus, received] {
                if (!AnswerIsForRequest(received)) {
                    LineOutOfStep = true;
                    NoAnswer();
                    return;
                }
                if (modbus) decmb();
                Update();
            });
        } else if (ProtocolIsModbus == 1 && n == 5) {
            port->Read(AnswerBuffer, 5);
            TapAnswerTaken(AnswerBuffer, 5, n);
            AnswerPending = false;
            if (AnswerBuffer[1] > 0x80)
                RunUnlessSuspended(epoch, [this] {
                    if (AnswerIsForRequest(5))
                        MBer();
                    else
                        NoAnswer();
                });
        } else {
            TapNoAnswer(n);
            AnswerPending = false;
            RunUnlessSuspended(epoch, [this] { NoAnswer(); });
        }
    } catch (const ESerialPort& e) {
        AnswerPending = false;
        // The exception itself goes over, with the system's reason it carries.
        const ESerialPort error = e;
        Sync::Synchronize([error] {
            EndChainAfterFailure();
            View().ReportLineFailure(error);
        });
    } catch (const EConvertError& e) {
        ReportPassFailure(e.Message());
    } catch (const std::exception& e) {
        ReportPassFailure(QString::fromUtf8(e.what()));
    }
}

// The request went unanswered (or was answered by something that is not its answer).
void Th1::NoAnswer() {
    TRequestEndNotice notice(TRequestOutcome::Unanswered);
    if (ExchangeState == ExchangeStates::SearchQv) {
        // The QV search went unanswered: the same request in its Modbus RTU form.
        ExchangeState = ExchangeStates::SearchModbus;
        ProtocolIsModbus = 1;
        CurrentQuery->QueryAt(SearchAddress, GetTypeProt);
    } else if (ExchangeState == ExchangeStates::ContinuousReading) {
        RepeatQuery();
    } else {
        thrErrBox();
    }
}

// A failure inside a pass (the port vanished, a field that does not convert) is shown on the
// main thread; the thread goes back to sleep and the next request works as usual.
void Th1::ReportPassFailure(const QString& message) {
    Sync::Synchronize([message] {
        EndChainAfterFailure();
        ShowStatusAndError(message);
    });
}

void Th1::decmb() {
    if (protocol::IsUntranslatedRead(CurrentQuery->FName)) return;
    // The rewrite replaces the answer's CRC, so a corrupted Modbus answer must be caught
    // here: it is left as it came and the interpretation reports the checksum error.
    if (Crc16(AnswerBuffer, AnswerLength()) != 0) return;
    FromModbusAnswer();
}

void Th1::MBer() {
    TRequestEndNotice notice(TRequestOutcome::Refused);
    EndChainAfterFailure();
    QString text;
    switch (AnswerBuffer[2]) {
        case 2:
            if (CurrentQuery->FName != GetPar) return;
            text = tr("Несуществующий параметр");
            break;
        case 3:
            text = tr("Неверное значение параметра");
            break;
        case 0x46:
            text = tr("Аппаратная защита");
            break;
        default:
            return;
    }
    ExchangeState = ExchangeStates::Single;
    ShowStatusAndError(text);
}

void Th1::RepeatAfterFailure(std::atomic<int32_t>& counter, const QString& text) {
    ++counter;
    View().ShowStatus(text + QString::number(counter.load()) + QLatin1Char(')'));
    for (int panel = 1; panel <= 3; ++panel) View().ClearPanel(panel);
    View().ArmRepeatTimer(RepeatInterval());
}

void Th1::RepeatQuery() {
    RepeatAfterFailure(NoAnswerCount, tr("Прибор не отвечает ("));
}

void Th1::RepeatQueryCRC() {
    RepeatAfterFailure(CrcErrorCount, tr("Ошибка контрольной суммы ("));
}

void Th1::thrErrBox() {
    EndChainAfterFailure();
    if (ExchangeState == ExchangeStates::SearchModbus) {
        ProtocolIsModbus = SavedProtocol.load();
        ExchangeState = ExchangeStates::Single;
    }
    ShowStatusAndError(tr("Прибор не отвечает"));
}

void Th1::Update() {
    TRequestEndNotice notice(TRequestOutcome::Answered);
    TExchangeView& view = View();
    const uint8_t* A = AnswerBuffer;
    TQuery& q = *CurrentQuery;

    if (Crc16(A, AnswerLength()) != 0) {
        EndChainAfterFailure();
        if (ExchangeState == ExchangeStates::ContinuousReading) {
            RepeatQueryCRC();
        } else {
            view.ShowStatus(tr("Ошибка контрольной суммы"));
            view.ShowError(tr("Ошибка контрольной суммы !"));
        }
        Trace();
        return;
    }
    view.ShowStatus(tr("Операция выполнена успешно"));

    const int length = AnswerLength();
    const protocol::Protocol form = IsQv() ? protocol::Protocol::Qv : protocol::Protocol::Modbus;
    if (q.FName == GetAdr)
        if (const auto address = protocol::DecodeAddress(A, length))
            view.SetFieldText(TField::AddressRead, QString::number(*address));
    if (q.FName == GetBright)
        if (const auto brightness = protocol::DecodeBrightness(A, length))
            view.SetFieldIndex(TField::Brightness, *brightness);
    if (q.FName == GetPar && ExchangeState != ExchangeStates::ReadingPreparation)
        if (const auto setup = protocol::DecodeParameter(A, length)) {
            view.SetFieldIndex(TField::Unit, setup->unitCode - 1);
            ScalePointPos = setup->pointCode;
            view.SetFieldText(TField::Scale, FixedText(setup->scale, 3 - setup->pointCode));
        }
    if (q.FName == GetInfo)
        if (const auto text = protocol::DecodeInfoText(A, length))
            view.SetFieldText(TField::InfoText, QString::fromStdString(*text));
    if (q.FName == GetYear)
        if (const auto serial = protocol::DecodeSerialAndYear(A, length)) {
            view.SetFieldText(TField::SerialNumber,
                              QString::fromStdString(protocol::SerialNumberText(*serial)));
            view.SetFieldText(TField::Year, QString::fromStdString(protocol::YearText(*serial)));
            view.SetFieldText(TField::ParameterCount, QString::number(serial->parameterCount));
        }
    if (q.FName == GetUst2)
        if (const auto value = protocol::DecodeSetpoint(A, length, form, SetpointFormat))
            view.SetFieldText(TField::LowerSetpoint, QString::number(*value));
    if (q.FName == GetUst1)
        if (const auto value = protocol::DecodeSetpoint(A, length, form, SetpointFormat))
            view.SetFieldText(TField::UpperSetpoint, QString::number(*value));
    if (q.FName == GetVersForUst1) {
        SetpointFormat = protocol::DecodeSetpointFormat(A, length, form).value_or(SetpointFormat);
        q.SetName(GetUst1);
        q.Query();
    }
    if (q.FName == GetVersForUst2) {
        SetpointFormat = protocol::DecodeSetpointFormat(A, length, form).value_or(SetpointFormat);
        q.SetName(GetUst2);
        q.Query();
    }
    if (q.FName == GetVersForUst11) {
        SetpointFormat = protocol::DecodeSetpointFormat(A, length, form).value_or(SetpointFormat);
        if (!SetpointInRange(TField::UpperSetpoint)) return;
        SendSetpoint(TField::UpperSetpoint, SetUst11, SetUst1);
    }
    if (q.FName == GetVersForUst22) {
        SetpointFormat = protocol::DecodeSetpointFormat(A, length, form).value_or(SetpointFormat);
        if (!SetpointInRange(TField::LowerSetpoint)) return;
        SendSetpoint(TField::LowerSetpoint, SetUst22, SetUst2);
    }
    if (q.FName == GetIEC)
        if (const auto framing = protocol::DecodeIecFraming(A, length)) {
            view.SetFieldIndex(TField::IecCommonAddressSize, framing->commonAddressSize - 1);
            view.SetFieldIndex(TField::IecCauseSize, framing->objectAddressSize - 1);
            view.SetFieldIndex(TField::IecObjectAddressSize, framing->causeSize - 1);
            const int type = protocol::IecTypeIndex(framing->type);
            if (type >= 0) view.SetFieldIndex(TField::IecType, type);
        }
    if (q.FName == GetSpeakerMode)
        if (const auto mode = protocol::DecodeAlarmMode(A, length))
            view.SetFieldIndex(TField::AlarmMode, *mode);
    const int relay = QueryTarget && QueryTarget->SelectedRelay() == 1 ? 2 : 1;
    if (q.FName == GetRelayGist)
        if (const auto hysteresis = protocol::DecodeRelayHysteresis(A, length, relay))
            view.SetFieldText(TField::RelayHysteresis, FixedText(*hysteresis, 3 - ScalePointPos));
    if (q.FName == GetRelayParams) {
        if (const auto params = protocol::DecodeRelayParams(A, length, relay)) {
            view.SetFieldIndex(TField::RelayMode, params->mode);
            view.SetFieldText(TField::RelayDelay, QString::number(params->delay));
        }
        q.SetName(GetRelayGist);
        q.Query();
    }
    if (q.FName == SetRelayParams) {
        const double v = StrToFloat(view.FieldText(TField::RelayHysteresis));
        q.SetName(SetRelayGist);
        TBytes4 bytes;
        SingleToBytesBE(bytes, v);
        for (uint8_t b : bytes) q.Push(b);
        q.Query();
    }
    if (ExchangeState == ExchangeStates::SerialThenYear) {
        ExchangeState = ExchangeStates::Single;
        const int y = StrToInt(view.FieldText(TField::SerialNumber).left(2));
        q.SetName(SetYearMB);
        q.Push(uint8_t(y));
        q.Push(uint8_t(y >> 8));
        q.Query();
    }
    if (ExchangeState == ExchangeStates::ContinuousReading && q.FName == GetVal)
        ArmRepeatAndShowReading(A, length);
    if (ExchangeState == ExchangeStates::ReadingPreparation && q.Code == 0x41 && A[9] != 2) {
        const int p = SelectedChannel;
        if (p < 1 || p > 3) {
            // Nothing was ticked: there is no parameter to prepare, so reading ends here.
            ExchangeState = ExchangeStates::Single;
            view.ShowStatus(NoChannelTickedText());
            return;
        }
        TChannelSetup& setup = ChannelSetup[p - 1];
        if (const auto decoded = protocol::DecodeParameter(A, length)) {
            setup.PointCode = decoded->pointCode;
            setup.Scale = decoded->scale;
            setup.UnitCode = decoded->unitCode;
        }
        view.ShowUnit(p, UnitName(setup.UnitCode));
        if (NextTickedChannel()) {
            ExchangeState = ExchangeStates::ContinuousReading;
            SelectedChannel = 0;
            NextTickedChannel();
            q.SetName(GetVal);
            q.Push(SelectedChannel);
            q.Query();
            return;
        }
        q.SetName(GetPar);
        q.Push(SelectedChannel);
        q.Query();
    }
    const auto found =
        q.FName == GetTypeProt ? protocol::DecodeProtocolAnswer(A, length) : std::nullopt;
    if (found) {
        const int a = found->address;
        const bool qv = found->protocol == protocol::Protocol::Qv;
        view.ShowStatus(tr("Сетевой адрес найденого прибора: ") + QString::number(a) +
                        tr("    Протокол: ") + (qv ? QStringLiteral("QV") : QStringLiteral("MB")));
        ProtocolIsModbus = qv ? 0 : 1;
        view.RefreshProtocolView();
        view.SetFieldText(TField::NetworkAddress, QString::number(a));
        q.Adr = uint16_t(a);
        ExchangeState = ExchangeStates::Single;
        view.EnableProtocolSwitch(true);
    }
    if (q.FName == SetTypeProt) {
        ProtocolIsModbus = uint8_t(1 - ProtocolIsModbus);
        view.RefreshProtocolView();
        view.EnableProtocolSwitch(false);
    }
    if (IsQv()) {
        if (q.FName == SetYear && A[3] == 10) ShowStatusAndError(tr("Невозможно изменить номер"));
        if (q.FName == GetPar && A[9] == 2) {
            ShowStatusAndError(tr("Несуществующий параметр"));
            ExchangeState = ExchangeStates::Single;
        }
        if (q.FName == GetVal && A[7] == 2) ShowStatusAndError(tr("Несуществующий параметр"));
    }
    Trace();
}
