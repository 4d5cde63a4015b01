// The reconnect window TForm15 ("再接続"): the reason the line went (Label1)
// and the seconds left (Label2) of the network link's countdown, and
// "キャンセル". Modal over the main window without holding up the event loop.
#pragma once

#include <QDialog>

class QLabel;

namespace varnesk {

class NetLink;

class ReconnectWindow : public QDialog {
    Q_OBJECT
public:
    ReconnectWindow(NetLink& link, QWidget* owner);

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void showCount(int seconds);

    NetLink& m_link;
    QWidget* m_owner;
    QLabel* m_reason = nullptr;
    QLabel* m_count = nullptr;
};

} // namespace varnesk
