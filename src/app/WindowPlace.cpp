#include "app/WindowPlace.h"

#include <algorithm>

namespace orvan::app {

namespace {

// The room for the client area on a screen, the frame kept on it.
QRect ClientRoom(const QRect& screen) {
    return screen.adjusted(kFrameSide, kFrameTop, -kFrameSide, -kFrameSide);
}

QSize Bounded(QSize size, const QRect& room) {
    return {std::clamp(size.width(), 1, std::max(1, room.width())),
            std::clamp(size.height(), 1, std::max(1, room.height()))};
}

QRect Centred(QSize size, const QRect& room) {
    const QSize s = Bounded(size, room);
    QRect r(QPoint(0, 0), s);
    r.moveCenter(room.center());
    return r;
}

}  // namespace

QRect ChooseWindowPlace(const std::optional<QRect>& saved, const QList<QRect>& screens,
                        QSize preferred) {
    if (screens.isEmpty()) return {QPoint(0, 0), saved ? saved->size() : preferred};
    const QRect mainRoom = ClientRoom(screens.front());
    if (!saved || !saved->isValid()) return Centred(preferred, mainRoom);
    // The title bar must be on a screen the user can reach, or the window
    // could not be moved back: a place kept on a screen since unplugged is
    // left for the main screen.
    const QRect titleBar(saved->left(), saved->top() - kFrameTop, saved->width(), kFrameTop);
    for (const QRect& screen : screens) {
        const QRect grip = titleBar.intersected(screen);
        if (grip.width() < 100 || grip.height() < kFrameTop / 2) continue;
        const QRect room = ClientRoom(screen);
        QRect r(saved->topLeft(), Bounded(saved->size(), room));
        // Within its screen, with the frame on it.
        r.moveLeft(std::clamp(r.left(), room.left(), room.right() - r.width() + 1));
        r.moveTop(std::clamp(r.top(), room.top(), room.bottom() - r.height() + 1));
        return r;
    }
    return Centred(saved->size(), mainRoom);
}

}  // namespace orvan::app
