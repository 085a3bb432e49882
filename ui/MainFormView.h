#pragma once
// TMainFormView: the exchange's view of the main window. Maps the fields the answer
// interpretation names onto the form's controls, and its status, error, panel and timer
// requests onto the window. Main thread only; owned by the window.
#include "exchange/ExchangeView.h"

class TAnswerLog;
class Tz;
class QWidget;

class TMainFormView : public TExchangeView {
public:
    explicit TMainFormView(Tz& window);

    void ShowStatus(const QString& text) override;
    void ShowError(const QString& text) override;
    void ReportLineFailure(const ESerialPort& error) override;
    void ShowReading(int panel, uint8_t pointCode, double value) override;
    void ClearPanel(int panel) override;
    void ShowUnit(int panel, const QString& unit) override;
    QString FieldText(TField field) const override;
    void SetFieldText(TField field, const QString& text) override;
    void SetFieldIndex(TField field, int index) override;
    void ArmRepeatTimer(int intervalMs) override;
    void RefreshProtocolView() override;
    void EnableProtocolSwitch(bool enabled) override;
    void TraceAnswer(const uint8_t* answer, int length) override;
    void RequestEnded(const TRequestEnd& end) override;

private:
    QWidget* Field(TField field) const;

    Tz& FWindow;
    TAnswerLog* FAnswerLog;  // owned by the list it fills
};
