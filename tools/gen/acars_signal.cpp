// ACARS physical layer for test signals: characters of 7 bits, least
// significant first, plus odd parity; the BCS; differential line coding in
// which a 1 repeats the previous data bit and a 0 inverts it; MSK at 2400 bit/s
// with the line bit 1 on the 2400 Hz tone (one cycle per bit) and 0 on the
// 1200 Hz tone (half a cycle per bit), phase-continuous.
#include "acars_signal.h"

#include "acars/control_chars.h"
#include "acars/crc16.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace varnesk::gen {

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

} // namespace

std::string blockChars(const BlockSpec& block)
{
    std::string s(kFrameStart.begin(), kFrameStart.end());
    s.push_back(block.mode);
    std::string address = block.address.substr(0, 7);
    address.insert(0, 7 - address.size(), '.');
    s += address;
    s.push_back(block.ack);
    std::string label = block.label.substr(0, 2);
    label.resize(2, '.');
    s += label;
    s.push_back(block.blockId);
    if (!block.text.empty()) {
        s.push_back(static_cast<char>(kCharStx));
        s += block.text;
    }
    s.push_back(static_cast<char>(block.etx ? kCharEtx : kCharEtb));
    return s;
}

std::vector<uint8_t> onAirBytes(const BlockSpec& block)
{
    std::vector<uint8_t> out;
    for (const char c : blockChars(block))
        out.push_back(withOddParity(static_cast<uint8_t>(c)));
    // The BCS covers the mode character (after SOH) through the end character.
    const uint16_t bcs = blockCheck(std::span<const uint8_t>(out).subspan(5));
    out.push_back(static_cast<uint8_t>(bcs & 0xFF));
    out.push_back(static_cast<uint8_t>(bcs >> 8));
    out.push_back(kParityDel);
    return out;
}

std::vector<uint8_t> onAirBits(const BlockSpec& block, int preKeyBits)
{
    std::vector<uint8_t> bits(static_cast<size_t>(std::max(preKeyBits, 0)), 1);
    for (const uint8_t byte : onAirBytes(block))
        for (int b = 0; b < 8; ++b)
            bits.push_back(static_cast<uint8_t>((byte >> b) & 1));
    return bits;
}

double burstSeconds(const BlockSpec& block, int preKeyBits)
{
    return static_cast<double>(onAirBits(block, preKeyBits).size()) / kBitRate;
}

std::vector<int16_t> renderStereo(std::span<const Burst> bursts, const SignalOptions& options)
{
    const double bitSeconds = 1.0 / (kBitRate * (1.0 + options.rateErrorPpm * 1e-6));
    double duration = options.durationSeconds;
    if (duration <= 0.0) {
        for (const Burst& b : bursts)
            duration = std::max(duration, b.startSeconds + burstSeconds(b.block, options.preKeyBits) * (bitSeconds * kBitRate));
        duration += 0.5;
    }
    const auto frames = static_cast<size_t>(std::ceil(duration * kRateHz));
    std::vector<double> mix(frames * 2, options.dcOffset);

    for (const Burst& burst : bursts) {
        const std::vector<uint8_t> data = onAirBits(burst.block, options.preKeyBits);
        // Phase at the start of every bit; the line bit picks the tone.
        std::vector<double> phase(data.size() + 1, burst.startPhase);
        std::vector<double> freq(data.size(), 0.0);
        uint8_t previous = 1;
        for (size_t k = 0; k < data.size(); ++k) {
            const bool line = data[k] == previous;
            previous = data[k];
            freq[k] = line ? 2400.0 : 1200.0;
            phase[k + 1] = phase[k] + 2.0 * std::numbers::pi * freq[k] * bitSeconds;
        }
        const int ch = burst.channel == 1 ? 1 : 0;
        const auto first = static_cast<size_t>(std::max(0.0, std::ceil(burst.startSeconds * kRateHz)));
        const double end = burst.startSeconds + static_cast<double>(data.size()) * bitSeconds;
        for (size_t n = first; n < frames; ++n) {
            const double t = static_cast<double>(n) / kRateHz;
            if (t >= end)
                break;
            const double inBurst = t - burst.startSeconds;
            const auto k = std::min(static_cast<size_t>(inBurst / bitSeconds), data.size() - 1);
            const double tau = inBurst - static_cast<double>(k) * bitSeconds;
            mix[2 * n + static_cast<size_t>(ch)] += options.peak * std::sin(phase[k] + 2.0 * std::numbers::pi * freq[k] * tau);
        }
    }

    if (options.noise) {
        // White noise of one-sided density N0 sampled at 22050 Hz has variance N0 · 22050 / 2.
        const double ebN0 = std::pow(10.0, options.ebN0Db / 10.0);
        const double n0 = (options.peak * options.peak / 2.0) / kBitRate / ebN0;
        std::mt19937 rng(options.seed);
        std::normal_distribution<double> gauss(0.0, std::sqrt(n0 * kRateHz / 2.0));
        for (double& v : mix)
            v += gauss(rng);
    }

    std::vector<int16_t> out(mix.size());
    for (size_t i = 0; i < mix.size(); ++i)
        out[i] = static_cast<int16_t>(std::clamp(std::nearbyint(mix[i]), -32768.0, 32767.0));
    return out;
}

bool writeWav(const std::string& path, std::span<const int16_t> interleaved, std::string& error)
{
    // The RIFF sizes are 32-bit: about 13.5 hours of stereo audio at most.
    if (interleaved.size() > (0xFFFFFFFFull - 36) / 2) {
        error = "too long for a WAV file: " + path;
        return false;
    }
    const auto dataBytes = static_cast<uint32_t>(interleaved.size() * 2);
    std::vector<uint8_t> head;
    head.insert(head.end(), {'R', 'I', 'F', 'F'});
    put32(head, 36 + dataBytes);
    head.insert(head.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(head, 16);
    put16(head, 1);              // PCM
    put16(head, 2);              // channels
    put32(head, kRateHz);
    put32(head, kRateHz * 4);    // bytes per second
    put16(head, 4);              // block alignment
    put16(head, 16);             // bits
    head.insert(head.end(), {'d', 'a', 't', 'a'});
    put32(head, dataBytes);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = "cannot create " + path;
        return false;
    }
    std::vector<uint8_t> body(interleaved.size() * 2);
    for (size_t i = 0; i < interleaved.size(); ++i) {
        const auto v = static_cast<uint16_t>(interleaved[i]);
        body[2 * i] = static_cast<uint8_t>(v);
        body[2 * i + 1] = static_cast<uint8_t>(v >> 8);
    }
    const bool ok = std::fwrite(head.data(), 1, head.size(), f) == head.size()
        && std::fwrite(body.data(), 1, body.size(), f) == body.size();
    if (std::fclose(f) != 0 || !ok) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

BlockSpec randomBlock(std::mt19937& rng)
{
    auto pick = [&rng](std::string_view from) {
        return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(rng)];
    };
    auto chance = [&rng](double p) { return std::uniform_real_distribution<double>(0.0, 1.0)(rng) < p; };
    constexpr std::string_view kDigits = "0123456789";
    constexpr std::string_view kUpper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    constexpr std::string_view kLabels[] = {"H1", "5Z", "Q0", "SA", "10", "80", "B6", "_\x7f", "SQ", "15", "RA", "44"};

    BlockSpec b;
    const bool downlink = chance(0.7);
    b.mode = downlink ? pick("2ABCDEFGHIJKLMNOPQRSTUVWXYZ") : pick("abcdefghijklmnopqrstuvwxyz");
    std::string reg;
    if (chance(0.5)) {
        reg = "JA";
        for (int i = 0; i < 4; ++i)
            reg.push_back(i < 2 || chance(0.5) ? pick(kDigits) : pick(kUpper));
    } else {
        reg = "N";
        const int len = std::uniform_int_distribution<int>(3, 5)(rng);
        for (int i = 0; i < len; ++i)
            reg.push_back(pick(kDigits));
    }
    b.address = reg;
    b.ack = chance(0.6) ? static_cast<char>(kNak) : pick(downlink ? kUpper : kDigits);
    b.label = std::string(kLabels[std::uniform_int_distribution<size_t>(0, std::size(kLabels) - 1)(rng)]);
    b.blockId = downlink ? pick(kDigits) : pick(kUpper);
    // Every block has a text, so that it reaches 29 characters or more and the
    // block decoder accepts it; a downlink text starts with a message number
    // and a flight number whose last four characters are digits.
    std::string text;
    if (downlink) {
        text = "M";
        text += {pick(kDigits), pick(kDigits), pick(kUpper)};
        text += std::string("JL") + pick(kDigits) + pick(kDigits) + pick(kDigits) + pick(kDigits);
    }
    const int len = std::uniform_int_distribution<int>(downlink ? 0 : 10, 200)(rng);
    for (int i = 0; i < len; ++i) {
        if (chance(0.03)) {
            text += "\r\n";
            ++i;
        } else {
            text.push_back(static_cast<char>(std::uniform_int_distribution<int>(0x20, 0x7E)(rng)));
        }
    }
    b.text = text;
    b.etx = chance(0.85);
    return b;
}

std::vector<Burst> randomTraffic(std::mt19937& rng, int channel, int count, double startSeconds, int preKeyBits)
{
    std::vector<Burst> out;
    double at = startSeconds;
    for (int i = 0; i < count; ++i) {
        Burst b;
        b.channel = channel;
        b.startSeconds = at;
        b.block = randomBlock(rng);
        at += burstSeconds(b.block, preKeyBits) + std::uniform_real_distribution<double>(0.2, 0.6)(rng);
        out.push_back(std::move(b));
    }
    return out;
}

} // namespace varnesk::gen
