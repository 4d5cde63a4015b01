// Routing of the server's and the client's events, the counters and the
// reconnect countdown.
#include "net/net_link.h"

#include "net/chat_lines.h"
#include "net/line_intake.h"
#include "net/network_sharing.h"
#include "settings/settings_store.h"

#include <algorithm>
#include <charconv>

namespace varnesk {

std::optional<int> ParsePortText(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

namespace {

quint16 portOf(const std::string& text)
{
    const std::optional<int> port = ParsePortText(text);
    return port && *port > 0 && *port <= kMaxPort ? static_cast<quint16>(*port) : 0;
}

} // namespace

NetLink::NetLink(SettingsStore& settings, NetworkSharing& network, NetLineIntake& intake, QObject* parent)
    : QObject(parent), m_settings(settings), m_network(network), m_intake(intake)
{
    connect(&m_network, &NetworkSharing::lineToServer, this, &NetLink::onLineToServer);
    connect(&m_network, &NetworkSharing::lineToClients, this, &NetLink::onLineToClients);

    connect(&m_server, &ShareServer::chunkReceived, this, &NetLink::onChunk);
    connect(&m_server, &ShareServer::lineReceived, this, &NetLink::onServerLine);
    connect(&m_server, &ShareServer::connectionsChanged, this, [this](int count) {
        m_acceptFailureShown = false;
        Q_EMIT connectionsChanged(count);
    });
    connect(&m_server, &ShareServer::connectionRefused, this, [this] { Q_EMIT notice(Notice::TooManyConnections); });
    connect(&m_server, &ShareServer::acceptFailed, this, [this] {
        // One box for a run of failures; the server keeps listening.
        if (m_acceptFailureShown)
            return;
        m_acceptFailureShown = true;
        Q_EMIT notice(Notice::AcceptFailed);
    });

    connect(&m_client, &ShareClient::chunkReceived, this, &NetLink::onChunk);
    connect(&m_client, &ShareClient::lineReceived, this, [this](std::string_view line) { m_intake.LineIntake(line); });
    connect(&m_client, &ShareClient::connected, this, &NetLink::onConnected);
    connect(&m_client, &ShareClient::connectFailed, this, &NetLink::onConnectFailed);
    connect(&m_client, &ShareClient::serverClosed, this, &NetLink::onServerClosed);

    m_countdown.setInterval(1000);
    connect(&m_countdown, &QTimer::timeout, this, &NetLink::onCountdownTick);
}

NetLink::~NetLink()
{
    m_closing = true;
    m_countdown.stop();
}

bool NetLink::isServer() const
{
    return m_settings.boolean(Key::Server);
}

bool NetLink::StartServer(const QHostAddress& address)
{
    const bool ok =
        m_server.StartServer(portOf(m_settings.text(Key::ServerPortNo)), m_settings.integer(Key::MaxConnect), address);
    m_network.setNetActive(ok);
    return ok;
}

void NetLink::closeSockets()
{
    m_closing = true;
    m_countdown.stop();
    m_client.DisconnectFromServer();
    m_server.StopServer();
    m_network.setNetActive(false);
}

// Sending. Every line leaves once; there is no retry.

void NetLink::onLineToServer(std::string_view line)
{
    if (line.empty())
        return;
    switch (m_client.SendToServer(line)) {
    case ShareClient::Send::Sent:
        ++m_counters.sent;
        break;
    case ShareClient::Send::Blocked:
        ++m_counters.clientSendBlocked;
        break;
    case ShareClient::Send::Error:
        ++m_counters.clientSendErrors;
        break;
    }
    Q_EMIT countersChanged();
}

void NetLink::onLineToClients(std::string_view line)
{
    if (line.empty())
        return;
    const SendTally tally = m_server.SendToClients(line);
    m_counters.serverSendBlocked += static_cast<uint64_t>(tally.blocked);
    m_counters.serverSendErrors += static_cast<uint64_t>(tally.errors);
    if (tally.sent > 0)
        ++m_counters.sent;
    Q_EMIT countersChanged();
}

// Receiving.

void NetLink::onChunk()
{
    ++m_counters.received;
    m_network.noteChunkReceived();
    Q_EMIT countersChanged();
}

void NetLink::onServerLine(std::string_view line)
{
    // Without the duplicate filter every complete line goes back to every
    // client (the sender too) before it is decoded here; whole lines, so the
    // lines of different senders never interleave in a client's stream.
    if (!m_settings.boolean(Key::DupCheckSend))
        m_network.SendToClients(line);
    m_intake.LineIntake(line);
}

// The client's connection.

void NetLink::ConnectToServer(bool reconnectAttempt)
{
    m_closing = false;
    m_reconnectAttempt = reconnectAttempt;
    m_client.ConnectToServer(QString::fromLatin1(m_settings.text(Key::ServerName)),
                             portOf(m_settings.text(Key::ClientPortNo)));
}

void NetLink::clientDown()
{
    m_network.setNetActive(false);
    Q_EMIT connectButtonChanged(false);
}

void NetLink::DisconnectFromServer()
{
    m_countdown.stop();
    m_client.DisconnectFromServer();
    Q_EMIT notice(Notice::Disconnected);
    clientDown();
}

void NetLink::connectionCancelled()
{
    clientDown();
}

void NetLink::onConnected()
{
    if (!m_reconnectAttempt)
        Q_EMIT notice(Notice::Connected);
    m_reconnectAttempt = false;
    m_network.setNetActive(true);
    Q_EMIT connectButtonChanged(true);
}

void NetLink::onConnectFailed(ShareClient::Failure why)
{
    const bool reconnect = m_reconnectAttempt;
    m_reconnectAttempt = false;
    // A name that cannot be looked up stops a connection the user asked for
    // silently (the button stays down); a reconnect counts it as a failure
    // and tries again, since a mobile link may have no name service for a while.
    if (why == ShareClient::Failure::HostNotFound && !reconnect) {
        m_network.setNetActive(false);
        return;
    }
    clientDown();
    if (reconnect)
        startCountdown(Reason::ConnectFailed);
    else
        Q_EMIT notice(Notice::CannotConnect);
}

void NetLink::onServerClosed()
{
    if (m_closing)
        return;
    clientDown();
    if (m_settings.boolean(Key::Reconnect))
        startCountdown(Reason::LineDropped);
    else
        Q_EMIT notice(Notice::DisconnectedByServer);
}

void NetLink::startCountdown(Reason reason)
{
    // A Timer of 0 or less would never count down to its end.
    m_countdownLeft = std::max(1, m_settings.integer(Key::Timer));
    m_countdown.start();
    Q_EMIT countdownStarted(reason, m_countdownLeft);
}

void NetLink::onCountdownTick()
{
    --m_countdownLeft;
    if (m_countdownLeft > 0) {
        Q_EMIT countdownChanged(m_countdownLeft);
        return;
    }
    m_countdown.stop();
    ConnectToServer(true);
    Q_EMIT countdownEnded();
}

void NetLink::cancelReconnect()
{
    m_countdown.stop();
    m_countdownLeft = 0;
    clientDown();
    Q_EMIT countdownEnded();
}

// Chat and the packet test.

ChatCheck NetLink::sendChat(std::string_view name, std::string_view text)
{
    const ChatCheck check = CheckChatMessage(name, text);
    if (check != ChatCheck::Ok)
        return check;
    m_settings.setText(Key::Name, std::string(name));
    const std::string line = BuildChatLine(name, text);
    if (isServer()) {
        m_network.SendToClients(line);
        std::string own(name);
        own.append(">").append(text);
        m_network.addChatLine(own);
    } else {
        m_network.SendToServer(line);
    }
    return check;
}

void NetLink::sendTestLine(int counter)
{
    m_network.SendToServer(BuildTestLine(counter));
}

} // namespace varnesk
