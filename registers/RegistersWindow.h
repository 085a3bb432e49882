#pragma once
// TRegistersWindow: "Регистры", the service window for any register or coil of any Modbus RTU
// device on the line and for frames typed by hand. A table of registers read with functions
// 1-4 (the instrument's registers named beside their numbers, with the value as the
// instrument means it), shown in any type, word order and base; writes of one value or a block
// (functions 5, 6, 15, 16); polling at an interval with the age and error of each row; CSV
// export; a raw frame sent once or repeated, its answer shown and decoded; the line's parity
// and stop bits.
//
// The window holds the line (TLineOwner) while it polls, repeats or awaits an answer; each
// request goes out on the owner's thread and its answer comes back here, so that the main
// thread never waits. Its frames reach the frame monitor through the owner. Main thread only.
#include <QLabel>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

#include "lineowner/LineExchange.h"
#include "protocol/RegisterFrames.h"
#include "registers/RegisterTableModel.h"
#include "serial/SerialPort.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QSpinBox;
class QTableView;
class TWindowHost;

// The line's framing, as stored with the port's settings.
struct TLineFraming {
    TParity parity = paNone;
    TStopBits stopBits = sb1;
};

class TRegistersWindow : public QWidget {
    Q_OBJECT
public:
    // `storeFraming` keeps a framing the operator chose (setup.cfg); may be empty.
    TRegistersWindow(TWindowHost& host, std::function<void(const TLineFraming&)> storeFraming,
                     QWidget* parent = nullptr);
    ~TRegistersWindow() override;

    // Adds "Регистры…" (F6) to the service menu; the window is made when first opened.
    static void AddToMenu(QMenu& menu, TWindowHost& host,
                          std::function<void(const TLineFraming&)> storeFraming);

    TRegisterTableModel& Model() { return FModel; }
    // A request of the window under way (or waiting for the main window's to fall silent).
    bool Busy() const;
    // True while the window has the line (a request, polling or repeating under way).
    bool OwnsLine() const;

    // The operator's actions, as the buttons run them.
    void ReadOnce();
    void SetPolling(bool on);
    void WriteValues();
    void SendRaw();
    void SetRawRepeat(bool on);
    void ExportCsv(const QString& path);

    // The controls, for the tests and the screenshots.
    QSpinBox* AddressBox() const { return FAddress; }
    QComboBox* FunctionBox() const { return FFunction; }
    QSpinBox* StartBox() const { return FStart; }
    QSpinBox* CountBox() const { return FCount; }
    QComboBox* TypeBox() const { return FType; }
    QComboBox* OrderBox() const { return FOrder; }
    QComboBox* BaseBox() const { return FBase; }
    QSpinBox* IntervalBox() const { return FInterval; }
    QSpinBox* WriteStartBox() const { return FWriteStart; }
    QComboBox* WriteFunctionBox() const { return FWriteFunction; }
    QLineEdit* WriteValuesField() const { return FWriteValues; }
    QLineEdit* RawField() const { return FRawText; }
    QCheckBox* RawCrcBox() const { return FRawCrc; }
    QSpinBox* RawIntervalBox() const { return FRawInterval; }
    QLabel* RawAnswerLabel() const { return FRawAnswer; }
    QComboBox* ParityBox() const { return FParity; }
    QComboBox* StopBitsBox() const { return FStopBits; }
    QTableView* Table() const { return FTable; }
    QLabel* StatusLabel() const { return FStatus; }
    QLabel* LineOwnerLabel() const;  // the line's owner's note in the status bar
    int RequestsSent() const { return FSent; }

protected:
    void hideEvent(QHideEvent* event) override;

private:
    enum class Pending { None, Read, Write, Raw };

    QWidget* MakeReadBar();
    QWidget* MakeWriteBar();
    QWidget* MakeRawBar();
    QWidget* MakeFramingBar();
    void ViewChanged();
    void RangeChanged();
    void FramingChanged();
    void ShowFraming();
    std::optional<protocol::DataRequest> ReadRequest();
    bool Send(Pending what, TLineRequest request);
    void Answered(const TLineAnswer& answer);
    void ReadAnswered(const TLineAnswer& answer);
    void WriteAnswered(const TLineAnswer& answer);
    void RawAnswered(const TLineAnswer& answer);
    void ReleaseWhenIdle();
    void Say(const QString& text, bool problem);
    QString AnswerProblem(const protocol::DataAnswer& answer) const;

    TWindowHost& FHost;
    std::function<void(const TLineFraming&)> FStoreFraming;
    TRegisterTableModel FModel;
    Pending FPending = Pending::None;
    bool FSettling = false;           // the request waits for the main window's answer to pass
    bool FExchanging = false;         // a request is on the line (or about to be)
    protocol::DataRequest FInFlight;  // the read or write awaiting its answer
    QTimer* FPollTimer;
    QTimer* FRawTimer;
    QTimer* FAgeTimer;
    int FSent = 0;

    QSpinBox* FAddress;
    QComboBox* FFunction;
    QSpinBox* FStart;
    QSpinBox* FCount;
    QComboBox* FType;
    QComboBox* FOrder;
    QComboBox* FBase;
    QPushButton* FReadButton;
    QPushButton* FPollButton;
    QSpinBox* FInterval;
    QPushButton* FExportButton;
    QTableView* FTable;
    QSpinBox* FWriteStart;
    QComboBox* FWriteFunction;
    QLineEdit* FWriteValues;
    QPushButton* FWriteButton;
    QLineEdit* FRawText;
    QCheckBox* FRawCrc;
    QPushButton* FRawSendButton;
    QPushButton* FRawRepeatButton;
    QSpinBox* FRawInterval;
    QLabel* FRawAnswer;
    QComboBox* FParity;
    QComboBox* FStopBits;
    QLabel* FStatus;
};
