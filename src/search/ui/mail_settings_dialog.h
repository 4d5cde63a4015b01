// The e-mail settings dialog TForm7 ("メール設定"): SMTP server (Edit1),
// sender address (Edit3) and recipient address (Edit4), taken from [Mail]
// MailHost, MailFrom and MailTo, and the server's port (MailPort), STARTTLS
// (MailTls) and login (MailAuth: none, PLAIN or LOGIN; MailUser, MailPass).
// OK refuses an empty field with an error box and stays open; with all three
// filled it stores them and closes.
#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

namespace varnesk {

class SettingsStore;

class MailSettingsDialog : public QDialog {
    Q_OBJECT
public:
    MailSettingsDialog(SettingsStore& settings, QWidget* parent = nullptr);

    void setCentreOver(QWidget* window) { m_centreOver = window; }

    void accept() override;
    // Closes without change; the fields show the stored values again.
    void reject() override;

Q_SIGNALS:
    // After OK: false when a field was empty (the search window's mail switch
    // and test button go off), true when the three were stored.
    void mailConfigured(bool configured);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fill();

    SettingsStore& m_settings;
    QWidget* m_centreOver = nullptr;
    QLineEdit* m_host = nullptr;
    QLineEdit* m_from = nullptr;
    QLineEdit* m_to = nullptr;
    QSpinBox* m_port = nullptr;
    QCheckBox* m_tls = nullptr;
    QComboBox* m_auth = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
};

} // namespace varnesk
