// Load and abuse of the sharing server: one server process (the program's
// own server core with its decoder, duplicate filter off) and, in this
// process, ten well-behaved clients sending 50 lines a second each, split at
// random places across writes, while abusive peers run at the same time: one
// sending random bytes, one sending 10 MB lines without an end, one that
// connects and drops mid-line in a loop, one that never reads, and one
// connection beyond MaxConnect every second. Prints what each client sent and
// received, the server's memory and CPU each second, and whether it still
// serves at the end.
#include "acars/line_codec.h"
#include "app/receive_pipeline.h"
#include "net/line_assembler.h"
#include "net/net_link.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace varnesk;

namespace {

constexpr int kGoodClients = 10;
constexpr int kLinesPerSecond = 50;
constexpr int kMaxConnect = kGoodClients + 4; // the random, endless, stalled and dropping peers

std::string encode(std::string_view chars)
{
    std::string out;
    for (char c : chars)
        out.push_back(static_cast<char>(encodeLineChar(static_cast<uint8_t>(c))));
    return out;
}

// Client c's line n: a downlink whose text carries both numbers.
std::string goodLine(int c, int n)
{
    char text[96];
    std::snprintf(text, sizeof text, "C%02dN%06d/POS N3530.1E13945.2,FL350,TEST TRAFFIC FOR THE LOAD BENCH", c, n);
    std::string s = "+*\x16\x16\x01"
                    "2.JA80";
    s += static_cast<char>('0' + c / 10);
    s += static_cast<char>('0' + c % 10);
    s += "\x15H11\x02M01AJL00";
    s += static_cast<char>('0' + c / 10);
    s += static_cast<char>('0' + c % 10);
    s += text;
    s += '\x03';
    return encode(s);
}

// ---------------------------------------------------------------- server side

int runServer(quint16 port)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("logs/EachLogs"));
    SettingsStore settings;
    settings.setBoolean(Key::TcpIp, true);
    settings.setBoolean(Key::Server, true);
    settings.setBoolean(Key::DupCheckSend, false);
    settings.setBoolean(Key::TxtLog, false);
    settings.setInteger(Key::MaxConnect, kMaxConnect);
    settings.setText(Key::ServerPortNo, std::to_string(port));
    ReceivePipeline pipeline(
        settings, AppPaths::make(dir.path(), QStringLiteral("varnesk"), false, QDateTime::currentDateTime()));
    NetLink link(settings, pipeline.network(), pipeline.decode().intake);
    if (!link.StartServer(QHostAddress(QHostAddress::LocalHost))) {
        std::printf("cannot listen\n");
        return 1;
    }
    std::printf("listening\n");
    std::fflush(stdout);
    QTimer report;
    QObject::connect(&report, &QTimer::timeout, [&] {
        const PacketCounters& c = link.counters();
        const ShareServer& s = link.server();
        const auto& d = pipeline.decode().decoder.counts(FrameSource::Network);
        std::printf("stats received=%llu sent=%llu blocked=%llu errors=%llu refused=%llu acceptfail=%llu "
                    "overlong=%llu broken=%llu cut=%llu conns=%d decoded=%llu\n",
                    (unsigned long long)c.received, (unsigned long long)c.sent, (unsigned long long)c.serverSendBlocked,
                    (unsigned long long)c.serverSendErrors, (unsigned long long)s.refused(),
                    (unsigned long long)s.acceptFailures(), (unsigned long long)s.overlongLines(),
                    (unsigned long long)s.brokenLines(), (unsigned long long)s.cutLines(), s.connectionCount(),
                    (unsigned long long)d.downlinks);
        std::fflush(stdout);
    });
    report.start(1000);
    return QCoreApplication::exec();
}

// ---------------------------------------------------------------- client side

struct GoodClient {
    std::unique_ptr<QTcpSocket> socket;
    LineAssembler tail;
    std::string pendingRest; // the rest of the line split on the last tick
    int sent = 0;
    std::vector<std::vector<bool>> got = std::vector<std::vector<bool>>(kGoodClients);
    long received = 0;
    long duplicates = 0;
    long foreign = 0;
};

long readProcLong(const std::string& path, const std::string& key)
{
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(key.size()));
    return -1;
}

// utime + stime of a process, in clock ticks.
long cpuTicks(qint64 pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = all.rfind(')');
    std::istringstream rest(all.substr(close + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14)
            utime = std::stol(field);
        if (i == 15)
            stime = std::stol(field);
    }
    return utime + stime;
}

int runLoad(int seconds)
{
    quint16 port = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    QProcess server;
    server.setProgram(QCoreApplication::applicationFilePath());
    server.setArguments({QStringLiteral("--server"), QString::number(port)});
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start();
    if (!server.waitForReadyRead(10000) || !server.readLine().startsWith("listening")) {
        std::printf("the server did not start\n");
        return 1;
    }
    const qint64 pid = server.processId();
    std::string lastStats;
    QObject::connect(&server, &QProcess::readyReadStandardOutput, [&] {
        while (server.canReadLine())
            lastStats = server.readLine().trimmed().toStdString();
    });

    std::mt19937 rng(7);
    const QHostAddress local(QHostAddress::LocalHost);

    // The well-behaved clients.
    std::vector<GoodClient> good(kGoodClients);
    for (int c = 0; c < kGoodClients; ++c) {
        good[c].socket = std::make_unique<QTcpSocket>();
        good[c].socket->connectToHost(local, port);
        good[c].socket->waitForConnected(3000);
        for (auto& v : good[c].got)
            v.assign(static_cast<size_t>(seconds * kLinesPerSecond + 100), false);
        GoodClient* g = &good[c];
        QObject::connect(g->socket.get(), &QTcpSocket::readyRead, [g] {
            std::vector<std::string> lines;
            const QByteArray bytes = g->socket->readAll();
            g->tail.push(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), lines);
            for (const std::string& line : lines) {
                // "C%02dN%06d" after the flight number, line-coded.
                std::string text;
                for (char b : line)
                    text.push_back(static_cast<char>(decodeLineByte(static_cast<uint8_t>(b))));
                const size_t at = text.find("\x02M01AJL00");
                int sender = -1, n = -1;
                if (at == std::string::npos || std::sscanf(text.c_str() + at + 11, "C%2dN%6d", &sender, &n) != 2
                    || sender < 0 || sender >= kGoodClients || n < 0 || n >= static_cast<int>(g->got[0].size())) {
                    ++g->foreign;
                    continue;
                }
                ++g->received;
                if (g->got[static_cast<size_t>(sender)][static_cast<size_t>(n)])
                    ++g->duplicates;
                g->got[static_cast<size_t>(sender)][static_cast<size_t>(n)] = true;
            }
        });
    }

    // The stalled peer: a small receive window and no reads at all.
    const int stalled = ::socket(AF_INET, SOCK_STREAM, 0);
    const int small = 4096;
    ::setsockopt(stalled, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(stalled, reinterpret_cast<sockaddr*>(&to), sizeof to);

    // Random bytes, 64 KiB every 100 ms.
    QTcpSocket randomPeer;
    randomPeer.connectToHost(local, port);
    randomPeer.waitForConnected(3000);
    QTimer randomTimer;
    long randomBytes = 0;
    QObject::connect(&randomTimer, &QTimer::timeout, [&] {
        if (randomPeer.bytesToWrite() > 256 * 1024)
            return;
        std::string junk(64 * 1024, '\0');
        for (char& b : junk)
            b = static_cast<char>(rng());
        randomPeer.write(junk.data(), static_cast<qint64>(junk.size()));
        randomBytes += static_cast<long>(junk.size());
    });
    randomTimer.start(100);

    // 10 MB lines with no end, as fast as the server takes them, one every 10 s.
    QTcpSocket endless;
    endless.connectToHost(local, port);
    endless.waitForConnected(3000);
    long endlessLeft = 0;
    long endlessLines = 0;
    const std::string endlessChunk(64 * 1024, static_cast<char>(encodeLineChar('Z')));
    auto feedEndless = [&] {
        while (endlessLeft > 0 && endless.bytesToWrite() < 128 * 1024) {
            endless.write(endlessChunk.data(), static_cast<qint64>(endlessChunk.size()));
            endlessLeft -= static_cast<long>(endlessChunk.size());
        }
    };
    QObject::connect(&endless, &QTcpSocket::bytesWritten, feedEndless);
    QTimer endlessTimer;
    QObject::connect(&endlessTimer, &QTimer::timeout, [&] {
        if (endlessLeft > 0)
            return;
        const std::string start = encode("+*\x16\x16\x01");
        endless.write(start.data(), static_cast<qint64>(start.size()));
        endlessLeft = 10'000'000;
        ++endlessLines;
        feedEndless();
    });
    endlessTimer.start(10000);
    QTimer::singleShot(0, &endlessTimer, [&] { Q_EMIT endlessTimer.timeout({}); });

    // Connects, sends half a line, drops, again.
    std::unique_ptr<QTcpSocket> dropper;
    long drops = 0;
    std::function<void()> dropCycle = [&] {
        if (dropper)
            dropper.release()->deleteLater();
        dropper = std::make_unique<QTcpSocket>();
        QTcpSocket* d = dropper.get();
        QObject::connect(d, &QTcpSocket::connected, [&, d] {
            const std::string line = goodLine(99 % kGoodClients, 999999);
            d->write(line.data(), static_cast<qint64>(line.size() / 2));
            QTimer::singleShot(50, d, [&, d] {
                d->abort();
                ++drops;
                QTimer::singleShot(0, dropCycle);
            });
        });
        QObject::connect(d, &QTcpSocket::errorOccurred, [&, d] {
            if (d->state() == QAbstractSocket::UnconnectedState && d == dropper.get())
                QTimer::singleShot(50, dropCycle);
        });
        d->connectToHost(local, port);
    };
    QTimer::singleShot(0, dropCycle);

    // One connection beyond MaxConnect every second.
    long beyondTried = 0, beyondRefused = 0;
    QTimer beyondTimer;
    QObject::connect(&beyondTimer, &QTimer::timeout, [&] {
        auto* b = new QTcpSocket;
        ++beyondTried;
        QObject::connect(b, &QTcpSocket::disconnected, [&] { ++beyondRefused; });
        b->connectToHost(local, port);
        QTimer::singleShot(700, b, [b] {
            b->disconnect();
            b->abort();
            b->deleteLater();
        });
    });
    beyondTimer.start(1000);

    // The well-behaved traffic: every 20 ms each client ends its last line
    // and writes the first part of the next, cut at a random place.
    QElapsedTimer clock;
    clock.start();
    QTimer sendTimer;
    sendTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&sendTimer, &QTimer::timeout, [&] {
        const long due = std::min<long>(clock.elapsed() * kLinesPerSecond / 1000, seconds * kLinesPerSecond);
        for (GoodClient& g : good) {
            const int c = static_cast<int>(&g - good.data());
            std::string out = g.pendingRest;
            g.pendingRest.clear();
            while (g.sent < due) {
                const std::string line = goodLine(c, g.sent++);
                const size_t cut = 1 + rng() % (line.size() - 1);
                out += line.substr(0, cut);
                if (g.sent < due)
                    out += line.substr(cut);
                else
                    g.pendingRest = line.substr(cut);
            }
            if (!out.empty())
                g.socket->write(out.data(), static_cast<qint64>(out.size()));
        }
    });
    sendTimer.start(20);

    // Once a second: the server's memory and CPU.
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    long lastTicks = cpuTicks(pid);
    long peakRss = 0, rssAt10 = 0, rssNow = 0;
    double peakCpu = 0, cpuSum = 0;
    int samples = 0;
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, [&] {
        const long rss = readProcLong("/proc/" + std::to_string(pid) + "/status", "VmRSS:");
        const long ticks = cpuTicks(pid);
        const double cpu = 100.0 * static_cast<double>(ticks - lastTicks) / static_cast<double>(ticksPerSecond);
        lastTicks = ticks;
        ++samples;
        rssNow = rss;
        peakRss = std::max(peakRss, rss);
        if (samples == 10)
            rssAt10 = rss;
        peakCpu = std::max(peakCpu, cpu);
        cpuSum += cpu;
        std::printf("t=%2ds server RSS %6ld kB  CPU %5.1f%%  sent/client %d\n", samples, rss, cpu, good[0].sent);
        std::fflush(stdout);
    });
    sample.start(1000);

    // Run, stop sending, let the last lines arrive.
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &loop, [&] {
        sendTimer.stop();
        for (GoodClient& g : good)
            if (!g.pendingRest.empty()) {
                g.socket->write(g.pendingRest.data(), static_cast<qint64>(g.pendingRest.size()));
                g.pendingRest.clear();
            }
    });
    QTimer::singleShot(seconds * 1000 + 3000, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    sample.stop();
    randomTimer.stop();
    endlessTimer.stop();
    beyondTimer.stop();
    dropCycle = [] {};
    if (dropper)
        dropper->abort();
    randomPeer.abort();
    endless.abort();
    // The server sees the abusers go.
    QElapsedTimer gone;
    gone.start();
    while (gone.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    // Still serving: a new client's line comes back to it and to client 0.
    QTcpSocket fresh;
    fresh.connectToHost(local, port);
    bool freshConnected = fresh.waitForConnected(3000);
    const long before = good[0].received;
    QTimer::singleShot(300, [&] {
        const std::string line = goodLine(0, seconds * kLinesPerSecond + 50);
        fresh.write(line.data(), static_cast<qint64>(line.size()));
    });
    QElapsedTimer wait;
    wait.start();
    bool echoed = false;
    while (wait.elapsed() < 3000 && !(echoed = good[0].received > before && fresh.bytesAvailable() > 0))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::processEvents();

    // Let every client take the check line before counting.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    std::printf("\nclient  sent  received  missing  duplicates\n");
    bool allDelivered = true;
    long totalSent = 0;
    for (const GoodClient& g : good)
        totalSent += g.sent;
    for (int c = 0; c < kGoodClients; ++c) {
        long missing = 0;
        for (int s = 0; s < kGoodClients; ++s)
            for (int n = 0; n < good[static_cast<size_t>(s)].sent; ++n)
                missing += !good[static_cast<size_t>(c)].got[static_cast<size_t>(s)][static_cast<size_t>(n)];
        allDelivered = allDelivered && missing == 0;
        std::printf("%6d %5d %9ld %8ld %11ld\n", c, good[static_cast<size_t>(c)].sent,
                    good[static_cast<size_t>(c)].received - (echoed ? 1 : 0), missing,
                    good[static_cast<size_t>(c)].duplicates);
    }
    std::printf("lines sent by all clients: %ld; every line reached every client: %s\n", totalSent,
                allDelivered ? "yes" : "NO");
    std::printf("abusers: random bytes %ld, endless lines started %ld, drop cycles %ld, "
                "connections beyond MaxConnect %ld (closed by the server %ld)\n",
                randomBytes, endlessLines, drops, beyondTried, beyondRefused);
    std::printf("server RSS: at 10 s %ld kB, at the end %ld kB, peak %ld kB; CPU: peak %.1f%%, mean %.1f%%\n", rssAt10,
                rssNow, peakRss, peakCpu, samples ? cpuSum / samples : 0.0);
    std::printf("server %s\n", lastStats.c_str());
    std::printf("still serving at the end: %s (server process %s)\n", freshConnected && echoed ? "yes" : "NO",
                server.state() == QProcess::Running ? "running" : "GONE");
    ::close(stalled);
    server.terminate();
    server.waitForFinished(3000);
    return allDelivered && echoed ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() >= 3 && args[1] == QStringLiteral("--server"))
        return runServer(static_cast<quint16>(args[2].toUInt()));
    const int seconds = args.size() >= 2 ? std::max(1, args[1].toInt()) : 60;
    return runLoad(seconds);
}
