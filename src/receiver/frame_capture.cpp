// Sync hunt, differential decoding, parity and end-character tests, completion
// and the CRC of one channel's frame capture.
#include "receiver/frame_capture.h"

#include "acars/crc16.h"
#include "acars/line_codec.h"

#include <algorithm>

namespace varnesk {

namespace {

// A raw 0 inverts the decoded bit, a raw 1 repeats it.
int decodeBit(ChannelState& state, int raw)
{
    if (raw == 0)
        state.nrziState = 1 - state.nrziState;
    return 1 - state.nrziState;
}

void hunt(ChannelState& state)
{
    const int m = state.blockBitCount;
    std::array<int, 2 * chain::kMaxBlockBits> row;
    const int carry = state.carryCount;
    std::copy_n(state.carryBits.begin(), carry, row.begin());
    std::copy_n(state.blockBits.begin(), m, row.begin() + carry);
    const int total = carry + m;

    // A pattern that ends on the very last bit is found with the next block,
    // whose search row starts with this block's bits.
    int found = -1;
    for (int p = 0; p < total - 16; ++p) {
        if (std::equal(kSyncPattern.begin(), kSyncPattern.end(), row.begin() + p)) {
            found = p;
            break;
        }
    }
    if (found < 0) {
        std::copy_n(state.blockBits.begin(), m, state.carryBits.begin());
        state.carryCount = m;
        return;
    }
    state.nrziState = 1;
    std::copy(kFrameTemplate.begin(), kFrameTemplate.end(), state.frame.begin());
    for (int j = found; j < total; ++j)
        state.frame[static_cast<size_t>(24 + j - found)] = decodeBit(state, row[static_cast<size_t>(j)]);
    // The carry is cleared but keeps its length: the next hunt starts with that
    // many zero bits, which can never begin the pattern.
    state.carryBits.fill(0);
    state.nextSlot = 24 + total - found;
    state.endSlot = kCaptureLimitSlot;
    state.endSeen = false;
    state.inFrame = true;
    ++state.counts.syncsFound;
}

int charValueBefore(const BitFrame& frame, int pos)
{
    int v = 0;
    for (int t = 0; t < 7; ++t)
        v |= frame[static_cast<size_t>(pos - 8 + t)] << t;
    return v;
}

void capture(ChannelState& state)
{
    const int m = state.blockBitCount;
    for (int k = 0; k < m; ++k) {
        const int pos = state.nextSlot + k;
        if (pos >= kFrameSlots) { // cannot happen while completion closes at 1968; kept as a guard
            state.inFrame = false;
            state.frameDone = false;
            ++state.counts.bufferOverruns;
            return;
        }
        state.frame[static_cast<size_t>(pos)] = decodeBit(state, state.blockBits[static_cast<size_t>(k)]);
        if (pos % 8 != 0)
            continue;
        if (pos < state.endSlot - 16) {
            int ones = 0;
            for (int s = pos - 8; s < pos - 1; ++s)
                ones += state.frame[static_cast<size_t>(s)];
            const int expected = (ones % 2 == 0) ? 1 : 0;
            if (state.frame[static_cast<size_t>(pos - 1)] != expected) {
                state.inFrame = false;
                state.frameDone = false;
                ++state.counts.parityBreaks;
                return;
            }
        }
        if (!state.endSeen) {
            const int c = charValueBefore(state.frame, pos);
            if (c == kCharEtb || c == kCharEtx) {
                state.endSlot = pos + 16;
                state.endIsEtx = c == kCharEtx;
                state.endSeen = true;
            }
        }
        if (pos > state.endSlot) {
            state.nextSlot = pos;
            state.frameDone = true;
            state.inFrame = false;
            return; // a transmission starting later in this block is missed
        }
    }
    state.nextSlot += m;
    if (state.nextSlot > kFrameSlots - 1) {
        state.inFrame = false;
        state.frameDone = false;
        ++state.counts.bufferOverruns;
    }
}

} // namespace

std::optional<CapturedFrame> captureFrames(ChannelState& state, int channel)
{
    if (!state.inFrame)
        hunt(state);
    else
        capture(state);
    state.counts.capturesOpen = state.inFrame ? 1 : 0;
    if (!state.frameDone)
        return std::nullopt;

    state.frameDone = false;
    const bool endFound = state.endSeen;
    state.endSeen = false;
    // A capture closed at the length limit without an end character is dropped
    // like a bad CRC, whatever its remainder.
    if (!endFound || crcRemainder(state.frame, kFirstCrcSlot, state.nextSlot - 8) != 0) {
        if (endFound)
            ++state.counts.badCrc;
        else
            ++state.counts.lengthLimitCloses;
        state.rcvCount = 6;
        state.errCount = 0;
        return std::nullopt;
    }
    // From "+" through the end character: the BCS and the character after it are cut.
    setFrameLine(state.rawLine, state.frame, state.nextSlot / 8 - 3);
    state.rcvCount = 0;
    ++state.counts.framesDelivered;
    CapturedFrame out;
    out.slots = state.frame;
    out.bitCount = state.endSlot;
    out.endIsEtx = state.endIsEtx;
    out.rawLine = state.rawLine;
    out.channel = channel;
    return out;
}

} // namespace varnesk
