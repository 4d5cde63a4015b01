// The [Sdr] settings of a live receiver.
#include "app/sdr_capture_source.h"

#include "settings/settings_store.h"

#include <cmath>

namespace varnesk {

SdrOptions SdrOptions::fromSettings(const SettingsStore& settings)
{
    SdrOptions o;
    o.deviceArgs = settings.text(Key::SdrDevice);
    o.sampleRateHz = settings.integer(Key::SdrSampleRate);
    o.gainDb = settings.real(Key::SdrGain);
    o.ppm = settings.real(Key::SdrPpm);
    o.freq1Hz = std::round(settings.real(Key::SdrFreq1) * 1e6);
    o.freq2Hz = std::round(settings.real(Key::SdrFreq2) * 1e6);
    return o;
}

} // namespace varnesk
