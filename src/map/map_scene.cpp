// The drawing guard is held for the whole of a rebuild or redraw and released
// on every path out, so a malformed map file never leaves the map blocked.
#include "map/map_scene.h"

#include "map/canvas.h"
#include "map/pane_layout.h"
#include "settings/app_paths.h"
#include "settings/settings_store.h"
#include "tracking/track_store.h"

#include <QPainter>

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
    const bool reread = m_data.refresh(m_files);
    BackgroundOptions options = BackgroundOptions::fromSettings(m_settings);
    options.textMasks = &m_textMasks;
    m_lastStatus = renderBackground(m_background, m_view, options, m_data, m_airportName);
    if (reread && m_lastStatus.formatErrors() > 0)
        Q_EMIT formatErrorsFound(m_lastStatus);
    return true;
}

void MapScene::updateShownFlags(int s)
{
    if (!m_store || m_store->maxAircraft() == 0)
        return;
    varnesk::updateShownFlags(
        m_selection, std::span<AircraftEntry>(&m_store->entry(0), static_cast<size_t>(m_store->maxAircraft())), s);
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
        AircraftLayerOptions options = AircraftLayerOptions::fromSettings(m_settings);
        options.companyFilter = m_companyFilter;
        options.textMasks = &m_textMasks;
        const std::span<const AircraftEntry> aircraft =
            m_store && m_store->count() > 0
                ? std::span<const AircraftEntry>(&m_store->entry(0), static_cast<size_t>(m_store->count()))
                : std::span<const AircraftEntry>();
        if (!aircraft.empty()) {
            const DataBoxRequest boxes{s, m_selection.shift, m_selection.alt, m_selection.hitPlot};
            drawAircraft(m_layer, m_view, aircraft, options, boxes);
        }
        if (!m_report.isNull()) {
            ReportPaneOptions report = ReportPaneOptions::fromSettings(m_settings);
            report.textMasks = &m_textMasks;
            drawReportPane(m_report, m_reportState, aircraft, report, m_selection.hasSelection);
        }
        if (!m_altitude.isNull())
            drawAltitudePane(m_altitude, m_view, aircraft, options, m_settings.colour(Key::AltBack),
                             m_settings.colour(Key::AltScale));
        Q_EMIT aircraftLayerDrawn();
    }
    return true;
}

void MapScene::fullRedraw(bool keepSelection)
{
    if (keepSelection)
        m_selection.keepSelection = true;
    rebuildBackground();
    redrawAircraft(m_selection.redrawTarget());
}

void MapScene::setPaneSurfaces(QSize report, QSize altitude)
{
    auto fit = [](QImage& image, QSize size) {
        if (size.isEmpty()) {
            image = QImage();
        } else if (image.size() != size) {
            image = QImage(size, QImage::Format_RGB32);
            image.fill(0xFF000000u);
        }
    };
    fit(m_report, report);
    fit(m_altitude, altitude);
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

namespace {

// A 2-pixel sunken border around rect: dark above and left, light below and right.
void sunkenBorder(QPainter& p, const QRect& rect)
{
    const QColor shadow(0x80, 0x80, 0x80), dark(0x40, 0x40, 0x40), light(0xFF, 0xFF, 0xFF), mid(0xD4, 0xD0, 0xC8);
    const int l = rect.left(), t = rect.top(), r = rect.right(), b = rect.bottom();
    p.fillRect(QRect(l, t, rect.width(), 1), shadow);
    p.fillRect(QRect(l, t, 1, rect.height()), shadow);
    p.fillRect(QRect(l + 1, t + 1, rect.width() - 2, 1), dark);
    p.fillRect(QRect(l + 1, t + 1, 1, rect.height() - 2), dark);
    p.fillRect(QRect(l, b, rect.width(), 1), light);
    p.fillRect(QRect(r, t, 1, rect.height()), light);
    p.fillRect(QRect(l + 1, b - 1, rect.width() - 2, 1), mid);
    p.fillRect(QRect(r - 1, t + 1, 1, rect.height() - 2), mid);
}

} // namespace

QImage renderWindowPicture(SettingsStore& settings, const AppPaths& paths, TrackStore* store, int width, int height,
                           const QImage& modemPanel, AirportNameLookup airportName)
{
    const PaneSwitches shown{settings.boolean(Key::ShowRep), settings.boolean(Key::ShowAlt),
                             settings.boolean(Key::ShowMod)};
    if (!shown.report && !shown.altitude && !shown.modem)
        return renderMapPicture(settings, paths, store, width, height, std::move(airportName));
    // The layout is of the client area, whose first 30 rows are the toolbar's.
    PaneLayout layout = layoutPanes(width, height + kToolBarRowPx, shown);
    for (QRect* r : {&layout.map, &layout.report, &layout.modem, &layout.altitude})
        if (!r->isEmpty())
            r->translate(0, -kToolBarRowPx);
    MapScene scene(settings, paths);
    scene.setTrackStore(store);
    scene.setAirportLookup(std::move(airportName));
    const QRect map = paneSurface(layout.map);
    scene.resize(map.width(), map.height());
    scene.setPaneSurfaces(paneSurface(layout.report).size(), paneSurface(layout.altitude).size());
    scene.fullRedraw();

    QImage picture(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    picture.fill(QColor(0xD4, 0xD0, 0xC8));
    QPainter p(&picture);
    auto place = [&](const QRect& pane, const QImage& surface) {
        if (pane.isEmpty())
            return;
        sunkenBorder(p, pane);
        const QRect inner = paneSurface(pane);
        p.fillRect(inner, Qt::black);
        if (!surface.isNull())
            p.drawImage(inner.topLeft(), surface);
    };
    place(layout.map, scene.picture());
    place(layout.report, scene.reportPane());
    place(layout.altitude, scene.altitudePane());
    place(layout.modem, modemPanel);
    p.end();
    return picture;
}

} // namespace varnesk
