// TForm8, the input device and decoder dialog: the system's capture devices
// (row 0 the default input) with the mark on the one in use, the single/dual
// decoder choice, and the device change shown by the notice window TForm9.
#pragma once

#include <QDialog>

#include <array>

class QDoubleSpinBox;
class QPushButton;
class QRadioButton;
class QTreeWidget;

namespace varnesk {

class MainWindow;

class InputDeviceDialog : public QDialog {
    Q_OBJECT
public:
    explicit InputDeviceDialog(MainWindow& main);

    // The pause between closing the old device and opening the new one.
    void setDeviceChangeDelayMs(int ms) { m_delayMs = ms; }

    // Fills the list and the decoder choice from the current settings.
    void refresh();
    // "デバイス選択": switches capture to the selected row's device.
    void changeDevice();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void markRow(int row);
    void accept() override;

    MainWindow& m_main;
    QTreeWidget* m_list = nullptr;
    QRadioButton* m_single = nullptr;
    QRadioButton* m_dual = nullptr;
    std::array<QDoubleSpinBox*, 2> m_freq{};
    QPushButton* m_select = nullptr;
    QPushButton* m_ok = nullptr;
    int m_delayMs = 1000;
};

// TForm9: "録音再設定中..." while the capture device is being changed.
class DeviceChangeNotice : public QDialog {
    Q_OBJECT
public:
    explicit DeviceChangeNotice(MainWindow& main);
};

} // namespace varnesk
