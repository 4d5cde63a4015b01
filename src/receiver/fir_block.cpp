// Block FIR filters. The outer loop runs over the taps and the inner one over
// the 512 outputs, so the compiler can vectorise the inner loop; the AVX2 copy
// is chosen at load time where the processor has it.
#include "receiver/fir_block.h"
#include "receiver/multiversion.h"

#include <algorithm>

namespace varnesk {

namespace {

constexpr int kN = chain::kBlockFrames;
constexpr int kH = chain::kHistory;
constexpr int kMid = chain::kTaps / 2; // 25

// Work row: the 50 previous inputs, then the 512 new ones. w[kH + n] = x[n],
// so x[n − k] = w[kH + n − k].
using WorkRow = std::array<double, kH + kN>;

void loadRow(WorkRow& w, const FilterHistory& history, BlockIn in)
{
    std::copy(history.begin(), history.end(), w.begin());
    std::copy(in.begin(), in.end(), w.begin() + kH);
}

void saveHistory(FilterHistory& history, const WorkRow& w)
{
    std::copy(w.end() - kH, w.end(), history.begin());
}

} // namespace

VARNESK_TARGET_CLONES
void firSymmetric(const std::array<double, chain::kTaps>& h, FilterHistory& history, BlockIn in, BlockOut out)
{
    WorkRow w;
    loadRow(w, history, in);
    alignas(64) std::array<double, kN> acc;
    const double centre = h[kMid];
    for (int n = 0; n < kN; ++n)
        acc[static_cast<size_t>(n)] = centre * w[static_cast<size_t>(kMid + n)];
    for (int k = 0; k < kMid; ++k) {
        const double hk = h[static_cast<size_t>(k)];
        const double* newer = w.data() + kH - k; // x[n − k]
        const double* older = w.data() + k;      // x[n − 50 + k]
        for (int n = 0; n < kN; ++n)
            acc[static_cast<size_t>(n)] += hk * (newer[n] + older[n]);
    }
    saveHistory(history, w);
    std::copy(acc.begin(), acc.end(), out.begin());
}

VARNESK_TARGET_CLONES
void firAntisymmetric(const std::array<double, chain::kTaps>& h, FilterHistory& history, BlockIn in,
                      BlockOut out, BlockOut delayed)
{
    WorkRow w;
    loadRow(w, history, in);
    alignas(64) std::array<double, kN> acc{};
    for (int k = 0; k < kMid; ++k) {
        const double hk = h[static_cast<size_t>(k)];
        const double* newer = w.data() + kH - k;
        const double* older = w.data() + k;
        for (int n = 0; n < kN; ++n)
            acc[static_cast<size_t>(n)] += hk * (newer[n] - older[n]);
    }
    saveHistory(history, w);
    std::copy(w.begin() + kMid, w.begin() + kMid + kN, delayed.begin());
    std::copy(acc.begin(), acc.end(), out.begin());
}

} // namespace varnesk
