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
    if (!m_processingEnabled)
        return;
    ProcessChannelBlock(ChannelBlock::fromStereo(block), blockTime);
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
    m_carrierAt = (m_carrierAt + 1) % kLevelBlocks;
    for (int c = 0; c < channels; ++c) {
        const auto& in = block.samples[static_cast<size_t>(c)];
        for (int n = 0; n < kFramesPerBlock; ++n)
            m_channel[c][n] = in[static_cast<size_t>(n)];
        const float db = block.carrierDb[static_cast<size_t>(c)];
        m_carrier[static_cast<size_t>(c)][m_carrierAt] = std::isfinite(db) ? std::pow(10.0f, db / 20) : 0.0f;
    }
    // The coherent demodulator reads the raw samples, so it runs first; the
    // classic chain then filters them in place (two channels side by side
    // where there are two). Channel 1's frames are handed on first, then
    // channel 2's and so on; with both demodulators, every frame passes the merge first.
    const auto choice = static_cast<DemodulatorChoice>(std::clamp(m_settings.integer(Key::Demodulator), 0, 2));
    std::array<std::optional<CapturedFrame>, kMaxRadioChannels> second;
    if (choice != DemodulatorChoice::Classic)
        for (int c = 0; c < channels; ++c)
            second[static_cast<size_t>(c)] =
                m_coherent.processChannel(c, std::span<const double, kFramesPerBlock>(m_channel[c], kFramesPerBlock));
    std::array<std::optional<CapturedFrame>, kMaxRadioChannels> first;
    auto samples = [this](int c) { return std::span<double, kFramesPerBlock>(m_channel[c], kFramesPerBlock); };
    int c = 0;
    for (; c + 1 < channels; c += 2) {
        auto pair = m_receiver.processPair(c, c + 1, samples(c), samples(c + 1));
        first[static_cast<size_t>(c)] = pair[0];
        first[static_cast<size_t>(c + 1)] = pair[1];
    }
    if (c < channels)
        first[static_cast<size_t>(c)] = m_receiver.processChannel(c, samples(c));
    auto handOn = [&](const CapturedFrame& frame) {
        if (const std::optional<double> level = frameCarrierLevelDb(frame)) {
            CapturedFrame withLevel = frame;
            withLevel.levelDb = level;
            onFrameCaptured(withLevel, blockTime);
        } else {
            onFrameCaptured(frame, blockTime);
        }
    };
    for (c = 0; c < channels; ++c) {
        const std::optional<CapturedFrame>& frame = first[static_cast<size_t>(c)];
        if (choice == DemodulatorChoice::Classic) {
            if (frame)
                handOn(*frame);
            continue;
        }
        if (frame && choice == DemodulatorChoice::Both
            && m_merge.admit(c, frame->rawLine, Demodulator::Classic, m_blocksProcessed))
            handOn(*frame);
        const std::optional<CapturedFrame>& other = second[static_cast<size_t>(c)];
        if (other && m_merge.admit(c, other->rawLine, Demodulator::Coherent, m_blocksProcessed)) {
            m_receiver.channel(c).rcvCount = 0; // RCV lights as for a frame of the classic chain
            handOn(*other);
        }
    }
    Q_EMIT captureBlockDone();
}

// The mean of the carrier's envelope over the blocks the frame spans, leaving
// out its first and last (partly keyed) block where it spans more than two.
std::optional<double> ReceivePipeline::frameCarrierLevelDb(const CapturedFrame& frame) const
{
    if (frame.channel < 0 || frame.channel >= kMaxRadioChannels)
        return std::nullopt;
    const auto& ring = m_carrier[static_cast<size_t>(frame.channel)];
    constexpr double kBitRate = 2400;
    const auto spanned = static_cast<size_t>(
        std::ceil(frame.bitCount / kBitRate * kSampleRateHz / kFramesPerBlock));
    const size_t blocks = std::clamp<size_t>(spanned, 1, kLevelBlocks - 1);
    const size_t from = blocks > 2 ? 1 : 0;
    const size_t to = blocks > 2 ? blocks - 1 : blocks;
    double sum = 0;
    size_t n = 0;
    for (size_t k = from; k < to; ++k) {
        const float v = ring[(m_carrierAt + kLevelBlocks - k) % kLevelBlocks];
        if (v <= 0)
            return std::nullopt; // a block without a measured level
        sum += v;
        ++n;
    }
    if (n == 0)
        return std::nullopt;
    return 20 * std::log10(sum / static_cast<double>(n));
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
