// The program's small SMTP client: one mail at a time to the configured
// server, run on the main thread's event loop (QTcpSocket signals), so
// reception and display go on while a server is slow or away. Takes a
// MailMessage of Shift-JIS texts; gives progress texts for the status bar
// and a result (0 sent, 1 failed).
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <string>

class QTcpSocket;

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
};

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
    // The port to connect to; 0 (the default) takes the "mail" service of
    // the services database, or 25 when it has none.
    void setPort(quint16 port) { m_port = port; }
    static quint16 mailServicePort();

    bool busy() const { return m_step != Step::Idle; }

    // Starts the dialogue with server: greeting, HELO, MAIL FROM, RCPT TO,
    // DATA, the header lines and body, QUIT. A reply whose first character
    // is above '3' fails the attempt, as does a time-out, a failed
    // connection or a command that can no longer be written. The result
    // comes with finished(). Returns false, starting nothing, while a send is
    // running.
    bool SmtpSend(const std::string& server, const MailMessage& message);

Q_SIGNALS:
    // A progress or result text for the status bar (Shift-JIS bytes).
    void status(const std::string& text);
    // 0 sent, 1 failed; the client is idle again when this is emitted.
    void finished(int result);

private:
    enum class Step { Idle, Connecting, Greeting, Helo, MailFrom, RcptTo, Data, EndOfData, Quit };

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

    SmtpTiming m_timing;
    quint16 m_port = 0;
    Step m_step = Step::Idle;
    QPointer<QTcpSocket> m_socket;
    QTimer m_timer;
    QByteArray m_buffer;
    bool m_peerClosed = false;
    std::string m_server;
    MailMessage m_message;
};

} // namespace varnesk
