// IQ file reading: name parsing, checks at open, and reads of at most one
// capture block's worth of samples at a time into the channelizer.
#include "receiver/iq_file_reader.h"

#include "settings/settings_store.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>

#include <sys/stat.h>

namespace varnesk {

namespace {

// A bare "<number>M" from this value up is a frequency, below it a rate.
constexpr double kBareFrequencyFromHz = 30'000'000;
constexpr size_t kMaxReadBytes = 64 * 1024;

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view baseName(std::string_view path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string extensionOf(std::string_view name)
{
    const size_t dot = name.find_last_of('.');
    return dot == std::string_view::npos ? std::string() : lower(name.substr(dot + 1));
}

// "<digits>[.<digits>]" at the front of s; the rest is left in s.
std::optional<double> leadingNumber(std::string_view& s)
{
    size_t n = 0;
    bool digits = false;
    bool point = false;
    while (n < s.size() && n < 24) {
        const char c = s[n];
        if (c >= '0' && c <= '9')
            digits = true;
        else if (c == '.' && !point)
            point = true;
        else
            break;
        ++n;
    }
    if (!digits)
        return std::nullopt;
    const std::string text(s.substr(0, n));
    s.remove_prefix(n);
    const double v = std::strtod(text.c_str(), nullptr);
    return std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

bool allDigits(std::string_view s)
{
    return !s.empty() && s.size() <= 12 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

IqNameInfo parseIqFileName(std::string_view path)
{
    IqNameInfo info;
    const std::string_view name = baseName(path);
    const std::string ext = extensionOf(name);
    const size_t dot = name.find_last_of('.');
    const std::string stem = lower(dot == std::string_view::npos ? name : name.substr(0, dot));
    info.format = iqFormatFromName(ext);

    std::vector<std::string_view> parts;
    for (size_t from = 0; from <= stem.size();) {
        const size_t to = stem.find_first_of("_- ", from);
        const size_t end = to == std::string::npos ? stem.size() : to;
        if (end > from)
            parts.push_back(std::string_view(stem).substr(from, end - from));
        from = end + 1;
    }
    // gqrx: gqrx_YYYYMMDD_HHMMSS_<frequency>_<rate>_fc.raw, complex float.
    if (parts.size() == 6 && parts[0] == "gqrx" && parts[5] == "fc" && ext == "raw" && allDigits(parts[3])
        && allDigits(parts[4])) {
        info.centreHz = std::strtod(std::string(parts[3]).c_str(), nullptr);
        info.sampleRateHz = std::strtod(std::string(parts[4]).c_str(), nullptr);
        info.format = IqFormat::Cf32;
        return info;
    }
    for (std::string_view part : parts) {
        const std::optional<double> number = leadingNumber(part);
        if (!number)
            continue;
        double scale = 1;
        if (!part.empty() && (part[0] == 'k' || part[0] == 'm' || part[0] == 'g')) {
            scale = part[0] == 'k' ? 1e3 : part[0] == 'm' ? 1e6 : 1e9;
            part.remove_prefix(1);
        }
        const double value = std::round(*number * scale);
        if (part == "hz") {
            info.centreHz = value;
        } else if (part == "sps") {
            info.sampleRateHz = value;
        } else if (part.empty() && scale > 1 && scale < 1e9) {
            if (value >= kBareFrequencyFromHz)
                info.centreHz = value;
            else
                info.sampleRateHz = value;
        }
    }
    return info;
}

bool isIqFileName(std::string_view path)
{
    const std::string ext = extensionOf(baseName(path));
    return iqFormatFromName(ext).has_value() || ext == "raw" || ext == "iq" || ext == "bin";
}

IqFileSettings iqFileSettings(const SettingsStore& settings)
{
    IqFileSettings s;
    s.sampleRateHz = settings.integer(Key::SdrSampleRate);
    s.centreHz = settings.real(Key::SdrCentre) * 1e6;
    s.channelHz = sdrFrequencies(settings, s.frequencyError);
    s.format = iqFormatFromName(lower(settings.text(Key::SdrIqFormat))).value_or(IqFormat::Cu8);
    return s;
}

std::vector<double> sdrFrequencies(const SettingsStore& settings, std::string& error)
{
    const SettingsStore defaults;
    // A list left at its default: Freq1 and Freq2, as before there was a list.
    if (settings.text(Key::SdrFrequencies) == defaults.text(Key::SdrFrequencies))
        return {std::round(settings.real(Key::SdrFreq1) * 1e6), std::round(settings.real(Key::SdrFreq2) * 1e6)};
    std::vector<double> list = parseFrequencyList(settings.text(Key::SdrFrequencies), error);
    if (list.empty())
        error = "[Sdr] Frequencies: " + error;
    return list;
}

IqFileReader::~IqFileReader()
{
    if (m_file)
        std::fclose(m_file);
}

std::unique_ptr<IqFileReader> IqFileReader::open(const std::string& path, const IqFileSettings& settings,
                                                 std::string& error)
{
    const IqNameInfo named = parseIqFileName(path);
    IqTuning tuning;
    tuning.channelHz = settings.channelHz;
    tuning.sampleRateHz = settings.rateGiven || !named.sampleRateHz ? settings.sampleRateHz : *named.sampleRateHz;
    tuning.centreHz = settings.centreGiven || !named.centreHz ? settings.centreHz : *named.centreHz;
    if (!settings.frequencyError.empty()) {
        error = path + ": " + settings.frequencyError;
        return nullptr;
    }
    if (tuning.centreHz == 0 && !settings.channelHz.empty()) {
        const auto [low, high] = std::minmax_element(settings.channelHz.begin(), settings.channelHz.end());
        tuning.centreHz = (*low + *high) / 2;
    }
    const IqFormat format = settings.formatGiven || !named.format ? settings.format : *named.format;

    const std::string why = CheckIqTuning(tuning);
    if (!why.empty()) {
        error = path + ": " + why;
        return nullptr;
    }
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<IqFileReader> reader(new IqFileReader);
    reader->m_file = f;
    struct stat st { };
    const auto bytesPerSample = static_cast<uint64_t>(iqBytesPerSample(format));
    if (::fstat(::fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
        error = path + ": not a regular file";
        return nullptr;
    }
    const auto size = static_cast<uint64_t>(st.st_size);
    if (size == 0) {
        error = path + ": no IQ samples (empty file)";
        return nullptr;
    }
    if (size % bytesPerSample != 0) {
        error = path + ": " + std::to_string(size) + " bytes is not a whole number of "
                + std::string(iqFormatName(format)) + " samples (" + std::to_string(bytesPerSample) + " bytes each)";
        return nullptr;
    }
    reader->m_tuning = tuning;
    reader->m_format = format;
    // A read of about one block's samples; the channelizer may hold back up to
    // a chunk of them, so one read completes a few blocks at most.
    const double samplesPerBlock = kFramesPerBlock * tuning.sampleRateHz / kSampleRateHz;
    const auto readSamples = std::min<uint64_t>(static_cast<uint64_t>(std::max(1.0, std::floor(samplesPerBlock))),
                                                kMaxReadBytes / bytesPerSample);
    reader->m_bytes.resize(static_cast<size_t>(readSamples * bytesPerSample));
    const double framesPerRead =
        static_cast<double>(readSamples + IqChannelizer::kChunkSamples) * kSampleRateHz / tuning.sampleRateHz;
    reader->m_ready.resize(static_cast<size_t>(std::ceil(framesPerRead / kFramesPerBlock)) + 2);
    IqFileReader* self = reader.get();
    reader->m_channelizer = std::make_unique<IqChannelizer>(tuning, [self](const ChannelBlock& block) {
        if (self->m_readyCount == self->m_ready.size())
            return; // cannot happen with the read size above; never grow
        const size_t slot = (self->m_readyFirst + self->m_readyCount) % self->m_ready.size();
        self->m_ready[slot] = block;
        ++self->m_readyCount;
    });
    return reader;
}

bool IqFileReader::read(ChannelBlock& block)
{
    while (m_readyCount == 0 && !m_atEnd) {
        const size_t got = std::fread(m_bytes.data(), 1, m_bytes.size(), m_file);
        if (got > 0)
            m_channelizer->push(m_format, std::span<const std::byte>(m_bytes.data(), got));
        if (got < m_bytes.size()) {
            m_atEnd = true;
            m_channelizer->flush();
        }
    }
    if (m_readyCount == 0)
        return false;
    block = m_ready[m_readyFirst];
    m_readyFirst = (m_readyFirst + 1) % m_ready.size();
    --m_readyCount;
    ++m_blocksRead;
    return true;
}

} // namespace varnesk
