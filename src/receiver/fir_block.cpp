// Block FIR filters. The outer loop runs over the taps and the inner one over
// the 512 outputs, so the compiler can vectorise the inner loop; the AVX2 copy
// is chosen at load time where the processor has it.
#include "receiver/fir_block.h"
#include "receiver/multiversion.h"

#include <algorithm>
#include <cstring>

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

// Outputs are taken 16 at a time and their sums kept in registers (four
// vectors of four) over all taps; each output still adds its terms in the same
// order (centre, then k = 0 … 24), so the results are those of the plain loop,
// bit for bit.
using Quad = double __attribute__((vector_size(32)));

[[gnu::always_inline]] inline void loadQuad(Quad& v, const double* p)
{
    std::memcpy(&v, p, sizeof v);
}

[[gnu::always_inline]] inline void storeQuad(double* p, const Quad& v)
{
    std::memcpy(p, &v, sizeof v);
}

// acc += hk · (a ± b) for four outputs starting at a and b.
template <bool kAdd>
[[gnu::always_inline]] inline void accumulate(Quad& acc, double hk, const double* a, const double* b)
{
    Quad x, y;
    loadQuad(x, a);
    loadQuad(y, b);
    if constexpr (kAdd)
        acc += hk * (x + y);
    else
        acc += hk * (x - y);
}

VARNESK_TARGET_CLONES
void firSymmetric(const std::array<double, chain::kTaps>& h, FilterHistory& history, BlockIn in, BlockOut out)
{
    WorkRow w;
    loadRow(w, history, in);
    const double centre = h[kMid];
    for (int n0 = 0; n0 < kN; n0 += 16) {
        const double* mid = w.data() + kMid + n0;
        Quad a0, a1, a2, a3;
        loadQuad(a0, mid);
        loadQuad(a1, mid + 4);
        loadQuad(a2, mid + 8);
        loadQuad(a3, mid + 12);
        a0 = centre * a0;
        a1 = centre * a1;
        a2 = centre * a2;
        a3 = centre * a3;
        for (int k = 0; k < kMid; ++k) {
            const double hk = h[static_cast<size_t>(k)];
            const double* newer = w.data() + kH - k + n0; // x[n − k]
            const double* older = w.data() + k + n0;      // x[n − 50 + k]
            accumulate<true>(a0, hk, newer, older);
            accumulate<true>(a1, hk, newer + 4, older + 4);
            accumulate<true>(a2, hk, newer + 8, older + 8);
            accumulate<true>(a3, hk, newer + 12, older + 12);
        }
        double* o = out.data() + n0;
        storeQuad(o, a0);
        storeQuad(o + 4, a1);
        storeQuad(o + 8, a2);
        storeQuad(o + 12, a3);
    }
    saveHistory(history, w);
}

VARNESK_TARGET_CLONES
void firAntisymmetric(const std::array<double, chain::kTaps>& h, FilterHistory& history, BlockIn in, BlockOut out,
                      BlockOut delayed)
{
    WorkRow w;
    loadRow(w, history, in);
    for (int n0 = 0; n0 < kN; n0 += 16) {
        Quad a0 = {}, a1 = {}, a2 = {}, a3 = {};
        for (int k = 0; k < kMid; ++k) {
            const double hk = h[static_cast<size_t>(k)];
            const double* newer = w.data() + kH - k + n0;
            const double* older = w.data() + k + n0;
            accumulate<false>(a0, hk, newer, older);
            accumulate<false>(a1, hk, newer + 4, older + 4);
            accumulate<false>(a2, hk, newer + 8, older + 8);
            accumulate<false>(a3, hk, newer + 12, older + 12);
        }
        double* o = out.data() + n0;
        storeQuad(o, a0);
        storeQuad(o + 4, a1);
        storeQuad(o + 8, a2);
        storeQuad(o + 12, a3);
    }
    saveHistory(history, w);
    std::copy(w.begin() + kMid, w.begin() + kMid + kN, delayed.begin());
}

} // namespace varnesk
