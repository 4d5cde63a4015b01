// "JSONフィード設定": [Feed] Enabled, Host, Port, Protocol and StationId, with
// what the feed has sent and dropped so far. "OK" stores the values and the
// feed re-reads them at once.
#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
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
    QLineEdit* m_host;
    QSpinBox* m_port;
    QComboBox* m_protocol;
    QLineEdit* m_stationId;
    QLabel* m_counts;
    QTimer* m_refresh;
};

} // namespace varnesk
