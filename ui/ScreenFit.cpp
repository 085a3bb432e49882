#include "ui/ScreenFit.h"

#include <QMainWindow>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>

namespace {

// The content's children are placed at fixed positions, so its natural size is where its
// children end (its layout, if any, reports nothing useful for absolute positions).
QSize ContentExtent(const QWidget* content) {
    QRect extent;
    for (const QWidget* child :
         content->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (!child->isWindow()) extent |= child->geometry();
    return QSize(extent.right() + 1, extent.bottom() + 1).expandedTo(content->minimumSize());
}

}  // namespace

QSize WindowSizeForScreen(const QSize& wanted, const QSize& available, int scrollBar) {
    const QSize room = (available - WindowFrameAllowance).expandedTo(QSize(1, 1));
    if (wanted.width() <= room.width() && wanted.height() <= room.height()) return wanted;
    QSize size = wanted;
    if (wanted.height() > room.height()) size.rwidth() += scrollBar;
    if (wanted.width() > room.width()) size.rheight() += scrollBar;
    return size.boundedTo(room);
}

bool FitWindowToScreen(QMainWindow* window, const QRect& available) {
    const QSize wanted = window->size();
    const QSize fitted = WindowSizeForScreen(
        wanted, available.size(), window->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    if (fitted == wanted) return false;
    QWidget* content = window->takeCentralWidget();
    content->setMinimumSize(ContentExtent(content));
    auto* scroll = new QScrollArea;
    scroll->setObjectName(QStringLiteral("ContentScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);  // content grows with the window, never below its extent
    scroll->setWidget(content);
    window->setCentralWidget(scroll);
    window->resize(fitted);
    return true;
}

bool FitWindowToScreen(QMainWindow* window) {
    const QScreen* screen = window->screen();
    return screen && FitWindowToScreen(window, screen->availableGeometry());
}
