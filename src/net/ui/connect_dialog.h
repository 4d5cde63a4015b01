// The connection dialog TForm14 ("IP接続"): server (Edit1), port (Edit2) and
// the reconnect switch (CheckBox1) from [Net] ServerName, ClientPortNo and
// Reconnect. OK refuses a port that is not a number in 49152 … 65535 and
// stays open; otherwise it stores the three and is accepted.
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace varnesk {

class SettingsStore;

class ConnectDialog : public QDialog {
    Q_OBJECT
public:
    ConnectDialog(SettingsStore& settings, QWidget* owner);

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    SettingsStore& m_settings;
    QWidget* m_owner;
    QLineEdit* m_server = nullptr;
    QLineEdit* m_port = nullptr;
    QCheckBox* m_reconnect = nullptr;
};

} // namespace varnesk
