// Stored constants of the receive chain at 22050 Hz sampling: the three 51-tap
// filters (band, quadrature, data), the level and loop biquads, the clock
// resonator, the sync pattern and the frame template.
#pragma once

#include "receiver/audio_format.h"

#include <array>
#include <cmath>
#include <numbers>

namespace varnesk::chain {

inline constexpr int kBlockFrames = varnesk::kFramesPerBlock;
inline constexpr double kSampleRateHz = varnesk::kSampleRateHz;
inline constexpr double kDeltaT = 1.0 / kSampleRateHz;
inline constexpr double kTwoPi = 6.283185307179586;
inline constexpr int kTaps = 51;
inline constexpr int kHistory = kTaps - 1;

// Builds a 51-tap filter from its first 26 stored taps; sign −1 for an
// antisymmetric filter (h[50 − k] = −h[k]).
constexpr std::array<double, kTaps> mirrorTaps(const std::array<double, 26>& half, double sign)
{
    std::array<double, kTaps> h{};
    for (int k = 0; k < 26; ++k) {
        h[static_cast<size_t>(k)] = half[static_cast<size_t>(k)];
        h[static_cast<size_t>(kTaps - 1 - k)] = sign * half[static_cast<size_t>(k)];
    }
    h[25] = half[25];
    return h;
}

// Input band filter: flat 1000 … 2600 Hz, below 0.03 from 3900 Hz up.
inline constexpr std::array<double, kTaps> kBandTaps = mirrorTaps(
    {-0.00047827614, -0.000670571091, -0.000425801352, 1.36211832e-05, -0.000307641461, -0.0022592012, -0.00534585996,
     -0.00739098424, -0.00620003892,  -0.00225245694,  0.00031492449,  -0.00350286671,  -0.0143777924, -0.0257695491,
     -0.0275838063,  -0.0152440388,   0.00312665821,   0.00954463148,  -0.00995331892,  -0.0497403593, -0.0811995852,
     -0.0682509011,  0.00628345263,   0.122467601,     0.228998697,    0.272108844},
    1.0);

// Quadrature (90°) filter, antisymmetric, centre tap 0; gain 1.00 ± 0.02 from 600 Hz to 10 kHz.
inline constexpr std::array<double, kTaps> kQuadratureTaps = mirrorTaps({-0.00831235503, 4.40505143e-12,
                                                                         -0.00721576583, 1.72480011e-12,
                                                                         -0.0102853949,  -1.26593905e-12,
                                                                         -0.0141916824,  4.56422609e-12,
                                                                         -0.0191400206,  2.4448361e-11,
                                                                         -0.0254322311,  -2.33028428e-11,
                                                                         -0.0335463929,  5.25860418e-12,
                                                                         -0.0443046879,  -5.92661231e-12,
                                                                         -0.059265658,   -3.58515543e-11,
                                                                         -0.0817888932,  -2.61804906e-11,
                                                                         -0.120653981,   1.16473803e-11,
                                                                         -0.208151942,   1.41331479e-11,
                                                                         -0.635259354,   0.0},
                                                                        -1.0);

// Data filter, low-pass: 1.00 up to 600 Hz, 0.50 at 1500 Hz, below 0.03 from 2100 Hz.
inline constexpr std::array<double, kTaps> kDataTaps = mirrorTaps(
    {-0.00024722355, -0.000346621861, -0.000296374843, 2.39364895e-05, 0.000691264089, 0.00168020096,  0.00281640988,
     0.00376492042,  0.00407122715,   0.00326097981,   0.000986606193, -0.002809081,   -0.00775570854, -0.012991434,
     -0.0172094693,  -0.0188298741,   -0.0162807732,   -0.00834150808, 0.00552367528,  0.0249213833,   0.0484433466,
     0.0737786498,   0.0980209572,    0.118122451,     0.131409263,    0.136054422},
    1.0);

// Overload: a sample whose truncated magnitude exceeds 32700 counts; more than
// 10 such samples in one block light the OVR lamp.
inline constexpr int kClipThreshold = 32700;
inline constexpr int kOverloadSamples = 10;

// Level filter: second-order Butterworth low-pass at 50 Hz (stored 8- and 4-digit values).
inline constexpr double kLevelA1 = 1.97985154;
inline constexpr double kLevelA2 = -0.98005251;
inline constexpr double kLevelB0 = 5.024e-05;
inline constexpr double kLevelB1 = 1.0048e-04;
inline constexpr double kLevelB2 = 5.024e-05;
inline constexpr double kLevelTarget = 8000.0;
inline constexpr double kLevelFloor = 1.0;

// Shift oscillator: 4000 Hz. 4000 / 22050 = 80 / 441, so its samples repeat every 441 steps.
inline constexpr double kShiftStep = 25132.741228718343 * kDeltaT;
inline constexpr int kShiftPeriod = 441;

// Phase-locked loop: centre 5800 Hz, oscillator amplitude 6000, 4e-05 Hz per unit of filter output.
inline constexpr double kLoopCentreHz = 5800.0;
inline constexpr double kLoopAmplitude = 6000.0;
inline constexpr double kLoopGain = 4e-05;
// Loop filter: second-order Butterworth low-pass at 4800 Hz (stored 8-digit values).
inline constexpr double kLoopA1 = 0.23825849;
inline constexpr double kLoopA2 = -0.18162584;
inline constexpr double kLoopB0 = 0.23584184;
inline constexpr double kLoopB1 = 0.47168368;
inline constexpr double kLoopB2 = 0.23584184;

// Clock resonator at 2400 Hz, 20 Hz wide, driven by the rectified data.
inline constexpr double kClockHz = 2400.0;
inline constexpr double kClockBandwidthHz = 20.0;
inline constexpr double kClockInputGain = 1e-06;
inline const double kClockR1 = 2.0 * std::exp(-std::numbers::pi * kClockBandwidthHz * kDeltaT)
                               * std::cos(2.0 * std::numbers::pi * kClockHz * kDeltaT);
inline const double kClockR2 = -std::exp(-2.0 * std::numbers::pi * kClockBandwidthHz * kDeltaT);
inline const double kClockG = std::sin(2.0 * std::numbers::pi * kClockHz * kDeltaT) * kClockInputGain;
inline constexpr int kClockMark = 10;

// Raw bits a block may decide: about 55.7 bit periods fall into one block.
inline constexpr int kMaxBlockBits = 128;

} // namespace varnesk::chain
