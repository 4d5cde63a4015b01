// One channel block through the whole chain, each stage over the whole block.
#include "receiver/receiver.h"

#include "receiver/channel_filter.h"
#include "receiver/frame_capture.h"
#include "receiver/msk_demodulator.h"

namespace varnesk {

std::optional<CapturedFrame> Receiver::processChannel(int c, BlockOut samples)
{
    if (c < 0 || c >= kReceiverChannels)
        return std::nullopt;
    ChannelState& state = m_channels[static_cast<size_t>(c)];
    bandFilter(state, samples);
    levelControl(state, samples);
    demodulate(state, m_scratch, samples);
    std::optional<CapturedFrame> frame = captureFrames(state, c);
    state.synShown = state.inFrame;
    return frame;
}

void Receiver::filterChannel(int c, BlockOut samples)
{
    if (c < 0 || c >= kReceiverChannels)
        return;
    ChannelState& state = m_channels[static_cast<size_t>(c)];
    bandFilter(state, samples);
    levelControl(state, samples);
    quadratureSplit(state, samples, m_scratch.inPhase, m_scratch.quadrature);
    frequencyShift(state, m_scratch.inPhase, m_scratch.quadrature, samples);
}

void Receiver::filterChannels(BlockOut left, BlockOut right)
{
    ChannelState& a = m_channels[0];
    ChannelState& b = m_channels[1];
    bandFilter(a, left);
    bandFilter(b, right);
    levelControlPair(a, b, left, right);
    quadratureSplit(a, left, m_scratch.inPhase, m_scratch.quadrature);
    frequencyShift(a, m_scratch.inPhase, m_scratch.quadrature, left);
    quadratureSplit(b, right, m_secondScratch.inPhase, m_secondScratch.quadrature);
    frequencyShift(b, m_secondScratch.inPhase, m_secondScratch.quadrature, right);
}

std::array<std::optional<CapturedFrame>, 2> Receiver::processChannels(BlockOut left, BlockOut right)
{
    return processPair(0, 1, left, right);
}

std::array<std::optional<CapturedFrame>, 2> Receiver::processPair(int ca, int cb, BlockOut first, BlockOut second)
{
    if (ca < 0 || ca >= kReceiverChannels || cb < 0 || cb >= kReceiverChannels || ca == cb)
        return {};
    ChannelState& a = m_channels[static_cast<size_t>(ca)];
    ChannelState& b = m_channels[static_cast<size_t>(cb)];
    bandFilter(a, first);
    bandFilter(b, second);
    levelControlPair(a, b, first, second);
    demodulatePair(a, b, m_scratch, m_secondScratch, first, second);
    std::array<std::optional<CapturedFrame>, 2> frames{captureFrames(a, ca), captureFrames(b, cb)};
    a.synShown = a.inFrame;
    b.synShown = b.inFrame;
    return frames;
}

void Receiver::resetIndicators()
{
    for (ChannelState& state : m_channels) {
        state.nrziState = 0;
        state.rcvCount = 6;
    }
}

ReceiverCounts Receiver::totalCounts() const
{
    ReceiverCounts total;
    for (const ChannelState& state : m_channels)
        total += state.counts;
    return total;
}

void Receiver::resetCounts()
{
    for (ChannelState& state : m_channels) {
        state.counts = ReceiverCounts{};
        state.counts.syncsFound = state.counts.capturesOpen = state.inFrame ? 1 : 0;
    }
}

} // namespace varnesk
