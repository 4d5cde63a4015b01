// The receive pipeline's owner: settings, paths, receiver channels, decoder
// tables and the program-wide values of the block being handled. Headless;
// the main window drives it from the event loop, varnesk-decode from a loop
// over its inputs.
#pragma once

#include "app/app_paths.h"
#include "settings/settings_store.h"

#include <cstdint>
#include <span>
#include <string>

namespace varnesk {

inline constexpr int kFramesPerBlock = 512;
inline constexpr int kSampleRateHz = 22050;
inline constexpr int kCaptureChannels = 2;
inline constexpr int kCaptureBlockBytes = kFramesPerBlock * kCaptureChannels * 2; // 2048

class Station {
public:
    Station(SettingsStore& settings, AppPaths paths);

    SettingsStore& settings() { return m_settings; }
    const AppPaths& paths() const { return m_paths; }

    // One CaptureBlock: 512 interleaved stereo frames, left sample first.
    // Does nothing while ProcessingEnabled is clear; otherwise de-interleaves
    // the channels that [Wave] Dual selects and runs them through the chain,
    // channel 0 through every stage before channel 1.
    void ProcessCaptureBlock(std::span<const int16_t, kFramesPerBlock * kCaptureChannels> block);

    bool ProcessingEnabled = false;

    // Program-wide values of the block being decoded.
    std::string SourceTag;      // "Lch", "Rch", "NET" or "RAW"
    std::string RawText;
    std::string ModeStation;
    std::string TextWindowText;
    bool PositionFound = false;
    bool NetActive = false;

    uint64_t blocksProcessed() const { return m_blocksProcessed; }

private:
    SettingsStore& m_settings;
    AppPaths m_paths;
    uint64_t m_blocksProcessed = 0;
    double m_channel[kCaptureChannels][kFramesPerBlock] = {};
};

} // namespace varnesk
