// The [Sdr] settings of a live receiver.
#include "app/sdr_capture_source.h"

#include "receiver/iq_file_reader.h"
#include "settings/settings_store.h"

namespace varnesk {

SdrOptions SdrOptions::fromSettings(const SettingsStore& settings)
{
    SdrOptions o;
    o.deviceArgs = settings.text(Key::SdrDevice);
    o.sampleRateHz = settings.integer(Key::SdrSampleRate);
    o.gainDb = settings.real(Key::SdrGain);
    o.ppm = settings.real(Key::SdrPpm);
    o.frequenciesHz = sdrFrequencies(settings, o.frequencyError);
    return o;
}

} // namespace varnesk
