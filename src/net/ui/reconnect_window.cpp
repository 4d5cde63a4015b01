// TForm15: follows the countdown; cancel stops it.
#include "net/ui/reconnect_window.h"

#include "net/net_link.h"
#include "widgets/centre_dialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace varnesk {

ReconnectWindow::ReconnectWindow(NetLink& link, QWidget* owner) : QDialog(owner), m_link(link), m_owner(owner)
{
    setWindowTitle(QStringLiteral("再接続"));
    setModal(true);
    m_reason = new QLabel(this);
    m_reason->setObjectName(QStringLiteral("Label1"));
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("Label2"));
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel->setObjectName(QStringLiteral("Button1"));
    connect(cancel, &QPushButton::clicked, this, &ReconnectWindow::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_reason);
    layout->addWidget(m_count);
    layout->addLayout(buttons);
    resize(280, 120);

    connect(&m_link, &NetLink::countdownStarted, this, [this](NetLink::Reason reason, int seconds) {
        QApplication::beep();
        m_reason->setText(reason == NetLink::Reason::LineDropped ? QStringLiteral("回線が切断されました")
                                                                 : QStringLiteral("接続に失敗しました"));
        showCount(seconds);
        // Modal, but shown rather than run: the sockets keep working underneath.
        show();
        raise();
    });
    connect(&m_link, &NetLink::countdownChanged, this, &ReconnectWindow::showCount);
    connect(&m_link, &NetLink::countdownEnded, this, &QWidget::hide);
}

void ReconnectWindow::showCount(int seconds)
{
    m_count->setText(QStringLiteral("%1秒後に再接続を行います").arg(seconds));
}

void ReconnectWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_owner)
        centreDialog(*this, m_owner);
}

void ReconnectWindow::reject()
{
    // Also the window's close button and Escape.
    if (m_link.countdownRunning())
        m_link.cancelReconnect();
    QDialog::reject();
}

} // namespace varnesk
