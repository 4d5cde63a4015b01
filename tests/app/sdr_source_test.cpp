// The live SDR source through the real SoapySDR library, with a test device
// module (soapy_test_device.cpp) that plays a generated IQ recording as if it
// were received: the audio equals the IQ file path's, the traffic of both
// frequencies is decoded on its channel, and an absent or failing device gives
// its message while the program runs on.
#include "app/sdr_capture_source.h"
#include "receiver/iq_channelizer.h"
#include "receiver/iq_file_reader.h"
#include "receiver/receiver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace varnesk {
namespace {

constexpr double kRate = 1'024'000;

QCoreApplication& application()
{
    static int argc = 1;
    static char name[] = "test_app_sdr";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = [] {
        // Before SoapySDR looks for its modules: the test device's folder too.
        qputenv("SOAPY_SDR_PLUGIN_PATH", VARNESK_SOAPY_MODULES);
        return new QCoreApplication(argc, argv);
    }();
    return *app;
}

struct Recording {
    std::string path;
    double centreHz = 0;
    int leftBlocks = 0;
    int rightBlocks = 0;
};

// A cs16 recording with random traffic on both frequencies, centred where the
// source will tune for them.
const Recording& recording()
{
    static QTemporaryDir dir;
    static const Recording r = [] {
        Recording out;
        out.centreHz = ChooseSdrCentre(std::vector<double>{131'450'000, 131'950'000}, kRate);
        out.path = dir.filePath(QStringLiteral("live.cs16")).toStdString();
        const QString expect = dir.filePath(QStringLiteral("expect.txt"));
        QProcess gen;
        QStringList args;
        for (const char* a : {"--iq", "--iq-format", "cs16", "--random", "4", "--ebn0", "30", "--seed", "7"})
            args << QString::fromLatin1(a);
        args << QStringLiteral("--iq-rate") << QString::number(kRate, 'f', 0) << QStringLiteral("--iq-centre")
             << QString::number(out.centreHz / 1e6, 'f', 6) << QStringLiteral("--expect") << expect
             << QString::fromStdString(out.path);
        gen.start(QStringLiteral(VARNESK_GEN), args);
        if (!gen.waitForFinished(120000) || gen.exitCode() != 0)
            ADD_FAILURE() << "varnesk-gen failed: " << gen.readAllStandardError().toStdString();
        std::ifstream lines(expect.toStdString());
        for (std::string line; std::getline(lines, line);) {
            out.leftBlocks += line.rfind("[Lch]", 0) == 0;
            out.rightBlocks += line.rfind("[Rch]", 0) == 0;
        }
        return out;
    }();
    return r;
}

std::string deviceArgs(const std::string& extra = {})
{
    const Recording& r = recording();
    return "driver=varnesk_test,format=cs16,speed=50,file=" + r.path
           + ",centre=" + std::to_string(static_cast<long long>(r.centreHz)) + extra;
}

SdrOptions options(const std::string& args)
{
    SdrOptions o;
    o.deviceArgs = args;
    o.sampleRateHz = kRate;
    return o;
}

// Runs the event loop until done() or the time is up.
template <typename Done>
bool runUntil(Done done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

std::vector<CaptureBlock> fileBlocks(const Recording& r)
{
    IqFileSettings settings;
    settings.sampleRateHz = kRate;
    settings.rateGiven = true;
    settings.centreHz = r.centreHz;
    settings.centreGiven = true;
    const std::string& path = r.path;
    std::string error;
    auto reader = IqFileReader::open(path, settings, error);
    EXPECT_TRUE(reader) << error;
    std::vector<CaptureBlock> out;
    ChannelBlock block;
    while (reader && reader->read(block))
        out.push_back(block.stereo());
    return out;
}

// Frames the classic chain finds per channel in the blocks.
std::array<int, 2> framesPerChannel(const std::vector<CaptureBlock>& blocks)
{
    Receiver receiver;
    std::array<int, 2> frames{};
    for (const CaptureBlock& block : blocks) {
        std::array<double, kFramesPerBlock> left, right;
        for (int i = 0; i < kFramesPerBlock; ++i) {
            left[size_t(i)] = block[size_t(2 * i)];
            right[size_t(i)] = block[size_t(2 * i + 1)];
        }
        const auto found = receiver.processChannels(left, right);
        frames[0] += found[0].has_value();
        frames[1] += found[1].has_value();
    }
    return frames;
}

TEST(SdrSource, LiveAudioEqualsTheIqFilePathAndDecodesBothFrequencies)
{
    application();
    const Recording& r = recording();
    ASSERT_GT(r.leftBlocks, 0);
    ASSERT_GT(r.rightBlocks, 0);
    const std::vector<CaptureBlock> expected = fileBlocks(r);
    ASSERT_FALSE(expected.empty());

    std::vector<CaptureBlock> live;
    int lost = 0;
    SdrCaptureSource source(
        [&](const ChannelBlock& channelBlock) {
            const CaptureBlock block = channelBlock.stereo();
            std::copy(block.begin(), block.end(), live.emplace_back().begin());
        },
        [&](const QString&) { ++lost; });
    QString message;
    ASSERT_TRUE(source.open(options(deviceArgs()), message)) << message.toStdString();
    EXPECT_DOUBLE_EQ(source.centreHz(), r.centreHz);
    // The file's last, partial block is completed with silence by the file
    // reader only: the live stream just ends.
    ASSERT_TRUE(runUntil([&] { return live.size() + 1 >= expected.size(); }, 60000));
    source.close();
    EXPECT_EQ(lost, 0);
    for (size_t i = 0; i + 1 < expected.size(); ++i)
        ASSERT_EQ(live[i], expected[i]) << "block " << i;

    const std::array<int, 2> frames = framesPerChannel(live);
    EXPECT_EQ(frames[0], r.leftBlocks);
    EXPECT_EQ(frames[1], r.rightBlocks);
}

TEST(SdrSource, AbsentOrUnusableDeviceIsRefusedWithItsMessage)
{
    application();
    struct Case {
        const char* what;
        SdrOptions options;
    };
    SdrOptions noSuchDriver = options("driver=varnesk_absent");
    SdrOptions wrongCentre = options(deviceArgs());
    wrongCentre.frequenciesHz[0] = 131'550'000; // the device is then tuned elsewhere and will not stream
    SdrOptions outsideBand = options(deviceArgs());
    outsideBand.frequenciesHz[1] = 136'975'000; // 5.5 MHz apart at 1 MS/s
    SdrOptions noRate = options(deviceArgs());
    noRate.sampleRateHz = 0;
    for (const Case& c : {Case{"no such driver", noSuchDriver}, Case{"stream refused", wrongCentre},
                          Case{"channels apart", outsideBand}, Case{"rate 0", noRate}}) {
        SCOPED_TRACE(c.what);
        int delivered = 0;
        SdrCaptureSource source([&](const ChannelBlock&) { ++delivered; }, [](const QString&) {});
        QString message;
        EXPECT_FALSE(source.open(c.options, message));
        EXPECT_TRUE(message.startsWith(QStringLiteral("SDR受信機をオープンできません\n"))) << message.toStdString();
        EXPECT_FALSE(source.isOpen());
        runUntil([] { return false; }, 50);
        EXPECT_EQ(delivered, 0);
    }
}

TEST(SdrSource, UnpluggedOrSilentDeviceClosesWithItsMessage)
{
    application();
    for (const char* failure : {",unplug_after=300000", ",stall_after=300000"}) {
        SCOPED_TRACE(failure);
        int delivered = 0;
        std::vector<QString> lost;
        SdrCaptureSource source([&](const ChannelBlock&) { ++delivered; },
                                [&](const QString& m) { lost.push_back(m); });
        source.setSilenceLimitMs(300);
        QString message;
        ASSERT_TRUE(source.open(options(deviceArgs(failure)), message)) << message.toStdString();
        ASSERT_TRUE(runUntil([&] { return !lost.empty(); }, 20000));
        runUntil([] { return false; }, 100);
        ASSERT_EQ(lost.size(), 1u);
        EXPECT_TRUE(lost[0].startsWith(QStringLiteral("SDR受信機からのデータが止まりました\n")))
            << lost[0].toStdString();
        EXPECT_FALSE(source.isOpen());
        EXPECT_GT(delivered, 0);
        // It can be opened again (a device plugged back in).
        ASSERT_TRUE(source.open(options(deviceArgs()), message)) << message.toStdString();
        source.close();
    }
}

} // namespace
} // namespace varnesk
