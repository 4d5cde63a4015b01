// The relay line of the frame being decoded.
#include "decode/frame_relay.h"

#include "acars/line_codec.h"
#include "acars/raw_text.h"
#include "decode/acars_block.h"
#include "settings/settings_store.h"

#include <algorithm>
#include <utility>

namespace varnesk {

FrameRelay::FrameRelay(const SettingsStore& settings, std::function<void(std::string_view)> sendToClients)
    : m_settings(settings), m_sendToClients(std::move(sendToClients))
{
    m_line.reserve(kMaxFrameChars + 2);
}

void FrameRelay::setFrame(std::span<const int32_t> frame, int32_t bitCount)
{
    m_frame = frame;
    m_bitCount = bitCount;
}

void FrameRelay::clear()
{
    m_frame = {};
    m_bitCount = 0;
}

void FrameRelay::relayCurrentFrame()
{
    if (!m_settings.boolean(Key::Server) || !m_settings.boolean(Key::DupCheckSend))
        return;
    m_line.clear();
    const int positions = std::min<int>(m_bitCount / 8, static_cast<int>(m_frame.size() / 8));
    for (int c = 0; c < positions; ++c) {
        const uint8_t byte = encodeLineChar(frameCharByte(m_frame, c));
        if (byte == 0)
            break; // a zero byte would end the line early at every receiver
        m_line.push_back(static_cast<char>(byte));
    }
    if (!m_line.empty())
        m_sendToClients(m_line);
}

} // namespace varnesk
