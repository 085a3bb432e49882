#include "line/LineWindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "config/ConfigError.h"
#include "controls/StandardIcon.h"
#include "lineowner/LineOwner.h"
#include "operations/WindowHost.h"
#include "protocol/Limits.h"
#include "serial/SerialPort.h"

namespace {

using protocol::LineSpeeds;

// The toolbar's buttons after its last one before this window's: the frame monitor's, a gap,
// the service menu.
constexpr int ButtonsBefore = 4;

// The scan's full wait is never shorter than the protocol's own answer time.
constexpr int ShortestFullWaitMs = protocol::AnswerTimeoutMs;

QString TimeNow() {
    return QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
}

// "9600, 19200 57600" -> the speeds of the list the instruments have, in the order given.
std::vector<int32_t> SpeedsOf(const QString& list) {
    std::vector<int32_t> speeds;
    for (const QString& word :
         list.split(QRegularExpression(QStringLiteral("[,;\\s]+")), Qt::SkipEmptyParts)) {
        const int32_t speed = word.toInt();
        if (std::find(std::begin(LineSpeeds), std::end(LineSpeeds), speed) !=
                std::end(LineSpeeds) &&
            std::find(speeds.begin(), speeds.end(), speed) == speeds.end())
            speeds.push_back(speed);
    }
    return speeds;
}

}  // namespace

TLineWindow::TLineWindow(TWindowHost& host, QWidget* parent)
    : QWidget(parent, Qt::Window),
      FHost(host),
      FModel(this),
      FBatchReport(this),
      FWorker(new TLineWorker(host.LineOwner().Line(),
                              std::max(ShortestFullWaitMs, host.AnswerWaitMs()), this)) {
    setObjectName(QStringLiteral("LineWindow"));
    setWindowTitle(tr("Линия"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MakeScanBar());
    FTable = new QTableView(this);
    FTable->setObjectName(QStringLiteral("LineTable"));
    FTable->setModel(&FModel);
    FTable->verticalHeader()->hide();
    FTable->horizontalHeader()->setStretchLastSection(true);
    FTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    FTable->setSelectionMode(QAbstractItemView::SingleSelection);
    FTable->setWordWrap(false);
    layout->addWidget(FTable, 1);
    connect(FTable, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { Open(index.row()); });
    layout->addWidget(MakeActionBar());
    layout->addWidget(MakeBatchBox());
    FStatus = new QLabel(this);
    FStatus->setObjectName(QStringLiteral("LineStatus"));
    FStatus->setWordWrap(true);
    layout->addWidget(FStatus);

    connect(FWorker, &TLineWorker::Progress, this, &TLineWindow::ShowProgress);
    connect(FWorker, &TLineWorker::Found, this,
            [this](const linescan::Finding& f) { FModel.AddFinding(f); });
    connect(FWorker, &TLineWorker::ParameterSetupRead, this,
            [this](const TWatchTarget& t, int parameter, const protocol::ParameterSetup& s) {
                FModel.TakeParameterSetup(RowOf(t), parameter, s);
            });
    connect(
        FWorker, &TLineWorker::InfoRead, this,
        [this](const TWatchTarget& t, const QString& info) { FModel.TakeInfo(RowOf(t), info); });
    connect(FWorker, &TLineWorker::Exchanged, this, &TLineWindow::Exchanged);
    connect(FWorker, &TLineWorker::ValueRead, this,
            [this](const TWatchTarget& t, int parameter, double value) {
                FModel.TakeReading(RowOf(t), parameter, value, QTime::currentTime());
            });
    connect(FWorker, &TLineWorker::BatchPlanned, &FBatchReport, &TBatchReportModel::TakePlan);
    connect(FWorker, &TLineWorker::BatchDone, &FBatchReport, &TBatchReportModel::TakeOutcome);
    connect(FWorker, &TLineWorker::Finished, this, &TLineWindow::JobFinished);
    host.Window()->installEventFilter(this);
    resize(1000, 560);
}

TLineWindow::~TLineWindow() {
    Stop();
    delete FWorker;  // waits for its thread; nothing of it reaches this window afterwards
    FWorker = nullptr;
    FHost.LineOwner().Release(this);
}

void TLineWindow::AddToWindow(QMenu& menu, TWindowHost& host) {
    auto window = std::make_shared<QPointer<TLineWindow>>();
    auto open = [&host, window] {
        if (!*window) *window = new TLineWindow(host, host.Window());
        (*window)->show();
        (*window)->raise();
        (*window)->activateWindow();
    };
    auto* action = new QAction(tr("Линия…"), &menu);
    action->setObjectName(QStringLiteral("ActionLine"));
    menu.addAction(action);
    QObject::connect(action, &QAction::triggered, &menu, open);

    auto* button = new QToolButton;
    button->setObjectName(QStringLiteral("ToolButtonLine"));
    button->setText(tr("Линия"));
    button->setToolTip(tr("Приборы на линии"));
    button->setIcon(controls::StandardIcon(*host.Window()->style(), QStyle::SP_DriveNetIcon));
    host.AddToolButton(button, ButtonsBefore);
    QObject::connect(button, &QToolButton::clicked, &menu, open);
}

QWidget* TLineWindow::MakeScanBar() {
    auto* box = new QGroupBox(tr("Поиск приборов"), this);
    auto* grid = new QGridLayout(box);
    FFirst = new QSpinBox(box);
    FFirst->setObjectName(QStringLiteral("LineFirst"));
    FFirst->setRange(1, protocol::HighestAddress);
    FFirst->setValue(1);
    FLast = new QSpinBox(box);
    FLast->setObjectName(QStringLiteral("LineLast"));
    FLast->setRange(1, protocol::HighestAddress);
    FLast->setValue(protocol::HighestModbusAddress);
    FSpeeds = new QComboBox(box);
    FSpeeds->setObjectName(QStringLiteral("LineSpeeds"));
    FSpeeds->addItem(tr("текущая"), int(Speeds::Current));
    FSpeeds->addItem(tr("из списка"), int(Speeds::List));
    FSpeeds->addItem(tr("все восемь"), int(Speeds::All));
    FSpeedList = new QLineEdit(QStringLiteral("9600, 19200"), box);
    FSpeedList->setObjectName(QStringLiteral("LineSpeedList"));
    FSpeedList->setEnabled(false);
    connect(FSpeeds, &QComboBox::currentIndexChanged, this, [this] {
        FSpeedList->setEnabled(Speeds(FSpeeds->currentData().toInt()) == Speeds::List);
    });
    FProtocols = new QComboBox(box);
    FProtocols->setObjectName(QStringLiteral("LineProtocols"));
    FProtocols->addItem(tr("QV и Modbus RTU"), int(Protocols::Both));
    FProtocols->addItem(QStringLiteral("QV"), int(Protocols::Qv));
    FProtocols->addItem(QStringLiteral("Modbus RTU"), int(Protocols::Modbus));
    FScanButton = new QPushButton(tr("Искать"), box);
    FScanButton->setObjectName(QStringLiteral("LineScan"));
    FStopButton = new QPushButton(tr("Стоп"), box);
    FStopButton->setObjectName(QStringLiteral("LineStop"));
    FStopButton->setEnabled(false);
    FProgress = new QProgressBar(box);
    FProgress->setObjectName(QStringLiteral("LineProgress"));
    FProgressText = new QLabel(box);
    FProgressText->setObjectName(QStringLiteral("LineProgressText"));

    grid->addWidget(new QLabel(tr("Адреса с"), box), 0, 0);
    grid->addWidget(FFirst, 0, 1);
    grid->addWidget(new QLabel(tr("по"), box), 0, 2);
    grid->addWidget(FLast, 0, 3);
    grid->addWidget(new QLabel(tr("Скорости"), box), 0, 4);
    grid->addWidget(FSpeeds, 0, 5);
    grid->addWidget(FSpeedList, 0, 6);
    grid->addWidget(new QLabel(tr("Протоколы"), box), 0, 7);
    grid->addWidget(FProtocols, 0, 8);
    grid->addWidget(FScanButton, 0, 9);
    grid->addWidget(FStopButton, 0, 10);
    grid->addWidget(FProgress, 1, 0, 1, 6);
    grid->addWidget(FProgressText, 1, 6, 1, 5);
    connect(FScanButton, &QPushButton::clicked, this, &TLineWindow::StartScan);
    connect(FStopButton, &QPushButton::clicked, this, &TLineWindow::Stop);
    return box;
}

QWidget* TLineWindow::MakeActionBar() {
    auto* bar = new QWidget(this);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    FWatchButton = new QPushButton(tr("Опрос"), bar);
    FWatchButton->setObjectName(QStringLiteral("LineWatch"));
    FWatchButton->setCheckable(true);
    FWatchButton->setToolTip(tr("Читать параметры 1–3 отмеченных приборов по очереди"));
    FOpenButton = new QPushButton(tr("Открыть"), bar);
    FOpenButton->setObjectName(QStringLiteral("LineOpen"));
    FOpenButton->setToolTip(tr("Работать с выбранным прибором в главном окне"));
    FExportButton = new QPushButton(tr("Экспорт CSV…"), bar);
    FExportButton->setObjectName(QStringLiteral("LineExport"));
    FBatchButton = new QPushButton(tr("Записать конфигурацию…"), bar);
    FBatchButton->setObjectName(QStringLiteral("LineBatch"));
    FBatchButton->setToolTip(
        tr("Записать файл конфигурации в отмеченные приборы (адрес и протокол не меняются)"));
    row->addWidget(FWatchButton);
    row->addWidget(FOpenButton);
    row->addWidget(FBatchButton);
    row->addStretch();
    row->addWidget(FExportButton);
    connect(FWatchButton, &QPushButton::toggled, this, &TLineWindow::SetWatching);
    connect(FOpenButton, &QPushButton::clicked, this, [this] {
        const QModelIndex current = FTable->currentIndex();
        if (!current.isValid()) {
            Say(tr("Выберите прибор в таблице"), true);
            return;
        }
        Open(current.row());
    });
    connect(FExportButton, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(
            this, tr("Сохранить таблицу"), FHost.DefaultFolder() + QStringLiteral("line.csv"),
            tr("CSV (*.csv)"));
        if (!path.isEmpty()) ExportCsv(path);
    });
    connect(FBatchButton, &QPushButton::clicked, this, [this] {
        const QString path =
            QFileDialog::getOpenFileName(this, tr("Файл конфигурации"), FHost.DefaultFolder(),
                                         tr("Конфигурация (*.cfg *.txt);;Все файлы (*)"));
        if (!path.isEmpty()) PreviewBatch(path);
    });
    return bar;
}

QWidget* TLineWindow::MakeBatchBox() {
    FBatchBox = new QGroupBox(tr("Запись конфигурации"), this);
    FBatchBox->setObjectName(QStringLiteral("LineBatchBox"));
    auto* layout = new QVBoxLayout(FBatchBox);
    FBatchFileLabel = new QLabel(FBatchBox);
    FBatchTable = new QTableView(FBatchBox);
    FBatchTable->setObjectName(QStringLiteral("LineBatchTable"));
    FBatchTable->setModel(&FBatchReport);
    FBatchTable->verticalHeader()->hide();
    FBatchTable->horizontalHeader()->setStretchLastSection(true);
    auto* buttons = new QHBoxLayout();
    FBatchWriteButton = new QPushButton(tr("Записать"), FBatchBox);
    FBatchWriteButton->setObjectName(QStringLiteral("LineBatchWrite"));
    FBatchWriteButton->setEnabled(false);
    FBatchSaveButton = new QPushButton(tr("Сохранить отчёт…"), FBatchBox);
    FBatchSaveButton->setObjectName(QStringLiteral("LineBatchSave"));
    buttons->addWidget(FBatchFileLabel, 1);
    buttons->addWidget(FBatchWriteButton);
    buttons->addWidget(FBatchSaveButton);
    layout->addLayout(buttons);
    layout->addWidget(FBatchTable);
    connect(FBatchWriteButton, &QPushButton::clicked, this, &TLineWindow::WriteBatch);
    connect(FBatchSaveButton, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(
            this, tr("Сохранить отчёт"), FHost.DefaultFolder() + QStringLiteral("line-config.csv"),
            tr("CSV (*.csv)"));
        if (!path.isEmpty()) SaveBatchReport(path);
    });
    FBatchBox->hide();
    return FBatchBox;
}

// ---- settings and plan -----------------------------------------------------------------------

void TLineWindow::SetRange(int first, int last) {
    FFirst->setValue(first);
    FLast->setValue(last);
}

void TLineWindow::SetSpeeds(Speeds speeds, const QString& list) {
    FSpeeds->setCurrentIndex(FSpeeds->findData(int(speeds)));
    if (!list.isEmpty()) FSpeedList->setText(list);
}

void TLineWindow::SetProtocols(Protocols protocols) {
    FProtocols->setCurrentIndex(FProtocols->findData(int(protocols)));
}

linescan::ScanPlan TLineWindow::Plan() const {
    linescan::ScanPlan plan;
    for (int a = FFirst->value(); a <= FLast->value(); ++a) plan.addresses.push_back(uint16_t(a));
    switch (Speeds(FSpeeds->currentData().toInt())) {
        case Speeds::Current:
            plan.bauds.push_back(FHost.Baud());
            break;
        case Speeds::List:
            plan.bauds = SpeedsOf(FSpeedList->text());
            break;
        case Speeds::All:
            plan.bauds.assign(std::begin(LineSpeeds), std::end(LineSpeeds));
            break;
    }
    const Protocols protocols = Protocols(FProtocols->currentData().toInt());
    // QV cannot pass a Modbus TCP gateway.
    const bool modbusOnly = FHost.Port().IsModbusTcp();
    if (protocols != Protocols::Modbus && !modbusOnly)
        plan.protocols.push_back(protocol::Protocol::Qv);
    if (protocols != Protocols::Qv) plan.protocols.push_back(protocol::Protocol::Modbus);
    const int allowance = int(FHost.Port().NetworkAllowanceMs());
    plan.timing.fullWaitMs = std::max(ShortestFullWaitMs, FHost.AnswerWaitMs() - allowance);
    linescan::FitToNetwork(plan.timing, allowance, modbusOnly);
    return plan;
}

// ---- the line: taken, given back -------------------------------------------------------------

bool TLineWindow::OwnsLine() const {
    return FJob != Job::None;
}

QLabel* TLineWindow::LineOwnerLabel() const {
    return FHost.LineOwner().HolderNote();
}

bool TLineWindow::Begin(Job job) {
    if (OwnsLine()) return false;
    if (!FHost.Port().Connected()) {
        Say(tr("Порт не открыт"), true);
        return false;
    }
    TLineOwner& owner = FHost.LineOwner();
    if (!owner.Claim(this, tr("Линия"))) {
        Say(owner.Refusal(), true);
        return false;
    }
    FJob = job;
    const int number = ++FJobNumber;
    FScanButton->setEnabled(false);
    FStopButton->setEnabled(true);
    // A request of the main window still awaiting its answer when its polling stopped: the
    // line is left to fall silent first, so that its answer is not taken for one of ours.
    FSettling = owner.SettleMs() > 0;
    owner.WhenQuiet(this, [this, job, number] {
        if (number != FJobNumber || FJob != job) return;  // stopped while settling
        FSettling = false;
        if (!StartJob(job)) JobFinished(false, tr("Линия занята"));
    });
    return true;
}

std::vector<TWatchTarget> TLineWindow::TickedTargets() const {
    std::vector<TWatchTarget> targets;
    for (int row : FModel.TickedRows()) {
        const TLineTableModel::Row& r = FModel.At(row);
        TWatchTarget t;
        t.address = r.finding.address;
        t.protocol = r.finding.protocol;
        t.baud = r.finding.baud;
        if (r.finding.identity && r.finding.identity->parameterCount >= 1 &&
            r.finding.identity->parameterCount <= 3)
            t.parameterCount = r.finding.identity->parameterCount;
        targets.push_back(t);
    }
    return targets;
}

bool TLineWindow::StartJob(Job job) {
    switch (job) {
        case Job::Scan:
            return FWorker->StartScan(Plan());
        case Job::Watch:
            return FWorker->StartWatch(TickedTargets());
        case Job::BatchPreview:
        case Job::BatchWrite:
            return FWorker->StartBatch(FBatchReport.Targets(), FBatchFile, job == Job::BatchWrite);
        case Job::None:
            break;
    }
    return false;
}

bool TLineWindow::StartScan() {
    const linescan::ScanPlan plan = Plan();
    if (plan.bauds.empty() || plan.addresses.empty()) {
        Say(tr("Не выбрано ни одной скорости или ни одного адреса"), true);
        return false;
    }
    if (!Begin(Job::Scan)) return false;
    FModel.Clear();
    FLastProgress = linescan::ScanProgress();
    FProgress->setValue(0);
    Say(tr("Поиск…"), false);
    return true;
}

void TLineWindow::SetWatching(bool on) {
    if (FWatchButton->isChecked() != on) {
        FWatchButton->setChecked(on);  // comes back here through the toggle
        return;
    }
    if (!on) {
        if (FJob == Job::Watch) Stop();
        return;
    }
    if (FModel.TickedRows().empty()) {
        Say(tr("Нет отмеченных приборов: сначала найдите их"), true);
        FWatchButton->setChecked(false);
        return;
    }
    const bool scanning = OwnsLine();
    if (!Begin(Job::Watch)) {
        if (scanning) Say(tr("Линия занята поиском"), true);  // else Begin said who has it
        FWatchButton->setChecked(false);
        return;
    }
    Say(tr("Опрос…"), false);
}

void TLineWindow::Stop() {
    if (FJob == Job::None) return;
    FWorker->Stop();
    // Stopped while still waiting for the main window's answer: nothing was started.
    if (FSettling) JobFinished(false, QString());
}

void TLineWindow::JobFinished(bool complete, const QString& failure) {
    if (FJob == Job::None) return;
    const Job job = FJob;
    FJob = Job::None;
    FSettling = false;
    FHost.LineOwner().Release(this);
    FScanButton->setEnabled(true);
    FStopButton->setEnabled(false);
    if (FWatchButton->isChecked()) {
        const QSignalBlocker quiet(FWatchButton);
        FWatchButton->setChecked(false);
    }
    if (job == Job::Scan) {
        ShowFinalProgress(complete);
        // Each column as wide as what it shows, but the values keep room for what comes and
        // a long text (a collision's advice) is read whole in its hint.
        FTable->resizeColumnsToContents();
        for (int c : {TLineTableModel::Info, TLineTableModel::State})
            FTable->setColumnWidth(c, std::min(FTable->columnWidth(c), 180));
        for (int c = TLineTableModel::Value1; c <= TLineTableModel::Value3; ++c)
            FTable->setColumnWidth(c, std::max(FTable->columnWidth(c), 90));
    }
    if (!failure.isEmpty())
        Say(tr("Ошибка порта: %1").arg(failure), true);
    else if (job == Job::Scan)
        Say((complete ? tr("Поиск закончен: найдено %1") : tr("Поиск остановлен: найдено %1"))
                .arg(FModel.rowCount()),
            false);
    else if (job == Job::Watch)
        Say(tr("Опрос остановлен"), false);
    else if (job == Job::BatchPreview)
        Say(complete ? tr("Проверьте, что будет записано, и нажмите «Записать»")
                     : tr("Чтение приборов остановлено"),
            !complete);
    else
        Say(complete ? tr("Запись конфигурации закончена") : tr("Запись конфигурации остановлена"),
            !complete);
    FBatchPreviewed = job == Job::BatchPreview && complete && failure.isEmpty();
    FBatchWriteButton->setEnabled(FBatchPreviewed);
    if (FOpenAfter) {
        const int row = *FOpenAfter;
        FOpenAfter.reset();
        Open(row);
    }
    emit Idle();
}

// ---- what the work reports ------------------------------------------------------------------

void TLineWindow::ShowProgress(const linescan::ScanProgress& p) {
    FLastProgress = p;
    FProgress->setMaximum(int(std::max<size_t>(p.total, 1)));
    FProgress->setValue(int(p.done));
    FProgressText->setText(tr("Адресов: %1 из %2, найдено: %3, осталось ≈ %4 с")
                               .arg(p.done)
                               .arg(p.total)
                               .arg(p.found)
                               .arg(qRound(p.secondsLeft)));
}

// The progress is told before each address: at the end the last finds are counted too.
void TLineWindow::ShowFinalProgress(bool complete) {
    linescan::ScanProgress last = FLastProgress;
    if (complete) last.done = last.total;
    last.found = size_t(FModel.rowCount());
    last.secondsLeft = 0;
    ShowProgress(last);
}

int TLineWindow::RowOf(const TWatchTarget& target) const {
    return FModel.RowOf(target.address, target.protocol, target.baud);
}

void TLineWindow::Exchanged(const TWatchTarget& target, int parameter, TLineOutcome outcome) {
    const int row = RowOf(target);
    const QTime now = QTime::currentTime();
    switch (outcome) {
        case TLineOutcome::Answered:
        case TLineOutcome::Refused:
            FModel.TakeAnswer(row, now);
            return;
        case TLineOutcome::Silent:
            FModel.TakeSilence(row, now);
            break;
        case TLineOutcome::BadCrc:
            FModel.TakeBadCrc(row, now);
            break;
    }
    if (parameter > 0) FModel.MarkStale(row, parameter);
}

// ---- open, export, close ---------------------------------------------------------------------

bool TLineWindow::Open(int row) {
    if (row < 0 || row >= FModel.rowCount()) return false;
    const TLineTableModel::Row& r = FModel.At(row);
    if (r.IsCollision()) {
        Say(tr("По адресу %1 отвечают два прибора: откройте их по одному").arg(r.finding.address),
            true);
        return false;
    }
    if (OwnsLine()) {
        // The line comes back first; the instrument is opened then.
        FOpenAfter = row;
        Stop();
        return true;
    }
    const bool modbus = r.finding.protocol == protocol::Protocol::Modbus;
    try {
        FHost.UseInstrument(r.finding.address, modbus, r.finding.baud);
    } catch (const ESerialPort& e) {
        Say(e.Text(), true);
        return false;
    }
    const QString text = tr("Главное окно работает с прибором: адрес %1, %2, %3 бит/с")
                             .arg(r.finding.address)
                             .arg(modbus ? QStringLiteral("Modbus RTU") : QStringLiteral("QV"))
                             .arg(r.finding.baud);
    FHost.ShowStatus(text);
    Say(text, false);
    return true;
}

bool TLineWindow::SaveText(const QString& path, const QString& text) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
        Say(tr("Не удалось записать %1: %2").arg(path, file.errorString()), true);
        return false;
    }
    Say(tr("Таблица записана в %1").arg(path), false);
    return true;
}

bool TLineWindow::ExportCsv(const QString& path) {
    return SaveText(path, FModel.Csv());
}

bool TLineWindow::SaveBatchReport(const QString& path) {
    return SaveText(path, FBatchReport.Csv());
}

bool TLineWindow::PreviewBatch(const QString& path) {
    if (OwnsLine()) {
        Say(tr("Линия занята: остановите поиск или опрос"), true);
        return false;
    }
    try {
        FBatchFile = config::ParseConfig(config::ReadConfigFile(path.toStdString()));
    } catch (const config::ConfigError& e) {
        Say(tr("Файл конфигурации не прочитан: %1").arg(QString::fromUtf8(e.what())), true);
        return false;
    }
    const std::vector<TWatchTarget> targets = TickedTargets();
    if (targets.empty()) {
        Say(tr("Нет отмеченных приборов: сначала найдите их"), true);
        return false;
    }
    FBatchPreviewed = false;
    FBatchWriteButton->setEnabled(false);
    FBatchReport.Reset(targets);
    FBatchFileLabel->setText(path);
    FBatchBox->show();
    if (!Begin(Job::BatchPreview)) return false;
    Say(tr("Чтение конфигурации приборов…"), false);
    return true;
}

bool TLineWindow::WriteBatch() {
    if (!FBatchPreviewed || OwnsLine()) {
        Say(tr("Сначала выберите файл: будет показано, что изменится"), true);
        return false;
    }
    FBatchPreviewed = false;
    FBatchWriteButton->setEnabled(false);
    if (!Begin(Job::BatchWrite)) return false;
    Say(tr("Запись конфигурации…"), false);
    return true;
}

void TLineWindow::Say(const QString& text, bool problem) {
    FStatus->setText(problem ? text : QStringLiteral("%1  %2").arg(TimeNow(), text));
    FStatus->setStyleSheet(problem ? QStringLiteral("color: red") : QString());
}

bool TLineWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Close && watched == FHost.Window() && OwnsLine()) {
        FOpenAfter.reset();
        Stop();
        FWorker->Wait();
    }
    return QWidget::eventFilter(watched, event);
}

void TLineWindow::hideEvent(QHideEvent* event) {
    // A closed window talks no more; the line comes back when its work has ended.
    FOpenAfter.reset();
    Stop();
    QWidget::hideEvent(event);
}
