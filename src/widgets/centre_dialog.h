// Places a dialog centred over its owner's frame.
#pragma once

#include <QWidget>

namespace varnesk {

// Centred over owner: left = owner left + owner width / 2 − own width / 2.
inline void centreDialog(QWidget& dialog, const QWidget* owner)
{
    if (!owner)
        return;
    const QRect o = owner->frameGeometry();
    const QSize own = dialog.frameGeometry().size();
    dialog.move(o.left() + o.width() / 2 - own.width() / 2, o.top() + o.height() / 2 - own.height() / 2);
}

} // namespace varnesk
