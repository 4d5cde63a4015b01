// The receive pipeline: builds the receiver channels, the network side, the
// aircraft tracking and the decoding chain, connects them, and runs one
// capture block at a time through them. Headless; the main window drives it
// from the event loop, varnesk-decode from a loop over its inputs.
#pragma once

#include "app/decode_chain.h"
#include "decode/acars_block.h"
#include "net/feed_sender.h"
#include "net/network_sharing.h"
#include "receiver/audio_format.h"
#include "receiver/coherent_receiver.h"
#include "receiver/frame_level.h"
#include "receiver/frame_merge.h"
#include "receiver/receiver.h"
#include "settings/app_paths.h"
#include "settings/settings_store.h"
#include "tracking/aircraft_tracking.h"

#include <QDateTime>
#include <QObject>

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace varnesk {

using CaptureBlockSpan = std::span<const int16_t, kCaptureBlockSamples>;

class ReceivePipeline : public QObject {
    Q_OBJECT
public:
    ReceivePipeline(SettingsStore& settings, AppPaths paths);

    SettingsStore& settings() { return m_settings; }
    const AppPaths& paths() const { return m_paths; }
    // A new path table (the log name setting changed): the text log, the
    // EachLogs folder and list.csv follow it.
    void applyPaths(const AppPaths& paths);

    // Blocks are processed only while this is on (from the end of start-up
    // until the closing sequence begins).
    void setProcessingEnabled(bool on) { m_processingEnabled = on; }
    bool processingEnabled() const { return m_processingEnabled; }

    // One CaptureBlock: 512 interleaved stereo frames, left sample first.
    // Does nothing while processing is off; otherwise de-interleaves the
    // channels that [Wave] Dual selects and runs them through the chain,
    // channel 0 through every stage before channel 1.
    // blockTime is the local time the block stands for; it travels with any
    // frame completed in the block (the chain never reads the clock). The
    // one-argument form stamps the block with the current time.
    void ProcessCaptureBlock(CaptureBlockSpan block);
    void ProcessCaptureBlock(CaptureBlockSpan block, const QDateTime& blockTime);
    // A block from a source that knows each channel's carrier level over it
    // (see FrameLevel): the frames' levels come from these instead of the audio.
    void ProcessCaptureBlock(CaptureBlockSpan block, const QDateTime& blockTime, const CarrierLevels& carrier);
    // A block of every channel of a source (an IQ source gives up to 16).
    // [Wave] Dual 1 decodes channel 1 alone, 2 every channel; channels 1 and 2
    // are handed on as left and right, channels 3 … 16 tagged "C03" … "C16".
    // A frame from a channel whose carrier level the block tells carries the
    // carrier's mean level over the frame (FrameLevel), else its audio's.
    void ProcessChannelBlock(const ChannelBlock& block);
    void ProcessChannelBlock(const ChannelBlock& block, const QDateTime& blockTime);
    // Channels of the last block processed (2 until a source tells otherwise).
    int channelCount() const { return m_channelCount; }

    // The hand-off of a checked frame from the receiver (channel 0 … 15): to
    // the block decoder with the tag "Lch" / "Rch" / "C03" …, or in a client station as
    // a raw line to the server instead (it comes back from the server like
    // every other station's).
    void onFrameCaptured(const CapturedFrame& frame, const QDateTime& blockTime);

    Receiver& receiver() { return m_receiver; }
    const Receiver& receiver() const { return m_receiver; }
    // The second, coherent demodulator ([Wave] Demodulator 1 or 2) and the
    // merge of both demodulators' frames before the decoder.
    const CoherentReceiver& coherent() const { return m_coherent; }
    const FrameMerge& merge() const { return m_merge; }
    // The shifted signal of the last block of channel c (what the spectrum shows).
    std::span<const double, kFramesPerBlock> channelSamples(int c) const
    {
        return std::span<const double, kFramesPerBlock>(m_channel[c > 0 && c < kMaxRadioChannels ? c : 0],
                                                        kFramesPerBlock);
    }
    uint64_t blocksProcessed() const { return m_blocksProcessed; }

    // Decoder tables, sequencer, received text, text log, line intake and RAW import.
    DecodeChain& decode() { return m_decode; }
    const DecodeChain& decode() const { return m_decode; }
    // Reference tables, received aircraft list and track store.
    AircraftTracking& tracking() { return m_tracking; }
    const AircraftTracking& tracking() const { return m_tracking; }
    // netActive(), the chat history and the lines for the server and the clients.
    NetworkSharing& network() { return m_network; }
    const NetworkSharing& network() const { return m_network; }
    // The JSON feed of every frame received here (not those from the network
    // or a RAW import) to an aggregator; off until feed().applySettings().
    FeedSender& feed() { return m_feed; }
    const FeedSender& feed() const { return m_feed; }

Q_SIGNALS:
    // A block passed the processing switch and is about to enter the chain.
    void captureBlockArrived(CaptureBlockSpan block);
    // A frame with a good CRC, before it goes to the decoder or the server.
    void frameCaptured(const CapturedFrame& frame, const QDateTime& blockTime);
    // The end of a capture block's processing: the indicators refresh.
    void captureBlockDone();
    // The source's channel count changed (the lamp selector follows).
    void channelCountChanged(int channels);

private:
    SettingsStore& m_settings;
    AppPaths m_paths;
    bool m_processingEnabled = false;
    uint64_t m_blocksProcessed = 0;
    int m_channelCount = kCaptureChannels;
    double m_channel[kMaxRadioChannels][kFramesPerBlock] = {};
    CaptureBlock m_stereo{};
    Receiver m_receiver;
    CoherentReceiver m_coherent;
    FrameMerge m_merge;
    FrameLevel m_level;
    NetworkSharing m_network{m_settings};
    AircraftTracking m_tracking{m_settings, m_paths};
    DecodeChain m_decode{m_settings, m_paths, m_tracking, m_network};
    FeedSender m_feed{m_settings};
};

} // namespace varnesk
