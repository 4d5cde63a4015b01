// Process entry: the application titled "Varnesk", the main window and the
// eighteen further windows in their fixed order, the event loop until the
// main window closes. SIGINT and SIGTERM close the main window normally.
#include "app/ui/main_window.h"
#include "app/ui/message_hub.h"
#include "app/ui/shutdown.h"
#include "app/ui/window_table.h"

#include <QApplication>

#include <clocale>
#include <exception>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // QApplication takes the user's locale for the C library too; numbers in
    // files and on screen are always written with a '.'.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Varnesk"));
    QApplication::setApplicationDisplayName(QStringLiteral("Varnesk"));
    QApplication::setDesktopFileName(QStringLiteral("io.varnesk.Varnesk"));
    // The main window may be joined by always-on-top windows; the program ends
    // with the main window, not with the last window.
    QApplication::setQuitOnLastWindowClosed(false);
    varnesk::installTerminationHandling();
    try {
        varnesk::MainWindow window;
        varnesk::createSecondaryWindows(window);
        varnesk::attachMainWindow(window);
        window.show();
        varnesk::showStartWindows(window);
        QApplication::exec();
    } catch (const std::exception& e) {
        varnesk::MessageHub::error(nullptr, QString::fromLocal8Bit(e.what()));
    }
    return 0;
}
