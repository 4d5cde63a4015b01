// Accept, read, close and send of the server's connections.
#include "net/share_server.h"

#include "net/keep_alive.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <array>

#include <fcntl.h>
#include <unistd.h>

namespace varnesk {

ShareServer::ShareServer(QObject* parent) : QObject(parent)
{
    m_acceptRetry.setSingleShot(true);
    m_acceptRetry.setInterval(kAcceptRetryMs);
    connect(&m_acceptRetry, &QTimer::timeout, this, &ShareServer::renewListener);
}

ShareServer::~ShareServer()
{
    StopServer();
}

bool ShareServer::StartServer(quint16 port, int maxConnect, const QHostAddress& address)
{
    StopServer();
    m_table = std::vector<Connection>(static_cast<std::size_t>(std::max(1, maxConnect)));
    m_count = 0;
    m_listener = new QTcpServer(this);
    if (!m_listener->listen(address, port)) {
        m_error = m_listener->errorString();
        delete m_listener;
        m_listener = nullptr;
        return false;
    }
    connect(m_listener, &QTcpServer::newConnection, this, &ShareServer::onNewConnection);
    connect(m_listener, &QTcpServer::acceptError, this, &ShareServer::onAcceptError);
    return true;
}

// After a failed accept the listening socket's object keeps reporting that
// failure after every later accept (and pauses itself each time), so the
// same socket is taken over by a fresh object; connections waiting in the
// system's queue stay there. Needs one free descriptor: without it, later.
void ShareServer::renewListener()
{
    if (!m_listener)
        return;
    const int copy = ::fcntl(static_cast<int>(m_listener->socketDescriptor()), F_DUPFD_CLOEXEC, 0);
    auto* fresh = new QTcpServer(this);
    if (copy < 0 || !fresh->setSocketDescriptor(copy)) {
        if (copy >= 0)
            ::close(copy);
        delete fresh;
        m_acceptRetry.start();
        return;
    }
    m_listener->disconnect(this);
    m_listener->close();
    m_listener->deleteLater();
    m_listener = fresh;
    connect(m_listener, &QTcpServer::newConnection, this, &ShareServer::onNewConnection);
    connect(m_listener, &QTcpServer::acceptError, this, &ShareServer::onAcceptError);
}

void ShareServer::StopServer()
{
    m_acceptRetry.stop();
    for (Connection& c : m_table)
        if (c.active)
            release(c);
    m_count = 0;
    if (m_listener) {
        m_listener->close();
        m_listener->deleteLater();
        m_listener = nullptr;
    }
}

bool ShareServer::listening() const
{
    return m_listener && m_listener->isListening();
}

quint16 ShareServer::port() const
{
    return m_listener ? m_listener->serverPort() : 0;
}

uint64_t ShareServer::blockedFor(int slot) const
{
    return slot >= 0 && slot < maxConnect() ? m_table[static_cast<std::size_t>(slot)].blocked : 0;
}

qint64 ShareServer::pendingFor(int slot) const
{
    if (slot < 0 || slot >= maxConnect())
        return 0;
    const Connection& c = m_table[static_cast<std::size_t>(slot)];
    return c.active ? c.socket->bytesToWrite() : 0;
}

uint64_t ShareServer::overlongLines() const
{
    uint64_t n = m_overlong;
    for (const Connection& c : m_table)
        if (c.active)
            n += c.tail.overlongLines();
    return n;
}

uint64_t ShareServer::brokenLines() const
{
    uint64_t n = m_broken;
    for (const Connection& c : m_table)
        if (c.active)
            n += c.tail.brokenLines();
    return n;
}

ShareServer::Connection* ShareServer::find(QTcpSocket* socket)
{
    for (Connection& c : m_table)
        if (c.active && c.socket == socket)
            return &c;
    return nullptr;
}

void ShareServer::collectCounts(const LineAssembler& tail)
{
    m_overlong += tail.overlongLines();
    m_broken += tail.brokenLines();
    m_cut += tail.cutLines();
}

// Marks the entry free and closes its socket; the socket object goes once
// the event loop is back (this may run inside one of its own signals).
void ShareServer::release(Connection& c)
{
    c.tail.reset();
    collectCounts(c.tail);
    c.tail = LineAssembler();
    c.active = false;
    QTcpSocket* socket = c.socket;
    c.socket = nullptr;
    if (socket) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
}

void ShareServer::onNewConnection()
{
    while (m_listener && m_listener->hasPendingConnections()) {
        QTcpSocket* socket = m_listener->nextPendingConnection();
        if (!socket)
            break;
        Connection* slot = nullptr;
        for (Connection& c : m_table)
            if (!c.active) {
                slot = &c;
                break;
            }
        if (!slot) {
            ++m_refused;
            socket->abort();
            socket->deleteLater();
            Q_EMIT connectionRefused();
            continue;
        }
        socket->setReadBufferSize(kReadBufferBytes);
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, kServerSocketSendBytes);
        enableKeepAlive(*socket);
        slot->socket = socket;
        slot->peerAddress = socket->peerAddress().toIPv4Address();
        slot->peerPort = socket->peerPort();
        slot->active = true;
        slot->blocked = 0;
        ++m_count;
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { onDisconnected(socket); });
        Q_EMIT connectionsChanged(m_count);
        // Bytes that came with the connection.
        if (socket->bytesAvailable() > 0)
            onReadyRead(socket);
    }
}

void ShareServer::onAcceptError()
{
    // The listening socket paused itself; a fresh one takes over shortly.
    ++m_acceptFailures;
    m_acceptRetry.start();
    Q_EMIT acceptFailed();
}

void ShareServer::onReadyRead(QTcpSocket* socket)
{
    std::array<char, kReadChunkBytes> chunk;
    while (true) {
        Connection* c = find(socket);
        if (!c || socket->bytesAvailable() <= 0)
            return;
        const qint64 n = socket->read(chunk.data(), kReadChunkBytes);
        if (n <= 0)
            return;
        m_lines.clear();
        c->tail.push(std::string_view(chunk.data(), static_cast<std::size_t>(n)), m_lines);
        // The lines are copies: whatever their handling does, they stay valid.
        const std::vector<std::string> lines = std::move(m_lines);
        m_lines = {};
        Q_EMIT chunkReceived();
        for (const std::string& line : lines)
            Q_EMIT lineReceived(line);
    }
}

void ShareServer::onDisconnected(QTcpSocket* socket)
{
    Connection* c = find(socket);
    if (!c)
        return;
    // Bytes still buffered (the last of them may end a line) are read first.
    onReadyRead(socket);
    c = find(socket);
    if (!c)
        return;
    release(*c);
    --m_count;
    Q_EMIT connectionsChanged(m_count);
}

SendTally ShareServer::SendToClients(std::string_view line)
{
    SendTally tally;
    if (line.empty())
        return tally;
    for (Connection& c : m_table) {
        if (!c.active)
            continue;
        if (c.socket->state() != QAbstractSocket::ConnectedState) {
            ++tally.errors;
            continue;
        }
        if (c.socket->bytesToWrite() + static_cast<qint64>(line.size()) > kMaxPendingOutputBytes) {
            ++tally.blocked;
            ++c.blocked;
            continue;
        }
        if (c.socket->write(line.data(), static_cast<qint64>(line.size())) < 0)
            ++tally.errors;
        else
            ++tally.sent;
    }
    return tally;
}

} // namespace varnesk
