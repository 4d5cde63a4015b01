// Puts a window's frame (title bar included) at a saved position once the
// window manager has framed it. A position given before the first showing
// may be taken for the client area's; saved again as the frame's, it would
// move the window up by its title bar at every restart.
#pragma once

#include <QGuiApplication>
#include <QPoint>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace varnesk {

inline void keepFrameAt(QWidget& window, QPoint frameTopLeft, int tries = 0)
{
    // The frame arrives within a few event-loop turns; 2 s at most.
    constexpr int kTries = 40;
    constexpr int kTryMs = 50;
    QPointer<QWidget> w(&window);
    QTimer::singleShot(tries == 0 ? 0 : kTryMs, &window, [w, frameTopLeft, tries] {
        if (!w || !w->isVisible())
            return;
        const bool framed = w->frameGeometry() != w->geometry();
        if (!framed && tries < kTries && QGuiApplication::platformName() == QLatin1String("xcb")) {
            keepFrameAt(*w, frameTopLeft, tries + 1);
            return;
        }
        if (w->pos() != frameTopLeft)
            w->move(frameTopLeft);
    });
}

} // namespace varnesk
