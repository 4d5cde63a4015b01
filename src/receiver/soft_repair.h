// Soft repair of one received ACARS frame: takes a log-likelihood ratio for
// every bit from the mode character through the BCS (positive = 1), gives the
// frame's characters with odd parity and a matching BCS, or nothing when no
// set of bit flips is likely enough to be the one sent.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace varnesk {

// A repaired frame is accepted only when the probability that it is the frame
// sent is at least this, given the bit confidences, every candidate tried that
// failed the CRC and every other match. So about one accepted repair in a few
// hundred near the limit of reception is wrong (the sum of 1 − posterior over
// the frames); 0.99 would give about twice as many, for 0.1 dB at the 50 % point.
inline constexpr double kRepairPosterior = 0.995;
// The search stops once the best match is this sure: what is left could
// hardly change the decision.
inline constexpr double kRepairSure = 0.9999;
// Candidates (sets of flips) tried per frame at most.
inline constexpr int kRepairBudget = 20000;
// Subsets taken from the search's heap per frame at most (both sides
// together, tried or not: those with two moves on one character or leaving a
// character that cannot stand are not tried).
inline constexpr int kRepairPops = 4 * kRepairBudget;
// The repair's budget per channel: subsets it may take per second of audio,
// and how many it may save up in quiet times. Each search takes at most what
// is saved (and at least kRepairMinPops), so in noise, where every start
// sequence found by chance costs a search, the repair costs at most about
// this much more. A search stops early once no match left could pass the
// guard, so the budget goes to frames that can still be repaired.
inline constexpr double kRepairPopsPerSecond = 3000;
inline constexpr double kRepairSavedPops = kRepairPops;
inline constexpr int kRepairMinPops = 500;
// Characters from the mode character through the end character, at most.
inline constexpr int kRepairMaxChars = 240;

struct RepairResult {
    bool ok = false;
    int flippedBits = 0; // bits changed from the hard decisions (0: the frame was right as received)
    int candidatesTried = 0;
    int pops = 0;           // subsets taken from the search's heap: the search's cost
    bool refused = false;   // a match was found but its posterior fell short
    double posterior = 0.0; // of the delivered frame; 1 when nothing was flipped
};

class SoftRepair {
public:
    SoftRepair();

    // llr: 8 per character (bit 0 first, bit 7 the parity bit) for chars
    // characters, then the 16 BCS bits in the order sent. The last character
    // is held at endChar (8-bit value with parity), and character 12 at STX
    // when a text follows. A repaired frame holds no character that cannot
    // stand at its place (see plausibleChar), not even one received so; a
    // downlink (block id a digit, mode "2" or "@" … "]") must start its text
    // with a message number and a flight number, and acknowledges with a
    // letter or NAK; anything else (an uplink, a squitter: mode "2" or
    // "`" … "}") acknowledges with a digit or NAK. The side the block id was received on is searched first,
    // then the other unless the first decided. otherEnds: how many other end
    // positions were already tried for this transmission (each one more
    // chance of a false match). wrongEndOdds: the odds that the transmission
    // does not end at endChar at all (see wrongEndOdds below); a false match
    // is that much more likely. On success the characters (8-bit) go to chars.
    RepairResult repair(std::span<const float> llr, int charCount, uint8_t endChar, int otherEnds,
                        std::span<uint8_t> chars, double wrongEndOdds = 0.0, int maxPops = kRepairPops);

private:
    // Which side of the block id a search keeps to: a block is a downlink
    // (block id a digit) or not, and a downlink's text starts with its
    // message and flight numbers.
    enum class Side { Any, Downlink, Other };
    // What the searches of one frame share: log Z, the false-match weight per
    // unit of weight not yet tried, the shares of Z tried and matched, the
    // cheapest match, the candidates and the subsets taken from the heap.
    struct Search {
        double logZ;
        double logFalse;
        double wrongEnd = 0;   // odds that the transmission does not end here
        double triedShare = 0; // of Z, candidates tried that failed the CRC
        double matchShare = 0; // of Z, every match found
        double bestCost = 0;
        int matches = 0;
        int candidatesTried = 0;
        int pops = 0;
        int maxPops = kRepairPops;
        double posterior(double cost) const;
        // Whether searching on could hardly change the decision on the best
        // match: it is sure, or short of the guard even if all else failed.
        bool decided() const;
    };

    static bool mayStand(int c, int v, Side side, int fieldEnd);
    // The values (with odd parity) that may stand at character c on a side;
    // c from kTextClass on: a text character past the downlink fields.
    static constexpr int kTextClass = 23;
    static const std::vector<uint8_t>& standing(int c, Side side);
    static double logWeightOfAll(std::span<const float> llr, int charCount, bool coupled, int fieldEnd,
                                 uint8_t endChar);
    // Tries the candidates of one side in order of increasing cost until the
    // decision is made or the budget is spent; a match cheaper than the best
    // so far goes to m_best.
    void searchSide(std::span<const float> llr, int charCount, uint8_t endChar, Side side, int fieldEnd,
                    Search& search);
    void applyMoves(int found, int charCount, std::vector<uint8_t>& word) const;

    struct Move {
        float cost; // added to the cost of the base word
        uint16_t syndrome;
        int16_t charIndex; // −1: a BCS bit
        uint8_t flipMask;  // bits of the character flipped relative to the base word
        bool fixes;        // moves away from a base value that may not stay
    };
    struct Node {
        double cost;
        int parent; // index into m_nodes, −1 for none
        int move;   // index into m_moves
        uint16_t syndrome;
        int16_t fixes;     // moves on characters whose base value may not stay
        bool oddBcsFlips;  // an odd number of BCS bits flipped
        uint64_t charBits; // bit c % 64 for every character c a move of the chain is on
    };
    static uint64_t charBit(int c) { return c < 0 ? 0 : uint64_t{1} << (c % 64); }
    bool conflicts(int node, int move) const;

    std::vector<Move> m_moves; // capacity kept: no allocation per frame
    std::vector<Node> m_nodes;
    // The heap keeps each node's cost beside its index: its comparisons then
    // stay within the heap's own memory.
    struct HeapEntry {
        double cost;
        int node;
    };
    std::vector<HeapEntry> m_heap; // a min-heap on cost
    std::vector<uint8_t> m_base;   // base word: characters then the two BCS bytes
    std::vector<uint8_t> m_best;   // the cheapest match so far
};

// Whether a repair may produce character value v (7 bits) at character index
// c of a block (0 = mode): the address only letters, digits, '.', '-' and
// DEL; the label and acknowledgement printable characters, DEL in the label
// (a general response's "_" DEL) and NAK as acknowledgement; the block id a
// printable character, NUL (a squitter's) or DEL; the text only printable
// characters, CR and LF.
bool plausibleChar(int c, int v);

// The odds that a transmission whose end character (endByte, with parity)
// was received at character index endChar goes on past it: every character
// that could stand there instead, weighed by its likelihood against the end
// character's (a text is taken to end at a character about as often as it
// goes on with any one particular character there, i.e. texts of about a
// hundred characters; before a text, STX against the end as often). When the
// character after the BCS is in (del: its eight soft values, else empty), a
// real end has DEL there and a text goes on with any character, which weighs
// the odds by how much less DEL it looks than text. llr holds the frame's
// soft values in log-likelihood units from its first character.
double wrongEndOdds(std::span<const float> llr, int endChar, uint8_t endByte, std::span<const float> del);

// The cost of value (8 bits with parity) against eight soft values: the
// reliabilities of the bits it overrules.
double overruleCost(const float* soft, uint8_t value);

// The character given by eight soft values (bit 0 first, positive = 1), with
// odd parity restored at its least reliable bit when it is even (Wagner's rule).
uint8_t wagnerValue(const float* soft);

} // namespace varnesk
