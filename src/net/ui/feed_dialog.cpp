// The feed's settings form; the counts line refreshes once a second while shown.
#include "net/ui/feed_dialog.h"

#include "acars/sjis.h"
#include "net/feed_sender.h"
#include "settings/settings_store.h"
#include "widgets/dialog_buttons.h"
#include "widgets/centre_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace varnesk {

namespace {

QString stateText(FeedSender::State state)
{
    switch (state) {
    case FeedSender::State::Off: return QStringLiteral("停止");
    case FeedSender::State::Resolving: return QStringLiteral("名前解決中");
    case FeedSender::State::Connecting: return QStringLiteral("接続中");
    case FeedSender::State::Ready: return QStringLiteral("送信中");
    case FeedSender::State::Waiting: return QStringLiteral("再接続待ち");
    }
    return {};
}

} // namespace

FeedDialog::FeedDialog(SettingsStore& settings, FeedSender& feed, QWidget* owner)
    : QDialog(owner), m_settings(settings), m_feed(feed), m_owner(owner)
{
    setObjectName(QStringLiteral("FeedDialog"));
    setWindowTitle(QStringLiteral("JSONフィード設定"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_enabled = new QCheckBox(QStringLiteral("受信したフレームを送信する"), this);
    m_enabled->setObjectName(QStringLiteral("FeedEnabled"));
    form->addRow(m_enabled);
    m_host = new QLineEdit(this);
    m_host->setObjectName(QStringLiteral("FeedHost"));
    form->addRow(QStringLiteral("送信先ホスト"), m_host);
    m_port = new QSpinBox(this);
    m_port->setObjectName(QStringLiteral("FeedPort"));
    m_port->setRange(1, 65535);
    form->addRow(QStringLiteral("ポート番号"), m_port);
    m_protocol = new QComboBox(this);
    m_protocol->setObjectName(QStringLiteral("FeedProtocol"));
    m_protocol->addItems({QStringLiteral("UDP"), QStringLiteral("TCP")});
    form->addRow(QStringLiteral("プロトコル"), m_protocol);
    m_stationId = new QLineEdit(this);
    m_stationId->setObjectName(QStringLiteral("FeedStationId"));
    form->addRow(QStringLiteral("局ID"), m_stationId);
    m_counts = new QLabel(this);
    m_counts->setObjectName(QStringLiteral("FeedCounts"));
    form->addRow(QStringLiteral("状態"), m_counts);
    layout->addLayout(form);

    layout->addLayout(makeOkCancelRow(*this, "OkButton", "CancelButton").layout);

    m_refresh = new QTimer(this);
    m_refresh->setInterval(1000);
    connect(m_refresh, &QTimer::timeout, this, &FeedDialog::showCounts);
}

void FeedDialog::showEvent(QShowEvent* event)
{
    m_enabled->setChecked(m_settings.boolean(Key::FeedEnabled));
    m_host->setText(sjisToQString(m_settings.text(Key::FeedHost)));
    m_port->setValue(m_settings.integer(Key::FeedPort));
    const QString protocol = sjisToQString(m_settings.text(Key::FeedProtocol));
    m_protocol->setCurrentIndex(protocol.compare(QLatin1String("TCP"), Qt::CaseInsensitive) == 0 ? 1 : 0);
    m_stationId->setText(sjisToQString(m_settings.text(Key::FeedStationId)));
    showCounts();
    m_refresh->start();
    QDialog::showEvent(event);
    centreDialog(*this, m_owner);
}

void FeedDialog::hideEvent(QHideEvent* event)
{
    m_refresh->stop();
    QDialog::hideEvent(event);
}

void FeedDialog::accept()
{
    m_settings.setBoolean(Key::FeedEnabled, m_enabled->isChecked());
    m_settings.setText(Key::FeedHost, qstringToSjis(m_host->text().trimmed()));
    m_settings.setInteger(Key::FeedPort, m_port->value());
    m_settings.setText(Key::FeedProtocol, m_protocol->currentIndex() == 1 ? "TCP" : "UDP");
    m_settings.setText(Key::FeedStationId, qstringToSjis(m_stationId->text().trimmed()));
    m_feed.applySettings();
    QDialog::accept();
}

void FeedDialog::showCounts()
{
    const FeedCounts& c = m_feed.counts();
    m_counts->setText(QStringLiteral("%1  送信 %2  破棄 %3")
                          .arg(stateText(m_feed.state()))
                          .arg(c.sent)
                          .arg(c.dropped()));
}

} // namespace varnesk
