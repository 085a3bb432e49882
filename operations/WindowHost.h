#pragma once
// TWindowHost: what the window's features use of the main window: its status bar and error
// box, its toolbar, the port and the polling, and the controls whose use changes the
// instrument talked to. The main window implements it. Main thread only.
#include <QString>
#include <cstdint>
#include <vector>

class QAbstractButton;
class QObject;
class QLineEdit;
class QStatusBar;
class QToolButton;
class QWidget;
class TDesktop;
class TSerialPort;

class TWindowHost {
public:
    virtual ~TWindowHost() = default;

    virtual QWidget* Window() = 0;    // the parent of the features' dialogs
    virtual TDesktop& Desktop() = 0;  // what the window asks of the desktop
    virtual void ShowStatus(const QString& text) = 0;
    virtual void ShowError(const QString& text) = 0;
    virtual QStatusBar* StatusBar() = 0;
    // The toolbar, and its last button, after which a feature places its own.
    virtual QWidget* ToolBar() = 0;
    virtual QToolButton* LastToolButton() = 0;

    virtual TSerialPort& Port() = 0;
    virtual int Baud() const = 0;  // the speed chosen in the settings, bit/s
    virtual QString DefaultFolder()
        const = 0;  // where files are offered first; ends with a separator
    virtual int AnswerWaitMs() const = 0;

    // The readings page's start and stop buttons; stopping returns to single requests.
    virtual void StartReading() = 0;
    virtual void StopReading() = 0;
    // The timers stopped and the exchange suspended, its state kept (the line failed).
    virtual void HaltExchange() = 0;
    virtual void ShowParameterPage() = 0;

    // The address field; its edit means another instrument.
    virtual QLineEdit* AddressField() = 0;
    // The settings button (the port may change), the search and the protocol switch: the
    // operator's own exchanges.
    virtual std::vector<QAbstractButton*> OwnExchangeButtons() = 0;
    virtual QAbstractButton* SettingsButton() = 0;
    // The readings and parameter pages, whose buttons send the operator's own requests.
    virtual QWidget* Pages() = 0;
    // Works with the instrument at `address` from now on, in Modbus RTU or QV, at `baud`, as
    // the search does when it finds one; the port stays. Throws ESerialPort when the port
    // refuses the speed.
    virtual void UseInstrument(uint16_t address, bool modbus, int32_t baud) = 0;

    // One window at a time talks on the line beside the main window's own exchange: a window
    // claims the line before its first request and gives it back when it is done. False, and
    // nothing changes, while another window holds it (LineHolder() names that one). A window
    // destroyed while holding it gives it back.
    virtual bool ClaimLine(QObject* window, const QString& name) = 0;
    virtual void ReleaseLine(const QObject* window) = 0;
    virtual QString LineHolder() const = 0;
};
