// The station's side of sharing: whether a connection is up (netActive(): a
// client connected or a server listening), the chat history, and the raw
// lines that leave for the server or for the clients. The TCP client and
// server connect to its signals and set it.
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

    bool netActive() const { return m_netActive; }
    void setNetActive(bool active);

    // Chat lines received, CR LF after each, at most [Txt] MaxBytes − 1 bytes:
    // the oldest bytes go first.
    const std::string& chatHistory() const { return m_chatHistory; }
    void addChatLine(std::string_view line);

    // A raw line for the server (a client's own radio frame) or for every
    // client (a server's relay).
    void SendToServer(std::string_view line) { Q_EMIT lineToServer(line); }
    void SendToClients(std::string_view line) { Q_EMIT lineToClients(line); }
    // The TCP client or server received a chunk of text (the NET lamp lights).
    void noteChunkReceived() { Q_EMIT chunkReceived(); }

Q_SIGNALS:
    void lineToServer(std::string_view line);
    void lineToClients(std::string_view line);
    void chatLineAdded(std::string_view line);
    void netActiveChanged(bool active);
    void chunkReceived();

private:
    const SettingsStore& m_settings;
    bool m_netActive = false;
    std::string m_chatHistory;
};

} // namespace varnesk
