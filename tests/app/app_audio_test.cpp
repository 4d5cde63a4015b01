// The sound card path against a private PulseAudio server: a FIFO feeds a
// pipe source whose samples must reach the station bit-exact, in order and
// cut into whole blocks; the monitor plays only while its button is down.
// Skipped where no pulseaudio program is installed.
#include "app/receive_pipeline.h"
#include "app/sound_card.h"
#include "app/ui/main_window.h"
#include "widgets/message_hub.h"

#include "app_test_support.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace varnesk;

namespace {

// Frame n of the test signal: left counts up, right counts down.
int16_t leftOf(int64_t n)
{
    return static_cast<int16_t>(1 + n % 30000);
}
int16_t rightOf(int64_t n)
{
    return static_cast<int16_t>(-1 - n % 30000);
}

class PulseServer {
public:
    bool start(const QString& dir, const QString& fifo)
    {
        const QString runtime = dir + QStringLiteral("/run");
        QDir().mkpath(runtime);
        ::chmod(QFile::encodeName(runtime).constData(), 0700);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        qputenv("HOME", QFile::encodeName(dir));
        qputenv("PULSE_CONFIG_PATH", QFile::encodeName(dir));
        m_env = QProcessEnvironment::systemEnvironment();
        m_server.setProcessEnvironment(m_env);
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start(
            QStringLiteral("pulseaudio"),
            // A server left behind by a crashed test ends itself once idle.
            {QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=10"),
             QStringLiteral("--load=module-native-protocol-unix"),
             QStringLiteral("--load=module-null-sink sink_name=nullsink"),
             QStringLiteral("--load=module-pipe-source source_name=fifosrc file=%1 format=s16le rate=22050 channels=2")
                 .arg(fifo)});
        if (!m_server.waitForStarted(5000))
            return false;
        for (int i = 0; i < 100; ++i) {
            if (pactl({QStringLiteral("info")}))
                return pactl({QStringLiteral("set-default-source"), QStringLiteral("fifosrc")})
                       && pactl({QStringLiteral("set-default-sink"), QStringLiteral("nullsink")});
            QThread::msleep(50);
        }
        return false;
    }
    ~PulseServer()
    {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            if (!m_server.waitForFinished(3000))
                m_server.kill();
            m_server.waitForFinished(1000);
        }
    }

private:
    bool pactl(const QStringList& args)
    {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.start(QStringLiteral("pactl"), args);
        return p.waitForFinished(3000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }
    QProcess m_server;
    QProcessEnvironment m_env;
};

} // namespace

TEST(SoundCard, CapturedSamplesReachThePipelineInWholeBlocksInOrder)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("pactl")).isEmpty())
        GTEST_SKIP() << "no pulseaudio here";
    QTemporaryDir dir;
    // The server makes the pipe itself; a fresh one, so no old data comes first.
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    PulseServer server;
    if (!server.start(dir.path(), fifo))
        GTEST_SKIP() << "the pulseaudio server did not start here";
    const int writer = ::open(QFile::encodeName(fifo).constData(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer, 0);

    // The application (and with it the sound system client) only now.
    static int argc = 1;
    static char name[] = "test_app_audio";
    static char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    MessageHub::setAnswerer([](MessageHub::Kind, const QString&) { return true; });

    MainWindow main({dir.path(), QStringLiteral("varnesk")});
    EXPECT_TRUE(MessageHub::records().empty()) << MessageHub::records().front().text.toStdString();
    ASSERT_TRUE(main.captureOpen());
    ASSERT_TRUE(main.playbackOpen());
    EXPECT_TRUE(main.monitorButton()->isEnabled());

    // Feed the signal in real time, 1024 frames every 46 ms.
    int64_t written = 0;
    QTimer feed;
    QObject::connect(&feed, &QTimer::timeout, [&] {
        std::array<int16_t, 2048> chunk;
        for (int f = 0; f < 1024; ++f, ++written) {
            chunk[2 * f] = leftOf(written);
            chunk[2 * f + 1] = rightOf(written);
        }
        [[maybe_unused]] const ssize_t n = ::write(writer, chunk.data(), sizeof chunk);
    });
    feed.start(46);

    std::vector<int64_t> frames; // frame number of every signal frame seen, zeros skipped
    bool badPair = false;
    size_t blocks = 0;
    uint64_t playedWhileUp = 0;
    QObject::connect(&main.pipeline(), &ReceivePipeline::captureBlockArrived, [&](CaptureBlockSpan block) {
        ++blocks;
        for (int f = 0; f < 512; ++f) {
            const int16_t l = block[2 * f], r = block[2 * f + 1];
            if (l == 0 && r == 0)
                continue; // silence before the feed started
            badPair = badPair || r != -l;
            frames.push_back(l);
        }
    });
    ASSERT_TRUE(apptest::waitFor([&] { return frames.size() >= 20 * 512; }, 8000)) << frames.size();
    playedWhileUp = main.monitor()->blocksPlayed();
    main.monitorButton()->click(); // down: the monitor plays from the next block
    const size_t blocksAtPress = blocks;
    ASSERT_TRUE(apptest::waitFor([&] { return blocks >= blocksAtPress + 10; }, 5000));
    feed.stop();
    main.close();
    ::close(writer);

    EXPECT_EQ(playedWhileUp, 0u);
    EXPECT_GE(main.monitor()->blocksPlayed(), 5u);
    EXPECT_FALSE(badPair);
    // Consecutive frames without a gap or a repeat, across block boundaries.
    for (size_t i = 1; i < frames.size(); ++i)
        ASSERT_EQ(frames[i], frames[i - 1] % 30000 + 1) << "at frame " << i;
    MessageHub::setAnswerer({});
}
