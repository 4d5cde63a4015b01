// The headless pieces of the shell: block assembly, the WAV/pipe source and
// the termination signals.
#include "app/block_assembler.h"
#include "app/file_capture_source.h"
#include "app/termination_signals.h"
#include "receiver/audio_file_reader.h"
#include "settings/settings_store.h"

#include "app_test_support.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <numbers>
#include <sys/stat.h>
#include <unistd.h>

using namespace varnesk;
using apptest::sampleAt;

namespace {

QCoreApplication& app()
{
    static int argc = 1;
    static char name[] = "test_app_core";
    static char* argv[] = {name, nullptr};
    static QCoreApplication instance(argc, argv);
    return instance;
}

class AudioFileBlockReader : public BlockReader {
public:
    explicit AudioFileBlockReader(std::unique_ptr<AudioFileReader> s) : m_source(std::move(s)) { }
    bool next(ChannelBlock& out) override
    {
        CaptureBlock stereo;
        if (!m_source->read(stereo))
            return false;
        out = ChannelBlock::fromStereo(stereo);
        return true;
    }
    std::unique_ptr<AudioFileReader> m_source;
};

std::unique_ptr<BlockReader> openWav(const std::string& path, QString& error)
{
    std::string reason;
    auto source = AudioFileReader::open(path, reason);
    if (!source) {
        error = QString::fromStdString(reason);
        return nullptr;
    }
    return std::make_unique<AudioFileBlockReader>(std::move(source));
}

// Checks that block i of a recording carries the samples written for block want.
void expectBlock(const std::vector<int16_t>& samples, int want)
{
    ASSERT_EQ(samples.size(), 1024u);
    for (int f = 0; f < 512; ++f) {
        ASSERT_EQ(samples[2 * f], sampleAt(want, f, 0)) << "block " << want << " frame " << f;
        ASSERT_EQ(samples[2 * f + 1], sampleAt(want, f, 1)) << "block " << want << " frame " << f;
    }
}

} // namespace

TEST(BlockAssembler, CutsAnyChunkSizesIntoWholeBlocksInOrder)
{
    const std::string bytes = apptest::rawSamples(5);
    for (size_t chunk : {size_t(1), size_t(3), size_t(2047), size_t(2048), size_t(4097)}) {
        SCOPED_TRACE(chunk);
        BlockAssembler assembler;
        std::vector<std::vector<int16_t>> blocks;
        size_t at = 0;
        while (at < bytes.size()) {
            const size_t n = std::min({chunk, bytes.size() - at, assembler.space().size()});
            std::copy_n(bytes.data() + at, n, assembler.space().data());
            assembler.commit(n);
            at += n;
            if (assembler.full()) {
                CaptureSamples s = assembler.take();
                blocks.emplace_back(s.begin(), s.end());
            }
        }
        ASSERT_EQ(blocks.size(), 5u);
        for (int b = 0; b < 5; ++b)
            expectBlock(blocks[b], b);
    }
}

TEST(FileCaptureSource, FilePlaysAtRealTimePaceInOrderAndStopsAtItsEnd)
{
    app();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.wav"));
    constexpr int kBlocks = 40; // 0.93 s of audio
    ASSERT_TRUE(apptest::writeWav(path, kBlocks));

    std::vector<std::vector<int16_t>> got;
    FileCaptureSource source(
        [&](const ChannelBlock& channelBlock) {
            const CaptureBlock s = channelBlock.stereo();
            got.emplace_back(s.begin(), s.end());
        },
        openWav);
    QString message;
    ASSERT_TRUE(source.open(path.toStdString(), message)) << message.toStdString();
    QElapsedTimer clock;
    clock.start();
    apptest::waitFor([] { return false; }, 150);
    // Real-time pace: after 150 ms about 7 blocks are due, far from all 40.
    EXPECT_GE(got.size(), 1u);
    EXPECT_LE(got.size(), static_cast<size_t>(4 + clock.elapsed() * 22050 / 512 / 1000));
    ASSERT_TRUE(apptest::waitFor([&] { return source.atEnd(); }, 5000));
    EXPECT_GE(clock.elapsed(), 800);
    EXPECT_FALSE(source.isOpen());
    ASSERT_EQ(got.size(), static_cast<size_t>(kBlocks));
    for (int b = 0; b < kBlocks; ++b)
        expectBlock(got[b], b);
}

TEST(FileCaptureSource, ClosingStopsDeliveryAtOnce)
{
    app();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.wav"));
    ASSERT_TRUE(apptest::writeWav(path, 200));
    int delivered = 0;
    FileCaptureSource* self = nullptr;
    FileCaptureSource source(
        [&](const ChannelBlock&) {
            if (++delivered == 3)
                self->close(); // closed from inside the block handler
        },
        openWav);
    self = &source;
    // A second source on the same file, opened just after, keeps playing: by
    // the time it has delivered 12 blocks the first would have delivered
    // about as many had closing not stopped it, however slow the machine.
    int witnessed = 0;
    FileCaptureSource witness([&](const ChannelBlock&) { ++witnessed; }, openWav);
    QString message;
    ASSERT_TRUE(source.open(path.toStdString(), message));
    ASSERT_TRUE(witness.open(path.toStdString(), message));
    ASSERT_TRUE(apptest::waitFor([&] { return delivered >= 3; }, 5000));
    EXPECT_FALSE(source.isOpen());
    ASSERT_TRUE(apptest::waitFor([&] { return witnessed >= 12; }, 5000));
    EXPECT_EQ(delivered, 3);
    EXPECT_FALSE(source.atEnd());
}

TEST(FileCaptureSource, HandlerWithANestedEventLoopKeepsBlocksInOrder)
{
    // A block handler that opens a message box runs an event loop of its own;
    // no further block may start inside it.
    app();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.wav"));
    ASSERT_TRUE(apptest::writeWav(path, 12));
    std::vector<int> order;
    int depth = 0;
    bool nested = false;
    FileCaptureSource source(
        [&](const ChannelBlock& channelBlock) {
            const CaptureBlock s = channelBlock.stereo();
            nested = nested || depth > 0;
            ++depth;
            order.push_back(s[0] / 10);
            if (order.size() == 2)
                apptest::waitFor([] { return false; }, 150); // as a modal box would
            --depth;
        },
        openWav);
    QString message;
    ASSERT_TRUE(source.open(path.toStdString(), message));
    ASSERT_TRUE(apptest::waitFor([&] { return source.atEnd(); }, 5000));
    EXPECT_FALSE(nested);
    ASSERT_EQ(order.size(), 12u);
    for (int b = 0; b < 12; ++b)
        EXPECT_EQ(order[b], b);
}

TEST(FileCaptureSource, ProgramOpensIqRecordingsWithTheSdrSettingsAndWavFilesAsBefore)
{
    app();
    QTemporaryDir dir;
    SettingsStore settings;
    settings.setReal(Key::SdrFreq1, 131.45);
    settings.setReal(Key::SdrFreq2, 131.55);
    // 0.3 s of cu8 at 250 kS/s centred on 131.5 MHz: a carrier on frequency 1
    // with a 1200 Hz tone at 50 %.
    const QString iq = dir.filePath(QStringLiteral("tone_131500000Hz_250000sps.cu8"));
    {
        QByteArray bytes;
        for (int k = 0; k < 75000; ++k) {
            const double t = k / 250e3;
            const double a = 40 * (1 + 0.5 * std::sin(2 * std::numbers::pi * 1200 * t));
            const double w = 2 * std::numbers::pi * -50e3 * t;
            bytes.append(static_cast<char>(static_cast<uint8_t>(std::lround(127.5 + a * std::cos(w)))));
            bytes.append(static_cast<char>(static_cast<uint8_t>(std::lround(127.5 + a * std::sin(w)))));
        }
        QFile f(iq);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    const QString wav = dir.filePath(QStringLiteral("in.wav"));
    ASSERT_TRUE(apptest::writeWav(wav, 3));
    auto open = [&](const std::string& path, QString& error) { return openCaptureFile(path, settings, error); };

    std::vector<int16_t> got;
    FileCaptureSource source(
        [&](const ChannelBlock& channelBlock) {
            const CaptureBlock s = channelBlock.stereo();
            got.insert(got.end(), s.begin(), s.end());
        },
        open);
    QString message;
    ASSERT_TRUE(source.open(iq.toStdString(), message)) << message.toStdString();
    ASSERT_TRUE(apptest::waitFor([&] { return source.atEnd(); }, 5000));
    // 0.3 s is 12.9 blocks: 13, the last completed with silence.
    ASSERT_EQ(got.size(), 13u * kCaptureBlockSamples);
    double s = 0, c = 0;
    for (size_t f = 2205; f < 6000; ++f) {
        const double w = 2 * std::numbers::pi * 1200 * static_cast<double>(f) / kSampleRateHz;
        s += got[2 * f] * std::sin(w);
        c += got[2 * f] * std::cos(w);
    }
    EXPECT_NEAR(2 * std::hypot(s, c) / (6000 - 2205), 8000, 600);

    got.clear();
    ASSERT_TRUE(source.open(wav.toStdString(), message)) << message.toStdString();
    ASSERT_TRUE(apptest::waitFor([&] { return source.atEnd(); }, 5000));
    ASSERT_EQ(got.size(), 3u * kCaptureBlockSamples);
    EXPECT_EQ(got[2], sampleAt(0, 1, 0));

    // Frequency 2 moved out of the recording's band: refused with the reason.
    settings.setReal(Key::SdrFreq2, 131.95);
    EXPECT_FALSE(source.open(iq.toStdString(), message));
    EXPECT_TRUE(message.contains(QStringLiteral("span 500 kHz, more than the 191 kHz"))) << message.toStdString();
    EXPECT_FALSE(source.isOpen());
}

TEST(FileCaptureSource, UnopenableSourcesGiveAMessage)
{
    app();
    QTemporaryDir dir;
    const QString notWav = dir.filePath(QStringLiteral("notes.txt"));
    {
        QFile f(notWav);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("this is not audio at all, just some words in a file\n");
    }
    struct Case {
        const char* name;
        QString path;
    };
    const Case cases[] = {{"missing", dir.filePath(QStringLiteral("nope.wav"))},
                          {"not a WAV", notWav},
                          {"a folder", dir.path()},
                          {"a device", QStringLiteral("/dev/null")}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int delivered = 0;
        FileCaptureSource source([&](const ChannelBlock&) { ++delivered; }, openWav);
        QString message;
        EXPECT_FALSE(source.open(c.path.toStdString(), message));
        EXPECT_TRUE(message.contains(c.path)) << message.toStdString();
        EXPECT_FALSE(source.isOpen());
        apptest::waitFor([] { return false; }, 50);
        EXPECT_EQ(delivered, 0);
    }
}

TEST(FileCaptureSource, PipeIsReadAsDataArrivesAndSurvivesAWriterLeaving)
{
    app();
    QTemporaryDir dir;
    const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("feed")));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);

    std::vector<std::vector<int16_t>> got;
    FileCaptureSource source(
        [&](const ChannelBlock& channelBlock) {
            const CaptureBlock s = channelBlock.stereo();
            got.emplace_back(s.begin(), s.end());
        },
        openWav);
    QString message;
    ASSERT_TRUE(source.open(fifo.toStdString(), message)) << message.toStdString();
    EXPECT_TRUE(source.isPipe());

    const std::string bytes = apptest::rawSamples(6);
    auto writeSome = [&](size_t from, size_t to, size_t chunk) {
        const int fd = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        for (size_t at = from; at < to; at += chunk) {
            const size_t n = std::min(chunk, to - at);
            ASSERT_EQ(::write(fd, bytes.data() + at, n), static_cast<ssize_t>(n));
            apptest::waitFor([] { return false; }, 5);
        }
        ::close(fd);
    };
    // Three blocks and a half from one writer, in odd pieces.
    writeSome(0, 3 * 2048 + 1000, 777);
    ASSERT_TRUE(apptest::waitFor([&] { return got.size() == 3; }, 3000));
    apptest::waitFor([] { return false; }, 50);
    EXPECT_EQ(got.size(), 3u); // the half block waits for the rest
    // The writer went away; the next one goes on where the stream stopped.
    writeSome(3 * 2048 + 1000, bytes.size(), 1500);
    ASSERT_TRUE(apptest::waitFor([&] { return got.size() == 6; }, 3000));
    for (int b = 0; b < 6; ++b)
        expectBlock(got[b], b);
    source.close();
}

TEST(TerminationSignals, SignalBecomesACallOnTheEventLoop)
{
    app();
    std::vector<int> got;
    ASSERT_TRUE(TerminationSignals::install([&](int sig) { got.push_back(sig); }));
    ::raise(SIGTERM);
    ::raise(SIGINT);
    EXPECT_TRUE(got.empty()); // nothing runs inside the handler
    ASSERT_TRUE(apptest::waitFor([&] { return got.size() == 2; }, 2000));
    EXPECT_EQ(got[0], SIGTERM);
    EXPECT_EQ(got[1], SIGINT);
    TerminationSignals::install(nullptr);
}
