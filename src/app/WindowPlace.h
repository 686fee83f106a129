#pragma once
// Where the main window opens: the place and size kept at the last close
// when they are still sound on the screens there are now, else a size that
// suits the page layout, centred on the main screen. Rectangles are the
// window's client area; the screens' are their available areas (without
// task bars).

#include <QList>
#include <QRect>
#include <QSize>
#include <optional>

namespace orvan::app {

// Room the window manager's frame takes around the client area: the title
// bar above, the borders at the sides.
inline constexpr int kFrameTop = 32;
inline constexpr int kFrameSide = 8;
// The client size the pages are laid out for; a smaller screen gets less.
inline constexpr QSize kPreferredWindowSize{1000, 690};

// screens: the available area of each screen, the main screen first.
QRect ChooseWindowPlace(const std::optional<QRect>& saved, const QList<QRect>& screens,
                        QSize preferred = kPreferredWindowSize);

}  // namespace orvan::app
