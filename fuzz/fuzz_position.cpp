// Position reports into the track store. The first byte sets the store's size
// and the reader options; each part is one complete downlink message: label
// (2 bytes), flight number (6), registration (7), then the text.
#include "fuzz_support.h"
#include "settings/app_paths.h"
#include "settings/settings_store.h"
#include "tracking/aircraft_tracking.h"

#include <QDateTime>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace varnesk;
    fuzz::Input in(data, size);
    const uint8_t options = in.byte();
    SettingsStore settings;
    settings.setInteger(Key::MaxMapPlot, 1 + (options & 7));
    settings.setInteger(Key::MaxPlotData, 1 + ((options >> 3) & 7));
    settings.setBoolean(Key::ElsePosGet, (options & 0x40) == 0);
    settings.setBoolean(Key::TenPoint, (options & 0x80) != 0);
    static const AppPaths paths =
        AppPaths::make(fuzz::appDir(), QStringLiteral("varnesk"), false, QDateTime(QDate(2026, 12, 10), QTime(9, 0)));
    AircraftTracking tracking(settings, paths);
    tracking.clock = [] { return QTime(12, 34, 56); };
    for (std::string_view part : in.parts()) {
        fuzz::Input message(reinterpret_cast<const uint8_t*>(part.data()), part.size());
        const std::string_view label = message.take(2);
        const std::string_view flight = message.take(6);
        const std::string_view registration = message.take(7);
        tracking.UpdateListEntry(flight, registration, "");
        tracking.DecodePosition(message.rest(), flight, "M01A", label, registration);
    }
    return 0;
}
