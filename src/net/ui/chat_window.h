// The chat window TForm12 ("チャット画面"): the station name (Edit1), the text
// to send (Edit2), "送信" (Button1) and the chat log (Memo1, plain text,
// read-only). Sends through the network link; refills the log whenever a
// chat line is added.
#pragma once

#include <QWidget>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QLabel;

namespace varnesk {

class NetLink;
class NetworkSharing;
class SettingsStore;

class ChatWindow : public QWidget {
    Q_OBJECT
public:
    ChatWindow(SettingsStore& settings, NetworkSharing& network, NetLink& link, QWidget* owner);

    // The log shows the chat history again.
    void refillLog();
    // "送信": checks the fields and sends.
    void send();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    NetworkSharing& m_network;
    NetLink& m_link;
    QWidget* m_owner;
    QLabel* m_nameLabel = nullptr;
    QLabel* m_textLabel = nullptr;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_text = nullptr;
    QPushButton* m_send = nullptr;
    QPlainTextEdit* m_log = nullptr;
};

} // namespace varnesk
