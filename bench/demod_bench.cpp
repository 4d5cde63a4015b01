// Benchmarks of the two demodulators, run by hand: sensitivity sweeps of the
// classic chain, the coherent demodulator and both merged, false frames,
// clean and clipped files, and CPU time; see bench/README.md.
#include "app/receive_pipeline.h"
#include "decode/raw_text.h"
#include "receiver/audio_file_reader.h"

#include "acars_signal.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <numbers>
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

const char* kChoiceNames[] = {"classic", "both", "coherent"};

struct Run {
    SettingsStore settings;
    ReceivePipeline station;
    std::multiset<std::string> got; // "L" / "R" + RawText
    int repairedFrames = 0;
    explicit Run(int choice)
        : station(settings, AppPaths::make(QStringLiteral("/tmp"), QStringLiteral("varnesk"), false, QDateTime()))
    {
        settings.setInteger(Key::Dual, 2);
        settings.setInteger(Key::Demodulator, choice);
        station.setProcessingEnabled(true);
        QObject::connect(&station, &ReceivePipeline::frameCaptured, [this](const CapturedFrame& f, const QDateTime&) {
            got.insert((f.channel == 0 ? "L" : "R") + renderFrameRawText(f.slots, f.bitCount));
            repairedFrames += f.repairedBits > 0;
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

// Mixed lengths: short blocks, position-report sized ones, 220-character
// texts and the generator's own mix (0 … 200 characters, one in seven ETB,
// i.e. part of a multi-block message).
gen::BlockSpec mixedBlock(std::mt19937& rng)
{
    gen::BlockSpec b = gen::randomBlock(rng);
    const int kind = std::uniform_int_distribution<int>(0, 3)(rng);
    auto printable = [&rng] { return static_cast<char>(std::uniform_int_distribution<int>(0x20, 0x7E)(rng)); };
    if (kind == 0) {
        b.text.resize(std::min<size_t>(b.text.size(), 16));
    } else if (kind == 1) {
        b.text.resize(std::min<size_t>(b.text.size(), 12));
        b.text += "POSN35123E139456,12345,350,M45,270045";
        while (b.text.size() < 70)
            b.text.push_back(printable());
    } else if (kind == 2) {
        while (b.text.size() < 220)
            b.text.push_back(printable());
        b.text.resize(220);
    }
    return b;
}

// Traffic on both channels, random gaps and carrier phases.
std::vector<gen::Burst> traffic(uint32_t seed, int perChannel)
{
    std::mt19937 rng(seed);
    std::vector<gen::Burst> bursts;
    for (int ch = 0; ch < 2; ++ch) {
        double at = 0.3 + 0.31 * ch;
        for (int i = 0; i < perChannel; ++i) {
            gen::Burst b;
            b.channel = ch;
            b.startSeconds = at;
            b.block = mixedBlock(rng);
            b.startPhase = std::uniform_real_distribution<double>(0, 2 * std::numbers::pi)(rng);
            at += gen::burstSeconds(b.block, 128) * 1.0002 + std::uniform_real_distribution<double>(0.2, 0.6)(rng);
            bursts.push_back(std::move(b));
        }
    }
    return bursts;
}

// A scanner's audio path: 300 Hz second-order high-pass and 3000 Hz
// fourth-order low-pass (Butterworth, bilinear), then a DC offset.
struct Biquad {
    double b0, b1, b2, a1, a2;
    double z1 = 0, z2 = 0;
    double step(double x)
    {
        const double y = b0 * x + z1;
        z1 = b1 * x - a1 * y + z2;
        z2 = b2 * x - a2 * y;
        return y;
    }
};

Biquad butterworth(double fc, double q, bool highPass)
{
    const double w = 2 * std::numbers::pi * fc / 22050;
    const double alpha = std::sin(w) / (2 * q);
    const double c = std::cos(w);
    const double a0 = 1 + alpha;
    if (highPass)
        return {(1 + c) / 2 / a0, -(1 + c) / a0, (1 + c) / 2 / a0, -2 * c / a0, (1 - alpha) / a0};
    return {(1 - c) / 2 / a0, (1 - c) / a0, (1 - c) / 2 / a0, -2 * c / a0, (1 - alpha) / a0};
}

void scannerPath(std::vector<int16_t>& audio, double dc)
{
    for (int ch = 0; ch < 2; ++ch) {
        Biquad hp = butterworth(300, 0.7071, true);
        Biquad lp1 = butterworth(3000, 0.5412, false);
        Biquad lp2 = butterworth(3000, 1.3066, false);
        for (size_t n = static_cast<size_t>(ch); n < audio.size(); n += 2) {
            const double y = lp2.step(lp1.step(hp.step(audio[n]))) + dc;
            audio[n] = static_cast<int16_t>(std::clamp(std::nearbyint(y), -32768.0, 32767.0));
        }
    }
}

struct Point {
    double ebN0Db = 30;
    bool noise = true;
    bool scanner = false;
    double peak = 8000;
    uint32_t seed = 1;
    int perChannel = 150;
};

// The audio of one point: four stretches of traffic, each with its own
// bit-rate error (uniform in ±100 ppm) and noise, one after the other.
std::vector<int16_t> pointAudio(const Point& p, std::vector<gen::Burst>& sent)
{
    std::mt19937 rng(p.seed * 7919u + 17u);
    std::vector<int16_t> audio;
    sent.clear();
    const int parts = 4;
    for (int part = 0; part < parts; ++part) {
        const int n = p.perChannel / parts + (part < p.perChannel % parts ? 1 : 0);
        if (n == 0)
            continue;
        std::vector<gen::Burst> bursts = traffic(p.seed * 31u + static_cast<uint32_t>(part), n);
        gen::SignalOptions options;
        options.noise = p.noise;
        options.ebN0Db = p.ebN0Db;
        options.peak = p.peak;
        options.rateErrorPpm = std::uniform_real_distribution<double>(-100, 100)(rng);
        options.seed = p.seed * 101u + static_cast<uint32_t>(part);
        std::vector<int16_t> a = gen::renderStereo(bursts, options);
        if (p.scanner)
            scannerPath(a, 1000);
        sent.insert(sent.end(), bursts.begin(), bursts.end());
        audio.insert(audio.end(), a.begin(), a.end());
    }
    return audio;
}

struct Score {
    int sent = 0;
    int good = 0;
    int wrong = 0;
    int repaired = 0;
};

Score score(const std::vector<gen::Burst>& sent, const Run& run, bool print = false)
{
    std::multiset<std::string> want;
    for (const auto& b : sent)
        want.insert((b.channel == 0 ? "L" : "R") + renderRawText(gen::blockChars(b.block)));
    Score s;
    s.sent = static_cast<int>(sent.size());
    s.repaired = run.repairedFrames;
    for (const auto& g : run.got) {
        auto it = want.find(g);
        if (it != want.end()) {
            ++s.good;
            want.erase(it);
        } else {
            ++s.wrong;
            if (print)
                std::printf("    false: %s\n", g.c_str());
        }
    }
    if (print)
        for (const auto& w : want)
            std::printf("    missed: %s\n", w.c_str());
    return s;
}

Score runPoint(const Point& p, int choice, bool print = false)
{
    std::vector<gen::Burst> sent;
    const std::vector<int16_t> audio = pointAudio(p, sent);
    Run run(choice);
    run.feed(audio);
    return score(sent, run, print);
}

// Eb/N0 where the share first reaches the goal, interpolated between points.
double threshold(const std::map<int, double>& share, double goal)
{
    double prevDb = 0, prev = 0;
    bool first = true;
    for (const auto& [db, s] : share) {
        if (s >= goal)
            return first ? db : prevDb + (goal - prev) / (s - prev) * (db - prevDb);
        prevDb = db;
        prev = s;
        first = false;
    }
    return NAN;
}

void sweep(int perChannel, bool scanner, int fromDb, int toDb)
{
    std::printf("sweep%s: %d mixed blocks per point, +-100 ppm, random phase and start\n",
                scanner ? " through a 300-3000 Hz band-pass with DC offset 1000" : "", 2 * perChannel);
    std::printf("  Eb/N0 dB       classic   coherent       both   false frames (classic/coherent/both)   repaired\n");
    std::map<int, double> shares[3];
    int totalSent = 0, totalWrong[3] = {};
    for (int db = fromDb; db <= toDb; ++db) {
        Point p;
        p.ebN0Db = db;
        p.scanner = scanner;
        p.seed = static_cast<uint32_t>(1000 + db + (scanner ? 500 : 0));
        p.perChannel = perChannel;
        Score s[3];
        for (const int choice : {0, 2, 1})
            s[choice] = runPoint(p, choice);
        for (int c = 0; c < 3; ++c) {
            shares[c][db] = static_cast<double>(s[c].good) / s[c].sent;
            totalWrong[c] += s[c].wrong;
        }
        totalSent += s[0].sent;
        std::printf("  %8d   %6.1f %%   %6.1f %%   %6.1f %%   %4d %4d %4d   %6d\n", db, 100.0 * s[0].good / s[0].sent,
                    100.0 * s[2].good / s[2].sent, 100.0 * s[1].good / s[1].sent, s[0].wrong, s[2].wrong, s[1].wrong,
                    s[1].repaired);
        std::fflush(stdout);
    }
    for (const int c : {0, 2, 1})
        std::printf("  %-9s 50/90/99 %% at %.1f / %.1f / %.1f dB; false frames %d in %d blocks\n", kChoiceNames[c],
                    threshold(shares[c], 0.5), threshold(shares[c], 0.9), threshold(shares[c], 0.99), totalWrong[c],
                    totalSent);
}

void files(int perChannel)
{
    struct Case {
        const char* name;
        bool noise;
        double ebN0Db;
        double peak;
    };
    const Case cases[] = {{"clean (digital silence)", false, 0, 8000},
                          {"peak 30, no noise", false, 0, 30},
                          {"peak 30000 (clipped), no noise", false, 0, 30000},
                          {"peak 30, Eb/N0 30 dB", true, 30, 30},
                          {"peak 30000, Eb/N0 30 dB", true, 30, 30000}};
    std::printf("files: %d mixed blocks each, +-100 ppm\n", 2 * perChannel);
    std::printf("  %-32s %9s %9s %9s   false (classic/coherent/both)\n", "case", "classic", "coherent", "both");
    for (const Case& c : cases) {
        Point p;
        p.noise = c.noise;
        p.ebN0Db = c.ebN0Db;
        p.peak = c.peak;
        p.seed = 77;
        p.perChannel = perChannel;
        Score s[3];
        for (const int choice : {0, 2, 1})
            s[choice] = runPoint(p, choice);
        std::printf("  %-32s %7.1f %% %7.1f %% %7.1f %%   %d %d %d\n", c.name, 100.0 * s[0].good / s[0].sent,
                    100.0 * s[2].good / s[2].sent, 100.0 * s[1].good / s[1].sent, s[0].wrong, s[2].wrong, s[1].wrong);
    }
}

// Noise alone (digital silence, then noise at several levels): no frame may come out.
void noiseOnly(int seconds)
{
    int frames[3] = {};
    for (const int choice : {0, 1, 2}) {
        Run run(choice);
        std::mt19937 rng(4242);
        for (const double sigma : {0.0, 3.0, 300.0, 3000.0, 12000.0}) {
            // sigma 0 is digital silence (a normal distribution needs a positive spread).
            std::normal_distribution<double> g(0, sigma > 0 ? sigma : 1.0);
            std::vector<int16_t> audio(static_cast<size_t>(seconds) * 22050 * 2);
            for (int16_t& v : audio)
                v = sigma > 0 ? static_cast<int16_t>(std::clamp(std::nearbyint(g(rng)), -32768.0, 32767.0)) : int16_t{0};
            run.feed(audio);
        }
        frames[choice] = static_cast<int>(run.got.size());
    }
    std::printf("noise only: %d s per level at 5 levels, both channels: frames classic %d, coherent %d, both %d\n", seconds,
                frames[0], frames[2], frames[1]);
}

void throughput()
{
    gen::SignalOptions options;
    options.noise = true;
    options.ebN0Db = 30;
    options.durationSeconds = 600;
    std::mt19937 rng(99);
    std::vector<gen::Burst> bursts = gen::randomTraffic(rng, 0, 560, 0.3, 128);
    const auto right = gen::randomTraffic(rng, 1, 560, 0.61, 128);
    bursts.insert(bursts.end(), right.begin(), right.end());
    std::erase_if(bursts, [](const gen::Burst& b) { return b.startSeconds >= 598; });
    const std::string path =
        (std::filesystem::temp_directory_path() / ("varnesk-demod-" + std::to_string(::getpid()) + ".wav")).string();
    std::string error;
    if (!gen::writeWav(path, gen::renderStereo(bursts, options), error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return;
    }
    // Alternating runs so that a drift of the machine's speed hits all three alike.
    double cpu[3] = {};
    size_t got[3] = {};
    const int passes = 3;
    for (int pass = 0; pass < passes; ++pass)
        for (const int choice : {0, 1, 2}) {
            Run run(choice);
            auto source = AudioFileReader::open(path, error);
            CaptureBlock block;
            const double start = cpuSeconds();
            while (source->read(block))
                run.station.ProcessCaptureBlock(block, QDateTime());
            cpu[choice] += cpuSeconds() - start;
            got[choice] = run.got.size();
        }
    for (const int c : {0, 2, 1})
        std::printf("throughput %-9s 600 s of stereo audio in %.3f CPU s (mean of %d), %zu of %zu blocks\n",
                    kChoiceNames[c], cpu[c] / passes, passes, got[c], bursts.size());
    std::printf("  both / classic = %.2f\n", cpu[1] / cpu[0]);
    std::filesystem::remove(path);
}

} // namespace

int main(int argc, char** argv)
{
    const std::string what = argc > 1 ? argv[1] : "all";
    const int perChannel = argc > 2 ? std::max(1, std::atoi(argv[2])) : 150;
    if (what == "point") {
        // point DB [SCANNER] [PER_CHANNEL] [SEED]: one point with every miss and false frame listed.
        Point p;
        p.ebN0Db = argc > 2 ? std::atof(argv[2]) : 10;
        p.scanner = argc > 3 && std::atoi(argv[3]) != 0;
        p.perChannel = argc > 4 ? std::atoi(argv[4]) : 50;
        p.seed = argc > 5 ? static_cast<uint32_t>(std::atoi(argv[5])) : 1;
        p.noise = p.ebN0Db < 99;
        for (const int choice : {0, 2}) {
            std::printf("%s:\n", kChoiceNames[choice]);
            const Score s = runPoint(p, choice, choice == 2);
            std::printf("  %d of %d, %d false, %d repaired\n", s.good, s.sent, s.wrong, s.repaired);
        }
        return 0;
    }
    const int from = argc > 3 ? std::atoi(argv[3]) : 0;
    const int to = argc > 4 ? std::atoi(argv[4]) : 16;
    if (what == "sweep" || what == "all") {
        sweep(perChannel, false, from, to);
        sweep(perChannel, true, from, to);
    }
    if (what == "files" || what == "all")
        files(perChannel);
    if (what == "noise" || what == "all")
        noiseOnly(60);
    if (what == "throughput" || what == "all")
        throughput();
    if (what != "all" && what != "sweep" && what != "files" && what != "noise" && what != "throughput") {
        std::fprintf(stderr, "usage: bench_demod [all|sweep|files|noise|throughput] [BLOCKS_PER_CHANNEL [FROM_DB TO_DB]]\n"
                             "       bench_demod point DB [SCANNER] [BLOCKS_PER_CHANNEL] [SEED]\n");
        return 2;
    }
    return 0;
}
