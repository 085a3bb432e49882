#pragma once
// TSettingForm: the modal dialog "Настройка" in which the operator chooses the serial port,
// the line speed and the protocol the device is addressed in. Created once at program start,
// after the main window, and kept for the whole run; lives on the main thread.
//
// The caller loads the controls (LoadSettings) before every showing, the port box with the
// port in use. "Ок" applies the choice at once: the main window's port is closed,
// reconfigured and reopened, the port named in the box becomes the stored setting (unless it
// is the demo's own device), and the title is refreshed. The dialog keeps nothing between
// showings and never writes the settings file.
//
// Below the buttons, "Язык / Language" chooses the language of the program's texts; the choice
// is stored with the settings and applies from the next start.
#include <QDialog>
#include <QString>
#include <QTimer>
#include <cstdint>

#include "serial/SerialPort.h"

class QHideEvent;
class QPaintEvent;
class QShowEvent;
namespace Ui {
class TSettingForm;
}

class TSettingForm : public QDialog {
    Q_OBJECT
public:
    explicit TSettingForm(QWidget* parent = nullptr);
    ~TSettingForm() override;

    Ui::TSettingForm* ui;  // the dialog's controls, by their form names

    // Port box text, speed list and protocol list as the caller holds them. A speed or
    // protocol outside its list selects the default (9600, Modbus RTU), so the lists always
    // show a valid choice.
    void LoadSettings(const QString& portName, int speedIndex, int protocolIsModbus);

    // The port the box names: what the operator typed or picked, or the loaded port when
    // the box was emptied.
    QString ChosenPort() const;

    void FormCreate();
    void FormPaint();

    // True while a chosen gateway is being connected.
    bool Applying() const { return FApplying; }

public slots:
    void Button1Click();
    void Button2Click();
    void reject() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // The line the program works with before a new choice is applied.
    struct TLineInUse {
        QString storedName;  // PortName
        int speedIndex = 0;
        uint8_t protocolIsModbus = 0;
        QString port;  // as the serial component has it
        TBaudRate baudRate = br9600;
        bool open = false;
    };
    TLineInUse TakeLineInUse() const;
    void ApplyEnded(const QString& chosen, const ESerialPort* failure);
    QString GiveBackLineInUse(const TLineInUse& line);
    void FollowPorts();
    void RefreshPortList();
    void FitPortBox();
    bool TakeLanguage();
    void PlaceByMainWindow();
    void ReportPortListFailure(const QString& message);

    QString FLoadedPort;
    QStringList FRecentGateways;  // offered after the serial ports, newest first
    TLineInUse FBefore;        // what "Отмена" gives back while a gateway is being connected
    bool FApplying = false;    // a chosen gateway is being connected
    int FDesignedBoxWidth;     // the port box and the dialog as designed; both grow together
    int FDesignedDialogWidth;  // when a port name needs more room

    // Set once a port list failure has been shown in this showing of the dialog: every
    // repaint retries the list, and closing the error box itself repaints the dialog.
    bool FPortListFailureShown = false;

    // Re-reads the ports while the dialog is up: nothing repaints an idle dialog, so an
    // adapter plugged in or pulled would otherwise go unseen until something else did.
    QTimer FPortsLook;
};

extern TSettingForm* SettingForm;
