// The stream form of the intake's scan: a five-character window hunts for a
// start marker, then bytes are kept until the end character.
#include "net/line_assembler.h"

#include "acars/control_chars.h"
#include "acars/line_codec.h"

namespace varnesk {

LineAssembler::LineAssembler()
{
    m_line.reserve(kIntakeFrameChars);
}

void LineAssembler::closeLine()
{
    m_inLine = false;
    m_line.clear();
    m_window = {};
}

void LineAssembler::push(std::string_view bytes, std::vector<std::string>& lines)
{
    for (const char byte : bytes) {
        const int v = decodeLineByte(static_cast<uint8_t>(byte));
        if (v < 0) {
            // A zero byte ends the text at every receiver: nothing around it
            // can be part of a line.
            if (m_inLine)
                ++m_broken;
            closeLine();
            continue;
        }
        if (m_inLine) {
            m_line.push_back(byte);
            if (v == kCharEtx || v == kCharEtb) {
                lines.push_back(m_line);
                closeLine();
            } else if (m_line.size() >= static_cast<std::size_t>(kIntakeFrameChars)) {
                // 512 characters and no end: the intake would drop it too.
                ++m_overlong;
                closeLine();
            }
            continue;
        }
        for (std::size_t k = 0; k + 1 < m_window.size(); ++k)
            m_window[k] = m_window[k + 1];
        m_window[4] = static_cast<uint8_t>(v);
        if (m_window == kFrameStart || m_window == kChatStart) {
            m_inLine = true;
            for (const uint8_t c : m_window)
                m_line.push_back(static_cast<char>(encodeLineChar(c)));
        }
    }
}

void LineAssembler::reset()
{
    if (m_inLine)
        ++m_cut;
    closeLine();
}

} // namespace varnesk
