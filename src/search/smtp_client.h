// The program's small SMTP client: one mail at a time to the configured
// server, run on the main thread's event loop (QTcpSocket signals), so
// reception and display go on while a server is slow or away. Takes a
// MailMessage of Shift-JIS texts; gives progress texts for the status bar
// and a result (0 sent, 1 failed).
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QTimer>

#include <string>

class QSslSocket;

namespace varnesk {

// Field limits in bytes; longer texts are cut at a character boundary.
inline constexpr size_t kMailAddressBytes = 127;
inline constexpr size_t kMailSubjectBytes = 1023;
inline constexpr size_t kMailBodyBytes = 4095;

// One mail as handed to SmtpSend. Shift-JIS texts: the subject is the
// Subject header's value (already MIME-encoded, or plain text, which is sent
// as ISO-2022-JP); the body's lines are separated by LF.
struct MailMessage {
    std::string from;
    std::string to;
    std::string subject;
    std::string body;
    QDateTime date{}; // the Date header; invalid: the time of sending
};

enum class SmtpAuth { None = 0, Plain = 1, Login = 2 };

// How to reach the server: port, STARTTLS, and a login.
struct SmtpAccount {
    quint16 port = 0; // 0: the "mail" service of the services database, or 25
    bool startTls = false;
    SmtpAuth auth = SmtpAuth::None;
    std::string user;
    std::string password;
};

// The Message-ID header's value for a mail from this address:
// "<" unique part "@" the address's domain (or "varnesk.invalid") ">".
std::string MakeMessageId(std::string_view from);

// Time-outs of one attempt, in milliseconds.
struct SmtpTiming {
    int connectMs = 30000; // name look-up and connection
    int replyMs = 30000;   // each reply of the server
};

// A reply longer than this without its last line fails the attempt.
inline constexpr qsizetype kMaxReplyBytes = 4096;

class SmtpClient : public QObject {
    Q_OBJECT
public:
    explicit SmtpClient(QObject* parent = nullptr);
    ~SmtpClient() override;

    void setTiming(SmtpTiming timing) { m_timing = timing; }
    void setAccount(SmtpAccount account) { m_account = std::move(account); }
    // The port to connect to; 0 (the default) takes the "mail" service of
    // the services database, or 25 when it has none.
    void setPort(quint16 port) { m_account.port = port; }
    // Certificates trusted beside the system's (a server's own certificate).
    void setCaCertificates(const QList<QSslCertificate>& certificates) { m_caCertificates = certificates; }
    static quint16 mailServicePort();

    bool busy() const { return m_step != Step::Idle; }

    // Starts the dialogue with server: greeting (220), HELO (250) or, with
    // STARTTLS or a login, EHLO (250), STARTTLS (220) and EHLO again over
    // TLS, AUTH (235, LOGIN through two 334), MAIL FROM (250), RCPT TO (250
    // or 251), DATA (354), the header lines and body (250), QUIT. Any other
    // reply fails the attempt with the reply in the status, as do a
    // time-out, a failed connection or handshake and a command that can no
    // longer be written. The mail counts as sent once the body was taken;
    // the reply to QUIT is only shown. The result comes with finished().
    // Returns false, starting nothing, while a send is running.
    bool SmtpSend(const std::string& server, const MailMessage& message);

Q_SIGNALS:
    // A progress or result text for the status bar (Shift-JIS bytes).
    void status(const std::string& text);
    // 0 sent, 1 failed; the client is idle again when this is emitted.
    void finished(int result);

private:
    enum class Step {
        Idle,
        Connecting,
        Greeting,
        Helo,
        Ehlo,
        StartTls,
        Handshake,
        EhloTls,
        AuthPlain,
        AuthLogin,
        AuthUser,
        AuthPassword,
        MailFrom,
        RcptTo,
        Data,
        EndOfData,
        Quit
    };

    void onConnected();
    void onReadyRead();
    void onClosed();
    void onTimeout();
    // The reply to the current step is complete (or the peer closed).
    void onReply(const QByteArray& reply);
    bool sendLine(const QByteArray& line, bool showStatus);
    void sendContent();
    void fail(const std::string& text);
    void finish(int result);
    void awaitReply();
    // The command that follows a greeting or EHLO: STARTTLS, AUTH or MAIL FROM.
    void sendAfterHello(bool encrypted);
    void sendMailFrom();
    void onEncrypted();
    static std::string helloName();
    bool command(Step next, const QByteArray& line, const std::string& shown = {});

    SmtpTiming m_timing;
    SmtpAccount m_account;
    QList<QSslCertificate> m_caCertificates;
    Step m_step = Step::Idle;
    QPointer<QSslSocket> m_socket;
    QTimer m_timer;
    QByteArray m_buffer;
    bool m_peerClosed = false;
    std::string m_server;
    MailMessage m_message;
};

} // namespace varnesk
