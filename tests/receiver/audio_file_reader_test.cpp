// The WAV / raw-stream reader: pass-through, mono, other sample formats and
// rates, the last partial block, raw streams and malformed files.
#include "receiver/audio_file_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace varnesk {
namespace {

void put(std::vector<uint8_t>& out, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

std::vector<uint8_t> wavBytes(int tag, int channels, int rate, int bits, const std::vector<uint8_t>& data,
                              bool extraChunk = false)
{
    std::vector<uint8_t> out = {'R', 'I', 'F', 'F'};
    put(out, 0, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E'});
    if (extraChunk) {
        out.insert(out.end(), {'L', 'I', 'S', 'T'});
        put(out, 3, 4);
        out.insert(out.end(), {'a', 'b', 'c', 0}); // odd size, padded
    }
    out.insert(out.end(), {'f', 'm', 't', ' '});
    put(out, 16, 4);
    put(out, static_cast<uint32_t>(tag), 2);
    put(out, static_cast<uint32_t>(channels), 2);
    put(out, static_cast<uint32_t>(rate), 4);
    put(out, static_cast<uint32_t>(rate * channels * bits / 8), 4);
    put(out, static_cast<uint32_t>(channels * bits / 8), 2);
    put(out, static_cast<uint32_t>(bits), 2);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put(out, static_cast<uint32_t>(data.size()), 4);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

class TempFile {
public:
    explicit TempFile(const std::vector<uint8_t>& bytes)
    {
        static int serial = 0;
        m_path = (std::filesystem::temp_directory_path()
                  / ("varnesk-wav-" + std::to_string(::getpid()) + "-" + std::to_string(serial++) + ".wav"))
                     .string();
        std::FILE* f = std::fopen(m_path.c_str(), "wb");
        if (!bytes.empty())
            std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    ~TempFile() { std::filesystem::remove(m_path); }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

std::vector<int16_t> readAll(AudioFileReader& source, int* blocks = nullptr)
{
    std::vector<int16_t> out;
    CaptureBlock block;
    int n = 0;
    while (source.read(block)) {
        out.insert(out.end(), block.begin(), block.end());
        ++n;
    }
    if (blocks)
        *blocks = n;
    return out;
}

TEST(AudioFileReader, StereoS16At22050PassesThroughExactlyAndPadsTheLastBlock)
{
    std::vector<uint8_t> data;
    std::vector<int16_t> samples;
    for (int i = 0; i < 2 * 1300; ++i) { // 1300 frames: two full blocks and 276 frames
        const auto v = static_cast<int16_t>((i * 7919) % 65536 - 32768);
        samples.push_back(v);
        put(data, static_cast<uint16_t>(v), 2);
    }
    TempFile file(wavBytes(1, 2, 22050, 16, data, true));
    std::string error;
    auto source = AudioFileReader::open(file.path(), error);
    ASSERT_TRUE(source) << error;
    int blocks = 0;
    const std::vector<int16_t> got = readAll(*source, &blocks);
    EXPECT_EQ(blocks, 3);
    ASSERT_EQ(got.size(), 3u * 1024);
    EXPECT_TRUE(std::equal(samples.begin(), samples.end(), got.begin()));
    EXPECT_TRUE(std::all_of(got.begin() + 2600, got.end(), [](int16_t v) { return v == 0; }));
}

TEST(AudioFileReader, MonoFeedsBothChannelsAndOtherFormatsAreScaledTo16Bits)
{
    struct Case {
        const char* name;
        int tag;
        int bits;
        std::vector<uint8_t> sample; // one sample of 0.5 full scale
    };
    const Case cases[] = {
        {"8-bit", 1, 8, {0xC0}},
        {"16-bit", 1, 16, {0x00, 0x40}},
        {"24-bit", 1, 24, {0x00, 0x00, 0x40}},
        {"32-bit", 1, 32, {0x00, 0x00, 0x00, 0x40}},
        {"float", 3, 32, {0x00, 0x00, 0x00, 0x3F}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> data;
        for (int i = 0; i < 10; ++i)
            data.insert(data.end(), c.sample.begin(), c.sample.end());
        TempFile file(wavBytes(c.tag, 1, 22050, c.bits, data));
        std::string error;
        auto source = AudioFileReader::open(file.path(), error);
        ASSERT_TRUE(source) << error;
        const std::vector<int16_t> got = readAll(*source);
        ASSERT_EQ(got.size(), 1024u);
        for (int i = 0; i < 20; ++i)
            EXPECT_EQ(got[static_cast<size_t>(i)], 16384) << i;
        EXPECT_EQ(got[20], 0);
    }
}

TEST(AudioFileReader, StereoS16InWiderContainersKeepsItsFrames)
{
    // 600 frames of two 16-bit samples, each sample in a 4-byte container (block alignment 8).
    std::vector<uint8_t> data;
    for (int i = 0; i < 600; ++i) {
        put(data, static_cast<uint16_t>(static_cast<int16_t>(i)), 2);
        put(data, 0xAAAA, 2);
        put(data, static_cast<uint16_t>(static_cast<int16_t>(-i)), 2);
        put(data, 0xAAAA, 2);
    }
    std::vector<uint8_t> bytes = wavBytes(1, 2, 22050, 16, data);
    bytes[32] = 8; // block alignment
    TempFile file(bytes);
    std::string error;
    auto source = AudioFileReader::open(file.path(), error);
    ASSERT_TRUE(source) << error;
    int blocks = 0;
    const std::vector<int16_t> got = readAll(*source, &blocks);
    EXPECT_EQ(blocks, 2);
    for (int i = 0; i < 600; ++i) {
        ASSERT_EQ(got[static_cast<size_t>(2 * i)], i) << i;
        ASSERT_EQ(got[static_cast<size_t>(2 * i + 1)], -i) << i;
    }
}

TEST(AudioFileReader, OtherRatesAreResampledTo22050)
{
    for (const int rate : {12500, 48000, 8000}) {
        SCOPED_TRACE(rate);
        std::vector<uint8_t> data;
        const int frames = rate; // one second
        for (int i = 0; i < frames; ++i) {
            put(data,
                static_cast<uint16_t>(
                    static_cast<int16_t>(std::lround(10000 * std::sin(2 * std::numbers::pi * 1200.0 * i / rate)))),
                2);
            put(data,
                static_cast<uint16_t>(
                    static_cast<int16_t>(std::lround(10000 * std::sin(2 * std::numbers::pi * 2400.0 * i / rate)))),
                2);
        }
        TempFile file(wavBytes(1, 2, rate, 16, data));
        std::string error;
        auto source = AudioFileReader::open(file.path(), error);
        ASSERT_TRUE(source) << error;
        const std::vector<int16_t> got = readAll(*source);
        ASSERT_GE(got.size(), 2u * 22050);
        ASSERT_LE(got.size(), 2u * (22050 + 512));
        // Away from the edges every output sample lies on the original sine.
        double worst = 0;
        for (int n = 2000; n < 20000; ++n) {
            const double t = n / 22050.0;
            worst = std::max(worst, std::fabs(got[2 * n] - 10000 * std::sin(2 * std::numbers::pi * 1200 * t)));
            worst = std::max(worst, std::fabs(got[2 * n + 1] - 10000 * std::sin(2 * std::numbers::pi * 2400 * t)));
        }
        EXPECT_LT(worst, 30.0);
    }
}

TEST(AudioFileReader, RawStreamIsReadAsStereoS16)
{
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 1024 + 6; ++i)
        put(bytes, static_cast<uint16_t>(static_cast<int16_t>(i - 500)), 2);
    std::FILE* stream = fmemopen(bytes.data(), bytes.size(), "rb");
    ASSERT_NE(stream, nullptr);
    auto source = AudioFileReader::openRaw(stream, true);
    int blocks = 0;
    const std::vector<int16_t> got = readAll(*source, &blocks);
    EXPECT_EQ(blocks, 2);
    EXPECT_EQ(got[0], -500);
    EXPECT_EQ(got[1029], 529);
    EXPECT_EQ(got[1030], 0);
}

TEST(AudioFileReader, MalformedFilesAreRefusedWithAReason)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> noData = wavBytes(1, 2, 22050, 16, {});
    noData.resize(noData.size() - 8);
    std::vector<uint8_t> wideFrames = wavBytes(1, 2, 22050, 16, {1, 2, 3, 4});
    wideFrames[32] = 0xA0; // block alignment 4000 bytes for two 16-bit samples
    wideFrames[33] = 0x0F;
    const Case cases[] = {
        {"empty", {}},
        {"not RIFF", {'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}},
        {"no data chunk", noData},
        {"ADPCM", wavBytes(2, 2, 22050, 4, {1, 2, 3, 4})},
        {"zero channels", wavBytes(1, 0, 22050, 16, {1, 2, 3, 4})},
        {"absurd rate", wavBytes(1, 2, 5, 16, {1, 2, 3, 4})},
        {"rate beyond 384 kHz", wavBytes(1, 2, 400000, 16, {1, 2, 3, 4})},
        {"frames wider than their samples", wideFrames},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFile file(c.bytes);
        std::string error;
        EXPECT_FALSE(AudioFileReader::open(file.path(), error));
        EXPECT_FALSE(error.empty());
    }
    std::string error;
    EXPECT_FALSE(AudioFileReader::open("/nonexistent/varnesk.wav", error));
    EXPECT_NE(error.find("/nonexistent/varnesk.wav"), std::string::npos);
}

TEST(AudioFileReader, TruncatedAndRandomHeadersNeverReadOutOfBounds)
{
    std::vector<uint8_t> data;
    for (int i = 0; i < 3000; ++i)
        data.push_back(static_cast<uint8_t>(i));
    const std::vector<uint8_t> valid = wavBytes(1, 1, 12500, 24, data);
    std::mt19937 rng(17);
    std::vector<std::vector<uint8_t>> files;
    for (size_t cut = 0; cut < 80; ++cut)
        files.emplace_back(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(cut));
    for (int i = 0; i < 200; ++i) {
        std::vector<uint8_t> f = valid;
        for (int k = 0; k < 4; ++k) // scribble over the header
            f[std::uniform_int_distribution<size_t>(12, 43)(rng)] = static_cast<uint8_t>(rng());
        files.push_back(f);
    }
    for (const auto& bytes : files) {
        TempFile file(bytes);
        std::string error;
        if (auto source = AudioFileReader::open(file.path(), error)) {
            int blocks = 0;
            readAll(*source, &blocks);
            EXPECT_LE(blocks, 10000);
        } else {
            EXPECT_FALSE(error.empty());
        }
    }
}

TEST(AudioFileReader, TruncatedDataEndsCleanly)
{
    std::vector<uint8_t> bytes = wavBytes(1, 2, 22050, 16, std::vector<uint8_t>(4000, 0x11));
    bytes.resize(bytes.size() - 1001); // the data chunk promises more than the file holds, and an odd byte
    TempFile file(bytes);
    std::string error;
    auto source = AudioFileReader::open(file.path(), error);
    ASSERT_TRUE(source);
    int blocks = 0;
    const std::vector<int16_t> got = readAll(*source, &blocks);
    EXPECT_EQ(blocks, 2); // 749 whole frames: 512 + 237
    EXPECT_EQ(got[2 * 748 + 1], 0x1111);
    EXPECT_EQ(got[2 * 749], 0); // the three bytes of a partial frame are not a sample
}

} // namespace
} // namespace varnesk
