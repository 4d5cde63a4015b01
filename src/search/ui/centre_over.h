// Centres a window over another: left = owner left + owner width / 2 − own
// width / 2, top likewise, with whole-pixel halves.
#pragma once

#include <QWidget>

namespace varnesk {

inline void centreWindowOver(QWidget& window, const QWidget& owner)
{
    const QRect frame = owner.frameGeometry();
    const QSize own = window.frameGeometry().size();
    window.move(frame.x() + frame.width() / 2 - own.width() / 2, frame.y() + frame.height() / 2 - own.height() / 2);
}

} // namespace varnesk
