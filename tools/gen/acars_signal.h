// ACARS test-signal generator: builds the on-air character sequence of a block
// (pre-key, "+" "*" SYN SYN SOH, the block with odd parity, BCS, DEL) and
// renders it as 2400 bit/s phase-continuous MSK on 1200 / 2400 Hz audio tones
// into 22050 Hz stereo 16-bit samples, with optional noise, level, rate error
// and DC offset. Written from the ACARS physical layer, not from the receiver.
#pragma once

#include "acars/control_chars.h"
#include "receiver/audio_format.h"

#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace varnesk::gen {

inline constexpr int kRateHz = varnesk::kSampleRateHz;
inline constexpr double kBitRate = 2400.0;
inline constexpr uint8_t kNak = kCharNak;

// One ACARS block as the aircraft (or ground) sends it.
struct BlockSpec {
    char mode = '2';
    std::string address = ".JA8089"; // 7 characters, right-aligned with leading "."
    char ack = static_cast<char>(kNak);
    std::string label = "H1"; // 2 characters
    char blockId = '1';
    std::string text; // after STX; empty: no STX is sent
    bool etx = true;  // ETX (last block) or ETB
};

// The block's characters from "+" through the end character (7-bit values):
// what a receiver that checked the frame hands on, and what RawText renders.
std::string blockChars(const BlockSpec& block);

// The whole on-air byte sequence after the pre-key: "+" "*" SYN SYN SOH, the
// block through ETX / ETB with odd parity in bit 7, the two BCS bytes (CRC-16,
// polynomial x^16 + x^12 + x^5 + 1, register 0, over the mode character
// through the end character in transmission order, low byte first) and DEL.
std::vector<uint8_t> onAirBytes(const BlockSpec& block);

// The bits as sent, least significant bit of each byte first (data bits,
// before the differential coding of the line).
std::vector<uint8_t> onAirBits(const BlockSpec& block, int preKeyBits);

// What a block is, for the on-air mix and the benchmarks' per-kind figures.
enum class BlockKind : uint8_t {
    Downlink,        // an aircraft's block: message and flight numbers, then text
    PositionReport,  // a downlink carrying a position report in its airline's layout
    GeneralResponse, // label "_" DEL: a downlink with no text past its flight number, or an uplink with none
    Squitter,        // mode "2", address ".......", label "SQ", block id NUL
    Mode2Uplink,     // a ground station's block with text in mode "2"
    Uplink,          // a ground station's block with text in a lower-case mode
};
inline constexpr int kBlockKinds = 6;
const char* blockKindName(BlockKind kind);

struct Burst {
    int channel = 0; // 0 = left, 1 = right
    double startSeconds = 0.0;
    double startPhase = 0.0; // radians: the tone's phase at the burst's start
    BlockSpec block;
    BlockKind kind = BlockKind::Downlink;
};

struct SignalOptions {
    double durationSeconds = 0.0; // 0: the end of the last burst plus 0.5 s
    double peak = 8000.0;         // peak of the tones, in counts
    bool noise = false;
    double ebN0Db = 30.0;      // Eb/N0 = (peak² / 2) / 2400 / N0, N0 one-sided
    double rateErrorPpm = 0.0; // bit-rate error
    double dcOffset = 0.0;     // counts added to every sample
    int preKeyBits = 128;      // ones before "+", a steady upper tone
    uint32_t seed = 1;
};

// Seconds one burst occupies on air.
double burstSeconds(const BlockSpec& block, int preKeyBits);

// Interleaved stereo samples, left first.
std::vector<int16_t> renderStereo(std::span<const Burst> bursts, const SignalOptions& options);

// Writes a 22050 Hz stereo 16-bit PCM WAV file; false with a reason on failure.
bool writeWav(const std::string& path, std::span<const int16_t> interleaved, std::string& error);

// A random plausible block for traffic files and tests: downlink (message
// number, flight number, 0 … 200 more characters) or uplink (10 … 200
// characters), ETX or ETB; always 29 characters or more, as the block decoder wants.
BlockSpec randomBlock(std::mt19937& rng);

// Random traffic for one channel: count blocks, spaced 0.2 … 0.6 s apart, from startSeconds.
std::vector<Burst> randomTraffic(std::mt19937& rng, int channel, int count, double startSeconds, int preKeyBits);

// Traffic as heard on the air: 55 % downlinks (a third of them position
// reports in their airline's layout, the rest of every length, some ETB),
// 15 % general responses, 10 % squitters, 10 % mode-"2" uplinks with text and
// 10 % uplinks in lower-case modes. The aircraft are a fleet over Japan, each
// flying a route between two airports: its successive position reports move
// along the route (a few minutes of flight per report) and its message
// numbers go up.
class AirTraffic {
public:
    explicit AirTraffic(uint32_t seed, int fleetSize = 8);
    // The next block on the air and its kind.
    Burst next();
    // count blocks for channel, spaced 0.2 … 0.6 s apart, from startSeconds.
    std::vector<Burst> bursts(int channel, int count, double startSeconds, int preKeyBits);

    struct Aircraft {
        std::string airline;  // two-letter code: picks the report layout
        std::string flight;   // six characters, e.g. "JL0123"
        std::string address;  // registration
        int from = 0, to = 0; // airports
        double along = 0;     // 0 … 1 of the route
        double step = 0;      // of the route per report
        int minutes = 0;      // report time, minutes after midnight
        int message = 0;      // message counter
    };

private:
    BlockSpec downlink(Aircraft& a, std::string_view label);
    BlockSpec positionReport(Aircraft& a);
    Aircraft newAircraft();
    std::string uplinkText();
    std::mt19937 m_rng;
    std::vector<Aircraft> m_fleet;
};

} // namespace varnesk::gen
