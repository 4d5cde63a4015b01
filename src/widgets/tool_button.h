// A flat tool button known by its objectName (the name the layouts and the
// settings use): its label, its tooltip, and whether it stays down when pressed.
#pragma once

#include <QString>
#include <QToolButton>

namespace varnesk {

inline QToolButton* makeToolButton(QWidget* parent, const QString& name, const QString& text, const QString& hint,
                                   bool checkable)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(text);
    button->setToolTip(hint);
    button->setCheckable(checkable);
    button->setAutoRaise(true);
    return button;
}

inline QToolButton* makeToolButton(QWidget* parent, const char* name, const QString& text, const QString& hint,
                                   bool checkable)
{
    return makeToolButton(parent, QString(QLatin1String(name)), text, hint, checkable);
}

} // namespace varnesk
