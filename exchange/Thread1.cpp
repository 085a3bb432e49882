#include "exchange/Thread1.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <exception>
#include <thread>
#include <vector>

#include "base/Synchronize.h"
#include "exchange/Channels.h"
#include "exchange/Convert.h"
#include "exchange/ExchangeView.h"
#include "exchange/FrameTap.h"
#include "exchange/RequestEnd.h"
#include "exchange/cp1251.h"
#include "exchange/mb.h"
#include "exchange/typeCMD.h"
#include "protocol/Answers.h"
#include "protocol/Commands.h"
#include "protocol/Crc.h"
#include "protocol/Decoders.h"
#include "protocol/Float.h"
#include "protocol/Registers.h"
#include "serial/SerialPort.h"

std::atomic<bool> AwaitingAnswer{false};
std::atomic<ExchangeStates> ExchangeState{ExchangeStates::Single};
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
std::atomic<int32_t> DiscardedAnswerCount{0};

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

// A value taken while polling waits here until the line has stayed quiet behind its answer:
// a duplicate or a late answer that arrives meanwhile shows that the value may be another
// channel's, and it is dropped. Main thread only.
struct HeldReading {
    enum { None, Waiting, Confirmed } stage = None;
    int channel = 0;
    uint8_t pointCode = 0;
    double value = 0;
};
HeldReading Held;

// A value answer while polling: the reading held for its panel and the pause before the next
// request. The timer is armed first: it cannot fire before this handling has returned to the
// event loop, so nobody can tell the order, and the drawing stays off the way to the next
// request. An interval that does not convert is still reported after the reading is held.
void ArmRepeatAndHoldReading(const uint8_t* answer, int length) {
    std::exception_ptr unconvertible;
    try {
        View().ArmRepeatTimer(RepeatInterval());
    } catch (const EConvertError&) {
        unconvertible = std::current_exception();
    }
    const auto reading = protocol::DecodeReading(answer, length);
    const int channel = SelectedChannel;
    Held = HeldReading{};
    if (reading && channel >= 1 && channel <= 3)
        Held = HeldReading{HeldReading::Waiting, channel, ChannelSetup[channel - 1].PointCode,
                           reading->value};
    if (unconvertible) std::rethrow_exception(unconvertible);
}

// How long the line must stay quiet behind a taken answer before it is believed: long enough
// for the real answer to follow a duplicate that came first (the instrument's turn-around and
// the answer's own time on the line, twice).
int AnswerSettleMs(const TSerialPort* port) {
    constexpr int TurnAroundMs = 20;
    const int bitsPerSecond = port ? std::max<int>(port->BitsPerSecond(), 300) : 9600;
    const int answerMs = int(CurrentQuery->LengthIn) * 11 * 1000 / bitsPerSecond + 1;
    return TurnAroundMs + 2 * answerMs;
}

// Whether `bytes` hold a whole frame that could be the answer to the request in flight.
bool HoldsAnAnswerOfTheSameForm(const std::vector<uint8_t>& bytes) {
    const size_t length = size_t(std::min<int>(CurrentQuery->LengthIn, FrameBufferSize));
    for (size_t at = 0; length > 0 && at + length <= bytes.size(); ++at) {
        const uint8_t* frame = bytes.data() + at;
        if (Crc16(frame, uint16_t(length)) == 0 &&
            protocol::AnswerFitsRequest(RequestBuffer, CurrentQuery->LengthOut,
                                        CurrentQuery->ModbusFrame, frame, int(length)))
            return true;
    }
    return false;
}

// Outside polling (whose held reading the main thread watches) this thread waits, once an
// answer is taken, until the line has stayed quiet behind it, and takes what comes meanwhile.
// True when that holds another whole answer of the same form: a duplicate, or the real answer
// behind a duplicate taken first, and nobody can tell which is this request's. Noise behind an
// answer does not spoil it; it is purged before the next request.
bool AnotherAnswerFollows(TSerialPort& port) {
    using Clock = std::chrono::steady_clock;
    const auto settle = std::chrono::milliseconds(AnswerSettleMs(&port));
    const Clock::time_point start = Clock::now();
    Clock::time_point quietSince = start;
    std::vector<uint8_t> behind;
    for (;;) {
        const int waiting = port.InBufCount();
        if (waiting > 0) {
            const size_t had = behind.size();
            behind.resize(had + size_t(waiting));
            behind.resize(had + size_t(std::max(0, port.Read(behind.data() + had, waiting))));
            quietSince = Clock::now();
            LineOutOfStep = true;
        }
        const Clock::time_point now = Clock::now();
        if (now - quietSince >= settle || now - start >= 4 * settle) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return HoldsAnAnswerOfTheSameForm(behind);
}

// A step of a chain that failed ends the chain: the serial number's year is never written
// after an unanswered or corrupted serial-number write, nor a relay's hysteresis after its
// mode and delay.
void EndChainAfterFailure() {
    if (ExchangeState == ExchangeStates::SerialThenYear ||
        ExchangeState == ExchangeStates::RelayThenHysteresis)
        ExchangeState = ExchangeStates::Single;
}

// Whether the answer in AnswerBuffer has the form of the answer to the request in
// RequestBuffer: its address, function or command and what the protocol echoes, and for a
// search attempt that attempt's own protocol. A corrupted answer is left to the checksum
// check, which reports it.
bool AnswerIsForRequest(int received) {
    const uint8_t* a = AnswerBuffer;
    if (received < 5 || Crc16(a, uint16_t(received)) != 0) return true;
    if (ExchangeState == ExchangeStates::SearchQv)
        return a[2] == CommandTable[GetTypeProt].Code;  // QV search answer
    if (ExchangeState == ExchangeStates::SearchModbus)
        return a[1] == protocol::fn::Search;  // Modbus search answer
    return protocol::AnswerFitsRequest(RequestBuffer, CurrentQuery->LengthOut,
                                       CurrentQuery->ModbusFrame, a, received);
}

}  // namespace

void ReportHeldRequestFailure(const ESerialPort& error) {
    EndChainAfterFailure();
    View().ReportLineFailure(error);
}

bool RequestOnItsWay() {
    return AwaitingAnswer || (CurrentQuery && CurrentQuery->Held());
}

bool ConfirmHeldReading() {
    if (Held.stage != HeldReading::Waiting) return Held.stage == HeldReading::Confirmed;
    bool stray = LineOutOfStep.load();
    if (!stray) try {
            TSerialPort* port = QueryTarget ? QueryTarget->QueryPort() : nullptr;
            stray = port && port->Connected() && port->InBufCount() > 0;
        } catch (const ESerialPort&) {
            stray = true;  // the line is going away; its own report follows
        }
    if (stray) LineOutOfStep = true;
    Held.stage = stray ? HeldReading::None : HeldReading::Confirmed;
    return !stray;
}

void ShowConfirmedReading() {
    if (Held.stage != HeldReading::Confirmed) return;
    Held.stage = HeldReading::None;
    // A parameter unticked meanwhile has left the round; its panel stays clear.
    if (Held.channel >= 1 && Held.channel <= 3 && !ChannelTicked[Held.channel - 1]) return;
    View().ShowReading(Held.channel, Held.pointCode, Held.value);
}

void DropHeldReading() {
    Held.stage = HeldReading::None;
}

Th1::Th1() {
    FConfirmTimer = new QTimer(this);
    FConfirmTimer->setSingleShot(true);
    QObject::connect(FConfirmTimer, &QTimer::timeout, FConfirmTimer, [] {
        if (ConfirmHeldReading()) ShowConfirmedReading();
    });
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
            // More than one answer's worth waiting while polling, or another answer of the
            // same form right behind it: a duplicate or a late answer is among them, and
            // nobody can tell which is this request's. The exchange is given up rather than a
            // value put in the wrong place.
            const bool polling = ExchangeState == ExchangeStates::ContinuousReading;
            if (n > length) LineOutOfStep = true;
            if (polling ? n > length : AnotherAnswerFollows(*port)) {
                RunUnlessSuspended(epoch, [this] { AnswerOutOfStep(); });
                return;
            }
            // One hand-over for the check, the rewrite and the interpretation: the thread has
            // nothing to do between them, and every hand-over costs two thread switches.
            const bool modbus = ProtocolIsModbus == 1;
            const int received = std::min(length, FrameBufferSize);
            RunUnlessSuspended(epoch, [this, modbus, received] {
                if (!AnswerIsForRequest(received)) {
                    // Not this request's answer: as far as it goes, it was not answered.
                    LineOutOfStep = true;
                    NoteRequestUnanswered();
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
                    // A gateway's "the target did not answer" (0x0B) or "no path" (0x0A) means
                    // nobody is at that address: silence, never an instrument that refused.
                    if (AnswerIsForRequest(5) && !protocol::IsGatewayNoAnswer(AnswerBuffer[2]))
                        MBer();
                    else
                        NoAnswer();
                });
        } else {
            TapNoAnswer(n);
            AnswerPending = false;
            NoteRequestUnanswered();
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

// An answer that cannot be told from a duplicate or a late answer (more bytes than one answer
// while polling, another answer of its form right behind it). Polling goes on and its panel
// keeps the value it showed; the search tries its next form; anything else is reported, and a
// chain under way ends.
void Th1::AnswerOutOfStep() {
    if (ExchangeState == ExchangeStates::SearchQv ||
        ExchangeState == ExchangeStates::SearchModbus) {
        NoAnswer();
        return;
    }
    TRequestEndNotice notice(TRequestOutcome::Unanswered);
    ++DiscardedAnswerCount;
    if (ExchangeState == ExchangeStates::ContinuousReading) {
        View().ArmRepeatTimer(RepeatInterval());
        return;
    }
    EndChainAfterFailure();
    ShowStatusAndError(
        tr("Ответ прибора не соответствует запросу (на линии лишние или "
           "запоздавшие ответы); повторите запрос"));
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
        } else if (q.FName == GetTypeProt) {
            // Every instrument on the line answers the search at once; their answers overlap
            // into damaged bytes. The line view asks each address in turn.
            view.ShowStatus(
                tr("Ошибка контрольной суммы: возможно, на поиск ответили "
                   "несколько приборов; окно «Линия» опросит адреса по очереди"));
            view.ShowError(tr("Ошибка контрольной суммы !"));
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
    if (q.FName == SetRelayParams && ExchangeState == ExchangeStates::RelayThenHysteresis) {
        ExchangeState = ExchangeStates::Single;
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
    if (ExchangeState == ExchangeStates::ContinuousReading && q.FName == GetVal) {
        ArmRepeatAndHoldReading(A, length);
        FConfirmTimer->start(AnswerSettleMs(QueryTarget ? QueryTarget->QueryPort() : nullptr));
    }
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
