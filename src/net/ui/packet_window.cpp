// TForm13: three groups of counters and the test transmitter.
#include "net/ui/packet_window.h"

#include "net/net_link.h"
#include "widgets/centre_dialog.h"
#include "widgets/message_hub.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace varnesk {

namespace {

const QString kBadInterval = QStringLiteral("送信間隔は1以上の数字（msec）で入力してください");

QLabel* valueLabel(QWidget* parent, const char* name)
{
    auto* label = new QLabel(QStringLiteral("0"), parent);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setMinimumWidth(80);
    return label;
}

} // namespace

PacketWindow::PacketWindow(NetLink& link, QWidget* owner) : QWidget(owner, Qt::Window), m_link(link), m_owner(owner)
{
    setWindowTitle(QStringLiteral("パケット状態測定"));

    auto* packets = new QGroupBox(QStringLiteral("パケット状態"), this);
    m_sent = valueLabel(packets, "SentLabel");
    m_received = valueLabel(packets, "ReceivedLabel");
    auto* packetsForm = new QFormLayout(packets);
    packetsForm->addRow(QStringLiteral("送信パケット数"), m_sent);
    packetsForm->addRow(QStringLiteral("受信パケット数"), m_received);

    auto* client = new QGroupBox(QStringLiteral("Client Send"), this);
    m_clientBlocked = valueLabel(client, "ClientBlockedLabel");
    m_clientErrors = valueLabel(client, "ClientErrorLabel");
    auto* clientForm = new QFormLayout(client);
    clientForm->addRow(QStringLiteral("Blocked"), m_clientBlocked);
    clientForm->addRow(QStringLiteral("Error"), m_clientErrors);

    auto* server = new QGroupBox(QStringLiteral("Server Send"), this);
    m_serverBlocked = valueLabel(server, "ServerBlockedLabel");
    m_serverErrors = valueLabel(server, "ServerErrorLabel");
    auto* serverForm = new QFormLayout(server);
    serverForm->addRow(QStringLiteral("Blocked"), m_serverBlocked);
    serverForm->addRow(QStringLiteral("Error"), m_serverErrors);

    m_testButton = new QPushButton(QStringLiteral("TEST TX"), this);
    m_testButton->setObjectName(QStringLiteral("TestTxButton"));
    m_testButton->setCheckable(true);
    m_interval = new QLineEdit(QStringLiteral("200"), this);
    m_interval->setObjectName(QStringLiteral("Edit1"));
    m_interval->setMaximumWidth(70);
    auto* test = new QHBoxLayout;
    test->addWidget(m_testButton);
    test->addWidget(m_interval);
    test->addWidget(new QLabel(QStringLiteral("msec"), this));
    test->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(packets);
    layout->addWidget(client);
    layout->addWidget(server);
    layout->addLayout(test);

    connect(&m_link, &NetLink::countersChanged, this, &PacketWindow::showCounters);
    connect(m_testButton, &QPushButton::toggled, this, &PacketWindow::toggleTest);
    connect(&m_testTimer, &QTimer::timeout, this, &PacketWindow::sendTest);
    showCounters();
    adjustSize();
    if (m_owner)
        centreDialog(*this, m_owner);
}

void PacketWindow::showCounters()
{
    const PacketCounters& c = m_link.counters();
    m_sent->setText(QString::number(c.sent));
    m_received->setText(QString::number(c.received));
    m_clientBlocked->setText(QString::number(c.clientSendBlocked));
    m_clientErrors->setText(QString::number(c.clientSendErrors));
    m_serverBlocked->setText(QString::number(c.serverSendBlocked));
    m_serverErrors->setText(QString::number(c.serverSendErrors));
}

void PacketWindow::toggleTest(bool down)
{
    if (!down) {
        m_testTimer.stop();
        return;
    }
    bool ok = false;
    const int ms = m_interval->text().trimmed().toInt(&ok);
    if (!ok || ms < 1) {
        m_testButton->setChecked(false);
        MessageHub::warning(this, kBadInterval);
        return;
    }
    m_testTimer.start(ms);
}

void PacketWindow::sendTest()
{
    m_link.sendTestLine(m_testCounter++);
}

void PacketWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_owner)
        centreDialog(*this, m_owner);
    showCounters();
}

} // namespace varnesk
