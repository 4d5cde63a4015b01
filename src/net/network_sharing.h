// The station's side of sharing: whether a connection is up (NetActive: a
// client connected or a server listening), the chat history, and the raw
// lines that leave for the server or for the clients. The TCP client and
// server connect to its signals and set NetActive.
#pragma once

#include <QObject>

#include <string>
#include <string_view>

namespace varnesk {

class SettingsStore;

class NetworkSharing : public QObject {
    Q_OBJECT
public:
    explicit NetworkSharing(const SettingsStore& settings);

    bool NetActive() const { return m_netActive; }
    void setNetActive(bool active);

    // Chat lines received, CR LF after each, at most [Txt] MaxBytes − 1 bytes:
    // the oldest bytes go first.
    const std::string& ChatHistory() const { return m_chatHistory; }
    void AddChatLine(std::string_view line);

    // The NET lamp: lit by every received chunk and by every frame a server
    // decodes from its radio; the indicators advance it once per capture
    // block and show it lit while it is at most 5 (lit for the first six
    // blocks after start).
    void lightNetLamp() { m_netLampBlocks = 0; }
    int netLampBlocks() const { return m_netLampBlocks; }
    // One capture block later: true while lit (then it counts on).
    bool advanceNetLamp()
    {
        if (m_netLampBlocks > 5)
            return false;
        ++m_netLampBlocks;
        return true;
    }

    // A raw line for the server (a client's own radio frame) or for every
    // client (a server's relay).
    void SendToServer(std::string_view line) { Q_EMIT lineToServer(line); }
    void SendToClients(std::string_view line) { Q_EMIT lineToClients(line); }

Q_SIGNALS:
    void lineToServer(std::string_view line);
    void lineToClients(std::string_view line);
    void chatLineAdded(std::string_view line);
    void netActiveChanged(bool active);

private:
    const SettingsStore& m_settings;
    bool m_netActive = false;
    int m_netLampBlocks = 0;
    std::string m_chatHistory;
};

} // namespace varnesk
