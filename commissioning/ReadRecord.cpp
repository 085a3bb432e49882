#include "commissioning/ReadRecord.h"

#include <QCoreApplication>
#include <QGraphicsOpacityEffect>
#include <QGroupBox>

#include "config/ConfigAnswers.h"
#include "exchange/RequestEnd.h"

namespace {

constexpr double StaleOpacity = 0.35;
const QColor UnreadTitle(0xC0, 0x00, 0x00);

QString Iso(const QDateTime& t) {
    return t.toUTC().toString(Qt::ISODateWithMs);
}

// The reads whose values a write changes on the instrument. A relay's writes carry no relay
// number in their frame, so they count for both relays.
std::vector<TListComand> ReadsChangedBy(TListComand write) {
    switch (write) {
        case SetAdr:
            return {GetAdr};
        case SetYear:
        case SetNumberOfProduce:
        case SetYearMB:
            return {GetYear};
        case SetBright:
            return {GetBright};
        case SetInfo:
            return {GetInfo};
        case SetPar:
            return {GetPar};
        case SetUst1:
        case SetUst11:
            return {GetUst1};
        case SetUst2:
        case SetUst22:
            return {GetUst2};
        case SetIEC:
            return {GetIEC};
        case SetRelayParams:
        case SetRelayGist:
            return {GetRelayParams, GetRelayGist};
        case SetSpeakerMode:
            return {GetSpeakerMode};
        default:
            return {};
    }
}

}  // namespace

TReadRecord::TReadRecord(const TFieldGroupsView& page) : FPage(page) {}

std::optional<TFieldGroup> TReadRecord::GroupOfRead(TListComand command,
                                                    ExchangeStates exchangeState) {
    using G = TFieldGroup;
    switch (command) {
        case GetAdr:
            return G::Address;
        case GetYear:
            return G::Serial;
        case GetBright:
            return G::Brightness;
        case GetInfo:
            return G::Info;
        // While the readings page prepares its panels the answer fills no field.
        case GetPar:
            return exchangeState == ExchangeStates::ReadingPreparation
                       ? std::nullopt
                       : std::optional<TFieldGroup>(G::Parameter);
        case GetUst1:
            return G::SetpointUpper;
        case GetUst2:
            return G::SetpointLower;
        case GetIEC:
            return G::Iec;
        case GetRelayParams:
        case GetRelayGist:
            return G::Relay;
        case GetSpeakerMode:
            return G::Alarm;
        default:
            return std::nullopt;
    }
}

bool TReadRecord::Stale(TFieldGroup group) const {
    const auto& from = FFilledFrom[size_t(group)];
    return from && *from != FSource;
}

// Greyed fields: the values of another source. A red title: the last read-all could not read
// the group (the setpoints share their box, so either one marks it).
void TReadRecord::ShowState(TFieldGroup group) {
    const bool stale = Stale(group);
    for (QWidget* w : FPage.GroupFields(group)) {
        auto* effect = qobject_cast<QGraphicsOpacityEffect*>(w->graphicsEffect());
        if (stale && !effect) {
            effect = new QGraphicsOpacityEffect(w);
            effect->setOpacity(StaleOpacity);
            w->setGraphicsEffect(effect);
        } else if (!stale && effect) {
            w->setGraphicsEffect(nullptr);
        }
    }
    QGroupBox* box = FPage.GroupBox(group);
    QStringList why;
    for (int g = 0; g < FieldGroupCount; ++g)
        if (FMarked[size_t(g)] && FPage.GroupBox(TFieldGroup(g)) == box)
            why << FMarkText[size_t(g)];
    if (why.isEmpty()) {
        box->setPalette(QPalette());
        box->setToolTip(QString());
    } else {
        QPalette red = box->palette();
        red.setColor(QPalette::WindowText, UnreadTitle);
        box->setPalette(red);
        box->setToolTip(why.join(QLatin1Char('\n')));
    }
}

void TReadRecord::Follow(const TSource& source) {
    if (FHasSource && source == FSource) return;
    FSource = source;
    FHasSource = true;
    Clear();
    FMarked.fill(false);
    for (int g = 0; g < FieldGroupCount; ++g) ShowState(TFieldGroup(g));
}

void TReadRecord::Clear() {
    FValues.clear();
    FFirstRead = QDateTime();
    FLastRead = QDateTime();
}

bool TReadRecord::Empty() const {
    for (const auto& [key, value] : FValues)
        if (value) return false;
    return true;
}

bool TReadRecord::HasAny(const std::vector<std::string>& keys) const {
    for (const std::string& key : keys) {
        const auto it = FValues.find(key);
        if (it != FValues.end() && it->second) return true;
    }
    return false;
}

void TReadRecord::Take(const TRequestEnd& end, uint16_t setpointFormat) {
    const std::vector<TListComand> changed = ReadsChangedBy(end.command);
    if (!changed.empty()) {
        // Taken, or perhaps taken: what was read is no longer known to be so.
        if (end.outcome != TRequestOutcome::Refused)
            for (TListComand read : changed)
                for (const std::string& key : config::KeysOfRead(read, end.firstData))
                    FValues.erase(key);
        return;
    }
    const bool answered = end.outcome == TRequestOutcome::Answered;
    if (!answered && end.outcome != TRequestOutcome::Refused) return;
    const int channel = end.command == GetPar ? end.firstData : 0;
    const config::InstrumentConfig values =
        answered
            ? config::ConfigFromAnswer(
                  end.command, channel, end.answer, end.length,
                  end.modbus ? protocol::Protocol::Modbus : protocol::Protocol::Qv, setpointFormat)
            : config::AbsentKeys(end.command, channel);
    if (values.empty()) return;
    bool gave = false;
    for (const auto& [key, value] : values) {
        FValues[key] = value;
        gave = gave || value.has_value();
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (!FFirstRead.isValid()) FFirstRead = now;
    FLastRead = now;
    const auto group = GroupOfRead(end.command, end.exchangeState);
    if (!gave || !group) return;
    FFilledFrom[size_t(*group)] = FSource;
    FMarked[size_t(*group)] = false;
    ShowState(*group);
}

void TReadRecord::MarkUnread(TFieldGroup group, const QString& why) {
    FMarked[size_t(group)] = true;
    FMarkText[size_t(group)] =
        QCoreApplication::translate("TReadRecord", "Не прочитано: %1").arg(why);
    ShowState(group);
}

std::string TReadRecord::FileText() const {
    config::InstrumentConfig config;
    for (const config::KeyInfo& key : config::ConfigKeys()) {
        const auto it = FValues.find(key.name);
        config[key.name] = it == FValues.end() ? std::nullopt : it->second;
    }
    config["protocol"] = std::string(FSource.ProtocolName());
    // The header is comment lines, which no reader of the file interprets: its words follow
    // the display language, its "source:" and "read:" lines stay as they are.
    const QString header =
        QCoreApplication::translate("TReadRecord", "Tessera_RS-485: конфигурация прибора") +
        QStringLiteral(
            "\nsource: port=%1 baud=%2 address=%3 protocol=%4\n"
            "read: %5 .. %6\n")
            .arg(FSource.port)
            .arg(FSource.baud)
            .arg(FSource.address)
            .arg(QLatin1String(FSource.ProtocolName()), Iso(FFirstRead), Iso(FLastRead)) +
        QCoreApplication::translate("TReadRecord", "\"absent\": значение не прочитано из прибора");
    return config::FormatConfig(config, header.toStdString());
}
