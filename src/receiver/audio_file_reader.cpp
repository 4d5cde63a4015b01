// WAV and raw-pipe reader with rate conversion to 22050 Hz stereo.
#include "receiver/audio_file_reader.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

namespace varnesk {

namespace {

constexpr uint64_t kUntilEnd = std::numeric_limits<uint64_t>::max();
// Resampler kernel: a Kaiser-windowed sinc of 24 zero crossings on each side
// (about 90 dB stop-band), its cut-off 5 % below the lower Nyquist frequency,
// tabulated at 512 points per zero crossing and interpolated linearly.
constexpr int kZeroCrossings = 24;
constexpr int kKernelSteps = 512;
constexpr double kKaiserBeta = 8.6;
constexpr double kCutoffMargin = 0.95;

uint32_t le32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t le16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

int16_t toSample(double v)
{
    const double r = std::nearbyint(v);
    if (!(r > -32768.0))
        return -32768;
    if (r > 32767.0)
        return 32767;
    return static_cast<int16_t>(r);
}

bool readExact(std::FILE* f, void* dst, size_t n)
{
    return std::fread(dst, 1, n, f) == n;
}

// Skips n bytes, also on a stream that cannot seek.
bool skipBytes(std::FILE* f, uint64_t n)
{
    uint8_t scratch[4096];
    while (n > 0) {
        const size_t step = static_cast<size_t>(std::min<uint64_t>(n, sizeof scratch));
        if (std::fread(scratch, 1, step, f) != step)
            return false;
        n -= step;
    }
    return true;
}

} // namespace

AudioFileReader::~AudioFileReader()
{
    if (m_file && m_close)
        std::fclose(m_file);
}

std::unique_ptr<AudioFileReader> AudioFileReader::open(const std::string& path, std::string& error)
{
    if (path == "-")
        return openRaw(stdin, false);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<AudioFileReader> src(new AudioFileReader);
    src->m_file = f;
    src->m_close = true;
    std::string why;
    if (!src->parseHeader(why)) {
        error = path + ": " + why;
        return nullptr;
    }
    return src;
}

std::unique_ptr<AudioFileReader> AudioFileReader::openRaw(std::FILE* stream, bool closeWhenDone)
{
    std::unique_ptr<AudioFileReader> src(new AudioFileReader);
    src->m_file = stream;
    src->m_close = closeWhenDone;
    src->m_raw = true;
    src->m_dataLeft = kUntilEnd;
    return src;
}

bool AudioFileReader::parseHeader(std::string& error)
{
    uint8_t head[12];
    if (!readExact(m_file, head, 12) || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) {
        error = "not a WAV file";
        return false;
    }
    bool haveFormat = false;
    int formatTag = 0;
    int bits = 0;
    int blockAlign = 0;
    for (;;) {
        uint8_t chunk[8];
        if (!readExact(m_file, chunk, 8)) {
            error = haveFormat ? "no data chunk" : "no format chunk";
            return false;
        }
        const uint32_t size = le32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16) {
                error = "format chunk too short";
                return false;
            }
            uint8_t fmt[40] = {};
            const size_t take = std::min<size_t>(size, sizeof fmt);
            if (!readExact(m_file, fmt, take) || !skipBytes(m_file, size - take + (size & 1u))) {
                error = "truncated format chunk";
                return false;
            }
            formatTag = le16(fmt);
            m_channels = le16(fmt + 2);
            m_rateHz = static_cast<int>(le32(fmt + 4));
            blockAlign = le16(fmt + 12);
            bits = le16(fmt + 14);
            if (formatTag == 0xFFFE && take >= 26)
                formatTag = le16(fmt + 24); // the sub-format GUID starts with the plain tag
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) {
                error = "data before format chunk";
                return false;
            }
            // 0 and 0xFFFFFFFF are what streaming writers leave when the length is unknown.
            m_dataLeft = (size == 0 || size == 0xFFFFFFFFu) ? kUntilEnd : size;
            break;
        } else if (!skipBytes(m_file, static_cast<uint64_t>(size) + (size & 1u))) {
            error = "no data chunk";
            return false;
        }
    }
    m_bytesPerSample = (bits + 7) / 8;
    if (formatTag == 1 && bits == 8)
        m_encoding = Encoding::Int8;
    else if (formatTag == 1 && bits == 16)
        m_encoding = Encoding::Int16;
    else if (formatTag == 1 && bits == 24)
        m_encoding = Encoding::Int24;
    else if (formatTag == 1 && bits == 32)
        m_encoding = Encoding::Int32;
    else if (formatTag == 3 && bits == 32)
        m_encoding = Encoding::Float32;
    else if (formatTag == 3 && bits == 64)
        m_encoding = Encoding::Float64;
    else {
        error = "unsupported sample format (tag " + std::to_string(formatTag) + ", " + std::to_string(bits) + " bits)";
        return false;
    }
    // Sample containers may be wider than their bits, but not beyond 64 bits.
    if (m_channels < 1 || m_channels > 256 || m_rateHz < 1000 || m_rateHz > 384000
        || blockAlign < m_channels * m_bytesPerSample || blockAlign > m_channels * 8) {
        error = "unsupported WAV layout";
        return false;
    }
    m_bytesPerSample = blockAlign / m_channels;
    if (m_dataLeft != kUntilEnd)
        m_sourceFrames = static_cast<int64_t>(m_dataLeft / static_cast<uint64_t>(blockAlign));
    if (m_rateHz != kSampleRateHz)
        prepareResampler();
    return true;
}

size_t AudioFileReader::pullFrames(size_t frames)
{
    if (m_eof)
        return 0;
    const size_t frameBytes = static_cast<size_t>(m_channels) * static_cast<size_t>(m_bytesPerSample);
    size_t want = frames * frameBytes;
    if (m_dataLeft != kUntilEnd)
        want = static_cast<size_t>(std::min<uint64_t>(want, m_dataLeft - m_dataLeft % frameBytes));
    m_bytes.resize(std::max(m_bytes.size(), want));
    const size_t got = std::fread(m_bytes.data(), 1, want, m_file);
    const size_t whole = got / frameBytes;
    if (m_dataLeft != kUntilEnd)
        m_dataLeft -= got;
    if (got < want || whole == 0)
        m_eof = true;
    auto sampleAt = [&](const uint8_t* p) -> double {
        switch (m_encoding) {
        case Encoding::Int8:
            return (static_cast<int>(p[0]) - 128) * 256.0;
        case Encoding::Int16:
            return static_cast<int16_t>(le16(p));
        case Encoding::Int24:
            return static_cast<int32_t>((uint32_t{p[0]} << 8) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 24))
                   / 65536.0;
        case Encoding::Int32:
            return static_cast<int32_t>(le32(p)) / 65536.0;
        case Encoding::Float32: {
            float v;
            std::memcpy(&v, p, 4);
            return std::isfinite(v) ? v * 32768.0 : 0.0;
        }
        case Encoding::Float64: {
            double v;
            std::memcpy(&v, p, 8);
            return std::isfinite(v) ? v * 32768.0 : 0.0;
        }
        }
        return 0.0;
    };
    const size_t right = m_channels > 1 ? static_cast<size_t>(m_bytesPerSample) : 0;
    for (size_t i = 0; i < whole; ++i) {
        const uint8_t* p = m_bytes.data() + i * frameBytes;
        m_in[0].push_back(sampleAt(p));
        m_in[1].push_back(sampleAt(p + right));
    }
    return whole;
}

bool AudioFileReader::read(std::span<int16_t, kCaptureBlockSamples> block)
{
    const size_t frames = (m_rateHz == kSampleRateHz) ? readDirect(block) : readResampled(block);
    if (frames == 0)
        return false;
    std::fill(block.begin() + static_cast<std::ptrdiff_t>(frames * kCaptureChannels), block.end(), int16_t{0});
    ++m_blocks;
    return true;
}

std::optional<CaptureBlock> AudioFileReader::next()
{
    CaptureBlock block;
    if (!read(block))
        return std::nullopt;
    return block;
}

size_t AudioFileReader::readDirect(std::span<int16_t, kCaptureBlockSamples> block)
{
    if (m_raw || m_encoding == Encoding::Int16) {
        if (m_raw || (m_channels == 2 && m_bytesPerSample == 2)) {
            // The common case, stereo S16LE at 22050 Hz in 4-byte frames: straight
            // into the block (little-endian on disk and in memory on this platform).
            // Samples in wider containers take the general path below.
            size_t want = kCaptureBlockBytes;
            if (m_dataLeft != kUntilEnd)
                want = static_cast<size_t>(std::min<uint64_t>(want, m_dataLeft - m_dataLeft % 4));
            if (m_eof || want == 0)
                return 0;
            size_t got = 0;
            auto* dst = reinterpret_cast<uint8_t*>(block.data());
            while (got < want) {
                const size_t n = std::fread(dst + got, 1, want - got, m_file);
                if (n == 0)
                    break;
                got += n;
            }
            if (m_dataLeft != kUntilEnd)
                m_dataLeft -= got;
            if (got < want)
                m_eof = true;
            return got / 4;
        }
    }
    m_in[0].clear();
    m_in[1].clear();
    const size_t frames = pullFrames(kFramesPerBlock);
    for (size_t i = 0; i < frames; ++i) {
        block[2 * i] = toSample(m_in[0][i]);
        block[2 * i + 1] = toSample(m_in[1][i]);
    }
    return frames;
}

void AudioFileReader::prepareResampler()
{
    m_cutoff = std::min(1.0, static_cast<double>(kSampleRateHz) / m_rateHz) * kCutoffMargin;
    m_halfWidth = kZeroCrossings / m_cutoff;
    m_kernel.resize(static_cast<size_t>(kZeroCrossings * kKernelSteps + 2));
    const double i0Beta = std::cyl_bessel_i(0.0, kKaiserBeta);
    for (size_t i = 0; i < m_kernel.size(); ++i) {
        const double v = static_cast<double>(i) / kKernelSteps; // in zero crossings
        if (v >= kZeroCrossings) {
            m_kernel[i] = 0.0;
            continue;
        }
        const double sinc = (i == 0) ? 1.0 : std::sin(std::numbers::pi * v) / (std::numbers::pi * v);
        const double r = v / kZeroCrossings;
        m_kernel[i] = sinc * std::cyl_bessel_i(0.0, kKaiserBeta * std::sqrt(1.0 - r * r)) / i0Beta;
    }
}

size_t AudioFileReader::readResampled(std::span<int16_t, kCaptureBlockSamples> block)
{
    const auto width = static_cast<int64_t>(std::ceil(m_halfWidth));
    size_t produced = 0;
    while (produced < static_cast<size_t>(kFramesPerBlock)) {
        // Output sample n sits at source time n · rate / 22050.
        const int64_t num = m_outIndex * m_rateHz;
        const int64_t centre = num / kSampleRateHz;
        const double t = static_cast<double>(centre) + static_cast<double>(num % kSampleRateHz) / kSampleRateHz;
        const int64_t first = centre - width + 1;
        const int64_t last = centre + width;
        while (!m_eof && m_inBase + static_cast<int64_t>(m_in[0].size()) <= last)
            pullFrames(4096);
        const int64_t held = m_inBase + static_cast<int64_t>(m_in[0].size());
        if (m_eof && centre >= held)
            break; // past the last source sample
        double left = 0.0;
        double right = 0.0;
        for (int64_t k = std::max(first, m_inBase); k <= last && k < held; ++k) {
            const double u = std::fabs(static_cast<double>(k) - t) * m_cutoff * kKernelSteps;
            const auto j = static_cast<size_t>(u);
            if (j + 1 >= m_kernel.size())
                continue;
            const double frac = u - static_cast<double>(j);
            const double w = m_cutoff * (m_kernel[j] + (m_kernel[j + 1] - m_kernel[j]) * frac);
            const auto idx = static_cast<size_t>(k - m_inBase);
            left += w * m_in[0][idx];
            right += w * m_in[1][idx];
        }
        block[2 * produced] = toSample(left);
        block[2 * produced + 1] = toSample(right);
        ++produced;
        ++m_outIndex;
        // Drop source samples no later output can reach.
        const int64_t keepFrom = first - 1;
        if (keepFrom - m_inBase > 16384) {
            const auto drop = static_cast<std::ptrdiff_t>(keepFrom - m_inBase);
            for (auto& row : m_in)
                row.erase(row.begin(), row.begin() + drop);
            m_inBase += drop;
        }
    }
    return produced;
}

} // namespace varnesk
