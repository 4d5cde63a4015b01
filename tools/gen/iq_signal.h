// IQ recordings of ACARS for tests: the generator's audio of each channel
// AM-modulates a carrier that is keyed on for its bursts only; the carriers
// (one per frequency, up to 16) sit at their frequencies around a centre, with
// white complex noise, and are written as cu8, cs8 or cs16 samples.
#pragma once

#include "acars_signal.h"
#include "receiver/iq_channelizer.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace varnesk::gen {

struct IqOptions {
    double rateHz = 2'400'000;
    double centreHz = 131'700'000;
    std::vector<double> channelHz{131'450'000, 131'950'000}; // channel 1 (left audio), 2 (right audio), …
    // Each channel's carrier this many dB from the common level (missing: 0);
    // the Eb/N0 is that of a carrier at the common level.
    std::vector<double> levelDb;
    // The receiver's crystal this far off: the carriers appear shifted by as
    // many parts per million of their frequencies and the bit rate scaled alike.
    double ppm = 0;
    double depth = 0.5; // modulation depth: the audio's peak over the carrier
    bool noise = false;
    // Eb/N0 = ((carrier × depth)² / 2) / 2400 / N0, N0 the complex noise power
    // per Hz (its power per sample over the sample rate): an ideal envelope
    // detector at high carrier-to-noise hands the audio the same Eb/N0 as the
    // audio generator's definition.
    double ebN0Db = 30;
    IqFormat format = IqFormat::Cu8;
    uint32_t seed = 1;
};

// Renders the bursts (audio options: pre-key, bit-rate error, peak; their
// noise is not used) and passes the samples on in pieces; stops early and
// returns false when write does.
bool renderIq(std::span<const Burst> bursts, const SignalOptions& audio, const IqOptions& iq,
              const std::function<bool(std::span<const std::byte>)>& write);

// "<stem>_<centre>Hz_<rate>sps.<format>", the name the IQ file reader understands.
std::string iqFileName(const std::string& stem, const IqOptions& iq);

} // namespace varnesk::gen
