// Soft repair: the hard decisions corrected character by character to odd
// parity at the least reliable bit, then sets of further flips tried in order
// of increasing cost until one matches the CRC. The CRC is linear, so a flip
// changes the check by a fixed 16-bit column and each candidate costs one xor.
//
// The guard: with costs in natural log-likelihood units, the candidate of cost
// C has weight e^-C, and every odd-parity word of the frame together weighs Z
// (a product over the characters). A word not yet tried passes the CRC by
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
    m_nodes.reserve(2 * kRepairBudget + 2);
    m_heap.reserve(2 * kRepairBudget + 2);
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

    // Base word, its cost against the hard decisions, the moves, and log Z.
    m_base.assign(static_cast<size_t>(charCount + 2), 0);
    m_moves.clear();
    double baseCost = 0;
    double logZ = 0;
    for (int c = 0; c < charCount; ++c) {
        const float* l = llr.data() + c * 8;
        uint8_t hard = 0;
        for (int b = 0; b < 8; ++b)
            if (l[b] > 0)
                hard |= static_cast<uint8_t>(1u << b);
        if (c == charCount - 1) {
            // The end character is held: its cost is that of every bit it overrules.
            double cost = 0;
            for (int b = 0; b < 8; ++b)
                if (((hard ^ endChar) >> b) & 1)
                    cost += std::fabs(l[b]);
            m_base[static_cast<size_t>(c)] = endChar;
            baseCost += cost;
            logZ -= cost;
            continue;
        }
        std::array<int, 8> order;
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(), [l](int a, int b) { return std::fabs(l[a]) < std::fabs(l[b]); });
        std::array<float, 8> a;
        double p = 1, q = 1;
        for (int k = 0; k < 8; ++k) {
            a[static_cast<size_t>(k)] = std::fabs(l[order[static_cast<size_t>(k)]]);
            const double e = std::exp(-static_cast<double>(a[static_cast<size_t>(k)]));
            p *= 1 + e;
            q *= 1 - e;
        }
        const bool parityOk = std::popcount(static_cast<unsigned>(hard)) % 2 == 1;
        auto flipSyndrome = [&](int k) { return column(c, order[static_cast<size_t>(k)]); };
        auto bitOf = [&](int k) { return static_cast<uint8_t>(1u << order[static_cast<size_t>(k)]); };
        auto addMove = [&](float cost, uint16_t syndrome, uint8_t mask) {
            m_moves.push_back({cost, syndrome, static_cast<int16_t>(c), mask});
        };
        if (parityOk) {
            m_base[static_cast<size_t>(c)] = hard;
            logZ += std::log(std::max((p + q) / 2, 1e-300));
            for (int i = 0; i < 4; ++i)
                for (int j = i + 1; j < 4; ++j)
                    addMove(a[static_cast<size_t>(i)] + a[static_cast<size_t>(j)],
                            static_cast<uint16_t>(flipSyndrome(i) ^ flipSyndrome(j)),
                            static_cast<uint8_t>(bitOf(i) | bitOf(j)));
        } else {
            // Wagner's rule: the least reliable bit is the one flipped.
            m_base[static_cast<size_t>(c)] = static_cast<uint8_t>(hard ^ bitOf(0));
            baseCost += a[0];
            logZ += std::log(std::max((p - q) / 2, 1e-300));
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
                           static_cast<uint8_t>(1u << (k % 8))});
        // The BCS byte a move touches is found from its position in m_moves.
    }
    const uint16_t target = blockCheck(m_base);
    std::sort(m_moves.begin(), m_moves.end(), [](const Move& x, const Move& y) { return x.cost < y.cost; });

    // Weight not yet tried, relative to Z; log of the false-match weight per unit of it.
    const double logFalse = logZ - 16 * std::log(2.0) + std::log(1.0 + otherEnds);
    double triedShare = 0;
    auto accepted = [&](double cost) {
        const double untried = std::max(1.0 - triedShare - std::exp(-cost - logZ), 1e-300);
        return std::log(untried) + logFalse <= -cost - std::log(kRepairPosterior / (1 - kRepairPosterior));
    };

    // Subsets of the sorted moves in order of increasing cost: from a subset
    // whose last move is i, "extend" adds move i + 1 and "swap" replaces i by i + 1.
    m_nodes.clear();
    m_heap.clear();
    auto byCost = [this](int x, int y) { return m_nodes[static_cast<size_t>(x)].cost > m_nodes[static_cast<size_t>(y)].cost; };
    m_nodes.push_back({baseCost, -1, -1, 0});
    m_heap.push_back(0);
    const int moveCount = static_cast<int>(m_moves.size());
    int found = -1;
    while (!m_heap.empty() && result.candidatesTried < kRepairBudget) {
        std::pop_heap(m_heap.begin(), m_heap.end(), byCost);
        const int n = m_heap.back();
        m_heap.pop_back();
        const Node node = m_nodes[static_cast<size_t>(n)];
        const bool valid = node.move < 0 || !conflicts(node.parent, node.move);
        if (valid) {
            ++result.candidatesTried;
            if (node.syndrome == target) {
                found = n;
                break;
            }
            triedShare += std::exp(-node.cost - logZ);
            // Nothing cheaper than this is left; when even a match now would
            // fall well short of the posterior, stop.
            if (!accepted(node.cost) && node.move >= 0) {
                const double untried = std::max(1.0 - triedShare, 1e-300);
                if (std::log(untried) + logFalse > -node.cost - std::log(99.0) + 2.0)
                    break;
            }
        }
        const int next = node.move + 1;
        if (next >= moveCount)
            continue;
        const Move& mv = m_moves[static_cast<size_t>(next)];
        if (valid) {
            m_nodes.push_back({node.cost + mv.cost, n, next, static_cast<uint16_t>(node.syndrome ^ mv.syndrome)});
            m_heap.push_back(static_cast<int>(m_nodes.size()) - 1);
            std::push_heap(m_heap.begin(), m_heap.end(), byCost);
        }
        if (node.move >= 0) {
            const Move& last = m_moves[static_cast<size_t>(node.move)];
            m_nodes.push_back({node.cost - last.cost + mv.cost, node.parent, next,
                               static_cast<uint16_t>(node.syndrome ^ last.syndrome ^ mv.syndrome)});
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
    result.posterior = flipped == 0 ? 1.0 : 1.0 / (1.0 + falseWeight);
    result.flippedBits = flipped;
    // A frame right as received is taken as the specified chain takes it.
    result.ok = flipped == 0 || accepted(cost);
    result.refused = !result.ok;
    if (result.ok)
        std::copy_n(m_base.begin(), charCount, chars.begin());
    return result;
}

} // namespace varnesk
