// "JSONフィード設定": [Feed] Enabled, Targets and StationId, with what the
// feed has sent and dropped so far, target by target. "OK" stores the values
// and the feed re-reads them at once; a target it cannot read keeps the
// dialog open with the reason.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QTimer;

namespace varnesk {

class FeedSender;
class SettingsStore;

class FeedDialog : public QDialog {
    Q_OBJECT
public:
    FeedDialog(SettingsStore& settings, FeedSender& feed, QWidget* owner);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void accept() override;

private:
    void showCounts();

    SettingsStore& m_settings;
    FeedSender& m_feed;
    QWidget* m_owner;
    QCheckBox* m_enabled;
    QLineEdit* m_targets;
    QLabel* m_error;
    QLineEdit* m_stationId;
    QLabel* m_counts;
    QTimer* m_refresh;
};

} // namespace varnesk
