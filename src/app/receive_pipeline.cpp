// The capture-block handler and the routing of captured frames.
#include "app/receive_pipeline.h"

#include <algorithm>
#include <cmath>

namespace varnesk {

ReceivePipeline::ReceivePipeline(SettingsStore& settings, AppPaths paths)
    : m_settings(settings), m_paths(std::move(paths))
{
    connect(&m_decode.decoder, &BlockDecoder::chatLineReceived, &m_network, &NetworkSharing::addChatLine);
    connect(this, &ReceivePipeline::frameCaptured, &m_feed, &FeedSender::feedFrame);
}

void ReceivePipeline::applyPaths(const AppPaths& paths)
{
    m_paths = paths;
    m_decode.applyPaths(m_paths);
    m_tracking.list().setLogPath(m_paths.listLog);
}

void ReceivePipeline::ProcessCaptureBlock(CaptureBlockSpan block)
{
    ProcessCaptureBlock(block, QDateTime::currentDateTime());
}

void ReceivePipeline::ProcessCaptureBlock(CaptureBlockSpan block, const QDateTime& blockTime)
{
    ProcessCaptureBlock(block, blockTime, CarrierLevels{});
}

void ReceivePipeline::ProcessCaptureBlock(CaptureBlockSpan block, const QDateTime& blockTime,
                                          const CarrierLevels& carrier)
{
    if (!m_processingEnabled)
        return;
    ChannelBlock channels = ChannelBlock::fromStereo(block);
    for (size_t c = 0; c < carrier.dbfs.size(); ++c)
        if (carrier.dbfs[c])
            channels.carrierDb[c] = static_cast<float>(*carrier.dbfs[c]);
    ProcessChannelBlock(channels, blockTime);
}

void ReceivePipeline::ProcessChannelBlock(const ChannelBlock& block)
{
    ProcessChannelBlock(block, QDateTime::currentDateTime());
}

void ReceivePipeline::ProcessChannelBlock(const ChannelBlock& block, const QDateTime& blockTime)
{
    if (!m_processingEnabled)
        return;
    ++m_blocksProcessed;
    const int sourceChannels = std::clamp(block.channels, 1, kMaxRadioChannels);
    if (sourceChannels != m_channelCount) {
        m_channelCount = sourceChannels;
        Q_EMIT channelCountChanged(m_channelCount);
    }
    block.toStereo(m_stereo);
    Q_EMIT captureBlockArrived(CaptureBlockSpan(m_stereo));
    // Dual is read block by block, so a change in the input dialog takes
    // effect with the next block; 0 (a server that does not decode) processes
    // nothing, 1 channel 1 alone, 2 every channel of the source.
    const int dual = std::clamp(m_settings.integer(Key::Dual), 0, 2);
    const int channels = dual == 2 ? sourceChannels : std::min(dual, sourceChannels);
    for (int c = 0; c < channels; ++c) {
        const auto& in = block.samples[static_cast<size_t>(c)];
        for (int n = 0; n < kFramesPerBlock; ++n)
            m_channel[c][n] = in[static_cast<size_t>(n)];
        const float db = block.carrierDb[static_cast<size_t>(c)];
        m_level.addBlock(c, std::span<const double, kFramesPerBlock>(m_channel[c], kFramesPerBlock),
                         std::isfinite(db) ? std::optional<double>(db) : std::nullopt);
    }
    // Every frame carries its level, whichever demodulator found it.
    auto withLevel = [this](CapturedFrame frame) {
        if (!frame.levelDb)
            frame.levelDb = m_level.frameLevelDb(frame.channel, frame.bitCount);
        return frame;
    };
    // The coherent demodulator reads the raw samples, so it runs first; the
    // classic chain then filters them in place (two channels side by side
    // where there are two). Channel 1's frames are handed on first, then
    // channel 2's and so on; with both demodulators, every frame passes the merge first.
    const auto choice = static_cast<DemodulatorChoice>(std::clamp(m_settings.integer(Key::Demodulator), 0, 2));
    std::array<std::optional<CapturedFrame>, kMaxRadioChannels> second;
    std::array<uint64_t, kMaxRadioChannels> refusedBefore{};
    if (choice != DemodulatorChoice::Classic)
        for (int c = 0; c < channels; ++c) {
            refusedBefore[static_cast<size_t>(c)] = m_coherent.counts(c).guardRefusals;
            second[static_cast<size_t>(c)] =
                m_coherent.processChannel(c, std::span<const double, kFramesPerBlock>(m_channel[c], kFramesPerBlock));
        }
    std::array<std::optional<CapturedFrame>, kMaxRadioChannels> first;
    auto samples = [this](int c) { return std::span<double, kFramesPerBlock>(m_channel[c], kFramesPerBlock); };
    if (choice == DemodulatorChoice::Coherent) {
        // The classic chain's frames would add nothing: only its filters run,
        // for the spectrum and OVR; SYN and ERR follow the coherent demodulator
        // (a frame being received; one whose best repair was refused, as a
        // capture with a bad CRC lights ERR).
        int c = 0;
        if (channels >= 2) {
            m_receiver.filterChannels(samples(0), samples(1));
            c = 2;
        }
        for (; c < channels; ++c)
            m_receiver.filterChannel(c, samples(c));
        for (c = 0; c < channels; ++c) {
            ChannelState& lamps = m_receiver.channel(c);
            lamps.synShown = m_coherent.channel(c).tracking;
            if (m_coherent.counts(c).guardRefusals != refusedBefore[static_cast<size_t>(c)])
                lamps.errCount = 0;
        }
    } else {
        int c = 0;
        for (; c + 1 < channels; c += 2) {
            auto pair = m_receiver.processPair(c, c + 1, samples(c), samples(c + 1));
            first[static_cast<size_t>(c)] = pair[0];
            first[static_cast<size_t>(c + 1)] = pair[1];
        }
        if (c < channels)
            first[static_cast<size_t>(c)] = m_receiver.processChannel(c, samples(c));
    }
    for (int c = 0; c < channels; ++c) {
        const std::optional<CapturedFrame>& frame = first[static_cast<size_t>(c)];
        if (choice == DemodulatorChoice::Classic) {
            if (frame)
                onFrameCaptured(withLevel(*frame), blockTime);
            continue;
        }
        if (frame && choice == DemodulatorChoice::Both
            && m_merge.admit(c, frame->rawLine, Demodulator::Classic, m_blocksProcessed))
            onFrameCaptured(withLevel(*frame), blockTime);
        const std::optional<CapturedFrame>& other = second[static_cast<size_t>(c)];
        if (other && m_merge.admit(c, other->rawLine, Demodulator::Coherent, m_blocksProcessed)) {
            m_receiver.channel(c).rcvCount = 0; // RCV lights as for a frame of the classic chain
            onFrameCaptured(withLevel(*other), blockTime);
        }
    }
    Q_EMIT captureBlockDone();
}

void ReceivePipeline::onFrameCaptured(const CapturedFrame& frame, const QDateTime& blockTime)
{
    Q_EMIT frameCaptured(frame, blockTime);
    const bool server = m_settings.boolean(Key::Server);
    if (m_network.netActive() && !server) {
        m_network.SendToServer(frame.rawLine);
        return;
    }
    if (m_network.netActive() && server && !m_settings.boolean(Key::DupCheckSend))
        m_network.SendToClients(frame.rawLine);
    m_decode.decoder.DecodeBlock(BlockContext::radio(frame.channel, blockTime), frame.slots, frame.bitCount,
                                 frame.endIsEtx ? 1 : 0);
}

} // namespace varnesk
