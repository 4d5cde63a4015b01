// The feed sender with a receiving station on 127.0.0.1: generated traffic on
// both channels through the whole receive pipeline, received over UDP and
// over TCP and checked field by field against the blocks sent; a target that
// is down and comes up later; a name to resolve; a peer that never reads.
#include "net/feed_sender.h"
#include "net_test_support.h"
#include "program_version.h"

#include "acars_signal.h"

#include <QElapsedTimer>
#include <QHostInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace varnesk {
namespace {

using namespace std::chrono_literals;
using nettest::encode;
using nettest::settle;
using nettest::waitFor;

constexpr double kFreqLeftMhz = 131.45;
constexpr double kFreqRightMhz = 131.95;
const QDateTime kStart = QDateTime::fromMSecsSinceEpoch(1765359296000, Qt::UTC);

std::vector<gen::Burst> traffic(uint32_t seed, int perChannel)
{
    std::mt19937 rng(seed);
    std::vector<gen::Burst> bursts = gen::randomTraffic(rng, 0, perChannel, 0.3, 128);
    const std::vector<gen::Burst> right = gen::randomTraffic(rng, 1, perChannel, 0.5, 128);
    bursts.insert(bursts.end(), right.begin(), right.end());
    return bursts;
}

// The object a burst must give, written from the block as sent (the time
// aside): what an aggregator reads.
QJsonObject expected(const gen::Burst& burst)
{
    const gen::BlockSpec& b = burst.block;
    auto text = [](std::string_view s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); };
    QJsonObject o;
    o[QStringLiteral("station_id")] = QStringLiteral("TEST-1");
    o[QStringLiteral("channel")] = burst.channel;
    o[QStringLiteral("freq")] = burst.channel == 0 ? kFreqLeftMhz : kFreqRightMhz;
    o[QStringLiteral("error")] = 0;
    o[QStringLiteral("mode")] = QString(QLatin1Char(b.mode));
    // The general response's DEL is spelled "d".
    std::string label = b.label;
    std::replace(label.begin(), label.end(), '\x7f', 'd');
    o[QStringLiteral("label")] = text(label);
    o[QStringLiteral("block_id")] = QString(QLatin1Char(b.blockId));
    o[QStringLiteral("ack")] = b.ack == 0x15 ? QJsonValue(false) : QJsonValue(QString(QLatin1Char(b.ack)));
    o[QStringLiteral("tail")] = text(std::string_view(b.address).substr(b.address.find_first_not_of('.')));
    std::string_view rest = b.text;
    if (b.blockId >= '0' && b.blockId <= '9') {
        o[QStringLiteral("msgno")] = text(rest.substr(0, 4));
        o[QStringLiteral("flight")] = text(rest.substr(4, 6));
        rest.remove_prefix(std::min<size_t>(rest.size(), 10));
    }
    if (!rest.empty())
        o[QStringLiteral("text")] = text(rest);
    if (!b.etx)
        o[QStringLiteral("end")] = true;
    o[QStringLiteral("app")] =
        QJsonObject{{QStringLiteral("name"), QStringLiteral("varnesk")},
                    {QStringLiteral("ver"), QString::fromLatin1(kProgramVersion.data(), kProgramVersion.size())}};
    return o;
}

// A receiving station: the pipeline on both channels, both demodulators, the
// feed pointed at 127.0.0.1:port.
class FeedStation {
public:
    FeedStation(const char* protocol, quint16 port, const char* host = "127.0.0.1")
    {
        nettest::ensureCoreApp();
        SettingsStore& s = rig.settings();
        s.setInteger(Key::Dual, 2);
        s.setBoolean(Key::FeedEnabled, true);
        s.setText(Key::FeedHost, host);
        s.setInteger(Key::FeedPort, port);
        s.setText(Key::FeedProtocol, protocol);
        s.setText(Key::FeedStationId, "TEST-1");
        rig.pipeline().setProcessingEnabled(true);
        feed().setChannelFrequencyMhz(0, kFreqLeftMhz);
        feed().setChannelFrequencyMhz(1, kFreqRightMhz);
    }
    FeedSender& feed() { return rig.pipeline().feed(); }
    SettingsStore& settings() { return rig.settings(); }
    // The audio of the bursts, block by block, each stamped with its place in it.
    void receive(const std::vector<gen::Burst>& bursts)
    {
        const std::vector<int16_t> audio = gen::renderStereo(bursts, {});
        CaptureBlock block{};
        for (size_t at = 0; at < audio.size(); at += block.size()) {
            const size_t n = std::min(block.size(), audio.size() - at);
            std::fill(std::copy_n(audio.begin() + static_cast<std::ptrdiff_t>(at), n, block.begin()), block.end(),
                      int16_t{0});
            const qint64 ms = static_cast<qint64>(at / 2) * 1000 / kSampleRateHz;
            rig.pipeline().ProcessCaptureBlock(block, kStart.addMSecs(ms));
        }
    }
    uint64_t framesDecoded()
    {
        const BlockDecoder& d = rig.pipeline().decode().decoder;
        return d.counts(FrameSource::Left).frames + d.counts(FrameSource::Right).frames;
    }

    testing::DecodeRig rig{0};
};

// Every line parsed; the time and the level checked and taken out; then the objects,
// sorted, must equal those of the bursts.
void expectLinesOf(const std::vector<std::string>& lines, const std::vector<gen::Burst>& bursts)
{
    std::vector<QByteArray> got;
    for (const std::string& line : lines) {
        ASSERT_TRUE(line.ends_with('\n')) << line;
        QJsonParseError error;
        QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << line;
        const double t = o.take(QStringLiteral("timestamp")).toDouble();
        EXPECT_GE(t, kStart.toMSecsSinceEpoch() / 1000.0) << line;
        EXPECT_LE(t, kStart.toMSecsSinceEpoch() / 1000.0 + 60) << line;
        // Every frame carries the level the receiver measured, below full scale.
        const QJsonValue level = o.take(QStringLiteral("level"));
        EXPECT_TRUE(level.isDouble()) << line;
        EXPECT_LT(level.toDouble(), 0.0) << line;
        got.push_back(QJsonDocument(o).toJson(QJsonDocument::Compact));
    }
    std::vector<QByteArray> want;
    for (const gen::Burst& b : bursts)
        want.push_back(QJsonDocument(expected(b)).toJson(QJsonDocument::Compact));
    std::sort(got.begin(), got.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(got, want);
}

std::vector<std::string> splitLines(const QByteArray& bytes)
{
    std::vector<std::string> lines;
    qsizetype from = 0;
    for (qsizetype end = bytes.indexOf('\n'); end >= 0; from = end + 1, end = bytes.indexOf('\n', from))
        lines.push_back(bytes.mid(from, end - from + 1).toStdString());
    return lines;
}

// Lines from a TCP peer until count have come (or five seconds).
std::vector<std::string> readLines(QTcpSocket& peer, size_t count, QByteArray& buffer)
{
    waitFor([&] {
        buffer += peer.readAll();
        return static_cast<size_t>(buffer.count('\n')) >= count;
    });
    std::vector<std::string> lines = splitLines(buffer);
    buffer.remove(0, buffer.lastIndexOf('\n') + 1);
    return lines;
}

TEST(FeedSender, UdpDatagramPerFrameReceivedHereOnly)
{
    nettest::ensureCoreApp();
    QUdpSocket target;
    ASSERT_TRUE(target.bind(QHostAddress(QHostAddress::LocalHost), 0));
    FeedStation station("udp", target.localPort());
    std::vector<std::string> lines;
    auto collect = [&] {
        while (target.hasPendingDatagrams()) {
            QByteArray d(static_cast<qsizetype>(target.pendingDatagramSize()), '\0');
            target.readDatagram(d.data(), d.size());
            lines.push_back(d.toStdString());
        }
    };

    // Nothing goes before the settings are applied.
    const std::vector<gen::Burst> first = traffic(5, 4);
    station.receive(first);
    settle(100);
    collect();
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(station.feed().counts().sent, 0u);

    station.feed().applySettings();
    EXPECT_EQ(station.feed().state(), FeedSender::State::Ready);
    const std::vector<gen::Burst> bursts = traffic(7, 5);
    station.receive(bursts);
    // A block from the network is not fed: it was not received here.
    station.rig.decode().intake.LineIntake(encode(testing::downlink(".JA8089", "M01A", "JL0012", "NET")));
    EXPECT_TRUE(waitFor([&] {
        collect();
        return lines.size() >= bursts.size();
    }));
    settle(100);
    collect();
    for (const std::string& line : lines)
        EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << "one line per datagram";
    expectLinesOf(lines, bursts);
    EXPECT_EQ(station.feed().counts().sent, bursts.size());
    EXPECT_EQ(station.feed().counts().dropped(), 0u);
    EXPECT_EQ(station.framesDecoded(), first.size() + bursts.size());
    EXPECT_EQ(station.rig.pipeline().decode().decoder.counts(FrameSource::Network).frames, 1u);

    // Switched off: nothing more is sent or counted.
    station.settings().setBoolean(Key::FeedEnabled, false);
    station.feed().applySettings();
    EXPECT_EQ(station.feed().state(), FeedSender::State::Off);
    lines.clear();
    station.receive(first);
    settle(100);
    collect();
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(station.feed().counts().sent, bursts.size());
    EXPECT_EQ(station.feed().counts().dropped(), 0u);
}

// What the capture side knows of a frame reaches its line: channel and its
// frequency, repaired bits, level; a frame too short for a block is counted.
TEST(FeedSender, FrameDetailsReachTheLine)
{
    nettest::ensureCoreApp();
    QUdpSocket target;
    ASSERT_TRUE(target.bind(QHostAddress(QHostAddress::LocalHost), 0));
    FeedStation station("UDP", target.localPort());
    station.feed().applySettings();
    const std::string chars = testing::downlink(".JA8089", "M01A", "JL0012", "TEXT", testing::kEtb);
    const std::vector<int32_t> slots = testing::makeFrame(chars);
    CapturedFrame frame;
    frame.slots = slots;
    frame.bitCount = static_cast<int>(chars.size()) * 8 + 16;
    frame.channel = 1;
    frame.from = Demodulator::Coherent;
    frame.repairedBits = 2;
    frame.levelDb = -20.5;
    station.feed().feedFrame(frame, kStart);
    frame.bitCount = (kFeedMinChars - 1) * 8 + 16;
    station.feed().feedFrame(frame, kStart);
    ASSERT_TRUE(waitFor([&] { return target.hasPendingDatagrams(); }));
    QByteArray d(static_cast<qsizetype>(target.pendingDatagramSize()), '\0');
    target.readDatagram(d.data(), d.size());
    const QJsonObject o = QJsonDocument::fromJson(d).object();
    EXPECT_EQ(o.value(QStringLiteral("channel")).toInt(), 1);
    EXPECT_EQ(o.value(QStringLiteral("freq")).toDouble(), kFreqRightMhz);
    EXPECT_EQ(o.value(QStringLiteral("error")).toInt(), 2);
    EXPECT_EQ(o.value(QStringLiteral("level")).toDouble(), -20.5);
    EXPECT_EQ(o.value(QStringLiteral("timestamp")).toDouble(), kStart.toMSecsSinceEpoch() / 1000.0);
    EXPECT_TRUE(o.value(QStringLiteral("end")).toBool()) << "ETB: more blocks follow";
    EXPECT_EQ(station.feed().counts().sent, 1u);
    EXPECT_EQ(station.feed().counts().tooShort, 1u);
    settle(50);
    EXPECT_FALSE(target.hasPendingDatagrams());
}

// Several targets: each gets every line, and one that is down costs the
// others nothing; its drops are its own. Without a station id the host name
// is sent.
TEST(FeedSender, EveryTargetGetsEveryLineWithItsOwnCounts)
{
    nettest::ensureCoreApp();
    QUdpSocket udp;
    ASSERT_TRUE(udp.bind(QHostAddress(QHostAddress::LocalHost), 0));
    QTcpServer tcp;
    ASSERT_TRUE(tcp.listen(QHostAddress(QHostAddress::LocalHost), 0));
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress(QHostAddress::LocalHost), 0));
    const quint16 downPort = closed.serverPort();
    closed.close();

    FeedStation station("UDP", 1);
    station.settings().setText(Key::FeedStationId, "");
    station.settings().setText(Key::FeedTargets, QStringLiteral("udp:127.0.0.1:%1, tcp:127.0.0.1:%2,tcp:127.0.0.1:%3")
                                                     .arg(udp.localPort())
                                                     .arg(tcp.serverPort())
                                                     .arg(downPort)
                                                     .toStdString());
    station.feed().setReconnectDelays(60s, 60s);
    station.feed().applySettings();
    const auto& targets = station.feed().targets();
    ASSERT_EQ(targets.size(), 3u);
    ASSERT_TRUE(waitFor([&] {
        return targets[1]->state() == FeedSender::State::Ready && tcp.hasPendingConnections()
               && targets[2]->state() == FeedSender::State::Waiting;
    }));
    std::unique_ptr<QTcpSocket> peer(tcp.nextPendingConnection());

    const std::vector<gen::Burst> bursts = traffic(13, 4);
    station.receive(bursts);
    QByteArray buffer;
    const std::vector<std::string> tcpLines = readLines(*peer, bursts.size(), buffer);
    std::vector<std::string> udpLines;
    EXPECT_TRUE(waitFor([&] {
        while (udp.hasPendingDatagrams()) {
            QByteArray d(static_cast<qsizetype>(udp.pendingDatagramSize()), '\0');
            udp.readDatagram(d.data(), d.size());
            udpLines.push_back(d.toStdString());
        }
        return udpLines.size() >= bursts.size();
    }));
    EXPECT_EQ(udpLines, tcpLines);
    ASSERT_FALSE(udpLines.empty());
    const QJsonObject first = QJsonDocument::fromJson(QByteArray::fromStdString(udpLines.front())).object();
    EXPECT_EQ(first.value(QStringLiteral("station_id")).toString(), QHostInfo::localHostName());
    for (size_t t = 0; t < 2; ++t) {
        EXPECT_EQ(targets[t]->counts().sent, bursts.size()) << t;
        EXPECT_EQ(targets[t]->counts().dropped(), 0u) << t;
    }
    EXPECT_EQ(targets[2]->counts().sent, 0u);
    EXPECT_EQ(targets[2]->counts().notReady, bursts.size());
    EXPECT_EQ(station.feed().counts().sent, 2 * bursts.size());
}

// The targets as written in [Feed] Targets, or the older Host, Port and
// Protocol as one; what cannot be a target is refused as written.
TEST(FeedSender, TargetsOfTheSettings)
{
    struct Case {
        const char* targets;
        std::vector<std::string> want; // as feedTargetText writes them
        std::vector<std::string> rejected;
    };
    const std::vector<Case> cases = {
        {"udp:127.0.0.1:5550", {"udp:127.0.0.1:5550"}, {}},
        {" TCP:feed.example.org:15550 ,udp:[::1]:5550,", {"tcp:feed.example.org:15550", "udp:[::1]:5550"}, {}},
        {"udp:host:0, tcp::5550, http:h:1, udp:h:65536, udp:h:x, h:5550, tcp:h:5551",
         {"tcp:h:5551"},
         {"udp:host:0", "tcp::5550", "http:h:1", "udp:h:65536", "udp:h:x", "h:5550"}},
        {"udp:a:1,udp:a:2,udp:a:3,udp:a:4,udp:a:5,udp:a:6,udp:a:7,udp:a:8,udp:a:9",
         {"udp:a:1", "udp:a:2", "udp:a:3", "udp:a:4", "udp:a:5", "udp:a:6", "udp:a:7", "udp:a:8"},
         {"udp:a:9"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.targets);
        SettingsStore settings;
        settings.setText(Key::FeedTargets, c.targets);
        QStringList rejected;
        std::vector<std::string> got;
        for (const FeedAddress& a : feedTargetsOf(settings, &rejected))
            got.push_back(feedTargetText(a).toStdString());
        EXPECT_EQ(got, c.want);
        std::vector<std::string> refused;
        for (const QString& r : rejected)
            refused.push_back(r.toStdString());
        EXPECT_EQ(refused, c.rejected);
    }
    // Empty Targets: the older keys, read as before.
    SettingsStore settings;
    settings.setText(Key::FeedHost, "192.0.2.7");
    settings.setInteger(Key::FeedPort, 5555);
    settings.setText(Key::FeedProtocol, "tcp");
    const std::vector<FeedAddress> old = feedTargetsOf(settings);
    ASSERT_EQ(old.size(), 1u);
    EXPECT_EQ(feedTargetText(old[0]), QStringLiteral("tcp:192.0.2.7:5555"));
    settings.setInteger(Key::FeedPort, 0);
    EXPECT_TRUE(feedTargetsOf(settings).empty());
}

TEST(FeedSender, UdpTargetByNameIsResolvedWithoutWaiting)
{
    nettest::ensureCoreApp();
    QUdpSocket target;
    ASSERT_TRUE(target.bind(QHostAddress(QHostAddress::LocalHost), 0));
    FeedStation station("UDP", target.localPort(), "localhost");
    station.feed().applySettings();
    EXPECT_EQ(station.feed().state(), FeedSender::State::Resolving);
    // Lines while the name is looked up wait in the small queue.
    station.feed().sendLine("{\"n\":1}\n");
    station.feed().sendLine("{\"n\":2}\n");
    std::vector<std::string> got;
    EXPECT_TRUE(waitFor([&] {
        while (target.hasPendingDatagrams()) {
            QByteArray d(static_cast<qsizetype>(target.pendingDatagramSize()), '\0');
            target.readDatagram(d.data(), d.size());
            got.push_back(d.toStdString());
        }
        return got.size() >= 2;
    }));
    EXPECT_EQ(got, (std::vector<std::string>{"{\"n\":1}\n", "{\"n\":2}\n"}));
    EXPECT_EQ(station.feed().state(), FeedSender::State::Ready);
}

TEST(FeedSender, TcpLinesOfEveryFrame)
{
    nettest::ensureCoreApp();
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress(QHostAddress::LocalHost), 0));
    FeedStation station("TCP", server.serverPort());
    station.feed().applySettings();
    EXPECT_EQ(station.feed().state(), FeedSender::State::Connecting);
    ASSERT_TRUE(
        waitFor([&] { return station.feed().state() == FeedSender::State::Ready && server.hasPendingConnections(); }));
    std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());

    const std::vector<gen::Burst> bursts = traffic(11, 6);
    station.receive(bursts);
    QByteArray buffer;
    const std::vector<std::string> lines = readLines(*peer, bursts.size(), buffer);
    expectLinesOf(lines, bursts);
    EXPECT_EQ(station.feed().counts().sent, bursts.size());
    EXPECT_EQ(station.feed().counts().dropped(), 0u);
}

// The target is down: decoding goes on, every line is dropped and counted,
// and tries follow each other at growing intervals; the target comes up on
// the same port and the feed reconnects by itself.
TEST(FeedSender, TcpTargetDownThenUp)
{
    nettest::ensureCoreApp();
    const quint16 port = nettest::freePort();
    FeedStation station("TCP", port);
    station.feed().setReconnectDelays(50ms, 400ms);
    std::vector<qint64> tries;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&station.feed(), &FeedSender::stateChanged, [&](FeedSender::State s) {
        if (s == FeedSender::State::Connecting)
            tries.push_back(clock.elapsed());
    });
    station.feed().applySettings();

    const std::vector<gen::Burst> down = traffic(13, 4);
    station.receive(down);
    EXPECT_EQ(station.framesDecoded(), down.size());
    ASSERT_TRUE(waitFor([&] { return tries.size() >= 6; }));
    EXPECT_EQ(station.feed().counts().sent, 0u);
    EXPECT_EQ(station.feed().counts().notReady, down.size());
    // Not sooner than 50, 100, 200, 400, 400 ms after the last try (a
    // coarse timer may fire 5 % early).
    const double least[] = {50, 100, 200, 400, 400};
    for (size_t i = 1; i < 6; ++i)
        EXPECT_GE(static_cast<double>(tries[i] - tries[i - 1]), least[i - 1] * 0.94 - 1) << "try " << i;

    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress(QHostAddress::LocalHost), port));
    ASSERT_TRUE(
        waitFor([&] { return station.feed().state() == FeedSender::State::Ready && server.hasPendingConnections(); }));
    std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
    const std::vector<gen::Burst> up = traffic(17, 4);
    station.receive(up);
    QByteArray buffer;
    expectLinesOf(readLines(*peer, up.size(), buffer), up);
    EXPECT_EQ(station.feed().counts().sent, up.size());
    EXPECT_EQ(station.feed().counts().dropped(), down.size());
    EXPECT_EQ(station.framesDecoded(), down.size() + up.size());

    // The target goes away again: the feed notices and tries once more.
    const size_t before = tries.size();
    peer.reset();
    server.close();
    EXPECT_TRUE(waitFor([&] { return tries.size() > before; }));
}

// A target that accepts and never reads: the kernel's buffers fill, then our
// socket's up to its bound, and every line beyond is dropped and counted.
TEST(FeedSender, PeerThatNeverReadsKeepsMemoryBounded)
{
    nettest::ensureCoreApp();
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    const int small = 4096;
    ::setsockopt(listener, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);

    FeedStation station("TCP", ntohs(address.sin_port));
    station.feed().applySettings();
    ASSERT_TRUE(waitFor([&] { return station.feed().state() == FeedSender::State::Ready; }));
    const std::string line = "{\"text\":\"" + std::string(1000, 'x') + "\"}\n";
    uint64_t offered = 0;
    qint64 mostPending = 0;
    while (station.feed().counts().backlog < 1000 && offered < 200000) {
        station.feed().sendLine(line);
        ++offered;
        mostPending = std::max(mostPending, station.feed().targets().front()->pendingBytes());
        if (offered % 32 == 0)
            QCoreApplication::processEvents();
    }
    const FeedCounts& counts = station.feed().counts();
    EXPECT_EQ(counts.backlog, 1000u);
    EXPECT_EQ(counts.sent + counts.backlog, offered);
    EXPECT_LE(mostPending, kFeedMaxPendingBytes);
    EXPECT_GT(mostPending, kFeedMaxPendingBytes - static_cast<qint64>(line.size()) * 2);
    EXPECT_EQ(station.feed().state(), FeedSender::State::Ready);
    ::close(listener);
}

} // namespace
} // namespace varnesk
