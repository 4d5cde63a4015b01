// The block decoder's entry with frames built from the bytes, then the
// sequencer and the three views. Each part of the input is one frame: one
// character per byte, its parity slot computed (or, with option bit 7, taken
// from the byte's top bit); a second option byte can replace the bit count.
#include "pipeline_rig.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace varnesk;
    fuzz::Input in(data, size);
    const uint8_t options = in.byte();
    const uint8_t framing = in.byte();
    const uint8_t source = in.byte();
    fuzz::PipelineRig rig(options);
    const bool rawParity = (options & 0x80) != 0;
    static const std::string_view kTags[] = {kTagLeft, kTagRight, kTagNet, kTagRaw};
    std::vector<int32_t> slots;
    for (std::string_view chars : in.parts()) {
        // The characters, two BCS characters and one more, as the receiver hands them on.
        slots = slotsFromChars(chars, rawParity ? ParitySlot::TopBit : ParitySlot::Odd);
        int32_t bitCount = static_cast<int32_t>(chars.size() * 8 + 16);
        // Bit counts off the frame's size: short, long, negative, past 512 characters.
        switch (framing & 7) {
        case 5:
            bitCount -= 8 * (framing >> 3);
            break;
        case 6:
            bitCount += 8 * (framing >> 3);
            break;
        case 7:
            bitCount = static_cast<int32_t>(static_cast<int8_t>(framing)) * 97;
            break;
        default:
            break;
        }
        const bool etx = !chars.empty() && (static_cast<uint8_t>(chars.back()) & 0x7F) == 0x03;
        const std::string_view tag = kTags[source & 3];
        BlockContext context = BlockContext::line(tag);
        if (tag == kTagLeft || tag == kTagRight)
            context = BlockContext::radio(tag == kTagRight ? 1 : 0, QDateTime(QDate(2026, 12, 10), QTime(12, 0)));
        rig.decode().decoder.DecodeBlock(context, slots, bitCount, (framing & 8) ? !etx : etx);
    }
    return 0;
}
