// The main window TForm1: owns the Station (the receive pipeline) and shows the map.
#pragma once

#include <QMainWindow>

namespace varnesk {

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
};

} // namespace varnesk
