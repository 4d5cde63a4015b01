// Stations for the network tests: a decoding rig with its own network link,
// server or client, on 127.0.0.1 only; raw peers; event-loop waits.
#pragma once

#include "../decode/decode_rig.h"
#include "acars/line_codec.h"
#include "net/net_link.h"
#include "net/network_sharing.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <memory>
#include <string>

namespace nettest {

using namespace varnesk;
using namespace varnesk::testing;

inline void ensureCoreApp()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "test_net";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

inline bool waitFor(const std::function<bool()>& done, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

// Lets the event loop run for a while (for "nothing more arrives" checks).
inline void settle(int ms)
{
    waitFor([] { return false; }, ms);
}

inline std::string encode(std::string_view chars)
{
    std::string out;
    for (char c : chars)
        out.push_back(static_cast<char>(encodeLineChar(static_cast<uint8_t>(c))));
    return out;
}

// A port nobody listens on right now, on 127.0.0.1.
inline quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// A downlink line with its own message number and text, so that no two are repeats.
inline std::string numberedLine(int n, std::string_view tag = "A")
{
    char msg[8];
    std::snprintf(msg, sizeof msg, "M%02d%c", n % 100, static_cast<char>('A' + (n / 100) % 26));
    char text[32];
    std::snprintf(text, sizeof text, "%.*sTEXT%05d", static_cast<int>(tag.size()), tag.data(), n);
    return downlink(".JA8089", msg, "JL0123", text);
}

// A station: the decoding chain (RAW view: every block is an entry) and its link.
class Station {
public:
    Station(bool server, quint16 port)
    {
        SettingsStore& s = rig.settings();
        s.setBoolean(Key::TcpIp, true);
        s.setBoolean(Key::Server, server);
        s.setText(Key::ServerName, "127.0.0.1");
        s.setText(Key::ServerPortNo, std::to_string(port));
        s.setText(Key::ClientPortNo, std::to_string(port));
        s.setBoolean(Key::Chat, true);
        link = std::make_unique<NetLink>(s, rig.pipeline().network(), rig.decode().intake);
        QObject::connect(link.get(), &NetLink::notice, [this](NetLink::Notice n) { notices.push_back(n); });
        QObject::connect(link.get(), &NetLink::countdownStarted,
                         [this](NetLink::Reason r, int) { countdowns.push_back(r); });
    }

    bool listen() { return link->StartServer(QHostAddress(QHostAddress::LocalHost)); }
    bool connectAndWait()
    {
        link->ConnectToServer();
        return waitFor([this] { return net().netActive(); });
    }

    NetworkSharing& net() { return rig.pipeline().network(); }
    SettingsStore& settings() { return rig.settings(); }
    std::size_t entries() const { return rig.entries.size(); }
    // Entries holding the text.
    int entriesWith(std::string_view text) const
    {
        int n = 0;
        for (const std::string& e : rig.entries)
            n += e.find(text) != std::string::npos;
        return n;
    }

    DecodeRig rig{0};
    std::unique_ptr<NetLink> link;
    std::vector<NetLink::Notice> notices;
    std::vector<NetLink::Reason> countdowns;
};

// A peer that speaks raw bytes.
inline std::unique_ptr<QTcpSocket> rawPeer(quint16 port)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    socket->waitForConnected(3000);
    return socket;
}

} // namespace nettest
