// Capture blocks from a file or a pipe in place of the sound card: any PCM or
// float WAV (any rate, any number of channels; mono feeds both channels, a rate
// other than 22050 Hz is converted with a windowed-sinc resampler), or raw
// stereo S16LE 22050 Hz from a pipe or standard input ("-").
#pragma once

#include "receiver/audio_format.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace varnesk {

class AudioFileReader {
public:
    // Opens a WAV file, or standard input as raw stereo S16LE 22050 Hz for "-".
    // On failure returns nullptr and sets error to a one-line English text.
    static std::unique_ptr<AudioFileReader> open(const std::string& path, std::string& error);
    // Reads raw stereo S16LE 22050 Hz from an already open stream (a pipe).
    static std::unique_ptr<AudioFileReader> openRaw(std::FILE* stream, bool closeWhenDone);

    ~AudioFileReader();
    AudioFileReader(const AudioFileReader&) = delete;
    AudioFileReader& operator=(const AudioFileReader&) = delete;

    // Fills the next block (512 interleaved frames, left first). The last,
    // partial block is completed with silence. Returns false at the end.
    bool read(std::span<int16_t, kCaptureBlockSamples> block);
    std::optional<CaptureBlock> next();

    // Blocks delivered so far.
    uint64_t blocksRead() const { return m_blocks; }
    int sourceRateHz() const { return m_rateHz; }
    int sourceChannels() const { return m_channels; }

private:
    enum class Encoding { Int8, Int16, Int24, Int32, Float32, Float64 };

    AudioFileReader() = default;
    bool parseHeader(std::string& error);
    // Appends up to `frames` source frames (as doubles, left/right) to m_in; returns frames read.
    size_t pullFrames(size_t frames);
    size_t readDirect(std::span<int16_t, kCaptureBlockSamples> block);
    size_t readResampled(std::span<int16_t, kCaptureBlockSamples> block);
    void prepareResampler();

    std::FILE* m_file = nullptr;
    bool m_close = false;
    bool m_raw = false;
    int m_rateHz = kSampleRateHz;
    int m_channels = kCaptureChannels;
    int m_bytesPerSample = 2;
    Encoding m_encoding = Encoding::Int16;
    uint64_t m_dataLeft = 0; // bytes of the data chunk not yet read (UINT64_MAX: until end of stream)
    bool m_eof = false;
    uint64_t m_blocks = 0;
    std::vector<uint8_t> m_bytes;

    // Resampler: source frames m_inBase … m_inBase + m_in[c].size() − 1 are held.
    std::array<std::vector<double>, 2> m_in;
    int64_t m_inBase = 0;
    int64_t m_outIndex = 0;
    double m_cutoff = 1.0;        // in units of the source Nyquist frequency
    double m_halfWidth = 0.0;     // kernel half width in source samples
    std::vector<double> m_kernel; // windowed sinc, sampled finely from 0 to its edge
    int64_t m_sourceFrames = -1;  // total, when known
};

} // namespace varnesk
