// The ACARS signal generator's on-air form: characters with odd parity, start
// and suffix characters, and phase-continuous MSK on the two tones.
#include "acars_signal.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <numbers>

namespace varnesk {
namespace {

TEST(SignalGenerator, OnAirBytesCarryOddParityStartCharactersAndDelSuffix)
{
    gen::BlockSpec block;
    block.text = "M01AJL0001HELLO";
    const std::vector<uint8_t> bytes = gen::onAirBytes(block);
    const std::string chars = gen::blockChars(block);
    ASSERT_EQ(bytes.size(), chars.size() + 3); // two BCS bytes and DEL
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
