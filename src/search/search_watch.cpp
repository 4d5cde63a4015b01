// The search check, the hit notifications and the mail with its retry
// schedule: one attempt at once, then up to three more, each 30 s after the
// previous one failed.
#include "search/search_watch.h"

#include "acars/sjis.h"
#include "aircraft/reference_tables.h"
#include "search/mail_text.h"
#include "search/search_log.h"
#include "search/sjis_text.h"
#include "settings/settings_store.h"

#include <QFile>

#include <algorithm>

namespace varnesk {

namespace {

// Program texts are written here in UTF-8 and used as Shift-JIS bytes.
std::string sjis(const char* utf8)
{
    return qstringToSjis(QString::fromUtf8(utf8));
}

constexpr std::string_view kNoRoute = "----";

std::string timeOfDay(const QDateTime& t)
{
    return t.toString(QStringLiteral("HH:mm:ss")).toStdString();
}

} // namespace

MailMessage BuildHitMail(const HitMailArgs& args, const SettingsStore& settings, const QDateTime& now)
{
    // Received registrations and flight numbers, and the remark from the
    // file, lose any control byte before they enter a header or a line.
    const std::string r = stripControls(args.registration);
    const std::string f = stripControls(args.flight);
    MailMessage mail;
    mail.from = settings.text(Key::MailFrom);
    mail.to = settings.text(Key::MailTo);

    std::string subject = (args.byRegistration ? r : f) + sjis("を受信しました！");
    if (settings.boolean(Key::MIMEConv) && !IsPlainSubjectRecipient(stripControls(mail.to)))
        subject = EncodeSubject(subject);
    mail.subject = std::move(subject);

    std::string body;
    body += sjis("Varneskが以下の情報を受信しました") + "\n";
    body += sjis("機体番号:") + r + "\n";
    body += sjis("便　　名:") + f + "\n";
    body += sjis("出発空港:") + stripControls(args.departureName) + "\n";
    body += sjis("到着空港:") + stripControls(args.destinationName) + "\n";
    body += sjis("時　　刻:") + now.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")).toStdString() + "\n";
    body += sjis("備　　考:") + stripControls(args.remark) + "\n";
    body += sjis("便名検索:>") + std::string(kFlightSearchUrl) + f;
    if (settings.boolean(Key::SJISConv))
        JisToShiftJis(body);
    mail.body = std::move(body);
    mail.date = now;
    return mail;
}

SearchWatch::SearchWatch(SettingsStore& settings, const AppPaths& paths, const ReferenceTables& tables, QObject* parent)
    : QObject(parent), m_settings(settings), m_paths(paths), m_tables(tables), m_retryTimer(this)
{
    setObjectName(QStringLiteral("SearchWatch"));
    m_list.Load(m_paths.searchList);
    // The mail switch can be on only with a server and both addresses.
    if (!mailConfigured())
        m_settings.setBoolean(Key::MailSend, false);
    if (log())
        writeHitLog();

    m_retryTimer.setObjectName(QStringLiteral("Timer1"));
    m_retryTimer.setSingleShot(true);
    setMailTiming(MailTiming{});
    connect(&m_retryTimer, &QTimer::timeout, this, [this] { SendHitMail(m_retryArgs); });
    connect(&m_smtp, &SmtpClient::status, this, &SearchWatch::onSmtpStatus);
    connect(&m_smtp, &SmtpClient::finished, this, &SearchWatch::onSmtpFinished);
}

SearchWatch::~SearchWatch()
{
    m_smtp.disconnect(this);
}

bool SearchWatch::CheckSearchList(std::string_view registration, std::string_view flight)
{
    bool byRegistration = true;
    int row = m_list.FindPattern(registration);
    if (row == 0) {
        row = m_list.FindPattern(flight);
        byRegistration = false;
    }
    if (row == 0)
        return false;
    const int index = row - 1;
    const std::string other(byRegistration ? flight : registration);
    const bool isNew = m_list.rows()[static_cast<size_t>(index)].hit != other;
    if (isNew) {
        NotifyHit(registration, flight, byRegistration, index);
        // A receiver of hitFound may have edited the list meanwhile.
        if (static_cast<size_t>(index) >= m_list.rows().size())
            return true;
        m_list.rows()[static_cast<size_t>(index)].hit = other;
    }
    m_list.rows()[static_cast<size_t>(index)].lastTime = timeOfDay(clock());
    Q_EMIT rowChanged(index);
    return isNew;
}

void SearchWatch::NotifyHit(std::string_view registration, std::string_view flight, bool byRegistration, int index)
{
    if (index < 0 || static_cast<size_t>(index) >= m_list.rows().size())
        return;
    const QDateTime now = clock();
    SearchHit hit;
    hit.registration = stripControls(registration);
    hit.flight = stripControls(flight);
    hit.remark = m_list.rows()[static_cast<size_t>(index)].remark;
    hit.popUp = popUp();
    // Pop-up, panel and hit log tell every hit; the chime and the mail only
    // the first of a registration within [Mail] MailHold minutes.
    const bool held = heldBack(hit.registration, now);
    if (sound() && !held && QFile::exists(m_paths.alertSound))
        hit.alertSound = m_paths.alertSound;

    std::string dept(kNoRoute), dest(kNoRoute), deptName(kNoRoute), destName(kNoRoute);
    const FlightInfo route = m_tables.LookupFlight(hit.flight);
    if (route.found) {
        dept = route.departure;
        dest = route.destination;
        deptName = m_tables.LookupAirportName(dept);
        destName = m_tables.LookupAirportName(dest);
    }
    hit.logLine = hit.registration + " " + hit.flight + " " + dept + "->" + dest + " " + timeOfDay(now) + " ("
                  + deptName + sjis("→") + destName + ") " + hit.remark;
    Q_EMIT hitFound(hit);

    if (!m_hitLog.empty() && m_hitLog.back() != '\n')
        m_hitLog.push_back('\n');
    m_hitLog += hit.logLine + "\n";
    if (m_hitLog.size() > kMaxHitLogBytes) {
        // Whole lines go from the front.
        const size_t cut = m_hitLog.size() - kMaxHitLogBytes;
        const size_t lf = m_hitLog.find('\n', cut - 1);
        m_hitLog.erase(0, lf == std::string::npos ? m_hitLog.size() : lf + 1);
    }
    Q_EMIT hitLogChanged();
    if (log()) {
        // Appended whole, so the file keeps every hit of the run however
        // long the box grows.
        const std::string line = hit.logLine + "\r\n";
        const WriteResult written = appendWhole(m_paths.searchLog, line);
        if (written)
            m_hitLogHealth.noteSuccess();
        else if (m_hitLogHealth.noteFailure(written.reason))
            Q_EMIT fileWriteFailed(m_paths.searchLog, written.reason);
    }

    const bool mail = mailSend() && !held;
    if (mail || !hit.alertSound.isEmpty()) {
        if (m_lastAlert.size() >= kMaxHeldRegistrations)
            std::erase_if(m_lastAlert, [&](const auto& entry) { return !heldBack(entry.first, now); });
        m_lastAlert[hit.registration] = now;
    }
    if (mail)
        SendHitMail(HitMailArgs{hit.registration, hit.flight, byRegistration, hit.remark, destName, deptName});
}

bool SearchWatch::heldBack(const std::string& registration, const QDateTime& now) const
{
    const auto found = m_lastAlert.find(registration);
    if (found == m_lastAlert.end())
        return false;
    const qint64 holdSeconds = static_cast<qint64>(std::max(0, m_settings.integer(Key::MailHold))) * 60;
    const qint64 since = found->second.secsTo(now);
    return since >= 0 && since < holdSeconds;
}

void SearchWatch::AddSearchRow(std::string pattern, std::string remark)
{
    m_list.AddSearchRow(std::move(pattern), std::move(remark));
    SaveSearchList();
    Q_EMIT listChanged();
}

void SearchWatch::editSearchRow(int index, std::string pattern, std::string remark)
{
    if (index < 0 || static_cast<size_t>(index) >= m_list.rows().size())
        return;
    SearchRow& row = m_list.rows()[static_cast<size_t>(index)];
    row.pattern = std::move(pattern);
    row.remark = std::move(remark);
    SaveSearchList();
    Q_EMIT listChanged();
}

void SearchWatch::removeSearchRow(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= m_list.rows().size())
        return;
    m_list.rows().erase(m_list.rows().begin() + index);
    SaveSearchList();
    Q_EMIT listChanged();
}

WriteResult SearchWatch::SaveSearchList()
{
    const WriteResult saved = m_list.SaveSearchList(m_paths.searchList);
    if (!saved) {
        qCWarning(lcSearch) << "search list not saved:" << m_paths.searchList << saved.reason;
        Q_EMIT fileWriteFailed(m_paths.searchList, saved.reason);
    }
    return saved;
}

bool SearchWatch::mailConfigured() const
{
    return !m_settings.text(Key::MailHost).empty() && !m_settings.text(Key::MailFrom).empty()
           && !m_settings.text(Key::MailTo).empty();
}

bool SearchWatch::mailSend() const
{
    return m_settings.boolean(Key::MailSend);
}

bool SearchWatch::popUp() const
{
    return m_settings.boolean(Key::SpecPopUp);
}

bool SearchWatch::sound() const
{
    return m_settings.boolean(Key::SpecSound);
}

bool SearchWatch::log() const
{
    return m_settings.boolean(Key::SpecLog);
}

void SearchWatch::setMailSend(bool on)
{
    m_settings.setBoolean(Key::MailSend, on);
}

void SearchWatch::setPopUp(bool on)
{
    m_settings.setBoolean(Key::SpecPopUp, on);
}

void SearchWatch::setSound(bool on)
{
    m_settings.setBoolean(Key::SpecSound, on);
}

void SearchWatch::setLog(bool on)
{
    m_settings.setBoolean(Key::SpecLog, on);
    if (on)
        writeHitLog();
}

void SearchWatch::setHitLog(std::string text)
{
    m_hitLog = std::move(text);
}

QString SearchWatch::hitLogPath() const
{
    return m_paths.searchLog;
}

WriteResult SearchWatch::writeHitLog()
{
    std::string text;
    text.reserve(m_hitLog.size() + m_hitLog.size() / 32);
    for (const char c : m_hitLog) {
        if (c == '\n')
            text += "\r\n";
        else if (c != '\r')
            text.push_back(c);
    }
    WriteResult result = keepPreviousLog(m_paths.searchLog);
    if (result)
        result = replaceFile(m_paths.searchLog, text);
    if (result)
        m_hitLogHealth.noteSuccess();
    else if (m_hitLogHealth.noteFailure(result.reason))
        Q_EMIT fileWriteFailed(m_paths.searchLog, result.reason);
    return result;
}

void SearchWatch::setMailTiming(MailTiming timing)
{
    m_smtp.setTiming(SmtpTiming{timing.connectMs, timing.replyMs});
    m_retryTimer.setInterval(timing.retryMs);
}

void SearchWatch::SendHitMail(const HitMailArgs& args)
{
    if (m_sending) {
        if (m_pending.size() < kMaxPendingMails)
            m_pending.push_back(args);
        else
            qCWarning(lcSearch) << "mail queue full: hit mail dropped";
        return;
    }
    m_current = args;
    setSending(true);
    SmtpAccount account;
    account.port = m_portOverride != 0 ? m_portOverride
                                       : static_cast<quint16>(std::clamp(m_settings.integer(Key::MailPort), 0, 65535));
    account.startTls = m_settings.boolean(Key::MailTls);
    account.auth = static_cast<SmtpAuth>(std::clamp(m_settings.integer(Key::MailAuth), 0, 2));
    account.user = m_settings.text(Key::MailUser);
    account.password = m_settings.text(Key::MailPass);
    m_smtp.setAccount(account);
    m_smtp.SmtpSend(m_settings.text(Key::MailHost), BuildHitMail(args, m_settings, clock()));
}

void SearchWatch::sendTestMail()
{
    SendHitMail(HitMailArgs{"RegNo", "FlightNo", true, sjis("テストメール"), sjis("××空港"), sjis("○○空港")});
}

void SearchWatch::onSmtpStatus(const std::string& text)
{
    setStatus(text);
}

void SearchWatch::onSmtpFinished(int result)
{
    if (result == 0) {
        setStatus(sjis("メールを送信しました"));
        m_retryTimer.stop();
        m_retryCount = 0;
    } else {
        retryStep();
    }
    setSending(false);
    if (!m_pending.empty())
        QMetaObject::invokeMethod(this, &SearchWatch::sendNextPending, Qt::QueuedConnection);
}

void SearchWatch::retryStep()
{
    if (m_retryCount < kMailRetries) {
        // The latest failed mail is the one tried again; an earlier one
        // still waiting is dropped.
        m_retryArgs = m_current;
        ++m_retryCount;
        setStatus(m_status + sjis("-リトライ>") + std::to_string(m_retryCount));
        m_retryTimer.start();
    } else {
        m_retryTimer.stop();
        setStatus(m_status + sjis("-送信に失敗しました"));
        m_retryCount = 0;
    }
}

void SearchWatch::sendNextPending()
{
    if (m_sending || m_pending.empty())
        return;
    HitMailArgs next = std::move(m_pending.front());
    m_pending.pop_front();
    SendHitMail(next);
}

void SearchWatch::setSending(bool sending)
{
    if (m_sending == sending)
        return;
    m_sending = sending;
    Q_EMIT mailSendingChanged(sending);
}

void SearchWatch::setStatus(std::string text)
{
    m_status = std::move(text);
    Q_EMIT mailStatusChanged(m_status);
}

} // namespace varnesk
