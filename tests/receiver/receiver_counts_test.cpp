// The receiver's per-channel counts of syncs found, frames delivered and
// captures dropped, over generated traffic on both channels.
#include "receiver/receiver.h"

#include "acars/raw_text.h"

#include "acars_signal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace varnesk {
namespace {

// Both channels of interleaved audio through one Receiver (its first two of
// the channels it has), block by block,
// keeping the raw text of every frame each channel hands on.
struct Listener {
    Receiver receiver;
    std::array<std::vector<std::string>, kCaptureChannels> frames;

    void run(const std::vector<int16_t>& audio, const std::function<void()>& afterBlock = {})
    {
        std::array<double, chain::kBlockFrames> samples{};
        for (size_t at = 0; at < audio.size(); at += 2 * chain::kBlockFrames) {
            for (int c = 0; c < kCaptureChannels; ++c) {
                for (size_t n = 0; n < samples.size(); ++n) {
                    const size_t i = at + 2 * n + static_cast<size_t>(c);
                    samples[n] = i < audio.size() ? audio[i] : 0;
                }
                if (auto f = receiver.processChannel(c, samples))
                    frames[static_cast<size_t>(c)].push_back(renderFrameRawText(f->slots, f->bitCount));
            }
            if (afterBlock)
                afterBlock();
        }
    }
};

std::vector<gen::Burst> traffic(uint32_t seed, int perChannel)
{
    std::mt19937 rng(seed);
    std::vector<gen::Burst> bursts = gen::randomTraffic(rng, 0, perChannel, 0.3, 128);
    const auto right = gen::randomTraffic(rng, 1, perChannel, 0.61, 128);
    bursts.insert(bursts.end(), right.begin(), right.end());
    return bursts;
}

void expectCountsAddUp(const ReceiverCounts& n)
{
    EXPECT_EQ(n.syncsFound,
              n.framesDelivered + n.parityBreaks + n.badCrc + n.lengthLimitCloses + n.bufferOverruns + n.capturesOpen);
}

TEST(ReceiverCounts, NoisyTrafficAddsUpPerChannelAcrossAReset)
{
    // At Eb/N0 12 dB most blocks decode and some captures break. The counts are
    // reset while channel 0 is inside a capture; that capture stays counted as
    // found, so everything still adds up at the end.
    gen::SignalOptions options;
    options.noise = true;
    options.ebN0Db = 12;
    options.seed = 12;
    const std::vector<int16_t> audio = gen::renderStereo(traffic(12, 60), options);

    Listener listener;
    Receiver& receiver = listener.receiver;
    const size_t resetAfter = audio.size() / (2 * chain::kBlockFrames) / 4;
    size_t blocks = 0;
    bool reset = false;
    listener.run(audio, [&] {
        if (reset || ++blocks < resetAfter || receiver.counts(0).capturesOpen == 0)
            return;
        receiver.resetCounts();
        EXPECT_EQ(receiver.counts(0), (ReceiverCounts{.syncsFound = 1, .capturesOpen = 1}));
        const uint64_t open1 = receiver.counts(1).capturesOpen;
        EXPECT_EQ(receiver.counts(1), (ReceiverCounts{.syncsFound = open1, .capturesOpen = open1}));
        for (auto& f : listener.frames)
            f.clear();
        reset = true;
    });
    ASSERT_TRUE(reset);

    for (int c = 0; c < kCaptureChannels; ++c) {
        SCOPED_TRACE(c);
        const ReceiverCounts& n = receiver.counts(c);
        expectCountsAddUp(n);
        EXPECT_EQ(n.framesDelivered, listener.frames[static_cast<size_t>(c)].size());
        EXPECT_GT(n.framesDelivered, 20u);
        EXPECT_GT(n.parityBreaks + n.badCrc, 0u);
        EXPECT_EQ(n.bufferOverruns, 0u);
    }
    const ReceiverCounts total = receiver.totalCounts();
    expectCountsAddUp(total);
    EXPECT_EQ(total.framesDelivered, listener.frames[0].size() + listener.frames[1].size());
    EXPECT_EQ(total.syncsFound, receiver.counts(0).syncsFound + receiver.counts(1).syncsFound);
}

TEST(ReceiverCounts, CleanTrafficFindsOneSyncPerBlockAndDropsNothing)
{
    const std::vector<gen::Burst> bursts = traffic(13, 15);
    Listener listener;
    listener.run(gen::renderStereo(bursts, gen::SignalOptions{}));
    for (int c = 0; c < kCaptureChannels; ++c) {
        SCOPED_TRACE(c);
        const auto sent = static_cast<uint64_t>(
            std::count_if(bursts.begin(), bursts.end(), [c](const gen::Burst& b) { return b.channel == c; }));
        EXPECT_EQ(listener.frames[static_cast<size_t>(c)].size(), sent);
        EXPECT_EQ(listener.receiver.counts(c), (ReceiverCounts{.syncsFound = sent, .framesDelivered = sent}));
    }
}

} // namespace
} // namespace varnesk
