#pragma once
// Start-up is timed to the first frame a window has painted, not to the moment it is shown:
// a shown window draws nothing until the event loop runs its first repaint.
#include <QObject>
#include <functional>

namespace base {

// Calls `then` once, from the event loop, after `window` has painted its first frame: its own
// first paint event and those of its children, which the same repaint delivers, are over.
void WhenFirstFramePainted(QObject& window, std::function<void()> then);

}  // namespace base
