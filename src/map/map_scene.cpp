// The drawing guard is held for the whole of a rebuild or redraw and released
// on every path out, so a malformed map file never leaves the map blocked.
#include "map/map_scene.h"

#include "settings/app_paths.h"
#include "map/canvas.h"
#include "settings/settings_store.h"
#include "tracking/track_store.h"

#include <cstring>

namespace varnesk {

namespace {

class GuardHold {
public:
    explicit GuardHold(bool& guard) : m_guard(guard) { m_guard = true; }
    ~GuardHold() { m_guard = false; }
    GuardHold(const GuardHold&) = delete;
    GuardHold& operator=(const GuardHold&) = delete;

private:
    bool& m_guard;
};

QImage blankLayer(int width, int height)
{
    QImage image(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    image.fill(0xFF000000u);
    return image;
}

} // namespace

MapScene::MapScene(SettingsStore& settings, const AppPaths& paths) : m_settings(settings)
{
    m_files = {paths.coastline, paths.airways, paths.navaids};
    m_view.load(settings);
    installMapFonts();
    resize(1, 1);
}

void MapScene::setCompanyFilter(std::string code)
{
    m_companyFilter = code == "ALL" ? std::string() : std::move(code);
}

void MapScene::resize(int width, int height)
{
    m_view.width = std::max(width, 1);
    m_view.height = std::max(height, 1);
    if (m_background.width() != m_view.width || m_background.height() != m_view.height) {
        m_background = blankLayer(m_view.width, m_view.height);
        m_layer = blankLayer(m_view.width, m_view.height);
    }
}

void MapScene::viewChanged()
{
    m_view.store(m_settings);
}

bool MapScene::rebuildBackground()
{
    if (m_guard)
        return false;
    GuardHold hold(m_guard);
    m_lastStatus = renderBackground(m_background, m_view, BackgroundOptions::fromSettings(m_settings), m_files,
                                    m_airportName);
    if (m_lastStatus.formatErrors() > 0)
        Q_EMIT formatErrorsFound(m_lastStatus);
    return true;
}

void MapScene::updateShownFlags(int s)
{
    if (!m_store)
        return;
    for (int i = 0; i < m_store->count(); ++i)
        m_store->entry(i).shown = true;
}

bool MapScene::redrawAircraft(int s)
{
    if (m_guard)
        return false;
    {
        GuardHold hold(m_guard);
        updateShownFlags(s);
        // The layer is copied over in place: both images keep their own
        // buffers, never shared, so drawing into one never touches the other.
        const size_t bytes = static_cast<size_t>(m_layer.sizeInBytes());
        if (bytes == static_cast<size_t>(m_background.sizeInBytes()))
            std::memcpy(m_layer.bits(), m_background.constBits(), bytes);
        if (m_store && m_store->count() > 0) {
            AircraftLayerOptions options = AircraftLayerOptions::fromSettings(m_settings);
            options.companyFilter = m_companyFilter;
            const DataBoxRequest boxes{s, m_selection.shift, m_selection.alt, m_selection.hitPlot};
            drawAircraft(m_layer, m_view,
                         std::span<const AircraftEntry>(&m_store->entry(0), static_cast<size_t>(m_store->count())),
                         options, boxes);
        }
        Q_EMIT aircraftLayerDrawn();
    }
    return true;
}

void MapScene::fullRedraw(bool keepSelection)
{
    if (keepSelection)
        m_selection.keepSelection = true;
    rebuildBackground();
    redrawAircraft(m_selection.selected);
}

QImage renderMapPicture(SettingsStore& settings, const AppPaths& paths, TrackStore* store, int width, int height,
                        AirportNameLookup airportName)
{
    MapScene scene(settings, paths);
    scene.setTrackStore(store);
    scene.setAirportLookup(std::move(airportName));
    scene.resize(width, height);
    scene.fullRedraw();
    return scene.picture().copy();
}

} // namespace varnesk
