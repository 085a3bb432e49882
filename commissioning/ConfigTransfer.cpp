#include "commissioning/ConfigTransfer.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "commissioning/AddressProbe.h"
#include "commissioning/Commissioning.h"
#include "commissioning/ConfigPreview.h"
#include "config/ConfigPlan.h"
#include "exchange/Thread1.h"
#include "exchange/typeCMD.h"
#include "operations/Desktop.h"
#include "operations/InstrumentOperations.h"
#include "operations/WindowHost.h"
#include "protocol/Requests.h"

namespace {

using config::PlannedWrite;
using config::WriteKind;

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

QString StepName(const PlannedWrite& pw) {
    switch (pw.kind) {
        case WriteKind::Parameter:
            return TConfigTransfer::tr("Пар. %1").arg(pw.index);
        case WriteKind::Info:
            return TConfigTransfer::tr("Доп. информация");
        case WriteKind::Brightness:
            return TConfigTransfer::tr("Яркость");
        case WriteKind::Setpoint:
            return pw.index == 1 ? TConfigTransfer::tr("Уставка max")
                                 : TConfigTransfer::tr("Уставка min");
        case WriteKind::Iec:
            return TConfigTransfer::tr("МЭК-101");
        case WriteKind::Alarm:
            return TConfigTransfer::tr("Сигнализация");
        case WriteKind::RelayParams:
            return TConfigTransfer::tr("Реле %1").arg(pw.index);
        case WriteKind::RelayHysteresis:
            return TConfigTransfer::tr("Реле %1: гистерезис").arg(pw.index);
        case WriteKind::Serial:
            return TConfigTransfer::tr("Заводской номер");
        case WriteKind::Speed:
            return TConfigTransfer::tr("Скорость RS%1").arg(pw.index);
        case WriteKind::Address:
            return TConfigTransfer::tr("Сетевой адрес");
        case WriteKind::Protocol:
            return TConfigTransfer::tr("Протокол");
    }
    return QString();
}

// The serial number as the page writes it in Modbus RTU: the number, then (the chain's second
// request) the year taken from the field's first two digits.
void WriteSerial(TInstrumentOperations& w, TWindowHost& host, const PlannedWrite& pw) {
    const int number = int(pw.Integer("serial.number"));
    const int year = int(pw.Integer("serial.year")) - 2000;
    if (!host.InstrumentSpeaksModbus()) {
        w.Send(protocol::WriteSerialAndYearQv(year, number));
        return;
    }
    if (year < 0 || year > 99) {
        host.ShowError(
            TConfigTransfer::tr("Год выпуска %1 не записывается в ModBus RTU").arg(year + 2000));
        return;
    }
    w.SetSerialDigitsToFollow(QStringLiteral("%1%2")
                                  .arg(year, 2, 10, QLatin1Char('0'))
                                  .arg(number, 4, 10, QLatin1Char('0')));
    ExchangeState = ExchangeStates::SerialThenYear;
    w.Send(protocol::WriteSerialNumber(number));
    if (!RequestOnItsWay()) ExchangeState = ExchangeStates::Single;
}

// Relay mode and delay; the page's chain writes the hysteresis after them from its field, so
// the field gets the value the relay is to keep.
void WriteRelay(TInstrumentOperations& w, TWindowHost& host, const PlannedWrite& pw,
                const QString& hysteresis) {
    if (hysteresis.isEmpty()) {
        host.ShowError(TConfigTransfer::tr("Реле %1: гистерезис не прочитан и не задан в файле")
                           .arg(pw.index));
        return;
    }
    const std::string g = pw.group;
    w.ChooseRelay(pw.index);
    w.SetRelayHysteresisToFollow(hysteresis);
    w.Send(protocol::WriteRelayParams(pw.index, uint8_t(pw.Integer(g + ".mode")),
                                      int16_t(pw.Integer(g + ".delay"))));
}

void SwitchProtocol(TInstrumentOperations& w, TWindowHost& host) {
    const uint16_t address = uint16_t(std::max(0, host.InstrumentAddress()));
    const protocol::Protocol now =
        host.InstrumentSpeaksModbus() ? protocol::Protocol::Modbus : protocol::Protocol::Qv;
    if (!protocol::SwitchAddressValid(address, now)) {
        host.ShowError(QCoreApplication::translate("Tz", "Неверно указан адрес устройства"));
        return;
    }
    w.Send(protocol::SwitchProtocol(address, now));
}

void Start(TInstrumentOperations& w, TWindowHost& host, const PlannedWrite& pw,
           const QString& hysteresis) {
    const std::string g = pw.group;
    switch (pw.kind) {
        case WriteKind::Parameter:
            w.Send(protocol::WriteParameter(pw.index, pw.Number(g + ".scale"),
                                            uint8_t(pw.Integer(g + ".unit")),
                                            uint8_t(pw.Integer(g + ".point"))));
            break;
        case WriteKind::Info:
            w.Send(protocol::WriteInfo(pw.Text("info")));
            break;
        case WriteKind::Brightness:
            w.Send(protocol::WriteBrightness(int(pw.Integer("brightness"))));
            break;
        case WriteKind::Setpoint:
            // The page's chain: the format query, then the write in the instrument's format.
            if (pw.index == 1)
                w.WriteSetpointUpper(Text(pw.Text(g)));
            else
                w.WriteSetpointLower(Text(pw.Text(g)));
            break;
        case WriteKind::Iec: {
            w.Send(protocol::WriteIecFraming(pw.IecFraming()));
            break;
        }
        case WriteKind::Alarm:
            w.Send(protocol::WriteAlarmMode(int(pw.Integer("alarm.mode"))));
            break;
        case WriteKind::RelayParams:
            WriteRelay(w, host, pw, hysteresis);
            break;
        case WriteKind::RelayHysteresis:
            w.ChooseRelay(pw.index);
            w.Send(protocol::WriteRelayHysteresis(pw.index, pw.Number(g + ".hysteresis")));
            break;
        case WriteKind::Serial:
            WriteSerial(w, host, pw);
            break;
        case WriteKind::Speed:
            w.Send(protocol::WriteSpeed(pw.index, protocol::SpeedCode(int32_t(pw.Integer(g)))));
            break;
        case WriteKind::Address:
            w.Send(protocol::WriteAddress(uint16_t(pw.Integer("address"))));
            break;
        case WriteKind::Protocol:
            SwitchProtocol(w, host);
            break;
    }
}

QString Shown(const std::optional<std::string>& value) {
    return value ? Text(*value) : TConfigTransfer::tr("нет значения");
}

}  // namespace

std::vector<TSequenceStep> WriteSteps(TInstrumentOperations& w, TWindowHost& host,
                                      const config::ConfigPlan& plan,
                                      const config::InstrumentConfig& file) {
    std::vector<TSequenceStep> steps;
    // A new address is asked before anything is written: an instrument answering there would
    // share it, and a file refused for it leaves the instrument as it was.
    for (const PlannedWrite& pw : plan.Writes())
        if (pw.kind == WriteKind::Address)
            steps.push_back(AddressFreeStep(w, uint16_t(pw.Integer("address"))));
    for (const PlannedWrite& pw : plan.Writes()) {
        QString hysteresis;
        if (pw.kind == WriteKind::RelayParams) {
            const std::string key = pw.group + ".hysteresis";
            const auto value = plan.Wanted(key) ? file.at(key) : plan.Current(key);
            if (value) hysteresis = Text(*value);
        }
        TSequenceStep step;
        step.name = StepName(pw);
        step.start = [&w, &host, pw, hysteresis] { Start(w, host, pw, hysteresis); };
        if (pw.kind == WriteKind::Address) {
            // Later requests go to the new address, as after the operator typed it.
            const uint16_t address = uint16_t(pw.Integer("address"));
            step.done = [&w, address] { w.UseAddress(address); };
        }
        steps.push_back(std::move(step));
    }
    return steps;
}

TConfigTransfer::TConfigTransfer(TInstrumentOperations& instrument, TWindowHost& host,
                                 TDesktop& desktop, TCommissioning& owner)
    : QObject(&owner), FInstrument(instrument), FHost(host), FDesktop(desktop), FOwner(owner) {}

TConfigTransfer::~TConfigTransfer() = default;

bool TConfigTransfer::Save(const QString& path, QString& error) {
    if (FOwner.Record().Empty()) {
        error = tr("Нечего сохранять: из прибора ещё ничего не прочитано.");
        return false;
    }
    QFile file(path);
    const QByteArray text = QByteArray::fromStdString(FOwner.Record().FileText());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size() ||
        !file.flush()) {
        error = tr("Не удалось записать файл %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

// The instrument as read: the record's values and the protocol it answered in.
config::InstrumentConfig TConfigTransfer::Instrument() const {
    config::InstrumentConfig c = FOwner.Record().Values();
    c["protocol"] = std::string(FOwner.Record().Source().ProtocolName());
    return c;
}

void TConfigTransfer::End(const QString& report, bool problem) {
    FBusy = false;
    FPlan.reset();
    emit Finished(report, problem);
}

void TConfigTransfer::Load(const QString& path) {
    if (FBusy) return;
    // Only a regular file of a configuration file's size: a FIFO would block the window for
    // good, a device would fill the memory.
    try {
        FFile = config::ParseConfig(config::ReadConfigFile(QFile::encodeName(path).toStdString()));
    } catch (const std::exception& e) {
        emit Finished(tr("Файл %1 не прочитан: %2").arg(path, QString::fromUtf8(e.what())), true);
        return;
    }
    FPath = path;
    FBusy = true;
    FWrites.clear();
    if (!FOwner.ReadAll([this] { AfterFirstRead(); }))
        End(tr("Загрузка не начата: порт не открыт или идёт обмен с прибором."), true);
}

void TConfigTransfer::AfterFirstRead() {
    if (FOwner.Sequence().Stopped()) {
        End(tr("Загрузка остановлена: ничего не записано."), false);
        return;
    }
    if (FOwner.Record().Empty()) {
        End(tr("Прибор не отвечает: без его значений записывать нельзя, ничего не "
               "записано."),
            true);
        return;
    }
    const config::InstrumentConfig instrument = Instrument();
    const TSource& source = FOwner.Record().Source();
    TConfigPreview preview(
        QFileInfo(FPath).fileName(),
        tr("адрес %1, %2, %3, %4 бит/с")
            .arg(source.address)
            .arg(source.modbus ? QStringLiteral("ModBus RTU") : QStringLiteral("QV"), source.port)
            .arg(source.baud),
        PreviewRows(FFile, instrument), FHost.Window());
    const bool confirmed = FDesktop.RunModal(preview) == QDialog::Accepted;
    const std::vector<std::string> keys = preview.TickedKeys();
    if (!confirmed || keys.empty()) {
        bool differs = false;
        for (const TPreviewRow& row : preview.Rows())
            differs = differs || row.state == TPreviewState::Write;
        const QString readOnly = TConfigPreview::ReadOnlyDifferenceText(preview.Rows());
        if (confirmed && !differs && !readOnly.isEmpty()) {
            End(tr("Записывать нечего.") + QLatin1Char(' ') + readOnly, true);
            return;
        }
        End(!confirmed ? tr("Загрузка отменена: ничего не записано.")
            : !differs ? tr("Записывать нечего: прибор уже настроен как в файле.")
                       : tr("Ничего не отмечено: ничего не записано."),
            false);
        return;
    }
    try {
        FPlan = std::make_unique<config::ConfigPlan>(FFile, instrument, keys);
    } catch (const std::exception& e) {
        End(tr("Запись невозможна: %1. Ничего не записано.").arg(QString::fromUtf8(e.what())),
            true);
        return;
    }
    FOwner.RunSequence(WriteSteps(FInstrument, FHost, *FPlan, FFile), tr("Запись"), true,
                       [this] { AfterWrites(); });
}

void TConfigTransfer::AfterWrites() {
    FWrites = FOwner.Sequence().Reports();
    // A free address asked before it is written is no write of its own; a taken one ends
    // the writes and is reported as their failure.
    FWrites.erase(std::remove_if(FWrites.begin(), FWrites.end(),
                                 [](const TRequestSequence::Report& r) {
                                     return r.tag == AddressProbeTag &&
                                            r.result == TStepResult::Done;
                                 }),
                  FWrites.end());
    const bool failed = !FWrites.empty() && FWrites.back().result != TStepResult::Done;
    if (FOwner.Sequence().Stopped() && !failed) {
        End(tr("Запись остановлена после %1 из %2 шагов; прибор не сверен с файлом.")
                .arg(FWrites.size())
                .arg(FPlan->Writes().size()),
            true);
        return;
    }
    if (!FOwner.ReadAll([this] { AfterReadBack(); }))
        End(tr("Записанное не прочитано обратно."), true);
}

void TConfigTransfer::AfterReadBack() {
    QStringList lines;
    const TRequestSequence::Report last =
        FWrites.empty() ? TRequestSequence::Report{} : FWrites.back();
    const bool failed = last.result != TStepResult::Done;
    QStringList written;
    for (const auto& r : FWrites)
        if (r.result == TStepResult::Done) written << r.name;
    lines << tr("Записано %1 из %2: %3.")
                 .arg(written.size())
                 .arg(FPlan->Writes().size())
                 .arg(written.isEmpty() ? tr("ничего") : written.join(QStringLiteral(", ")));
    if (failed)
        lines << tr("Запись прервана на шаге «%1»: %2%3.")
                     .arg(last.name, StepResultText(last.result),
                          last.message.isEmpty() ? QString()
                                                 : QStringLiteral(" (%1)").arg(last.message));
    const config::InstrumentConfig after = Instrument();
    const config::ConfigPlan::ReadBack check = FPlan->Compare(after);
    const std::vector<config::ReadOnlyDifference> readOnly =
        config::ReadOnlyDifferences(FFile, after);
    if (check.differences.empty() && readOnly.empty()) {
        lines << tr("Прочитано обратно: прибор совпадает с файлом.");
    } else if (check.differences.empty()) {
        lines << tr("Прочитано обратно: записанное совпадает с файлом.");
    } else {
        lines << tr("Прочитано обратно, отличается от файла:");
        for (const std::string& key : check.differences) {
            const auto it = after.find(key);
            lines << tr("  %1 (%2): в файле %3, в приборе %4")
                         .arg(KeyLabel(key), Text(key), Shown(FFile.at(key)),
                              Shown(it == after.end() ? std::nullopt : it->second));
        }
    }
    for (const config::ReadOnlyDifference& d : readOnly)
        lines << tr("  %1 (%2) не записывается: в файле %3, в приборе %4")
                     .arg(KeyLabel(d.key), Text(d.key), QString::fromStdString(d.file),
                          QString::fromStdString(d.instrument));
    if (!check.unverifiable.empty()) {
        QStringList keys;
        for (const std::string& key : check.unverifiable) keys << Text(key);
        lines << tr("Не проверить чтением: %1.").arg(keys.join(QStringLiteral(", ")));
    }
    End(lines.join(QLatin1Char('\n')), failed || !check.differences.empty() || !readOnly.empty());
}
