#include "base/FirstFrame.h"

#include <QEvent>

namespace base {

namespace {

class FirstPaintWatch : public QObject {
public:
    FirstPaintWatch(QObject& window, std::function<void()> then)
        : QObject(&window), FThen(std::move(then)) {
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched == parent()) {
            watched->removeEventFilter(this);
            // Queued, so that it runs once the whole repaint, children included, is done.
            QMetaObject::invokeMethod(watched, std::move(FThen), Qt::QueuedConnection);
            deleteLater();
        }
        return false;
    }

private:
    std::function<void()> FThen;
};

}  // namespace

void WhenFirstFramePainted(QObject& window, std::function<void()> then) {
    new FirstPaintWatch(window, std::move(then));
}

}  // namespace base
