// The termination path: modal windows first (innermost first), then the main window.
#include "app/ui/shutdown.h"

#include "app/termination_signals.h"
#include "app/ui/main_window.h"
#include "widgets/message_hub.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>

namespace varnesk {

namespace {

QPointer<MainWindow> g_mainWindow;
bool g_terminationRequested = false;

void dismissModalWindows()
{
    // A modal window runs its own event loop inside the call that opened it;
    // dismissing it lets that call return (a confirmation counts as "No").
    for (int guard = 0; guard < 16; ++guard) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            break;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        if (QApplication::activeModalWidget() == modal)
            modal->hide();
    }
}

void onTermination()
{
    g_terminationRequested = true;
    // No new box may hold the program open from here on.
    MessageHub::setSuppressed(true);
    if (g_mainWindow)
        closeFromOutside(*g_mainWindow);
    else
        dismissModalWindows();
}

} // namespace

void closeFromOutside(MainWindow& main)
{
    dismissModalWindows();
    QPointer<MainWindow> window(&main);
    QTimer::singleShot(0, &main, [window] {
        if (!window)
            return;
        if (QApplication::activeModalWidget()) {
            closeFromOutside(*window);
            return;
        }
        window->close();
    });
}

bool installTerminationHandling()
{
    return TerminationSignals::install([](int) { onTermination(); });
}

void attachMainWindow(MainWindow& main)
{
    g_mainWindow = &main;
    if (g_terminationRequested)
        closeFromOutside(main);
}

} // namespace varnesk
