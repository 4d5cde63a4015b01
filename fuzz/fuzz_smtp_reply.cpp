// The SMTP client against a server whose replies are the fuzzer's bytes, over
// a real connection on 127.0.0.1. The input's parts are the server's answers:
// the first is the greeting, the next each answer one command (HELO, MAIL,
// RCPT, DATA, the end of the content, QUIT); after the last the server closes.
// Whatever it says, the dialogue ends with exactly one result, soon.
#include "fuzz_support.h"
#include "search/smtp_client.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace {

using namespace varnesk;

void ensureApplication()
{
    static int argc = 1;
    static char name[] = "fuzz_smtp_reply";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

// Answers every command line with the next part; in the content (after DATA
// was answered) only the lone "." ends a command.
class ScriptedServer {
public:
    explicit ScriptedServer(std::vector<std::string_view> parts) : m_parts(std::move(parts))
    {
        if (!m_server.listen(QHostAddress::LocalHost, 0))
            fuzz::fail("no port on 127.0.0.1");
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            m_peer.reset(m_server.nextPendingConnection());
            if (!m_peer)
                return;
            QObject::connect(m_peer.get(), &QTcpSocket::readyRead, [this] { onCommand(); });
            answer();
        });
    }
    quint16 port() const { return m_server.serverPort(); }

private:
    void answer()
    {
        if (m_next < m_parts.size()) {
            const std::string_view part = m_parts[m_next++];
            m_peer->write(part.data(), qint64(part.size()));
        }
        if (m_next >= m_parts.size())
            m_peer->disconnectFromHost();
    }

    void onCommand()
    {
        m_line += m_peer->readAll();
        for (qsizetype lf = m_line.indexOf('\n'); lf >= 0 && m_peer; lf = m_line.indexOf('\n')) {
            const QByteArray line = m_line.left(lf + 1);
            m_line.remove(0, lf + 1);
            if (m_inContent) {
                if (line == ".\r\n") {
                    m_inContent = false;
                    answer();
                }
                continue;
            }
            if (line.startsWith("DATA"))
                m_inContent = true;
            answer();
            if (m_peer->state() != QAbstractSocket::ConnectedState)
                return;
        }
    }

    QTcpServer m_server;
    std::unique_ptr<QTcpSocket> m_peer;
    std::vector<std::string_view> m_parts;
    size_t m_next = 0;
    QByteArray m_line;
    bool m_inContent = false;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ensureApplication();
    std::vector<std::string_view> parts = fuzz::Input(data, size).parts();
    if (parts.size() > 12)
        parts.resize(12);

    ScriptedServer server(parts);
    SmtpClient client;
    client.setPort(server.port());
    // A server that says nothing more is given up on quickly.
    client.setTiming({500, 10});
    int results = 0;
    QEventLoop loop;
    QObject::connect(&client, &SmtpClient::finished, [&](int) {
        ++results;
        loop.quit();
    });
    MailMessage message{"from@example.jp", "to@example.jp", "JA8089 heard", "JA8089\nJL0012\n"};
    if (!client.SmtpSend("127.0.0.1", message))
        fuzz::fail("the client refused to start");
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { fuzz::fail("no result within 3 s"); });
    guard.start(3000);
    loop.exec();
    // Anything still queued must not bring a second result.
    QCoreApplication::processEvents();
    if (results != 1 || client.busy())
        fuzz::fail("the dialogue did not end with exactly one result");
    return 0;
}
