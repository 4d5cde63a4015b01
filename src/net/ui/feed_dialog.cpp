// The feed's settings form; the counts line refreshes once a second while shown.
#include "net/ui/feed_dialog.h"

#include "acars/sjis.h"
#include "net/feed_sender.h"
#include "settings/settings_store.h"
#include "widgets/centre_dialog.h"
#include "widgets/dialog_buttons.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHostInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace varnesk {

namespace {

QString stateText(FeedSender::State state)
{
    switch (state) {
    case FeedSender::State::Off:
        return QStringLiteral("停止");
    case FeedSender::State::Resolving:
        return QStringLiteral("名前解決中");
    case FeedSender::State::Connecting:
        return QStringLiteral("接続中");
    case FeedSender::State::Ready:
        return QStringLiteral("送信中");
    case FeedSender::State::Waiting:
        return QStringLiteral("再接続待ち");
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
    m_targets = new QLineEdit(this);
    m_targets->setObjectName(QStringLiteral("FeedTargets"));
    m_targets->setMinimumWidth(360);
    m_targets->setPlaceholderText(QStringLiteral("udp:127.0.0.1:5550, tcp:host:5550"));
    form->addRow(QStringLiteral("送信先"), m_targets);
    m_stationId = new QLineEdit(this);
    m_stationId->setObjectName(QStringLiteral("FeedStationId"));
    m_stationId->setPlaceholderText(QHostInfo::localHostName());
    form->addRow(QStringLiteral("局ID"), m_stationId);
    m_counts = new QLabel(this);
    m_counts->setObjectName(QStringLiteral("FeedCounts"));
    form->addRow(QStringLiteral("状態"), m_counts);
    layout->addLayout(form);
    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("FeedError"));
    m_error->setStyleSheet(QStringLiteral("color: red"));
    m_error->hide();
    layout->addWidget(m_error);

    layout->addLayout(makeOkCancelRow(*this, "OkButton", "CancelButton").layout);

    m_refresh = new QTimer(this);
    m_refresh->setInterval(1000);
    connect(m_refresh, &QTimer::timeout, this, &FeedDialog::showCounts);
}

void FeedDialog::showEvent(QShowEvent* event)
{
    m_enabled->setChecked(m_settings.boolean(Key::FeedEnabled));
    // The older single target shows as the list's one entry.
    QStringList targets;
    for (const FeedAddress& address : feedTargetsOf(m_settings))
        targets << feedTargetText(address);
    m_targets->setText(targets.join(QStringLiteral(", ")));
    m_error->hide();
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
    QStringList rejected;
    const std::vector<FeedAddress> targets = parseFeedTargets(m_targets->text(), &rejected);
    if (!rejected.isEmpty() || (targets.empty() && m_enabled->isChecked())) {
        m_error->setText(
            rejected.isEmpty()
                ? QStringLiteral("送信先がありません")
                : QStringLiteral("送信先を読めません: %1 (udp:ホスト:ポート または tcp:ホスト:ポート、最大%2件)")
                      .arg(rejected.join(QStringLiteral(", ")))
                      .arg(kFeedMaxTargets));
        m_error->show();
        return;
    }
    QStringList normalised;
    for (const FeedAddress& address : targets)
        normalised << feedTargetText(address);
    m_settings.setBoolean(Key::FeedEnabled, m_enabled->isChecked());
    m_settings.setText(Key::FeedTargets, qstringToSjis(normalised.join(QStringLiteral(", "))));
    m_settings.setText(Key::FeedStationId, qstringToSjis(m_stationId->text().trimmed()));
    m_feed.applySettings();
    QDialog::accept();
}

void FeedDialog::showCounts()
{
    // One line per target: its state, what it sent and what it dropped.
    QStringList lines;
    for (const auto& target : m_feed.targets()) {
        const FeedCounts& c = target->counts();
        lines << QStringLiteral("%1  %2  送信 %3  破棄 %4")
                     .arg(feedTargetText(target->address()), stateText(target->state()))
                     .arg(c.sent)
                     .arg(c.dropped());
    }
    if (lines.isEmpty())
        lines << stateText(FeedSender::State::Off);
    m_counts->setText(lines.join(QLatin1Char('\n')));
}

} // namespace varnesk
