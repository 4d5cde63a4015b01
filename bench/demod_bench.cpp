// Benchmarks of the two demodulators, run by hand: sensitivity sweeps of the
// classic chain, the coherent demodulator and both merged, false frames,
// clean and clipped files, and CPU time; the same traffic through the IQ path
// of a software-defined radio (sensitivity against audio, the channelizer's
// CPU time); see bench/README.md.
#include "acars/raw_text.h"
#include "app/receive_pipeline.h"
#include "receiver/audio_file_reader.h"
#include "receiver/iq_channelizer.h"
#include "receiver/soft_repair.h"

#include "acars_signal.h"
#include "iq_signal.h"
#include "scanner_path.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
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
    long long repairedBits = 0; // bits the repair changed, over the frames delivered
    long long bits = 0;         // bits of the frames delivered
    double expectedFalse = 0;   // Σ (1 − posterior) over the frames delivered
    explicit Run(int choice)
        : station(settings, AppPaths::make(QStringLiteral("/tmp"), QStringLiteral("varnesk"), false, QDateTime()))
    {
        settings.setInteger(Key::Dual, 2);
        settings.setInteger(Key::Demodulator, choice);
        station.setProcessingEnabled(true);
        QObject::connect(&station, &ReceivePipeline::frameCaptured, [this](const CapturedFrame& f, const QDateTime&) {
            got.insert((f.channel == 0 ? "L" : "R") + renderFrameRawText(f.slots, f.bitCount));
            repairedFrames += f.repairedBits > 0;
            repairedBits += f.repairedBits;
            expectedFalse += 1 - f.repairPosterior;
            bits += f.bitCount;
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

// Traffic as heard on the air (the generator's on-air mix: downlinks of every
// length, position reports, general responses, squitters, uplinks in mode "2"
// and lower-case modes, some ETB), on both channels, random gaps and carrier phases.
std::vector<gen::Burst> traffic(uint32_t seed, int perChannel)
{
    std::mt19937 rng(seed);
    std::vector<gen::Burst> bursts;
    for (int ch = 0; ch < 2; ++ch) {
        gen::AirTraffic air(seed * 2 + static_cast<uint32_t>(ch));
        double at = 0.3 + 0.31 * ch;
        for (int i = 0; i < perChannel; ++i) {
            gen::Burst b = air.next();
            b.channel = ch;
            b.startSeconds = at;
            b.startPhase = std::uniform_real_distribution<double>(0, 2 * std::numbers::pi)(rng);
            at += gen::burstSeconds(b.block, 128) * 1.0002 + std::uniform_real_distribution<double>(0.2, 0.6)(rng);
            bursts.push_back(std::move(b));
        }
    }
    return bursts;
}

struct Point {
    double ebN0Db = 30;
    bool noise = true;
    bool scanner = false;
    double peak = 8000;
    uint32_t seed = 1;
    int perChannel = 150;
};

// One point is four stretches of traffic, each with its own bit-rate error
// (uniform in ±100 ppm) and noise, one after the other.
struct Stretch {
    std::vector<gen::Burst> bursts;
    gen::SignalOptions options;
};

std::vector<Stretch> pointStretches(const Point& p)
{
    std::mt19937 rng(p.seed * 7919u + 17u);
    std::vector<Stretch> out;
    const int parts = 4;
    for (int part = 0; part < parts; ++part) {
        const int n = p.perChannel / parts + (part < p.perChannel % parts ? 1 : 0);
        if (n == 0)
            continue;
        Stretch s;
        s.bursts = traffic(p.seed * 31u + static_cast<uint32_t>(part), n);
        s.options.noise = p.noise;
        s.options.ebN0Db = p.ebN0Db;
        s.options.peak = p.peak;
        s.options.rateErrorPpm = std::uniform_real_distribution<double>(-100, 100)(rng);
        s.options.seed = p.seed * 101u + static_cast<uint32_t>(part);
        out.push_back(std::move(s));
    }
    return out;
}

std::vector<int16_t> pointAudio(const Point& p, std::vector<gen::Burst>& sent)
{
    std::vector<int16_t> audio;
    sent.clear();
    for (const Stretch& s : pointStretches(p)) {
        std::vector<int16_t> a = gen::renderStereo(s.bursts, s.options);
        if (p.scanner)
            gen::scannerPath(a, 1000);
        sent.insert(sent.end(), s.bursts.begin(), s.bursts.end());
        audio.insert(audio.end(), a.begin(), a.end());
    }
    return audio;
}

// The kinds a sweep reports separately: the generator's, and ETB blocks of any kind.
constexpr int kKindRows = gen::kBlockKinds + 1;
const char* kindRowName(int k)
{
    return k < gen::kBlockKinds ? gen::blockKindName(static_cast<gen::BlockKind>(k)) : "ETB (any kind)";
}

struct Score {
    int sent = 0;
    int good = 0;
    std::array<int, kKindRows> kindSent{};
    std::array<int, kKindRows> kindGood{};
    int wrong = 0;
    int repaired = 0;
    double bitErrorRate = 0;  // hard-decision errors in the frames delivered
    double expectedFalse = 0; // false frames the repair's posteriors predict
    double cpuSeconds = 0;    // of the receive pipeline on the point's audio
};

Score score(const std::vector<gen::Burst>& sent, const Run& run, bool print = false)
{
    std::multiset<std::string> want;
    std::multimap<std::string, std::pair<int, bool>> kindOf; // kind and ETB, per block sent
    Score s;
    for (const auto& b : sent) {
        const std::string line = (b.channel == 0 ? "L" : "R") + renderRawText(gen::blockChars(b.block));
        want.insert(line);
        kindOf.emplace(line, std::make_pair(static_cast<int>(b.kind), !b.block.etx));
        ++s.kindSent[static_cast<size_t>(b.kind)];
        s.kindSent[gen::kBlockKinds] += !b.block.etx;
    }
    s.sent = static_cast<int>(sent.size());
    s.repaired = run.repairedFrames;
    s.expectedFalse = run.expectedFalse;
    s.bitErrorRate = run.bits > 0 ? static_cast<double>(run.repairedBits) / static_cast<double>(run.bits) : 0;
    for (const auto& g : run.got) {
        auto it = want.find(g);
        if (it != want.end()) {
            ++s.good;
            want.erase(it);
            const auto k = kindOf.find(g);
            ++s.kindGood[static_cast<size_t>(k->second.first)];
            s.kindGood[gen::kBlockKinds] += k->second.second;
            kindOf.erase(k);
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
    const double t0 = cpuSeconds();
    run.feed(audio);
    const double cpu = cpuSeconds() - t0;
    Score s = score(sent, run, print);
    s.cpuSeconds = cpu;
    return s;
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
    std::printf("  Eb/N0 dB       classic   coherent       both   false frames (classic/coherent/both)   repaired"
                "   CPU both / classic\n");
    std::map<int, double> shares[3];
    std::array<std::map<int, double>, kKindRows> kindShares;
    std::array<int, kKindRows> kindSent{};
    int totalSent = 0, totalWrong[3] = {};
    double totalExpected[3] = {};
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
            totalExpected[c] += s[c].expectedFalse;
        }
        totalSent += s[0].sent;
        for (int k = 0; k < kKindRows; ++k) {
            kindSent[static_cast<size_t>(k)] += s[1].kindSent[static_cast<size_t>(k)];
            if (s[1].kindSent[static_cast<size_t>(k)] > 0)
                kindShares[static_cast<size_t>(k)][db] =
                    static_cast<double>(s[1].kindGood[static_cast<size_t>(k)]) / s[1].kindSent[static_cast<size_t>(k)];
        }
        std::printf("  %8d   %6.1f %%   %6.1f %%   %6.1f %%   %4d %4d %4d   %6d   %5.2f\n", db,
                    100.0 * s[0].good / s[0].sent, 100.0 * s[2].good / s[2].sent, 100.0 * s[1].good / s[1].sent,
                    s[0].wrong, s[2].wrong, s[1].wrong, s[1].repaired,
                    s[1].cpuSeconds / std::max(s[0].cpuSeconds, 1e-9));
        std::fflush(stdout);
    }
    for (const int c : {0, 2, 1})
        std::printf("  %-9s 50/90/99 %% at %.2f / %.2f / %.2f dB; false frames %d in %d blocks (%.2f expected from "
                    "the posteriors)\n",
                    kChoiceNames[c], threshold(shares[c], 0.5), threshold(shares[c], 0.9), threshold(shares[c], 0.99),
                    totalWrong[c], totalSent, totalExpected[c]);
    std::printf("  each kind, both demodulators (blocks over the sweep):\n");
    for (int k = 0; k < kKindRows; ++k)
        std::printf("    %-18s 50/90/99 %% at %.2f / %.2f / %.2f dB (%d blocks)\n", kindRowName(k),
                    threshold(kindShares[static_cast<size_t>(k)], 0.5),
                    threshold(kindShares[static_cast<size_t>(k)], 0.9),
                    threshold(kindShares[static_cast<size_t>(k)], 0.99), kindSent[static_cast<size_t>(k)]);
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
void noiseOnly(int seconds, bool scanner)
{
    int frames[3] = {};
    double cpu[3] = {};
    for (const int choice : {0, 1, 2}) {
        const double t0 = cpuSeconds();
        Run run(choice);
        std::mt19937 rng(4242);
        for (const double sigma : {0.0, 3.0, 300.0, 3000.0, 12000.0}) {
            // sigma 0 is digital silence (a normal distribution needs a positive spread).
            std::normal_distribution<double> g(0, sigma > 0 ? sigma : 1.0);
            std::vector<int16_t> audio(static_cast<size_t>(seconds) * 22050 * 2);
            for (int16_t& v : audio)
                v = sigma > 0 ? static_cast<int16_t>(std::clamp(std::nearbyint(g(rng)), -32768.0, 32767.0))
                              : int16_t{0};
            if (scanner)
                gen::scannerPath(audio, 1000);
            run.feed(audio);
        }
        frames[choice] = static_cast<int>(run.got.size());
        cpu[choice] = cpuSeconds() - t0;
    }
    std::printf("noise only%s: %d s per level at 5 levels, both channels: frames classic %d, coherent %d, both %d; "
                "CPU s %.2f / %.2f / %.2f\n",
                scanner ? " (300-3000 Hz band-pass, DC 1000)" : "", seconds, frames[0], frames[2], frames[1], cpu[0],
                cpu[2], cpu[1]);
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

// The IQ path: the point's traffic AM-modulates carriers at 131.450 and
// 131.950 MHz (depth 0.5) in cu8 at rateHz about 131.700 MHz, the noise at
// the point's Eb/N0 by the IQ definition (the same Eb/N0 reaches the audio of
// an ideal envelope detector); each stretch has its carriers off by its own
// ±20 ppm. The channelizer's audio goes into the receive pipeline.
struct IqPath {
    double rateHz = 2'400'000;
    gen::IqOptions options(const Point& p, int part) const
    {
        gen::IqOptions iq;
        iq.rateHz = rateHz;
        iq.noise = p.noise;
        iq.ebN0Db = p.ebN0Db;
        iq.seed = p.seed * 211u + static_cast<uint32_t>(part);
        std::mt19937 rng(iq.seed);
        iq.ppm = std::uniform_real_distribution<double>(-20, 20)(rng);
        return iq;
    }
};

// The point through the IQ path once, its audio into a pipeline of each choice.
std::array<Score, 3> runIqPoint(const Point& p, const IqPath& path, double& channelizerCpu)
{
    std::array<std::unique_ptr<Run>, 3> runs;
    for (int c = 0; c < 3; ++c)
        runs[static_cast<size_t>(c)] = std::make_unique<Run>(c);
    std::vector<gen::Burst> sent;
    const gen::IqOptions first = path.options(p, 0);
    IqChannelizer channelizer(IqTuning{first.rateHz, first.centreHz, first.channelHz},
                              [&runs](const ChannelBlock& channelBlock) {
                                  const CaptureBlock block = channelBlock.stereo();
                                  for (auto& run : runs)
                                      run->station.ProcessCaptureBlock(block, QDateTime());
                              });
    int part = 0;
    for (const Stretch& s : pointStretches(p)) {
        sent.insert(sent.end(), s.bursts.begin(), s.bursts.end());
        gen::renderIq(s.bursts, s.options, path.options(p, part++), [&](std::span<const std::byte> piece) {
            const double start = cpuSeconds();
            channelizer.push(IqFormat::Cu8, piece);
            channelizerCpu += cpuSeconds() - start; // the pipelines' share included
            return true;
        });
    }
    channelizer.flush();
    return {score(sent, *runs[0]), score(sent, *runs[1]), score(sent, *runs[2])};
}

void iqSweep(int perChannel, int fromDb, int toDb, double rateHz)
{
    std::printf("IQ sweep: %d mixed blocks per point, cu8 at %.0f samples/s, carriers +-20 ppm, bit rate +-100 ppm,\n"
                "  the same traffic and Eb/N0 as audio and through the IQ path (channelizer + receive pipeline)\n",
                2 * perChannel, rateHz);
    std::printf("  Eb/N0 dB   audio: classic      both   IQ: classic      both   false (audio/IQ, both)\n");
    IqPath path;
    path.rateHz = rateHz;
    std::map<int, double> shares[4];
    int wrong[2] = {};
    int sentTotal = 0;
    for (int db = fromDb; db <= toDb; ++db) {
        Point p;
        p.ebN0Db = db;
        p.seed = static_cast<uint32_t>(3000 + db);
        p.perChannel = perChannel;
        const Score audioClassic = runPoint(p, 0);
        const Score audioBoth = runPoint(p, 1);
        double cpu = 0;
        const std::array<Score, 3> iq = runIqPoint(p, path, cpu);
        const Score& iqClassic = iq[0];
        const Score& iqBoth = iq[1];
        const Score* all[4] = {&audioClassic, &audioBoth, &iqClassic, &iqBoth};
        for (int k = 0; k < 4; ++k)
            shares[k][db] = static_cast<double>(all[k]->good) / all[k]->sent;
        wrong[0] += audioBoth.wrong;
        wrong[1] += iqBoth.wrong;
        sentTotal += audioBoth.sent;
        std::printf("  %8d   %12.1f %% %7.1f %%   %9.1f %% %7.1f %%   %d / %d\n", db, 100 * shares[0][db],
                    100 * shares[1][db], 100 * shares[2][db], 100 * shares[3][db], audioBoth.wrong, iqBoth.wrong);
        std::fflush(stdout);
    }
    const char* names[4] = {"audio, classic", "audio, both", "IQ, classic", "IQ, both"};
    for (int k = 0; k < 4; ++k)
        std::printf("  %-15s 50/90 %% at %.1f / %.1f dB\n", names[k], threshold(shares[k], 0.5),
                    threshold(shares[k], 0.9));
    std::printf("  false frames (both): audio %d, IQ %d in %d blocks\n", wrong[0], wrong[1], sentTotal);
}

// CPU time of the channelizer alone on cu8 and cs16 at rateHz: 20 s of
// traffic at Eb/N0 30 dB rendered once into memory, then pushed in 64 KiB
// reads, five times over.
void iqCpu(double rateHz)
{
    for (const IqFormat format : {IqFormat::Cu8, IqFormat::Cs16}) {
        std::mt19937 rng(5);
        std::vector<gen::Burst> bursts = gen::randomTraffic(rng, 0, 18, 0.3, 128);
        const auto right = gen::randomTraffic(rng, 1, 18, 0.61, 128);
        bursts.insert(bursts.end(), right.begin(), right.end());
        gen::SignalOptions audio;
        audio.durationSeconds = 20;
        gen::IqOptions iq;
        iq.rateHz = rateHz;
        iq.noise = true;
        iq.ebN0Db = 30;
        iq.format = format;
        std::vector<std::byte> bytes;
        gen::renderIq(bursts, audio, iq, [&](std::span<const std::byte> piece) {
            bytes.insert(bytes.end(), piece.begin(), piece.end());
            return true;
        });
        const double seconds =
            static_cast<double>(bytes.size() / static_cast<size_t>(iqBytesPerSample(format))) / rateHz;
        const int passes = 5;
        uint64_t blocks = 0;
        const double start = cpuSeconds();
        for (int pass = 0; pass < passes; ++pass) {
            IqChannelizer channelizer(IqTuning{rateHz, iq.centreHz, iq.channelHz},
                                      [&blocks](const ChannelBlock&) { ++blocks; });
            for (size_t at = 0; at < bytes.size(); at += 65536)
                channelizer.push(
                    format, std::span<const std::byte>(bytes).subspan(at, std::min<size_t>(65536, bytes.size() - at)));
            channelizer.flush();
        }
        const double cpu = (cpuSeconds() - start) / passes;
        std::printf(
            "IQ channelizer, %s at %.0f samples/s: %.1f s of IQ in %.3f CPU s (mean of %d), %.0f times real time, "
            "%.1f %% of a core; %llu blocks\n",
            std::string(iqFormatName(format)).c_str(), rateHz, seconds, cpu, passes, seconds / cpu, 100 * cpu / seconds,
            static_cast<unsigned long long>(blocks / passes));
    }
}

// The soft repair alone on the point's blocks, with log-likelihood ratios of
// an ideal coherent receiver (exact amplitude, noise and timing) at the point's
// Eb/N0: what the demodulator would decode if it lost nothing.
void idealPoint(const Point& p)
{
    SoftRepair repair;
    std::mt19937 rng(p.seed);
    std::normal_distribution<double> noise(0, 1);
    const double a = std::sqrt(2 * std::pow(10.0, p.ebN0Db / 10)); // amplitude over σ
    int sent = 0, good = 0, wrong = 0;
    double expectedFalse = 0;
    std::vector<float> llr;
    for (const Stretch& s : pointStretches(p))
        for (const gen::Burst& b : s.bursts) {
            const std::vector<uint8_t> bytes = gen::onAirBytes(b.block);
            // From the mode character (after + * SYN SYN SOH) through the BCS; the DEL after it is dropped.
            const auto frame = std::span<const uint8_t>(bytes).subspan(5, bytes.size() - 6);
            const int charCount = static_cast<int>(frame.size()) - 2;
            llr.clear();
            for (const uint8_t byte : frame)
                for (int k = 0; k < 8; ++k) {
                    const double x = ((byte >> k) & 1) ? a : -a;
                    llr.push_back(static_cast<float>(2 * a * (x + noise(rng))));
                }
            std::vector<uint8_t> chars(static_cast<size_t>(charCount));
            const RepairResult r = repair.repair(llr, charCount, frame[static_cast<size_t>(charCount - 1)], 0, chars);
            ++sent;
            if (r.ok) {
                expectedFalse += 1 - r.posterior;
                if (std::equal(chars.begin(), chars.end(), frame.begin()))
                    ++good;
                else
                    ++wrong;
            }
        }
    std::printf("ideal receiver at %.1f dB: %d of %d, %d false (%.2f expected from the posteriors)\n", p.ebN0Db, good,
                sent, wrong, expectedFalse);
}

} // namespace

int main(int argc, char** argv)
{
    const std::string what = argc > 1 ? argv[1] : "all";
    const int perChannel = argc > 2 ? std::max(1, std::atoi(argv[2])) : 150;
    if (what == "ideal") {
        // ideal DB [PER_CHANNEL] [SEED]: the soft repair on ideal receiver output for the point's blocks.
        Point p;
        p.ebN0Db = argc > 2 ? std::atof(argv[2]) : 3.5;
        p.perChannel = argc > 3 ? std::atoi(argv[3]) : 150;
        p.seed = argc > 4 ? static_cast<uint32_t>(std::atoi(argv[4])) : 1;
        idealPoint(p);
        return 0;
    }
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
            std::printf("  %d of %d, %d false (%.2f expected from the posteriors), %d repaired; bit error rate in the "
                        "frames delivered %.5f\n",
                        s.good, s.sent, s.wrong, s.expectedFalse, s.repaired, s.bitErrorRate);
        }
        return 0;
    }
    const int from = argc > 3 ? std::atoi(argv[3]) : 0;
    const int to = argc > 4 ? std::atoi(argv[4]) : 16;
    const double iqRate = argc > 5 ? std::atof(argv[5]) : 2'400'000;
    if (what == "iq-sweep" || what == "iq-cpu") {
        // iq-sweep [PER_CHANNEL [FROM TO [RATE]]], iq-cpu [RATE]
        if (what == "iq-sweep")
            iqSweep(perChannel, from, to, iqRate);
        else
            iqCpu(argc > 2 ? std::atof(argv[2]) : 2'400'000);
        return 0;
    }
    if (what == "sweep" || what == "all") {
        sweep(perChannel, false, from, to);
        sweep(perChannel, true, from, to);
    }
    if (what == "files" || what == "all")
        files(perChannel);
    if (what == "noise" || what == "all") {
        // noise [SECONDS per level]
        const int seconds = what == "noise" && argc > 2 ? std::max(1, std::atoi(argv[2])) : 60;
        noiseOnly(seconds, false);
        noiseOnly(seconds, true);
    }
    if (what == "throughput" || what == "all")
        throughput();
    if (what != "all" && what != "sweep" && what != "files" && what != "noise" && what != "throughput") {
        std::fprintf(stderr,
                     "usage: bench_demod [all|sweep|files|noise|throughput] [BLOCKS_PER_CHANNEL [FROM_DB TO_DB]]\n"
                     "       bench_demod point DB [SCANNER] [BLOCKS_PER_CHANNEL] [SEED]\n"
                     "       bench_demod ideal DB [BLOCKS_PER_CHANNEL] [SEED]\n"
                     "       bench_demod iq-sweep [BLOCKS_PER_CHANNEL [FROM_DB TO_DB [RATE]]]\n"
                     "       bench_demod iq-cpu [RATE]\n");
        return 2;
    }
    return 0;
}
