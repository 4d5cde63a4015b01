// Writes the alert sound played on a search hit: two short rising chimes,
// 22050 Hz mono 16-bit PCM, about 0.6 s, faded in and out so it never clicks.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

void putLe(std::vector<uint8_t>& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-alert-wav OUT.wav\n");
        return 2;
    }
    constexpr int kRateHz = 22050;
    constexpr double kPi = 3.14159265358979323846;
    const double toneHz[2] = {880.0, 1318.5};
    constexpr double kToneSeconds = 0.25;
    constexpr double kGapSeconds = 0.05;

    std::vector<int16_t> samples;
    for (double hz : toneHz) {
        const int n = static_cast<int>(kToneSeconds * kRateHz);
        for (int i = 0; i < n; ++i) {
            const double t = static_cast<double>(i) / kRateHz;
            const double attack = std::min(1.0, t / 0.01);
            const double decay = std::exp(-t * 9.0);
            const double v = std::sin(2 * kPi * hz * t) * attack * decay;
            samples.push_back(static_cast<int16_t>(v * 16000));
        }
        for (int i = 0; i < static_cast<int>(kGapSeconds * kRateHz); ++i)
            samples.push_back(0);
    }

    std::vector<uint8_t> wav;
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    for (char c : {'R', 'I', 'F', 'F'})
        wav.push_back(static_cast<uint8_t>(c));
    putLe(wav, 36 + dataBytes, 4);
    for (char c : {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '})
        wav.push_back(static_cast<uint8_t>(c));
    putLe(wav, 16, 4);
    putLe(wav, 1, 2); // PCM
    putLe(wav, 1, 2); // mono
    putLe(wav, kRateHz, 4);
    putLe(wav, kRateHz * 2, 4); // bytes per second
    putLe(wav, 2, 2);           // block alignment
    putLe(wav, 16, 2);          // bits per sample
    for (char c : {'d', 'a', 't', 'a'})
        wav.push_back(static_cast<uint8_t>(c));
    putLe(wav, dataBytes, 4);
    for (int16_t s : samples)
        putLe(wav, static_cast<uint16_t>(s), 2);

    FILE* f = std::fopen(argv[1], "wb");
    if (!f) {
        std::perror(argv[1]);
        return 1;
    }
    const bool ok = std::fwrite(wav.data(), 1, wav.size(), f) == wav.size();
    return (std::fclose(f) == 0 && ok) ? 0 : 1;
}
