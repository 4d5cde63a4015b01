#include "scanner_path.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace varnesk::gen {

namespace {
constexpr double kRateHz = 22050;
}

std::complex<double> Biquad::response(double hz) const
{
    const std::complex<double> z = std::polar(1.0, -2 * std::numbers::pi * hz / kRateHz);
    return (b0 + b1 * z + b2 * z * z) / (1.0 + a1 * z + a2 * z * z);
}

Biquad butterworth(double fc, double q, bool highPass)
{
    const double w = 2 * std::numbers::pi * fc / kRateHz;
    const double alpha = std::sin(w) / (2 * q);
    const double c = std::cos(w);
    const double a0 = 1 + alpha;
    if (highPass)
        return {(1 + c) / 2 / a0, -(1 + c) / a0, (1 + c) / 2 / a0, -2 * c / a0, (1 - alpha) / a0};
    return {(1 - c) / 2 / a0, (1 - c) / a0, (1 - c) / 2 / a0, -2 * c / a0, (1 - alpha) / a0};
}

std::array<Biquad, 3> scannerSections()
{
    return {butterworth(300, 0.7071, true), butterworth(3000, 0.5412, false), butterworth(3000, 1.3066, false)};
}

void scannerPath(std::vector<int16_t>& audio, double dc)
{
    for (size_t ch = 0; ch < 2; ++ch) {
        std::array<Biquad, 3> path = scannerSections();
        for (size_t n = ch; n < audio.size(); n += 2) {
            double y = audio[n];
            for (Biquad& s : path)
                y = s.step(y);
            audio[n] = static_cast<int16_t>(std::clamp(std::nearbyint(y + dc), -32768.0, 32767.0));
        }
    }
}

} // namespace varnesk::gen
