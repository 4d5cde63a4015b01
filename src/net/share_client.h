// The client's socket: connects to the server, gives complete lines as they
// arrive (the unfinished tail kept between reads) and sends lines to the
// server with a pending-output cap. Runs on the main thread's event loop.
#pragma once

#include "net/line_assembler.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <string>
#include <string_view>
#include <vector>

class QTcpSocket;

namespace varnesk {

// A connection that neither succeeds nor fails within this time is given up
// as failed (the system alone would wait about two minutes).
inline constexpr int kConnectTimeoutSeconds = 30;
// The client socket's send buffer, as the line protocol has always set it.
inline constexpr int kClientSocketSendBytes = 2048;

class ShareClient : public QObject {
    Q_OBJECT
public:
    enum class Send { Sent, Blocked, Error };
    enum class Failure { Refused, HostNotFound, TimedOut, Other };

    explicit ShareClient(QObject* parent = nullptr);
    ~ShareClient() override;

    // Starts a connection to host (a name or a dotted address); the outcome
    // comes as connected() or connectFailed(). A connection still open is
    // closed first, without signals.
    void ConnectToServer(const QString& host, quint16 port);
    // Closes the socket without signals.
    void DisconnectFromServer();

    bool isConnected() const { return m_phase == Phase::Connected; }
    bool isConnecting() const { return m_phase == Phase::Connecting; }

    // The line once; an empty line sends nothing and counts as sent.
    Send SendToServer(std::string_view line);

    const LineAssembler& tail() const { return m_tail; }

Q_SIGNALS:
    void connected();
    void connectFailed(ShareClient::Failure why);
    // The server closed the connection (or it broke).
    void serverClosed();
    // One read of up to 4096 bytes (a received packet).
    void chunkReceived();
    void lineReceived(std::string_view line);

private:
    enum class Phase { Idle, Connecting, Connected };

    void dropSocket();
    void onReadyRead();
    void onError();
    void onDisconnected();
    void onConnectTick();

    QTcpSocket* m_socket = nullptr;
    Phase m_phase = Phase::Idle;
    QTimer m_connectTimer; // one-second ticks while a connection is pending
    int m_connectSeconds = 0;
    LineAssembler m_tail;
};

} // namespace varnesk
