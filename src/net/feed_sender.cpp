// The feed's connection states: Resolving (UDP target by name) or Connecting
// (TCP) keep a small queue; Ready sends; Waiting drops until the next try.
#include "net/feed_sender.h"

#include "program_version.h"
#include "settings/settings_store.h"

#include <QLoggingCategory>

#include <algorithm>

namespace varnesk {

namespace {

Q_LOGGING_CATEGORY(lcFeed, "varnesk.feed")

uint64_t countLines(std::string_view queue)
{
    return static_cast<uint64_t>(std::count(queue.begin(), queue.end(), '\n'));
}

} // namespace

FeedSender::FeedSender(const SettingsStore& settings, QObject* parent) : QObject(parent), m_settings(settings)
{
    m_station.version = kProgramVersion;
    m_retry.setSingleShot(true);
    m_connectTimeout.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &FeedSender::startAttempt);
    connect(&m_connectTimeout, &QTimer::timeout, this, [this] {
        qCInfo(lcFeed) << "no connection to" << m_host << m_port << "within the time-out";
        m_tcp.abort();
    });
    connect(&m_tcp, &QAbstractSocket::stateChanged, this, &FeedSender::tcpStateChanged);
    // Nothing is expected from the target: whatever it sends is thrown away
    // so that it cannot pile up.
    connect(&m_tcp, &QIODevice::readyRead, this, [this] { m_tcp.skip(m_tcp.bytesAvailable()); });
}

FeedSender::~FeedSender()
{
    stop();
}

void FeedSender::applySettings()
{
    stop();
    m_station.stationId = m_settings.text(Key::FeedStationId);
    if (!m_settings.boolean(Key::FeedEnabled))
        return;
    const std::string& host = m_settings.text(Key::FeedHost);
    m_host = QString::fromLatin1(host.data(), static_cast<qsizetype>(host.size())).trimmed();
    const int port = m_settings.integer(Key::FeedPort);
    const QString protocol = QString::fromLatin1(m_settings.text(Key::FeedProtocol).c_str()).trimmed();
    m_protocol = protocol.compare(QLatin1String("TCP"), Qt::CaseInsensitive) == 0 ? FeedProtocol::Tcp
                                                                                    : FeedProtocol::Udp;
    if (m_host.isEmpty() || port < 1 || port > 65535) {
        qCWarning(lcFeed) << "feed target" << m_host << port << "is not usable; the feed stays off";
        return;
    }
    m_port = static_cast<quint16>(port);
    m_delay = m_firstDelay;
    startAttempt();
}

void FeedSender::stop()
{
    // Off first, so that the socket's closing is not taken for a failure.
    setState(State::Off);
    m_retry.stop();
    m_connectTimeout.stop();
    if (m_lookupId >= 0)
        QHostInfo::abortHostLookup(m_lookupId);
    m_lookupId = -1;
    m_tcp.abort();
    m_udp.abort();
    m_counts.notReady += countLines(m_queue);
    m_queue.clear();
}

void FeedSender::setChannelFrequencyMhz(int channel, std::optional<double> freqMhz)
{
    if (channel >= 0 && static_cast<size_t>(channel) < m_freqMhz.size())
        m_freqMhz[static_cast<size_t>(channel)] = freqMhz;
}

std::optional<double> FeedSender::channelFrequencyMhz(int channel) const
{
    if (channel >= 0 && static_cast<size_t>(channel) < m_freqMhz.size())
        return m_freqMhz[static_cast<size_t>(channel)];
    return std::nullopt;
}

void FeedSender::setReconnectDelays(std::chrono::milliseconds first, std::chrono::milliseconds ceiling)
{
    m_firstDelay = std::max(first, std::chrono::milliseconds(1));
    m_maxDelay = std::max(ceiling, m_firstDelay);
    m_delay = m_firstDelay;
}

void FeedSender::feedFrame(const CapturedFrame& frame, const QDateTime& blockTime)
{
    if (m_state == State::Off)
        return;
    const std::optional<std::string> line =
        capturedFrameFeedLine(frame, channelFrequencyMhz(frame.channel), blockTime, m_station);
    if (!line) {
        ++m_counts.tooShort;
        return;
    }
    sendLine(*line);
}

void FeedSender::sendLine(std::string_view line)
{
    switch (m_state) {
    case State::Off:
        return;
    case State::Ready:
        writeNow(line);
        return;
    case State::Resolving:
    case State::Connecting:
        if (m_queue.size() + line.size() > kFeedMaxQueuedBytes) {
            ++m_counts.backlog;
            return;
        }
        m_queue.append(line);
        return;
    case State::Waiting:
        ++m_counts.notReady;
        return;
    }
}

void FeedSender::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    Q_EMIT stateChanged(state);
}

void FeedSender::startAttempt()
{
    if (m_protocol == FeedProtocol::Udp) {
        QHostAddress address;
        if (address.setAddress(m_host)) {
            m_udpTarget = address;
            becomeReady();
            return;
        }
        setState(State::Resolving);
        m_lookupId = QHostInfo::lookupHost(m_host, this, &FeedSender::hostFound);
        return;
    }
    setState(State::Connecting);
    m_connectTimeout.start(kFeedConnectTimeout);
    // The socket looks the name up without waiting, like the connection itself.
    m_tcp.connectToHost(m_host, m_port);
}

void FeedSender::hostFound(const QHostInfo& info)
{
    if (info.lookupId() != m_lookupId || m_state != State::Resolving)
        return;
    m_lookupId = -1;
    const QList<QHostAddress> addresses = info.addresses();
    if (addresses.isEmpty()) {
        qCInfo(lcFeed) << "cannot resolve" << m_host << info.errorString();
        targetFailed();
        return;
    }
    // IPv4 first: the aggregators listen there by default.
    const auto v4 = std::find_if(addresses.begin(), addresses.end(), [](const QHostAddress& a) {
        return a.protocol() == QAbstractSocket::IPv4Protocol;
    });
    m_udpTarget = v4 != addresses.end() ? *v4 : addresses.front();
    becomeReady();
}

void FeedSender::tcpStateChanged(QAbstractSocket::SocketState socketState)
{
    if (socketState == QAbstractSocket::ConnectedState && m_state == State::Connecting) {
        m_connectTimeout.stop();
        becomeReady();
    } else if (socketState == QAbstractSocket::UnconnectedState
               && (m_state == State::Connecting || m_state == State::Ready)) {
        qCInfo(lcFeed) << "feed connection to" << m_host << m_port << "lost:" << m_tcp.errorString();
        targetFailed();
    }
}

void FeedSender::becomeReady()
{
    m_delay = m_firstDelay;
    setState(State::Ready);
    std::string queued;
    queued.swap(m_queue);
    std::string_view rest = queued;
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        const size_t length = end == std::string_view::npos ? rest.size() : end + 1;
        writeNow(rest.substr(0, length));
        rest.remove_prefix(length);
    }
}

void FeedSender::targetFailed()
{
    m_connectTimeout.stop();
    m_counts.notReady += countLines(m_queue);
    m_queue.clear();
    setState(State::Waiting);
    m_retry.start(m_delay);
    m_delay = std::min(m_delay * 2, m_maxDelay);
}

void FeedSender::writeNow(std::string_view line)
{
    const auto size = static_cast<qint64>(line.size());
    if (m_protocol == FeedProtocol::Udp) {
        if (m_udp.writeDatagram(line.data(), size, m_udpTarget, m_port) == size)
            ++m_counts.sent;
        else
            ++m_counts.sendFailed;
        return;
    }
    // A target that stops reading fills our socket up to this bound, no further.
    if (m_tcp.bytesToWrite() + size > kFeedMaxPendingBytes) {
        ++m_counts.backlog;
        return;
    }
    if (m_tcp.write(line.data(), size) == size)
        ++m_counts.sent;
    else
        ++m_counts.sendFailed;
}

} // namespace varnesk
