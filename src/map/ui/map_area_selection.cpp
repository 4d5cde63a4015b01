// The map area's panes and selection: the report and altitude pane widgets
// and their switches, the hit tests and row picks that select aircraft, the
// selection's side of a removal with the company selector kept in step, and
// the plot commands of the pop-up menu (delete, clear, save, copy).
#include "map/ui/map_area.h"

#include "acars/sjis.h"
#include "aircraft/aircraft_list.h"
#include "map/map_picture_file.h"
#include "map/ui/company_selector.h"
#include "map/ui/pane_widget.h"
#include "settings/settings_store.h"
#include "tracking/track_store.h"
#include "widgets/message_hub.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QSignalBlocker>
#include <QToolButton>

#include <string>

namespace varnesk {

namespace {

std::span<const AircraftEntry> storedAircraft(const TrackStore* store)
{
    if (!store || store->count() == 0)
        return {};
    return std::span<const AircraftEntry>(&store->entry(0), static_cast<size_t>(store->count()));
}

} // namespace

void MapArea::createPanes()
{
    m_reportWidget = new PaneWidget([this]() -> const QImage& { return m_scene.reportPane(); },
                                    QStringLiteral("ReportPanel"), m_host);
    m_altitudeWidget = new PaneWidget([this]() -> const QImage& { return m_scene.altitudePane(); },
                                      QStringLiteral("AltitudePanel"), m_host);
    for (PaneWidget* pane : {m_reportWidget, m_altitudeWidget})
        connect(&m_scene, &MapScene::aircraftLayerDrawn, pane, qOverload<>(&QWidget::update));
    connect(m_reportWidget, &PaneWidget::released, this, &MapArea::reportPaneRelease);
    connect(m_altitudeWidget, &PaneWidget::pressed, this, &MapArea::pressAt);
    connect(m_altitudeWidget, &PaneWidget::released, this, &MapArea::releaseOnAltitudePane);
}

void MapArea::setModemPane(QWidget* pane)
{
    m_modemPane = pane;
    if (pane && m_host)
        pane->setParent(m_host);
    layout();
}

void MapArea::togglePane(Pane pane, bool shown)
{
    m_settings.setBoolean(pane == Pane::Report     ? Key::ShowRep
                          : pane == Pane::Altitude ? Key::ShowAlt
                                                   : Key::ShowMod,
                          shown);
    layout();
    redrawAllForSelection();
}

QWidget* MapArea::dialogParent() const
{
    return m_host ? m_host->window() : nullptr;
}

void MapArea::setSelectionState(bool has)
{
    if (m_deleteItem)
        m_deleteItem->setEnabled(has);
}

void MapArea::setAutoSelectButton(bool down, bool enabled)
{
    m_scene.selection().autoSelectDown = down;
    if (!m_autoSelectButton)
        return;
    const QSignalBlocker block(m_autoSelectButton);
    m_autoSelectButton->setChecked(down);
    m_autoSelectButton->setEnabled(enabled);
}

void MapArea::hitTestMap(QPoint at)
{
    const PlotHit hit = varnesk::hitTestMap(storedAircraft(m_scene.trackStore()), m_scene.view(), at.x(), at.y());
    if (hit.found()) {
        selectAircraft(hit.aircraft, hit.plot);
        return;
    }
    // A miss: every aircraft shown again, the company filter back to "ALL".
    MapSelection& sel = m_scene.selection();
    if (m_companySelector)
        m_companySelector->setCurrentIndex(0);
    m_scene.setCompanyFilter(std::string());
    sel.hasSelection = false;
    setAutoSelectButton(false, m_autoSelectButton && m_autoSelectButton->isEnabled());
    setSelectionState(false);
    sel.lastAutoSelected = -1;
    if (m_started)
        m_scene.redrawAircraft(-1);
}

void MapArea::hitTestAltitudePane(QPoint at)
{
    const PlotHit hit =
        varnesk::hitTestAltitudePane(storedAircraft(m_scene.trackStore()), m_scene.view(), at.x(), at.y());
    if (hit.found()) {
        selectAircraft(hit.aircraft, hit.plot);
        return;
    }
    hitTestMap(QPoint(-1000000, -1000000)); // the same as a miss on the map
}

void MapArea::selectAircraft(int index, int plot)
{
    const TrackStore* store = m_scene.trackStore();
    if (!store || index < 0 || index >= store->maxAircraft())
        return;
    MapSelection& sel = m_scene.selection();
    if (plot >= 0)
        sel.hitPlot = plot;
    sel.hasSelection = true;
    sel.keepSelection = false;
    sel.pageTurned = false;
    sel.selected = index;
    if (m_started)
        m_scene.redrawAircraft(index);
    setSelectionState(true);
    const std::string_view flight = store->entry(index).flight.view();
    Q_EMIT aircraftPicked(QByteArray(flight.data(), static_cast<qsizetype>(flight.size())));
}

void MapArea::reportPaneRelease(Qt::MouseButton button, QPoint at, Qt::KeyboardModifiers modifiers)
{
    MapSelection& sel = m_scene.selection();
    sel.shift = modifiers.testFlag(Qt::ShiftModifier);
    sel.alt = modifiers.testFlag(Qt::AltModifier);
    sel.ctrl = modifiers.testFlag(Qt::ControlModifier);
    const TrackStore* store = m_scene.trackStore();
    const int count = store ? store->count() : 0;
    const ReportRelease r = varnesk::reportPaneRelease(m_scene.reportState(), count, m_scene.reportRows(),
                                                       button == Qt::LeftButton, at.x(), at.y());
    switch (r.kind) {
    case ReportRelease::Kind::None:
        return;
    case ReportRelease::Kind::PageTurned:
        sel.pageTurned = true;
        sel.keepSelection = false;
        if (m_started)
            m_scene.redrawAircraft(sel.redrawTarget());
        return;
    case ReportRelease::Kind::Row:
        selectAircraft(r.aircraft);
        return;
    }
}

bool MapArea::removeAircraft(int k)
{
    TrackStore* store = m_scene.trackStore();
    return store && store->removeEntry(k).removed;
}

void MapArea::onAircraftRemoved(int k)
{
    const TrackStore* store = m_scene.trackStore();
    if (!store)
        return;
    MapSelection& sel = m_scene.selection();
    selectionAfterRemoval(sel, k, store->count());
    // An operator's last aircraft went: its code leaves the selector, which
    // shows "ALL" again.
    if (m_companySelector && m_companySelector->count() != static_cast<int>(store->companyItems().size()))
        refillCompanySelector(m_companySelector, *store);
    if (store->count() == 0) {
        setAutoSelectButton(false, false);
        setSelectionState(false);
        if (m_clearItem)
            m_clearItem->setEnabled(false);
    } else {
        setSelectionState(sel.hasSelection);
    }
}

void MapArea::deleteSelected()
{
    MapSelection& sel = m_scene.selection();
    if (!sel.hasSelection) {
        MessageHub::warningQuiet(dialogParent(), QStringLiteral("選択されていません"));
        return;
    }
    TrackStore* store = m_scene.trackStore();
    for (int i = 0; store && i < store->count();) {
        const AircraftEntry& e = store->entry(i);
        if (!e.shown) {
            ++i;
            continue;
        }
        const std::string flight(e.flight.view()), registration(e.registration.view());
        if (!MessageHub::confirm(dialogParent(),
                                 sjisToQString(flight) + QStringLiteral("を消去します。\nよろしいですか？"))) {
            ++i;
            continue;
        }
        // The place is taken by the next aircraft: the walk stays at i.
        store->removeEntry(i);
        if (m_list)
            m_list->ClearPositionMark(registration, flight);
    }
    if (m_started)
        m_scene.redrawAircraft(-1);
    sel.clearModifiers();
    sel.keepSelection = sel.pageTurned = sel.autoExclusive = sel.manualExclusive = false;
    sel.savedShown = false;
    sel.lastAutoSelected = -1;
    sel.hasSelection = false;
    if (m_started)
        m_scene.redrawAircraft(-1);
    setSelectionState(false);
}

void MapArea::clearPlotsAndList()
{
    if (!MessageHub::confirm(dialogParent(),
                             QStringLiteral("プロット画面・受信リストを消去します。\nよろしいですか？")))
        return;
    if (TrackStore* store = m_scene.trackStore()) {
        store->ClearStore();
        store->resetCompanyItems();
        if (m_companySelector)
            refillCompanySelector(m_companySelector, *store);
    }
    m_scene.setCompanyFilter(std::string());
    if (m_list)
        m_list->ClearList();
    Q_EMIT plotsCleared();
    MapSelection& sel = m_scene.selection();
    if (m_started)
        m_scene.redrawAircraft(sel.redrawTarget());
    sel.lastAutoSelected = -1;
    sel.savedShown = false;
    sel.keepSelection = false;
}

void MapArea::saveMapImage()
{
    QString chosen;
    if (chooseSaveFile)
        chosen = chooseSaveFile();
    else
        chosen = QFileDialog::getSaveFileName(dialogParent(), QStringLiteral("マップ画像保存"), QString(),
                                              QStringLiteral("ビットマップ (*.bmp)"));
    if (chosen.isEmpty())
        return;
    const QString path = mapPictureFileName(chosen);
    QString reason;
    if (!writeMapPicture(m_scene.picture(), path, reason))
        MessageHub::error(dialogParent(),
                          QStringLiteral("マップ画像を保存できませんでした。\n%1\n%2").arg(path, reason));
}

void MapArea::copyMapImage()
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setImage(m_scene.picture());
}

} // namespace varnesk
