// varnesk-gen: writes a 22050 Hz stereo 16-bit WAV of ACARS blocks, for testing
// an audio path or the receiver, or with --iq an IQ recording of the two
// channels as AM carriers. Blocks are given one per --block (or per line of a
// --blocks file) or drawn at random; noise, level, rate error and DC offset
// are options.
#include "acars/raw_text.h"
#include "acars_signal.h"
#include "iq_signal.h"
#include "receiver/iq_file_reader.h"
#include "scanner_path.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: varnesk-gen [options] OUT.wav\n"
    "       varnesk-gen --iq [options] OUT\n"
    "  --block LINE     one block: \"CH SECONDS MODE ADDRESS ACK LABEL ID ETX|ETB [TEXT]\",\n"
    "                   CH L, R or (IQ) C03 ... C16\n"
    "                   ACK is one character or NAK; TEXT is the rest of the line, with\n"
    "                   \\r \\n \\t \\\\ and \\xHH escapes; no TEXT sends no STX\n"
    "  --blocks FILE    blocks in the same form, one per line (# starts a comment)\n"
    "  --random N       N random blocks on each channel, mixed as on the air (downlinks,\n"
    "                   position reports of a fleet flying over Japan, general\n"
    "                   responses, squitters, uplinks); different traffic per channel\n"
    "                   (with --iq on every frequency)\n"
    "  --ebn0 DB        add white noise at this Eb/N0 (default: no noise; exact\n"
    "                   digital silence between blocks is unlike any sound card and\n"
    "                   upsets the receiver's level control at each block start,\n"
    "                   so a faint floor such as --ebn0 30 is advisable)\n"
    "  --peak COUNTS    peak of the tones (default 8000)\n"
    "  --ppm X          bit-rate error in parts per million (default 0)\n"
    "  --dc COUNTS      DC offset (default 0)\n"
    "  --scanner        pass the audio through a scanner's 300-3000 Hz band-pass;\n"
    "                   --dc is then added after it, as a scanner's output has it\n"
    "  --prekey BITS    pre-key length in bits (default 128)\n"
    "  --duration SEC   file length (default: the last block plus 0.5 s)\n"
    "  --seed N         random seed (default 1)\n"
    "  --expect FILE    also write the line the decoder prints for each block\n"
    "                   (\"[Lch]\", \"[Rch]\" or \"[C03]\" ..., \">\", the block as RawText)\n"
    "IQ recordings (--iq): channel 1's audio (the left) AM-modulates a carrier at\n"
    "frequency 1, channel 2's (the right) one at frequency 2, and so on, each keyed on for its bursts\n"
    "only. OUT ending in .cu8, .cs8 or .cs16 is written as it is; otherwise the\n"
    "file is OUT_<centre>Hz_<rate>sps.<format>, the name varnesk-decode reads\n"
    "rate and centre from. The path written and what to pass is printed.\n"
    "  --iq-format F    cu8 (default, rtl_sdr's), cs8 or cs16\n"
    "  --iq-rate SPS    samples per second (default 2400000)\n"
    "  --iq-centre MHZ  centre frequency (default midway between the lowest and highest)\n"
    "  --freqs \"MHZ ...\"  the frequencies of channels 1, 2, ... (1 to 16, default\n"
    "                   \"131.45 131.95\")\n"
    "  --freq1 MHZ      frequency 1, left audio (the first of --freqs)\n"
    "  --freq2 MHZ      frequency 2, right audio (the second)\n"
    "  --levels \"DB ...\"  each carrier this many dB from the common level (default 0)\n"
    "  --depth X        modulation depth, the audio peak over the carrier (default 0.5)\n"
    "  --ppm X          the receiver's crystal off by X ppm: both carriers shifted\n"
    "                   by X ppm of their frequencies, the bit rate scaled alike\n"
    "  --ebn0 DB        white complex noise at Eb/N0 = ((carrier x depth)^2 / 2) / 2400\n"
    "                   over N0, N0 the complex noise power per Hz: an ideal envelope\n"
    "                   detector at high carrier-to-noise gives the audio the same\n"
    "                   Eb/N0 as the audio definition above. The levels are chosen\n"
    "                   to fit the format; --peak and --dc do not apply\n";

// The receiver's tag of channel c (0 = channel 1).
std::string channelTag(int c)
{
    if (c <= 1)
        return c == 1 ? "Rch" : "Lch";
    char tag[16];
    std::snprintf(tag, sizeof tag, "C%02d", c + 1);
    return tag;
}

std::string unescape(const std::string& in)
{
    std::string out;
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '\\' || i + 1 >= in.size()) {
            out.push_back(in[i]);
            continue;
        }
        const char e = in[++i];
        if (e == 'r')
            out.push_back('\r');
        else if (e == 'n')
            out.push_back('\n');
        else if (e == 't')
            out.push_back('\t');
        else if (e == 'x' && i + 2 < in.size()) {
            out.push_back(static_cast<char>(std::strtol(in.substr(i + 1, 2).c_str(), nullptr, 16)));
            i += 2;
        } else
            out.push_back(e);
    }
    return out;
}

std::optional<varnesk::gen::Burst> parseBlock(const std::string& line, std::string& error)
{
    std::istringstream in(line);
    std::string ch, at, mode, address, ack, label, id, end;
    if (!(in >> ch >> at >> mode >> address >> ack >> label >> id >> end)) {
        error = "a block needs CHANNEL SECONDS MODE ADDRESS ACK LABEL ID END: " + line;
        return std::nullopt;
    }
    varnesk::gen::Burst b;
    if (ch == "L" || ch == "R") {
        b.channel = ch == "R" ? 1 : 0;
    } else if (ch.size() == 3 && ch[0] == 'C' && std::isdigit(static_cast<unsigned char>(ch[1]))
               && std::isdigit(static_cast<unsigned char>(ch[2])) && std::stoi(ch.substr(1)) >= 3
               && std::stoi(ch.substr(1)) <= 16) {
        b.channel = std::stoi(ch.substr(1)) - 1;
    } else {
        error = "channel must be L, R or C03 ... C16: " + line;
        return std::nullopt;
    }
    char* stop = nullptr;
    b.startSeconds = std::strtod(at.c_str(), &stop);
    mode = unescape(mode);
    ack = ack == "NAK" ? std::string(1, static_cast<char>(varnesk::gen::kNak)) : unescape(ack);
    label = unescape(label);
    id = unescape(id);
    if (*stop != '\0' || !(b.startSeconds >= 0 && b.startSeconds < 86400) || mode.size() != 1 || ack.size() != 1
        || label.size() != 2 || id.size() != 1 || (end != "ETX" && end != "ETB")) {
        error = "malformed block: " + line;
        return std::nullopt;
    }
    b.block.mode = mode[0];
    b.block.address = unescape(address);
    b.block.ack = ack[0];
    b.block.label = label;
    b.block.blockId = id[0];
    b.block.etx = end == "ETX";
    std::string rest;
    std::getline(in, rest);
    if (!rest.empty() && rest[0] == ' ')
        rest.erase(0, 1);
    b.block.text = unescape(rest);
    if (varnesk::gen::blockChars(b.block).size() > 243) {
        error = "block longer than 243 characters: " + line;
        return std::nullopt;
    }
    return b;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<varnesk::gen::Burst> bursts;
    varnesk::gen::SignalOptions options;
    std::string outPath;
    std::string expectPath;
    int randomCount = 0;
    std::string error;
    bool iqWanted = false;
    bool scanner = false;
    bool centreGiven = false;
    varnesk::gen::IqOptions iq;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        auto number = [&](double& into) {
            char* stop = nullptr;
            const char* text = argv[++i];
            into = std::strtod(text, &stop);
            return stop != text && *stop == '\0' && std::isfinite(into); // no "nan", "inf" or empty value
        };
        double v = 0;
        bool ok = true;
        if (arg == "--block" && hasValue) {
            auto b = parseBlock(argv[++i], error);
            ok = b.has_value();
            if (b)
                bursts.push_back(*b);
        } else if (arg == "--blocks" && hasValue) {
            std::ifstream file(argv[++i]);
            ok = static_cast<bool>(file);
            if (!ok)
                error = std::string("cannot read ") + argv[i];
            std::string line;
            while (ok && std::getline(file, line)) {
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                if (line.empty() || line[0] == '#')
                    continue;
                auto b = parseBlock(line, error);
                ok = b.has_value();
                if (b)
                    bursts.push_back(*b);
            }
        } else if (arg == "--random" && hasValue) {
            ok = number(v) && v >= 0 && v <= 100000;
            randomCount = ok ? static_cast<int>(v) : 0;
        } else if (arg == "--ebn0" && hasValue) {
            ok = number(options.ebN0Db);
            options.noise = true;
        } else if (arg == "--peak" && hasValue) {
            ok = number(options.peak);
        } else if (arg == "--ppm" && hasValue) {
            ok = number(options.rateErrorPpm) && std::fabs(options.rateErrorPpm) < 100000;
        } else if (arg == "--scanner") {
            scanner = true;
        } else if (arg == "--dc" && hasValue) {
            ok = number(options.dcOffset);
        } else if (arg == "--prekey" && hasValue) {
            ok = number(v) && v >= 0 && v <= 10000;
            options.preKeyBits = ok ? static_cast<int>(v) : 0;
        } else if (arg == "--duration" && hasValue) {
            ok = number(options.durationSeconds) && options.durationSeconds >= 0 && options.durationSeconds < 86400;
        } else if (arg == "--seed" && hasValue) {
            ok = number(v) && v >= 0 && v <= 4294967295.0;
            options.seed = ok ? static_cast<uint32_t>(v) : 0;
        } else if (arg == "--iq") {
            iqWanted = true;
        } else if (arg == "--iq-format" && hasValue) {
            const auto format = varnesk::iqFormatFromName(argv[++i]);
            ok = format && *format != varnesk::IqFormat::Cf32;
            iq.format = format.value_or(varnesk::IqFormat::Cu8);
        } else if (arg == "--iq-rate" && hasValue) {
            ok = number(iq.rateHz) && iq.rateHz >= varnesk::kMinIqRateHz && iq.rateHz <= varnesk::kMaxIqRateHz;
        } else if (arg == "--iq-centre" && hasValue) {
            ok = number(iq.centreHz);
            iq.centreHz *= 1e6;
            centreGiven = true;
        } else if ((arg == "--freq1" || arg == "--freq2") && hasValue) {
            const size_t at = arg == "--freq1" ? 0 : 1;
            iq.channelHz.resize(std::max(iq.channelHz.size(), at + 1));
            double& f = iq.channelHz[at];
            ok = number(f) && f > 0;
            f *= 1e6;
        } else if (arg == "--freqs" && hasValue) {
            iq.channelHz = varnesk::parseFrequencyList(argv[++i], error);
            ok = !iq.channelHz.empty();
        } else if (arg == "--levels" && hasValue) {
            std::istringstream in(argv[++i]);
            iq.levelDb.clear();
            double db = 0;
            while (in >> db)
                iq.levelDb.push_back(db);
            ok = in.eof() && !iq.levelDb.empty() && iq.levelDb.size() <= 16
                 && std::all_of(iq.levelDb.begin(), iq.levelDb.end(), [](double x) { return std::fabs(x) <= 60; });
        } else if (arg == "--depth" && hasValue) {
            ok = number(iq.depth) && iq.depth > 0 && iq.depth <= 1;
        } else if (arg == "--expect" && hasValue) {
            expectPath = argv[++i];
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg.rfind("--", 0) != 0 && outPath.empty()) {
            outPath = arg;
        } else {
            ok = false;
            error = "unknown or incomplete option " + arg;
        }
        if (!ok) {
            std::fprintf(stderr, "varnesk-gen: %s\n", error.empty() ? ("bad value for " + arg).c_str() : error.c_str());
            return 2;
        }
    }
    if (outPath.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (randomCount > 0) {
        const int channels = iqWanted ? static_cast<int>(iq.channelHz.size()) : 2;
        for (int ch = 0; ch < channels; ++ch) {
            varnesk::gen::AirTraffic air(options.seed * 2 + static_cast<uint32_t>(ch));
            auto traffic = air.bursts(ch, randomCount, 0.3 + std::fmod(0.37 * ch, 1.2), options.preKeyBits);
            bursts.insert(bursts.end(), traffic.begin(), traffic.end());
        }
    }
    if (iqWanted) {
        if (!centreGiven) {
            const auto [low, high] = std::minmax_element(iq.channelHz.begin(), iq.channelHz.end());
            iq.centreHz = (*low + *high) / 2;
        }
        for (const auto& b : bursts)
            if (static_cast<size_t>(b.channel) >= iq.channelHz.size()) {
                std::fprintf(stderr, "varnesk-gen: a block on channel %d, but only %zu frequencies\n", b.channel + 1,
                             iq.channelHz.size());
                return 2;
            }
        iq.ppm = options.rateErrorPpm;
        options.rateErrorPpm = 0;
        iq.noise = options.noise;
        iq.ebN0Db = options.ebN0Db;
        iq.seed = options.seed;
        varnesk::IqTuning tuning;
        tuning.sampleRateHz = iq.rateHz;
        tuning.centreHz = iq.centreHz;
        tuning.channelHz = iq.channelHz;
        const std::string why = varnesk::CheckIqTuning(tuning);
        if (!why.empty()) {
            std::fprintf(stderr, "varnesk-gen: %s\n", why.c_str());
            return 2;
        }
        const auto named = varnesk::iqFormatFromName(outPath.substr(outPath.find_last_of('.') + 1));
        if (named && *named != varnesk::IqFormat::Cf32)
            iq.format = *named;
        else
            outPath = varnesk::gen::iqFileName(outPath, iq);
        std::FILE* f = std::fopen(outPath.c_str(), "wb");
        const bool written = f && varnesk::gen::renderIq(bursts, options, iq, [f](std::span<const std::byte> piece) {
                                 return std::fwrite(piece.data(), 1, piece.size(), f) == piece.size();
                             });
        if (!f || std::fclose(f) != 0 || !written) {
            std::fprintf(stderr, "varnesk-gen: cannot write %s\n", outPath.c_str());
            return 1;
        }
        std::printf("%s\n", outPath.c_str());
        const varnesk::IqNameInfo info = varnesk::parseIqFileName(outPath);
        std::string freqs;
        for (const double hz : iq.channelHz) {
            char one[32];
            std::snprintf(one, sizeof one, "%s%.6f", freqs.empty() ? "" : " ", hz / 1e6);
            freqs += one;
        }
        if (!info.sampleRateHz || !info.centreHz)
            std::printf("varnesk-decode --iq-rate %.0f --iq-centre %.6f --freqs \"%s\" %s\n", iq.rateHz,
                        iq.centreHz / 1e6, freqs.c_str(), outPath.c_str());
        else if (iq.channelHz.size() != 2)
            std::printf("varnesk-decode --freqs \"%s\" %s\n", freqs.c_str(), outPath.c_str());
    } else if (std::any_of(bursts.begin(), bursts.end(), [](const auto& b) { return b.channel > 1; })) {
        std::fputs("varnesk-gen: channels C03 ... C16 are for IQ recordings (--iq) only\n", stderr);
        return 2;
    } else {
        const double dc = options.dcOffset;
        if (scanner)
            options.dcOffset = 0;
        std::vector<int16_t> audio = varnesk::gen::renderStereo(bursts, options);
        if (scanner)
            varnesk::gen::scannerPath(audio, dc);
        if (!varnesk::gen::writeWav(outPath, audio, error)) {
            std::fprintf(stderr, "varnesk-gen: %s\n", error.c_str());
            return 1;
        }
    }
    if (!expectPath.empty()) {
        std::stable_sort(bursts.begin(), bursts.end(), [](const auto& a, const auto& b) {
            return a.channel != b.channel ? a.channel < b.channel : a.startSeconds < b.startSeconds;
        });
        std::ofstream expect(expectPath, std::ios::binary);
        for (const auto& b : bursts)
            expect << "[" << channelTag(b.channel) << "]>" << varnesk::renderRawText(varnesk::gen::blockChars(b.block))
                   << '\n';
        if (!expect) {
            std::fprintf(stderr, "varnesk-gen: cannot write %s\n", expectPath.c_str());
            return 1;
        }
    }
    return 0;
}
