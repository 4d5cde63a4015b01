// The second demodulator and what surrounds it: the coherent receiver on the
// real recordings, on noisy generated traffic and on noise alone; the repair
// guard; the merge of both demodulators' frames in the receive pipeline; and
// the two-channel run of the classic chain against the one-channel run.
#include "acars/crc16.h"
#include "acars/raw_text.h"
#include "app/receive_pipeline.h"
#include "receiver/audio_file_reader.h"
#include "receiver/frame_merge.h"
#include "receiver/soft_repair.h"

#include "acars_signal.h"

#include <bit>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <numbers>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace varnesk {
namespace {

struct Station {
    SettingsStore settings;
    ReceivePipeline pipeline;
    std::vector<std::string> lines; // "L" / "R" + RawText
    std::vector<Demodulator> from;
    std::vector<std::pair<int, double>> repairs; // bits flipped and the posterior, per frame
    std::vector<std::optional<double>> levels;
    CarrierLevels carrier; // beside every block
    explicit Station(int choice)
        : pipeline(settings, AppPaths::make(QStringLiteral(VARNESK_APP_DIR), QStringLiteral("varnesk"), false,
                                            QDateTime::currentDateTime()))
    {
        settings.setInteger(Key::Dual, 2);
        settings.setInteger(Key::Demodulator, choice);
        pipeline.setProcessingEnabled(true);
        QObject::connect(&pipeline, &ReceivePipeline::frameCaptured, [this](const CapturedFrame& f, const QDateTime&) {
            lines.push_back((f.channel == 0 ? "L" : "R") + renderFrameRawText(f.slots, f.bitCount));
            from.push_back(f.from);
            repairs.emplace_back(f.repairedBits, f.repairPosterior);
            levels.push_back(f.levelDb);
        });
    }
    void run(const std::vector<int16_t>& audio)
    {
        CaptureBlock block{};
        for (size_t at = 0; at + block.size() <= audio.size(); at += block.size()) {
            std::copy_n(audio.begin() + static_cast<std::ptrdiff_t>(at), block.size(), block.begin());
            pipeline.ProcessCaptureBlock(block, QDateTime(), carrier);
        }
    }
    void runFile(const std::string& path)
    {
        std::string error;
        auto source = AudioFileReader::open(path, error);
        ASSERT_TRUE(source) << error;
        CaptureBlock block;
        while (source->read(block))
            pipeline.ProcessCaptureBlock(block, QDateTime());
    }
};

std::vector<std::string> sorted(std::vector<std::string> v)
{
    std::sort(v.begin(), v.end());
    return v;
}

TEST(CoherentReceiver, RealRecordingsGiveTheSevenFramesOnceEach)
{
    int frames = 0;
    for (const auto& entry : std::filesystem::directory_iterator(VARNESK_FIXTURES)) {
        const std::string path = entry.path().string();
        if (!path.ends_with("22050-stereo.wav"))
            continue;
        SCOPED_TRACE(path);
        Station classic(0), coherent(2), both(1);
        classic.runFile(path);
        coherent.runFile(path);
        both.runFile(path);
        EXPECT_FALSE(classic.lines.empty());
        EXPECT_EQ(sorted(coherent.lines), sorted(classic.lines));
        EXPECT_EQ(sorted(both.lines), sorted(classic.lines));
        EXPECT_EQ(both.pipeline.merge().counts().duplicates, classic.lines.size());
        frames += static_cast<int>(classic.lines.size());
    }
    EXPECT_EQ(frames, 7);
}

// Traffic with random carrier phases and a bit-rate error, on both channels.
std::vector<gen::Burst> traffic(uint32_t seed, int perChannel)
{
    std::mt19937 rng(seed);
    std::vector<gen::Burst> bursts = gen::randomTraffic(rng, 0, perChannel, 0.3, 128);
    const auto right = gen::randomTraffic(rng, 1, perChannel, 0.61, 128);
    bursts.insert(bursts.end(), right.begin(), right.end());
    for (gen::Burst& b : bursts)
        b.startPhase = std::uniform_real_distribution<double>(0, 2 * std::numbers::pi)(rng);
    return bursts;
}

// Sent blocks found, and frames that were never sent.
std::pair<int, int> score(const std::vector<gen::Burst>& bursts, const std::vector<std::string>& got)
{
    std::vector<std::string> want;
    for (const auto& b : bursts)
        want.push_back((b.channel == 0 ? "L" : "R") + renderRawText(gen::blockChars(b.block)));
    int good = 0, wrong = 0;
    for (const std::string& g : got) {
        auto it = std::find(want.begin(), want.end(), g);
        if (it == want.end()) {
            ++wrong;
        } else {
            ++good;
            want.erase(it);
        }
    }
    return {good, wrong};
}

TEST(CoherentReceiver, NoisyAndCleanTrafficWithinBoundsAndNothingFalse)
{
    // At 6 dB the classic chain finds nothing, the coherent one (measured)
    // every block, most of them repaired; clean audio with digital silence
    // between blocks and clipped audio give every block.
    const std::vector<gen::Burst> bursts = traffic(21, 20);
    struct Case {
        const char* name;
        bool noise;
        double ebN0Db;
        double peak;
        int atLeast;
    };
    for (const Case c : {Case{"Eb/N0 6 dB", true, 6, 8000, 38}, Case{"clean", false, 0, 8000, 40},
                         Case{"peak 30000", false, 0, 30000, 40}, Case{"peak 30", false, 0, 30, 40}}) {
        SCOPED_TRACE(c.name);
        gen::SignalOptions options;
        options.noise = c.noise;
        options.ebN0Db = c.ebN0Db;
        options.peak = c.peak;
        options.rateErrorPpm = 80;
        options.seed = 22;
        Station station(2);
        station.run(gen::renderStereo(bursts, options));
        const auto [good, wrong] = score(bursts, station.lines);
        EXPECT_GE(good, c.atLeast);
        EXPECT_EQ(wrong, 0);
        CoherentCounts total = station.pipeline.coherent().totalCounts();
        EXPECT_EQ(total.syncsFound, total.framesDelivered + total.framesLost + total.capturesOpen);
        EXPECT_EQ(total.framesDelivered, static_cast<uint64_t>(good));
        if (c.noise) {
            EXPECT_GT(total.framesRepaired, 10u);
        }
        // A frame right as received is certain; a repaired one was accepted at 0.99 or more.
        for (const auto& [bits, posterior] : station.repairs) {
            if (bits == 0)
                EXPECT_EQ(posterior, 1.0);
            else
                EXPECT_TRUE(posterior >= kRepairPosterior && posterior < 1.0) << posterior;
        }
    }
}

TEST(CoherentReceiver, NoiseAloneGivesNoFrame)
{
    Station station(1);
    std::mt19937 rng(5);
    // Digital silence first, then noise at three levels.
    station.run(std::vector<int16_t>(20 * 22050 * 2, 0));
    for (const double sigma : {2.0, 500.0, 8000.0}) {
        std::normal_distribution<double> g(0, sigma);
        std::vector<int16_t> audio(20 * 22050 * 2);
        for (int16_t& v : audio)
            v = static_cast<int16_t>(std::clamp(std::nearbyint(g(rng)), -32768.0, 32767.0));
        station.run(audio);
    }
    EXPECT_TRUE(station.lines.empty());
}

// Log-likelihood ratios of a whole frame sent as gen builds it: mode
// character through the end character, then the BCS.
std::vector<float> frameLlr(const std::vector<uint8_t>& bytes, float confidence)
{
    std::vector<float> llr;
    for (const uint8_t byte : bytes)
        for (int b = 0; b < 8; ++b)
            llr.push_back(((byte >> b) & 1) ? confidence : -confidence);
    return llr;
}

// The confidence of the bits a repair test receives right, and a downlink
// text the tests send.
constexpr float kFirm = 6;
constexpr const char* kReportText = "M12AJL0123 POSITION REPORT 35N139E";

// The given bits of llr received wrong, with the given confidence.
void receiveWrong(std::vector<float>& llr, std::initializer_list<int> bits, float confidence)
{
    for (const int bit : bits)
        llr[static_cast<size_t>(bit)] = -confidence * llr[static_cast<size_t>(bit)] / kFirm;
}

// A block as the repair sees it: the mode character through the BCS ("+" "*"
// SYN SYN SOH and the DEL dropped), its character count and end character.
struct RepairFrame {
    std::vector<uint8_t> bytes;
    int chars;
    uint8_t end;
    explicit RepairFrame(const gen::BlockSpec& block)
    {
        const std::vector<uint8_t> air = gen::onAirBytes(block);
        bytes.assign(air.begin() + 5, air.end() - 1);
        chars = static_cast<int>(bytes.size()) - 2;
        end = bytes[static_cast<size_t>(chars - 1)];
    }
};

TEST(SoftRepair, WeakErrorsAreRepairedAndConfidentOnesOrNoiseRefused)
{
    gen::BlockSpec block;
    block.text = kReportText;
    const RepairFrame sent(block);
    const std::vector<uint8_t>& frame = sent.bytes;
    const int chars = sent.chars;
    const uint8_t end = sent.end;
    std::vector<uint8_t> out(static_cast<size_t>(chars));
    SoftRepair repair;

    std::vector<float> llr = frameLlr(frame, kFirm);
    RepairResult r = repair.repair(llr, chars, end, 0, out);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.flippedBits, 0);

    // Four weak wrong bits in three characters (two in one) and the BCS.
    receiveWrong(llr, {3, 5, 8 * 20 + 1, 8 * 30 + 6, 8 * chars + 9}, 0.4f);
    r = repair.repair(llr, chars, end, 0, out);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.flippedBits, 5);
    EXPECT_GE(r.posterior, kRepairPosterior);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), frame.begin()));

    // The same errors received with full confidence: no repair is likely enough.
    llr = frameLlr(frame, kFirm);
    receiveWrong(llr, {3, 5, 8 * 20 + 1, 8 * 30 + 6, 8 * chars + 9}, kFirm);
    r = repair.repair(llr, chars, end, 0, out);
    EXPECT_FALSE(r.ok);

    // Noise: many random frames, none accepted.
    std::mt19937 rng(9);
    std::normal_distribution<float> g(0, 2);
    int accepted = 0;
    for (int k = 0; k < 50; ++k) {
        for (float& v : llr)
            v = g(rng);
        accepted += repair.repair(llr, chars, end, 0, out).ok;
    }
    EXPECT_EQ(accepted, 0);
}

// An end character found where the transmission may go on: a clear ETX with
// the DEL after the BCS is an end; an ETX two weak bits away from a text
// character, with a text character where the DEL should be, is more likely
// text, and a repair that would pass at a sure end is refused there.
TEST(SoftRepair, AnEndThatMayBeTextMustBeLikelierToBeTaken)
{
    gen::BlockSpec block;
    block.text = kReportText;
    const RepairFrame sent(block);
    const std::vector<uint8_t>& frame = sent.bytes;
    const int chars = sent.chars;
    const uint8_t end = sent.end;
    std::vector<float> llr = frameLlr(frame, kFirm);
    receiveWrong(llr, {3, 8 * 20 + 1, 8 * chars + 9}, 0.4f);
    const std::vector<float> del = frameLlr({0x7F}, kFirm);
    const std::vector<float> text = frameLlr({0x41 | 0x80}, kFirm); // "A" with its parity bit
    std::vector<uint8_t> out(static_cast<size_t>(chars));
    SoftRepair repair;

    const double sure = wrongEndOdds(llr, chars - 1, end, del);
    EXPECT_LT(sure, 1e-6);
    const RepairResult atEnd = repair.repair(llr, chars, end, 0, out, sure);
    ASSERT_TRUE(atEnd.ok);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), frame.begin()));

    // ETX (0x83) and "#" (0x23) differ in bits 5 and 7: both received weakly.
    std::vector<float> weakEnd = llr;
    for (const int bit : {5, 7})
        weakEnd[static_cast<size_t>(8 * (chars - 1) + bit)] *= 0.05f;
    const double doubtful = wrongEndOdds(weakEnd, chars - 1, end, text);
    EXPECT_GT(doubtful, 1.0);
    // Without the DEL's evidence the odds lie between.
    const double unknown = wrongEndOdds(weakEnd, chars - 1, end, {});
    EXPECT_GT(unknown, sure);
    EXPECT_LT(unknown, doubtful);
    EXPECT_TRUE(repair.repair(weakEnd, chars, end, 0, out, sure).ok);
    EXPECT_FALSE(repair.repair(weakEnd, chars, end, 0, out, doubtful).ok);
    // The same frame right as received needs no repair and is taken as it is.
    std::vector<float> clean = frameLlr(frame, kFirm);
    EXPECT_TRUE(repair.repair(clean, chars, end, 0, out, doubtful).ok);
}

// A downlink's block id received as a letter, by two weak errors that keep
// odd parity: the side it was received on (not a downlink) cannot give the
// frame, the other side must be searched too.
TEST(SoftRepair, BlockIdReceivedOnTheWrongSideIsRepaired)
{
    gen::BlockSpec block;
    block.blockId = '8'; // 0x38; bits 0 and 6 flipped give 'y' (0x79), odd parity as well
    block.text = kReportText;
    const RepairFrame sent(block);
    const std::vector<uint8_t>& frame = sent.bytes;
    const int chars = sent.chars;
    std::vector<uint8_t> out(static_cast<size_t>(chars));
    std::vector<float> llr = frameLlr(frame, kFirm);
    receiveWrong(llr, {11 * 8 + 0, 11 * 8 + 6}, 0.3f);
    SoftRepair repair;
    const RepairResult r = repair.repair(llr, chars, sent.end, 0, out);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.flippedBits, 2);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), frame.begin()));
}

// Every kind of block on the air is repaired, not only downlinks: a
// squitter (NUL block id), uplinks in mode "2" and in lower-case modes, general
// responses (label "_" DEL) with and without text, a block ending in ETB.
TEST(SoftRepair, EveryKindOfBlockIsRepaired)
{
    auto block = [](char mode, const char* address, char ack, std::string label, char id, std::string text, bool etx) {
        gen::BlockSpec b;
        b.mode = mode;
        b.address = address;
        b.ack = ack;
        b.label = std::move(label);
        b.blockId = id;
        b.text = std::move(text);
        b.etx = etx;
        return b;
    };
    const char nak = static_cast<char>(gen::kNak);
    const struct {
        const char* name;
        gen::BlockSpec block;
    } cases[] = {
        {"squitter", block('2', ".......", nak, "SQ", '\0', "02XSTYORJTT2N35333E139469V136975/", true)},
        {"mode-2 uplink", block('2', ".JA8089", '3', "H1", 'C', "REQUEST POSITION REPORT PLEASE", true)},
        {"lower-case uplink, ETB", block('x', ".JA8089", nak, "RA", 'H', "WEATHER RJTT 0300Z 33010KT 9999", false)},
        {"uplink general response", block('d', ".JA8089", '5', "_\x7f", 'A', "", true)},
        {"downlink general response", block('2', ".JA8089", 'C', "_\x7f", '5', "M12AJL0123", true)},
        {"downlink, ETB", block('E', ".JA8089", nak, "H1", '3', kReportText, false)},
    };
    SoftRepair repair;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RepairFrame sent(c.block);
        std::vector<uint8_t> out(static_cast<size_t>(sent.chars));
        std::vector<float> llr = frameLlr(sent.bytes, kFirm);
        // Weak errors in the mode, the block id, a character before the end and the BCS.
        receiveWrong(llr, {1, 11 * 8 + 2, 8 * (sent.chars - 2) + 4, 8 * sent.chars + 3}, 0.4f);
        const RepairResult r = repair.repair(llr, sent.chars, sent.end, 0, out);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.flippedBits, 4);
        EXPECT_TRUE(std::equal(out.begin(), out.end(), sent.bytes.begin()));
    }
}

// Two words that both pass the CRC, six bits apart in three characters of
// the text, received halfway between: whichever the search meets first has a
// rival as likely, and neither is taken. With the rival's bits received
// firmly as the sent word's, the sent word is.
TEST(SoftRepair, AMatchWithARivalAsLikelyIsRefused)
{
    gen::BlockSpec block;
    block.text = kReportText;
    const RepairFrame sent(block);
    // The rival: two data bits flipped in each of three text characters (odd
    // parity kept, all still printable) whose checks cancel (the CRC is linear).
    struct Flip {
        int c;
        int mask;
        uint16_t check;
    };
    std::vector<Flip> flips;
    for (int c = 23; c < sent.chars - 1; ++c)
        for (int mask = 0; mask < 128; ++mask) {
            if (std::popcount(static_cast<unsigned>(mask)) != 2
                || !plausibleChar(c, sent.bytes[static_cast<size_t>(c)] ^ mask))
                continue;
            std::vector<uint8_t> e(sent.bytes.size(), 0);
            e[static_cast<size_t>(c)] = static_cast<uint8_t>(mask);
            flips.push_back({c, mask, blockCheck(e)});
        }
    std::map<uint16_t, std::pair<size_t, size_t>> pairs;
    for (size_t i = 0; i < flips.size(); ++i)
        for (size_t j = i + 1; j < flips.size(); ++j)
            if (flips[i].c != flips[j].c)
                pairs.emplace(static_cast<uint16_t>(flips[i].check ^ flips[j].check), std::pair{i, j});
    std::vector<int> differ;
    for (size_t k = 0; k < flips.size() && differ.empty(); ++k) {
        const auto it = pairs.find(flips[k].check);
        if (it == pairs.end() || flips[it->second.first].c == flips[k].c || flips[it->second.second].c == flips[k].c)
            continue;
        for (const size_t f : {it->second.first, it->second.second, k})
            for (int b = 0; b < 7; ++b)
                if ((flips[f].mask >> b) & 1)
                    differ.push_back(flips[f].c * 8 + b);
    }
    ASSERT_EQ(differ.size(), 6u);
    std::vector<uint8_t> rival = sent.bytes;
    for (const int bit : differ)
        rival[static_cast<size_t>(bit / 8)] ^= static_cast<uint8_t>(1u << (bit % 8));
    ASSERT_EQ(blockCheck(rival), 0);

    std::vector<uint8_t> out(static_cast<size_t>(sent.chars));
    SoftRepair repair;
    std::vector<float> halfway = frameLlr(sent.bytes, kFirm);
    for (size_t k = 0; k < differ.size(); ++k) {
        float& l = halfway[static_cast<size_t>(differ[k])];
        l = (k % 2 == 0 ? 1.0f : -1.0f) * l / kFirm; // one bit of each character leans to the rival
    }
    const RepairResult r = repair.repair(halfway, sent.chars, sent.end, 0, out);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.refused);
    EXPECT_LT(r.posterior, 0.7);

    std::vector<float> leaning = frameLlr(sent.bytes, kFirm);
    for (size_t k = 0; k < differ.size(); ++k) {
        float& l = leaning[static_cast<size_t>(differ[k])];
        l = (k == 0 ? -1.0f : 4.0f) * l / kFirm;
    }
    const RepairResult firm = repair.repair(leaning, sent.chars, sent.end, 0, out);
    ASSERT_TRUE(firm.ok);
    EXPECT_GE(firm.posterior, kRepairPosterior);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), sent.bytes.begin()));
}

// A block sent with a control character in its flight number passes as it is
// when received without error, but a repair never keeps the character: the
// same block with a weak error elsewhere is not delivered.
TEST(SoftRepair, ARepairKeepsNoCharacterThatCannotStand)
{
    gen::BlockSpec block;
    block.text = "M12AJ\x0b"
                 "0123 POSITION REPORT 35N139E";
    const RepairFrame sent(block);
    std::vector<uint8_t> out(static_cast<size_t>(sent.chars));
    SoftRepair repair;
    std::vector<float> llr = frameLlr(sent.bytes, kFirm);
    RepairResult r = repair.repair(llr, sent.chars, sent.end, 0, out);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.flippedBits, 0);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), sent.bytes.begin()));

    receiveWrong(llr, {8 * 30 + 1, 8 * 30 + 6}, 0.4f);
    r = repair.repair(llr, sent.chars, sent.end, 0, out);
    EXPECT_FALSE(r.ok);

    // The same error in the block without the control character is repaired.
    block.text[5] = 'L';
    const RepairFrame plain(block);
    llr = frameLlr(plain.bytes, kFirm);
    receiveWrong(llr, {8 * 30 + 1, 8 * 30 + 6}, 0.4f);
    r = repair.repair(llr, plain.chars, plain.end, 0, out);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.flippedBits, 2);
}

// Two transmissions 20 dB apart on one channel (a long one loud, a short one
// faint, a faint noise floor): each frame's level is its tone's peak against
// full scale, from either demodulator; with carrier levels beside the blocks
// (an IQ source) the level is the carrier's.
TEST(FrameLevel, TwoTransmissions20DbApart)
{
    gen::Burst loud;
    loud.startSeconds = 0.4;
    loud.block.text = std::string(kReportText) + std::string(150, 'X');
    gen::Burst faint;
    faint.startSeconds = 1.8;
    faint.block.text = "M13AJL0123";
    gen::SignalOptions options;
    options.peak = 20000;
    options.noise = true;
    options.ebN0Db = 60;
    options.durationSeconds = 2.6;
    std::vector<int16_t> audio = gen::renderStereo(std::vector<gen::Burst>{loud}, options);
    options.peak = 2000;
    options.noise = false;
    const std::vector<int16_t> second = gen::renderStereo(std::vector<gen::Burst>{faint}, options);
    for (size_t i = 0; i < audio.size(); ++i)
        audio[i] = static_cast<int16_t>(audio[i] + second[i]);
    const double loudDb = 20 * std::log10(20000.0 / 32768);
    for (const int choice : {0, 2}) {
        SCOPED_TRACE(choice);
        Station station(choice);
        station.run(audio);
        ASSERT_EQ(station.levels.size(), 2u);
        ASSERT_TRUE(station.levels[0] && station.levels[1]);
        EXPECT_NEAR(*station.levels[0], loudDb, 0.3);
        EXPECT_NEAR(*station.levels[0] - *station.levels[1], 20.0, 0.5);
    }
    Station iq(2);
    iq.carrier.dbfs[0] = -12.5;
    iq.run(audio);
    ASSERT_EQ(iq.levels.size(), 2u);
    for (const auto& level : iq.levels)
        EXPECT_NEAR(level.value_or(0), -12.5, 1e-9);
}

TEST(FrameMerge, OneCopyOfEachTransmissionPasses)
{
    struct Step {
        int channel;
        const char* line;
        Demodulator from;
        uint64_t block;
        bool passes;
    };
    const Demodulator s = Demodulator::Classic, c = Demodulator::Coherent;
    const Step steps[] = {
        {0, "A", c, 10, true},                         // the coherent demodulator is first
        {0, "A", s, 11, false},                        // the classic chain's copy a block later
        {0, "A", s, 12, true},                         // a third copy is a new transmission
        {1, "A", c, 12, true},                         // the other channel
        {0, "B", s, 20, true},  {0, "B", c, 23, true}, // three blocks later: too far apart
        {0, "C", s, 30, true},  {0, "C", s, 30, true}, // the same demodulator twice is never a duplicate
        {0, "D", s, 40, true},  {0, "E", c, 40, true}, // different characters
    };
    FrameMerge merge;
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(step.line) + " at block " + std::to_string(step.block));
        EXPECT_EQ(merge.admit(step.channel, step.line, step.from, step.block), step.passes);
    }
    EXPECT_EQ(merge.counts().duplicates, 1u);
}

TEST(CoherentReceiver, FrameOfTheCoherentDemodulatorAloneLightsReceive)
{
    // At 6 dB only the coherent demodulator finds the block: it passes the
    // merge and the channel's RCV counter restarts as for any good frame.
    std::vector<gen::Burst> bursts = traffic(3, 1);
    bursts.resize(1);
    gen::SignalOptions options;
    options.noise = true;
    options.ebN0Db = 6;
    options.seed = 4;
    Station station(1);
    const std::vector<int16_t> audio = gen::renderStereo(bursts, options);
    station.pipeline.receiver().channel(0).rcvCount = 5;
    CaptureBlock block{};
    bool lit = false;
    for (size_t at = 0; at + block.size() <= audio.size(); at += block.size()) {
        std::copy_n(audio.begin() + static_cast<std::ptrdiff_t>(at), block.size(), block.begin());
        const size_t before = station.lines.size();
        station.pipeline.ProcessCaptureBlock(block, QDateTime());
        if (station.lines.size() > before)
            lit = station.pipeline.receiver().channel(0).rcvCount == 0;
    }
    ASSERT_EQ(station.lines.size(), 1u);
    EXPECT_EQ(station.from[0], Demodulator::Coherent);
    EXPECT_TRUE(lit);
}

// The coherent demodulator alone (the default) still runs the classic
// chain's filters: the spectrum gets the same shifted signal and OVR the same
// level control as with the whole chain; SYN lights while the coherent
// demodulator receives the frame and goes dark after it.
TEST(CoherentReceiver, AloneItKeepsTheSpectrumAndDrivesSyn)
{
    std::vector<gen::Burst> bursts = traffic(3, 1);
    bursts.resize(1);
    gen::SignalOptions options;
    options.noise = true;
    options.ebN0Db = 20;
    options.peak = 40000; // clipped: OVR lights
    const std::vector<int16_t> audio = gen::renderStereo(bursts, options);
    Station alone(2);
    Station classic(0);
    CaptureBlock block{};
    int synBlocks = 0;
    bool sameSpectrum = true, sameOverload = true, overload = false;
    for (size_t at = 0; at + block.size() <= audio.size(); at += block.size()) {
        std::copy_n(audio.begin() + static_cast<std::ptrdiff_t>(at), block.size(), block.begin());
        alone.pipeline.ProcessCaptureBlock(block, QDateTime());
        classic.pipeline.ProcessCaptureBlock(block, QDateTime());
        const auto a = alone.pipeline.channelSamples(0);
        const auto b = classic.pipeline.channelSamples(0);
        sameSpectrum = sameSpectrum && std::equal(a.begin(), a.end(), b.begin());
        const bool over = alone.pipeline.receiver().channel(0).overload;
        sameOverload = sameOverload && over == classic.pipeline.receiver().channel(0).overload;
        overload = overload || over;
        synBlocks += alone.pipeline.receiver().channel(0).synShown;
    }
    EXPECT_TRUE(sameSpectrum);
    EXPECT_TRUE(sameOverload);
    EXPECT_TRUE(overload);
    ASSERT_EQ(alone.lines.size(), 1u);
    EXPECT_GT(synBlocks, 3);
    EXPECT_FALSE(alone.pipeline.receiver().channel(0).synShown);
}

TEST(ReceiverPair, BothChannelsSideBySideMatchOneByOneBitForBit)
{
    const std::vector<gen::Burst> bursts = traffic(8, 6);
    gen::SignalOptions options;
    options.noise = true;
    options.ebN0Db = 12;
    const std::vector<int16_t> audio = gen::renderStereo(bursts, options);
    Receiver single, pair;
    int frames = 0;
    for (size_t at = 0; at + 1024 <= audio.size(); at += 1024) {
        std::array<std::array<double, 512>, 2> a{}, b{};
        for (size_t n = 0; n < 512; ++n)
            for (size_t c = 0; c < 2; ++c)
                a[c][n] = b[c][n] = audio[at + 2 * n + c];
        const auto left = single.processChannel(0, a[0]);
        const auto right = single.processChannel(1, a[1]);
        const auto both = pair.processChannels(b[0], b[1]);
        ASSERT_EQ(a, b) << "block " << at / 1024; // the shifted signal, exactly
        ASSERT_EQ(left.has_value(), both[0].has_value());
        ASSERT_EQ(right.has_value(), both[1].has_value());
        frames += left.has_value() + right.has_value();
        for (int c = 0; c < 2; ++c) {
            const ChannelState& x = single.channel(c);
            const ChannelState& y = pair.channel(c);
            ASSERT_EQ(x.vcoPhase, y.vcoPhase);
            ASSERT_EQ(x.loopState, y.loopState);
            ASSERT_EQ(x.levelState, y.levelState);
            ASSERT_EQ(x.clockState, y.clockState);
            ASSERT_EQ(x.frame, y.frame);
        }
    }
    EXPECT_GE(frames, 8);
}

} // namespace
} // namespace varnesk
