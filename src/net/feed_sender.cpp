// The targets' connection states: Resolving (UDP target by name) or
// Connecting (TCP) keep a small queue; Ready sends; Waiting drops until the
// next try. The sender writes each frame's line once and hands it to all.
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

std::optional<FeedAddress> parseTarget(const QString& item)
{
    const qsizetype colon = item.indexOf(QLatin1Char(':'));
    const qsizetype portColon = item.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0 || portColon <= colon + 1)
        return std::nullopt;
    FeedAddress address;
    const QString scheme = item.left(colon).trimmed();
    if (scheme.compare(QLatin1String("udp"), Qt::CaseInsensitive) == 0)
        address.protocol = FeedProtocol::Udp;
    else if (scheme.compare(QLatin1String("tcp"), Qt::CaseInsensitive) == 0)
        address.protocol = FeedProtocol::Tcp;
    else
        return std::nullopt;
    QString host = item.mid(colon + 1, portColon - colon - 1).trimmed();
    if (host.size() > 2 && host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    const int port = item.mid(portColon + 1).trimmed().toInt(&ok);
    if (host.isEmpty() || host.contains(QLatin1Char(' ')) || !ok || port < 1 || port > 65535)
        return std::nullopt;
    address.host = host;
    address.port = static_cast<quint16>(port);
    return address;
}

} // namespace

std::vector<FeedAddress> parseFeedTargets(const QString& text, QStringList* rejected)
{
    std::vector<FeedAddress> targets;
    const QStringList items = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString& raw : items) {
        const QString item = raw.trimmed();
        if (item.isEmpty())
            continue;
        const std::optional<FeedAddress> address = parseTarget(item);
        if (address && static_cast<int>(targets.size()) < kFeedMaxTargets)
            targets.push_back(*address);
        else if (rejected)
            rejected->append(item);
    }
    return targets;
}

QString feedTargetText(const FeedAddress& address)
{
    const QString host =
        address.host.contains(QLatin1Char(':')) ? QLatin1Char('[') + address.host + QLatin1Char(']') : address.host;
    return QStringLiteral("%1:%2:%3")
        .arg(address.protocol == FeedProtocol::Tcp ? QLatin1String("tcp") : QLatin1String("udp"), host)
        .arg(address.port);
}

std::vector<FeedAddress> feedTargetsOf(const SettingsStore& settings, QStringList* rejected)
{
    const std::string& targets = settings.text(Key::FeedTargets);
    if (!QString::fromLatin1(targets.data(), static_cast<qsizetype>(targets.size())).trimmed().isEmpty())
        return parseFeedTargets(QString::fromLatin1(targets.data(), static_cast<qsizetype>(targets.size())), rejected);
    const std::string& host = settings.text(Key::FeedHost);
    const QString protocol = QString::fromLatin1(settings.text(Key::FeedProtocol).c_str()).trimmed();
    FeedAddress address;
    address.protocol =
        protocol.compare(QLatin1String("TCP"), Qt::CaseInsensitive) == 0 ? FeedProtocol::Tcp : FeedProtocol::Udp;
    address.host = QString::fromLatin1(host.data(), static_cast<qsizetype>(host.size())).trimmed();
    const int port = settings.integer(Key::FeedPort);
    if (address.host.isEmpty() || port < 1 || port > 65535) {
        if (rejected)
            rejected->append(address.host + QLatin1Char(':') + QString::number(port));
        return {};
    }
    address.port = static_cast<quint16>(port);
    return {address};
}

std::string feedStationId(const SettingsStore& settings)
{
    const std::string& configured = settings.text(Key::FeedStationId);
    if (!configured.empty())
        return configured;
    return QHostInfo::localHostName().toLatin1().toStdString();
}

FeedTarget::FeedTarget(FeedAddress address, std::chrono::milliseconds firstDelay, std::chrono::milliseconds maxDelay,
                       QObject* parent)
    : QObject(parent), m_address(std::move(address)), m_firstDelay(firstDelay), m_maxDelay(maxDelay),
      m_delay(firstDelay)
{
    m_retry.setSingleShot(true);
    m_connectTimeout.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &FeedTarget::startAttempt);
    connect(&m_connectTimeout, &QTimer::timeout, this, [this] {
        qCInfo(lcFeed) << "no connection to" << m_address.host << m_address.port << "within the time-out";
        m_tcp.abort();
    });
    connect(&m_tcp, &QAbstractSocket::stateChanged, this, &FeedTarget::tcpStateChanged);
    // Nothing is expected from the target: whatever it sends is thrown away
    // so that it cannot pile up.
    connect(&m_tcp, &QIODevice::readyRead, this, [this] { m_tcp.skip(m_tcp.bytesAvailable()); });
}

FeedTarget::~FeedTarget()
{
    stop();
}

void FeedTarget::setReconnectDelays(std::chrono::milliseconds first, std::chrono::milliseconds ceiling)
{
    m_firstDelay = first;
    m_maxDelay = ceiling;
}

void FeedTarget::start()
{
    stop();
    m_delay = m_firstDelay;
    startAttempt();
}

void FeedTarget::stop()
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

FeedSender::FeedSender(const SettingsStore& settings, QObject* parent) : QObject(parent), m_settings(settings)
{
    m_station.version = kProgramVersion;
}

FeedSender::~FeedSender()
{
    stop();
}

void FeedSender::applySettings()
{
    stop();
    m_station.stationId = feedStationId(m_settings);
    // Switched off, the targets stay with their counts, stopped.
    if (!m_settings.boolean(Key::FeedEnabled))
        return;
    QStringList rejected;
    const std::vector<FeedAddress> addresses = feedTargetsOf(m_settings, &rejected);
    for (const QString& item : rejected)
        qCWarning(lcFeed) << "feed target" << item << "is not usable and is left out";
    // A target named again keeps its counts.
    std::vector<std::unique_ptr<FeedTarget>> targets;
    for (const FeedAddress& address : addresses) {
        const auto kept = std::find_if(m_targets.begin(), m_targets.end(),
                                       [&](const auto& t) { return t && t->address() == address; });
        if (kept != m_targets.end()) {
            targets.push_back(std::move(*kept));
            continue;
        }
        auto target = std::make_unique<FeedTarget>(address, m_firstDelay, m_maxDelay);
        connect(target.get(), &FeedTarget::stateChanged, this, &FeedSender::stateChanged);
        targets.push_back(std::move(target));
    }
    m_targets = std::move(targets);
    for (const auto& target : m_targets) {
        target->setReconnectDelays(m_firstDelay, m_maxDelay);
        target->start();
    }
}

void FeedSender::stop()
{
    for (const auto& target : m_targets)
        target->stop();
}

FeedCounts FeedSender::counts() const
{
    FeedCounts sum;
    for (const auto& target : m_targets) {
        const FeedCounts& c = target->counts();
        sum.sent += c.sent;
        sum.notReady += c.notReady;
        sum.backlog += c.backlog;
        sum.sendFailed += c.sendFailed;
    }
    sum.tooShort = m_tooShort;
    return sum;
}

void FeedSender::setChannelFrequencyMhz(int channel, std::optional<double> freqMhz)
{
    // Beyond any channel count a receiver has.
    constexpr int kMaxChannels = 64;
    if (channel < 0 || channel >= kMaxChannels)
        return;
    if (static_cast<size_t>(channel) >= m_freqMhz.size())
        m_freqMhz.resize(static_cast<size_t>(channel) + 1);
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
}

void FeedSender::feedFrame(const CapturedFrame& frame, const QDateTime& blockTime)
{
    const bool anyOn =
        std::any_of(m_targets.begin(), m_targets.end(), [](const auto& t) { return t->state() != State::Off; });
    if (!anyOn)
        return;
    const std::optional<std::string> line =
        capturedFrameFeedLine(frame, channelFrequencyMhz(frame.channel), blockTime, m_station);
    if (!line) {
        ++m_tooShort;
        return;
    }
    sendLine(*line);
}

void FeedSender::sendLine(std::string_view line)
{
    for (const auto& target : m_targets)
        target->sendLine(line);
}

void FeedTarget::sendLine(std::string_view line)
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

void FeedTarget::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    Q_EMIT stateChanged(state);
}

void FeedTarget::startAttempt()
{
    if (m_address.protocol == FeedProtocol::Udp) {
        QHostAddress address;
        if (address.setAddress(m_address.host)) {
            m_udpTarget = address;
            becomeReady();
            return;
        }
        setState(State::Resolving);
        m_lookupId = QHostInfo::lookupHost(m_address.host, this, &FeedTarget::hostFound);
        return;
    }
    setState(State::Connecting);
    m_connectTimeout.start(kFeedConnectTimeout);
    // The socket looks the name up without waiting, like the connection itself.
    m_tcp.connectToHost(m_address.host, m_address.port);
}

void FeedTarget::hostFound(const QHostInfo& info)
{
    if (info.lookupId() != m_lookupId || m_state != State::Resolving)
        return;
    m_lookupId = -1;
    const QList<QHostAddress> addresses = info.addresses();
    if (addresses.isEmpty()) {
        qCInfo(lcFeed) << "cannot resolve" << m_address.host << info.errorString();
        targetFailed();
        return;
    }
    // IPv4 first: the aggregators listen there by default.
    const auto v4 = std::find_if(addresses.begin(), addresses.end(),
                                 [](const QHostAddress& a) { return a.protocol() == QAbstractSocket::IPv4Protocol; });
    m_udpTarget = v4 != addresses.end() ? *v4 : addresses.front();
    becomeReady();
}

void FeedTarget::tcpStateChanged(QAbstractSocket::SocketState socketState)
{
    if (socketState == QAbstractSocket::ConnectedState && m_state == State::Connecting) {
        m_connectTimeout.stop();
        becomeReady();
    } else if (socketState == QAbstractSocket::UnconnectedState
               && (m_state == State::Connecting || m_state == State::Ready)) {
        qCInfo(lcFeed) << "feed connection to" << m_address.host << m_address.port << "lost:" << m_tcp.errorString();
        targetFailed();
    }
}

void FeedTarget::becomeReady()
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

void FeedTarget::targetFailed()
{
    m_connectTimeout.stop();
    m_counts.notReady += countLines(m_queue);
    m_queue.clear();
    setState(State::Waiting);
    m_retry.start(m_delay);
    m_delay = std::min(m_delay * 2, m_maxDelay);
}

void FeedTarget::writeNow(std::string_view line)
{
    const auto size = static_cast<qint64>(line.size());
    if (m_address.protocol == FeedProtocol::Udp) {
        if (m_udp.writeDatagram(line.data(), size, m_udpTarget, m_address.port) == size)
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
