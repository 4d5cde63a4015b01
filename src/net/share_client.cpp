// Connect, read, close and send of the client socket.
#include "net/share_client.h"

#include "net/keep_alive.h"

#include "net/share_server.h"

#include <QTcpSocket>

#include <array>

namespace varnesk {

ShareClient::ShareClient(QObject* parent) : QObject(parent)
{
    m_connectTimer.setInterval(1000);
    connect(&m_connectTimer, &QTimer::timeout, this, &ShareClient::onConnectTick);
}

ShareClient::~ShareClient()
{
    dropSocket();
}

void ShareClient::dropSocket()
{
    m_connectTimer.stop();
    m_phase = Phase::Idle;
    m_tail.reset();
    if (!m_socket)
        return;
    QTcpSocket* socket = m_socket;
    m_socket = nullptr;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void ShareClient::ConnectToServer(const QString& host, quint16 port)
{
    dropSocket();
    m_socket = new QTcpSocket(this);
    m_socket->setReadBufferSize(kReadBufferBytes);
    QTcpSocket* socket = m_socket;
    connect(socket, &QTcpSocket::connected, this, [this] {
        m_connectTimer.stop();
        m_phase = Phase::Connected;
        m_socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, kClientSocketSendBytes);
        enableKeepAlive(*m_socket);
        Q_EMIT connected();
    });
    connect(socket, &QTcpSocket::readyRead, this, &ShareClient::onReadyRead);
    connect(socket, &QTcpSocket::errorOccurred, this, &ShareClient::onError);
    connect(socket, &QTcpSocket::disconnected, this, &ShareClient::onDisconnected);
    m_phase = Phase::Connecting;
    m_connectSeconds = 0;
    m_connectTimer.start();
    socket->connectToHost(host, port);
}

void ShareClient::DisconnectFromServer()
{
    dropSocket();
}

void ShareClient::onConnectTick()
{
    if (m_phase != Phase::Connecting) {
        m_connectTimer.stop();
        return;
    }
    if (++m_connectSeconds < kConnectTimeoutSeconds)
        return;
    dropSocket();
    Q_EMIT connectFailed(Failure::TimedOut);
}

void ShareClient::onError()
{
    if (!m_socket)
        return;
    if (m_phase == Phase::Connecting) {
        const QAbstractSocket::SocketError error = m_socket->error();
        dropSocket();
        Q_EMIT connectFailed(error == QAbstractSocket::HostNotFoundError        ? Failure::HostNotFound
                             : error == QAbstractSocket::ConnectionRefusedError ? Failure::Refused
                                                                                : Failure::Other);
        return;
    }
    // A broken connection that the socket has already given up.
    if (m_phase == Phase::Connected && m_socket->state() == QAbstractSocket::UnconnectedState)
        onDisconnected();
}

void ShareClient::onDisconnected()
{
    if (m_phase != Phase::Connected)
        return;
    // What came before the close still counts.
    onReadyRead();
    if (m_phase != Phase::Connected)
        return;
    dropSocket();
    Q_EMIT serverClosed();
}

void ShareClient::onReadyRead()
{
    std::array<char, kReadChunkBytes> chunk;
    std::vector<std::string> lines;
    while (m_socket && m_phase == Phase::Connected && m_socket->bytesAvailable() > 0) {
        const qint64 n = m_socket->read(chunk.data(), kReadChunkBytes);
        if (n <= 0)
            return;
        lines.clear();
        m_tail.push(std::string_view(chunk.data(), static_cast<std::size_t>(n)), lines);
        Q_EMIT chunkReceived();
        for (const std::string& line : lines)
            Q_EMIT lineReceived(line);
    }
}

ShareClient::Send ShareClient::SendToServer(std::string_view line)
{
    if (line.empty())
        return Send::Sent;
    if (!m_socket || m_phase != Phase::Connected || m_socket->state() != QAbstractSocket::ConnectedState)
        return Send::Error;
    if (m_socket->bytesToWrite() + static_cast<qint64>(line.size()) > kMaxPendingOutputBytes)
        return Send::Blocked;
    if (m_socket->write(line.data(), static_cast<qint64>(line.size())) < 0)
        return Send::Error;
    return Send::Sent;
}

} // namespace varnesk
