#pragma once
// A style's standard icon that costs at start-up only the one picture a button shows.
//
// QStyle::standardIcon decodes every size the style ships at once (16, 32 and 128 pixels for
// most), although a button at the usual scale shows only the smallest. The icon made here
// loads nothing until it is first drawn (a button on a page never opened costs nothing), then
// the style's single standard pixmap; it asks the style for the whole icon only when a bigger
// picture is wanted (a scaled screen, a bigger button), and draws from that.
#include <QIcon>
#include <QStyle>

namespace controls {

QIcon StandardIcon(const QStyle& style, QStyle::StandardPixmap which,
                   const QWidget* widget = nullptr);

}  // namespace controls
