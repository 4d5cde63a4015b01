// Raw-line scanning: start markers, end characters, slot layout of the frame.
#include "net/line_intake.h"

#include "acars/control_chars.h"
#include "acars/line_codec.h"
#include "decode/block_context.h"
#include "decode/block_decoder.h"

namespace varnesk {

namespace {

// A line needs its five start bytes and an end byte; fewer bytes left after a
// line cannot hold another.
constexpr size_t kMinLineBytes = 6;

} // namespace

NetLineIntake::NetLineIntake(BlockDecoder& decoder) : m_decoder(decoder) { }

void NetLineIntake::storeChar(int index, int value)
{
    // Slot 6 holds value ÷ 64 (0 … 3) so that Shift-JIS bytes of chat text
    // (128 … 254) survive the decoder's weighted sum; slots 0 … 5 hold the
    // low six bits, slot 7 (parity) is 0.
    int32_t* s = m_frame.data() + static_cast<size_t>(index) * 8;
    for (int t = 0; t < 6; ++t)
        s[t] = (value >> t) & 1;
    s[6] = value / 64;
    s[7] = 0;
}

int NetLineIntake::LineIntake(std::string_view text, std::string_view sourceTag)
{
    const BlockContext context = BlockContext::line(sourceTag);
    int handed = 0;
    const size_t zero = text.find('\0');
    if (zero != std::string_view::npos)
        text = text.substr(0, zero);

    std::array<uint8_t, 5> window{};
    bool inLine = false;
    int count = 0;
    for (size_t j = 0; j < text.size(); ++j) {
        const int v = decodeLineByte(static_cast<uint8_t>(text[j]));
        if (inLine) {
            if (count >= kIntakeFrameChars) {
                // No end character within 512 characters: not a transmission.
                ++m_overlongLines;
                inLine = false;
                count = 0;
                window = {};
            } else {
                const bool ended = v == kCharEtx || v == kCharEtb;
                storeChar(count++, v);
                if (!ended)
                    continue;
                m_decoder.DecodeBlock(context, m_frame, 8 * count + 16, v == kCharEtx ? 1 : 0);
                ++handed;
                inLine = false;
                count = 0;
                window = {};
                if (text.size() - (j + 1) < kMinLineBytes)
                    break;
                continue;
            }
        }
        for (size_t k = 0; k + 1 < window.size(); ++k)
            window[k] = window[k + 1];
        window[4] = static_cast<uint8_t>(v);
        if (window == kFrameStart || window == kChatStart) {
            inLine = true;
            for (int k = 0; k < 5; ++k)
                storeChar(k, window[static_cast<size_t>(k)]);
            count = 5;
        }
    }
    if (inLine)
        ++m_unfinishedLines;
    return handed;
}

} // namespace varnesk
