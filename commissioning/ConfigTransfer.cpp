#include "commissioning/ConfigTransfer.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "commissioning/AddressProbe.h"
#include "commissioning/Commissioning.h"
#include "commissioning/ConfigPreview.h"
#include "config/ConfigError.h"
#include "config/ConfigPlan.h"
#include "config/ConfigWrites.h"
#include "operations/Desktop.h"
#include "operations/InstrumentOperations.h"
#include "operations/WindowHost.h"
#include "protocol/Requests.h"

namespace {

using config::PlannedWrite;

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

// The name a write's steps are shown by.
QString StepName(const PlannedWrite& pw) {
    const std::string name = config::WriteName(pw);
    if (name == "param") return TConfigTransfer::tr("Пар. %1").arg(pw.index);
    if (name == "info") return TConfigTransfer::tr("Доп. информация");
    if (name == "brightness") return TConfigTransfer::tr("Яркость");
    if (name == "setpoint.upper") return TConfigTransfer::tr("Уставка max");
    if (name == "setpoint.lower") return TConfigTransfer::tr("Уставка min");
    if (name == "iec") return TConfigTransfer::tr("МЭК-101");
    if (name == "alarm") return TConfigTransfer::tr("Сигнализация");
    if (name == "relay") return TConfigTransfer::tr("Реле %1").arg(pw.index);
    if (name == "relay.hysteresis") return TConfigTransfer::tr("Реле %1: гистерезис").arg(pw.index);
    if (name == "serial") return TConfigTransfer::tr("Заводской номер");
    if (name == "speed") return TConfigTransfer::tr("Скорость RS%1").arg(pw.index);
    if (name == "address") return TConfigTransfer::tr("Сетевой адрес");
    if (name == "protocol") return TConfigTransfer::tr("Протокол");
    return Text(name);
}

// One request of a write, sent as the page sends it; the relay requests name the relay the
// page's relay box shows.
void Send(TInstrumentOperations& w, const protocol::Request& request) {
    if (request.command == SetRelayParams || request.command == SetRelayGist)
        w.ChooseRelay(request.relay);
    w.Send(request);
}

QString Shown(const std::optional<std::string>& value) {
    return value ? Text(*value) : TConfigTransfer::tr("нет значения");
}

}  // namespace

std::vector<TSequenceStep> WriteSteps(TInstrumentOperations& w, TWindowHost& host,
                                      const config::ConfigPlan& plan) {
    // Every write's requests, made for the address and protocol the writes before it leave.
    uint16_t address = uint16_t(std::max(0, host.InstrumentAddress()));
    protocol::Protocol protocol =
        host.InstrumentSpeaksModbus() ? protocol::Protocol::Modbus : protocol::Protocol::Qv;
    std::vector<TSequenceStep> probes;
    std::vector<TSequenceStep> steps;
    const std::vector<PlannedWrite>& writes = plan.Writes();
    for (size_t i = 0; i < writes.size(); ++i) {
        const QString name = StepName(writes[i]);
        config::WriteRequests write;
        try {
            write = config::RequestsOf(writes[i], protocol, address);
        } catch (const config::ConfigError&) {
            // Refused for the address it would go to: the step shows why, nothing goes out,
            // and the writes end there.
            TSequenceStep refused;
            refused.name = name;
            refused.tag = int(i);
            refused.start = [&host] {
                host.ShowError(
                    QCoreApplication::translate("Tz", "Неверно указан адрес устройства"));
            };
            steps.push_back(std::move(refused));
            break;
        }
        // A new address is asked before anything is written: an instrument answering there
        // would share it, and a file refused for it leaves the instrument as it was.
        if (write.newAddress) probes.push_back(AddressFreeStep(w, *write.newAddress));
        for (size_t r = 0; r < write.requests.size(); ++r) {
            TSequenceStep step;
            step.name = name;
            step.tag = int(i);
            step.start = [&w, request = write.requests[r]] { Send(w, request); };
            if (write.newAddress && r + 1 == write.requests.size()) {
                // Later requests go to the new address, as after the operator typed it.
                step.done = [&w, to = *write.newAddress] { w.UseAddress(to); };
            }
            steps.push_back(std::move(step));
        }
        if (write.newAddress) address = *write.newAddress;
        if (write.newProtocol) protocol = *write.newProtocol;
    }
    probes.insert(probes.end(), std::make_move_iterator(steps.begin()),
                  std::make_move_iterator(steps.end()));
    return probes;
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
    std::vector<TSequenceStep> steps = WriteSteps(FInstrument, FHost, *FPlan);
    FStepsOfWrite.assign(FPlan->Writes().size(), 0);
    for (const TSequenceStep& step : steps)
        if (step.tag >= 0) ++FStepsOfWrite[size_t(step.tag)];
    FOwner.RunSequence(std::move(steps), tr("Запись"), true, [this] { AfterWrites(); });
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
                .arg(Written().size())
                .arg(FPlan->Writes().size()),
            true);
        return;
    }
    if (!FOwner.ReadAll([this] { AfterReadBack(); }))
        End(tr("Записанное не прочитано обратно."), true);
}

// The writes made whole: every request of theirs done.
QStringList TConfigTransfer::Written() const {
    std::vector<int> done(FStepsOfWrite.size(), 0);
    QStringList names;
    for (const TRequestSequence::Report& r : FWrites) {
        if (r.tag < 0 || size_t(r.tag) >= done.size() || r.result != TStepResult::Done) continue;
        if (++done[size_t(r.tag)] == FStepsOfWrite[size_t(r.tag)]) names << r.name;
    }
    return names;
}

void TConfigTransfer::AfterReadBack() {
    QStringList lines;
    const TRequestSequence::Report last =
        FWrites.empty() ? TRequestSequence::Report{} : FWrites.back();
    const bool failed = last.result != TStepResult::Done;
    const QStringList written = Written();
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
