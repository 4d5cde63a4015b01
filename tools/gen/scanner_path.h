// A scanner's audio path for generated signals: 300 Hz second-order
// high-pass and 3000 Hz fourth-order low-pass (Butterworth, bilinear, at
// 22050 Hz), then a DC offset, as a receiver's audio filters shape both the
// signal and the noise in front of them.
#pragma once

#include <array>
#include <complex>
#include <cstdint>
#include <vector>

namespace varnesk::gen {

// One second-order section.
struct Biquad {
    double b0, b1, b2, a1, a2;
    double z1 = 0, z2 = 0;
    double step(double x)
    {
        const double y = b0 * x + z1;
        z1 = b1 * x - a1 * y + z2;
        z2 = b2 * x - a2 * y;
        return y;
    }
    // The section's response at hz (22050 Hz sampling).
    std::complex<double> response(double hz) const;
};

Biquad butterworth(double fc, double q, bool highPass);

// The three sections of the path, fresh.
std::array<Biquad, 3> scannerSections();

// Both channels of interleaved stereo audio through the path, plus dc.
void scannerPath(std::vector<int16_t>& audio, double dc);

} // namespace varnesk::gen
