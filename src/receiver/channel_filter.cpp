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

void levelControl(ChannelState& state, BlockOut x)
{
    double w1 = state.levelState[0];
    double w2 = state.levelState[1];
    for (double& v : x) {
        const double w0 = std::fabs(v) + chain::kLevelA1 * w1 + chain::kLevelA2 * w2;
        double level = chain::kLevelB0 * w0 + chain::kLevelB1 * w1 + chain::kLevelB2 * w2;
        w2 = w1;
        w1 = w0;
        if (level < chain::kLevelFloor)
            level = chain::kLevelFloor;
        v *= chain::kLevelTarget / level;
    }
    state.levelState = {w1, w2};
}

} // namespace varnesk
