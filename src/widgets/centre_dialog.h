// Where a window opens: centred over its owner, both measured by their frame
// (title bar and border included), halves taken as whole pixels. Shared by
// the windows of every area.
#pragma once

#include <QWidget>

namespace varnesk {

// left = owner's frame left + frame width / 2 − own frame width / 2, top
// likewise; no owner leaves the window where it is.
inline void centreDialog(QWidget& window, const QWidget* owner)
{
    if (!owner)
        return;
    const QRect frame = owner->frameGeometry();
    const QSize own = window.frameGeometry().size();
    window.move(frame.x() + frame.width() / 2 - own.width() / 2, frame.y() + frame.height() / 2 - own.height() / 2);
}

} // namespace varnesk
