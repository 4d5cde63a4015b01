// ACARS physical layer for test signals: characters of 7 bits, least
// significant first, plus odd parity; the BCS; differential line coding in
// which a 1 repeats the previous data bit and a 0 inverts it; MSK at 2400 bit/s
// with the line bit 1 on the 2400 Hz tone (one cycle per bit) and 0 on the
// 1200 Hz tone (half a cycle per bit), phase-continuous.
#include "acars_signal.h"

#include "acars/control_chars.h"
#include "acars/crc16.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string_view>
#include <utility>

namespace varnesk::gen {

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

} // namespace

std::string blockChars(const BlockSpec& block)
{
    std::string s(kFrameStart.begin(), kFrameStart.end());
    s.push_back(block.mode);
    std::string address = block.address.substr(0, 7);
    address.insert(0, 7 - address.size(), '.');
    s += address;
    s.push_back(block.ack);
    std::string label = block.label.substr(0, 2);
    label.resize(2, '.');
    s += label;
    s.push_back(block.blockId);
    if (!block.text.empty()) {
        s.push_back(static_cast<char>(kCharStx));
        s += block.text;
    }
    s.push_back(static_cast<char>(block.etx ? kCharEtx : kCharEtb));
    return s;
}

std::vector<uint8_t> onAirBytes(const BlockSpec& block)
{
    std::vector<uint8_t> out;
    for (const char c : blockChars(block))
        out.push_back(withOddParity(static_cast<uint8_t>(c)));
    // The BCS covers the mode character (after SOH) through the end character.
    const uint16_t bcs = blockCheck(std::span<const uint8_t>(out).subspan(5));
    out.push_back(static_cast<uint8_t>(bcs & 0xFF));
    out.push_back(static_cast<uint8_t>(bcs >> 8));
    out.push_back(kParityDel);
    return out;
}

std::vector<uint8_t> onAirBits(const BlockSpec& block, int preKeyBits)
{
    std::vector<uint8_t> bits(static_cast<size_t>(std::max(preKeyBits, 0)), 1);
    for (const uint8_t byte : onAirBytes(block))
        for (int b = 0; b < 8; ++b)
            bits.push_back(static_cast<uint8_t>((byte >> b) & 1));
    return bits;
}

double burstSeconds(const BlockSpec& block, int preKeyBits)
{
    return static_cast<double>(onAirBits(block, preKeyBits).size()) / kBitRate;
}

std::vector<int16_t> renderStereo(std::span<const Burst> bursts, const SignalOptions& options)
{
    const double bitSeconds = 1.0 / (kBitRate * (1.0 + options.rateErrorPpm * 1e-6));
    double duration = options.durationSeconds;
    if (duration <= 0.0) {
        for (const Burst& b : bursts)
            duration = std::max(duration,
                                b.startSeconds + burstSeconds(b.block, options.preKeyBits) * (bitSeconds * kBitRate));
        duration += 0.5;
    }
    const auto frames = static_cast<size_t>(std::ceil(duration * kRateHz));
    std::vector<double> mix(frames * 2, options.dcOffset);

    for (const Burst& burst : bursts) {
        const std::vector<uint8_t> data = onAirBits(burst.block, options.preKeyBits);
        // Phase at the start of every bit; the line bit picks the tone.
        std::vector<double> phase(data.size() + 1, burst.startPhase);
        std::vector<double> freq(data.size(), 0.0);
        uint8_t previous = 1;
        for (size_t k = 0; k < data.size(); ++k) {
            const bool line = data[k] == previous;
            previous = data[k];
            freq[k] = line ? 2400.0 : 1200.0;
            phase[k + 1] = phase[k] + 2.0 * std::numbers::pi * freq[k] * bitSeconds;
        }
        const int ch = burst.channel == 1 ? 1 : 0;
        const auto first = static_cast<size_t>(std::max(0.0, std::ceil(burst.startSeconds * kRateHz)));
        const double end = burst.startSeconds + static_cast<double>(data.size()) * bitSeconds;
        for (size_t n = first; n < frames; ++n) {
            const double t = static_cast<double>(n) / kRateHz;
            if (t >= end)
                break;
            const double inBurst = t - burst.startSeconds;
            const auto k = std::min(static_cast<size_t>(inBurst / bitSeconds), data.size() - 1);
            const double tau = inBurst - static_cast<double>(k) * bitSeconds;
            mix[2 * n + static_cast<size_t>(ch)] +=
                options.peak * std::sin(phase[k] + 2.0 * std::numbers::pi * freq[k] * tau);
        }
    }

    if (options.noise) {
        // White noise of one-sided density N0 sampled at 22050 Hz has variance N0 · 22050 / 2.
        const double ebN0 = std::pow(10.0, options.ebN0Db / 10.0);
        const double n0 = (options.peak * options.peak / 2.0) / kBitRate / ebN0;
        std::mt19937 rng(options.seed);
        std::normal_distribution<double> gauss(0.0, std::sqrt(n0 * kRateHz / 2.0));
        for (double& v : mix)
            v += gauss(rng);
    }

    std::vector<int16_t> out(mix.size());
    for (size_t i = 0; i < mix.size(); ++i)
        out[i] = static_cast<int16_t>(std::clamp(std::nearbyint(mix[i]), -32768.0, 32767.0));
    return out;
}

bool writeWav(const std::string& path, std::span<const int16_t> interleaved, std::string& error)
{
    // The RIFF sizes are 32-bit: about 13.5 hours of stereo audio at most.
    if (interleaved.size() > (0xFFFFFFFFull - 36) / 2) {
        error = "too long for a WAV file: " + path;
        return false;
    }
    const auto dataBytes = static_cast<uint32_t>(interleaved.size() * 2);
    std::vector<uint8_t> head;
    head.insert(head.end(), {'R', 'I', 'F', 'F'});
    put32(head, 36 + dataBytes);
    head.insert(head.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(head, 16);
    put16(head, 1); // PCM
    put16(head, 2); // channels
    put32(head, kRateHz);
    put32(head, kRateHz * 4); // bytes per second
    put16(head, 4);           // block alignment
    put16(head, 16);          // bits
    head.insert(head.end(), {'d', 'a', 't', 'a'});
    put32(head, dataBytes);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = "cannot create " + path;
        return false;
    }
    std::vector<uint8_t> body(interleaved.size() * 2);
    for (size_t i = 0; i < interleaved.size(); ++i) {
        const auto v = static_cast<uint16_t>(interleaved[i]);
        body[2 * i] = static_cast<uint8_t>(v);
        body[2 * i + 1] = static_cast<uint8_t>(v >> 8);
    }
    const bool ok = std::fwrite(head.data(), 1, head.size(), f) == head.size()
                    && std::fwrite(body.data(), 1, body.size(), f) == body.size();
    if (std::fclose(f) != 0 || !ok) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

BlockSpec randomBlock(std::mt19937& rng)
{
    auto pick = [&rng](std::string_view from) {
        return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(rng)];
    };
    auto chance = [&rng](double p) { return std::uniform_real_distribution<double>(0.0, 1.0)(rng) < p; };
    constexpr std::string_view kDigits = "0123456789";
    constexpr std::string_view kUpper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    constexpr std::string_view kLabels[] = {"H1", "5Z", "Q0", "SA", "10", "80", "B6", "_\x7f", "SQ", "15", "RA", "44"};

    BlockSpec b;
    const bool downlink = chance(0.7);
    b.mode = downlink ? pick("2ABCDEFGHIJKLMNOPQRSTUVWXYZ") : pick("abcdefghijklmnopqrstuvwxyz");
    std::string reg;
    if (chance(0.5)) {
        reg = "JA";
        for (int i = 0; i < 4; ++i)
            reg.push_back(i < 2 || chance(0.5) ? pick(kDigits) : pick(kUpper));
    } else {
        reg = "N";
        const int len = std::uniform_int_distribution<int>(3, 5)(rng);
        for (int i = 0; i < len; ++i)
            reg.push_back(pick(kDigits));
    }
    b.address = reg;
    b.ack = chance(0.6) ? static_cast<char>(kNak) : pick(downlink ? kUpper : kDigits);
    b.label = std::string(kLabels[std::uniform_int_distribution<size_t>(0, std::size(kLabels) - 1)(rng)]);
    b.blockId = downlink ? pick(kDigits) : pick(kUpper);
    // Every block has a text, so that it reaches 29 characters or more and the
    // block decoder accepts it; a downlink text starts with a message number
    // and a flight number whose last four characters are digits.
    std::string text;
    if (downlink) {
        text = "M";
        text += {pick(kDigits), pick(kDigits), pick(kUpper)};
        text += std::string("JL") + pick(kDigits) + pick(kDigits) + pick(kDigits) + pick(kDigits);
    }
    const int len = std::uniform_int_distribution<int>(downlink ? 0 : 10, 200)(rng);
    for (int i = 0; i < len; ++i) {
        if (chance(0.03)) {
            text += "\r\n";
            ++i;
        } else {
            text.push_back(static_cast<char>(std::uniform_int_distribution<int>(0x20, 0x7E)(rng)));
        }
    }
    b.text = text;
    b.etx = chance(0.85);
    return b;
}

std::vector<Burst> randomTraffic(std::mt19937& rng, int channel, int count, double startSeconds, int preKeyBits)
{
    std::vector<Burst> out;
    double at = startSeconds;
    for (int i = 0; i < count; ++i) {
        Burst b;
        b.channel = channel;
        b.startSeconds = at;
        b.block = randomBlock(rng);
        at += burstSeconds(b.block, preKeyBits) + std::uniform_real_distribution<double>(0.2, 0.6)(rng);
        out.push_back(std::move(b));
    }
    return out;
}

} // namespace varnesk::gen

namespace varnesk::gen {

const char* blockKindName(BlockKind kind)
{
    switch (kind) {
    case BlockKind::Downlink:
        return "downlink";
    case BlockKind::PositionReport:
        return "position";
    case BlockKind::GeneralResponse:
        return "general response";
    case BlockKind::Squitter:
        return "squitter";
    case BlockKind::Mode2Uplink:
        return "mode-2 uplink";
    case BlockKind::Uplink:
        return "uplink";
    }
    return "?";
}

namespace {

struct Airport {
    const char* icao;
    const char* city; // three letters, as a squitter names its station
    double lat, lon;
};

constexpr Airport kAirports[] = {
    {"RJTT", "TYO", 35.553, 139.781}, {"RJAA", "NRT", 35.765, 140.386}, {"RJBB", "OSA", 34.427, 135.244},
    {"RJCC", "SPK", 42.775, 141.692}, {"RJFF", "FUK", 33.586, 130.451}, {"ROAH", "OKA", 26.196, 127.646},
    {"RJGG", "NGO", 34.858, 136.805}, {"RJSS", "SDJ", 38.140, 140.917}, {"RJOA", "HIJ", 34.436, 132.919},
    {"RJFK", "KOJ", 31.803, 130.719}, {"RKSI", "SEL", 37.463, 126.440}, {"RJCH", "HKD", 41.770, 140.822},
};

// Airlines whose position reports the program reads, with their label.
struct Airline {
    const char* code;
    const char* label;
};
constexpr Airline kAirlines[] = {{"JL", "H1"}, {"NH", "H1"}, {"UA", "H1"}, {"MU", "11"}};

constexpr std::string_view kDigits = "0123456789";
constexpr std::string_view kUpper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr std::string_view kDownlinkLabels[] = {"H1", "5Z", "Q0", "SA", "10", "80", "B6", "15", "44", "12"};
constexpr std::string_view kUplinkLabels[] = {"H1", "RA", "C1", "SA", "10", "80", "B6", "15", "44", "QA"};

// Text of n filler characters with the parts written at their offsets.
std::string layout(size_t n, std::initializer_list<std::pair<size_t, std::string>> parts)
{
    std::string t(n, '.');
    for (const auto& [at, s] : parts) {
        if (t.size() < at + s.size())
            t.resize(at + s.size(), '.');
        t.replace(at, s.size(), s);
    }
    return t;
}

std::string printf2(const char* format, int a, int b = 0, int c = 0)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, format, a, b, c);
    return buf;
}

// A few minutes of flight per report (about 30 nautical miles): a route of
// some 600 nautical miles takes about twenty reports.
double routeStep(const AirTraffic::Aircraft& a)
{
    const Airport& f = kAirports[a.from];
    const Airport& t = kAirports[a.to];
    const double nm = 60.0 * std::hypot(t.lat - f.lat, (t.lon - f.lon) * std::cos(f.lat * std::numbers::pi / 180));
    return std::clamp(30.0 / std::max(nm, 1.0), 0.02, 0.2);
}

} // namespace

AirTraffic::AirTraffic(uint32_t seed, int fleetSize) : m_rng(seed)
{
    for (int i = 0; i < std::max(fleetSize, 1); ++i)
        m_fleet.push_back(newAircraft());
}

AirTraffic::Aircraft AirTraffic::newAircraft()
{
    auto uniform = [this](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); };
    Aircraft a;
    a.airline = kAirlines[static_cast<size_t>(uniform(0, static_cast<int>(std::size(kAirlines)) - 1))].code;
    a.flight = a.airline + printf2("%04d", uniform(1, 2999));
    a.address = "JA";
    for (int i = 0; i < 4; ++i)
        a.address.push_back(i < 2 || uniform(0, 1) ? kDigits[static_cast<size_t>(uniform(0, 9))]
                                                   : kUpper[static_cast<size_t>(uniform(0, 25))]);
    const int n = static_cast<int>(std::size(kAirports));
    a.from = uniform(0, n - 1);
    a.to = (a.from + uniform(1, n - 1)) % n;
    a.along = std::uniform_real_distribution<double>(0.05, 0.7)(m_rng);
    a.step = routeStep(a);
    a.minutes = uniform(0, 23 * 60);
    a.message = uniform(0, 50);
    return a;
}

BlockSpec AirTraffic::downlink(Aircraft& a, std::string_view label)
{
    auto uniform = [this](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); };
    BlockSpec b;
    b.mode = uniform(0, 3) == 0 ? '2' : kUpper[static_cast<size_t>(uniform(0, 25))];
    b.address = a.address;
    b.ack = uniform(0, 9) < 6 ? static_cast<char>(kNak) : kUpper[static_cast<size_t>(uniform(0, 25))];
    b.label = std::string(label);
    b.blockId = kDigits[static_cast<size_t>(uniform(0, 9))];
    a.message = (a.message + 1) % 100;
    b.text = "M" + printf2("%02d", a.message) + "A" + a.flight;
    return b;
}

BlockSpec AirTraffic::positionReport(Aircraft& a)
{
    a.along += a.step;
    a.minutes = (a.minutes + std::uniform_int_distribution<int>(3, 6)(m_rng)) % (24 * 60);
    if (a.along > 1.0) {
        // Landed: the same aircraft flies on from there under a new flight.
        const int landed = a.to;
        a = newAircraft();
        a.from = landed;
        a.to = (landed + 1 + std::uniform_int_distribution<int>(0, static_cast<int>(std::size(kAirports)) - 2)(m_rng))
               % static_cast<int>(std::size(kAirports));
        a.step = routeStep(a);
        a.along = a.step;
    }
    const Airport& f = kAirports[a.from];
    const Airport& t = kAirports[a.to];
    const double lat = f.lat + (t.lat - f.lat) * a.along;
    const double lon = f.lon + (t.lon - f.lon) * a.along;
    const int altitude = static_cast<int>(std::min({1.0, a.along * 6, (1.0 - a.along) * 6}) * 350) * 100;
    const double heading = std::fmod(std::atan2((t.lon - f.lon) * std::cos(lat * std::numbers::pi / 180), t.lat - f.lat)
                                             * 180 / std::numbers::pi
                                         + 360,
                                     360);
    const std::string time = printf2("%02d%02d", a.minutes / 60, a.minutes % 60);
    // Degrees and tenths of minutes ("N35403" is 35° 40.3'), and thousandths of degrees.
    const int latTenths = static_cast<int>(std::lround(lat * 600));
    const int lonTenths = static_cast<int>(std::lround(lon * 600));
    const std::string latMin = printf2("N%02d%03d", latTenths / 600, latTenths % 600);
    const std::string lonMin = printf2("E%03d%03d", lonTenths / 600, lonTenths % 600);
    const int latMilli = static_cast<int>(std::lround(lat * 1000));
    const int lonMilli = static_cast<int>(std::lround(lon * 1000));
    const int temperature = 15 - altitude / 500; // 2 °C less every 1,000 ft: −55 °C at 35,000 ft
    const std::string signedTemperature = printf2(temperature < 0 ? "M%02d" : "P%02d", std::abs(temperature));
    const std::string wind = printf2("%03d%03d", std::uniform_int_distribution<int>(240, 300)(m_rng),
                                     std::uniform_int_distribution<int>(20, 140)(m_rng));
    BlockSpec b;
    std::string report;
    if (a.airline == "JL") {
        b = downlink(a, "H1");
        report = layout(80, {{4, "PNT"},
                             {31, latMin + lonMin},
                             {44, time},
                             {48, printf2("%05d", altitude)},
                             {53, printf2("%03d", temperature)},
                             {56, wind},
                             {69, printf2("%03d", static_cast<int>(heading))}});
    } else if (a.airline == "NH") {
        b = downlink(a, "H1");
        report = layout(110, {{4, "POS"},
                              {61, latMin + lonMin},
                              {74, time},
                              {80, printf2("%05d", altitude)},
                              {85, signedTemperature},
                              {88, wind}});
    } else if (a.airline == "UA") {
        b = downlink(a, "H1");
        report = layout(20, {{3, "BPOS" + latMin + lonMin}}) + "," + a.flight.substr(2) + "," + time + ","
                 + printf2("%03d", altitude / 100) + ",,,," + signedTemperature + "," + wind;
    } else {
        b = downlink(a, "11");
        report = layout(60, {{0, "POS"},
                             {17, printf2("N.%02d.%03d", latMilli / 1000, latMilli % 1000)},
                             {30, printf2("E%03d.%03d", lonMilli / 1000, lonMilli % 1000)},
                             {43, printf2("%05d", altitude)},
                             {53, time}});
    }
    b.text += report;
    return b;
}

std::string AirTraffic::uplinkText()
{
    std::string text;
    const int len = std::uniform_int_distribution<int>(10, 200)(m_rng);
    for (int i = 0; i < len; ++i) {
        if (std::uniform_int_distribution<int>(0, 32)(m_rng) == 0 && i + 1 < len) {
            text += "\r\n";
            ++i;
        } else {
            text.push_back(static_cast<char>(std::uniform_int_distribution<int>(0x20, 0x7E)(m_rng)));
        }
    }
    return text;
}

Burst AirTraffic::next()
{
    auto uniform = [this](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); };
    auto printable = [&] { return static_cast<char>(uniform(0x20, 0x7E)); };
    Burst out;
    const int roll = uniform(0, 99);
    Aircraft& a = m_fleet[static_cast<size_t>(uniform(0, static_cast<int>(m_fleet.size()) - 1))];
    BlockSpec& b = out.block;
    if (roll < 19) {
        out.kind = BlockKind::PositionReport;
        b = positionReport(a);
    } else if (roll < 55) {
        out.kind = BlockKind::Downlink;
        b = downlink(
            a, kDownlinkLabels[static_cast<size_t>(uniform(0, static_cast<int>(std::size(kDownlinkLabels)) - 1))]);
        // Every length: short, report-sized, the longest and anything between.
        const int style = uniform(0, 3);
        const int extra = style == 0   ? uniform(0, 6)
                          : style == 1 ? uniform(50, 70)
                          : style == 2 ? 210
                                       : uniform(0, 200);
        for (int i = 0; i < extra; ++i)
            b.text.push_back(printable());
        b.etx = uniform(0, 6) != 0;
    } else if (roll < 70) {
        out.kind = BlockKind::GeneralResponse;
        if (uniform(0, 1) == 0) {
            b = downlink(a, "_\x7f");
        } else {
            b.mode = static_cast<char>(uniform('`', '}'));
            b.address = a.address;
            b.ack = kDigits[static_cast<size_t>(uniform(0, 9))];
            b.label = "_\x7f";
            b.blockId = kUpper[static_cast<size_t>(uniform(0, 25))];
        }
    } else if (roll < 80) {
        out.kind = BlockKind::Squitter;
        const Airport& at = kAirports[static_cast<size_t>(uniform(0, static_cast<int>(std::size(kAirports)) - 1))];
        b.mode = '2';
        b.address = ".......";
        b.ack = static_cast<char>(kNak);
        b.label = "SQ";
        b.blockId = '\0';
        const int latTenths = static_cast<int>(std::lround(at.lat * 600));
        const int lonTenths = static_cast<int>(std::lround(at.lon * 600));
        b.text = std::string("02X") + (uniform(0, 1) ? 'S' : 'A') + at.city + at.icao
                 + kDigits[static_cast<size_t>(uniform(1, 9))] + printf2("N%02d%03d", latTenths / 600, latTenths % 600)
                 + printf2("E%03d%03d", lonTenths / 600, lonTenths % 600) + printf2("V1%05d/", uniform(30000, 36975));
    } else {
        const bool mode2 = roll < 90;
        out.kind = mode2 ? BlockKind::Mode2Uplink : BlockKind::Uplink;
        b.mode = mode2 ? '2' : static_cast<char>(uniform('`', '}'));
        b.address = a.address;
        b.ack = uniform(0, 9) < 4 ? static_cast<char>(kNak) : kDigits[static_cast<size_t>(uniform(0, 9))];
        b.label =
            std::string(kUplinkLabels[static_cast<size_t>(uniform(0, static_cast<int>(std::size(kUplinkLabels)) - 1))]);
        b.blockId = kUpper[static_cast<size_t>(uniform(0, 25))];
        b.text = uplinkText();
        b.etx = uniform(0, 6) != 0;
    }
    return out;
}

std::vector<Burst> AirTraffic::bursts(int channel, int count, double startSeconds, int preKeyBits)
{
    std::vector<Burst> out;
    double at = startSeconds;
    for (int i = 0; i < count; ++i) {
        Burst b = next();
        b.channel = channel;
        b.startSeconds = at;
        at += burstSeconds(b.block, preKeyBits) + std::uniform_real_distribution<double>(0.2, 0.6)(m_rng);
        out.push_back(std::move(b));
    }
    return out;
}

} // namespace varnesk::gen
