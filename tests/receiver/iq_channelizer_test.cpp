// The IQ path: tuning checks, the centre chosen for a device, the channel
// audio of known carriers (level, offset within the channel, which side),
// streaming in pieces, file names, and files that are refused.
#include "receiver/iq_channelizer.h"
#include "receiver/iq_file_reader.h"

#include "iq_signal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace varnesk {
namespace {

struct TempDir {
    std::filesystem::path path = std::filesystem::temp_directory_path() / ("varnesk-iq-" + std::to_string(::getpid()));
    TempDir() { std::filesystem::create_directories(path); }
    ~TempDir() { std::filesystem::remove_all(path); }
    std::string file(const std::string& name) const { return (path / name).string(); }
};

void writeBytes(const std::string& path, const std::vector<std::byte>& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    if (!bytes.empty()) {
        EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    }
    std::fclose(f);
}

// cs16 samples of carriers: per channel an offset from the centre, a level
// (0 = absent) and an AM tone of 1200 Hz at the given depth.
struct Carrier {
    double offsetHz = 0;
    double level = 0;
    double depth = 0.5;
};

std::vector<std::byte> cs16Carriers(double rateHz, double seconds, std::array<Carrier, 2> carriers, double noise = 0)
{
    std::mt19937 rng(7);
    std::normal_distribution<double> gauss(0, noise > 0 ? noise : 1);
    const auto n = static_cast<size_t>(seconds * rateHz);
    std::vector<std::byte> out(n * 4);
    for (size_t k = 0; k < n; ++k) {
        const double t = static_cast<double>(k) / rateHz;
        double i = 0, q = 0;
        for (const Carrier& c : carriers) {
            const double a = c.level * (1 + c.depth * std::sin(2 * std::numbers::pi * 1200 * t));
            i += a * std::cos(2 * std::numbers::pi * c.offsetHz * t);
            q += a * std::sin(2 * std::numbers::pi * c.offsetHz * t);
        }
        if (noise > 0) {
            i += gauss(rng);
            q += gauss(rng);
        }
        const auto vi = static_cast<uint16_t>(static_cast<int16_t>(std::lround(i)));
        const auto vq = static_cast<uint16_t>(static_cast<int16_t>(std::lround(q)));
        out[4 * k] = static_cast<std::byte>(vi & 0xFF);
        out[4 * k + 1] = static_cast<std::byte>(vi >> 8);
        out[4 * k + 2] = static_cast<std::byte>(vq & 0xFF);
        out[4 * k + 3] = static_cast<std::byte>(vq >> 8);
    }
    return out;
}

std::vector<int16_t> channelize(const IqTuning& tuning, IqFormat format, const std::vector<std::byte>& bytes,
                                const std::vector<size_t>& pieces = {})
{
    std::vector<int16_t> audio;
    IqChannelizer channelizer(tuning, [&](const ChannelBlock& block) {
        CaptureBlock stereo;
        block.toStereo(stereo);
        audio.insert(audio.end(), stereo.begin(), stereo.end());
    });
    size_t at = 0;
    for (size_t p = 0; at < bytes.size(); ++p) {
        const size_t n = pieces.empty() ? bytes.size() : std::min(pieces[p % pieces.size()], bytes.size() - at);
        channelizer.push(format, std::span<const std::byte>(bytes.data() + at, n));
        at += n;
    }
    channelizer.flush();
    return audio;
}

// Amplitude of the 1200 Hz component of one channel from frame `from` on.
double toneAmplitude(const std::vector<int16_t>& stereo, int channel, size_t from)
{
    double s = 0, c = 0;
    size_t n = 0;
    for (size_t f = from; 2 * f + 1 < stereo.size(); ++f, ++n) {
        const double w = 2 * std::numbers::pi * 1200 * static_cast<double>(f) / kSampleRateHz;
        s += stereo[2 * f + static_cast<size_t>(channel)] * std::sin(w);
        c += stereo[2 * f + static_cast<size_t>(channel)] * std::cos(w);
    }
    return 2 * std::hypot(s, c) / static_cast<double>(n);
}

TEST(IqTuning, UnusableTuningsAreRefusedWithAReason)
{
    struct Case {
        const char* name;
        double rate, centre, f1, f2;
        const char* want; // empty: usable
    };
    const Case cases[] = {
        {"the usual dongle", 2.4e6, 131.7e6, 131.45e6, 131.95e6, ""},
        {"both on one frequency", 250e3, 131.5e6, 131.45e6, 131.45e6, ""},
        {"rate 0", 0, 131.7e6, 131.45e6, 131.95e6, "sample rate 0 Hz"},
        {"rate not a number", NAN, 131.7e6, 131.45e6, 131.95e6, "sample rate"},
        {"rate absurd", 1e9, 131.7e6, 131.45e6, 131.95e6, "sample rate"},
        {"centre below 1 MHz", 2.4e6, 0.5e6, 0.4e6, 0.6e6, "centre frequency"},
        {"centre above 6 GHz", 2.4e6, 7e9, 7e9, 7e9, "centre frequency"},
        {"channels apart beyond the band", 500e3, 131.7e6, 131.45e6, 131.95e6, "span 500 kHz, more than the 416 kHz"},
        {"both inside the span, one outside the band", 500e3, 131.7e6, 131.45e6, 131.5e6, "frequency 1"},
        {"channel 2 at the band's edge", 2.4e6, 131.7e6, 131.7e6, 131.7e6 + 1.19e6, "frequency 2"},
        {"channel not a number", 2.4e6, 131.7e6, 131.45e6, NAN, "frequency 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IqTuning t;
        t.sampleRateHz = c.rate;
        t.centreHz = c.centre;
        t.channelHz = {c.f1, c.f2};
        const std::string why = CheckIqTuning(t);
        if (*c.want == '\0') {
            EXPECT_EQ(why, "");
        } else {
            EXPECT_NE(why.find(c.want), std::string::npos) << why;
            EXPECT_EQ(why.find('\n'), std::string::npos);
        }
    }
}

TEST(IqTuning, DeviceCentreKeepsChannelsOffDcAndOffEachOthersImage)
{
    struct Case {
        double f1, f2, rate;
        bool imageApart; // false: the band is too narrow for that as well
    };
    for (const Case& c : {Case{131.45e6, 131.95e6, 2.4e6, true}, Case{131.45e6, 131.45e6, 2.4e6, true},
                          Case{131.45e6, 131.475e6, 1.024e6, true}, Case{131.95e6, 131.45e6, 1.2e6, true},
                          Case{131.45e6, 131.55e6, 250e3, false}}) {
        SCOPED_TRACE(std::to_string(c.f1) + " " + std::to_string(c.f2) + " " + std::to_string(c.rate));
        const double centre = ChooseSdrCentre(std::vector<double>{c.f1, c.f2}, c.rate);
        IqTuning t{c.rate, centre, {c.f1, c.f2}};
        EXPECT_EQ(CheckIqTuning(t), "");
        EXPECT_GE(std::fabs(c.f1 - centre), 40e3);
        EXPECT_GE(std::fabs(c.f2 - centre), 40e3);
        // A channel's mirror image through the centre stays off the other channel.
        EXPECT_EQ(std::fabs((c.f1 - centre) + (c.f2 - centre)) >= 50e3, c.imageApart);
    }
}

TEST(IqChannelizer, EachCarrierReachesItsOwnSideAtTheSetLevel)
{
    // A 1200 Hz tone at 50 % on a carrier: audio of 0.5 × kAudioLevel on its
    // side, whatever the carrier's strength and wherever it sits within ±10 kHz
    // (a carrier 70 ppm off at 131 MHz), at every usual rate.
    struct Case {
        const char* name;
        double rate;
        int side;
        double offsetHz;
        double level;
    };
    const Case cases[] = {
        {"left, on frequency, 2.4 MS/s", 2.4e6, 0, 0, 8000},
        {"right, 5 kHz high, weak", 2.4e6, 1, 5000, 1000},
        {"left, 9 kHz low, 1.024 MS/s", 1.024e6, 0, -9000, 8000},
        {"right, 250 kS/s", 250e3, 1, 2000, 8000},
        {"left, 2.048 MS/s", 2.048e6, 0, 3000, 8000},
        {"right, 2.5 MS/s", 2.5e6, 1, -3000, 8000},
        {"left, 1.2 MS/s", 1.2e6, 0, 0, 8000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IqTuning t;
        t.sampleRateHz = c.rate;
        t.centreHz = 131.5e6;
        t.channelHz = {131.45e6, 131.55e6};
        const double channelOffset = t.channelHz[static_cast<size_t>(c.side)] - t.centreHz;
        std::array<Carrier, 2> carriers{};
        carriers[static_cast<size_t>(c.side)] = {channelOffset + c.offsetHz, c.level, 0.5};
        // Noise of 200 per component: the strong carrier 50 dB above it in the
        // channel, about what an 8-bit dongle gives.
        const std::vector<int16_t> audio = channelize(t, IqFormat::Cs16, cs16Carriers(c.rate, 0.6, carriers, 200));
        ASSERT_NEAR(static_cast<double>(audio.size()), 0.6 * kSampleRateHz * 2, 1100);
        const size_t settled = kSampleRateHz / 5;
        EXPECT_NEAR(toneAmplitude(audio, c.side, settled), 0.5 * IqChannelizer::kAudioLevel, 0.05 * 8000);
        // The other side plays its noise (the level control lifts it to the
        // bursts' loudness) but not this tone: the carrier 100 kHz away is
        // 70 dB down there, under the noise.
        EXPECT_LT(toneAmplitude(audio, 1 - c.side, settled), 0.05 * 8000);
    }
}

TEST(IqChannelizer, PiecesOfAnySizeGiveTheSameAudio)
{
    // A sample cut across pushes waits for its other bytes; the result is the
    // same bit for bit as one push of everything.
    IqTuning t{250e3, 131.5e6, {131.45e6, 131.55e6}};
    const std::vector<std::byte> bytes =
        cs16Carriers(250e3, 0.3, {Carrier{-50e3, 5000, 0.5}, Carrier{52e3, 700, 0.8}}, 30);
    const std::vector<int16_t> whole = channelize(t, IqFormat::Cs16, bytes);
    ASSERT_GT(toneAmplitude(whole, 1, 2000), 1000);
    for (const std::vector<size_t>& pieces :
         {std::vector<size_t>{1}, std::vector<size_t>{3, 7, 1, 4093}, std::vector<size_t>{16385, 2, 5}}) {
        SCOPED_TRACE(pieces.size());
        EXPECT_EQ(channelize(t, IqFormat::Cs16, bytes, pieces), whole);
    }
}

TEST(IqChannelizer, FloatSamplesThatAreNotNumbersOrHugeAreForgottenAtOnce)
{
    // Not-a-number, infinite and huge float samples early on: they neither
    // poison the filters nor deafen the channel; the tone after them is at its level.
    IqTuning t{250e3, 131.5e6, {131.45e6, 131.55e6}};
    const std::vector<std::byte> cs16 = cs16Carriers(250e3, 0.5, {Carrier{-50e3, 3000, 0.5}, Carrier{}}, 3);
    std::vector<std::byte> bytes(cs16.size() * 2);
    for (size_t k = 0; k < cs16.size() / 2; ++k) {
        auto v = static_cast<int16_t>(
            static_cast<uint16_t>(static_cast<uint8_t>(cs16[2 * k]) | (static_cast<uint8_t>(cs16[2 * k + 1]) << 8)));
        float f = static_cast<float>(v) / 32768.0f;
        if (k == 2000 || k == 2001)
            f = NAN;
        else if (k == 4000)
            f = -INFINITY;
        else if (k == 6000 || k == 6003)
            f = 3e38f;
        std::memcpy(&bytes[4 * k], &f, 4);
    }
    const std::vector<int16_t> audio = channelize(t, IqFormat::Cf32, bytes);
    ASSERT_GT(audio.size(), 2u * 10000);
    EXPECT_NEAR(toneAmplitude(audio, 0, kSampleRateHz / 5), 0.5 * IqChannelizer::kAudioLevel, 0.05 * 8000);
}

TEST(IqFileName, RateCentreAndFormatFromTheName)
{
    struct Case {
        const char* name;
        double rate, centre; // 0: not found
        const char* format;  // "": not found
    };
    const Case cases[] = {
        {"rec_131700000Hz_2400000sps.cu8", 2.4e6, 131.7e6, "cu8"},
        {"/home/u/iq/acars-131.7MHz-2.4Msps.cs16", 2.4e6, 131.7e6, "cs16"},
        {"acars_131700kHz_2048ksps.CS8", 2.048e6, 131.7e6, "cs8"},
        {"g001_131.7M_250k.cu8", 250e3, 131.7e6, "cu8"},
        {"g002_131.7M_2.4M.cu8", 2.4e6, 131.7e6, "cu8"},
        {"gqrx_20261210_123456_131700000_2400000_fc.raw", 2.4e6, 131.7e6, "cf32"},
        {"SDR 131.725mhz 1.2MSPS.iq", 1.2e6, 131.725e6, ""},
        {"capture.bin", 0, 0, ""},
        {"night_20261210.cu8", 0, 0, "cu8"},
        {"x_0sps_0Hz.cu8", -1, -1, "cu8"}, // found, and zero: refused later
        {"dir_131700000Hz/plain.cs16", 0, 0, "cs16"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const IqNameInfo info = parseIqFileName(c.name);
        if (c.rate == 0)
            EXPECT_FALSE(info.sampleRateHz.has_value());
        else
            EXPECT_EQ(info.sampleRateHz.value_or(-2), c.rate < 0 ? 0 : c.rate);
        if (c.centre == 0)
            EXPECT_FALSE(info.centreHz.has_value());
        else
            EXPECT_EQ(info.centreHz.value_or(-2), c.centre < 0 ? 0 : c.centre);
        EXPECT_EQ(info.format ? std::string(iqFormatName(*info.format)) : std::string(), c.format);
    }
    EXPECT_TRUE(isIqFileName("a/b.RAW"));
    EXPECT_TRUE(isIqFileName("x.cs16"));
    EXPECT_FALSE(isIqFileName("x.wav"));
    EXPECT_FALSE(isIqFileName("cu8"));
}

TEST(IqFileReader, BadFilesGiveOneLineAndNothingElse)
{
    TempDir dir;
    struct Case {
        const char* name;
        size_t bytes;
        const char* want;
    };
    const Case cases[] = {
        {"odd_131700000Hz_2400000sps.cu8", 13, "not a whole number of cu8 samples"},
        {"odd_131700000Hz_2400000sps.cs16", 14, "not a whole number of cs16 samples"},
        {"rate_0sps.cu8", 12, "sample rate 0 Hz"},
        {"far_10GHz.cu8", 12, "centre frequency"},
        {"narrow_131700000Hz_500000sps.cu8", 12, "span 500 kHz"},
        {"away_140MHz.cu8", 12, "frequency 1"},
        {"empty_131700000Hz_2400000sps.cu8", 0, "empty"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(c.name);
        writeBytes(path, std::vector<std::byte>(c.bytes, std::byte{128}));
        std::string error;
        EXPECT_EQ(IqFileReader::open(path, IqFileSettings{}, error), nullptr);
        EXPECT_NE(error.find(c.want), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
    std::string error;
    EXPECT_EQ(IqFileReader::open(dir.file("missing.cu8"), IqFileSettings{}, error), nullptr);
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}

TEST(IqFileReader, SettingsStandInForTheNameAndGivenValuesWinOverIt)
{
    TempDir dir;
    const std::string named = dir.file("r_131600000Hz_1024000sps.cs16");
    const std::string plain = dir.file("plain.raw");
    const std::vector<std::byte> bytes = cs16Carriers(1.024e6, 0.25, {Carrier{-150e3, 4000}, Carrier{}});
    writeBytes(named, bytes);
    writeBytes(plain, bytes);
    IqFileSettings s;
    s.sampleRateHz = 2.4e6;
    s.format = IqFormat::Cs16;
    std::string error;
    auto reader = IqFileReader::open(named, s, error);
    ASSERT_NE(reader, nullptr) << error;
    EXPECT_EQ(reader->tuning().sampleRateHz, 1.024e6);
    EXPECT_EQ(reader->tuning().centreHz, 131.6e6);
    reader = IqFileReader::open(plain, s, error);
    ASSERT_NE(reader, nullptr) << error;
    EXPECT_EQ(reader->tuning().sampleRateHz, 2.4e6);
    EXPECT_EQ(reader->tuning().centreHz, 131.7e6); // midway between the two
    EXPECT_EQ(reader->format(), IqFormat::Cs16);
    s.sampleRateHz = 1.024e6;
    s.centreHz = 131.6e6;
    s.rateGiven = s.centreGiven = true;
    reader = IqFileReader::open(plain, s, error);
    ASSERT_NE(reader, nullptr) << error;
    EXPECT_EQ(reader->tuning().centreHz, 131.6e6);
    // 0.25 s: 11 blocks, the last completed with silence; the tone is on the left.
    std::vector<int16_t> audio;
    ChannelBlock block;
    CaptureBlock stereo;
    while (reader->read(block)) {
        block.toStereo(stereo);
        audio.insert(audio.end(), stereo.begin(), stereo.end());
    }
    EXPECT_EQ(audio.size(), 11u * kCaptureBlockSamples);
    EXPECT_EQ(reader->blocksRead(), 11u);
    EXPECT_GT(toneAmplitude(audio, 0, 2000), 6000);
}

} // namespace
} // namespace varnesk

namespace varnesk {
namespace {

TEST(IqChannelizer, SixteenChannelsEachHearTheirOwnCarrierLockedWithItsLevel)
{
    // 2.4 MS/s, 16 channels 125 kHz apart; carriers on channels 1 (2.6 kHz
    // high, as 20 ppm puts it), 8 (2.6 kHz low, 20 dB weaker) and 16.
    IqTuning t;
    t.sampleRateHz = 2.4e6;
    t.centreHz = 130.9625e6;
    t.channelHz.clear();
    for (int c = 0; c < 16; ++c)
        t.channelHz.push_back(130.025e6 + c * 125e3);
    ASSERT_EQ(CheckIqTuning(t), "");
    const double seconds = 0.4;
    const auto n = static_cast<size_t>(seconds * t.sampleRateHz);
    struct On {
        size_t channel;
        double offsetHz, level;
    };
    const On on[] = {{0, 2600, 8000}, {7, -2600, 800}, {15, 0, 4000}};
    std::vector<std::byte> bytes(n * 4);
    std::mt19937 rng(3);
    std::normal_distribution<double> gauss(0, 20);
    for (size_t k = 0; k < n; ++k) {
        const double time = static_cast<double>(k) / t.sampleRateHz;
        double i = gauss(rng), q = gauss(rng);
        for (const On& o : on) {
            const double a = o.level * (1 + 0.5 * std::sin(2 * std::numbers::pi * 1200 * time));
            const double w = 2 * std::numbers::pi * (t.channelHz[o.channel] - t.centreHz + o.offsetHz) * time;
            i += a * std::cos(w);
            q += a * std::sin(w);
        }
        const auto vi = static_cast<uint16_t>(static_cast<int16_t>(std::lround(i)));
        const auto vq = static_cast<uint16_t>(static_cast<int16_t>(std::lround(q)));
        bytes[4 * k] = static_cast<std::byte>(vi & 0xFF);
        bytes[4 * k + 1] = static_cast<std::byte>(vi >> 8);
        bytes[4 * k + 2] = static_cast<std::byte>(vq & 0xFF);
        bytes[4 * k + 3] = static_cast<std::byte>(vq >> 8);
    }
    std::vector<std::vector<int16_t>> audio(16);
    ChannelBlock last;
    IqChannelizer channelizer(t, [&](const ChannelBlock& block) {
        ASSERT_EQ(block.channels, 16);
        for (size_t c = 0; c < 16; ++c)
            audio[c].insert(audio[c].end(), block.samples[c].begin(), block.samples[c].end());
        last = block;
    });
    EXPECT_GT(channelizer.bins(), 1);
    channelizer.push(IqFormat::Cs16, bytes);
    for (const On& o : on)
        EXPECT_TRUE(channelizer.carrierLocked(static_cast<int>(o.channel))) << o.channel;
    EXPECT_FALSE(channelizer.carrierLocked(3));
    channelizer.flush();
    // From 0.2 s to 0.35 s: settled, and clear of the silence that completes the last block.
    auto tone = [](const std::vector<int16_t>& mono) {
        double s = 0, c = 0;
        size_t m = 0;
        for (size_t f = kSampleRateHz / 5; f < std::min(mono.size(), size_t{kSampleRateHz * 35 / 100}); ++f, ++m) {
            const double w = 2 * std::numbers::pi * 1200 * static_cast<double>(f) / kSampleRateHz;
            s += mono[f] * std::sin(w);
            c += mono[f] * std::cos(w);
        }
        return 2 * std::hypot(s, c) / static_cast<double>(m);
    };
    for (size_t c = 0; c < 16; ++c) {
        SCOPED_TRACE(c);
        const bool carried = c == 0 || c == 7 || c == 15;
        if (carried)
            EXPECT_NEAR(tone(audio[c]), 0.5 * IqChannelizer::kAudioLevel, 0.05 * 8000);
        else // noise lifted to the bursts' loudness, but no tone from a neighbour or its alias
            EXPECT_LT(tone(audio[c]), 0.1 * 8000);
    }
    // The carriers' levels: full scale 32768, so 8000 is −12.2 dBFS; 20 dB between 1 and 8.
    EXPECT_NEAR(last.carrierDb[0], 20 * std::log10(8000.0 / 32768), 0.5);
    EXPECT_NEAR(last.carrierDb[0] - last.carrierDb[7], 20.0, 0.5);
}

TEST(IqTuning, FrequencyListsAreReadOrRefusedWithAReason)
{
    std::string error;
    EXPECT_EQ(parseFrequencyList("131.550 130.025,130.425", error),
              (std::vector<double>{131.55e6, 130.025e6, 130.425e6}));
    for (const char* bad : {"", "131.45 abc", "131.45 -1", "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17"}) {
        error.clear();
        EXPECT_TRUE(parseFrequencyList(bad, error).empty()) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    IqTuning t;
    t.channelHz.assign(17, 131.45e6);
    t.centreHz = 131.5e6;
    EXPECT_NE(CheckIqTuning(t).find("at most 16"), std::string::npos);
}

} // namespace
} // namespace varnesk
