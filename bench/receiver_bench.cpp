// Receiver benchmarks, run by hand: throughput of the chain on a 10-minute
// stereo file, sensitivity against Eb/N0, levels and bit-rate errors. Prints
// plain tables; see bench/README.md.
#include "acars/raw_text.h"
#include "app/receive_pipeline.h"
#include "receiver/audio_file_reader.h"

#include "acars_signal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using namespace varnesk;

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct Run {
    SettingsStore settings;
    ReceivePipeline station;
    std::multiset<std::string> got; // "L" / "R" + RawText
    Run() : station(settings, AppPaths::make(QStringLiteral("/tmp"), QStringLiteral("varnesk"), false, QDateTime()))
    {
        settings.setInteger(Key::Dual, 2);
        station.setProcessingEnabled(true);
        QObject::connect(&station, &ReceivePipeline::frameCaptured, [this](const CapturedFrame& f, const QDateTime&) {
            got.insert((f.channel == 0 ? "L" : "R") + renderFrameRawText(f.slots, f.bitCount));
        });
    }
    void feed(const std::vector<int16_t>& audio)
    {
        CaptureBlock block{};
        for (size_t at = 0; at + block.size() <= audio.size(); at += block.size()) {
            std::copy_n(audio.begin() + static_cast<std::ptrdiff_t>(at), block.size(), block.begin());
            station.ProcessCaptureBlock(block, QDateTime());
        }
    }
};

std::vector<gen::Burst> traffic(uint32_t seed, int perChannel)
{
    std::mt19937 rng(seed);
    std::vector<gen::Burst> bursts = gen::randomTraffic(rng, 0, perChannel, 0.3, 128);
    const auto right = gen::randomTraffic(rng, 1, perChannel, 0.61, 128);
    bursts.insert(bursts.end(), right.begin(), right.end());
    return bursts;
}

// Share of the sent blocks that came out exactly; frames that were never sent are counted apart.
double decodedShare(const std::vector<gen::Burst>& bursts, const gen::SignalOptions& options, int* wrong = nullptr)
{
    Run run;
    run.feed(gen::renderStereo(bursts, options));
    std::multiset<std::string> sent;
    for (const auto& b : bursts)
        sent.insert((b.channel == 0 ? "L" : "R") + renderRawText(gen::blockChars(b.block)));
    int good = 0;
    int bad = 0;
    for (const auto& g : run.got) {
        auto it = sent.find(g);
        if (it != sent.end()) {
            ++good;
            sent.erase(it);
        } else {
            ++bad;
        }
    }
    if (wrong)
        *wrong = bad;
    return good / static_cast<double>(bursts.size());
}

// With keep, the file is written there and left for timing whole programs on it
// (farm-bench), and nothing is decoded.
void throughput(const std::string& keep = {})
{
    // Ten minutes of traffic on both channels, written to a WAV file and decoded
    // from it as varnesk-decode does.
    gen::SignalOptions options;
    options.noise = true;
    options.ebN0Db = 30;
    options.durationSeconds = 600;
    const std::vector<gen::Burst> bursts = traffic(99, 560);
    std::vector<gen::Burst> inTime;
    std::copy_if(bursts.begin(), bursts.end(), std::back_inserter(inTime),
                 [](const gen::Burst& b) { return b.startSeconds < 598; });
    const std::string path =
        !keep.empty()
            ? keep
            : (std::filesystem::temp_directory_path() / ("varnesk-bench-" + std::to_string(::getpid()) + ".wav"))
                  .string();
    std::string error;
    if (!gen::writeWav(path, gen::renderStereo(inTime, options), error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return;
    }
    if (!keep.empty())
        return;
    for (int pass = 0; pass < 3; ++pass) {
        Run run;
        auto source = AudioFileReader::open(path, error);
        CaptureBlock block;
        uint64_t blocks = 0;
        const double start = cpuSeconds();
        while (source->read(block)) {
            run.station.ProcessCaptureBlock(block, QDateTime());
            ++blocks;
        }
        const double cpu = cpuSeconds() - start;
        const double audio = static_cast<double>(blocks) * 512 / 22050;
        std::printf("throughput pass %d: %.1f s of stereo audio, both channels, in %.3f CPU s = %.0f x real time"
                    " (%zu of %zu blocks decoded)\n",
                    pass + 1, audio, cpu, audio / cpu, run.got.size(), inTime.size());
    }
    std::filesystem::remove(path);
}

void sensitivity(int perChannel)
{
    std::printf("sensitivity: %d mixed blocks per point (%d per channel), peak 8000\n", 2 * perChannel, perChannel);
    std::printf("  Eb/N0 dB   decoded   false frames\n");
    for (int db = 4; db <= 16; db += 2) {
        gen::SignalOptions options;
        options.noise = true;
        options.ebN0Db = db;
        options.seed = static_cast<uint32_t>(1000 + db);
        int wrong = 0;
        const double share = decodedShare(traffic(static_cast<uint32_t>(500 + db), perChannel), options, &wrong);
        std::printf("  %8d   %6.1f %%   %d\n", db, 100 * share, wrong);
    }
}

void variants(int perChannel)
{
    struct Case {
        const char* name;
        double peak;
        double ppm;
    };
    const Case cases[] = {{"peak 30", 30, 0},
                          {"peak 30000", 30000, 0},
                          {"peak 8000", 8000, 0},
                          {"+200 ppm", 8000, 200},
                          {"-200 ppm", 8000, -200}};
    std::printf("levels and bit-rate errors: %d mixed blocks per row\n", 2 * perChannel);
    std::printf("  %-12s %14s %14s\n", "case", "Eb/N0 30 dB", "Eb/N0 12 dB");
    for (const Case& c : cases) {
        double shares[2];
        int i = 0;
        for (const double db : {30.0, 12.0}) {
            gen::SignalOptions options;
            options.noise = true;
            options.ebN0Db = db;
            options.peak = c.peak;
            options.rateErrorPpm = c.ppm;
            options.seed = 77;
            shares[i++] = decodedShare(traffic(78, perChannel), options);
        }
        std::printf("  %-12s %12.1f %% %12.1f %%\n", c.name, 100 * shares[0], 100 * shares[1]);
    }
}

void rateErrors(int perChannel)
{
    std::printf("bit-rate error at Eb/N0 12 dB: %d mixed blocks per point, three noise seeds\n", 2 * perChannel);
    for (const double ppm : {-200.0, -100.0, -50.0, 0.0, 50.0, 100.0, 200.0}) {
        std::printf("  %+6.0f ppm:", ppm);
        for (uint32_t seed = 1; seed <= 3; ++seed) {
            gen::SignalOptions options;
            options.noise = true;
            options.ebN0Db = 12;
            options.rateErrorPpm = ppm;
            options.seed = 300 + seed;
            std::printf("  %5.1f %%", 100 * decodedShare(traffic(310 + seed, perChannel), options));
        }
        std::printf("\n");
    }
}

} // namespace

int main(int argc, char** argv)
{
    const std::string what = argc > 1 ? argv[1] : "all";
    const int perChannel = argc > 2 ? std::max(1, std::atoi(argv[2])) : 150;
    if (what == "throughput-file" && argc > 2) {
        throughput(argv[2]);
        return 0;
    }
    if (what == "throughput" || what == "all")
        throughput();
    if (what == "sensitivity" || what == "all")
        sensitivity(perChannel);
    if (what == "variants" || what == "all")
        variants(perChannel);
    if (what == "ppm" || what == "all")
        rateErrors(perChannel);
    if (what != "all" && what != "throughput" && what != "sensitivity" && what != "variants" && what != "ppm") {
        std::fprintf(stderr, "usage: bench_receiver [all|throughput|sensitivity|variants|ppm] [BLOCKS_PER_CHANNEL]\n"
                             "       bench_receiver throughput-file PATH\n");
        return 2;
    }
    return 0;
}
