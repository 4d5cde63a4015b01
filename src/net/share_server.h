// The server's sockets: the listening socket and the table of MaxConnect
// client connections, each with its own unfinished tail and a pending-output
// cap. Gives complete lines as they arrive, and sends lines to every client.
// Runs on the main thread's event loop (QTcpServer / QTcpSocket signals).
#pragma once

#include "net/line_assembler.h"

#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

class QTcpServer;
class QTcpSocket;

namespace varnesk {

// What one peer may keep waiting in the program's own buffers. A client that
// does not read loses the lines beyond this (counted as send blocked) and
// costs the others nothing; at about 100 lines a second of 200 bytes this is
// over ten seconds of traffic.
inline constexpr qint64 kMaxPendingOutputBytes = 256 * 1024;
// Bytes taken from the socket per received packet, as the line protocol
// always has; and what may wait unread in the socket's buffer (beyond it TCP
// holds the sender back).
inline constexpr qint64 kReadChunkBytes = 4096;
inline constexpr qint64 kReadBufferBytes = 64 * 1024;
// The kernel's send buffer of each accepted connection, fixed so that a
// client that does not read holds a known amount of memory.
inline constexpr int kServerSocketSendBytes = 64 * 1024;
// After a failed accept the listening socket waits this long before it takes
// connections again (a full descriptor table would otherwise fail at once).
inline constexpr int kAcceptRetryMs = 1000;

struct SendTally {
    int sent = 0;
    int blocked = 0;
    int errors = 0;
};

class ShareServer : public QObject {
    Q_OBJECT
public:
    explicit ShareServer(QObject* parent = nullptr);
    ~ShareServer() override;

    // Listens on address (every local IPv4 address by default) with a table
    // of maxConnect entries. False when the port cannot be taken.
    bool StartServer(quint16 port, int maxConnect, const QHostAddress& address = QHostAddress(QHostAddress::AnyIPv4));
    // Closes every connection and the listening socket.
    void StopServer();
    bool listening() const;
    quint16 port() const;
    // Why the last StartServer failed, in the system's words.
    const QString& errorString() const { return m_error; }

    int connectionCount() const { return m_count; }
    int maxConnect() const { return static_cast<int>(m_table.size()); }

    // The line once to every active connection; an empty line sends nothing.
    SendTally SendToClients(std::string_view line);

    // Lines dropped for the connection in table entry slot because its
    // output was full, and the bytes waiting in that output.
    uint64_t blockedFor(int slot) const;
    qint64 pendingFor(int slot) const;
    // Connections refused beyond MaxConnect; failed accepts; lines dropped by
    // the connections' tails (too long, broken, cut by a close).
    uint64_t refused() const { return m_refused; }
    uint64_t acceptFailures() const { return m_acceptFailures; }
    uint64_t overlongLines() const;
    uint64_t brokenLines() const;
    uint64_t cutLines() const { return m_cut; }

Q_SIGNALS:
    // One read of up to 4096 bytes from a connection (a received packet).
    void chunkReceived();
    // A complete line of one connection, in arrival order.
    void lineReceived(std::string_view line);
    void connectionsChanged(int count);
    // A connection beyond MaxConnect was closed at once.
    void connectionRefused();
    // Taking a connection failed; the server goes on listening.
    void acceptFailed();

private:
    struct Connection {
        QTcpSocket* socket = nullptr;
        quint32 peerAddress = 0;
        quint16 peerPort = 0;
        bool active = false;
        LineAssembler tail;
        uint64_t blocked = 0;
    };

    void onNewConnection();
    void onAcceptError();

    QString m_error;
    void renewListener();
    void onReadyRead(QTcpSocket* socket);
    void onDisconnected(QTcpSocket* socket);
    Connection* find(QTcpSocket* socket);
    void release(Connection& c);
    void collectCounts(const LineAssembler& tail);

    QTcpServer* m_listener = nullptr;
    std::vector<Connection> m_table;
    int m_count = 0;
    QTimer m_acceptRetry;
    std::vector<std::string> m_lines;
    uint64_t m_refused = 0;
    uint64_t m_acceptFailures = 0;
    uint64_t m_overlong = 0;
    uint64_t m_broken = 0;
    uint64_t m_cut = 0;
};

} // namespace varnesk
