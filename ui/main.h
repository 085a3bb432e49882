#pragma once
// Tz: the program's main window. Owns the serial port ComPort, the four timers, the status
// bar and the two pages (readings TabPok, device parameters TabPar); its toolbar carries the
// address box with the device search and the protocol switch. Lives on the main thread.
//
// The run-time settings and the window-wide state are plain module variables, as the rest
// of the program reads them; those the exchange thread also touches are atomic (Thread1.h).
#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "commissioning/ReadRecord.h"
#include "exchange/Channels.h"
#include "exchange/Thread1.h"
#include "exchange/typeCMD.h"
#include "lineowner/MainExchange.h"
#include "operations/InstrumentOperations.h"
#include "operations/WindowHost.h"
#include "serial/SerialPort.h"
#include "ui/PollingStatus.h"

class QAbstractButton;
class QLabel;
class QLineEdit;
class QStatusBar;
class QTimer;
class TCommissioning;
class TLineOwner;
class TDesktop;
class TDigit;
class TMainFormView;
class TPortWatch;
struct TRequestEnd;
class TFrameMonitor;
class TFrameRecorder;
class QToolButton;
namespace Ui {
class Tz;
}

// Run-time settings, read from setup.cfg when the window is created and written when it is
// closed in the ordinary way.
extern QString SettingsFolder;  // ends with a separator
extern QString PortName;
extern int32_t SpeedIndex;   // 0..7: 1200 .. 115200
extern int32_t RepeatPause;  // ms between value requests
extern bool SPFlag;          // stored flag, written back as read
extern bool CheckUpdates;
extern std::atomic<bool> ShowCounters;

// Speed list index (0..7) to the port's speed; shared with the port settings dialog.
TBaudRate SpeedIndexToBaudRate(int index);

class Tz : public QMainWindow,
           public TQueryTarget,
           public TInstrumentOperations,
           public TWindowHost,
           public TMainExchange,
           public TFieldGroupsView {
    Q_OBJECT
public:
    // `desktop`: what runs its dialogs and reports (none: the real desktop).
    explicit Tz(QWidget* parent = nullptr, TDesktop* desktop = nullptr);
    ~Tz() override;

    std::unique_ptr<Ui::Tz> ui;  // every control of the form, by its form name
    TSerialPort* ComPort;
    QTimer* Timer_Out;
    QTimer* TimerRepeat;
    QTimer* StatusTimer;
    QTimer* UpdateTimer;
    TPortWatch* PortWatch;  // the status bar's port field and the reconnection after a failure
    TCommissioning* Commissioning;       // read all, configuration files, plot and log
    QToolButton* ToolButton5 = nullptr;  // "Обмен": the frame monitor (made in code)

    // Demo and tests: the device this run opens instead of the stored port (not stored).
    static QString PortOverride;
    // A line for this run only (--demo, --port): its port, speed and protocol are not written
    // back to setup.cfg, which keeps the engineer's real line as it was.
    static bool LineForThisRunOnly;

    void RefreshProtocolView();
    void ShowStatus(const QString& text) override;
    void ShowError(const QString& text) override;
    QString StatusText() const;
    // A port error met during an exchange, with a hint on what to check.
    QString LineFailureText(const ESerialPort& e) const;
    // Why the chosen protocol cannot go through the port (QV through a Modbus TCP gateway); empty
    // when it can.
    QString GatewayRefusesProtocol() const;
    // Why QV cannot go through the Modbus TCP gateway `port`, and what to choose instead.
    static QString QvThroughModbusTcpText(const QString& port);
    void ReportLineFailure(const ESerialPort& e);

    void ShowReading(int panel, uint8_t pointCode, double value);
    void ClearPanel(int panel);
    QLabel* UnitsLabel(int panel);
    TDigit* PanelCell(int panel, int cell);  // cell 0 = sign, 1..4 = digits left to right

    // TQueryTarget
    TSerialPort* QueryPort() override { return ComPort; }
    void ArmAnswerTimeout() override;
    int SelectedRelay() override;

    // The pause between value requests, in ms, that polling was started with (the interval
    // field's value then; the exchange's default for an empty field).
    int AcceptedRepeatPause() const { return FAcceptedRepeatPause; }
    static constexpr int LongestRepeatPauseMs = 3600000;  // an hour

    // TInstrumentOperations: the parameter page's buttons by name (mainOperations.cpp).
    void ReadAddress() override;
    void ReadSerialNumber() override;
    void ReadBrightness() override;
    void ReadInfo() override;
    void ReadParameter(int number) override;
    void ReadSetpointUpper() override;
    void ReadSetpointLower() override;
    void ReadIecFraming() override;
    void ReadRelays() override;
    void ReadAlarm() override;
    int ShownParameter() const override;
    void Send(const protocol::Request& request) override;
    void WriteSetpointUpper(const QString& text) override;
    void WriteSetpointLower(const QString& text) override;
    void ChooseRelay(int relay) override;
    void SetRelayHysteresisToFollow(const QString& text) override;
    void SetSerialDigitsToFollow(const QString& digits) override;
    void UseAddress(uint16_t address) override;

    // TWindowHost
    QWidget* Window() override { return this; }
    TDesktop& Desktop() override { return FDesktop; }
    void AddToolButton(QToolButton* button, int slot) override;
    void ShowInStatusBar(QWidget* widget, bool shown) override;
    TSerialPort& Port() override { return *ComPort; }
    int Baud() const override;
    QString DefaultFolder() const override;
    int AnswerWaitMs() const override;
    void StartReading() override { BitBtn1Click(); }
    void HaltExchange() override { StopPolling(tr("ошибка линии")); }
    void ShowParameterPage() override;
    int InstrumentAddress() const override;
    bool InstrumentSpeaksModbus() const override;
    void UseInstrument(uint16_t address, bool modbus, int32_t baud) override;
    void WhenInstrumentMayChange(QObject* context, std::function<void()> changed) override;
    void WhenOwnExchangeStarts(QObject* context, std::function<void()> starting) override;
    TLineOwner& LineOwner() override { return *FLineOwner; }

    // TMainExchange: what the line's owner asks of the window (mainOperations.cpp).
    void YieldPolling() override { EndPolling(tr("линию занял другой обмен")); }
    void EnableOwnExchange(bool enabled) override;
    void ShowLineHolder(QWidget* note) override;
    QWidget* StatusBarWidget() override;

    QStatusBar* StatusBar();
    QLineEdit* AddressField();
    // The settings button, the search and the protocol switch: the operator's own exchanges.
    std::vector<QAbstractButton*> OwnExchangeButtons();
    // Whether polling still runs after a request ended (another request or a failure ends it).
    void NoteRequestEnded(const TRequestEnd& end);
    const TPollingStatus& PollingStatus() const { return FPolling; }
    QLabel* PollingField() const { return FPollingField; }
    bool PanelDimmed(int panel) const {
        return panel >= 1 && panel <= 3 && FPanelDimmed[panel - 1];
    }

    // TFieldGroupsView
    std::vector<QWidget*> GroupFields(TFieldGroup group) const override;
    QGroupBox* GroupBox(TFieldGroup group) const override;

    bool Activated() const { return FActivated; }
    TFrameMonitor* FrameMonitor() const { return FFrameMonitor; }  // null until first opened

public slots:
    void FormActivate();
    void ComPortRxChar(TSerialPort* sender, int32_t count);
    void Timer_OutTimer();
    void StatusTimerTimer();
    void UpdateTimerTimer();
    void TimerRepeatTimer();
    bool TakeTickedChanges();
    void ToolButton1Click();
    void ToolButton2Click();
    void ToolButton3Click();
    void ToolButton4Click();  // help, also F1
    void ToolButton5Click();
    // readings
    void BitBtn1Click();
    void BitBtn2Click();
    // parameter page
    void BitBtn3Click();
    void BitBtn4Click();
    void FirstOpenEnded(const ESerialPort* failure);
    void SendAddressWrite(uint16_t address);
    void GiveNewAddress(uint16_t address);
    void BitBtn5Click();
    void BitBtn6Click();
    void BitBtn7Click();
    void BitBtn8Click();
    void BitBtn9Click();
    void BitBtn10Click();
    void BitBtn11Click();
    void BitBtn12Click();
    void BitBtn13Click();
    void BitBtn14Click();
    void BitBtn15Click();
    void BitBtn16Click();
    void BitBtn17Click();
    void BitBtn18Click();
    void BitBtn19Click();
    void BitBtn20Click();
    void BitBtn25Click();
    void BitBtn26Click();
    void BitBtn27Click();
    void BitBtn28Click();
    void BitBtn29Click();
    void BitBtn30Click();
    void BitBtn31Click();
    void BitBtn32Click();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void EditAdrExit();
    // search and protocol switch
    void BitBtn21Click();
    void BitBtn22Click();
    void BitBtn23Click();
    void BitBtn24Click();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormClose();
    void FormShortCut(int key);
    void ReadSettings();
    bool WriteSettings();
    void SetUpControls();
    void ConnectHandlers();
    // Stops polling; `why` is what the polling field says stopped it.
    void StopPolling(const QString& why = QString());
    void EndPolling(const QString& why);  // stopped, and back to single requests
    void PollingStarted();
    void PollingStopped(const QString& why);
    // A reading no longer polled is drawn dimmed until the panel's next value.
    void DimPanel(int panel, bool dimmed);
    void ResizeAddressGroup(int width);
    void SetUpFrameMonitor();
    // Runs a handler body; a conversion or port error stops it with an error box.
    void Guarded(const std::function<void()>& body);
    void SendSimple(TListComand name);
    bool RefuseInModbus(TListComand name);

    TDesktop& FDesktop;
    bool FActivated = false;
    int FAcceptedRepeatPause = 300;
    bool TakeRepeatPause();
    // What the window owns behind the exchange's shared pointers CurrentQuery,
    // ExchangeThread and ExchangeView.
    std::unique_ptr<TQuery> FQuery;
    std::unique_ptr<Th1> FThread;
    std::unique_ptr<TMainFormView> FView;
    TFrameRecorder* FFrameRecorder = nullptr;
    TFrameMonitor* FFrameMonitor = nullptr;
    TPollingStatus FPolling;
    TLineOwner* FLineOwner = nullptr;  // who talks on the line beside the window's exchange
    QPointer<QWidget> FLineHolderNote;
    std::vector<QPointer<QWidget>> FDisabledForHolder;  // what the holder's turn switched off
    struct FeatureButton {
        QPointer<QToolButton> button;
        int slot;
    };
    std::vector<FeatureButton> FFeatureButtons;
    std::vector<QMetaObject::Connection> FFeatureConnections;  // the features' hooks
    void PlaceFeatureButtons();
    QLabel* FPollingField = nullptr;
    QElapsedTimer FStatusShown;  // since the latest status message
    bool FPanelDimmed[3] = {false, false, false};
};

extern Tz* z;  // the main window
