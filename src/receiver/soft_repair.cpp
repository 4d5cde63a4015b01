// Soft repair: the hard decisions corrected character by character to odd
// parity at the least reliable bit, then sets of further flips tried in order
// of increasing cost until the CRC matches. The CRC is linear, so a flip
// changes the check by a fixed 16-bit column and each candidate costs one xor.
//
// The guard: with costs in natural log-likelihood units, the candidate of cost
// C has weight e^-C, and every word that could have been sent (odd parity and
// a character that may stand at every place, a BCS of the one parity a block
// can have) together weighs Z. Such a word not yet tried passes the CRC by
// chance with probability 2^-15 (the generator's factor x + 1 already fixes
// the parity), so the weight of false matches still waiting is
// (Z − weight tried − weight matched) · 2^-15. The search goes on past the
// first match: every further word that fails makes that weight smaller, and
// a second match is a rival the first must outweigh. The cheapest match is
// accepted when its weight is at least kRepairPosterior of all that together.
#include "receiver/soft_repair.h"

#include "acars/control_chars.h"
#include "acars/crc16.h"
#include "acars/frame_layout.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numeric>

namespace varnesk {

namespace {

// Characters counted from the mode character, the first the BCS covers.
constexpr int kAckChar = kAckPos - kModePos;
constexpr int kLabelChar = kLabelPos - kModePos;
constexpr int kBlockIdChar = kBlockIdPos - kModePos;
constexpr int kTextStartChar = kBlockIdChar + 1; // STX after mode, address, ack, label and block id
constexpr int kDownlinkFieldChars = 10;
static_assert(kTextStartChar + 1 + kDownlinkFieldChars == 23, "the text class follows the downlink fields");
// A move flips two of a character's kWeakBits least reliable bits (with four,
// about one frame in fifty near the limit had its errors out of reach).
constexpr int kWeakBits = 6;
constexpr int kMaxMessageBits = (kRepairMaxChars + 2) * 8;

struct CrcTables {
    // column[d]: the check of a single 1 bit followed by d zero bits.
    std::array<uint16_t, kMaxMessageBits> column{};
    CrcTables()
    {
        uint16_t crc = crcStep(0, 1);
        for (int d = 0; d < kMaxMessageBits; ++d) {
            column[static_cast<size_t>(d)] = crc;
            crc = crcStep(crc, 0);
        }
    }
};

const CrcTables& crcTables()
{
    static const CrcTables tables;
    return tables;
}

// The hard decisions of eight soft values (bit 0 first, positive = 1).
uint8_t hardByte(const float* l)
{
    uint8_t hard = 0;
    for (int b = 0; b < 8; ++b)
        if (l[b] > 0)
            hard |= static_cast<uint8_t>(1u << b);
    return hard;
}

// The value held at character c (the end character, and STX when a text
// follows the block id), −1 for a character the repair may choose.
int heldValue(int c, int charCount, uint8_t endChar)
{
    if (c == charCount - 1)
        return endChar;
    if (c == kTextStartChar && charCount > kTextStartChar + 1)
        return kParityStx;
    return -1;
}

// log(e^a + e^b) without overflow.
double logSum(double a, double b)
{
    return std::max(a, b) + std::log1p(std::exp(-std::fabs(a - b)));
}

bool isDigitValue(int v)
{
    v &= 0x7F;
    return v >= '0' && v <= '9';
}

// A downlink (its block id a digit) starts its text with the message number,
// a letter, two digits and a letter ("M01A"), and the flight number: the
// airline's two letters or digits, then four digits or spaces ("JL0123",
// "JL12  "; the decoder drops any other). k counts from the first text character.
bool downlinkFieldChar(int k, int v)
{
    v &= 0x7F;
    const bool upper = v >= 'A' && v <= 'Z';
    if (k == 0 || k == 3)
        return upper;
    if (k == 1 || k == 2)
        return isDigitValue(v);
    if (k == 4 || k == 5)
        return upper || isDigitValue(v) || v == ' ';
    return isDigitValue(v) || v == ' ';
}

} // namespace

double overruleCost(const float* l, uint8_t value)
{
    const uint8_t differ = hardByte(l) ^ value;
    double cost = 0;
    for (int b = 0; b < 8; ++b)
        if ((differ >> b) & 1)
            cost += std::fabs(l[b]);
    return cost;
}

bool plausibleChar(int c, int v)
{
    v &= 0x7F;
    const bool printable = v >= 0x20 && v <= 0x7E;
    if (c == 0) // mode: "2", "@" … "]", "`" … "}"
        return v == '2' || (v >= '@' && v <= ']') || (v >= '`' && v <= '}');
    if (c >= 1 && c <= kAddressWidth) // an uplink may carry DEL there
        return (v >= 'A' && v <= 'Z') || (v >= '0' && v <= '9') || v == '.' || v == '-' || v == kCharDel;
    if (c == kAckChar) // a character or NAK
        return printable || v == kCharNak;
    if (c == kLabelChar || c == kLabelChar + 1) // a general response's label is "_" DEL
        return printable || v == kCharDel;
    if (c == kBlockIdChar) // a squitter's is NUL; an uplink's may be DEL
        return printable || v == 0 || v == kCharDel;
    return printable || v == '\r' || v == '\n';
}

SoftRepair::SoftRepair()
{
    m_moves.reserve(kRepairMaxChars * (kWeakBits * (kWeakBits - 1) / 2) + 16);
    m_nodes.reserve(2 * kRepairPops + 2);
    m_heap.reserve(2 * kRepairPops + 2);
    m_base.reserve(kRepairMaxChars + 2);
    m_best.reserve(kRepairMaxChars + 2);
}

bool SoftRepair::conflicts(int node, int move) const
{
    const int c = m_moves[static_cast<size_t>(move)].charIndex;
    // The characters' bits say for sure when none of the chain's moves is on c.
    if (c < 0 || node < 0 || (m_nodes[static_cast<size_t>(node)].charBits & charBit(c)) == 0)
        return false;
    for (int n = node; n >= 0; n = m_nodes[static_cast<size_t>(n)].parent) {
        const int m = m_nodes[static_cast<size_t>(n)].move;
        if (m >= 0 && m_moves[static_cast<size_t>(m)].charIndex == c)
            return true;
    }
    return false;
}

double wrongEndOdds(std::span<const float> llr, int endChar, uint8_t endByte, std::span<const float> del)
{
    if (endChar < 0 || llr.size() < static_cast<size_t>(endChar + 1) * 8)
        return 0.0;
    const float* l = llr.data() + endChar * 8;
    const double endCost = overruleCost(l, endByte);
    double odds = 0;
    if (endChar <= kTextStartChar) {
        odds = std::exp(endCost - overruleCost(l, kParityStx));
    } else {
        for (int v = 0; v < 128; ++v)
            if (plausibleChar(endChar, v) && v != kCharEtx && v != kCharEtb)
                odds += std::exp(endCost - overruleCost(l, withOddParity(v)));
    }
    if (del.size() >= 8) {
        const double delCost = overruleCost(del.data(), kParityDel); // seven 1 bits, parity 0
        double text = 0;
        int count = 0;
        for (int v = 0x20; v <= 0x7E; ++v, ++count)
            text += std::exp(delCost - overruleCost(del.data(), withOddParity(v)));
        odds *= text / count;
    }
    return odds;
}

RepairResult SoftRepair::repair(std::span<const float> llr, int charCount, uint8_t endChar, int otherEnds,
                                std::span<uint8_t> chars, double wrongEndOdds, int maxPops)
{
    RepairResult result;
    if (charCount < 1 || charCount > kRepairMaxChars || llr.size() < static_cast<size_t>(charCount * 8 + 16)
        || chars.size() < static_cast<size_t>(charCount))
        return result;

    // A frame right as received (odd parity everywhere, the held characters
    // as they should be, the CRC right) is taken as the classic chain takes it.
    m_base.assign(static_cast<size_t>(charCount + 2), 0);
    bool asReceived = true;
    for (int byte = 0; byte < charCount + 2; ++byte) {
        const uint8_t hard = hardByte(llr.data() + byte * 8);
        m_base[static_cast<size_t>(byte)] = hard;
        if (byte < charCount && std::popcount(static_cast<unsigned>(hard)) % 2 == 0)
            asReceived = false;
    }
    if (m_base[static_cast<size_t>(charCount - 1)] != endChar
        || (charCount > kTextStartChar + 1 && m_base[static_cast<size_t>(kTextStartChar)] != kParityStx))
        asReceived = false;
    if (asReceived && blockCheck(m_base) == 0) {
        std::copy_n(m_base.begin(), charCount, chars.begin());
        result.ok = true;
        result.posterior = 1.0;
        return result;
    }

    // A block is a downlink or not by its block id: that decides what its
    // mode and acknowledgement may be, and a downlink's text starts with the
    // fields above. Z weighs both sides; the search tries the side the block
    // id was received on first, then the other.
    const int fieldEnd = std::min(kTextStartChar + 1 + kDownlinkFieldChars, charCount - 1);
    const bool coupled = charCount > kBlockIdChar + 1;
    const double logZ = logWeightOfAll(llr, charCount, coupled, fieldEnd, endChar);
    // A word of the right BCS parity passes the CRC by chance with probability 2^-15.
    const double logFalse = logZ - 15 * std::log(2.0) + std::log(1.0 + otherEnds);
    Side sides[2] = {Side::Any, Side::Any};
    int sideCount = 1;
    if (coupled) {
        const bool receivedDownlink = isDigitValue(wagnerValue(llr.data() + kBlockIdChar * 8));
        sides[0] = receivedDownlink ? Side::Downlink : Side::Other;
        sides[1] = receivedDownlink ? Side::Other : Side::Downlink;
        sideCount = 2;
    }
    Search search{logZ, logFalse, wrongEndOdds};
    search.maxPops = std::clamp(maxPops, 0, kRepairPops);
    for (int k = 0; k < sideCount && !search.decided(); ++k)
        searchSide(llr, charCount, endChar, sides[k], fieldEnd, search);
    result.candidatesTried = search.candidatesTried;
    result.pops = std::min(search.pops, search.maxPops);
    if (search.matches == 0 || blockCheck(m_best) != 0)
        return result;
    result.posterior = search.posterior(search.bestCost);
    if (result.posterior < kRepairPosterior) {
        result.refused = true;
        return result;
    }
    int flipped = 0;
    for (int byte = 0; byte < charCount + 2; ++byte)
        for (int b = 0; b < 8; ++b) {
            const bool hard = llr[static_cast<size_t>(byte * 8 + b)] > 0;
            flipped += hard != (((m_best[static_cast<size_t>(byte)] >> b) & 1) != 0);
        }
    result.ok = true;
    result.flippedBits = flipped;
    std::copy_n(m_best.begin(), charCount, chars.begin());
    return result;
}

double SoftRepair::Search::posterior(double cost) const
{
    // The sent word is the match, another match, a word not yet tried that
    // would pass the CRC, or none of this end's words at all.
    const double share = std::exp(-cost - logZ);
    if (!(share > 0))
        return 0.0; // too light to tell from nothing
    const double untried = std::max(1.0 - triedShare - matchShare, 0.0) + wrongEnd;
    const double others = std::max(matchShare - share, 0.0) / share;
    return 1.0 / (1.0 + others + untried * std::exp(logFalse + cost));
}

bool SoftRepair::Search::decided() const
{
    if (matches == 0)
        return false;
    // Sure enough that the rest of the search could hardly matter, or short
    // of the posterior even if every word not tried failed.
    const double share = std::exp(-bestCost - logZ);
    return posterior(bestCost) >= kRepairSure || share < kRepairPosterior * matchShare;
}

uint8_t wagnerValue(const float* l)
{
    uint8_t hard = hardByte(l);
    int weakest = 0;
    for (int b = 1; b < 8; ++b)
        if (std::fabs(l[b]) < std::fabs(l[weakest]))
            weakest = b;
    if (std::popcount(static_cast<unsigned>(hard)) % 2 == 0)
        hard ^= static_cast<uint8_t>(1u << weakest);
    return hard;
}

bool SoftRepair::mayStand(int c, int v, Side side, int fieldEnd)
{
    if (!plausibleChar(c, v))
        return false;
    if (side != Side::Any && c == kBlockIdChar)
        return isDigitValue(v) == (side == Side::Downlink);
    // Mode "2" serves both directions; otherwise a downlink's mode is "@" … "]",
    // an uplink's "`" … "}".
    if (side != Side::Any && c == 0 && (v & 0x7F) != '2')
        return ((v & 0x7F) < '`') == (side == Side::Downlink);
    // A downlink acknowledges an uplink's block id (a letter), an uplink a
    // downlink's (a digit); or NAK.
    if (side != Side::Any && c == kAckChar && (v & 0x7F) != kCharNak) {
        const int u = v & 0x7F;
        return side == Side::Downlink ? (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') : isDigitValue(u);
    }
    if (side == Side::Downlink && c > kTextStartChar && c < fieldEnd)
        return downlinkFieldChar(c - kTextStartChar - 1, v);
    return true;
}

const std::vector<uint8_t>& SoftRepair::standing(int c, Side side)
{
    // Where a character stands decides what may stand there: each place
    // before the text, each place of the downlink fields, and the text.
    static const auto table = [] {
        std::array<std::array<std::vector<uint8_t>, 3>, kTextClass + 1> t;
        for (int place = 0; place <= kTextClass; ++place)
            for (const Side sd : {Side::Any, Side::Downlink, Side::Other})
                for (int v = 0; v < 128; ++v)
                    if (mayStand(place, v, sd, kTextClass))
                        t[static_cast<size_t>(place)][static_cast<size_t>(sd)].push_back(withOddParity(v));
        return t;
    }();
    return table[static_cast<size_t>(std::clamp(c, 0, kTextClass))][static_cast<size_t>(side)];
}

double SoftRepair::logWeightOfAll(std::span<const float> llr, int charCount, bool coupled, int fieldEnd,
                                  uint8_t endChar)
{
    // Every odd-parity value of character c that may stand there on the given
    // side, weighted by the bits it overrules.
    // The weight of a value is the product of e^-|l| over the bits it
    // overrules: built for every pattern of overruled bits from eight factors.
    std::array<double, 256> weight;
    int weightsOf = -1; // the character the table is for
    auto charWeight = [&](int c, Side side) {
        const float* l = llr.data() + c * 8;
        if (weightsOf != c) {
            weight[0] = 1;
            for (int b = 0; b < 8; ++b) {
                const double f = std::exp(-std::fabs(static_cast<double>(l[b])));
                for (int d = 0; d < (1 << b); ++d)
                    weight[static_cast<size_t>(d | (1 << b))] = weight[static_cast<size_t>(d)] * f;
            }
            weightsOf = c;
        }
        const uint8_t hard = hardByte(l);
        double z = 0;
        for (const uint8_t value : standing(c < fieldEnd ? c : kTextClass, side))
            z += weight[value ^ hard];
        return std::max(z, 1e-300);
    };
    double logZ = 0;
    double downlinkSide = 0; // the mode, acknowledgement, block id and the fields, as a downlink
    double otherSide = 0;    // and as anything else
    double anyProduct = 1;
    for (int c = 0; c < charCount; ++c) {
        if (const int held = heldValue(c, charCount, endChar); held >= 0) {
            // Held: the weight of the one value that may stand.
            logZ -= overruleCost(llr.data() + c * 8, static_cast<uint8_t>(held));
        } else if (coupled && (c == 0 || c == kAckChar || c == kBlockIdChar || (c > kTextStartChar && c < fieldEnd))) {
            downlinkSide += std::log(charWeight(c, Side::Downlink));
            otherSide += std::log(charWeight(c, Side::Other));
        } else {
            // Multiplied up, the log taken only before the product could underflow.
            anyProduct *= charWeight(c, Side::Any);
            if (anyProduct < 1e-200) {
                logZ += std::log(anyProduct);
                anyProduct = 1;
            }
        }
    }
    logZ += std::log(anyProduct);
    if (coupled)
        logZ += logSum(downlinkSide, otherSide);
    // Every block passing the CRC has an even number of 1 bits (the generator
    // has the factor x + 1), and every character an odd one: the parity of
    // the BCS is known. Z takes the BCS values of that parity only.
    double even = 1; // weight of the BCS values an even number of flips from the one received
    double odd = 0;
    int received = 0;
    for (int k = 0; k < 16; ++k) {
        const float l = llr[static_cast<size_t>(charCount * 8 + k)];
        received += l > 0;
        const double x = std::exp(-std::fabs(static_cast<double>(l)));
        const double e = even + odd * x;
        odd += even * x;
        even = e;
    }
    logZ += std::log(std::max((received % 2 == charCount % 2) ? even : odd, 1e-300));
    return logZ;
}

void SoftRepair::searchSide(std::span<const float> llr, int charCount, uint8_t endChar, Side side, int fieldEnd,
                            Search& search)
{
    const CrcTables& t = crcTables();
    const int messageBits = (charCount + 2) * 8;
    auto column = [&](int byte, int bit) { return t.column[static_cast<size_t>(messageBits - 1 - (byte * 8 + bit))]; };

    // Base word, its cost against the hard decisions, and the moves.
    m_base.assign(static_cast<size_t>(charCount + 2), 0);
    m_moves.clear();
    double baseCost = 0;
    int mustMoves = 0;
    for (int c = 0; c < charCount; ++c) {
        const float* l = llr.data() + c * 8;
        const uint8_t hard = hardByte(l);
        if (const int held = heldValue(c, charCount, endChar); held >= 0) {
            // The end character and STX are held: their cost is that of every bit they overrule.
            baseCost += overruleCost(l, static_cast<uint8_t>(held));
            m_base[static_cast<size_t>(c)] = static_cast<uint8_t>(held);
            continue;
        }
        std::array<int, 8> order;
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(), [l](int a, int b) { return std::fabs(l[a]) < std::fabs(l[b]); });
        std::array<float, 8> a;
        for (int k = 0; k < 8; ++k)
            a[static_cast<size_t>(k)] = std::fabs(l[order[static_cast<size_t>(k)]]);
        const bool parityOk = std::popcount(static_cast<unsigned>(hard)) % 2 == 1;
        auto flipSyndrome = [&](int k) { return column(c, order[static_cast<size_t>(k)]); };
        auto bitOf = [&](int k) { return static_cast<uint8_t>(1u << order[static_cast<size_t>(k)]); };
        const uint8_t base = parityOk ? hard : static_cast<uint8_t>(hard ^ bitOf(0));
        m_base[static_cast<size_t>(c)] = base;
        // A repaired frame holds only characters that may stand where they
        // are: one received as a character that cannot must be moved.
        const bool mustMove = !mayStand(c, base, side, fieldEnd);
        mustMoves += mustMove;
        auto addMove = [&](float cost, uint16_t syndrome, uint8_t mask) {
            // A move to a character that cannot stand here is never worth trying.
            if (mayStand(c, base ^ mask, side, fieldEnd))
                m_moves.push_back({cost, syndrome, static_cast<int16_t>(c), mask, mustMove});
        };
        if (parityOk) {
            for (int i = 0; i < kWeakBits; ++i)
                for (int j = i + 1; j < kWeakBits; ++j)
                    addMove(a[static_cast<size_t>(i)] + a[static_cast<size_t>(j)],
                            static_cast<uint16_t>(flipSyndrome(i) ^ flipSyndrome(j)),
                            static_cast<uint8_t>(bitOf(i) | bitOf(j)));
        } else {
            // Wagner's rule: the least reliable bit is the one flipped.
            baseCost += a[0];
            for (int j = 1; j < kWeakBits; ++j)
                addMove(a[static_cast<size_t>(j)] - a[0], static_cast<uint16_t>(flipSyndrome(0) ^ flipSyndrome(j)),
                        static_cast<uint8_t>(bitOf(0) | bitOf(j)));
            for (int i = 1; i < kWeakBits; ++i)
                for (int j = i + 1; j < kWeakBits; ++j)
                    addMove(a[static_cast<size_t>(i)] + a[static_cast<size_t>(j)],
                            static_cast<uint16_t>(flipSyndrome(i) ^ flipSyndrome(j)),
                            static_cast<uint8_t>(bitOf(i) | bitOf(j)));
        }
    }
    for (int k = 0; k < 16; ++k) {
        const float l = llr[static_cast<size_t>(charCount * 8 + k)];
        if (l > 0)
            m_base[static_cast<size_t>(charCount + k / 8)] |= static_cast<uint8_t>(1u << (k % 8));
        m_moves.push_back({std::fabs(l), column(charCount + k / 8, k % 8), static_cast<int16_t>(-1),
                           static_cast<uint8_t>(1u << (k % 8)), false});
    }
    const uint16_t target = blockCheck(m_base);
    int bcsOnes = 0;
    for (int k = 0; k < 2; ++k)
        bcsOnes += std::popcount(static_cast<unsigned>(m_base[static_cast<size_t>(charCount + k)]));
    // Words whose BCS has the wrong parity cannot pass: they are not candidates.
    const bool bcsParityRight = bcsOnes % 2 == charCount % 2;
    std::sort(m_moves.begin(), m_moves.end(), [](const Move& x, const Move& y) { return x.cost < y.cost; });

    // Subsets of the sorted moves in order of increasing cost: from a subset
    // whose last move is i, "extend" adds move i + 1 and "swap" replaces i by i + 1.
    const double logOdds = std::log(kRepairPosterior / (1 - kRepairPosterior));
    m_nodes.clear();
    m_heap.clear();
    auto byCost = [](const HeapEntry& x, const HeapEntry& y) { return x.cost > y.cost; };
    m_nodes.push_back({baseCost, -1, -1, 0, 0, false, 0});
    m_heap.push_back({baseCost, 0});
    const int moveCount = static_cast<int>(m_moves.size());
    double logUntried = 0; // log of the share of Z not yet tried, and whether it needs working out again
    bool untriedStale = true;
    while (!m_heap.empty() && search.candidatesTried < kRepairBudget && search.pops++ < search.maxPops) {
        std::pop_heap(m_heap.begin(), m_heap.end(), byCost);
        const int n = m_heap.back().node;
        m_heap.pop_back();
        const Node node = m_nodes[static_cast<size_t>(n)];
        // Nothing cheaper than this is left: when even a match now would fall
        // well short of the posterior (by e², more than the rest of the
        // budget can make up), stop.
        if (untriedStale) {
            logUntried = std::log(std::max(1.0 - search.triedShare + search.wrongEnd, 1e-300));
            untriedStale = false;
        }
        if (search.matches == 0 && logUntried + search.logFalse > -node.cost - logOdds + 2.0)
            break;
        const bool valid = node.move < 0 || !conflicts(node.parent, node.move);
        if (valid && node.fixes == mustMoves && node.oddBcsFlips != bcsParityRight) {
            ++search.candidatesTried;
            const double share = std::exp(-node.cost - search.logZ);
            if (node.syndrome == target) {
                if (search.matches == 0 || node.cost < search.bestCost) {
                    search.bestCost = node.cost;
                    m_best = m_base;
                    applyMoves(n, charCount, m_best);
                }
                ++search.matches;
                search.matchShare += share;
                if (search.decided())
                    return;
            } else {
                search.triedShare += share;
                untriedStale = true;
            }
        }
        const int next = node.move + 1;
        if (next >= moveCount)
            continue;
        const Move& mv = m_moves[static_cast<size_t>(next)];
        if (valid) {
            m_nodes.push_back({node.cost + mv.cost, n, next, static_cast<uint16_t>(node.syndrome ^ mv.syndrome),
                               static_cast<int16_t>(node.fixes + mv.fixes), node.oddBcsFlips != (mv.charIndex < 0),
                               node.charBits | charBit(mv.charIndex)});
            m_heap.push_back({m_nodes.back().cost, static_cast<int>(m_nodes.size()) - 1});
            std::push_heap(m_heap.begin(), m_heap.end(), byCost);
        }
        if (node.move >= 0) {
            const Move& last = m_moves[static_cast<size_t>(node.move)];
            m_nodes.push_back(
                {node.cost - last.cost + mv.cost, node.parent, next,
                 static_cast<uint16_t>(node.syndrome ^ last.syndrome ^ mv.syndrome),
                 static_cast<int16_t>(node.fixes - last.fixes + mv.fixes),
                 (node.oddBcsFlips != (last.charIndex < 0)) != (mv.charIndex < 0),
                 (node.parent >= 0 ? m_nodes[static_cast<size_t>(node.parent)].charBits : 0) | charBit(mv.charIndex)});
            m_heap.push_back({m_nodes.back().cost, static_cast<int>(m_nodes.size()) - 1});
            std::push_heap(m_heap.begin(), m_heap.end(), byCost);
        }
    }
}

void SoftRepair::applyMoves(int found, int charCount, std::vector<uint8_t>& word) const
{
    const CrcTables& t = crcTables();
    const int messageBits = (charCount + 2) * 8;
    for (int n = found; n >= 0; n = m_nodes[static_cast<size_t>(n)].parent) {
        const int m = m_nodes[static_cast<size_t>(n)].move;
        if (m < 0)
            continue;
        const Move& mv = m_moves[static_cast<size_t>(m)];
        if (mv.charIndex >= 0) {
            word[static_cast<size_t>(mv.charIndex)] ^= mv.flipMask;
        } else {
            // A BCS bit: its column tells which of the 16.
            for (int k = 0; k < 16; ++k)
                if (t.column[static_cast<size_t>(messageBits - 1 - ((charCount + k / 8) * 8 + k % 8))] == mv.syndrome) {
                    word[static_cast<size_t>(charCount + k / 8)] ^= static_cast<uint8_t>(1u << (k % 8));
                    break;
                }
        }
    }
}

} // namespace varnesk
