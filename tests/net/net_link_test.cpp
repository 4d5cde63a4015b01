// The TCP server and client on 127.0.0.1: lines split anywhere arrive whole,
// senders never cut each other's lines, the client table's limit, the relay
// to every client, a client's own frames only through the server, the
// reconnect countdown, chat, and the bounds that a peer cannot push past.
#include "net/chat_lines.h"
#include "net/line_assembler.h"

#include "net_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace nettest;

namespace {

class NetLinkTest : public ::testing::Test {
protected:
    void SetUp() override { ensureCoreApp(); }
};

CapturedFrame radioFrame(const std::vector<int32_t>& slots, const std::string& chars, const std::string& line)
{
    CapturedFrame f;
    f.slots = slots;
    f.bitCount = static_cast<int>(chars.size()) * 8 + 16;
    f.endIsEtx = chars.back() == kEtx;
    f.rawLine = line;
    f.channel = 0;
    return f;
}

} // namespace

TEST(LineAssembler, LinesSplitAnywhereComeOutWholeAndBoundsHold)
{
    const std::string a = encode(downlink(".JA0001", "M01A", "JL0001", "ONE"));
    const std::string b = encode("[CHAT]JA>hi\x03");
    const std::string stream = "xx" + a + "\x20\x30" + b;
    for (std::size_t k = 0; k <= stream.size(); ++k) {
        SCOPED_TRACE(k);
        LineAssembler tail;
        std::vector<std::string> lines;
        tail.push(std::string_view(stream).substr(0, k), lines);
        tail.push(std::string_view(stream).substr(k), lines);
        ASSERT_EQ(lines, (std::vector<std::string>{a, b}));
        EXPECT_FALSE(tail.inLine());
    }

    struct Case {
        const char* name;
        std::string bytes;
        uint64_t overlong, broken;
    };
    const std::string longLine = encode(std::string(kStart) + std::string(600, 'X'));
    std::string zeroInside = a.substr(0, 10);
    zeroInside.push_back('\0');
    zeroInside += a.substr(10);
    const Case cases[] = {
        {"no end within 512 characters", longLine + a, 1, 0},
        {"zero byte inside a line", zeroInside + a, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LineAssembler tail;
        std::vector<std::string> lines;
        for (char byte : c.bytes) {
            tail.push(std::string_view(&byte, 1), lines);
            ASSERT_LE(tail.tailBytes(), static_cast<std::size_t>(kIntakeFrameChars));
        }
        EXPECT_EQ(lines, std::vector<std::string>{a});
        EXPECT_EQ(tail.overlongLines(), c.overlong);
        EXPECT_EQ(tail.brokenLines(), c.broken);
    }

    LineAssembler tail;
    std::vector<std::string> lines;
    tail.push(a.substr(0, 20), lines);
    tail.reset();
    tail.push(a.substr(20), lines);
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(tail.cutLines(), 1u);
}

TEST(ChatLines, MessagesChecksAndTestLines)
{
    // "[CHAT]" "JA" ">" "hi" ETX: 12 bytes.
    EXPECT_EQ(BuildChatLine("JA", "hi"), encode("[CHAT]JA>hi\x03"));
    EXPECT_EQ(BuildChatLine("JA", "hi").size(), 12u);
    EXPECT_EQ(BuildTestLine(7), encode("TEST ABSDEFGHIJKLMNOPQRSTUVWXYZ>7\x03"));

    struct Case {
        std::string name, text;
        ChatCheck want;
    };
    const Case cases[] = {
        {"", "hi", ChatCheck::EmptyName},
        {"JA", "", ChatCheck::EmptyText},
        {"J\x03", "hi", ChatCheck::BadCharacter},
        {"JA", "h\x17i", ChatCheck::BadCharacter},
        {"JA", std::string(503, 'x'), ChatCheck::TooLong}, // 513 characters
        {"JA", std::string(502, 'x'), ChatCheck::Ok},
        {"\x83\x65\x83\x58", "\x82\xa0", ChatCheck::Ok}, // Shift-JIS
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + "|" + c.text.substr(0, 8));
        EXPECT_EQ(CheckChatMessage(c.name, c.text), c.want);
    }

    struct Port {
        const char* text;
        std::optional<int> want;
    };
    for (const Port& p : {Port{"49505", 49505}, Port{" 49152 ", 49152}, Port{"abc", std::nullopt},
                          Port{"4950x", std::nullopt}, Port{"", std::nullopt}, Port{"-1", -1}}) {
        SCOPED_TRACE(p.text);
        EXPECT_EQ(ParsePortText(p.text), p.want);
    }
}

// One sender splits each line at every position; between its two writes a
// second sender writes a whole line. The server decodes both, and with the
// duplicate filter off a client receives both whole.
TEST_F(NetLinkTest, SplitLinesArriveWholeAndSendersNeverCutEachOther)
{
    const quint16 port = freePort();
    Station server(true, port);
    server.settings().setBoolean(Key::DupCheckSend, false);
    ASSERT_TRUE(server.listen());
    Station client(false, port);
    ASSERT_TRUE(client.connectAndWait());
    auto split = rawPeer(port);
    auto other = rawPeer(port);
    ASSERT_TRUE(waitFor([&] { return server.link->connectionCount() == 3; }));

    const std::size_t length = encode(numberedLine(0)).size();
    int sent = 0;
    for (std::size_t k = 1; k < length; ++k) {
        SCOPED_TRACE(k);
        const std::string a = encode(numberedLine(static_cast<int>(k), "S"));
        const std::string b = encode(numberedLine(static_cast<int>(k), "O"));
        const uint64_t received = server.link->counters().received;
        split->write(a.data(), static_cast<qint64>(k));
        split->flush();
        ASSERT_TRUE(waitFor([&] { return server.link->counters().received > received; }));
        other->write(b.data(), static_cast<qint64>(b.size()));
        other->flush();
        ASSERT_TRUE(waitFor([&] { return server.link->counters().received > received + 1; }));
        split->write(a.data() + k, static_cast<qint64>(a.size() - k));
        split->flush();
        sent += 2;
        ASSERT_TRUE(waitFor([&] { return static_cast<int>(client.entries()) == sent; }));
    }
    EXPECT_EQ(static_cast<int>(server.entries()), sent);
    EXPECT_EQ(server.entriesWith("STEXT"), sent / 2);
    EXPECT_EQ(client.entriesWith("STEXT"), sent / 2);
    EXPECT_EQ(client.entriesWith("OTEXT"), sent / 2);
    // Every relay reached the three connections once per line.
    EXPECT_EQ(server.link->counters().sent, static_cast<uint64_t>(sent));
    EXPECT_EQ(server.link->counters().serverSendErrors + server.link->counters().serverSendBlocked, 0u);
}

TEST_F(NetLinkTest, MaxConnectTwoRefusesTheThird)
{
    const quint16 port = freePort();
    Station server(true, port);
    server.settings().setInteger(Key::MaxConnect, 2);
    std::vector<int> counts;
    QObject::connect(server.link.get(), &NetLink::connectionsChanged, [&](int n) { counts.push_back(n); });
    ASSERT_TRUE(server.listen());
    auto one = rawPeer(port);
    auto two = rawPeer(port);
    ASSERT_TRUE(waitFor([&] { return server.link->connectionCount() == 2; }));
    auto three = rawPeer(port);
    EXPECT_TRUE(waitFor([&] { return three->state() == QAbstractSocket::UnconnectedState; }));
    settle(50);
    EXPECT_EQ(server.link->connectionCount(), 2);
    EXPECT_EQ(counts, (std::vector<int>{1, 2}));
    EXPECT_EQ(server.notices, std::vector<NetLink::Notice>{NetLink::Notice::TooManyConnections});
    EXPECT_EQ(one->state(), QAbstractSocket::ConnectedState);

    // A freed entry takes the next connection.
    one->disconnectFromHost();
    ASSERT_TRUE(waitFor([&] { return server.link->connectionCount() == 1; }));
    auto four = rawPeer(port);
    EXPECT_TRUE(waitFor([&] { return server.link->connectionCount() == 2; }));
    EXPECT_EQ(server.link->server().refused(), 1u);
}

// A client's radio frame goes to the server only; with the filter off or on,
// the server sends it back to every client, the sender too, and each decodes
// it once, tagged NET.
TEST_F(NetLinkTest, ClientFramesReachEveryDecoderOnlyThroughTheServer)
{
    for (const bool dupCheck : {false, true}) {
        SCOPED_TRACE(dupCheck ? "duplicate filter on" : "duplicate filter off");
        const quint16 port = freePort();
        Station server(true, port);
        server.settings().setBoolean(Key::DupCheckSend, dupCheck);
        ASSERT_TRUE(server.listen());
        Station sender(false, port);
        Station other(false, port);
        ASSERT_TRUE(sender.connectAndWait());
        ASSERT_TRUE(other.connectAndWait());

        const std::string chars = numberedLine(1);
        const std::vector<int32_t> slots = makeFrame(chars);
        const std::string line = encode(chars);
        sender.rig.pipeline().onFrameCaptured(radioFrame(slots, chars, line), QDateTime());
        EXPECT_EQ(sender.entries(), 0u) << "decoded before the server sent it back";
        EXPECT_EQ(sender.link->counters().sent, 1u);
        ASSERT_TRUE(waitFor([&] { return sender.entries() == 1 && other.entries() == 1; }));
        EXPECT_EQ(server.entries(), 1u);
        EXPECT_TRUE(sender.rig.entries[0].starts_with("[NET]"));
        EXPECT_TRUE(other.rig.entries[0].starts_with("[NET]"));
        EXPECT_EQ(sender.rig.decode().decoder.counts(FrameSource::Left).frames, 0u);

        // The server's own radio frame reaches both clients.
        const std::string own = numberedLine(2);
        const std::vector<int32_t> ownSlots = makeFrame(own);
        const std::string ownLine = encode(own);
        server.rig.pipeline().onFrameCaptured(radioFrame(ownSlots, own, ownLine), QDateTime());
        EXPECT_TRUE(server.rig.entries[1].starts_with("[Lch]"));
        ASSERT_TRUE(waitFor([&] { return sender.entries() == 2 && other.entries() == 2; }));
        settle(50);
        EXPECT_EQ(sender.entries(), 2u);
    }
}

TEST_F(NetLinkTest, ClientReconnectsAfterTheServerGoesAndComesBack)
{
    const quint16 port = freePort();
    auto server = std::make_unique<Station>(true, port);
    ASSERT_TRUE(server->listen());
    Station client(false, port);
    client.settings().setBoolean(Key::Reconnect, true);
    client.settings().setInteger(Key::Timer, 1);
    ASSERT_TRUE(client.connectAndWait());
    EXPECT_EQ(client.notices, std::vector<NetLink::Notice>{NetLink::Notice::Connected});

    server.reset();
    ASSERT_TRUE(waitFor([&] { return !client.countdowns.empty(); }));
    EXPECT_EQ(client.countdowns[0], NetLink::Reason::LineDropped);
    EXPECT_FALSE(client.net().netActive());
    // The attempt after a second fails; a new countdown starts.
    ASSERT_TRUE(waitFor([&] { return client.countdowns.size() >= 2; }, 4000));
    EXPECT_EQ(client.countdowns[1], NetLink::Reason::ConnectFailed);

    server = std::make_unique<Station>(true, port);
    ASSERT_TRUE(server->listen());
    ASSERT_TRUE(waitFor([&] { return client.net().netActive(); }, 5000));
    EXPECT_EQ(server->link->connectionCount(), 1);
    // A reconnect shows no box.
    EXPECT_EQ(client.notices, std::vector<NetLink::Notice>{NetLink::Notice::Connected});

    // Lines flow again.
    const std::string chars = numberedLine(3);
    const std::vector<int32_t> slots = makeFrame(chars);
    const std::string line = encode(chars);
    client.rig.pipeline().onFrameCaptured(radioFrame(slots, chars, line), QDateTime());
    EXPECT_TRUE(waitFor([&] { return client.entries() == 1; }));

    // Without Reconnect the loss is only reported.
    client.settings().setBoolean(Key::Reconnect, false);
    const std::size_t countdowns = client.countdowns.size();
    server.reset();
    ASSERT_TRUE(waitFor([&] { return client.notices.size() == 2; }));
    EXPECT_EQ(client.notices[1], NetLink::Notice::DisconnectedByServer);
    EXPECT_EQ(client.countdowns.size(), countdowns);
}

TEST_F(NetLinkTest, ChatOfAClientReachesItsOwnLogOnlyThroughTheServer)
{
    for (const bool dupCheck : {true, false}) {
        SCOPED_TRACE(dupCheck ? "duplicate filter on" : "duplicate filter off");
        const quint16 port = freePort();
        Station server(true, port);
        server.settings().setBoolean(Key::DupCheckSend, dupCheck);
        ASSERT_TRUE(server.listen());
        Station client(false, port);
        ASSERT_TRUE(client.connectAndWait());

        EXPECT_EQ(client.link->sendChat("JA", "hi"), ChatCheck::Ok);
        EXPECT_EQ(client.net().chatHistory(), "");
        ASSERT_TRUE(waitFor([&] { return client.net().chatHistory() == "JA>hi\r\n"; }));
        EXPECT_EQ(server.net().chatHistory(), "JA>hi\r\n");
        EXPECT_EQ(client.settings().text(Key::Name), "JA");

        // The server's own message is in its log at once and reaches the client.
        EXPECT_EQ(server.link->sendChat("SV", "ok"), ChatCheck::Ok);
        EXPECT_EQ(server.net().chatHistory(), "JA>hi\r\nSV>ok\r\n");
        ASSERT_TRUE(waitFor([&] { return client.net().chatHistory() == "JA>hi\r\nSV>ok\r\n"; }));
        EXPECT_EQ(client.entries(), 0u); // chat is never a block

        // A refused message sends nothing.
        const uint64_t sent = client.link->counters().sent;
        EXPECT_EQ(client.link->sendChat("JA", "a\x03"), ChatCheck::BadCharacter);
        EXPECT_EQ(client.link->counters().sent, sent);

        // Test lines are counted where they arrive and decode to nothing.
        const uint64_t received = server.link->counters().received;
        client.link->sendTestLine(0);
        ASSERT_TRUE(waitFor([&] { return server.link->counters().received == received + 1; }));
        EXPECT_EQ(server.entries(), 0u);
        // A server's test line has no server to go to.
        server.link->sendTestLine(0);
        EXPECT_EQ(server.link->counters().clientSendErrors, 1u);
    }
}

// A peer that never reads has its output capped and loses lines (counted);
// the other client gets every line; an endless line from a third peer is
// dropped at 512 characters and costs no memory; the server keeps serving.
TEST_F(NetLinkTest, StalledAndAbusivePeersCannotGrowTheServer)
{
    const quint16 port = freePort();
    Station server(true, port);
    ASSERT_TRUE(server.listen());
    Station client(false, port);
    ASSERT_TRUE(client.connectAndWait());
    auto stalled = std::make_unique<QTcpSocket>();
    stalled->setReadBufferSize(1); // reads nothing beyond one byte
    stalled->connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    ASSERT_TRUE(stalled->waitForConnected(3000));
    ASSERT_TRUE(waitFor([&] { return server.link->connectionCount() == 2; }));

    const int lines = 12000; // about 2.5 MB for each client
    std::size_t lineBytes = 0;
    for (int n = 0; n < lines; ++n) {
        const std::string line = encode(numberedLine(n, std::string(150, 'P')));
        lineBytes = line.size();
        server.net().SendToClients(line);
        if (n % 200 == 199) {
            ASSERT_TRUE(waitFor([&] { return static_cast<int>(client.entries()) == n + 1; }));
        }
    }
    ASSERT_TRUE(waitFor([&] { return static_cast<int>(client.entries()) == lines; }));
    const uint64_t blocked = server.link->counters().serverSendBlocked;
    EXPECT_GT(blocked, 0u);
    EXPECT_EQ(server.link->server().blockedFor(0) + server.link->server().blockedFor(1), blocked);
    EXPECT_EQ(server.link->server().blockedFor(0), 0u) << "the reading client lost lines";
    EXPECT_EQ(server.link->counters().sent, static_cast<uint64_t>(lines));
    // The stalled client's output stayed within the cap (lines beyond it
    // were counted above; the kernel may have taken more of the queue since).
    EXPECT_LE(server.link->server().pendingFor(1), kMaxPendingOutputBytes);
    EXPECT_GT(lineBytes, 0u);

    // An endless line, then a good one from the same peer.
    auto endless = rawPeer(port);
    ASSERT_TRUE(waitFor([&] { return server.link->connectionCount() == 3; }));
    std::string junk = encode(kStart);
    junk += std::string(2'000'000, 'Z');
    endless->write(junk.data(), static_cast<qint64>(junk.size()));
    const std::string good = encode(numberedLine(1, "GOOD"));
    endless->write(good.data(), static_cast<qint64>(good.size()));
    ASSERT_TRUE(waitFor([&] { return server.entriesWith("GOODTEXT") == 1; }, 10000));
    EXPECT_EQ(server.link->server().overlongLines(), 1u);
    endless->disconnectFromHost();
    ASSERT_TRUE(waitFor([&] { return server.link->connectionCount() == 2; }));
    EXPECT_EQ(server.link->server().overlongLines(), 1u);
}

// A failed accept (no descriptor left) shows once and the server goes on
// listening: the waiting connection is taken once descriptors are free again.
TEST_F(NetLinkTest, FailedAcceptKeepsListening)
{
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizers' runtime opens files of its own while it checks, and
    // finds no descriptor left either: this test runs in the plain build.
    GTEST_SKIP() << "needs every descriptor, which the sanitizer runtime also uses";
#endif
    const quint16 port = freePort();
    Station server(true, port);
    ASSERT_TRUE(server.listen());
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    // Every descriptor below the limit in use but one: the client's own
    // socket takes it and the accept finds none.
    std::vector<int> fillers;
    int highest = 0;
    for (int fd = 0; fd < 1024; ++fd)
        if (fcntl(fd, F_GETFD) != -1)
            highest = fd;
    for (int fd = 0; fd < highest; ++fd)
        if (fcntl(fd, F_GETFD) == -1)
            fillers.push_back(open("/dev/null", O_RDONLY));
    auto peer = std::make_unique<QTcpSocket>();
    rlimit low = saved;
    low.rlim_cur = static_cast<rlim_t>(highest + 2);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    peer->connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    const bool failed = waitFor([&] { return server.link->server().acceptFailures() > 0; }, 2000);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
    for (int fd : fillers)
        close(fd);
    ASSERT_TRUE(failed) << "the accept did not fail";
    EXPECT_EQ(server.notices, std::vector<NetLink::Notice>{NetLink::Notice::AcceptFailed});
    EXPECT_TRUE(waitFor([&] { return server.link->connectionCount() == 1; }, 4000));
    // Later connections are taken at once, with no further failure.
    for (int n = 2; n <= 4; ++n) {
        auto next = rawPeer(port);
        EXPECT_TRUE(waitFor([&] { return server.link->connectionCount() == n; }, 500));
        next.release()->setParent(server.link.get());
    }
    EXPECT_EQ(server.link->server().acceptFailures(), 1u);
    EXPECT_EQ(server.notices.size(), 1u);
}

// Both ends of a sharing connection probe a silent peer: 60 s idle, then
// every 10 s, given up after 6 probes; read back from the kernel.
TEST_F(NetLinkTest, SharingSocketsProbeASilentPeer)
{
    const quint16 port = freePort();
    Station server(true, port);
    Station client(false, port);
    ASSERT_TRUE(server.listen());
    ASSERT_TRUE(client.connectAndWait());
    ASSERT_TRUE(waitFor([&] { return server.link->connectionCount() == 1; }));
    auto connected = [](QObject& owner) {
        std::vector<QTcpSocket*> out;
        for (QTcpSocket* s : owner.findChildren<QTcpSocket*>())
            if (s->state() == QAbstractSocket::ConnectedState)
                out.push_back(s);
        return out;
    };
    const std::vector<QTcpSocket*> serverSide = connected(server.link->server());
    const std::vector<QTcpSocket*> clientSide = connected(client.link->client());
    ASSERT_EQ(serverSide.size(), 1u);
    ASSERT_EQ(clientSide.size(), 1u);
    for (QTcpSocket* socket : {serverSide[0], clientSide[0]}) {
        const int fd = static_cast<int>(socket->socketDescriptor());
        auto option = [fd](int level, int name) {
            int value = -1;
            socklen_t length = sizeof value;
            return getsockopt(fd, level, name, &value, &length) == 0 ? value : -1;
        };
        EXPECT_NE(option(SOL_SOCKET, SO_KEEPALIVE), 0);
        EXPECT_EQ(option(IPPROTO_TCP, TCP_KEEPIDLE), 60);
        EXPECT_EQ(option(IPPROTO_TCP, TCP_KEEPINTVL), 10);
        EXPECT_EQ(option(IPPROTO_TCP, TCP_KEEPCNT), 6);
    }
}
