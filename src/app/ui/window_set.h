// The eighteen windows that follow the main window, created once at start in
// their fixed order (TForm2 … TForm19), hidden, owned by the main window and
// found by their layout names (objectName "TForm5" and so on).
#pragma once

#include <QString>
#include <QWidget>

#include <vector>

namespace varnesk {

class MainWindow;

struct WindowName {
    const char* objectName;
    const char* caption; // UTF-8
};

// TForm2 … TForm19 in creation order.
const std::vector<WindowName>& secondaryWindowNames();

// Creates TForm2 … TForm19 in order; returns them in that order.
std::vector<QWidget*> createSecondaryWindows(MainWindow& main);

// Places window centred over owner: left = owner left + owner width / 2 −
// own width / 2, top likewise, halves taken as whole pixels.
void centreOver(QWidget& window, const QWidget& owner);

// The windows whose "open at start" settings are on ([Form] Spec, List, Text).
void showStartWindows(MainWindow& main);

} // namespace varnesk
