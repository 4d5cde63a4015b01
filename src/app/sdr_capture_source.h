// The [Wave] Source "sdr": a software-defined radio receiver through SoapySDR
// (an RTL-SDR dongle first; Airspy, SDRplay, HackRF … through their modules).
// The device is tuned so that every [Sdr] frequency fits (up to 16); each is
// taken out of its I/Q stream as a channel and handed on in 22050 Hz
// ChannelBlocks, on the owning thread. The device is read without
// blocking from a timer: no thread of ours touches it.
#pragma once

#include "receiver/audio_format.h"

#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace SoapySDR {
class Device;
class Stream;
} // namespace SoapySDR

namespace varnesk {

class IqChannelizer;
class SettingsStore;

struct SdrOptions {
    std::string deviceArgs = "driver=rtlsdr"; // SoapySDR key=value list
    double sampleRateHz = 2'400'000;
    double gainDb = -1; // negative: automatic
    double ppm = 0;     // frequency correction of the device
    std::vector<double> frequenciesHz{131'450'000, 131'950'000};
    std::string frequencyError; // the settings' list could not be read: why

    static SdrOptions fromSettings(const SettingsStore& settings);
};

class SdrCaptureSource {
public:
    using Deliver = std::function<void(const ChannelBlock&)>;
    // The device stopped delivering (unplugged, failed): the source has closed itself.
    using Lost = std::function<void(const QString& message)>;

    SdrCaptureSource(Deliver deliver, Lost lost);
    ~SdrCaptureSource();
    SdrCaptureSource(const SdrCaptureSource&) = delete;
    SdrCaptureSource& operator=(const SdrCaptureSource&) = delete;

    // Opens, tunes and starts the device. On failure returns false and sets
    // message to the text of the box the user sees.
    bool open(const SdrOptions& options, QString& message);
    void close();
    bool isOpen() const { return m_stream != nullptr; }

    // A device that delivers nothing for this long is taken as gone.
    void setSilenceLimitMs(int ms) { m_silenceLimitMs = ms; }

    double centreHz() const { return m_centreHz; }
    uint64_t blocksDelivered() const { return m_delivered; }
    uint64_t overflows() const { return m_overflows; }

private:
    void onTick();
    void fail(const QString& reason);

    static constexpr int kTickMs = 10;

    Deliver m_deliver;
    Lost m_lost;
    SdrOptions m_options;
    SoapySDR::Device* m_device = nullptr;
    SoapySDR::Stream* m_stream = nullptr;
    std::unique_ptr<IqChannelizer> m_channelizer;
    std::vector<std::unique_ptr<IqChannelizer>> m_retired; // closed while handing on a block
    std::vector<int16_t> m_buffer;                         // interleaved I/Q, CS16
    QTimer m_timer;
    qint64 m_lastDataMs = 0;
    int m_silenceLimitMs = 3000;
    double m_centreHz = 0;
    uint64_t m_delivered = 0;
    uint64_t m_overflows = 0;
    uint64_t m_generation = 0; // changes on close, so a delivery can tell it was closed under it
};

} // namespace varnesk
