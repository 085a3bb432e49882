// Main window: start-up, the settings file, the title, page switching, the status bar and
// the shutdown. The readings page, the parameter page and the search live in their own files.
#include "ui/main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QShortcut>
#include <QStatusBar>
#include <QTime>
#include <QTimer>
#include <QToolButton>

#include "commissioning/Commissioning.h"
#include "controls/Digit.h"
#include "controls/StandardIcon.h"
#include "exchange/Convert.h"
#include "exchange/FrameTap.h"
#include "exchange/RequestEnd.h"
#include "lineowner/LineOwner.h"
#include "protocol/Limits.h"
#include "ui/HelpWindow.h"
#include "ui/KnownFolders.h"
#include "ui/Language.h"
#include "ui/MainFormView.h"
#include "ui/PortWatch.h"
#include "ui/RealDesktop.h"
#include "ui/ScreenFit.h"
#include "ui/SetupFile.h"
#include "ui/Unit1.h"
#include "ui/UpdateForm.h"
#include "ui_main.h"

QString SettingsFolder;
QString PortName = QString::fromLatin1(SetupFile::DefaultPortName);
int32_t SpeedIndex = SetupFile::DefaultSpeedIndex;
int32_t RepeatPause = SetupFile::DefaultRepeatPause;
bool SPFlag = SetupFile::DefaultSPFlag;
bool CheckUpdates = SetupFile::DefaultCheckUpdates;
std::atomic<bool> ShowCounters{false};
Tz* z = nullptr;
QString Tz::PortOverride;
bool Tz::LineForThisRunOnly = false;

namespace {

const char* const ProgramTitle = "Tessera_RS-485";
constexpr int StatusShownMs = 5000;  // a status message is cleared this long after it was shown
const char* const ProgramVersion = TESSERA_VERSION;  // the project's version, from CMake

QString SettingsFile() {
    return SettingsFolder + QStringLiteral("setup.cfg");
}

// The scale field takes digits, the decimal point or comma and backspace; keys that type
// nothing (arrows, Delete) are editing keys and pass.
bool ScaleKeyAllowed(const QKeyEvent& key) {
    const QString text = key.text();
    if (key.key() == Qt::Key_Backspace || key.key() == Qt::Key_Delete || text.isEmpty())
        return true;
    if (text.size() != 1) return false;
    const char16_t c = text[0].unicode();
    return (c >= u'0' && c <= u'9') || c == u'.' || c == u',';
}

}  // namespace

TBaudRate SpeedIndexToBaudRate(int index) {
    if (index < 0) index = 0;
    if (index > 7) index = 7;
    if (index <= 3) return TBaudRate(index + 4);
    if (index <= 5) return TBaudRate(index + 5);
    return TBaudRate(index + 6);
}

Tz::Tz(QWidget* parent, TDesktop* desktop)
    : QMainWindow(parent), ui(new Ui::Tz), FDesktop(desktop ? *desktop : TRealDesktop::Instance()) {
    z = this;
    ui->setupUi(this);
    // The line speeds the instrument's two lines can be set to, in the order of their codes.
    for (QComboBox* box : {ui->ComboBox2, ui->ComboBox3}) {
        for (const int32_t speed : protocol::LineSpeeds) box->addItem(QString::number(speed));
        box->setCurrentIndex(-1);
    }
    ComPort = new TSerialPort(this);
    ComPort->setObjectName(QStringLiteral("ComPort"));
    ComPort->SetExceptionReport(&FDesktop);
    ComPort->SetPort(QStringLiteral("COM7"));
    ComPort->OnRxChar = [this](TSerialPort* sender, int32_t count) {
        ComPortRxChar(sender, count);
    };
    auto makeTimer = [this](const char* name, int interval) {
        auto* timer = new QTimer(this);
        timer->setObjectName(QLatin1String(name));
        timer->setInterval(interval);
        return timer;
    };
    Timer_Out = makeTimer("Timer_Out", AnswerTimeoutMs);
    TimerRepeat = makeTimer("TimerRepeat", SetupFile::DefaultRepeatPause);
    StatusTimer = makeTimer("StatusTimer", StatusShownMs);
    UpdateTimer = makeTimer("UpdateTimer", 1000);
    FLineOwner = new TLineOwner(*ComPort, *this, this);
    PortWatch = new TPortWatch(*this);
    FPollingField = new QLabel(this);
    FPollingField->setObjectName(QStringLiteral("PollingField"));
    ui->StatusBar1->addPermanentWidget(FPollingField);
    SetUpControls();
    ConnectHandlers();
    Commissioning = new TCommissioning(*this, *this, *this, FDesktop);
    FormCreate();
    FitWindowToScreen(this);  // on a screen too small for it, the window's content scrolls
    StatusTimer->start();
    UpdateTimer->start();
}

Tz::~Tz() {
    qApp->removeEventFilter(this);
    for (const QMetaObject::Connection& hook : FFeatureConnections) disconnect(hook);
    // The features' windows go first: their work on the line ends while its owner is there.
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (child->isWindow()) delete child;
    FFrameMonitor = nullptr;
    delete FLineOwner;  // waits for a request of a window under way
    FLineOwner = nullptr;
    // Closing the port below still runs the receive handlers already handed to the main
    // thread; with no answer awaited any more they wake no exchange thread, which is gone.
    StopPolling();
    if (FThread) {
        FThread->Terminate();
        ExchangeThread = nullptr;
        FThread.reset();
    }
    AwaitingAnswer = false;  // receive events the port delivers while closing wake no thread
    try {
        ComPort->Close();
    } catch (const ESerialPort&) {
        // closing at exit: nothing left to tell the operator
    }
    QueryTarget = nullptr;
    if (ExchangeView == FView.get()) ExchangeView = nullptr;
    CurrentQuery = nullptr;
    FQuery.reset();
    if (z == this) z = nullptr;
}

namespace {

const QColor LiveDigitColour(0x00, 0x80, 0x00);  // the lit segments of a live reading

}  // namespace

void Tz::SetUpControls() {
    const QColor green = LiveDigitColour;
    for (int panel = 1; panel <= 3; ++panel) {
        for (int cell = 0; cell <= 4; ++cell) {
            TDigit* d = PanelCell(panel, cell);
            d->SetShift(0);
            d->OnPen()->SetColor(green);
            d->OnBrush()->SetColor(green);
            d->OffPen()->SetColor(Qt::white);
            d->OffBrush()->SetColor(palette().color(QPalette::Button));
            d->SetValue(QLatin1Char(' '));
            d->Setdp(false);
        }
    }
    QStyle* s = style();
    ui->ToolButton1->setIcon(controls::StandardIcon(*s, QStyle::SP_MediaPlay, this));
    ui->ToolButton2->setIcon(controls::StandardIcon(*s, QStyle::SP_FileDialogDetailedView, this));
    ui->ToolButton3->setIcon(controls::StandardIcon(*s, QStyle::SP_ComputerIcon, this));
    ui->ToolButton4->setIcon(controls::StandardIcon(*s, QStyle::SP_MessageBoxQuestion, this));
    // The captions must fit the 66-pixel buttons with the fonts Linux substitutes.
    for (QToolButton* b : {ui->ToolButton1, ui->ToolButton2, ui->ToolButton3, ui->ToolButton4}) {
        QFont small = b->font();
        small.setPointSizeF(7.5);
        b->setFont(small);
    }
    ui->BitBtn21->setIcon(controls::StandardIcon(*s, QStyle::SP_FileDialogContentsView, this));
    ui->BitBtn22->setIcon(controls::StandardIcon(*s, QStyle::SP_ArrowRight, this));
    ui->BitBtn24->setIcon(controls::StandardIcon(*s, QStyle::SP_ArrowLeft, this));
    ui->BitBtn1->setIcon(controls::StandardIcon(*s, QStyle::SP_MediaPlay, this));
    ui->BitBtn2->setIcon(controls::StandardIcon(*s, QStyle::SP_MediaStop, this));
    const QIcon readIcon = controls::StandardIcon(*s, QStyle::SP_ArrowDown, this);
    const QIcon writeIcon = controls::StandardIcon(*s, QStyle::SP_DialogSaveButton, this);
    for (QAbstractButton* b :
         {ui->BitBtn3, ui->BitBtn5, ui->BitBtn7, ui->BitBtn9, ui->BitBtn11, ui->BitBtn13,
          ui->BitBtn15, ui->BitBtn17, ui->BitBtn27, ui->BitBtn29, ui->BitBtn32})
        b->setIcon(readIcon);
    for (QAbstractButton* b :
         {ui->BitBtn4, ui->BitBtn6, ui->BitBtn8, ui->BitBtn10, ui->BitBtn12, ui->BitBtn14,
          ui->BitBtn16, ui->BitBtn18, ui->BitBtn19, ui->BitBtn20, ui->BitBtn25, ui->BitBtn26,
          ui->BitBtn28, ui->BitBtn30, ui->BitBtn31})
        b->setIcon(writeIcon);
    // Hints stay up for five seconds.
    for (QWidget* w : findChildren<QWidget*>()) w->setToolTipDuration(5000);
    ui->PageControl1->setCurrentWidget(ui->TabPar);
    ui->Edit7->installEventFilter(this);
    ui->EditAdr->installEventFilter(this);
    qApp->installEventFilter(this);
    SetUpFrameMonitor();
}

void Tz::ConnectHandlers() {
    connect(Timer_Out, &QTimer::timeout, this, &Tz::Timer_OutTimer);
    connect(TimerRepeat, &QTimer::timeout, this, &Tz::TimerRepeatTimer);
    connect(StatusTimer, &QTimer::timeout, this, &Tz::StatusTimerTimer);
    connect(UpdateTimer, &QTimer::timeout, this, &Tz::UpdateTimerTimer);
    const std::pair<QAbstractButton*, void (Tz::*)()> buttons[] = {
        {ui->ToolButton1, &Tz::ToolButton1Click}, {ui->ToolButton2, &Tz::ToolButton2Click},
        {ui->ToolButton3, &Tz::ToolButton3Click}, {ui->BitBtn1, &Tz::BitBtn1Click},
        {ui->BitBtn2, &Tz::BitBtn2Click},         {ui->BitBtn3, &Tz::BitBtn3Click},
        {ui->BitBtn4, &Tz::BitBtn4Click},         {ui->BitBtn5, &Tz::BitBtn5Click},
        {ui->BitBtn6, &Tz::BitBtn6Click},         {ui->BitBtn7, &Tz::BitBtn7Click},
        {ui->BitBtn8, &Tz::BitBtn8Click},         {ui->BitBtn9, &Tz::BitBtn9Click},
        {ui->BitBtn10, &Tz::BitBtn10Click},       {ui->BitBtn11, &Tz::BitBtn11Click},
        {ui->BitBtn12, &Tz::BitBtn12Click},       {ui->BitBtn13, &Tz::BitBtn13Click},
        {ui->BitBtn14, &Tz::BitBtn14Click},       {ui->BitBtn15, &Tz::BitBtn15Click},
        {ui->BitBtn16, &Tz::BitBtn16Click},       {ui->BitBtn17, &Tz::BitBtn17Click},
        {ui->BitBtn18, &Tz::BitBtn18Click},       {ui->BitBtn19, &Tz::BitBtn19Click},
        {ui->BitBtn20, &Tz::BitBtn20Click},       {ui->BitBtn21, &Tz::BitBtn21Click},
        {ui->BitBtn22, &Tz::BitBtn22Click},       {ui->BitBtn23, &Tz::BitBtn23Click},
        {ui->BitBtn24, &Tz::BitBtn24Click},       {ui->BitBtn25, &Tz::BitBtn25Click},
        {ui->BitBtn26, &Tz::BitBtn26Click},       {ui->BitBtn27, &Tz::BitBtn27Click},
        {ui->BitBtn28, &Tz::BitBtn28Click},       {ui->BitBtn29, &Tz::BitBtn29Click},
        {ui->BitBtn30, &Tz::BitBtn30Click},       {ui->BitBtn31, &Tz::BitBtn31Click},
        {ui->BitBtn32, &Tz::BitBtn32Click},       {ui->Button1, &Tz::Button1Click},
        {ui->Button2, &Tz::Button2Click},         {ui->Button3, &Tz::Button3Click},
    };
    for (const auto& [button, handler] : buttons)
        connect(button, &QAbstractButton::clicked, this, handler);
    connect(ui->ToolButton4, &QAbstractButton::clicked, this, &Tz::ToolButton4Click);
    connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, this,
            &Tz::ToolButton4Click);
}

void Tz::FormCreate() {
    SettingsFolder = SetupFile::Folder();
    QDir().mkdir(SettingsFolder);  // one level; a failure shows later as unsaved settings
    ReadSettings();
}

void Tz::ReadSettings() {
    const SetupFile::TSetup setup = SetupFile::Read(SettingsFile());
    move(setup.left, setup.top);
    PortName = setup.portName;
    SpeedIndex = setup.speedIndex;
    RepeatPause = setup.repeatPause;
    ProtocolIsModbus = setup.protocolIsModbus;
    SPFlag = setup.spFlag;
    CheckUpdates = setup.checkUpdates;
    Language::Stored = setup.language;
    ComPort->SetNetworkAllowanceMs(uint32_t(SetupFile::ReadNetwork(SettingsFile()).allowanceMs));
}

bool Tz::WriteSettings() {
    SetupFile::TSetup setup;
    setup.left = x();
    setup.top = y();
    setup.portName = PortName;
    setup.speedIndex = SpeedIndex;
    setup.repeatPause = RepeatPause;
    setup.protocolIsModbus = ProtocolIsModbus.load();
    setup.spFlag = SPFlag;
    setup.checkUpdates = UpdateCheckWanted();
    setup.language = Language::Stored;
    setup.writeLine = !LineForThisRunOnly;
    return SetupFile::Write(SettingsFile(), setup);
}

void Tz::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Activation work runs once, after the window is on screen, so that a port error box
    // appears over a visible window.
    if (!FActivated) {
        FActivated = true;
        QTimer::singleShot(0, this, &Tz::FormActivate);
    }
}

void Tz::FormActivate() {
    QLocale::setDefault(QLocale::c());
    FQuery = std::make_unique<TQuery>();
    CurrentQuery = FQuery.get();
    CurrentQuery->Adr = ui->EditAdr->text().toUShort();
    FillCommandTable();
    QueryTarget = this;
    FView = std::make_unique<TMainFormView>(*this);
    ExchangeView = FView.get();
    FThread = std::make_unique<Th1>();
    ExchangeThread = FThread.get();
    ui->ComboBox1->setCurrentIndex(0);
    ComPort->SetPort(PortOverride.isEmpty() ? PortName : PortOverride);
    ComPort->SetBaudRate(SpeedIndexToBaudRate(SpeedIndex));
    ui->Edit1->setText(QString::number(RepeatPause));
    RefreshProtocolView();
    // A gateway is connected in the background: the window is up and answers meanwhile.
    ComPort->OpenInBackground([this](const ESerialPort* failure) { FirstOpenEnded(failure); });
    PortWatch->PortChanged();
}

void Tz::FirstOpenEnded(const ESerialPort* failure) {
    PortWatch->PortChanged();
    if (failure) {
        ShowError(TPortWatch::OpenFailureText(*failure));
        return;
    }
    if (const QString refusal = GatewayRefusesProtocol(); !refusal.isEmpty()) {
        ShowStatus(refusal);
        ShowError(refusal);
    }
    if (CheckUpdates)
        StartUpdateCheck(QString::fromLatin1(ProgramTitle), QString::fromLatin1(ProgramVersion),
                         UpdateProductPageUrl, UpdateInstallerUrl, this);
}

void Tz::RefreshProtocolView() {
    QString protocolName;
    if (ProtocolIsModbus == 0) {
        protocolName = QStringLiteral("Quorvanta");
        ui->BitBtn23->setText(QStringLiteral("MB RTU"));
        ui->BitBtn23->setToolTip(tr("Сменить протокол в приборе на ModBus RTU"));
    } else {
        protocolName = QStringLiteral("ModBus RTU");
        ui->BitBtn23->setText(QStringLiteral("QV"));
        ui->BitBtn23->setToolTip(tr("Сменить протокол в приборе на Quorvanta"));
    }
    ui->BitBtn20->hide();
    setWindowTitle(tr("%1 %2        Протокол: %3   %4")
                       .arg(QLatin1String(ProgramTitle), QLatin1String(ProgramVersion),
                            protocolName, QString::number(Baud())));
}

void Tz::ShowStatus(const QString& text) {
    // Polling shows a message per answer: rather than restarting the timer each time, it is
    // set when none runs, and when it runs out early for a message shown since, it is set
    // again for what is left.
    FStatusShown.start();
    if (!StatusTimer->isActive()) StatusTimer->start(StatusShownMs);
    QString shown = text;
    if (ShowCounters) {
        shown += QStringLiteral("         %1 / %2 / %3")
                     .arg(SentCount.load())
                     .arg(CrcErrorCount.load())
                     .arg(NoAnswerCount.load());
        // Answers that were not the request's (duplicates, late ones), once there were any.
        if (const int32_t outOfStep = OutOfStepCount.load())
            shown += QStringLiteral(" / %1").arg(outOfStep);
    }
    ui->StatusBar1->showMessage(shown);
}

QString Tz::StatusText() const {
    return ui->StatusBar1->currentMessage();
}

void Tz::ShowError(const QString& text) {
    const QString shown = text + QLatin1Char(' ');
    if (Commissioning->TakeErrorBox(shown)) return;  // a series of requests reports it itself
    QMessageBox box(QMessageBox::Critical, tr("Ошибка"), shown, QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("ErrorBox"));
    FDesktop.RunModal(box);
}

QString Tz::LineFailureText(const ESerialPort& e) const {
    return PortWatch->FailureText(e);
}

void Tz::ReportLineFailure(const ESerialPort& e) {
    TapPortError(e.Message());
    PortWatch->LineFailed(e);
}

void Tz::Guarded(const std::function<void()>& body) {
    try {
        body();
    } catch (const ESerialPort& e) {
        ReportLineFailure(e);
    } catch (const EConvertError& e) {
        ShowError(e.Message());
    }
}

// Through a gateway an answer comes later than on a wire, by the network allowance.
void Tz::ArmAnswerTimeout() {
    if (Timer_Out->isActive()) return;
    const int wait = AnswerTimeoutMs + int(ComPort->NetworkAllowanceMs());
    if (Timer_Out->interval() != wait) Timer_Out->setInterval(wait);
    Timer_Out->start();
}

// A Modbus TCP gateway carries Modbus frames only: QV's frames cannot pass it.
QString Tz::GatewayRefusesProtocol() const {
    if (!ComPort->IsModbusTcp() || ProtocolIsModbus != 0) return QString();
    return QvThroughModbusTcpText(ComPort->Port());
}

QString Tz::QvThroughModbusTcpText(const QString& port) {
    return tr("Порт %1 — шлюз Modbus TCP: он передаёт только кадры ModBus RTU, протокол QV через "
              "него не работает. Выберите в «Настройке» протокол ModBus RTU или прозрачный "
              "сервер tcp://.")
        .arg(port);
}

int Tz::SelectedRelay() {
    return ui->ComboBox8->currentIndex() == 1 ? 1 : 0;
}

void Tz::ComPortRxChar(TSerialPort*, int32_t) {
    if (!AwaitingAnswer) {
        // Bytes that no request awaits (a late or duplicated answer, noise) put the line out
        // of step; bytes of an answer already handed to the exchange thread do not.
        try {
            if (!AnswerPending && ComPort->Connected() && ComPort->InBufCount() > 0)
                LineOutOfStep = true;
        } catch (const ESerialPort&) {
            // the line is going away; the next request reports it
        }
        return;
    }
    TapPiece();
    if (ComPort->InBufCount() >= CurrentQuery->LengthIn) {
        AwaitingAnswer = false;
        Timer_Out->stop();
        AnswerPending = true;
        ExchangeThread->WakeUp();
        return;
    }
    Timer_Out->start();  // the answer's time-out counts from its latest piece
}

void Tz::Timer_OutTimer() {
    if (!AwaitingAnswer) return;
    AwaitingAnswer = false;
    AnswerPending = true;
    ExchangeThread->WakeUp();
    Timer_Out->stop();
}

void Tz::StatusTimerTimer() {
    const qint64 left = FStatusShown.isValid() ? StatusShownMs - FStatusShown.elapsed() : 0;
    if (left > 0) {
        StatusTimer->start(int(left));  // shown again since the timer was set
        return;
    }
    StatusTimer->stop();
    ui->StatusBar1->clearMessage();
}

void Tz::UpdateTimerTimer() {
    const QString text = UpdateProgressText();
    if (!text.isEmpty()) ShowStatus(text);
}

// Stops polling and makes sure no further wake-up reaches the exchange thread.
void Tz::StopPolling(const QString& why) {
    TimerRepeat->stop();
    Timer_Out->stop();
    AwaitingAnswer = false;
    if (ExchangeThread) ExchangeThread->Suspend();
    if (CurrentQuery) CurrentQuery->DropHeld();
    // A value whose pause was cut short is shown if the line stayed quiet behind it so far.
    if (ConfirmHeldReading()) ShowConfirmedReading();
    PortWatch->PollingStopped();
    PollingStopped(why);
}

void Tz::EndPolling(const QString& why) {
    StopPolling(why);
    ExchangeState = ExchangeStates::Single;
}

void Tz::PollingStarted() {
    FPolling.Started();
    FPollingField->setText(FPolling.Text());
}

void Tz::PollingStopped(const QString& why) {
    if (!FPollingField || !FPolling.Stopped(QTime::currentTime(), why)) return;
    FPollingField->setText(FPolling.Text());
    for (int panel = 1; panel <= 3; ++panel)
        if (PanelCell(panel, 4)->Value() != QLatin1Char(' ')) DimPanel(panel, true);
}

void Tz::NoteRequestEnded(const TRequestEnd& end) {
    if (!FPolling.Running()) return;
    // Polling's own requests: the characteristics while it prepares, then the values.
    const bool pollingRequest =
        (end.command == GetPar && end.exchangeState == ExchangeStates::ReadingPreparation) ||
        (end.command == GetVal && end.exchangeState == ExchangeStates::ContinuousReading);
    const bool stillPolling = ExchangeState == ExchangeStates::ReadingPreparation ||
                              ExchangeState == ExchangeStates::ContinuousReading;
    if (pollingRequest && stillPolling) return;
    // Another request took the line (its end leaves no next value asked for), or polling
    // could not go on.
    if (end.command == GetTypeProt)
        PollingStopped(tr("поиск прибора"));
    else if (!pollingRequest)
        PollingStopped(tr("линию занял другой запрос"));
    else
        PollingStopped(tr("ошибка обмена"));
}

// Dimmed: the lit segments' colour drawn two thirds of the way towards the background, so
// the figure stays readable but plainly not live.
void Tz::DimPanel(int panel, bool dimmed) {
    if (panel < 1 || panel > 3 || FPanelDimmed[panel - 1] == dimmed) return;
    FPanelDimmed[panel - 1] = dimmed;
    const QColor live = LiveDigitColour;
    const QColor background = palette().color(QPalette::Button);
    const QColor shown = dimmed ? QColor((live.red() + 2 * background.red()) / 3,
                                         (live.green() + 2 * background.green()) / 3,
                                         (live.blue() + 2 * background.blue()) / 3)
                                : live;
    for (int cell = 0; cell <= 4; ++cell) {
        TDigit* d = PanelCell(panel, cell);
        d->OnPen()->SetColor(shown);
        d->OnBrush()->SetColor(shown);
    }
}

void Tz::ToolButton1Click() {
    ui->PageControl1->setCurrentWidget(ui->TabPok);
}

void Tz::ToolButton2Click() {
    ui->PageControl1->setCurrentWidget(ui->TabPar);
    StopPolling(tr("открыта страница параметров"));
}

void Tz::ToolButton3Click() {
    StopPolling(tr("открыта настройка порта"));
    SettingForm->LoadSettings(ComPort->Port(), SpeedIndex, ProtocolIsModbus);
    SettingForm->exec();
}

void Tz::ToolButton4Click() {
    THelpWindow::Open(this);
}

bool Tz::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (watched == ui->Edit7 && !ScaleKeyAllowed(*key)) return true;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == this && key->key() == Qt::Key_E && !key->isAutoRepeat())
            FormShortCut(key->key());
    }
    if (watched == ui->EditAdr && event->type() == QEvent::FocusOut) EditAdrExit();
    if (watched == ui->ToolButton4 && event->type() == QEvent::Move) PlaceFeatureButtons();
    return QMainWindow::eventFilter(watched, event);
}

void Tz::FormShortCut(int key) {
    if (key == Qt::Key_E) ShowCounters = true;
}

void Tz::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void Tz::FormClose() {
    StatusTimer->stop();
    StopPolling();
    ExchangeState = ExchangeStates::Single;
    QStringList problems;
    try {
        RepeatPause = StrToInt(ui->Edit1->text());
    } catch (const EConvertError&) {
        problems << tr("Интервал опроса «%1» не является целым числом: сохранено значение %2.")
                        .arg(ui->Edit1->text())
                        .arg(RepeatPause);
    }
    if (!WriteSettings())
        problems << tr("Не удалось записать файл настроек %1.").arg(SettingsFile());
    if (!problems.isEmpty()) ShowError(problems.join(QLatin1Char('\n')));
}
