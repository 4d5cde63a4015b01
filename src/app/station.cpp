// The head of the capture-block handler and the hand-offs between the stages.
#include "app/station.h"

#include <algorithm>

namespace varnesk {

Station::Station(SettingsStore& settings, AppPaths paths)
    : m_settings(settings), m_paths(std::move(paths))
{
}

void Station::ProcessCaptureBlock(std::span<const int16_t, kFramesPerBlock * kCaptureChannels> block)
{
    ProcessCaptureBlock(block, QDateTime::currentDateTime());
}

void Station::ProcessCaptureBlock(std::span<const int16_t, kFramesPerBlock * kCaptureChannels> block,
                                  const QDateTime& blockTime)
{
    if (!ProcessingEnabled)
        return;
    ++m_blocksProcessed;
    if (blockTap)
        blockTap(block);
    // Dual is read block by block, so a change in the input dialog takes
    // effect with the next block; 0 (a server that does not decode) processes nothing.
    const int channels = std::clamp(m_settings.integer(Key::Dual), 0, kCaptureChannels);
    for (int c = 0; c < channels; ++c)
        for (int n = 0; n < kFramesPerBlock; ++n)
            m_channel[c][n] = block[static_cast<size_t>(n * kCaptureChannels + c)];
    // Channel 0 through every stage, its frame handed on, then channel 1.
    for (int c = 0; c < channels; ++c) {
        const std::optional<CapturedFrame> frame =
            m_receiver.processChannel(c, std::span<double, kFramesPerBlock>(m_channel[c], kFramesPerBlock));
        if (frame)
            OnFrameCaptured(*frame, blockTime);
    }
}

void Station::OnFrameCaptured(const CapturedFrame& frame, const QDateTime& blockTime)
{
    const bool server = m_settings.boolean(Key::Server);
    if (NetActive && !server) {
        // A client decodes the frame when the server sends it back, like every other station's.
        if (SendLineToServer)
            SendLineToServer(frame.rawLine);
        return;
    }
    if (NetActive && server && !m_settings.boolean(Key::DupCheckSend) && SendLineToClients)
        SendLineToClients(frame.rawLine);
    // The sink sees the frame's tag; the decoder gets it afresh, because a
    // sink that decodes or prints may have emptied it.
    SourceTag = frame.channel == 0 ? "Lch" : "Rch";
    if (m_frameSink)
        m_frameSink(frame, blockTime);
    SourceTag = frame.channel == 0 ? "Lch" : "Rch";
    m_decode.text.setFrameTime(blockTime);
    DecodeBlock(frame.slots, frame.bitCount, frame.endIsEtx ? 1 : 0);
}

} // namespace varnesk
