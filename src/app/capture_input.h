// The receiver's input as [Wave] Source names it: a WAV file, IQ recording or
// named pipe; "sdr" or "sdr:<arguments>" for a software-defined radio; empty
// for the sound card of [Wave] Input. The window and the headless station
// open it the same way and learn the same things about it: whether it
// opened, why not, and the frequencies its channels are on.
#pragma once

#include "app/block_assembler.h"
#include "receiver/audio_format.h"

#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace varnesk {

class FileCaptureSource;
class SdrCaptureSource;
class SettingsStore;
class SoundCapture;

// [Wave] Source "sdr" is the receiver of [Sdr] Device; "sdr:<arguments>"
// names the device itself. Anything else is not an SDR source.
std::optional<std::string> sdrDeviceArgs(const std::string& source);

// The sound card's messages when it cannot be opened.
extern const QString kCaptureOpenFailed;
extern const QString kCaptureBufferFailed;

class CaptureInput {
public:
    // Every source hands on blocks of all its channels (the sound card two).
    using Deliver = std::function<void(const ChannelBlock&)>;
    // A live device stopped delivering (unplugged, failed) and closed itself.
    using Lost = std::function<void(const QString& message)>;

    CaptureInput(Deliver deliver, Lost lost);
    ~CaptureInput();
    CaptureInput(const CaptureInput&) = delete;
    CaptureInput& operator=(const CaptureInput&) = delete;

    // Closes what is open, then opens the input the settings name (a relative
    // file name is taken from appDir). On failure returns false and sets
    // message to the text the user sees.
    bool open(const SettingsStore& settings, const QString& appDir, QString& message);
    // Closed, not destroyed: this may run inside a block one of them handed on.
    void close();
    bool isOpen() const;

    // The frequencies in MHz of the channels of the input last opened: the
    // tuned ones of a radio or IQ recording, else [Wave] Freq1 / Freq2 for
    // channels 0 and 1 (the scanners'); nullopt where not known.
    const std::array<std::optional<double>, kMaxRadioChannels>& channelMhz() const { return m_channelMhz; }
    // The scanners' frequencies again after [Wave] Freq1 / Freq2 changed
    // (a radio or IQ recording keeps its own).
    void scannerFrequenciesChanged(const SettingsStore& settings);

    FileCaptureSource* file() { return m_file.get(); }
    SdrCaptureSource* sdr() { return m_sdr.get(); }
    SoundCapture* sound() { return m_sound.get(); }

private:
    Deliver m_deliver;
    Lost m_lost;
    std::unique_ptr<SoundCapture> m_sound;
    std::unique_ptr<FileCaptureSource> m_file;
    std::unique_ptr<SdrCaptureSource> m_sdr;
    std::array<std::optional<double>, kMaxRadioChannels> m_channelMhz{};
    void setTuned(const std::vector<double>& hz);
    bool m_tuned = false; // the open input knows its own frequencies
};

} // namespace varnesk
