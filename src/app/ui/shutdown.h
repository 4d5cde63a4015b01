// Closing the program from outside (SIGINT, SIGTERM): every open modal box or
// dialog is dismissed, then the main window closes through its normal close
// path, so the settings are saved as on a close by the user. A signal that
// arrives while the main window is still being built (a start-up box is
// open) closes it as soon as it is complete.
#pragma once

namespace varnesk {

class MainWindow;

// Routes SIGINT and SIGTERM to the termination path; call before the main
// window is built. False when they cannot be caught.
bool installTerminationHandling();
// The main window is complete: a termination already asked for happens now.
void attachMainWindow(MainWindow& main);

// Dismisses open modal windows and closes the main window; repeats on the next
// turn of the event loop while a modal window is still open.
void closeFromOutside(MainWindow& main);

} // namespace varnesk
