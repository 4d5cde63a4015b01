// A SoapySDR module for the tests: the device "driver=varnesk_test" plays an
// I/Q file as if it were received live, so the SDR source is exercised
// through the real SoapySDR library without hardware.
//
// Arguments: file=<recording>; format=cu8 (default) or cs16, the file's
// samples (cs16 is handed on unchanged); centre=<Hz> the file's centre (the stream
// refuses to start when the device is tuned elsewhere); speed=<factor> of
// real time; unplug_after=<I/Q pairs> then every read fails like a pulled
// plug; stall_after=<I/Q pairs> then reads time out for ever.
#include <SoapySDR/Device.hpp>
#include <SoapySDR/Errors.h>
#include <SoapySDR/Formats.h>
#include <SoapySDR/Registry.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

long long argNumber(const SoapySDR::Kwargs& args, const char* key, long long fallback)
{
    auto it = args.find(key);
    return it == args.end() ? fallback : std::stoll(it->second);
}

class TestDevice : public SoapySDR::Device {
public:
    explicit TestDevice(const SoapySDR::Kwargs& args)
        : m_path(args.count("file") ? args.at("file") : std::string()),
          m_fileCentre(double(argNumber(args, "centre", 0))), m_speed(double(argNumber(args, "speed", 1))),
          m_unplugAfter(argNumber(args, "unplug_after", -1)), m_stallAfter(argNumber(args, "stall_after", -1)),
          m_cs16(args.count("format") && args.at("format") == "cs16")
    {
    }

    std::string getDriverKey() const override { return "varnesk_test"; }
    std::string getHardwareKey() const override { return "varnesk_test"; }
    size_t getNumChannels(int) const override { return 1; }

    void setSampleRate(int, size_t, double rate) override { m_rate = rate; }
    double getSampleRate(int, size_t) const override { return m_rate; }
    void setFrequency(int, size_t, double frequency, const SoapySDR::Kwargs&) override { m_frequency = frequency; }
    double getFrequency(int, size_t) const override { return m_frequency; }
    bool hasGainMode(int, size_t) const override { return true; }
    void setGainMode(int, size_t, bool) override { }
    void setGain(int, size_t, double) override { }

    std::vector<std::string> getStreamFormats(int, size_t) const override { return {SOAPY_SDR_CS16}; }

    SoapySDR::Stream* setupStream(int direction, const std::string& format, const std::vector<size_t>&,
                                  const SoapySDR::Kwargs&) override
    {
        if (direction != SOAPY_SDR_RX || format != SOAPY_SDR_CS16)
            throw std::runtime_error("only CS16 reception");
        m_file = std::fopen(m_path.c_str(), "rb");
        if (!m_file)
            throw std::runtime_error("cannot open " + m_path);
        return reinterpret_cast<SoapySDR::Stream*>(this);
    }

    void closeStream(SoapySDR::Stream*) override
    {
        if (m_file)
            std::fclose(m_file);
        m_file = nullptr;
    }

    int activateStream(SoapySDR::Stream*, int, long long, size_t) override
    {
        if (std::abs(m_frequency - m_fileCentre) > 1.0)
            return SOAPY_SDR_NOT_SUPPORTED;
        m_start = Clock::now();
        m_sent = 0;
        return 0;
    }

    int deactivateStream(SoapySDR::Stream*, int, long long) override { return 0; }

    int readStream(SoapySDR::Stream*, void* const* buffs, size_t numElems, int& flags, long long&, long) override
    {
        flags = 0;
        if (m_unplugAfter >= 0 && m_sent >= m_unplugAfter)
            return SOAPY_SDR_STREAM_ERROR;
        if (m_stallAfter >= 0 && m_sent >= m_stallAfter)
            return SOAPY_SDR_TIMEOUT;
        const double elapsed = std::chrono::duration<double>(Clock::now() - m_start).count();
        const long long due = (long long)(elapsed * m_rate * m_speed) - m_sent;
        if (due <= 0)
            return SOAPY_SDR_TIMEOUT;
        const size_t n = std::min<size_t>(numElems, size_t(due));
        auto* out = static_cast<int16_t*>(buffs[0]);
        size_t got = 0;
        if (m_cs16) {
            got = m_file ? std::fread(out, 4, n, m_file) : 0;
        } else {
            m_bytes.resize(n * 2);
            got = m_file ? std::fread(m_bytes.data(), 2, n, m_file) : 0;
            for (size_t i = 0; i < got * 2; ++i)
                out[i] = int16_t((int(m_bytes[i]) - 128) * 256);
        }
        if (got == 0)
            return SOAPY_SDR_TIMEOUT; // the recording is over: nothing more arrives
        m_sent += (long long)got;
        return int(got);
    }

private:
    std::string m_path;
    double m_fileCentre;
    double m_speed;
    long long m_unplugAfter;
    long long m_stallAfter;
    bool m_cs16;
    double m_rate = 0;
    double m_frequency = 0;
    std::FILE* m_file = nullptr;
    Clock::time_point m_start;
    long long m_sent = 0;
    std::vector<unsigned char> m_bytes;
};

SoapySDR::KwargsList findTestDevice(const SoapySDR::Kwargs& args)
{
    auto it = args.find("driver");
    if (it == args.end() || it->second != "varnesk_test")
        return {};
    return {args};
}

SoapySDR::Device* makeTestDevice(const SoapySDR::Kwargs& args)
{
    return new TestDevice(args);
}

const SoapySDR::Registry registerTestDevice("varnesk_test", &findTestDevice, &makeTestDevice, SOAPY_SDR_ABI_VERSION);

} // namespace
