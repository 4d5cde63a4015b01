// The QApplication of a window test binary: made once, on first use, by
// whichever test comes first; the program does not end with its last window.
#pragma once

#include <QApplication>

namespace varnesk::test {

inline void ensureGuiApp()
{
    static int argc = 1;
    static char name[] = "varnesk-test";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance())
        return;
    new QApplication(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnesk"));
    QApplication::setQuitOnLastWindowClosed(false);
}

} // namespace varnesk::test
