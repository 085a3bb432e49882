#pragma once
// TAnswerLog: the answer log of the main window (the list Memo1, hidden on the form). Each
// answer interpreted adds one line per byte (its decimal value) and a blank line ("  ") after
// it; the newest LineLimit lines are kept, so hours of polling cannot grow it without bound.
//
// While the list is hidden, the lines are kept as byte codes in a ring of LineLimit entries
// and the list is brought up to date when it is shown: polling with the log hidden makes no
// list items, and the list shows the same lines as if every answer had gone straight in.
// While it is shown, every answer goes straight in. Main thread only.
#include <QObject>
#include <QStringList>
#include <array>
#include <cstdint>

class QListWidget;

class TAnswerLog : public QObject {
public:
    static constexpr int LineLimit = 2000;

    explicit TAnswerLog(QListWidget& list);

    void Add(const uint8_t* answer, int length);
    // Puts the lines the list has not got yet into it.
    void Flush();
    int PendingLines() const { return FPending; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static constexpr uint16_t AnswerEnd = 256;  // the blank line after each answer

    void Keep(uint16_t line);

    QListWidget& FList;
    std::array<uint16_t, LineLimit> FRing{};  // the newest lines: a byte value or AnswerEnd
    int FNext = 0;                            // where the next line goes in the ring
    int FPending = 0;                         // the newest lines the list has not got
    QStringList FLines;                       // lines of one flush, room kept between flushes
};
