#include "ui/AnswerLog.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QListWidget>
#include <algorithm>

namespace {

// The texts of the 256 byte values and of the answer's end, made once and shared by every line
// that shows them.
const QString& LineText(uint16_t line) {
    static const std::array<QString, 257> texts = [] {
        std::array<QString, 257> made;
        for (int b = 0; b < 256; ++b) made[size_t(b)] = QString::number(b);
        made[256] = QStringLiteral("  ");
        return made;
    }();
    return texts[line];
}

}  // namespace

TAnswerLog::TAnswerLog(QListWidget& list) : QObject(&list), FList(list) {
    list.installEventFilter(this);
    // Lines not yet in a list that is emptied would otherwise come back when it is shown.
    connect(list.model(), &QAbstractItemModel::modelReset, this, [this] { FPending = 0; });
}

void TAnswerLog::Keep(uint16_t line) {
    FRing[size_t(FNext)] = line;
    FNext = (FNext + 1) % LineLimit;
    FPending = std::min(FPending + 1, LineLimit);
}

void TAnswerLog::Add(const uint8_t* answer, int length) {
    for (int i = 0; i < length; ++i) Keep(answer[i]);
    Keep(AnswerEnd);
    if (!FList.isHidden()) Flush();
}

// The lines go in with one insertion and the oldest go out with one removal, so the list and
// its view do their bookkeeping once per flush rather than once per line.
void TAnswerLog::Flush() {
    if (FPending == 0) return;
    QAbstractItemModel* model = FList.model();
    // A full ring replaces the whole list.
    if (FPending == LineLimit && FList.count() > 0) model->removeRows(0, FList.count());
    FLines.clear();  // keeps its room from the flush before
    for (int i = FPending; i > 0; --i)
        FLines.append(LineText(FRing[size_t((FNext - i + LineLimit) % LineLimit)]));
    FPending = 0;
    FList.addItems(FLines);
    const int excess = FList.count() - LineLimit;
    if (excess > 0) model->removeRows(0, excess);
}

bool TAnswerLog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &FList &&
        (event->type() == QEvent::ShowToParent || event->type() == QEvent::Show))
        Flush();
    return QObject::eventFilter(watched, event);
}
