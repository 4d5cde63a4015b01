// The ACARS signal generator's on-air form: characters with odd parity, start
// and suffix characters, and phase-continuous MSK on the two tones; its
// on-air traffic mix.
#include "acars_signal.h"
#include "tracking/position_decoder.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <map>
#include <numbers>
#include <string>
#include <vector>

namespace varnesk {
namespace {

TEST(SignalGenerator, OnAirBytesCarryOddParityStartCharactersAndDelSuffix)
{
    gen::BlockSpec block;
    block.text = "M01AJL0001HELLO";
    const std::vector<uint8_t> bytes = gen::onAirBytes(block);
    const std::string chars = gen::blockChars(block);
    ASSERT_EQ(bytes.size(), chars.size() + 3);              // two BCS bytes and DEL
    const uint8_t start[] = {0xAB, 0x2A, 0x16, 0x16, 0x01}; // "+" "*" SYN SYN SOH with odd parity
    EXPECT_TRUE(std::equal(std::begin(start), std::end(start), bytes.begin()));
    for (size_t i = 0; i < chars.size(); ++i) {
        EXPECT_EQ(std::popcount(static_cast<unsigned>(bytes[i])) % 2, 1) << i;
        EXPECT_EQ(bytes[i] & 0x7F, static_cast<uint8_t>(chars[i])) << i;
    }
    EXPECT_EQ(bytes.back(), 0x7F);
    EXPECT_EQ(chars.back(), '\x03');
    EXPECT_EQ(chars.substr(5, 8), std::string("2.JA8089"));
}

TEST(SignalGenerator, MskIsPhaseContinuousOnTheTwoTones)
{
    gen::BlockSpec block;
    block.text = "M01AJL0001HELLO";
    gen::Burst burst;
    burst.block = block;
    burst.startSeconds = 0.1;
    gen::SignalOptions options;
    options.peak = 10000;
    options.preKeyBits = 240; // 0.1 s of the upper tone
    const std::vector<int16_t> audio = gen::renderStereo(std::span<const gen::Burst>(&burst, 1), options);
    // Pre-key: 2400 Hz, so about 2400 · 0.09 rising zero crossings in 0.09 s.
    int crossings = 0;
    const size_t first = 2205 + 50;
    for (size_t n = first; n < first + 1985; ++n)
        crossings += audio[2 * n] < 0 && audio[2 * n + 2] >= 0;
    EXPECT_NEAR(crossings, 216, 2);
    // No jumps anywhere in the burst: a step never exceeds that of the 2400 Hz tone.
    const double maxStep = 10000 * 2 * std::numbers::pi * 2400 / 22050 + 2;
    for (size_t n = 2206; n < audio.size() / 2 - 1; ++n)
        ASSERT_LE(std::abs(audio[2 * n + 2] - audio[2 * n]), maxStep) << n;
    // Nothing on the other channel.
    for (size_t n = 0; n < audio.size() / 2; ++n)
        ASSERT_EQ(audio[2 * n + 1], 0);
}

TEST(SignalGenerator, RateErrorStretchesTheBurst)
{
    gen::BlockSpec block;
    block.text = std::string(200, 'X');
    gen::Burst burst;
    burst.block = block;
    gen::SignalOptions options;
    options.durationSeconds = 2.0;
    auto lastSample = [&](double ppm) {
        options.rateErrorPpm = ppm;
        const std::vector<int16_t> audio = gen::renderStereo(std::span<const gen::Burst>(&burst, 1), options);
        size_t last = 0;
        for (size_t n = 0; n < audio.size() / 2; ++n)
            if (audio[2 * n] != 0)
                last = n;
        return static_cast<double>(last);
    };
    const double nominal = lastSample(0);
    EXPECT_NEAR(nominal / 22050, gen::burstSeconds(block, options.preKeyBits), 2.0 / 22050);
    EXPECT_NEAR(lastSample(-1000) / nominal, 1.001, 0.0002);
}

} // namespace
} // namespace varnesk

namespace varnesk::gen {
namespace {

struct FixCollector : FixSink {
    std::map<std::string, std::vector<std::pair<double, double>>> tracks; // flight → (lat, lon) in order
    bool addFix(const TrackFix& f) override
    {
        tracks[std::string(f.flight)].emplace_back(f.latitude, f.longitude);
        return true;
    }
    void sortTrack(std::string_view) override { }
};

// The on-air mix: every kind in about its share, and every position report
// read by the program's position decoder, each aircraft's reports moving on
// along a route over Japan a few minutes of flight apart.
TEST(SignalGenerator, AirTrafficMixesKindsAndFliesTracksOverJapan)
{
    AirTraffic air(3);
    std::array<int, kBlockKinds> count{};
    FixCollector fixes;
    int reports = 0;
    constexpr int kBlocks = 2000;
    for (int i = 0; i < kBlocks; ++i) {
        const Burst b = air.next();
        ++count[static_cast<size_t>(b.kind)];
        const std::string chars = blockChars(b.block);
        ASSERT_GE(chars.size(), 18u); // "+" through the block id and the end character
        if (b.kind == BlockKind::Squitter) {
            EXPECT_EQ(chars.substr(5, 7), "2......");
            EXPECT_EQ(chars.substr(14, 3), std::string("SQ\0", 3));
        }
        if (b.kind != BlockKind::PositionReport)
            continue;
        ++reports;
        const std::string_view text = b.block.text;
        ASSERT_TRUE(DecodePositionReport(text.substr(10), text.substr(4, 6), text.substr(0, 4), b.block.label,
                                         b.block.address, {}, fixes))
            << text;
    }
    const double shares[] = {0.36, 0.19, 0.15, 0.10, 0.10, 0.10};
    for (int k = 0; k < kBlockKinds; ++k)
        EXPECT_NEAR(count[static_cast<size_t>(k)] / double(kBlocks), shares[k], 0.03) << blockKindName(BlockKind(k));
    int withTracks = 0;
    for (const auto& [flight, track] : fixes.tracks) {
        withTracks += track.size() >= 2;
        for (size_t i = 0; i < track.size(); ++i) {
            EXPECT_GT(track[i].first, 24.0);
            EXPECT_LT(track[i].first, 46.0);
            EXPECT_GT(track[i].second, 122.0);
            EXPECT_LT(track[i].second, 146.0);
            if (i > 0) { // a few minutes of flight: moved, and not far
                const double step =
                    std::hypot(track[i].first - track[i - 1].first, track[i].second - track[i - 1].second);
                EXPECT_GT(step, 0.01) << flight;
                EXPECT_LT(step, 1.5) << flight;
            }
        }
    }
    EXPECT_GE(withTracks, 10);
    EXPECT_GT(reports, 300);
}

} // namespace
} // namespace varnesk::gen
