#include "commissioning/Commissioning.h"

#include <QAction>
#include <QEvent>
#include <QFileDialog>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <utility>

#include "commissioning/ConfigTransfer.h"
#include "commissioning/PlotWindow.h"
#include "controls/StandardIcon.h"
#include "exchange/Channels.h"
#include "exchange/RequestEnd.h"
#include "exchange/Thread1.h"
#include "lineowner/LineOwner.h"
#include "operations/Desktop.h"
#include "operations/InstrumentOperations.h"
#include "operations/WindowHost.h"
#include "protocol/NumberText.h"
#include "protocol/Units.h"
#include "serial/SerialPort.h"

namespace {

// The toolbar keeps a place for one more button after its own, and a gap as wide as a
// button before this one.
constexpr int ButtonsBefore = 3;

}  // namespace

TCommissioning::TCommissioning(TWindowHost& host, TInstrumentOperations& instrument,
                               const TFieldGroupsView& page, TDesktop& desktop)
    : QObject(host.Window()),
      FWindow(host),
      FInstrument(instrument),
      FDesktop(desktop),
      FRecord(page),
      FSequence(
          new TRequestSequence([&host] { return host.LineOwner().MainExchangeBusy(); }, this)),
      FTransfer(nullptr) {
    setObjectName(QStringLiteral("Commissioning"));
    FTransfer = new TConfigTransfer(instrument, host, desktop, *this);
    BuildMenu();
    connect(FSequence, &TRequestSequence::Progress, this,
            [this](const QString& text) { FWindow.ShowStatus(text); });
    connect(FSequence, &TRequestSequence::Finished, this, &TCommissioning::SequenceFinished);
    connect(FTransfer, &TConfigTransfer::Finished, this, &TCommissioning::Report);
    connect(host.Window(), &QWidget::windowTitleChanged, this, &TCommissioning::FollowSource);
    host.WhenInstrumentMayChange(this, [this] { FollowSource(); });
    // The operator's own exchanges (the settings dialog closes the port; the search and the
    // protocol switch replace the request) end a series: no further step is started.
    host.WhenOwnExchangeStarts(this, [this] { Stop(); });
}

TCommissioning::~TCommissioning() {
    FLog.Stop();
    delete FPlotWindow;  // it draws from FPlot
}

QAction* TCommissioning::Action(const char* objectName) const {
    return findChild<QAction*>(QLatin1String(objectName));
}

void TCommissioning::BuildMenu() {
    FButton = new QToolButton;
    FButton->setObjectName(QStringLiteral("ToolButtonService"));
    FButton->setText(tr("Сервис"));
    FButton->setToolTip(tr("Прочитать всё, файлы конфигурации, график и запись показаний"));
    FButton->setIcon(
        controls::StandardIcon(*FWindow.Window()->style(), QStyle::SP_FileDialogListView));
    FButton->setPopupMode(QToolButton::InstantPopup);
    FButton->setToolTipDuration(5000);
    FWindow.AddToolButton(FButton, ButtonsBefore);

    FMenu = new QMenu(FButton);
    auto add = [this](const char* name, const QString& text, auto slot,
                      QKeySequence keys = QKeySequence()) {
        auto* action = new QAction(text, this);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(keys);
        FMenu->addAction(action);
        FWindow.Window()->addAction(action);  // the shortcut works without opening the menu
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    add(
        "ActionReadAll", tr("Прочитать всё"), [this] { ReadAll(); }, QKeySequence(Qt::Key_F5));
    add("ActionStop", tr("Остановить чтение или запись"), [this] { Stop(); })->setEnabled(false);
    FMenu->addSeparator();
    add("ActionSaveConfig", tr("Сохранить конфигурацию…"), [this] { SaveConfigAs(); });
    add("ActionLoadConfig", tr("Загрузить конфигурацию…"), [this] { LoadConfigFrom(); });
    FMenu->addSeparator();
    add("ActionPlot", tr("График"), [this] { ShowPlot(); });
    QAction* log =
        add("ActionLog", tr("Запись показаний в CSV…"), [this](bool on) { ToggleLog(on); });
    log->setCheckable(true);
    FButton->setMenu(FMenu);

    FStopButton = new QToolButton(FWindow.Window());
    FStopButton->setObjectName(QStringLiteral("SequenceStop"));
    FStopButton->setText(tr("Стоп"));
    FStopButton->setIcon(controls::StandardIcon(*FWindow.Window()->style(), QStyle::SP_MediaStop));
    FStopButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    // In the status bar only while a series runs, so that it leaves the bar as it was.
    FStopButton->hide();
    connect(FStopButton, &QToolButton::clicked, this, &TCommissioning::Stop);
}

TSource TCommissioning::CurrentSource() const {
    TSource s;
    s.port = FWindow.Port().Port();
    s.baud = FWindow.Baud();
    s.address = uint16_t(std::max(0, FWindow.InstrumentAddress()));
    s.modbus = FWindow.InstrumentSpeaksModbus();
    return s;
}

// Only between the window's activation and its end is there an instrument to talk to (the
// window's own teardown moves the focus and would ask again).
void TCommissioning::FollowSource() {
    if (FWindow.InstrumentAddress() >= 0) FRecord.Follow(CurrentSource());
}

void TCommissioning::RequestEnded(const TRequestEnd& end) {
    FollowSource();
    FRecord.Take(end, SetpointFormat);
    FSequence->RequestEnded(end);
}

void TCommissioning::ReadingShown(int panel, uint8_t pointCode, double value) {
    if (panel < 1 || panel > 3) return;
    // Every reading goes to the plot; the texts and the date only when the log is written.
    const int unitCode = ChannelSetup[panel - 1].UnitCode;
    const int64_t nowMs = QDateTime::currentMSecsSinceEpoch();
    FPlot.Add(panel, nowMs, value, protocol::UnitName(unitCode));
    if (FPlotWindow) FPlotWindow->ReadingsChanged();
    if (!FLog.Active()) return;
    const QDateTime now = QDateTime::fromMSecsSinceEpoch(nowMs, Qt::UTC);
    const QString unit = UnitName(unitCode);
    QString error;
    const QString text = QString::fromStdString(protocol::ReadingText(value, pointCode));
    if (!FLog.Add(now, panel, text, unit, error)) {
        StopLog();
        FWindow.ShowStatus(error);
        FWindow.ShowError(error);
    }
}

bool TCommissioning::TakeErrorBox(const QString& text) {
    return FSequence->TakeError(text);
}

bool TCommissioning::Busy() const {
    return FSequence->Running();
}

// The line is claimed through the main window's exchange: its polling gives way (a request of
// it still unanswered is waited for before the first step), and a request of the operator's
// still under way refuses the start.
bool TCommissioning::PrepareToStart() {
    if (Busy()) return false;
    if (FWindow.InstrumentAddress() < 0 || !FWindow.Port().Connected()) {
        FWindow.ShowStatus(tr("Порт %1 не открыт").arg(FWindow.Port().Port()));
        return false;
    }
    TLineOwner& owner = FWindow.LineOwner();
    const QString name = FTransfer->Busy() ? tr("Запись конфигурации") : tr("Прочитать всё");
    if (!owner.Claim(this, name, TLineOwner::Way::MainExchange)) {
        FWindow.ShowStatus(owner.Refusal());
        return false;
    }
    return true;
}

bool TCommissioning::RunSequence(std::vector<TSequenceStep> steps, const QString& verb,
                                 bool stopAtFailure, std::function<void()> then) {
    if (!PrepareToStart()) return false;
    FWindow.ShowParameterPage();
    FollowSource();
    FThen = std::move(then);
    FWindow.ShowInStatusBar(FStopButton, true);
    Action("ActionStop")->setEnabled(true);
    // A late answer to the dropped poll would be taken for the first step's: the first step
    // waits as long as that answer could take; if it came, the line is purged before the step.
    FSequence->Run(std::move(steps), verb, stopAtFailure, FWindow.LineOwner().SettleMs());
    return true;
}

bool TCommissioning::ReadAll(std::function<void()> then) {
    if (!PrepareToStart()) return false;
    auto steps = ReadAllSteps(
        FInstrument, [this](const std::vector<std::string>& keys) { return FRecord.HasAny(keys); });
    FollowSource();
    FRecord.Clear();
    FReadingAll = true;
    if (RunSequence(std::move(steps), tr("Чтение"), false, std::move(then))) return true;
    FReadingAll = false;
    FWindow.LineOwner().Release(this);
    return false;
}

void TCommissioning::Stop() {
    FSequence->Stop();
}

void TCommissioning::SequenceFinished() {
    FWindow.ShowInStatusBar(FStopButton, false);
    FWindow.LineOwner().Release(this);
    Action("ActionStop")->setEnabled(false);
    if (FReadingAll) {
        FReadingAll = false;
        SummariseReadAll();
        emit ReadAllFinished();
    }
    const std::function<void()> then = std::move(FThen);
    FThen = nullptr;
    if (then) then();
}

// The status bar tells how the read went; the groups that were not read are marked.
void TCommissioning::SummariseReadAll() {
    const auto& reports = FSequence->Reports();
    const int total = FSequence->StepCount();
    int done = 0;
    QStringList missed;
    for (const auto& r : reports) {
        if (r.result == TStepResult::Done) {
            ++done;
            continue;
        }
        const QString why =
            StepResultText(r.result) + (r.message.isEmpty() ? QString() : ": " + r.message);
        missed << QStringLiteral("%1 (%2)").arg(r.name, StepResultText(r.result));
        if (r.tag >= 0) FRecord.MarkUnread(TFieldGroup(r.tag), why);
    }
    QString text;
    if (FSequence->Stopped())
        text = tr("Чтение остановлено: прочитано %1 из %2").arg(done).arg(total);
    else if (missed.isEmpty())
        text = tr("Прочитано всё: %1 из %2").arg(done).arg(total);
    else
        text = tr("Прочитано %1 из %2. Не прочитано: %3")
                   .arg(done)
                   .arg(total)
                   .arg(missed.join(QStringLiteral(", ")));
    FWindow.ShowStatus(text);
}

void TCommissioning::Report(const QString& text, bool problem) {
    emit ReportShown(text, problem);
    QMessageBox box(problem ? QMessageBox::Warning : QMessageBox::Information,
                    tr("Загрузка конфигурации"), text, QMessageBox::Ok, FWindow.Window());
    box.setObjectName(QStringLiteral("ConfigReport"));
    FDesktop.RunModal(box);
}

bool TCommissioning::SaveConfig(const QString& path, QString& error) {
    FollowSource();
    return FTransfer->Save(path, error);
}

void TCommissioning::LoadConfig(const QString& path) {
    FTransfer->Load(path);
}

void TCommissioning::SaveConfigAs() {
    FollowSource();
    if (FRecord.Empty()) {
        FWindow.ShowError(
            tr("Нечего сохранять: сначала прочитайте прибор "
               "(«Прочитать всё»)."));
        return;
    }
    const QString suggested =
        FWindow.DefaultFolder() + tr("прибор-%1.cfg").arg(FRecord.Source().address);
    const QString path =
        QFileDialog::getSaveFileName(FWindow.Window(), tr("Сохранить конфигурацию"), suggested,
                                     tr("Конфигурация (*.cfg);;Все файлы (*)"));
    if (path.isEmpty()) return;
    QString error;
    if (SaveConfig(path, error))
        FWindow.ShowStatus(tr("Конфигурация сохранена: %1").arg(path));
    else
        FWindow.ShowError(error);
}

void TCommissioning::LoadConfigFrom() {
    if (Busy() || FTransfer->Busy()) return;
    const QString path = QFileDialog::getOpenFileName(
        FWindow.Window(), tr("Загрузить конфигурацию"), FWindow.DefaultFolder(),
        tr("Конфигурация (*.cfg);;Все файлы (*)"));
    if (!path.isEmpty()) LoadConfig(path);
}

bool TCommissioning::StartLog(const QString& path, QString& error) {
    const bool started = FLog.Start(path, error);
    const QSignalBlocker quiet(Action("ActionLog"));
    Action("ActionLog")->setChecked(started);
    return started;
}

void TCommissioning::StopLog() {
    FLog.Stop();
    const QSignalBlocker quiet(Action("ActionLog"));
    Action("ActionLog")->setChecked(false);
}

void TCommissioning::ToggleLog(bool on) {
    if (!on) {
        const QString path = FLog.Path();
        StopLog();
        FWindow.ShowStatus(tr("Запись показаний остановлена: %1").arg(path));
        return;
    }
    const QString path = QFileDialog::getSaveFileName(FWindow.Window(), tr("Запись показаний"),
                                                      FWindow.DefaultFolder() + tr("показания.csv"),
                                                      tr("CSV (*.csv);;Все файлы (*)"));
    QString error;
    if (path.isEmpty()) {
        StopLog();
    } else if (StartLog(path, error)) {
        FWindow.ShowStatus(tr("Показания записываются в %1").arg(path));
    } else {
        FWindow.ShowError(error);
    }
}

TPlotWindow* TCommissioning::ShowPlot() {
    if (!FPlotWindow) FPlotWindow = new TPlotWindow(FPlot, Action("ActionLog"), FWindow.Window());
    FPlotWindow->show();
    FPlotWindow->raise();
    FPlotWindow->activateWindow();
    return FPlotWindow;
}

TPlotWindow* TCommissioning::PlotWindow() const {
    return FPlotWindow;
}
