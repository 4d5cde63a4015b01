// The server's relay of the frame being decoded: a server that filters
// duplicates ([Net] Server and DupCheckSend on) passes every new block to its
// clients as a raw line once the sequencer has found it is no repeat.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace varnesk {

class SettingsStore;

class FrameRelay {
public:
    // sendToClients takes the line for every client (NetworkSharing's SendToClients).
    FrameRelay(const SettingsStore& settings, std::function<void(std::string_view)> sendToClients);

    // The frame the decoder is working on; cleared when it is done.
    void setFrame(std::span<const int32_t> frame, int32_t bitCount);
    void clear();

    // The block through its end character and the two positions after it, as
    // far as the frame holds them, to every client, when [Net] Server and
    // DupCheckSend are both on.
    void relayCurrentFrame();

private:
    const SettingsStore& m_settings;
    std::function<void(std::string_view)> m_sendToClients;
    std::span<const int32_t> m_frame;
    int32_t m_bitCount = 0;
    std::string m_line;
};

} // namespace varnesk
