// The SMTP dialogue as a small state machine driven by the socket's signals.
// Each reply is collected until its last line ("250 …" after any "250-…"
// lines), whatever the TCP segments, before it is checked.
#include "search/smtp_client.h"

#include "search/mail_text.h"
#include "search/search_log.h"
#include "search/sjis_text.h"

#include <QHostInfo>
#include <QRandomGenerator>
#include <QSslCipher>
#include <QSslConfiguration>
#include <QSslSocket>

#include <arpa/inet.h>
#include <netdb.h>

namespace varnesk {

namespace {

constexpr quint16 kDefaultSmtpPort = 25;

QByteArray bytes(std::string_view text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

std::string text(const QByteArray& bytes)
{
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// A header value with its folds (CR LF followed by a space or tab) kept and
// every other control byte removed, so nothing in it can start a new header.
std::string foldedHeaderValue(std::string_view value)
{
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value.substr(i, 2) == "\r\n" && i + 2 < value.size() && (value[i + 2] == ' ' || value[i + 2] == '\t')) {
            out += "\r\n";
            out.push_back(value[i + 2]);
            i += 2;
            continue;
        }
        const auto b = static_cast<unsigned char>(value[i]);
        if (b >= 0x20 && b != 0x7F)
            out.push_back(value[i]);
    }
    return out;
}

// The length of the first complete reply in buffer (through the LF of its
// last line), or 0 while it is incomplete. A line whose fourth character is
// '-' is followed by more lines of the same reply.
qsizetype completeReplyLength(const QByteArray& buffer)
{
    qsizetype start = 0;
    for (;;) {
        const qsizetype lf = buffer.indexOf('\n', start);
        if (lf < 0)
            return 0;
        const qsizetype length = lf - start;
        if (!(length >= 4 && buffer[start + 3] == '-'))
            return lf + 1;
        start = lf + 1;
    }
}

// The code of a complete reply: the first three characters of its last line
// when they are digits, else -1.
int replyCode(const QByteArray& reply)
{
    QByteArray last = reply;
    while (last.endsWith('\n') || last.endsWith('\r'))
        last.chop(1);
    last = last.mid(last.lastIndexOf('\n') + 1);
    if (last.size() < 3)
        return -1;
    int code = 0;
    for (int i = 0; i < 3; ++i) {
        if (last[i] < '0' || last[i] > '9')
            return -1;
        code = code * 10 + (last[i] - '0');
    }
    // "2500" is no reply code.
    if (last.size() > 3 && last[3] != ' ' && last[3] != '-')
        return -1;
    return code;
}

} // namespace

std::string MakeMessageId(std::string_view from)
{
    std::string domain(from.substr(from.find('@') == std::string_view::npos ? from.size() : from.find('@') + 1));
    domain = stripControls(domain);
    std::erase_if(domain, [](char c) { return c == '<' || c == '>' || c == ' ' || c == '@'; });
    if (domain.empty())
        domain = "varnesk.invalid";
    const quint64 random = QRandomGenerator::global()->generate64();
    return "<" + std::to_string(QDateTime::currentMSecsSinceEpoch()) + "."
           + QByteArray::number(random, 16).toStdString() + "@" + domain + ">";
}

SmtpClient::SmtpClient(QObject* parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &SmtpClient::onTimeout);
}

SmtpClient::~SmtpClient()
{
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
}

quint16 SmtpClient::mailServicePort()
{
    const servent* service = getservbyname("mail", "tcp");
    return service ? ntohs(static_cast<uint16_t>(service->s_port)) : kDefaultSmtpPort;
}

bool SmtpClient::SmtpSend(const std::string& server, const MailMessage& message)
{
    if (busy())
        return false;
    m_server = stripControls(server);
    m_message.from = std::string(cutSjis(stripControls(message.from), kMailAddressBytes));
    m_message.to = std::string(cutSjis(stripControls(message.to), kMailAddressBytes));
    m_message.subject = std::string(cutSjis(foldedHeaderValue(message.subject), kMailSubjectBytes));
    m_message.body = std::string(cutSjis(message.body, kMailBodyBytes));
    m_message.date = message.date;
    m_buffer.clear();
    m_peerClosed = false;
    m_step = Step::Connecting;

    m_socket = new QSslSocket(this);
    if (!m_caCertificates.isEmpty()) {
        QSslConfiguration tls = m_socket->sslConfiguration();
        tls.addCaCertificates(m_caCertificates);
        m_socket->setSslConfiguration(tls);
    }
    connect(m_socket, &QSslSocket::connected, this, &SmtpClient::onConnected);
    connect(m_socket, &QSslSocket::readyRead, this, &SmtpClient::onReadyRead);
    connect(m_socket, &QSslSocket::disconnected, this, &SmtpClient::onClosed);
    connect(m_socket, &QSslSocket::encrypted, this, &SmtpClient::onEncrypted);
    connect(m_socket, &QSslSocket::sslErrors, this, [this](const QList<QSslError>& errors) {
        fail("** ERROR ** TLS: "
             + (errors.isEmpty() ? std::string("handshake failed") : errors.front().errorString().toStdString()));
    });
    connect(m_socket, &QSslSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        if (m_step == Step::Connecting)
            fail("Invalid Socket");
        else if (m_step == Step::Handshake)
            fail("** ERROR ** TLS: " + m_socket->errorString().toStdString());
        else
            onClosed();
    });
    m_timer.start(m_timing.connectMs);
    if (m_server.empty()) {
        // Reported from the event loop, like every other result.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_step == Step::Connecting)
                    fail("Invalid Socket");
            },
            Qt::QueuedConnection);
        return true;
    }
    m_socket->connectToHost(QString::fromLatin1(m_server.data(), static_cast<qsizetype>(m_server.size())),
                            m_account.port != 0 ? m_account.port : mailServicePort());
    return true;
}

void SmtpClient::onConnected()
{
    if (m_step != Step::Connecting)
        return;
    Q_EMIT status("connecting Socket");
    m_step = Step::Greeting;
    awaitReply();
}

void SmtpClient::awaitReply()
{
    m_timer.start(m_timing.replyMs);
    // Bytes that came after the previous reply may already hold this one.
    if (!m_buffer.isEmpty())
        QMetaObject::invokeMethod(this, &SmtpClient::onReadyRead, Qt::QueuedConnection);
}

void SmtpClient::onReadyRead()
{
    if (!m_socket || m_step == Step::Idle || m_step == Step::Connecting || m_step == Step::Handshake)
        return;
    m_buffer += m_socket->readAll();
    const qsizetype length = completeReplyLength(m_buffer);
    if (length == 0) {
        if (m_buffer.size() > kMaxReplyBytes)
            fail("** ERROR ** " + text(m_buffer.left(1024)));
        return;
    }
    const QByteArray reply = m_buffer.left(length);
    m_buffer.remove(0, length);
    onReply(reply);
}

void SmtpClient::onClosed()
{
    if (m_step == Step::Idle || m_step == Step::Connecting || m_peerClosed)
        return;
    if (m_step == Step::Handshake) {
        fail("** ERROR ** TLS: connection closed");
        return;
    }
    m_peerClosed = true;
    // What arrived before the close is the reply, however short; an empty
    // one passes the check, and the next command then cannot be written.
    if (m_socket)
        m_buffer += m_socket->readAll();
    const QByteArray reply = m_buffer;
    m_buffer.clear();
    onReply(reply);
}

void SmtpClient::onTimeout()
{
    if (m_step == Step::Idle)
        return;
    if (m_step == Step::Connecting)
        fail("Invalid Socket");
    else if (m_step == Step::Quit)
        finish(0); // the mail was taken before QUIT
    else if (m_step == Step::Handshake)
        fail("** ERROR ** TLS: no handshake");
    else
        fail("** ERROR ** no reply");
}

void SmtpClient::onReply(const QByteArray& reply)
{
    m_timer.stop();
    const std::string replyText = text(reply);
    Q_EMIT status("receiving : " + replyText + (m_step == Step::Greeting ? "\n" : ""));
    const int code = replyCode(reply);
    if (m_step == Step::Quit) {
        // The mail was taken with the 250 after its body; whatever the
        // server says to QUIT, sending it again would deliver it twice.
        finish(0);
        return;
    }
    int want = 250;
    switch (m_step) {
    case Step::Greeting:
        want = 220;
        break;
    case Step::StartTls:
        want = 220;
        break;
    case Step::AuthPlain:
        want = 235;
        break;
    case Step::AuthLogin:
        want = 334;
        break;
    case Step::AuthUser:
        want = 334;
        break;
    case Step::AuthPassword:
        want = 235;
        break;
    case Step::Data:
        want = 354;
        break;
    default:
        want = 250;
        break;
    }
    const bool accepted = code == want || (m_step == Step::RcptTo && code == 251);
    if (!accepted) {
        fail("** ERROR ** " + (replyText.empty() ? std::string("connection closed") : replyText));
        return;
    }
    switch (m_step) {
    case Step::Greeting:
        if (m_account.startTls || m_account.auth != SmtpAuth::None)
            command(Step::Ehlo, bytes("EHLO " + helloName() + "\r\n"));
        else
            command(Step::Helo, bytes("HELO " + m_server + " \r\n"));
        break;
    case Step::Helo:
        sendMailFrom();
        break;
    case Step::Ehlo:
        sendAfterHello(false);
        break;
    case Step::EhloTls:
        sendAfterHello(true);
        break;
    case Step::StartTls:
        m_step = Step::Handshake;
        m_timer.start(m_timing.replyMs);
        m_socket->setPeerVerifyName(QString::fromLatin1(m_server.data(), static_cast<qsizetype>(m_server.size())));
        m_socket->startClientEncryption();
        break;
    case Step::AuthLogin:
        command(Step::AuthUser, bytes(Base64Encode(m_account.user) + "\r\n"), "(user)\r\n");
        break;
    case Step::AuthUser:
        command(Step::AuthPassword, bytes(Base64Encode(m_account.password) + "\r\n"), "(password)\r\n");
        break;
    case Step::AuthPlain:
    case Step::AuthPassword:
        sendMailFrom();
        break;
    case Step::MailFrom:
        command(Step::RcptTo, bytes("RCPT TO:<" + m_message.to + ">\r\n"));
        break;
    case Step::RcptTo:
        command(Step::Data, QByteArrayLiteral("DATA\r\n"));
        break;
    case Step::Data:
        m_step = Step::EndOfData;
        sendContent();
        break;
    case Step::EndOfData:
        command(Step::Quit, QByteArrayLiteral("QUIT\r\n"));
        break;
    case Step::Quit:
    case Step::Idle:
    case Step::Connecting:
    case Step::Handshake:
        break;
    }
}

std::string SmtpClient::helloName()
{
    const QString local = QHostInfo::localHostName();
    std::string name = stripControls(local.toLatin1().toStdString());
    std::erase_if(name, [](char c) { return c == ' '; });
    return name.empty() ? std::string("localhost") : name;
}

bool SmtpClient::command(Step next, const QByteArray& line, const std::string& shown)
{
    m_step = next;
    if (!sendLine(line, shown.empty()))
        return false;
    if (!shown.empty())
        Q_EMIT status("sending   : " + shown);
    awaitReply();
    return true;
}

void SmtpClient::sendAfterHello(bool encrypted)
{
    if (m_account.startTls && !encrypted) {
        command(Step::StartTls, QByteArrayLiteral("STARTTLS\r\n"));
        return;
    }
    switch (m_account.auth) {
    case SmtpAuth::Plain: {
        std::string credentials;
        credentials.push_back('\0');
        credentials += m_account.user;
        credentials.push_back('\0');
        credentials += m_account.password;
        command(Step::AuthPlain, bytes("AUTH PLAIN " + Base64Encode(credentials) + "\r\n"), "AUTH PLAIN (login)\r\n");
        break;
    }
    case SmtpAuth::Login:
        command(Step::AuthLogin, QByteArrayLiteral("AUTH LOGIN\r\n"));
        break;
    case SmtpAuth::None:
        sendMailFrom();
        break;
    }
}

void SmtpClient::sendMailFrom()
{
    command(Step::MailFrom, bytes("MAIL FROM:<" + m_message.from + ">\r\n"));
}

void SmtpClient::onEncrypted()
{
    if (m_step != Step::Handshake)
        return;
    Q_EMIT status("TLS: " + m_socket->sessionCipher().protocolString().toStdString());
    // Anything the server said before the handshake is not to be trusted.
    m_buffer.clear();
    command(Step::EhloTls, bytes("EHLO " + helloName() + "\r\n"));
}

bool SmtpClient::sendLine(const QByteArray& line, bool showStatus)
{
    if (m_step == Step::Idle)
        return false;
    if (!m_socket || m_peerClosed || m_socket->state() != QAbstractSocket::ConnectedState
        || m_socket->write(line) != line.size()) {
        fail("** ERROR ** connection closed");
        return false;
    }
    if (showStatus)
        Q_EMIT status("sending   : " + text(line));
    return true;
}

void SmtpClient::sendContent()
{
    // Header lines in this order, each its own write; the texts go out as
    // ISO-2022-JP, the status bar shows them as built.
    const std::string subject = ShiftJisToJis(m_message.subject);
    const std::string to = ShiftJisToJis(m_message.to);
    const std::string from = ShiftJisToJis(m_message.from);
    const std::string body = WireBody(ShiftJisToJis(m_message.body));
    const QDateTime when = m_message.date.isValid() ? m_message.date : QDateTime::currentDateTime();
    const std::string date = when.toString(Qt::RFC2822Date).toStdString();
    const std::string messageId = MakeMessageId(m_message.from);
    struct Line {
        std::string wire;
        std::string shown; // empty: no status
    };
    const Line lines[] = {
        {"MIME-Version: 1.0\r\n", {}},
        {"Content-Transfer-Encoding: 7bit\r\n", {}},
        {"Content-Type: text/plain; charset=\"ISO-2022-JP\"\r\n", {}},
        {"X-Mailer: Varnesk\r\n", {}},
        {"Subject: " + subject + "\r\n", "Subject: " + m_message.subject + "\r\n"},
        {"To: " + to + "\r\n", "To: " + m_message.to + "\r\n"},
        {"From: " + from + "\r\n", "From: " + m_message.from + "\r\n"},
        {"Date: " + date + "\r\n", {}},
        {"Message-ID: " + messageId + "\r\n", {}},
        {"\r\n", "\r\n"},
        {body + "\r\n", m_message.body + "\r\n"},
        {".\r\n", {}},
    };
    for (const Line& line : lines) {
        if (!sendLine(bytes(line.wire), false))
            return;
        if (!line.shown.empty())
            Q_EMIT status("sending   : " + line.shown);
    }
    awaitReply();
}

void SmtpClient::fail(const std::string& text)
{
    if (m_step == Step::Idle)
        return;
    qCInfo(lcSearch) << "mail not sent:" << QByteArray::fromStdString(text);
    Q_EMIT status(text);
    finish(1);
}

void SmtpClient::finish(int result)
{
    m_timer.stop();
    m_step = Step::Idle;
    m_buffer.clear();
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    Q_EMIT finished(result);
}

} // namespace varnesk
