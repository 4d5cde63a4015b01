// varnesk-station as a process on 127.0.0.1: a server playing a generated IQ
// recording, a client station's core connected to it that shows every block
// tagged NET; a clean stop on SIGTERM with the settings file untouched; one
// line for each thing that cannot be opened.
#include "../net/net_test_support.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <string>

namespace varnesk {
namespace {

using nettest::waitFor;

const QString kStation = QStringLiteral(VARNESK_APP_DIR "/varnesk-station");

// A port for the sharing server inside the range the settings allow.
quint16 sharingPort(QTcpServer& hold)
{
    for (quint16 port = 49700; port < 65000; port += 37)
        if (hold.listen(QHostAddress(QHostAddress::LocalHost), port))
            return port;
    return 0;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Reads the station's standard error until it holds text (or ten seconds).
bool waitForSay(QProcess& station, QByteArray& said, const char* text, int timeoutMs = 10000)
{
    return waitFor(
        [&] {
            said += station.readAllStandardError();
            return said.contains(text);
        },
        timeoutMs);
}

TEST(Station, ServesEveryBlockToAClientTaggedNetAndStopsCleanly)
{
    nettest::ensureCoreApp();
    QTemporaryDir dir;
    // Six blocks on both frequencies, the first two seconds in, so that the
    // client is connected before they come.
    const char* blocks = "L 2.0 2 .JA8089 NAK H1 1 ETX M01AJL0012POS ONE\n"
                         "R 2.2 2 .JA8090 NAK H1 2 ETX M02AJL0013POS TWO\n"
                         "L 3.0 2 .JA8091 NAK 5Z 3 ETX M03AJL0014PART\n"
                         "R 3.2 2 .JA8092 NAK 5Z 4 ETX M04AJL0015LAST\n"
                         "L 4.0 2 .JA8093 NAK H1 5 ETX M05AJL0016POS FIVE\n"
                         "R 4.2 2 .JA8094 NAK H1 6 ETX M06AJL0017POS SIX\n";
    writeFile(dir.filePath(QStringLiteral("blocks.txt")), blocks);
    const QString iq = QStringLiteral("two_131700000Hz_1024000sps.cu8");
    QProcess gen;
    gen.start(QStringLiteral(VARNESK_APP_DIR "/varnesk-gen"),
              {QStringLiteral("--iq"), QStringLiteral("--iq-rate"), QStringLiteral("1024000"),
               QStringLiteral("--blocks"), dir.filePath(QStringLiteral("blocks.txt")), QStringLiteral("--ebn0"),
               QStringLiteral("25"), QStringLiteral("--duration"), QStringLiteral("5.5"), dir.filePath(iq)});
    ASSERT_TRUE(gen.waitForFinished(120000));
    ASSERT_EQ(gen.exitCode(), 0) << gen.readAllStandardError().toStdString();

    QTcpServer probe;
    const quint16 port = sharingPort(probe);
    ASSERT_NE(port, 0);
    probe.close();
    const QByteArray ini = "[Net]\nTcpIp=1\nServer=1\nServerPortNo=" + QByteArray::number(port)
                           + "\n[Wave]\nDual=2\nSource=" + iq.toLatin1() + "\n[Txt]\nLog=1\n";
    writeFile(dir.filePath(QStringLiteral("varnesk.ini")), ini);

    QProcess station;
    station.start(kStation, {QStringLiteral("--dir"), dir.path(), QStringLiteral("--listen"),
                             QStringLiteral("127.0.0.1"), QStringLiteral("--status-seconds"), QStringLiteral("1")});
    ASSERT_TRUE(station.waitForStarted());
    QByteArray said;
    ASSERT_TRUE(waitForSay(station, said, "sharing server listening")) << said.toStdString();

    nettest::Station client(false, port);
    ASSERT_TRUE(client.connectAndWait());
    EXPECT_TRUE(waitFor([&] { return client.entries() >= 6; }, 20000)) << client.entries();
    EXPECT_EQ(client.entries(), 6u);
    EXPECT_EQ(client.entriesWith("NET"), 6);
    EXPECT_EQ(client.rig.decode().decoder.counts(FrameSource::Network).frames, 6u);
    for (const char* text : {"POS ONE", "POS TWO", "PART", "LAST", "POS FIVE", "POS SIX"})
        EXPECT_EQ(client.entriesWith(text), 1) << text;

    // Status lines per channel, with the frequency of the recording's channel.
    EXPECT_TRUE(waitForSay(station, said, "Rch 131.950 MHz: ")) << said.toStdString();
    EXPECT_TRUE(said.contains("Lch 131.450 MHz: ")) << said.toStdString();

    station.terminate();
    ASSERT_TRUE(station.waitForFinished(10000));
    EXPECT_EQ(station.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(station.exitCode(), 0);
    said += station.readAllStandardError();
    EXPECT_TRUE(said.contains("signal 15: stopping")) << said.toStdString();
    // The settings file as it was; the text log holds every block.
    EXPECT_EQ(readFile(dir.filePath(QStringLiteral("varnesk.ini"))), ini);
    const QByteArray log = readFile(dir.filePath(QStringLiteral("logs/text.log")));
    for (const char* text : {"POS ONE", "POS TWO", "PART", "LAST", "POS FIVE", "POS SIX"})
        EXPECT_TRUE(log.contains(text)) << text;
}

// A first start writes the defaults; a file and a port that cannot be had
// are each said in one line, and the station runs on until SIGINT.
TEST(Station, SaysWhatCannotBeOpenedInOneLine)
{
    nettest::ensureCoreApp();
    QTemporaryDir dir;
    {
        QProcess first;
        first.start(kStation, {QStringLiteral("--dir"), dir.filePath(QStringLiteral("new")), QStringLiteral("--help")});
        ASSERT_TRUE(first.waitForFinished(10000));
        EXPECT_EQ(first.exitCode(), 0);
        EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("new/varnesk.ini")))) << "--help starts nothing";
    }
    QTcpServer busy;
    const quint16 port = sharingPort(busy);
    ASSERT_NE(port, 0);
    // The settings file is written once, with the defaults: the sound card.
    // Then the input is a file that is not there.
    QProcess station;
    const QStringList args{QStringLiteral("--dir"), dir.path(), QStringLiteral("--listen"),
                           QStringLiteral("127.0.0.1")};
    station.start(kStation, args);
    QByteArray said;
    ASSERT_TRUE(waitForSay(station, said, "running in")) << said.toStdString();
    EXPECT_TRUE(said.contains("wrote the default settings")) << said.toStdString();
    station.kill();
    station.waitForFinished();
    const QString iniPath = dir.filePath(QStringLiteral("varnesk.ini"));
    ASSERT_TRUE(QFile::exists(iniPath));

    const QByteArray ini =
        "[Net]\nTcpIp=1\nServer=1\nServerPortNo=" + QByteArray::number(port) + "\n[Wave]\nSource=missing.wav\n";
    writeFile(iniPath, ini);
    said.clear();
    station.start(kStation, args);
    ASSERT_TRUE(waitForSay(station, said, "running in")) << said.toStdString();
    waitFor(
        [&] {
            said += station.readAllStandardError();
            return false;
        },
        500);
    const QList<QByteArray> lines = said.split('\n');
    int aboutFile = 0;
    int aboutPort = 0;
    for (const QByteArray& line : lines) {
        aboutFile += line.contains("missing.wav");
        aboutPort += line.contains("cannot listen on port " + QByteArray::number(port));
    }
    EXPECT_EQ(aboutFile, 1) << said.toStdString();
    EXPECT_EQ(aboutPort, 1) << said.toStdString();
    EXPECT_FALSE(said.contains("wrote the default settings"));

    ::kill(static_cast<pid_t>(station.processId()), SIGINT);
    ASSERT_TRUE(station.waitForFinished(10000));
    EXPECT_EQ(station.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(station.exitCode(), 0);
    EXPECT_EQ(readFile(iniPath), ini);
}

} // namespace
} // namespace varnesk
