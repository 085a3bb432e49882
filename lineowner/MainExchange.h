#pragma once
// TMainExchange: what the line's owner asks of the main window, whose own exchange is the
// line's first customer: stop its polling, switch its own requests off and on, show who has
// the line, and say how long an answer may take. The main window implements it. Main thread
// only.
#include <QString>

class QWidget;

class TMainExchange {
public:
    virtual ~TMainExchange() = default;

    // Polling stops; its request in flight is dropped (its answer may still come).
    virtual void YieldPolling() = 0;
    // The pages' and the toolbar's own exchange controls (settings, search, protocol switch).
    virtual void EnableOwnExchange(bool enabled) = 0;
    // A note in the status bar while a window holds the line; null takes it away.
    virtual void ShowLineHolder(QWidget* note) = 0;
    virtual QWidget* StatusBarWidget() = 0;  // the note's parent
    // The whole wait for an answer, the network's allowance included.
    virtual int AnswerWaitMs() const = 0;
};
