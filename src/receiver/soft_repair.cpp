// Soft repair: the hard decisions corrected character by character to odd
// parity at the least reliable bit, then sets of further flips tried in order
// of increasing cost until one matches the CRC. The CRC is linear, so a flip
// changes the check by a fixed 16-bit column and each candidate costs one xor.
//
// The guard: with costs in natural log-likelihood units, the candidate of cost
// C has weight e^-C, and every odd-parity word of the frame whose characters
// may stand where they are together weighs Z (a product over the characters). A word not yet tried passes the CRC by
// chance with probability 2^-16, so the weight of false matches still waiting
// is (Z − weight tried) · 2^-16; the found word is accepted when its own weight
// is at least 99 times that (posterior ≥ 0.99).
#include "receiver/soft_repair.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numeric>

namespace varnesk {

namespace {

constexpr int kTextStartChar = 12; // STX after mode, address, ack, label and block id
constexpr uint8_t kStxByte = 0x02; // one 1 bit: odd parity as it is
// Subsets taken from the heap at most, tried or not (those with two moves on
// one character, or leaving an implausible character, are not tried).
constexpr int kRepairPops = 4 * kRepairBudget;
constexpr int kMaxMessageBits = (kRepairMaxChars + 2) * 8;

struct CrcTables {
    std::array<uint16_t, 256> byte{};
    // column[d]: the check of a single 1 bit followed by d zero bits.
    std::array<uint16_t, kMaxMessageBits> column{};
    CrcTables()
    {
        for (int b = 0; b < 256; ++b) {
            uint16_t crc = static_cast<uint16_t>(b);
            for (int k = 0; k < 8; ++k)
                crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0x8408) : static_cast<uint16_t>(crc >> 1);
            byte[static_cast<size_t>(b)] = crc;
        }
        uint16_t crc = 1;
        crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0x8408) : static_cast<uint16_t>(crc >> 1);
        for (int d = 0; d < kMaxMessageBits; ++d) {
            column[static_cast<size_t>(d)] = crc;
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0x8408) : static_cast<uint16_t>(crc >> 1);
        }
    }
};

const CrcTables& crcTables()
{
    static const CrcTables tables;
    return tables;
}

// log(1 + e^x) without overflow.
double softplus(double x)
{
    return x > 30 ? x : std::log1p(std::exp(x));
}

} // namespace

bool plausibleChar(int c, int v)
{
    v &= 0x7F;
    const bool printable = v >= 0x20 && v <= 0x7E;
    if (c >= 1 && c <= 7)
        return (v >= 'A' && v <= 'Z') || (v >= '0' && v <= '9') || v == '.' || v == '-';
    if (c == 8) // acknowledgement: a character or NAK
        return printable || v == 0x15;
    if (c == 9 || c == 10)
        return printable || v == 0x7F;
    if (c <= 11)
        return printable;
    return printable || v == '\r' || v == '\n';
}

uint16_t blockCheck(std::span<const uint8_t> bytes)
{
    const CrcTables& t = crcTables();
    uint16_t crc = 0;
    for (const uint8_t b : bytes)
        crc = static_cast<uint16_t>((crc >> 8) ^ t.byte[(crc ^ b) & 0xFF]);
    return crc;
}

SoftRepair::SoftRepair()
{
    m_moves.reserve(kRepairMaxChars * 7 + 16);
    m_nodes.reserve(2 * kRepairPops + 2);
    m_heap.reserve(2 * kRepairPops + 2);
    m_base.reserve(kRepairMaxChars + 2);
}

bool SoftRepair::conflicts(int node, int move) const
{
    const int c = m_moves[static_cast<size_t>(move)].charIndex;
    if (c < 0)
        return false;
    for (int n = node; n >= 0; n = m_nodes[static_cast<size_t>(n)].parent) {
        const int m = m_nodes[static_cast<size_t>(n)].move;
        if (m >= 0 && m_moves[static_cast<size_t>(m)].charIndex == c)
            return true;
    }
    return false;
}

RepairResult SoftRepair::repair(std::span<const float> llr, int charCount, uint8_t endChar, int otherEnds,
                                std::span<uint8_t> chars)
{
    RepairResult result;
    if (charCount < 1 || charCount > kRepairMaxChars || llr.size() < static_cast<size_t>(charCount * 8 + 16)
        || chars.size() < static_cast<size_t>(charCount))
        return result;
    const CrcTables& t = crcTables();
    const int messageBits = (charCount + 2) * 8;
    auto column = [&](int byte, int bit) {
        return t.column[static_cast<size_t>(messageBits - 1 - (byte * 8 + bit))];
    };

    // A frame right as received (odd parity everywhere, the held characters
    // as they should be, the CRC right) is taken as the classic chain takes it.
    m_base.assign(static_cast<size_t>(charCount + 2), 0);
    bool asReceived = true;
    for (int byte = 0; byte < charCount + 2; ++byte) {
        uint8_t hard = 0;
        for (int b = 0; b < 8; ++b)
            if (llr[static_cast<size_t>(byte * 8 + b)] > 0)
                hard |= static_cast<uint8_t>(1u << b);
        m_base[static_cast<size_t>(byte)] = hard;
        if (byte < charCount && std::popcount(static_cast<unsigned>(hard)) % 2 == 0)
            asReceived = false;
    }
    if (m_base[static_cast<size_t>(charCount - 1)] != endChar
        || (charCount > kTextStartChar + 1 && m_base[static_cast<size_t>(kTextStartChar)] != kStxByte))
        asReceived = false;
    if (asReceived && blockCheck(m_base) == 0) {
        std::copy_n(m_base.begin(), charCount, chars.begin());
        result.ok = true;
        result.posterior = 1.0;
        return result;
    }

    // Base word, its cost against the hard decisions, the moves, and log Z.
    m_base.assign(static_cast<size_t>(charCount + 2), 0);
    m_moves.clear();
    double baseCost = 0;
    double logZ = 0;
    int mustMoves = 0;
    for (int c = 0; c < charCount; ++c) {
        const float* l = llr.data() + c * 8;
        uint8_t hard = 0;
        for (int b = 0; b < 8; ++b)
            if (l[b] > 0)
                hard |= static_cast<uint8_t>(1u << b);
        const bool isEnd = c == charCount - 1;
        if (isEnd || (c == kTextStartChar && charCount > kTextStartChar + 1)) {
            // The end character and STX are held: their cost is that of every bit they overrule.
            const uint8_t held = isEnd ? endChar : kStxByte;
            double cost = 0;
            for (int b = 0; b < 8; ++b)
                if (((hard ^ held) >> b) & 1)
                    cost += std::fabs(l[b]);
            m_base[static_cast<size_t>(c)] = held;
            baseCost += cost;
            logZ -= cost;
            continue;
        }
        std::array<int, 8> order;
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(), [l](int a, int b) { return std::fabs(l[a]) < std::fabs(l[b]); });
        std::array<float, 8> a;
        for (int k = 0; k < 8; ++k)
            a[static_cast<size_t>(k)] = std::fabs(l[order[static_cast<size_t>(k)]]);
        const bool parityOk = std::popcount(static_cast<unsigned>(hard)) % 2 == 1;
        // Z of this character: every odd-parity value that may stand here (or
        // is the value received), weighted by the bits it overrules.
        double z = 0;
        for (int v = 0; v < 128; ++v) {
            const auto pattern = static_cast<uint8_t>(v | (std::popcount(static_cast<unsigned>(v)) % 2 == 0 ? 0x80 : 0));
            if (pattern != hard && !plausibleChar(c, v))
                continue;
            double cost = 0;
            for (int b = 0; b < 8; ++b)
                if (((pattern ^ hard) >> b) & 1)
                    cost += std::fabs(l[b]);
            z += std::exp(-cost);
        }
        logZ += std::log(std::max(z, 1e-300));
        auto flipSyndrome = [&](int k) { return column(c, order[static_cast<size_t>(k)]); };
        auto bitOf = [&](int k) { return static_cast<uint8_t>(1u << order[static_cast<size_t>(k)]); };
        m_base[static_cast<size_t>(c)] = parityOk ? hard : static_cast<uint8_t>(hard ^ bitOf(0));
        // A character received as it is may stay whatever it is; one that
        // Wagner's rule made implausible must be moved again.
        const bool mustMove = !parityOk && !plausibleChar(c, m_base[static_cast<size_t>(c)]);
        mustMoves += mustMove;
        auto addMove = [&](float cost, uint16_t syndrome, uint8_t mask) {
            // A move to a character that cannot stand here is never worth trying.
            if (plausibleChar(c, m_base[static_cast<size_t>(c)] ^ mask))
                m_moves.push_back({cost, syndrome, static_cast<int16_t>(c), mask, mustMove});
        };
        if (parityOk) {
            for (int i = 0; i < 4; ++i)
                for (int j = i + 1; j < 4; ++j)
                    addMove(a[static_cast<size_t>(i)] + a[static_cast<size_t>(j)],
                            static_cast<uint16_t>(flipSyndrome(i) ^ flipSyndrome(j)),
                            static_cast<uint8_t>(bitOf(i) | bitOf(j)));
        } else {
            // Wagner's rule: the least reliable bit is the one flipped.
            baseCost += a[0];
            for (int j = 1; j < 4; ++j)
                addMove(a[static_cast<size_t>(j)] - a[0], static_cast<uint16_t>(flipSyndrome(0) ^ flipSyndrome(j)),
                        static_cast<uint8_t>(bitOf(0) | bitOf(j)));
            for (int i = 1; i < 4; ++i)
                for (int j = i + 1; j < 4; ++j)
                    addMove(a[static_cast<size_t>(i)] + a[static_cast<size_t>(j)],
                            static_cast<uint16_t>(flipSyndrome(i) ^ flipSyndrome(j)),
                            static_cast<uint8_t>(bitOf(i) | bitOf(j)));
        }
    }
    for (int k = 0; k < 16; ++k) {
        const float l = llr[static_cast<size_t>(charCount * 8 + k)];
        if (l > 0)
            m_base[static_cast<size_t>(charCount + k / 8)] |= static_cast<uint8_t>(1u << (k % 8));
        const double a = std::fabs(l);
        logZ += softplus(-a);
        m_moves.push_back({static_cast<float>(a), column(charCount + k / 8, k % 8), static_cast<int16_t>(-1),
                           static_cast<uint8_t>(1u << (k % 8)), false});
        // The BCS byte a move touches is found from its position in m_moves.
    }
    const uint16_t target = blockCheck(m_base);
    std::sort(m_moves.begin(), m_moves.end(), [](const Move& x, const Move& y) { return x.cost < y.cost; });

    // Weight not yet tried, relative to Z; log of the false-match weight per unit of it.
    const double logFalse = logZ - 16 * std::log(2.0) + std::log(1.0 + otherEnds);
    double triedShare = 0;
    const double kLogOdds = std::log(kRepairPosterior / (1 - kRepairPosterior));
    auto accepted = [&](double cost) {
        const double untried = std::max(1.0 - triedShare - std::exp(-cost - logZ), 1e-300);
        return std::log(untried) + logFalse <= -cost - kLogOdds;
    };

    // Subsets of the sorted moves in order of increasing cost: from a subset
    // whose last move is i, "extend" adds move i + 1 and "swap" replaces i by i + 1.
    m_nodes.clear();
    m_heap.clear();
    auto byCost = [this](int x, int y) { return m_nodes[static_cast<size_t>(x)].cost > m_nodes[static_cast<size_t>(y)].cost; };
    m_nodes.push_back({baseCost, -1, -1, 0, 0});
    m_heap.push_back(0);
    const int moveCount = static_cast<int>(m_moves.size());
    int found = -1;
    int pops = 0;
    while (!m_heap.empty() && result.candidatesTried < kRepairBudget && pops++ < kRepairPops) {
        std::pop_heap(m_heap.begin(), m_heap.end(), byCost);
        const int n = m_heap.back();
        m_heap.pop_back();
        const Node node = m_nodes[static_cast<size_t>(n)];
        // Nothing cheaper than this is left: when even a match now would fall
        // well short of the posterior (by e², more than the rest of the
        // budget can make up), stop.
        if (std::log(std::max(1.0 - triedShare, 1e-300)) + logFalse > -node.cost - kLogOdds + 2.0)
            break;
        const bool valid = node.move < 0 || !conflicts(node.parent, node.move);
        if (valid && node.fixes == mustMoves) {
            ++result.candidatesTried;
            if (node.syndrome == target) {
                found = n;
                break;
            }
            triedShare += std::exp(-node.cost - logZ);
        }
        const int next = node.move + 1;
        if (next >= moveCount)
            continue;
        const Move& mv = m_moves[static_cast<size_t>(next)];
        if (valid) {
            m_nodes.push_back({node.cost + mv.cost, n, next, static_cast<uint16_t>(node.syndrome ^ mv.syndrome),
                               static_cast<int16_t>(node.fixes + mv.fixes)});
            m_heap.push_back(static_cast<int>(m_nodes.size()) - 1);
            std::push_heap(m_heap.begin(), m_heap.end(), byCost);
        }
        if (node.move >= 0) {
            const Move& last = m_moves[static_cast<size_t>(node.move)];
            m_nodes.push_back({node.cost - last.cost + mv.cost, node.parent, next,
                               static_cast<uint16_t>(node.syndrome ^ last.syndrome ^ mv.syndrome),
                               static_cast<int16_t>(node.fixes - last.fixes + mv.fixes)});
            m_heap.push_back(static_cast<int>(m_nodes.size()) - 1);
            std::push_heap(m_heap.begin(), m_heap.end(), byCost);
        }
    }
    if (found < 0)
        return result;

    // Apply the moves of the found subset to the base word.
    for (int n = found; n >= 0; n = m_nodes[static_cast<size_t>(n)].parent) {
        const int m = m_nodes[static_cast<size_t>(n)].move;
        if (m < 0)
            continue;
        const Move& mv = m_moves[static_cast<size_t>(m)];
        if (mv.charIndex >= 0) {
            m_base[static_cast<size_t>(mv.charIndex)] ^= mv.flipMask;
        } else {
            // A BCS bit: its column tells which of the 16.
            for (int k = 0; k < 16; ++k)
                if (column(charCount + k / 8, k % 8) == mv.syndrome) {
                    m_base[static_cast<size_t>(charCount + k / 8)] ^= static_cast<uint8_t>(1u << (k % 8));
                    break;
                }
        }
    }
    if (blockCheck(m_base) != 0)
        return result;
    int flipped = 0;
    for (int byte = 0; byte < charCount + 2; ++byte)
        for (int b = 0; b < 8; ++b) {
            const bool hard = llr[static_cast<size_t>(byte * 8 + b)] > 0;
            flipped += hard != (((m_base[static_cast<size_t>(byte)] >> b) & 1) != 0);
        }
    const double cost = m_nodes[static_cast<size_t>(found)].cost;
    const double untried = std::max(1.0 - triedShare - std::exp(-cost - logZ), 0.0);
    const double falseWeight = std::exp(std::log(std::max(untried, 1e-300)) + logFalse + cost);
    result.posterior = 1.0 / (1.0 + falseWeight);
    result.flippedBits = flipped;
    result.ok = accepted(cost);
    result.refused = !result.ok;
    if (result.ok)
        std::copy_n(m_base.begin(), charCount, chars.begin());
    return result;
}

} // namespace varnesk
