// IQ recordings as a capture source: .cu8, .cs8, .cs16 (and .cf32) files, and
// .raw/.iq/.bin in the format the settings name, with sample rate and centre
// frequency from the file name where it tells them; yields 22050 Hz
// ChannelBlocks (one channel per frequency, with its carrier level) through
// the IqChannelizer.
#pragma once

#include "receiver/audio_format.h"
#include "receiver/iq_channelizer.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varnesk {

class SettingsStore;

// What a file's name tells; each part only when found.
struct IqNameInfo {
    std::optional<double> sampleRateHz;
    std::optional<double> centreHz;
    std::optional<IqFormat> format;
};

// Reads a file name (with or without folders). The format comes from the
// extension (.cu8 .cs8 .cs16 .cf32; gqrx's "gqrx_DATE_TIME_FREQ_RATE_fc.raw" is
// cf32); the stem is cut at '_', '-' and ' ' into parts, and a part
//   "<number>[k|M|G]Hz"   is the centre frequency (131700000Hz, 131.7MHz),
//   "<number>[k|M]sps"    is the sample rate (2400000sps, 2.4Msps, 2400ksps),
//   "<number>k" or "<number>M" (rtl_433's way) is the centre frequency from
//                         30 MHz up and the sample rate below (131.7M, 2.4M, 250k);
// gqrx's names give both as plain numbers. Case does not matter.
IqNameInfo parseIqFileName(std::string_view path);

// True for the extensions read as IQ: .cu8 .cs8 .cs16 .cf32 .raw .iq .bin.
bool isIqFileName(std::string_view path);

// Where the name says nothing: the [Sdr] settings, or the command line's.
struct IqFileSettings {
    double sampleRateHz = 2'400'000;
    double centreHz = 0; // 0: midway between the lowest and highest channel
    std::vector<double> channelHz{131'450'000, 131'950'000};
    std::string frequencyError;      // the settings' list could not be read: why
    IqFormat format = IqFormat::Cu8; // of .raw, .iq and .bin files
    // Given on a command line: these win over the file name.
    bool rateGiven = false;
    bool centreGiven = false;
    bool formatGiven = false;
};

// [Sdr] SampleRate, Centre, Frequencies (Freq1 and Freq2, where set, as the
// first two) and IqFormat.
IqFileSettings iqFileSettings(const SettingsStore& settings);

// The channel frequencies of [Sdr] in Hz: Frequencies; while that is at its
// default, Freq1 and Freq2 (kept from before there was a list) as the two.
// Empty, with the reason in error, when the list cannot be read.
std::vector<double> sdrFrequencies(const SettingsStore& settings, std::string& error);

class IqFileReader {
public:
    // Opens the file and checks it: whole samples only, a usable rate and
    // centre, both channels inside the band. On failure returns nullptr and
    // sets error to a one-line English text.
    static std::unique_ptr<IqFileReader> open(const std::string& path, const IqFileSettings& settings,
                                              std::string& error);
    ~IqFileReader();
    IqFileReader(const IqFileReader&) = delete;
    IqFileReader& operator=(const IqFileReader&) = delete;

    // Fills the next block; the last one is completed with silence. False at the end.
    bool read(ChannelBlock& block);

    const IqTuning& tuning() const { return m_tuning; }
    IqFormat format() const { return m_format; }
    uint64_t blocksRead() const { return m_blocksRead; }

private:
    IqFileReader() = default;

    std::FILE* m_file = nullptr;
    IqTuning m_tuning;
    IqFormat m_format = IqFormat::Cu8;
    std::unique_ptr<IqChannelizer> m_channelizer;
    std::vector<std::byte> m_bytes; // one read's worth
    // Blocks the channelizer delivered and read() has not handed on yet, as
    // many as one read of the file can complete (sized at open).
    std::vector<ChannelBlock> m_ready;
    size_t m_readyFirst = 0;
    size_t m_readyCount = 0;
    bool m_atEnd = false;
    uint64_t m_blocksRead = 0;
};

} // namespace varnesk
