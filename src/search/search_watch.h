// The search subsystem's core object: the search list, the check of every
// accepted downlink block against it, and the notifications of a new hit
// (pop-up and sound requests for the window, the hit panel, the hit log box
// and file, the e-mail with its retries). Takes the settings, the path table
// and the reference tables; gives Qt signals for the windows. Texts are
// Shift-JIS bytes.
#pragma once

#include "search/search_list.h"
#include "search/smtp_client.h"
#include "settings/app_paths.h"
#include "settings/file_write.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace varnesk {

class ReferenceTables;
class SettingsStore;

// The six arguments of one notification mail.
struct HitMailArgs {
    std::string registration;
    std::string flight;
    bool byRegistration = true;
    std::string remark;
    std::string destinationName;
    std::string departureName;
};

// What the windows show of one notified hit.
struct SearchHit {
    std::string registration;
    std::string flight;
    std::string remark;
    std::string logLine; // the line added to the hit log
    bool popUp = false;  // the pop-up switch is on: show the search window
    QString alertSound;  // the sound to play; empty: none (switch off or no file)
};

// Time-outs and retry interval of the mail, in milliseconds.
struct MailTiming {
    int connectMs = 30000;
    int replyMs = 30000;
    int retryMs = 30000;
};

// A failed mail is tried again at most this many times.
inline constexpr int kMailRetries = 3;
// Mails of hits that come while one is being sent wait here; more are dropped.
inline constexpr size_t kMaxPendingMails = 8;
// The hit log box keeps its last lines within this size.
inline constexpr size_t kMaxHitLogBytes = 64000;
// Registrations remembered for holding back their mail and chime; past this
// the ones whose hold has ended are forgotten.
inline constexpr size_t kMaxHeldRegistrations = 4096;

// The notification mail for args as the settings ([Mail] MailFrom, MailTo,
// MIMEConv, SJISConv) want it; now is the local time written in the body.
MailMessage BuildHitMail(const HitMailArgs& args, const SettingsStore& settings, const QDateTime& now);

class SearchWatch : public QObject {
    Q_OBJECT
public:
    // Loads data/search.csv; with [Spec] Log on, writes the (empty) hit log
    // once. Without MailHost, MailFrom and MailTo the mail switch is off.
    SearchWatch(SettingsStore& settings, const AppPaths& paths, const ReferenceTables& tables,
                QObject* parent = nullptr);
    ~SearchWatch() override;

    // Every accepted downlink block: the first row matching the registration,
    // else the first matching the flight number, is updated; a hit new to
    // that row is notified (NotifyHit). True when it was.
    bool CheckSearchList(std::string_view registration, std::string_view flight);
    // The notifications of a new hit on row index (0-based), in order:
    // pop-up and sound (hitFound), hit panel, hit log box and file, mail.
    void NotifyHit(std::string_view registration, std::string_view flight, bool byRegistration, int index);

    const std::vector<SearchRow>& rows() const { return m_list.rows(); }
    int FindPattern(std::string_view key) const { return m_list.FindPattern(key); }
    // Edits of the list; each is saved at once and reported by listChanged.
    void AddSearchRow(std::string pattern, std::string remark);
    void editSearchRow(int index, std::string pattern, std::string remark);
    void removeSearchRow(int index);
    // Rewrites search.csv; a failure leaves the old file and is reported
    // by fileWriteFailed.
    WriteResult SaveSearchList();

    // The switches, stored in the settings at once.
    bool mailConfigured() const;
    bool mailSend() const;
    bool popUp() const;
    bool sound() const;
    bool log() const;
    void setMailSend(bool on);
    void setPopUp(bool on);
    void setSound(bool on);
    void setLog(bool on); // switching on writes the hit log file

    // The hit log box's text, lines ending in LF (CR LF in the file).
    const std::string& hitLog() const { return m_hitLog; }
    // The user's edits in the box.
    void setHitLog(std::string text);
    // Starts the hit log file afresh with the box's text; an earlier file is
    // kept under its stamped name. Every hit after that is appended.
    WriteResult writeHitLog();
    QString hitLogPath() const;
    // Hit lines that could not be appended to the hit log file.
    int hitLogFailures() const { return m_hitLogHealth.failures(); }
    const QString& hitLogFailureReason() const { return m_hitLogHealth.reason(); }

    // Sends one notification mail, or queues it while another is being sent.
    void SendHitMail(const HitMailArgs& args);
    void sendTestMail();
    bool mailSending() const { return m_sending; }
    int retryCount() const { return m_retryCount; }
    bool retryPending() const { return m_retryTimer.isActive(); }
    const std::string& mailStatus() const { return m_status; }

    // For tests: shorter time-outs and retry interval, another SMTP port
    // (in place of [Mail] MailPort), certificates to trust.
    void setMailTiming(MailTiming timing);
    void setSmtpPort(quint16 port) { m_portOverride = port; }
    void setSmtpCaCertificates(const QList<QSslCertificate>& certificates) { m_smtp.setCaCertificates(certificates); }
    // True when a mail or the chime for this registration went out less than
    // [Mail] MailHold minutes ago.
    bool heldBack(const std::string& registration, const QDateTime& now) const;

    // The local time of hits and mails; the wall clock unless replaced.
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };

Q_SIGNALS:
    // A new hit: the window pops up (hit.popUp), plays hit.alertSound and
    // fills its hit panel.
    void hitFound(const varnesk::SearchHit& hit);
    void hitLogChanged();
    // Rows were added, edited or removed.
    void listChanged();
    // Hit or LastTime of one row changed.
    void rowChanged(int index);
    // The status bar's text.
    void mailStatusChanged(const std::string& text);
    // A mail is being sent: the mail switch and test button are disabled.
    void mailSendingChanged(bool sending);
    // search.csv or the hit log file could not be written; for the hit log
    // only the first failure of a stretch is told (later ones are counted).
    void fileWriteFailed(const QString& path, const QString& reason);

private:
    void onSmtpStatus(const std::string& text);
    void onSmtpFinished(int result);
    void retryStep();
    void sendNextPending();
    void setSending(bool sending);
    void setStatus(std::string text);

    SettingsStore& m_settings;
    const AppPaths m_paths;
    const ReferenceTables& m_tables;
    SearchList m_list;
    std::string m_hitLog;
    SmtpClient m_smtp;
    QTimer m_retryTimer;
    int m_retryCount = 0;
    HitMailArgs m_current;   // the mail being sent
    HitMailArgs m_retryArgs; // the mail the retry timer sends again
    std::deque<HitMailArgs> m_pending;
    bool m_sending = false;
    std::string m_status;
    quint16 m_portOverride = 0;
    WriteHealth m_hitLogHealth;
    // When each registration last raised a mail or the chime.
    std::unordered_map<std::string, QDateTime> m_lastAlert;
};

} // namespace varnesk
