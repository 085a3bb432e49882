#include "monitor/FrameRows.h"

#include <QDateTime>
#include <cmath>

#include "exchange/Channels.h"
#include "protocol/Answers.h"
#include "protocol/Cp1251.h"
#include "protocol/Crc.h"
#include "protocol/Decoders.h"
#include "protocol/Float.h"
#include "protocol/NumberText.h"
#include "protocol/Requests.h"
#include "protocol/Units.h"

namespace {

QString Utf8(const std::string& text) {
    return QString::fromStdString(text);
}

uint8_t ByteAt(const QByteArray& bytes, int i) {
    return i < bytes.size() ? uint8_t(bytes[i]) : 0;
}

const uint8_t* Data(const QByteArray& bytes) {
    return reinterpret_cast<const uint8_t*>(bytes.constData());
}

// Decimals shown for a point code, as the reading panels show them.
int Decimals(int pointCode) {
    return 3 - pointCode;
}

QString Scaled(double value, int pointCode) {
    if (pointCode < 0 || pointCode > 3) return QString::number(value, 'g', 7);
    return Utf8(protocol::FixedText(value, Decimals(pointCode)));
}

QString WithUnit(const QString& number, int unitCode) {
    const std::string unit = protocol::UnitName(unitCode);
    return unit.empty() ? number : number + QLatin1Char(' ') + Utf8(unit);
}

int FrameAddress(const QByteArray& frame, bool modbus) {
    if (frame.size() < (modbus ? 1 : 2)) return -1;
    return modbus ? ByteAt(frame, 0) : ByteAt(frame, 0) | ByteAt(frame, 1) << 8;
}

// The search goes to every instrument at once: its frame begins with the broadcast address
// 0xFF and reads as Modbus function 0x77 in either protocol, so its first byte alone is the
// address (read as QV's two address bytes it would be 30719, which no instrument has).
int RequestAddress(const TFrameEvent& request) {
    if (request.command == GetTypeProt && !request.bytes.isEmpty()) return ByteAt(request.bytes, 0);
    return FrameAddress(request.bytes, request.modbus);
}

bool IsWrite(TListComand command) {
    return CommandName(command)[0] == 'S';
}

// What a request asks for, read from its data bytes (QV order, whatever the frame's form).
QString RequestMeaning(const TFrameEvent& e) {
    const QByteArray& d = e.data;
    const auto word = [&d](int lo, int hi) { return ByteAt(d, lo) | ByteAt(d, hi) << 8; };
    switch (e.command) {
        case GetPar:
        case GetVal:
            return TFrameRowBuilder::tr("параметр %1").arg(ByteAt(d, 0));
        case SetPar: {
            const TBytes4 leastFirst = {ByteAt(d, 4), ByteAt(d, 3), ByteAt(d, 2), ByteAt(d, 1)};
            const QString scale = Scaled(BytesToSingle(leastFirst), ByteAt(d, 6));
            return TFrameRowBuilder::tr("параметр %1: шкала %2")
                .arg(ByteAt(d, 0))
                .arg(WithUnit(scale, ByteAt(d, 5)));
        }
        case SetAdr:
            return TFrameRowBuilder::tr("адрес %1").arg(word(0, 1));
        case SetBright:
            return TFrameRowBuilder::tr("яркость %1").arg(ByteAt(d, 0));
        case SetInfo:
            return TFrameRowBuilder::tr("«%1»").arg(
                Utf8(protocol::FromCp1251(d.toStdString())).trimmed());
        case SetUst1:
        case SetUst2:
            return TFrameRowBuilder::tr("уставка %1").arg(int8_t(ByteAt(d, 0)));
        case SetUst11:
        case SetUst22:
            return TFrameRowBuilder::tr("уставка %1").arg(int16_t(word(1, 0)));
        case SetSpeed:
        case SetSpeed2:
            return TFrameRowBuilder::tr("скорость %1 бит/с")
                .arg(protocol::SpeedOfCode(ByteAt(d, 0)));
        case SetYear:
            return TFrameRowBuilder::tr("год %1, номер %2")
                .arg(2000 + ByteAt(d, 0))
                .arg(word(2, 1));
        case SetNumberOfProduce:
            return TFrameRowBuilder::tr("номер %1").arg(word(0, 1));
        case SetYearMB:
            return TFrameRowBuilder::tr("год %1").arg(2000 + word(0, 1));
        case SetSpeakerMode:
            return TFrameRowBuilder::tr("режим сигнализации %1").arg(ByteAt(d, 1));
        case SetMode:
            return TFrameRowBuilder::tr("режим аналогового выхода %1").arg(ByteAt(d, 0));
        case GetTypeProt:
            return TFrameRowBuilder::tr("поиск прибора");
        case SetTypeProt:
            return TFrameRowBuilder::tr("смена протокола прибора %1").arg(word(0, 1));
        default:
            return QString();
    }
}

QString SetpointFormatText(uint16_t format) {
    return TFrameRowBuilder::tr("формат уставок %1 (%2 бит)")
        .arg(format)
        .arg(format == protocol::SixteenBitSetpoints ? 16 : 8);
}

QString RelayText(const protocol::RelayParams& p, int relay) {
    return TFrameRowBuilder::tr("реле %1: режим %2, задержка %3")
        .arg(relay)
        .arg(p.mode)
        .arg(p.delay);
}

// protocol::ExceptionText's words, for lupdate: the protocol core has no translation of its
// own, so the rows translate its texts as they show them.
[[maybe_unused]] const char* const ExceptionTexts[] = {
    QT_TRANSLATE_NOOP("TFrameRowBuilder", "Несуществующий параметр"),
    QT_TRANSLATE_NOOP("TFrameRowBuilder", "Неверное значение параметра"),
    QT_TRANSLATE_NOOP("TFrameRowBuilder", "Аппаратная защита"),
};

QString CheckText(const protocol::AnswerCheck& check, int received, int expected) {
    using protocol::AnswerStatus;
    switch (check.status) {
        case AnswerStatus::Exception: {
            const char* text = protocol::ExceptionText(check.exceptionCode);
            const QString code = TFrameRowBuilder::tr("исключение %1").arg(check.exceptionCode);
            return text ? code + QStringLiteral(": ") + TFrameRowBuilder::tr(text) : code;
        }
        case AnswerStatus::BadCrc:
            return TFrameRowBuilder::tr("ошибка контрольной суммы");
        case AnswerStatus::WrongAddress:
            return TFrameRowBuilder::tr("ответ с другого адреса");
        case AnswerStatus::Short:
            return TFrameRowBuilder::tr("неполный ответ: %1 из %2 байт")
                .arg(received)
                .arg(expected);
        case AnswerStatus::Ok:
            break;
    }
    return QString();
}

}  // namespace

TFrameRowBuilder::TFrameRowBuilder(int64_t steadyNs, qint64 wallMs)
    : FSteadyNs(steadyNs), FWallMs(wallMs) {}

TFrameRowBuilder::TFrameRowBuilder()
    : TFrameRowBuilder(FrameTapNowNs(), QDateTime::currentMSecsSinceEpoch()) {}

TFrameRow TFrameRowBuilder::Build(const TFrameEvent& event) {
    TFrameRow row;
    row.wallMs = FWallMs + qint64(std::floor(double(event.atNs - FSteadyNs) / 1e6));
    switch (event.kind) {
        case TFrameEvent::Kind::Request:
            FillRequest(event, row);
            break;
        case TFrameEvent::Kind::Answer:
        case TFrameEvent::Kind::BadCrc:
            FillAnswer(event, row);
            break;
        case TFrameEvent::Kind::Timeout:
            FillTimeout(event, row);
            break;
        case TFrameEvent::Kind::PortError:
            row.direction = TFrameDirection::PortError;
            row.error = true;
            row.meaning = event.message;
            break;
        case TFrameEvent::Kind::Turn:
            FMainExchangeUser = event.throughMainExchange ? event.source : QString();
            return row;
    }
    row.source = !event.source.isEmpty()        ? event.source
                 : !FMainExchangeUser.isEmpty() ? FMainExchangeUser
                                                : tr("Главное окно");
    return row;
}

// What the monitor saw of the parameter's GetPar answer; before it has seen one (opened during
// polling), what the reading's preparation stored.
TFrameRowBuilder::ChannelView TFrameRowBuilder::ViewOf(int channel) const {
    const ChannelView& seen = FChannels[channel - 1];
    if (seen.pointCode >= 0) return seen;
    const TChannelSetup& prepared = ChannelSetup[channel - 1];
    if (prepared.UnitCode == 0) return seen;
    return {prepared.UnitCode, prepared.PointCode};
}

void TFrameRowBuilder::FillRequest(const TFrameEvent& event, TFrameRow& row) {
    FRequest = event;
    FHaveRequest = true;
    row.direction = TFrameDirection::Request;
    row.bytes = event.bytes;
    row.header = event.transportHeader;
    row.length = int(event.bytes.size());
    row.crc =
        Crc16(Data(event.bytes), uint16_t(row.length)) == 0 ? TFrameCrc::Good : TFrameCrc::Bad;
    row.address = RequestAddress(event);
    FillCommonOfRequest(row);
    row.meaning = event.byHand ? event.message : RequestMeaning(event);
}

// Protocol and command of the answer's request, and how long the answer took.
void TFrameRowBuilder::FillCommonOfRequest(TFrameRow& row) const {
    if (!FHaveRequest) return;
    row.protocol = FRequest.modbus ? 1 : 0;
    // A frame sent by hand is none of the instrument's commands.
    row.command = FRequest.byHand ? -1 : FRequest.command;
}

void TFrameRowBuilder::FillAnswer(const TFrameEvent& event, TFrameRow& row) {
    row.direction = TFrameDirection::Answer;
    row.bytes = event.bytes;
    row.header = event.transportHeader;
    row.length = int(event.bytes.size());
    row.crc = event.kind == TFrameEvent::Kind::Answer ? TFrameCrc::Good : TFrameCrc::Bad;
    row.pieces = event.pieces;
    row.spreadMs = double(event.spreadNs) / 1e6;
    FillCommonOfRequest(row);
    if (!FHaveRequest) {
        row.error = row.crc == TFrameCrc::Bad;
        return;
    }
    row.latencyMs = double(event.atNs - FRequest.atNs) / 1e6;
    row.address = FrameAddress(event.bytes, FRequest.modbus);
    // The sender of a frame sent by hand has read its answer already.
    if (event.byHand) {
        row.meaning = event.message;
        row.error = event.handError || row.crc == TFrameCrc::Bad;
        return;
    }

    protocol::RequestFrame request;
    request.command = FRequest.command;
    request.code = FRequest.code;
    request.bytes.assign(Data(FRequest.bytes), Data(FRequest.bytes) + FRequest.bytes.size());
    request.lengthIn = FRequest.lengthIn;
    request.modbus = FRequest.modbus;
    const protocol::Answer answer = protocol::TakeAnswer(request, Data(event.bytes), row.length);
    if (answer.Ok()) {
        row.meaning = AnswerMeaning(answer.bytes.data(), answer.length, row.error);
    } else {
        row.meaning = CheckText(answer.check, row.length, FRequest.lengthIn);
        row.error = true;
    }
    // Bytes beyond the answer stay in the port until the next request purges them.
    if (event.available > row.length)
        row.meaning += tr(" (ещё %1 байт в порту)").arg(event.available - row.length);
}

void TFrameRowBuilder::FillTimeout(const TFrameEvent& event, TFrameRow& row) const {
    row.direction = TFrameDirection::Timeout;
    row.length = event.available;
    row.pieces = event.pieces;
    row.spreadMs = double(event.spreadNs) / 1e6;
    row.error = true;
    FillCommonOfRequest(row);
    if (FHaveRequest) {
        row.latencyMs = double(event.atNs - FRequest.atNs) / 1e6;
        row.address = RequestAddress(FRequest);
    }
    row.meaning = event.available == 0 ? tr("нет ответа")
                                       : tr("неполный ответ: %1 из %2 байт")
                                             .arg(event.available)
                                             .arg(FHaveRequest ? FRequest.lengthIn : 0);
}

// The checked answer (QV form, or Modbus layout for the reads decoded that way) in words.
// `refused` is set when the instrument says it cannot do what was asked.
QString TFrameRowBuilder::AnswerMeaning(const uint8_t* a, int length, bool& refused) {
    const auto refusal = [&refused](const QString& text) {
        refused = true;
        return text;
    };
    const auto command = TListComand(FRequest.command);
    const protocol::Protocol form =
        FRequest.modbus ? protocol::Protocol::Modbus : protocol::Protocol::Qv;
    const int channel = ByteAt(FRequest.data, 0);
    const bool knownChannel = channel >= 1 && channel <= 3;
    switch (command) {
        case GetAdr:
            if (const auto v = protocol::DecodeAddress(a, length)) return tr("адрес %1").arg(*v);
            break;
        case GetPar:
            if (const auto v = protocol::DecodeParameter(a, length)) {
                if (!v->exists) return refusal(tr("параметр отсутствует"));
                if (knownChannel) FChannels[channel - 1] = {v->unitCode, v->pointCode};
                return tr("шкала %1").arg(WithUnit(Scaled(v->scale, v->pointCode), v->unitCode));
            }
            break;
        case GetVal:
            if (const auto v = protocol::DecodeReading(a, length)) {
                if (!v->exists) return refusal(tr("параметр отсутствует"));
                const ChannelView view = knownChannel ? ViewOf(channel) : ChannelView{};
                return WithUnit(Scaled(v->value, view.pointCode), view.unitCode);
            }
            break;
        case GetYear:
            if (const auto v = protocol::DecodeSerialAndYear(a, length))
                return tr("номер %1, год %2, параметров %3")
                    .arg(Utf8(protocol::SerialNumberText(*v)), Utf8(protocol::YearText(*v)))
                    .arg(v->parameterCount);
            break;
        case GetBright:
            if (const auto v = protocol::DecodeBrightness(a, length))
                return tr("яркость %1").arg(*v);
            break;
        case GetInfo:
            if (const auto v = protocol::DecodeInfoText(a, length))
                return tr("«%1»").arg(Utf8(*v).trimmed());
            break;
        case GetUst1:
        case GetUst2:
            if (const auto v = protocol::DecodeSetpoint(a, length, form, FSetpointFormat))
                return tr("уставка %1").arg(*v);
            break;
        case GetVersForUst1:
        case GetVersForUst2:
        case GetVersForUst11:
        case GetVersForUst22:
            if (const auto v = protocol::DecodeSetpointFormat(a, length, form)) {
                FSetpointFormat = *v;
                return SetpointFormatText(*v);
            }
            break;
        case GetIEC:
            if (const auto v = protocol::DecodeIecFraming(a, length))
                return tr("общий адрес %1, адрес объекта %2, причина %3, тип %4")
                    .arg(v->commonAddressSize)
                    .arg(v->objectAddressSize)
                    .arg(v->causeSize)
                    .arg(v->type);
            break;
        case GetSpeakerMode:
            if (const auto v = protocol::DecodeAlarmMode(a, length))
                return tr("режим сигнализации %1").arg(*v);
            break;
        case GetRelayParams: {
            const auto r1 = protocol::DecodeRelayParams(a, length, 1);
            const auto r2 = protocol::DecodeRelayParams(a, length, 2);
            if (r1 && r2) return RelayText(*r1, 1) + QStringLiteral("; ") + RelayText(*r2, 2);
            break;
        }
        case GetRelayGist: {
            const auto h1 = protocol::DecodeRelayHysteresis(a, length, 1);
            const auto h2 = protocol::DecodeRelayHysteresis(a, length, 2);
            if (h1 && h2)
                return tr("гистерезис: реле 1 %1, реле 2 %2")
                    .arg(QString::number(*h1, 'g', 7), QString::number(*h2, 'g', 7));
            break;
        }
        case GetTypeProt:
            if (const auto v = protocol::DecodeProtocolAnswer(a, length))
                return tr("адрес %1, протокол %2")
                    .arg(v->address)
                    .arg(v->protocol == protocol::Protocol::Qv ? QStringLiteral("QV")
                                                               : QStringLiteral("Modbus RTU"));
            break;
        default:
            if (!IsWrite(command)) break;
            // A Modbus write is refused only by an exception; a QV write says so in its result.
            if (FRequest.modbus) return tr("принято");
            if (const auto v = protocol::DecodeWriteResult(a, length)) {
                if (*v == protocol::WriteAccepted) return tr("принято");
                if (*v == protocol::NumberCannotChange) return refusal(tr("номер изменить нельзя"));
                return tr("результат %1").arg(*v);
            }
            break;
    }
    return QString();
}

QString FrameDirectionText(TFrameDirection direction) {
    switch (direction) {
        case TFrameDirection::Request:
            return TFrameRowBuilder::tr("запрос");
        case TFrameDirection::Answer:
            return TFrameRowBuilder::tr("ответ");
        case TFrameDirection::Timeout:
            return TFrameRowBuilder::tr("тайм-аут");
        case TFrameDirection::PortError:
            return TFrameRowBuilder::tr("ошибка порта");
    }
    return QString();
}

QString FrameTimeText(qint64 wallMs) {
    return QDateTime::fromMSecsSinceEpoch(wallMs).toString(QStringLiteral("hh:mm:ss.zzz"));
}

QString FrameBytesText(const TFrameRow& row) {
    if (row.header.isEmpty() || row.bytes.size() < 3) return FrameHex(row.bytes);
    return QStringLiteral("MBAP %1 | PDU %2")
        .arg(FrameHex(row.header), FrameHex(row.bytes.mid(1, row.bytes.size() - 3)));
}

QString FrameHex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString FramePiecesText(const TFrameRow& row) {
    if (row.pieces <= 0) return QString();
    if (row.pieces == 1) return QStringLiteral("1");
    return TFrameRowBuilder::tr("%1 за %2 мс").arg(row.pieces).arg(row.spreadMs, 0, 'f', 1);
}

QString FrameLatencyText(const TFrameRow& row) {
    return row.latencyMs < 0 ? QString() : QString::number(row.latencyMs, 'f', 1);
}
