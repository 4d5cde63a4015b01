// The mail on the wire: a real SMTP server (aiosmtpd) receives the mails and
// Python's email package reads them; a scripted server fails each step in
// turn, splits and stretches its replies, or never answers.
#include "search/smtp_client.h"

#include "acars/sjis.h"
#include "aircraft/reference_tables.h"
#include "search/mail_text.h"
#include "search/search_watch.h"
#include "search_test_support.h"
#include "settings/settings_store.h"

#include <QJsonArray>

#include <algorithm>

#include <gtest/gtest.h>

namespace varnesk {
namespace {

using test::ScriptedServer;
using test::waitUntil;

std::string sjis(const char* utf8)
{
    return qstringToSjis(QString::fromUtf8(utf8));
}

QStringList lines(const QJsonObject& mail)
{
    return mail.value(QStringLiteral("body")).toString().split(QStringLiteral("\r\n"));
}

const QStringList kHeaderOrder{QStringLiteral("MIME-Version"), QStringLiteral("Content-Transfer-Encoding"),
                               QStringLiteral("Content-Type"), QStringLiteral("X-Mailer"),
                               QStringLiteral("Subject"),      QStringLiteral("To"),
                               QStringLiteral("From"),         QStringLiteral("Date"),
                               QStringLiteral("Message-ID")};

QStringList strings(const QJsonValue& array)
{
    QStringList out;
    for (const QJsonValue& v : array.toArray())
        out << v.toString();
    return out;
}

// A client run to its end: the result and every status text.
struct SendRun {
    int result = -1;
    std::vector<std::string> statuses;
};

SendRun send(SmtpClient& client, const std::string& server, const MailMessage& message)
{
    SendRun run;
    QObject::connect(&client, &SmtpClient::status, &client, [&](const std::string& s) { run.statuses.push_back(s); });
    QObject::connect(&client, &SmtpClient::finished, &client, [&](int r) { run.result = r; });
    EXPECT_TRUE(client.SmtpSend(server, message));
    EXPECT_FALSE(client.SmtpSend(server, message)); // one at a time
    waitUntil([&] { return run.result >= 0; }, 20000);
    client.disconnect(&client);
    return run;
}

class RealServer : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        test::ensureCoreApp();
        sink = new test::SmtpSink;
    }
    static void TearDownTestSuite()
    {
        delete sink;
        sink = nullptr;
    }
    void SetUp() override
    {
        ASSERT_NE(sink->port(), 0) << "SMTP test server did not start: " << sink->errors().toStdString();
        first = sink->count() + 1;
        settings.setText(Key::MailHost, "127.0.0.1");
        settings.setText(Key::MailFrom, "station@example.jp");
        settings.setText(Key::MailTo, "me@example.jp");
        settings.setBoolean(Key::MailSend, true);
        test::writeFile(folder.paths.flightTable, "JL0123,RJTTRJCC,x\r\n");
        test::writeFile(folder.paths.airportTable, "RJTT," + sjis("羽田") + "\r\nRJCC," + sjis("新千歳") + "\r\n");
    }
    std::unique_ptr<SearchWatch> watch(const std::string& searchCsv)
    {
        test::writeFile(folder.paths.searchList, searchCsv);
        auto w = std::make_unique<SearchWatch>(settings, folder.paths, tables);
        w->setSmtpPort(sink->port());
        w->clock = [] { return QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)); };
        return w;
    }
    void waitSent(SearchWatch& w)
    {
        ASSERT_TRUE(waitUntil([&] { return !w.mailSending(); }, 20000));
        EXPECT_EQ(sjisToQString(w.mailStatus()), QStringLiteral("メールを送信しました"));
    }

    static test::SmtpSink* sink;
    int first = 1;
    test::AppFolder folder;
    SettingsStore settings;
    ReferenceTables tables{folder.paths};
};

test::SmtpSink* RealServer::sink = nullptr;

TEST_F(RealServer, HitMailArrivesReadable)
{
    auto w = watch("JA8***," + sjis("特別塗装") + "\r\n");
    ASSERT_TRUE(w->CheckSearchList("JA8089", "JL0123"));
    EXPECT_TRUE(w->mailSending()); // CheckSearchList does not wait for the server
    waitSent(*w);

    const QJsonObject mail = sink->mail(first);
    ASSERT_FALSE(mail.isEmpty());
    EXPECT_EQ(strings(mail.value(QStringLiteral("headers"))), kHeaderOrder);
    EXPECT_EQ(mail.value(QStringLiteral("subject")).toString(), QStringLiteral("JA8089を受信しました！"));
    EXPECT_EQ(mail.value(QStringLiteral("charset")).toString(), QStringLiteral("iso-2022-jp"));
    EXPECT_EQ(mail.value(QStringLiteral("mail_from")).toString(), QStringLiteral("station@example.jp"));
    EXPECT_EQ(strings(mail.value(QStringLiteral("rcpt_tos"))), QStringList{QStringLiteral("me@example.jp")});
    // The wire body ends with its line break: one empty piece after the split.
    EXPECT_EQ(lines(mail), test::hitMailBodyLines() << QString());
    // 7-bit, and every line ends in CR LF.
    const QByteArray raw = sink->raw(first);
    for (const char c : raw)
        ASSERT_LT(static_cast<unsigned char>(c), 0x80);
    EXPECT_EQ(raw.count('\n'), raw.count("\r\n"));
}

TEST_F(RealServer, DotLinesArriveIntactAndLongSubjectsDecode)
{
    SmtpClient client;
    client.setPort(sink->port());
    MailMessage m;
    m.from = "station@example.jp";
    m.to = "me@example.jp";
    const QString subject = QStringLiteral("JA8089を受信しました！") + QString(30, QChar(0x6F22));
    m.subject = EncodeSubject(qstringToSjis(subject));
    m.body = ".\n..two\n.hidden\nmid . dot\n" + sjis(".日本語");
    const SendRun run = send(client, "127.0.0.1", m);
    ASSERT_EQ(run.result, 0) << (run.statuses.empty() ? "" : run.statuses.back());

    const QJsonObject mail = sink->mail(first);
    EXPECT_EQ(mail.value(QStringLiteral("subject")).toString(), subject);
    EXPECT_EQ(lines(mail), (QStringList{QStringLiteral("."), QStringLiteral("..two"), QStringLiteral(".hidden"),
                                        QStringLiteral("mid . dot"), QStringLiteral(".日本語"), QString()}));
    // The subject was folded: no header line is longer than "Subject: " and one word.
    for (const QByteArray& line : sink->raw(first).split('\n'))
        EXPECT_LE(line.size(), 9 + 75 + 1);
    EXPECT_EQ(run.statuses.front(), "connecting Socket");
    EXPECT_EQ(run.statuses.back().rfind("receiving : 221", 0), 0u);
}

TEST_F(RealServer, CarrierDomainGetsThePlainSubjectAndTestMailNamesRegNo)
{
    settings.setText(Key::MailTo, "me@docomo.ne.jp");
    auto w = watch("JA8***,x\r\n");
    w->CheckSearchList("JA8089", "JL0123");
    waitSent(*w);
    QJsonObject mail = sink->mail(first);
    EXPECT_FALSE(mail.value(QStringLiteral("subject_raw")).toString().contains(QStringLiteral("=?")));
    EXPECT_TRUE(mail.value(QStringLiteral("subject_raw")).toString().contains(QLatin1Char('\x1B')));
    EXPECT_EQ(mail.value(QStringLiteral("subject")).toString(), QStringLiteral("JA8089を受信しました！"));

    settings.setText(Key::MailTo, "me@example.jp");
    w->sendTestMail();
    waitSent(*w);
    mail = sink->mail(first + 1);
    EXPECT_EQ(mail.value(QStringLiteral("subject")).toString(), QStringLiteral("RegNoを受信しました！"));
    const QStringList body = lines(mail);
    ASSERT_GE(body.size(), 7);
    EXPECT_EQ(body[1], QStringLiteral("機体番号:RegNo"));
    EXPECT_EQ(body[3], QStringLiteral("出発空港:○○空港"));
    EXPECT_EQ(body[4], QStringLiteral("到着空港:××空港"));
    EXPECT_EQ(body[6], QStringLiteral("備　　考:テストメール"));
}

class Scripted : public ::testing::Test {
protected:
    void SetUp() override { test::ensureCoreApp(); }
    MailMessage message{"station@example.jp", "me@example.jp", "=?iso-2022-jp?B?UmVnTm8=?=", "body"};
};

TEST_F(Scripted, EachStepWantsItsOwnReply)
{
    const char* const commands[] = {nullptr, "HELO", "MAIL FROM", "RCPT TO", "DATA", "\r\n.\r\n", "QUIT"};
    struct Act {
        const char* name;
        ScriptedServer::Step step;
        std::string status; // the last status; empty: sent
    };
    for (int step = 0; step < 7; ++step) {
        // A success code of another step: "250" to DATA would take the body
        // as commands, "354" anywhere else is no success either.
        const QByteArray other = step == 4 ? "250 ok\r\n" : step == 0 ? "250 ready\r\n" : "354 go ahead\r\n";
        // Once the body was taken (250), the reply to QUIT cannot unsend it.
        const bool afterBody = step == 6;
        const Act acts[] = {
            {"4xx", ScriptedServer::reply({"451 try later\r\n"}), afterBody ? "" : "** ERROR ** 451 try later\r\n"},
            {"5xx", ScriptedServer::reply({"554 refused\r\n"}), afterBody ? "" : "** ERROR ** 554 refused\r\n"},
            {"another step's code", ScriptedServer::reply({other}),
             afterBody ? "" : "** ERROR ** " + other.toStdString()},
            {"no code", ScriptedServer::reply({"ok\r\n"}), afterBody ? "" : "** ERROR ** ok\r\n"},
            {"close", ScriptedServer::close(), afterBody ? "" : "** ERROR ** connection closed"},
            {"silent", ScriptedServer::silent(), afterBody ? "" : "** ERROR ** no reply"},
        };
        for (const Act& act : acts) {
            SCOPED_TRACE(std::to_string(step) + " " + act.name);
            ScriptedServer server;
            ScriptedServer::Script script(7);
            script[static_cast<size_t>(step)] = act.step;
            server.scripts = {script};
            SmtpClient client;
            client.setPort(server.port());
            client.setTiming(SmtpTiming{2000, 150});
            const SendRun run = send(client, "127.0.0.1", message);
            EXPECT_EQ(run.result, act.status.empty() ? 0 : 1);
            if (!act.status.empty()) {
                ASSERT_FALSE(run.statuses.empty());
                EXPECT_EQ(run.statuses.back(), act.status);
            }
            // Nothing after the failed step was sent.
            if (step < 6 && !act.status.empty()) {
                EXPECT_FALSE(server.received[0].contains(commands[step + 1])) << server.received[0].toStdString();
            }
        }
    }
}

TEST_F(Scripted, SplitAndMultiLineRepliesAreReadWhole)
{
    ScriptedServer server;
    server.scripts = {{
        ScriptedServer::reply({"220-first line\r\n", "220-second", " line\r\n220 ready\r\n"}),
        ScriptedServer::reply({"25", "0 hel", "lo\r\n"}),
        ScriptedServer::reply({"250\r\n"}), // the code alone: passes
        ScriptedServer::reply({"250-recipient\r\n250-still\r\n", "250 ok\r\n"}),
        ScriptedServer::reply({"354 ", "go ahead\r\n"}),
        ScriptedServer::reply({"250-queued\r\n", "250 as 42\r\n"}),
        ScriptedServer::reply({"221 bye\r\n"}),
    }};
    SmtpClient client;
    client.setPort(server.port());
    const SendRun run = send(client, "127.0.0.1", message);
    EXPECT_EQ(run.result, 0) << run.statuses.back();
    EXPECT_FALSE(server.commandBeforeReplyEnded);
    const std::string want[] = {
        "connecting Socket",
        "receiving : 220-first line\r\n220-second line\r\n220 ready\r\n\n",
        "sending   : HELO 127.0.0.1 \r\n",
        "receiving : 250 hello\r\n",
    };
    ASSERT_GE(run.statuses.size(), 4u);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(run.statuses[i], want[i]);
    // The commands and header lines in their order.
    const QByteArray sent = server.received[0];
    const char* const order[] = {"HELO 127.0.0.1 \r\n",
                                 "MAIL FROM:<station@example.jp>\r\n",
                                 "RCPT TO:<me@example.jp>\r\n",
                                 "DATA\r\n",
                                 "MIME-Version: 1.0\r\n",
                                 "Content-Transfer-Encoding: 7bit\r\n",
                                 "Content-Type: text/plain; charset=\"ISO-2022-JP\"\r\n",
                                 "X-Mailer: Varnesk\r\n",
                                 "Subject: =?iso-2022-jp?B?UmVnTm8=?=\r\n",
                                 "To: me@example.jp\r\n",
                                 "From: station@example.jp\r\n",
                                 "Date: ",
                                 "Message-ID: <",
                                 "@example.jp>\r\n",
                                 "\r\nbody\r\n.\r\n",
                                 "QUIT\r\n"};
    qsizetype at = 0;
    for (const char* part : order) {
        const qsizetype found = sent.indexOf(part, at);
        ASSERT_GE(found, at) << part;
        at = found + static_cast<qsizetype>(strlen(part));
    }
    EXPECT_EQ(at, sent.size());
}

TEST_F(Scripted, RefusedConnectionIsAnInvalidSocket)
{
    quint16 port = 0;
    {
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost, 0);
        port = closed.serverPort();
    }
    SmtpClient client;
    client.setPort(port);
    const SendRun run = send(client, "127.0.0.1", message);
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.statuses, std::vector<std::string>{"Invalid Socket"});
    SmtpClient noServer;
    EXPECT_EQ(send(noServer, "", message).statuses, std::vector<std::string>{"Invalid Socket"});
}

class Retries : public Scripted {
protected:
    void SetUp() override
    {
        Scripted::SetUp();
        settings.setText(Key::MailHost, "127.0.0.1");
        settings.setText(Key::MailFrom, "station@example.jp");
        settings.setText(Key::MailTo, "me@example.jp");
        settings.setBoolean(Key::MailSend, true);
        test::writeFile(folder.paths.searchList, "JA8***,x\r\nJL0456,y\r\n");
        watch = std::make_unique<SearchWatch>(settings, folder.paths, tables);
        watch->setSmtpPort(server.port());
        watch->setMailTiming(MailTiming{2000, 150, 50});
        QObject::connect(watch.get(), &SearchWatch::mailStatusChanged,
                         [this](const std::string& s) { statuses << sjisToQString(s); });
        QObject::connect(watch.get(), &SearchWatch::mailSendingChanged, [this](bool on) { sending.push_back(on); });
    }
    bool waitDone()
    {
        return waitUntil([this] { return !watch->mailSending() && !watch->retryPending(); }, 20000);
    }
    QStringList ending(const QString& tail) const
    {
        QStringList out;
        for (const QString& s : statuses)
            if (s.endsWith(tail))
                out << s;
        return out;
    }

    ScriptedServer server;
    test::AppFolder folder;
    SettingsStore settings;
    ReferenceTables tables{folder.paths};
    std::unique_ptr<SearchWatch> watch;
    QStringList statuses;
    std::vector<bool> sending;
};

TEST_F(Retries, ServerThatNeverAnswersGetsFourTries)
{
    server.scripts = {{ScriptedServer::silent()}};
    ASSERT_TRUE(watch->CheckSearchList("JA8089", "JL0123"));
    ASSERT_TRUE(waitDone());
    EXPECT_EQ(server.connections, 4);
    ASSERT_FALSE(statuses.isEmpty());
    EXPECT_EQ(statuses.last(), QStringLiteral("** ERROR ** no reply-送信に失敗しました"));
    EXPECT_EQ(ending(QStringLiteral("-リトライ>1")).size(), 1);
    EXPECT_EQ(ending(QStringLiteral("-リトライ>2")).size(), 1);
    EXPECT_EQ(ending(QStringLiteral("-リトライ>3")).size(), 1);
    EXPECT_EQ(ending(QStringLiteral("-リトライ>4")).size(), 0);
    EXPECT_EQ(watch->retryCount(), 0);
    // Switch and button off during each attempt, on again after it.
    EXPECT_EQ(sending, (std::vector<bool>{true, false, true, false, true, false, true, false}));
}

TEST_F(Retries, SuccessResetsTheCounter)
{
    using S = ScriptedServer;
    server.scripts = {{S::reply({}), S::reply({}), S::reply({"550 no such sender\r\n"})}, {}, {S::silent()}};
    ASSERT_TRUE(watch->CheckSearchList("JA8089", "JL0123"));
    ASSERT_TRUE(waitDone());
    EXPECT_EQ(server.connections, 2);
    EXPECT_EQ(ending(QStringLiteral("** ERROR ** 550 no such sender\r\n-リトライ>1")).size(), 1);
    EXPECT_EQ(statuses.last(), QStringLiteral("メールを送信しました"));
    EXPECT_EQ(watch->retryCount(), 0);

    // The next failing mail again gets all three retries.
    ASSERT_TRUE(watch->CheckSearchList("JA8001", "JL0456"));
    ASSERT_TRUE(waitDone());
    EXPECT_EQ(server.connections, 6);
    EXPECT_TRUE(statuses.last().endsWith(QStringLiteral("-送信に失敗しました")));
}

TEST_F(Retries, ReceptionGoesOnWhileAMailIsBeingSent)
{
    // The first connection never answers; later ones do.
    server.scripts = {{ScriptedServer::silent()}, {}};
    watch->setMailTiming(MailTiming{2000, 400, 50});
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(10);

    ASSERT_TRUE(watch->CheckSearchList("JA8089", "JL0123"));
    ASSERT_TRUE(waitUntil([&] { return server.connections == 1 && ticks >= 3; }));
    EXPECT_TRUE(watch->mailSending());
    // A second hit while the first mail hangs: notified at once, its mail waits.
    ASSERT_TRUE(watch->CheckSearchList("JA8001", "JL0456"));
    EXPECT_TRUE(watch->mailSending());
    EXPECT_EQ(std::count(watch->hitLog().begin(), watch->hitLog().end(), '\n'), 2);

    ASSERT_TRUE(waitDone());
    ASSERT_GE(server.connections, 2);
    EXPECT_TRUE(server.received[1].contains("JA8001")) << server.received[1].toStdString();
}

TEST_F(Retries, DataAnswered250IsAFailureNotASend)
{
    using S = ScriptedServer;
    server.scripts = {{S::reply({}), S::reply({}), S::reply({}), S::reply({}), S::reply({"250 ok\r\n"})}};
    ASSERT_TRUE(watch->CheckSearchList("JA8089", "JL0123"));
    ASSERT_TRUE(waitDone());
    EXPECT_EQ(server.connections, 4);
    EXPECT_EQ(statuses.last(), QStringLiteral("** ERROR ** 250 ok\r\n-送信に失敗しました"));
    EXPECT_FALSE(statuses.contains(QStringLiteral("メールを送信しました")));
    for (const QByteArray& sent : server.received)
        EXPECT_FALSE(sent.contains("Subject:")) << sent.toStdString();
}

// A server that offers STARTTLS with its own certificate and wants a login.
class Secured : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        test::ensureCoreApp();
        certificate = new test::TestCertificate;
        sink = new test::SmtpSink({QStringLiteral("--tls"), certificate->certPath(), certificate->keyPath(),
                                   QStringLiteral("--auth"), QStringLiteral("station:s3cret")});
    }
    static void TearDownTestSuite()
    {
        delete sink;
        delete certificate;
    }
    void SetUp() override
    {
        ASSERT_FALSE(certificate->certificates().isEmpty()) << certificate->errors().toStdString();
        ASSERT_NE(sink->port(), 0) << sink->errors().toStdString();
    }
    SendRun sendAs(SmtpAuth auth, const std::string& password, bool trusted = true)
    {
        SmtpClient client;
        client.setAccount(SmtpAccount{sink->port(), true, auth, "station", password});
        if (trusted)
            client.setCaCertificates(certificate->certificates());
        client.setTiming(SmtpTiming{5000, 5000});
        return send(client, "127.0.0.1", message);
    }
    static bool shown(const SendRun& run, std::string_view part)
    {
        return std::any_of(run.statuses.begin(), run.statuses.end(),
                           [&](const std::string& s) { return s.find(part) != std::string::npos; });
    }

    static test::TestCertificate* certificate;
    static test::SmtpSink* sink;
    MailMessage message{"station@example.jp", "me@example.jp", "=?iso-2022-jp?B?UmVnTm8=?=", "body"};
};

test::TestCertificate* Secured::certificate = nullptr;
test::SmtpSink* Secured::sink = nullptr;

TEST_F(Secured, StartTlsThenPlainOrLoginDeliversAndThePasswordIsNeverShown)
{
    for (const SmtpAuth auth : {SmtpAuth::Plain, SmtpAuth::Login}) {
        SCOPED_TRACE(static_cast<int>(auth));
        const int before = sink->count();
        const SendRun run = sendAs(auth, "s3cret");
        ASSERT_EQ(run.result, 0) << (run.statuses.empty() ? "" : run.statuses.back());
        EXPECT_TRUE(shown(run, "TLS: TLSv1."));
        EXPECT_FALSE(shown(run, "s3cret"));
        EXPECT_FALSE(shown(run, "czNjcmV0")); // the password in base64
        ASSERT_TRUE(waitUntil([&] { return sink->count() == before + 1; }));
        EXPECT_EQ(sink->mail(before + 1).value(QStringLiteral("rcpt_tos")).toArray().at(0).toString(),
                  QStringLiteral("me@example.jp"));
    }
}

TEST_F(Secured, WrongPasswordUntrustedCertificateAndNoLoginFail)
{
    const int before = sink->count();
    struct Case {
        const char* name;
        SmtpAuth auth;
        std::string password;
        bool trusted;
        std::string status; // the last status starts so
    };
    const Case cases[] = {
        {"wrong password, PLAIN", SmtpAuth::Plain, "guess", true, "** ERROR ** 535"},
        {"wrong password, LOGIN", SmtpAuth::Login, "guess", true, "** ERROR ** 535"},
        {"certificate not trusted", SmtpAuth::Plain, "s3cret", false, "** ERROR ** TLS: "},
        {"no login", SmtpAuth::None, "", true, "** ERROR ** 530"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SendRun run = sendAs(c.auth, c.password, c.trusted);
        EXPECT_EQ(run.result, 1);
        ASSERT_FALSE(run.statuses.empty());
        EXPECT_EQ(run.statuses.back().rfind(c.status, 0), 0u) << run.statuses.back();
    }
    EXPECT_EQ(sink->count(), before);
}

} // namespace
} // namespace varnesk
