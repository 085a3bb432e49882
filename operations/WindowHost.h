#pragma once
// TWindowHost: what the window's features use of the main window, by name: its status and
// error box, places in its toolbar and status bar, the port and the polling, the instrument it
// works with, and the line's owner that gives each feature its turn on the line. The main
// window implements it. Main thread only.
#include <QString>
#include <cstdint>
#include <functional>

class QObject;
class QToolButton;
class QWidget;
class TDesktop;
class TLineOwner;
class TSerialPort;

class TWindowHost {
public:
    virtual ~TWindowHost() = default;

    virtual QWidget* Window() = 0;    // the parent of the features' windows and dialogs
    virtual TDesktop& Desktop() = 0;  // what the window asks of the desktop
    virtual void ShowStatus(const QString& text) = 0;
    virtual void ShowError(const QString& text) = 0;
    // A feature's button in the toolbar, `slot` buttons' widths after the toolbar's last own
    // one, in its style and size; it follows the toolbar as the address group widens.
    virtual void AddToolButton(QToolButton* button, int slot) = 0;
    // A widget in the status bar's permanent part while shown.
    virtual void ShowInStatusBar(QWidget* widget, bool shown) = 0;

    virtual TSerialPort& Port() = 0;
    virtual int Baud() const = 0;  // the speed chosen in the settings, bit/s
    virtual QString DefaultFolder()
        const = 0;  // where files are offered first; ends with a separator
    virtual int AnswerWaitMs() const = 0;

    // The readings page's start button.
    virtual void StartReading() = 0;
    // The timers stopped and the exchange suspended, its state kept (the line failed).
    virtual void HaltExchange() = 0;
    virtual void ShowParameterPage() = 0;

    // The instrument the main window works with: its address (-1 before the window's exchange
    // is up) and protocol.
    virtual int InstrumentAddress() const = 0;
    virtual bool InstrumentSpeaksModbus() const = 0;
    // Works with the instrument at `address` from now on, in Modbus RTU or QV, at `baud`, as
    // the search does when it finds one; the port stays. Throws ESerialPort when the port
    // refuses the speed.
    virtual void UseInstrument(uint16_t address, bool modbus, int32_t baud) = 0;
    // `changed` runs (in `context`'s life) when the operator may have chosen another
    // instrument: an address typed, the settings dialog used.
    virtual void WhenInstrumentMayChange(QObject* context, std::function<void()> changed) = 0;
    // `starting` runs as the operator starts one of the main window's own exchanges (the
    // settings dialog, which may close the port; the search; the protocol switch).
    virtual void WhenOwnExchangeStarts(QObject* context, std::function<void()> starting) = 0;

    // Who talks on the line: every feature claims it there before its first request.
    virtual TLineOwner& LineOwner() = 0;
};
