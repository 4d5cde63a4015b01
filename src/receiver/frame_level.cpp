#include "receiver/frame_level.h"

#include <algorithm>
#include <cmath>

namespace varnesk {

namespace {

constexpr double kFullScale = 32768.0;
constexpr double kBitRate = 2400.0;
constexpr int kStartChars = 5; // "+" "*" SYN SYN SOH before the frame's characters

} // namespace

FrameLevel::FrameLevel()
{
    for (Channel& c : m_channels) {
        c.power.assign(kHistoryPieces, 0.0);
        c.carrier.assign(kHistoryPieces, -1.0);
    }
}

void FrameLevel::addBlock(int channel, std::span<const double, kFramesPerBlock> samples,
                          std::optional<double> carrierDbfs)
{
    if (channel < 0 || channel >= kMaxRadioChannels)
        return;
    Channel& ch = m_channels[static_cast<size_t>(channel)];
    const double carrier = carrierDbfs && std::isfinite(*carrierDbfs) ? std::pow(10.0, *carrierDbfs / 20.0) : -1.0;
    for (int p = 0; p < kPiecesPerBlock; ++p) {
        double sum = 0;
        for (int n = p * kPieceSamples; n < (p + 1) * kPieceSamples; ++n)
            sum += samples[static_cast<size_t>(n)] * samples[static_cast<size_t>(n)];
        const auto at = static_cast<size_t>(ch.pieces % kHistoryPieces);
        ch.power[at] = sum;
        ch.carrier[at] = carrier;
        ++ch.pieces;
    }
}

std::optional<double> FrameLevel::frameLevelDb(int channel, int bitCount) const
{
    if (channel < 0 || channel >= kMaxRadioChannels)
        return std::nullopt;
    const Channel& ch = m_channels[static_cast<size_t>(channel)];
    const double seconds = (kStartChars * 8 + std::max(bitCount, 0)) / kBitRate;
    const int span = std::clamp(static_cast<int>(std::lround(seconds * kSampleRateHz / kPieceSamples)), 1,
                                kHistoryPieces - kLatePieces);
    const long long available = std::min<long long>(ch.pieces, kHistoryPieces);
    if (available == 0)
        return std::nullopt;
    const int window = static_cast<int>(std::min<long long>(span, available));
    const int searched = static_cast<int>(std::min<long long>(span + kLatePieces, available));
    auto piece = [&](int back) { return static_cast<size_t>((ch.pieces - 1 - back) % kHistoryPieces); };
    // Sliding sum over the last `searched` pieces, newest first.
    double sum = 0;
    for (int k = 0; k < window; ++k)
        sum += ch.power[piece(k)];
    double best = sum;
    int bestEnd = 0; // pieces back from the newest
    for (int end = 1; end + window <= searched; ++end) {
        sum += ch.power[piece(end + window - 1)] - ch.power[piece(end - 1)];
        if (sum > best) {
            best = sum;
            bestEnd = end;
        }
    }
    // The carrier's level is measured per capture block, so the blocks at the
    // frame's two ends are partly unkeyed: left out where the frame spans more.
    const int trim = window > 3 * kPiecesPerBlock ? kPiecesPerBlock : 0;
    double carrierSum = 0;
    int carrierPieces = 0;
    for (int k = bestEnd + trim; k < bestEnd + window - trim; ++k)
        if (const double c = ch.carrier[piece(k)]; c >= 0) {
            carrierSum += c;
            ++carrierPieces;
        }
    if (carrierPieces > 0)
        return 20.0 * std::log10(std::max(carrierSum / carrierPieces, 1e-12));
    const double meanSquare = std::max(best, 0.0) / (static_cast<double>(window) * kPieceSamples);
    return 20.0 * std::log10(std::max(std::sqrt(2.0 * meanSquare), 1e-9) / kFullScale);
}

} // namespace varnesk
