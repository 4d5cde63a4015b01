// Window placement once the window manager has framed a window. A position
// given before the first showing may be taken for the client area's; saved
// again as the frame's, it would move the window up by its title bar at every
// restart. A window resized before it is framed may land the same way.
#pragma once

#include <QGuiApplication>
#include <QPoint>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace varnesk {

// Runs then once the shown window has its frame (2 s at most; at once on a
// platform without a window manager). Nothing if the window went away or
// was hidden meanwhile.
inline void whenFramed(QWidget& window, std::function<void()> then, int tries = 0)
{
    constexpr int kTries = 40;
    constexpr int kTryMs = 50;
    QPointer<QWidget> w(&window);
    QTimer::singleShot(tries == 0 ? 0 : kTryMs, &window, [w, then = std::move(then), tries]() mutable {
        if (!w || !w->isVisible())
            return;
        const bool framed = w->frameGeometry() != w->geometry();
        if (!framed && tries < kTries && QGuiApplication::platformName() == QLatin1String("xcb")) {
            whenFramed(*w, std::move(then), tries + 1);
            return;
        }
        then();
    });
}

// Puts the window's frame (title bar included) at a saved position.
inline void keepFrameAt(QWidget& window, QPoint frameTopLeft)
{
    QPointer<QWidget> w(&window);
    whenFramed(window, [w, frameTopLeft] {
        if (w && w->pos() != frameTopLeft)
            w->move(frameTopLeft);
    });
}

} // namespace varnesk
