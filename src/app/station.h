// The receive pipeline's owner: settings, paths, receiver channels, decoder
// tables and the program-wide values of the block being handled. Headless;
// the main window drives it from the event loop, varnesk-decode from a loop
// over its inputs.
#pragma once

#include "app/app_paths.h"
#include "decode/acars_block.h"
#include "decode/decode_chain.h"
#include "receiver/audio_format.h"
#include "receiver/receiver.h"
#include "settings/settings_store.h"
#include "tracking/aircraft_tracking.h"

#include <QDateTime>

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace varnesk {

class Station {
public:
    Station(SettingsStore& settings, AppPaths paths);

    SettingsStore& settings() { return m_settings; }
    const AppPaths& paths() const { return m_paths; }

    // One CaptureBlock: 512 interleaved stereo frames, left sample first.
    // Does nothing while ProcessingEnabled is clear; otherwise de-interleaves
    // the channels that [Wave] Dual selects and runs them through the chain,
    // channel 0 through every stage before channel 1.
    // blockTime is the local time the block stands for; it travels with any
    // frame completed in the block (the chain never reads the clock). The
    // one-argument form stamps the block with the current time.
    void ProcessCaptureBlock(std::span<const int16_t, kFramesPerBlock * kCaptureChannels> block);
    void ProcessCaptureBlock(std::span<const int16_t, kFramesPerBlock * kCaptureChannels> block,
                             const QDateTime& blockTime);

    // The hand-off of a checked frame from the receiver (channel 0 or 1): sets
    // SourceTag "Lch" / "Rch" and passes the frame on, or in a client station
    // sends its raw line to the server instead.
    void OnFrameCaptured(const CapturedFrame& frame, const QDateTime& blockTime);

    // Where OnFrameCaptured passes a frame for decoding (varnesk-decode installs a printer).
    using FrameSink = std::function<void(const CapturedFrame& frame, const QDateTime& blockTime)>;
    void setFrameSink(FrameSink sink) { m_frameSink = std::move(sink); }
    // The network's senders of a raw line (installed by the TCP client / server).
    using LineSender = std::function<void(std::string_view line)>;
    LineSender SendLineToServer;
    LineSender SendLineToClients;

    Receiver& receiver() { return m_receiver; }
    const Receiver& receiver() const { return m_receiver; }
    // The shifted signal of the last block of channel c (what the spectrum shows).
    std::span<const double, kFramesPerBlock> channelSamples(int c) const
    {
        return std::span<const double, kFramesPerBlock>(m_channel[c == 1 ? 1 : 0], kFramesPerBlock);
    }

    bool ProcessingEnabled = false;
    // Sees every block that passes the processing switch, before the chain (tests, tools).
    std::function<void(std::span<const int16_t, kFramesPerBlock * kCaptureChannels>)> blockTap;

    // Program-wide values of the block being decoded.
    std::string SourceTag;      // "Lch", "Rch", "NET" or "RAW"
    std::string RawText;
    std::string ModeStation;
    std::string TextWindowText;
    bool PositionFound = false;
    bool NetActive = false;

    // Hand-offs from the block decoder to the areas that follow it (bodies in
    // station_hooks.cpp). UpdateListEntry: every accepted downlink block,
    // repeats included (flight, address and groundStation of the block).
    // DecodePosition: every complete downlink message; sets PositionFound.
    void UpdateListEntry(const AcarsBlock& block);
    void DecodePosition(std::string_view text, std::string_view flight, std::string_view messageNumber,
                        std::string_view label, std::string_view registration);
    // SendToClients: a raw line relayed by the decoder (server with DupCheckSend).
    // CheckSearchList: every accepted downlink block; true when a hit was notified.
    // ShowChatWindow: ChatHistory has a new line.
    void SendToClients(std::string_view line);
    bool CheckSearchList(std::string_view registration, std::string_view flight);
    void ShowChatWindow();

    // The block decoder's entry (frame slots, 8 × characters + 16, 1 = ETX).
    void DecodeBlock(std::span<const int32_t> frame, int32_t bitCount, uint8_t endFlag)
    {
        m_decode.decoder.DecodeBlock(frame, bitCount, endFlag);
    }
    // Decoder tables, sequencer, received text and text log.
    DecodeChain& decode() { return m_decode; }
    const DecodeChain& decode() const { return m_decode; }

    std::string ChatHistory;    // chat lines received, CR LF after each, at most MaxBytes − 1 bytes
    std::string ImportFileName; // path (file-system bytes) of the RAW log being imported, else empty

    uint64_t blocksProcessed() const { return m_blocksProcessed; }

    // Reference tables, received aircraft list and track store.
    AircraftTracking& tracking() { return m_tracking; }
    const AircraftTracking& tracking() const { return m_tracking; }

private:
    SettingsStore& m_settings;
    AppPaths m_paths;
    uint64_t m_blocksProcessed = 0;
    double m_channel[kCaptureChannels][kFramesPerBlock] = {};
    Receiver m_receiver;
    FrameSink m_frameSink;
    DecodeChain m_decode{*this};
    AircraftTracking m_tracking{m_settings, m_paths};
};

} // namespace varnesk
