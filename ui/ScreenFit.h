#pragma once
// Keeps a window whose content is laid out at fixed positions usable on a screen smaller than
// it (a small laptop screen, or a large scale factor): the content scrolls inside the window
// instead of falling off the screen. A window that fits is left exactly as it is.
#include <QRect>
#include <QSize>

class QMainWindow;

// Room kept for the window's frame and title bar, which are not known before the window is
// first shown.
constexpr QSize WindowFrameAllowance(16, 40);

// The size a window that wants `wanted` gets on a screen with `available` room: `wanted` when
// it fits with its frame; otherwise cut to the room, and widened (or heightened) by a scroll
// bar of `scrollBar` pixels where the other direction is cut and the room allows.
QSize WindowSizeForScreen(const QSize& wanted, const QSize& available, int scrollBar);

// When `window` does not fit `available`, moves its central widget into a scroll area and
// makes the window fit. Returns whether it did.
bool FitWindowToScreen(QMainWindow* window, const QRect& available);
// The same for the available room of the screen the window is on.
bool FitWindowToScreen(QMainWindow* window);
