// The station's TCP sharing: a server (listening socket and client table) or
// a client (one connection, reconnecting by itself after a countdown). Lines
// received go through their connection's tail into the line intake; the
// server relays complete lines when it does not filter duplicates; lines the
// pipeline gives for the server or the clients are sent and counted. What the
// user must be told comes out as signals; the windows show it.
#pragma once

#include "net/packet_counters.h"
#include "net/share_client.h"
#include "net/share_server.h"

#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <optional>
#include <string_view>

namespace varnesk {

// Ports of the line protocol lie in 49152 … 65535.
inline constexpr int kMinPort = 49152;
inline constexpr int kMaxPort = 65535;

// A port text read as a number (leading and trailing blanks allowed);
// nullopt when it is not a whole number.
std::optional<int> ParsePortText(std::string_view text);

class NetLineIntake;
class NetworkSharing;
class SettingsStore;
enum class ChatCheck;

class NetLink : public QObject {
    Q_OBJECT
public:
    // The boxes of the network, each after the warning beep.
    enum class Notice {
        Connected,            // "接続しました"
        CannotConnect,        // "接続できません"
        Disconnected,         // "切断しました": the user released the button
        DisconnectedByServer, // "切断されました"
        AcceptFailed,         // "無効な接続要求を受けました"
        TooManyConnections,   // "最大限度の接続要求を受けました"
    };
    Q_ENUM(Notice)
    // Why the reconnect countdown runs.
    enum class Reason {
        LineDropped,   // "回線が切断されました"
        ConnectFailed, // "接続に失敗しました"
    };
    Q_ENUM(Reason)

    NetLink(SettingsStore& settings, NetworkSharing& network, NetLineIntake& intake, QObject* parent = nullptr);
    ~NetLink() override;

    bool isServer() const;

    // Server: listens on [Net] ServerPortNo with a table of MaxConnect
    // entries; netActive() follows the result.
    bool StartServer(const QHostAddress& address = QHostAddress(QHostAddress::AnyIPv4));
    int connectionCount() const { return m_server.connectionCount(); }

    // Client: connects to [Net] ServerName : ClientPortNo. A reconnect attempt
    // shows no box when it succeeds and starts a new countdown when it fails.
    void ConnectToServer(bool reconnectAttempt = false);
    // The user released the TCP/IP button.
    void DisconnectFromServer();
    // The connection dialog was cancelled: the button goes up, netActive() off.
    void connectionCancelled();

    // The reconnect countdown: [Net] Timer seconds, then a reconnect attempt.
    int countdownSeconds() const { return m_countdownLeft; }
    bool countdownRunning() const { return m_countdown.isActive(); }
    void cancelReconnect();

    // Checks and sends a chat message (Shift-JIS name and text). A server
    // sends it to the clients and adds it to its own chat log at once; a
    // client sends it to the server and sees it when the server relays it.
    ChatCheck sendChat(std::string_view name, std::string_view text);
    // One numbered test line to the server.
    void sendTestLine(int counter);

    // The closing sequence: every connection and the listening socket are
    // closed, silently.
    void closeSockets();

    const PacketCounters& counters() const { return m_counters; }
    ShareServer& server() { return m_server; }
    ShareClient& client() { return m_client; }

Q_SIGNALS:
    void notice(NetLink::Notice what);
    // The server's connection count changed (the caption shows it).
    void connectionsChanged(int count);
    // The TCP/IP button goes down (connected) or up.
    void connectButtonChanged(bool down);
    // The reconnect window opens with its reason and count; the count goes
    // down each second; it closes when the count ends or is cancelled.
    void countdownStarted(NetLink::Reason reason, int seconds);
    void countdownChanged(int seconds);
    void countdownEnded();
    void countersChanged();

private:
    void onLineToServer(std::string_view line);
    void onLineToClients(std::string_view line);
    void onServerLine(std::string_view line);
    void onChunk();
    void onConnected();
    void onConnectFailed(ShareClient::Failure why);
    void onServerClosed();
    void startCountdown(Reason reason);
    void onCountdownTick();
    void clientDown();

    SettingsStore& m_settings;
    NetworkSharing& m_network;
    NetLineIntake& m_intake;
    ShareServer m_server;
    ShareClient m_client;
    PacketCounters m_counters;
    bool m_reconnectAttempt = false;
    bool m_acceptFailureShown = false;
    bool m_closing = false;
    QTimer m_countdown;
    int m_countdownLeft = 0;
};

} // namespace varnesk
