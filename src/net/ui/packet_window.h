// The packet status window TForm13 ("パケット状態測定"): the packet counters
// of the network link, rewritten whenever they change, and the test
// transmitter ("TEST TX" with its interval in milliseconds) that sends
// numbered test lines to the server.
#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace varnesk {

class NetLink;

class PacketWindow : public QWidget {
    Q_OBJECT
public:
    PacketWindow(NetLink& link, QWidget* owner);

    int testCounter() const { return m_testCounter; }
    bool testRunning() const { return m_testTimer.isActive(); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showCounters();
    void toggleTest(bool down);
    void sendTest();

    NetLink& m_link;
    QWidget* m_owner;
    QLabel* m_sent = nullptr;
    QLabel* m_received = nullptr;
    QLabel* m_clientBlocked = nullptr;
    QLabel* m_clientErrors = nullptr;
    QLabel* m_serverBlocked = nullptr;
    QLabel* m_serverErrors = nullptr;
    QPushButton* m_testButton = nullptr;
    QLineEdit* m_interval = nullptr;
    QTimer m_testTimer;
    int m_testCounter = 0;
};

} // namespace varnesk
