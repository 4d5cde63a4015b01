// The whole chain through the receive pipeline: the real off-air recordings, generated
// traffic on both channels, levels, rate errors, DC, noise, and [Wave] Dual.
#include "acars/raw_text.h"
#include "app/receive_pipeline.h"
#include "receiver/audio_file_reader.h"

#include "acars_signal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace varnesk {
namespace {

struct Line {
    std::string tag;
    std::string rawText;
    bool operator==(const Line&) const = default;
};

class Chain {
public:
    explicit Chain(int dual)
        : m_station(m_settings, AppPaths::make(QStringLiteral(VARNESK_APP_DIR), QStringLiteral("varnesk"), false,
                                               QDateTime::currentDateTime()))
    {
        m_settings.setInteger(Key::Dual, dual);
        m_station.setProcessingEnabled(true);
        QObject::connect(&m_station, &ReceivePipeline::frameCaptured, [this](const CapturedFrame& f, const QDateTime&) {
            lines.push_back({f.channel == 0 ? "Lch" : "Rch", renderFrameRawText(f.slots, f.bitCount)});
        });
    }
    void setDual(int dual) { m_settings.setInteger(Key::Dual, dual); }
    // [Wave] Demodulator: 0 the classic chain alone, 1 both, 2 the coherent one alone.
    void setDemodulator(int choice) { m_settings.setInteger(Key::Demodulator, choice); }
    void run(std::span<const int16_t> interleaved)
    {
        CaptureBlock block{};
        for (size_t at = 0; at < interleaved.size(); at += block.size()) {
            const size_t n = std::min(block.size(), interleaved.size() - at);
            std::fill(std::copy_n(interleaved.begin() + static_cast<std::ptrdiff_t>(at), n, block.begin()), block.end(),
                      int16_t{0});
            m_station.ProcessCaptureBlock(block, QDateTime());
        }
    }
    bool runFile(const std::string& path)
    {
        std::string error;
        auto source = AudioFileReader::open(path, error);
        if (!source)
            return false;
        CaptureBlock block;
        while (source->read(block))
            m_station.ProcessCaptureBlock(block, QDateTime());
        return true;
    }
    ReceivePipeline& station() { return m_station; }
    // Frames the block decoder got from the radio.
    uint64_t decoded() const
    {
        const BlockDecoder& d = m_station.decode().decoder;
        return d.counts(FrameSource::Left).frames + d.counts(FrameSource::Right).frames;
    }
    SettingsStore& settings() { return m_settings; }
    std::vector<Line> lines;

private:
    SettingsStore m_settings;
    ReceivePipeline m_station;
};

std::vector<Line> expectedLines(const std::vector<gen::Burst>& bursts, int channel)
{
    std::vector<gen::Burst> sorted;
    for (const auto& b : bursts)
        if (b.channel == channel)
            sorted.push_back(b);
    std::sort(sorted.begin(), sorted.end(), [](auto& a, auto& b) { return a.startSeconds < b.startSeconds; });
    std::vector<Line> out;
    for (const auto& b : sorted)
        out.push_back({channel == 0 ? "Lch" : "Rch", renderRawText(gen::blockChars(b.block))});
    return out;
}

std::vector<Line> onChannel(const std::vector<Line>& lines, const std::string& tag)
{
    std::vector<Line> out;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(out), [&](const Line& l) { return l.tag == tag; });
    return out;
}

std::vector<gen::Burst> traffic(uint32_t seed, int perChannel, int preKeyBits = 128)
{
    std::mt19937 rng(seed);
    std::vector<gen::Burst> bursts = gen::randomTraffic(rng, 0, perChannel, 0.3, preKeyBits);
    const auto right = gen::randomTraffic(rng, 1, perChannel, 0.61, preKeyBits);
    bursts.insert(bursts.end(), right.begin(), right.end());
    return bursts;
}

TEST(ReceiverChain, OffAirRecordingsDecodeToTheSevenListedBlocks)
{
    struct Case {
        const char* fileEnding; // the two 22050 Hz stereo conversions in the fixtures folder
        std::vector<Line> want; // in order of completion
    };
    const std::string syn = "+*<SYN><SYN><SOH>";
    const Case cases[] = {
        {"-ch0ch1-22050-stereo.wav",
         {{"Rch", syn + "E.PH-BXR<NAK>5V4<STX>S53AKL1681<ETX>"},
          {"Rch", syn + "E.LN-DYY<NAK>Q06<STX>S47ADY083J<ETX>"},
          {"Lch", syn
                      + "G.F-GTAE<NAK>H13<STX>D65CAF7728#DFB00000/V206,05,124,183,02,00,00000/"
                        "V3XX,XX,XXX,XXX,XXXX/V4XX,XX,XXX,XXX,XXXX/V5XX,XX,XXX,XXX,XXXX/V6XX,XX,XXX,XXX,XXXX/"
                        "V7044,078,00081,22222222222111/V8042,083,00061,22222222222111/<ETX>"},
          {"Lch", syn + "x.LN-DYY5_<DEL>A<ETX>"}}},
        {"-ch2ch3-22050-stereo.wav",
         {{"Rch", syn + "2.LN-DYY<NAK>Q04<STX>S46ADY083J<ETX>"},
          {"Lch", syn + "2.G-DBCKW_<DEL>0<STX>S64ABA031T<ETX>"},
          {"Lch", syn + "E.G-DBCK<NAK>Q09<STX>S63ABA031T<ETX>"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileEnding);
        std::string path;
        for (const auto& entry : std::filesystem::directory_iterator(VARNESK_FIXTURES))
            if (entry.path().filename().string().ends_with(c.fileEnding))
                path = entry.path().string();
        ASSERT_FALSE(path.empty());
        Chain chain(2);
        ASSERT_TRUE(chain.runFile(path));
        EXPECT_EQ(chain.lines, c.want);
    }
}

TEST(ReceiverChain, GeneratedTrafficOnBothChannelsDecodesCompletely)
{
    // 200 mixed blocks per channel, strong, over a faint noise floor, written as
    // a WAV file and read back the way varnesk-decode reads it.
    const std::vector<gen::Burst> bursts = traffic(11, 200);
    gen::SignalOptions options;
    options.noise = true;
    options.ebN0Db = 30;
    options.peak = 12000;
    options.seed = 11;
    const std::string path =
        (std::filesystem::temp_directory_path() / ("varnesk-chain-" + std::to_string(::getpid()) + ".wav")).string();
    std::string error;
    ASSERT_TRUE(gen::writeWav(path, gen::renderStereo(bursts, options), error)) << error;
    Chain chain(2);
    ASSERT_TRUE(chain.runFile(path));
    std::filesystem::remove(path);
    EXPECT_EQ(onChannel(chain.lines, "Lch"), expectedLines(bursts, 0));
    EXPECT_EQ(onChannel(chain.lines, "Rch"), expectedLines(bursts, 1));
}

TEST(ReceiverChain, DecodesEveryBlockAcrossLevelsRateErrorsAndOffsets)
{
    struct Case {
        const char* name;
        double peak;
        double ppm;
        double dc;
    };
    const Case cases[] = {
        {"peak 30", 30, 0, 0},       {"peak 30000", 30000, 0, 0},       {"+200 ppm", 8000, 200, 0},
        {"-200 ppm", 8000, -200, 0}, {"DC offset 3000", 8000, 0, 3000},
    };
    const std::vector<gen::Burst> bursts = traffic(21, 25);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gen::SignalOptions options;
        options.noise = true;
        options.ebN0Db = 30;
        options.peak = c.peak;
        options.rateErrorPpm = c.ppm;
        options.dcOffset = c.dc;
        Chain chain(2);
        chain.run(gen::renderStereo(bursts, options));
        EXPECT_EQ(onChannel(chain.lines, "Lch"), expectedLines(bursts, 0));
        EXPECT_EQ(onChannel(chain.lines, "Rch"), expectedLines(bursts, 1));
    }
}

TEST(ReceiverChain, NoiseSensitivityStaysWithinItsKnownCurve)
{
    // About half the blocks at Eb/N0 10 dB and nearly all at 14 dB; a fault in
    // any stage moves this curve far outside the bounds, and so would a
    // decoder that invents frames (every frame printed must be a sent one).
    const std::vector<gen::Burst> bursts = traffic(31, 60);
    struct Case {
        double ebN0Db;
        double low;
        double high;
    };
    for (const Case c : {Case{10, 0.25, 0.80}, Case{14, 0.95, 1.0}}) {
        SCOPED_TRACE(c.ebN0Db);
        gen::SignalOptions options;
        options.noise = true;
        options.ebN0Db = c.ebN0Db;
        options.seed = 31;
        Chain chain(2);
        chain.setDemodulator(0);
        chain.run(gen::renderStereo(bursts, options));
        std::vector<Line> want = expectedLines(bursts, 0);
        const std::vector<Line> right = expectedLines(bursts, 1);
        want.insert(want.end(), right.begin(), right.end());
        int good = 0;
        for (const Line& got : chain.lines) {
            const bool sent = std::find(want.begin(), want.end(), got) != want.end();
            EXPECT_TRUE(sent) << got.rawText;
            good += sent;
        }
        const double share = good / double(want.size());
        EXPECT_GE(share, c.low);
        EXPECT_LE(share, c.high);
    }
}

TEST(ReceiverChain, SingleDecoderLeavesTheRightChannelUntouched)
{
    const std::vector<gen::Burst> bursts = traffic(41, 4);
    gen::SignalOptions options;
    options.noise = true;
    const std::vector<int16_t> audio = gen::renderStereo(bursts, options);

    Chain chain(1);
    chain.run(audio);
    EXPECT_EQ(chain.lines, expectedLines(bursts, 0));
    const ChannelState& right = chain.station().receiver().channel(1);
    const ChannelState fresh;
    EXPECT_EQ(right.bandDelay, fresh.bandDelay);
    EXPECT_EQ(right.levelState, fresh.levelState);
    EXPECT_EQ(right.hilbertDelay, fresh.hilbertDelay);
    EXPECT_EQ(right.shiftPhase, fresh.shiftPhase);
    EXPECT_EQ(right.vcoPhase, fresh.vcoPhase);
    EXPECT_EQ(right.clockSign, fresh.clockSign);
    EXPECT_EQ(right.carryCount, fresh.carryCount);
    EXPECT_EQ(right.rcvCount, fresh.rcvCount);
    EXPECT_EQ(right.frame, fresh.frame);

    // Switching to two decoders continues the right channel from there.
    chain.lines.clear();
    chain.setDual(2);
    chain.run(audio);
    EXPECT_EQ(onChannel(chain.lines, "Rch"), expectedLines(bursts, 1));
}

TEST(ReceiverChain, HandOffFollowsTheNetworkRole)
{
    // The same block twice: the second is a repeat for the sequencer.
    gen::BlockSpec block;
    block.text = "M01AJL0001HELLO";
    std::vector<gen::Burst> bursts(2);
    bursts[0].startSeconds = 0.3;
    bursts[1].startSeconds = 1.3;
    bursts[0].block = bursts[1].block = block;
    gen::SignalOptions options;
    options.noise = true;
    const std::vector<int16_t> audio = gen::renderStereo(bursts, options);
    std::string wantLine;
    for (const char c : gen::blockChars(block))
        wantLine.push_back(static_cast<char>(c + 1)); // every character here is below 127

    struct Case {
        const char* name;
        bool netActive;
        bool server;
        bool dupCheckSend;
        int toServer;
        int toClients;
        int decoded;
    };
    const Case cases[] = {
        {"stand-alone", false, false, true, 0, 0, 2},
        // A client decodes its own frames only when the server sends them back.
        {"client", true, false, true, 2, 0, 0},
        {"server relaying every frame before decoding", true, true, false, 0, 2, 2},
        {"server relaying new blocks after its duplicate check", true, true, true, 0, 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Chain chain(1);
        chain.settings().setBoolean(Key::Server, c.server);
        chain.settings().setBoolean(Key::DupCheckSend, c.dupCheckSend);
        chain.station().network().setNetActive(c.netActive);
        std::vector<std::string> toServer;
        std::vector<std::string> toClients;
        NetworkSharing& net = chain.station().network();
        QObject::connect(&net, &NetworkSharing::lineToServer,
                         [&](std::string_view line) { toServer.emplace_back(line); });
        QObject::connect(&net, &NetworkSharing::lineToClients,
                         [&](std::string_view line) { toClients.emplace_back(line); });
        chain.run(audio);
        EXPECT_EQ(chain.lines.size(), 2u);
        EXPECT_EQ(static_cast<int>(toServer.size()), c.toServer);
        EXPECT_EQ(static_cast<int>(toClients.size()), c.toClients);
        EXPECT_EQ(static_cast<int>(chain.decoded()), c.decoded);
        for (const std::string& line : toServer)
            EXPECT_EQ(line, wantLine);
        for (const std::string& line : toClients) {
            // After the duplicate check the relay carries the two positions
            // after the end character as well.
            if (c.dupCheckSend) {
                EXPECT_EQ(line.substr(0, wantLine.size()), wantLine);
                EXPECT_EQ(line.size(), wantLine.size() + 2);
            } else {
                EXPECT_EQ(line, wantLine);
            }
        }
        for (const Line& l : chain.lines)
            EXPECT_EQ(l.tag, "Lch");
    }
}

TEST(ReceiverChain, DualZeroProcessesNothing)
{
    Chain chain(0);
    chain.run(gen::renderStereo(traffic(43, 2), gen::SignalOptions{}));
    EXPECT_TRUE(chain.lines.empty());
    EXPECT_EQ(chain.station().receiver().channel(0).clockSign, 0);
}

} // namespace
} // namespace varnesk
