// Runs a modal dialog above the window that opened it. For the time it is
// open the dialog is a transient of the opener's window, so the window
// manager keeps it above that window and gives that window back the front on
// closing; while any of the program's windows stays on top, so does the
// dialog, since a modal dialog under such a window blocks the program unseen.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QWidget>

namespace varnesk {

inline bool anyWindowStaysOnTop(const QWidget* except)
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QWidget* w : windows)
        if (w != except && w->isVisible() && w->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
            return true;
    return false;
}

inline int execOver(QDialog& dialog, QWidget* opener)
{
    QPointer<QWidget> owner = dialog.parentWidget();
    QPointer<QWidget> top = opener ? opener->window() : owner.data();
    const Qt::WindowFlags own = dialog.windowFlags();
    Qt::WindowFlags flags = own;
    if (anyWindowStaysOnTop(&dialog))
        flags |= Qt::WindowStaysOnTopHint;
    const bool moved = top && top != owner;
    if (moved)
        dialog.setParent(top, flags);
    else if (flags != own)
        dialog.setWindowFlags(flags);
    QPointer<QDialog> alive(&dialog);
    const int result = dialog.exec();
    if (alive && (moved || flags != own))
        dialog.setParent(owner, own);
    if (top && top->isVisible()) {
        top->raise();
        top->activateWindow();
    }
    return result;
}

} // namespace varnesk
