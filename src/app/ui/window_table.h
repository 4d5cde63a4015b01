// The eighteen windows that follow the main window: one table with each
// window's layout name (objectName TForm5 and so on; set here only), caption, kind, the
// setting that opens it at start, and its factory. Created once at start in
// the table's order, hidden, owned by the main window.
#pragma once

#include "settings/settings_keys.h"

#include <QString>
#include <QWidget>

#include <optional>
#include <vector>

namespace varnesk {

class MainWindow;

struct WindowEntry {
    const char* objectName;
    const char* caption; // UTF-8
    bool dialog;         // a dialog (modal or centred over its owner) or a plain window
    // The [Form] setting that shows the window at start and keeps whether it
    // was showing at close.
    std::optional<Key> shownAtStart;
    // Makes the window with the main window as parent; null for a window whose
    // contents are not built yet (a plain window with its name and caption).
    QWidget* (*make)(MainWindow& main);
};

// TForm2 … TForm19 in creation order.
const std::vector<WindowEntry>& windowTable();

// The main window's own layout name (TForm1).
QString mainWindowName();

// Creates TForm2 … TForm19 in order, names them, puts each into
// main.windows() by type, connects them to the program's core and hands
// their toolbar buttons and menu entries to the main window; returns them
// in table order.
std::vector<QWidget*> createSecondaryWindows(MainWindow& main);

// The windows whose "open at start" settings are on ([Form] Spec, List, Text).
void showStartWindows(MainWindow& main);
// Puts whether each of those windows is showing into the settings (at close).
void storeStartWindows(MainWindow& main);

} // namespace varnesk
