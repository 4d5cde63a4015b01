// Shared parts of the search tests: the application object, waiting on the
// event loop, a data folder with the files the search core reads, the real
// SMTP server (tests/search/smtp_sink.py on Debian's aiosmtpd) and a scripted
// SMTP server that fails on purpose.
#pragma once

#include "search/mail_text.h"
#include "settings/app_paths.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSslCertificate>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace varnesk::test {

// The hit mail's body line by line, for JA8089 flying JL0123 from 羽田 to
// 新千歳, received 2024/05/06 07:08:09, remark 特別塗装: what the mail text
// and SMTP fixtures both send.
inline QStringList hitMailBodyLines()
{
    return {
        QStringLiteral("Varneskが以下の情報を受信しました"),
        QStringLiteral("機体番号:JA8089"),
        QStringLiteral("便　　名:JL0123"),
        QStringLiteral("出発空港:羽田"),
        QStringLiteral("到着空港:新千歳"),
        QStringLiteral("時　　刻:2024/05/06 07:08:09"),
        QStringLiteral("備　　考:特別塗装"),
        QStringLiteral("便名検索:>") + QString::fromLatin1(kFlightSearchUrl.data(), kFlightSearchUrl.size())
            + QStringLiteral("JL0123"),
    };
}

// The QCoreApplication of a core test binary.
inline void ensureCoreApp()
{
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    (void)app;
}

// Runs the event loop until done() or ms have passed; returns done().
inline bool waitUntil(const std::function<bool()>& done, int ms = 10000)
{
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
    return done();
}

inline void writeFile(const QString& path, const std::string& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

#ifdef VARNESK_APP_DIR
// Downlinks a second apart on the left channel, made by varnesk-gen as
// DIR/traffic.wav; the one at index `listed` comes from JA8089 (the search
// list's aircraft in these tests), the others from JA810n. Empty on success,
// else what went wrong.
inline std::string writeDownlinkTraffic(const QString& dir, int count, int listed)
{
    std::string blocks;
    for (int i = 0; i < count; ++i) {
        const std::string reg = i == listed ? ".JA8089" : ".JA810" + std::to_string(i);
        blocks += "L " + std::to_string(0.5 + i) + " 2 " + reg + " NAK H1 " + std::to_string(i % 10) + " ETX M0"
                  + std::to_string(i) + "AJL00" + std::to_string(10 + i) + "BLOCK" + std::to_string(i) + "\n";
    }
    const QString list = QDir(dir).filePath(QStringLiteral("blocks.txt"));
    writeFile(list, blocks);
    QProcess gen;
    gen.start(QStringLiteral(VARNESK_APP_DIR "/varnesk-gen"),
              {QStringLiteral("--blocks"), list, QStringLiteral("--ebn0"), QStringLiteral("30"),
               QDir(dir).filePath(QStringLiteral("traffic.wav"))});
    if (!gen.waitForFinished(60000))
        return "varnesk-gen did not finish";
    if (gen.exitCode() != 0)
        return gen.readAllStandardError().toStdString();
    return {};
}
#endif

inline std::string readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : "<missing>";
}

// An application folder with data/ and logs/.
struct AppFolder {
    AppFolder()
    {
        QDir(dir.path()).mkpath(QStringLiteral("data"));
        QDir(dir.path()).mkpath(QStringLiteral("logs"));
        paths = AppPaths::make(dir.path(), QStringLiteral("varnesk"), false, QDateTime());
    }
    QTemporaryDir dir;
    AppPaths paths;
};

// The real SMTP server, started for one test suite and stopped by closing
// its standard input.
class SmtpSink {
public:
    // options: "--tls" CERT KEY, "--auth" USER:PASSWORD (see smtp_sink.py).
    explicit SmtpSink(const QStringList& options = {})
    {
        m_process.setProgram(QStringLiteral(VARNESK_PYTHON));
        m_process.setArguments(
            QStringList{QStringLiteral(VARNESK_SOURCE_DIR "/tests/search/smtp_sink.py"), m_dir.path()} + options);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
        if (!m_process.waitForStarted(10000))
            return;
        QDeadlineTimer deadline(20000);
        while (!m_process.canReadLine() && !deadline.hasExpired() && m_process.state() == QProcess::Running)
            m_process.waitForReadyRead(200);
        m_port = static_cast<quint16>(m_process.readLine().trimmed().toUInt());
    }
    ~SmtpSink()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    quint16 port() const { return m_port; }
    QString errors() { return QString::fromLocal8Bit(m_process.readAllStandardError()); }
    // Mail n (1-based) as Python's email package read it; empty when it has
    // not arrived.
    QJsonObject mail(int n) const
    {
        QFile f(m_dir.filePath(QString::asprintf("%03d.json", n)));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(f.readAll()).object();
    }
    QByteArray raw(int n) const
    {
        QFile f(m_dir.filePath(QString::asprintf("%03d.eml", n)));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    int count() const { return static_cast<int>(QDir(m_dir.path()).entryList({QStringLiteral("*.eml")}).size()); }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};

// A self-signed certificate for 127.0.0.1 made with openssl, for a server
// that offers STARTTLS: cert.pem and key.pem in a folder of its own.
class TestCertificate {
public:
    TestCertificate()
    {
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                       QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"),
                       QStringLiteral("-nodes"), QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                       QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                       QStringLiteral("subjectAltName=IP:127.0.0.1"), QStringLiteral("-keyout"), keyPath(),
                       QStringLiteral("-out"), certPath()});
        openssl.waitForFinished(30000);
        m_errors = QString::fromLocal8Bit(openssl.readAllStandardError());
    }
    QString certPath() const { return m_dir.filePath(QStringLiteral("cert.pem")); }
    QString keyPath() const { return m_dir.filePath(QStringLiteral("key.pem")); }
    QList<QSslCertificate> certificates() const { return QSslCertificate::fromPath(certPath()); }
    const QString& errors() const { return m_errors; }

private:
    QTemporaryDir m_dir;
    QString m_errors;
};

// An SMTP server that answers as its script says. Steps: 0 greeting,
// 1 HELO, 2 MAIL FROM, 3 RCPT TO, 4 DATA, 5 end of data, 6 QUIT.
class ScriptedServer : public QObject {
public:
    enum class Act { Reply, Close, Silent };
    struct Step {
        Act act = Act::Reply;
        // The reply, sent in these pieces 20 ms apart; empty: the usual reply.
        std::vector<QByteArray> pieces;
    };
    using Script = std::vector<Step>; // missing steps answer as usual

    static Step reply(std::vector<QByteArray> pieces) { return Step{Act::Reply, std::move(pieces)}; }
    static Step close() { return Step{Act::Close, {}}; }
    static Step silent() { return Step{Act::Silent, {}}; }

    ScriptedServer()
    {
        ensureCoreApp(); // fixtures may hold a server before their SetUp runs
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection())
                accept(s);
        });
    }
    quint16 port() const { return m_server.serverPort(); }
    // The script of connection n is scripts[n], or the last one.
    std::vector<Script> scripts{Script{}};
    int connections = 0;
    // A command arrived while a reply was still being sent.
    bool commandBeforeReplyEnded = false;
    // Everything every client sent, per connection.
    std::vector<QByteArray> received;

private:
    struct Peer {
        QTcpSocket* socket;
        Script script;
        int step = 0;
        bool inData = false;
        bool replying = false;
        QByteArray pending;
        int index = 0;
    };

    static QByteArray usualReply(int step)
    {
        static const char* const replies[] = {
            "220 scripted ready\r\n", "250 hello\r\n",  "250 sender ok\r\n", "250 recipient ok\r\n",
            "354 go ahead\r\n",       "250 queued\r\n", "221 bye\r\n"};
        return QByteArray(replies[step < 7 ? step : 6]);
    }

    void accept(QTcpSocket* socket)
    {
        auto peer = std::make_shared<Peer>();
        peer->socket = socket;
        peer->index = connections++;
        peer->script = scripts[std::min<size_t>(static_cast<size_t>(peer->index), scripts.size() - 1)];
        received.emplace_back();
        QObject::connect(socket, &QTcpSocket::readyRead, this, [this, peer] { onRead(peer); });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        answer(peer);
    }

    void answer(const std::shared_ptr<Peer>& peer)
    {
        const int step = peer->step;
        const Step s =
            static_cast<size_t>(step) < peer->script.size() ? peer->script[static_cast<size_t>(step)] : Step{};
        if (s.act == Act::Silent)
            return;
        if (s.act == Act::Close) {
            peer->socket->disconnectFromHost();
            return;
        }
        std::vector<QByteArray> pieces = s.pieces.empty() ? std::vector<QByteArray>{usualReply(step)} : s.pieces;
        sendPieces(peer, std::move(pieces), 0);
    }

    void sendPieces(const std::shared_ptr<Peer>& peer, std::vector<QByteArray> pieces, size_t i)
    {
        if (peer->socket->state() != QAbstractSocket::ConnectedState)
            return;
        peer->socket->write(pieces[i]);
        peer->socket->flush();
        peer->replying = i + 1 < pieces.size();
        if (peer->replying)
            QTimer::singleShot(20, this, [this, peer, pieces = std::move(pieces), i]() mutable {
                sendPieces(peer, std::move(pieces), i + 1);
            });
    }

    void onRead(const std::shared_ptr<Peer>& peer)
    {
        const QByteArray data = peer->socket->readAll();
        received[static_cast<size_t>(peer->index)] += data;
        if (peer->replying)
            commandBeforeReplyEnded = true;
        peer->pending += data;
        for (;;) {
            if (peer->inData) {
                const qsizetype end = peer->pending.indexOf("\r\n.\r\n");
                if (end < 0)
                    return;
                peer->pending.remove(0, end + 5);
                peer->inData = false;
                peer->step = 5;
                answer(peer);
                continue;
            }
            const qsizetype lf = peer->pending.indexOf('\n');
            if (lf < 0)
                return;
            peer->pending.remove(0, lf + 1);
            ++peer->step;
            answer(peer);
            // After DATA the content comes, up to the line with one ".".
            if (peer->step == 4)
                peer->inData = true;
        }
    }

    QTcpServer m_server;
};

} // namespace varnesk::test
