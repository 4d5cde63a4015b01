// Overload count, input band filter and level control of one channel.
#include "receiver/channel_filter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace varnesk {

void bandFilter(ChannelState& state, BlockOut x)
{
    int over = 0;
    for (const double v : x) {
        // Truncation towards zero, so −32700.9 does not count and −32701 does.
        const long long whole = static_cast<long long>(std::trunc(std::clamp(v, -1e15, 1e15)));
        if (std::llabs(whole) > chain::kClipThreshold)
            ++over;
    }
    state.overload = over > chain::kOverloadSamples;
    firSymmetric(chain::kBandTaps, state.bandDelay, x, x);
}

namespace {

template <size_t N>
[[gnu::always_inline]] inline void levelControlN(const std::array<ChannelState*, N>& states,
                                                 const std::array<double*, N>& x)
{
    std::array<double, N> w1, w2;
    for (size_t c = 0; c < N; ++c) {
        w1[c] = states[c]->levelState[0];
        w2[c] = states[c]->levelState[1];
    }
    for (int n = 0; n < chain::kBlockFrames; ++n) {
        for (size_t c = 0; c < N; ++c) {
            double& v = x[c][n];
            const double w0 = std::fabs(v) + chain::kLevelA1 * w1[c] + chain::kLevelA2 * w2[c];
            double level = chain::kLevelB0 * w0 + chain::kLevelB1 * w1[c] + chain::kLevelB2 * w2[c];
            w2[c] = w1[c];
            w1[c] = w0;
            if (level < chain::kLevelFloor)
                level = chain::kLevelFloor;
            v *= chain::kLevelTarget / level;
        }
    }
    for (size_t c = 0; c < N; ++c)
        states[c]->levelState = {w1[c], w2[c]};
}

} // namespace

void levelControl(ChannelState& state, BlockOut x)
{
    levelControlN<1>({&state}, {x.data()});
}

void levelControlPair(ChannelState& a, ChannelState& b, BlockOut xa, BlockOut xb)
{
    levelControlN<2>({&a, &b}, {xa.data(), xb.data()});
}

} // namespace varnesk
