// The JSON feed to an aggregator: every checked frame received here becomes
// one line (json_feed.h) sent to [Feed] Host:Port by UDP (one datagram per
// line) or TCP (reconnecting by itself, 1 s doubling to 60 s between tries).
// A target that is down or slow never holds up decoding: lines it cannot
// take now are dropped and counted.
#pragma once

#include "acars/bit_frame.h"
#include "acars/json_feed.h"
#include "receiver/audio_format.h"

#include <QDateTime>
#include <QHostAddress>
#include <QHostInfo>
#include <QObject>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varnesk {

class SettingsStore;

// Bytes a TCP target may have pending in our socket before lines are
// dropped: about 200 typical lines, a few seconds of the busiest traffic.
inline constexpr qint64 kFeedMaxPendingBytes = 64 * 1024;
// Lines kept while the target's name is resolved or the connection is made.
inline constexpr size_t kFeedMaxQueuedBytes = 16 * 1024;
// A TCP connection not made within this is given up and tried again later.
inline constexpr std::chrono::milliseconds kFeedConnectTimeout{10000};

struct FeedCounts {
    uint64_t sent = 0;       // lines handed to the socket
    uint64_t notReady = 0;   // dropped: no connection, or its name not resolved
    uint64_t backlog = 0;    // dropped: the target's pending bytes (or queue) full
    uint64_t sendFailed = 0; // dropped: the socket refused the datagram
    uint64_t tooShort = 0;   // frames with too few characters to carry a block
    uint64_t dropped() const { return notReady + backlog + sendFailed + tooShort; }
};

enum class FeedProtocol { Udp, Tcp };

class FeedSender : public QObject {
    Q_OBJECT
public:
    enum class State { Off, Resolving, Connecting, Ready, Waiting };

    explicit FeedSender(const SettingsStore& settings, QObject* parent = nullptr);
    ~FeedSender() override;

    // Reads [Feed] again: stops, then starts towards the target when Enabled.
    // Nothing is sent before the first call.
    void applySettings();
    void stop();

    // The frequency of a channel (0 left, 1 right, 2 … 15 channels 3 … 16) in MHz; nullopt: unknown,
    // the default, and "freq" is left out.
    void setChannelFrequencyMhz(int channel, std::optional<double> freqMhz);
    std::optional<double> channelFrequencyMhz(int channel) const;

    // The wait after the first failed try, and its ceiling (doubling between).
    void setReconnectDelays(std::chrono::milliseconds first, std::chrono::milliseconds ceiling);

    // A checked frame and its capture block's time (ReceivePipeline::frameCaptured).
    void feedFrame(const CapturedFrame& frame, const QDateTime& blockTime);
    // One finished line (with its newline) towards the target.
    void sendLine(std::string_view line);

    State state() const { return m_state; }
    FeedProtocol protocol() const { return m_protocol; }
    const FeedCounts& counts() const { return m_counts; }
    // Bytes our TCP socket still holds for the target.
    qint64 pendingBytes() const { return m_tcp.bytesToWrite(); }

Q_SIGNALS:
    void stateChanged(FeedSender::State state);

private:
    void setState(State state);
    void startAttempt();
    void targetFailed();
    void hostFound(const QHostInfo& info);
    void tcpStateChanged(QAbstractSocket::SocketState socketState);
    void becomeReady();
    void writeNow(std::string_view line);

    const SettingsStore& m_settings;
    State m_state = State::Off;
    FeedProtocol m_protocol = FeedProtocol::Udp;
    QString m_host;
    quint16 m_port = 0;
    FeedStation m_station;
    std::array<std::optional<double>, kMaxRadioChannels> m_freqMhz{};

    QUdpSocket m_udp;
    QHostAddress m_udpTarget;
    int m_lookupId = -1;
    QTcpSocket m_tcp;
    QTimer m_retry;
    QTimer m_connectTimeout;
    std::chrono::milliseconds m_firstDelay{1000};
    std::chrono::milliseconds m_maxDelay{60000};
    std::chrono::milliseconds m_delay{1000};
    std::string m_queue; // whole lines waiting for Ready, at most kFeedMaxQueuedBytes
    FeedCounts m_counts;
};

} // namespace varnesk
