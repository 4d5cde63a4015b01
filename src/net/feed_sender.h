// The JSON feed to aggregators: every checked frame received here becomes
// one line (json_feed.h) sent to each of the [Feed] Targets by UDP (one
// datagram per line) or TCP (reconnecting by itself, 1 s doubling to 60 s
// between tries). Each target has its own queue and counts; one that is down
// or slow never holds up decoding nor the others: lines it cannot take now
// are dropped and counted.
#pragma once

#include "acars/bit_frame.h"
#include "acars/json_feed.h"
#include "receiver/audio_format.h"

#include <QDateTime>
#include <QHostAddress>
#include <QHostInfo>
#include <QObject>
#include <QStringList>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// Where one target is: "udp:host:port" or "tcp:host:port" (an IPv6 address
// in brackets).
struct FeedAddress {
    FeedProtocol protocol = FeedProtocol::Udp;
    QString host;
    quint16 port = 0;
    bool operator==(const FeedAddress&) const = default;
};

// At most this many targets; further ones are refused.
inline constexpr int kFeedMaxTargets = 8;

// The targets of a comma-separated list; every item that is not a target
// (or beyond kFeedMaxTargets) is put into rejected, as written.
std::vector<FeedAddress> parseFeedTargets(const QString& text, QStringList* rejected = nullptr);
QString feedTargetText(const FeedAddress& address);
// The targets the settings name: [Feed] Targets, or when it is empty the
// older Host, Port and Protocol as one target.
std::vector<FeedAddress> feedTargetsOf(const SettingsStore& settings, QStringList* rejected = nullptr);
// [Feed] StationId, or this computer's name when it is empty.
std::string feedStationId(const SettingsStore& settings);

// One destination with its own connection, queue and counts.
class FeedTarget : public QObject {
    Q_OBJECT
public:
    enum class State { Off, Resolving, Connecting, Ready, Waiting };

    FeedTarget(FeedAddress address, std::chrono::milliseconds firstDelay, std::chrono::milliseconds maxDelay,
               QObject* parent = nullptr);
    ~FeedTarget() override;

    void start();
    void stop();
    void setReconnectDelays(std::chrono::milliseconds first, std::chrono::milliseconds ceiling);
    // One finished line (with its newline).
    void sendLine(std::string_view line);

    const FeedAddress& address() const { return m_address; }
    State state() const { return m_state; }
    FeedProtocol protocol() const { return m_address.protocol; }
    const FeedCounts& counts() const { return m_counts; }
    // Bytes our TCP socket still holds for the target.
    qint64 pendingBytes() const { return m_tcp.bytesToWrite(); }

Q_SIGNALS:
    void stateChanged(FeedTarget::State state);

private:
    void setState(State state);
    void startAttempt();
    void targetFailed();
    void hostFound(const QHostInfo& info);
    void tcpStateChanged(QAbstractSocket::SocketState socketState);
    void becomeReady();
    void writeNow(std::string_view line);

    FeedAddress m_address;
    State m_state = State::Off;

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

class FeedSender : public QObject {
    Q_OBJECT
public:
    using State = FeedTarget::State;

    explicit FeedSender(const SettingsStore& settings, QObject* parent = nullptr);
    ~FeedSender() override;

    // Reads [Feed] again: stops, then starts towards every target when Enabled.
    // Nothing is sent before the first call.
    void applySettings();
    void stop();

    // The frequency of a channel (0 left, 1 right, 2 … further ones) in MHz;
    // nullopt: unknown, the default, written 0.0.
    void setChannelFrequencyMhz(int channel, std::optional<double> freqMhz);
    std::optional<double> channelFrequencyMhz(int channel) const;

    // The wait after the first failed try, and its ceiling (doubling between).
    void setReconnectDelays(std::chrono::milliseconds first, std::chrono::milliseconds ceiling);

    // A checked frame and its capture block's time (ReceivePipeline::frameCaptured).
    void feedFrame(const CapturedFrame& frame, const QDateTime& blockTime);
    // One finished line (with its newline) towards every target.
    void sendLine(std::string_view line);

    const std::vector<std::unique_ptr<FeedTarget>>& targets() const { return m_targets; }
    // The first target's state (Off without one).
    State state() const { return m_targets.empty() ? State::Off : m_targets.front()->state(); }
    // The sums over the targets, and the frames too short to feed.
    FeedCounts counts() const;
    const FeedStation& station() const { return m_station; }

Q_SIGNALS:
    // Any target's state changed.
    void stateChanged(FeedSender::State state);

private:
    const SettingsStore& m_settings;
    FeedStation m_station;
    std::vector<std::optional<double>> m_freqMhz;
    std::vector<std::unique_ptr<FeedTarget>> m_targets;
    std::chrono::milliseconds m_firstDelay{1000};
    std::chrono::milliseconds m_maxDelay{60000};
    uint64_t m_tooShort = 0;
};

} // namespace varnesk
