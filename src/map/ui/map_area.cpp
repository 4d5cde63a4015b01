// The map widget and its toolbar controls: pans of 50 pixels, zoom through
// the 14 scales, a drag of more than 10 pixels moves the chart, and every
// change of view or layer ends with the full redraw of background and aircraft.
#include "map/ui/map_area.h"

#include "map/ui/company_selector.h"

#include "acars/sjis.h"
#include "aircraft/reference_tables.h"
#include "map/background_renderer.h"
#include "map/canvas.h"
#include "map/ui/pane_widget.h"
#include "settings/app_paths.h"
#include "settings/settings_store.h"
#include "tracking/track_store.h"
#include "widgets/message_hub.h"
#include "widgets/tool_button.h"

#include <QAction>
#include <QActionGroup>
#include <QBitmap>
#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QPixmap>
#include <QPointer>
#include <QShowEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWheelEvent>

#include <cstdlib>

namespace varnesk {

Q_LOGGING_CATEGORY(lcMap, "varnesk.map")

namespace {

constexpr int kIconPx = 16;

// Keeps the map placed when the host (central widget) is resized.
class HostResizeWatcher : public QObject {
public:
    HostResizeWatcher(MapArea& area, QObject* parent) : QObject(parent), m_area(area) { }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize)
            m_area.layout();
        return QObject::eventFilter(watched, event);
    }

private:
    MapArea& m_area;
};

// The icon's white background made transparent; the symbol's own pixels
// stay opaque in both button states.
QImage whiteToTransparent(const QImage& drawn)
{
    QImage out = drawn.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((line[x] & 0xFFFFFFu) == 0xFFFFFFu)
                line[x] = 0;
    }
    return out;
}

QIcon symbolIcon(char type, uint32_t settingsColour)
{
    QImage img(kIconPx, kIconPx, QImage::Format_RGB32);
    img.fill(0xFFFFFFFFu);
    {
        Canvas c(img);
        drawPointSymbol(c, type, kIconPx / 2, type == '5' ? 12 : kIconPx / 2, rgbOf(settingsColour));
    }
    return QIcon(QPixmap::fromImage(whiteToTransparent(img)));
}

QIcon airwayIcon(uint32_t settingsColour)
{
    QImage rgb(kIconPx, kIconPx, QImage::Format_RGB32);
    rgb.fill(0xFFFFFFFFu);
    {
        Canvas c(rgb);
        c.line(1, 14, 15, 0, rgbOf(settingsColour), Pen::Dotted);
        c.line(2, 14, 15, 1, rgbOf(settingsColour), Pen::Dotted);
    }
    return QIcon(QPixmap::fromImage(whiteToTransparent(rgb)));
}

QToolButton* makeButton(QWidget* parent, std::vector<QWidget*>& out, const char* name, const QString& hint,
                        const QString& text, bool checkable)
{
    QToolButton* button = makeToolButton(parent, name, text, hint, checkable);
    button->setFocusPolicy(Qt::NoFocus);
    out.push_back(button);
    return button;
}

} // namespace

MapWidget::MapWidget(MapScene& scene, QWidget* parent)
    : PaneWidget([&scene]() -> const QImage& { return scene.picture(); }, QStringLiteral("MapPanel"), parent)
{
    // A click on the map gives it the keys: +, − and the arrows.
    setFocusPolicy(Qt::StrongFocus);
}

void MapWidget::showEvent(QShowEvent* event)
{
    QFrame::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        setFocus();
        Q_EMIT firstShown();
    }
}

void MapWidget::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    Q_EMIT surfaceResized(contentsRect().size());
}

void MapWidget::wheelEvent(QWheelEvent* event)
{
    // 120 eighths of a degree are one notch; touchpads send parts of one.
    constexpr int kNotch = 120;
    m_wheelEighths += event->angleDelta().y();
    const int steps = m_wheelEighths / kNotch;
    m_wheelEighths -= steps * kNotch;
    if (steps != 0)
        Q_EMIT wheelTurned(event->position().toPoint() - contentsRect().topLeft(), steps);
    event->accept();
}

void MapWidget::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal: // + without Shift on many keyboards
    case Qt::Key_Minus:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        Q_EMIT navigationKey(event->key());
        event->accept();
        return;
    default:
        PaneWidget::keyPressEvent(event);
    }
}

MapArea::MapArea(SettingsStore& settings, const AppPaths& paths, QWidget* host)
    : QObject(host), m_settings(settings), m_scene(settings, paths), m_host(host), m_filePaths(paths)
{
    m_widget = new MapWidget(m_scene, host);
    connect(&m_scene, &MapScene::aircraftLayerDrawn, m_widget, qOverload<>(&QWidget::update));
    connect(&m_scene, &MapScene::formatErrorsFound, this, [](const BackgroundStatus& st) {
        qCWarning(lcMap) << "map files: malformed records left out:" << st.coastline.formatErrors << "coastline,"
                         << st.airways.formatErrors << "airway," << st.navaids.formatErrors << "nav";
    });
    connect(m_widget, &MapWidget::pressed, this, &MapArea::pressAt);
    connect(m_widget, &MapWidget::released, this, &MapArea::releaseOnMap);
    connect(m_widget, &MapWidget::wheelTurned, this, [this](QPoint at, int steps) {
        for (int i = 0; i < std::abs(steps); ++i)
            zoomAt(at, steps > 0);
    });
    connect(m_widget, &MapWidget::navigationKey, this, [this](int key) {
        switch (key) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            zoomIn();
            break;
        case Qt::Key_Minus:
            zoomOut();
            break;
        case Qt::Key_Left:
            moveLeft();
            break;
        case Qt::Key_Right:
            moveRight();
            break;
        case Qt::Key_Up:
            moveUp();
            break;
        case Qt::Key_Down:
            moveDown();
            break;
        }
    });
    connect(this, &MapArea::clicked, this, &MapArea::hitTestMap);
    connect(this, &MapArea::altitudePaneClicked, this, &MapArea::hitTestAltitudePane);
    createPanes();
    connect(m_widget, &MapWidget::firstShown, this, [this] {
        if (!m_started)
            start();
    });
    connect(m_widget, &MapWidget::surfaceResized, this, [this](QSize size) {
        m_scene.resize(size.width(), size.height());
        if (m_started)
            redrawAll();
    });
    if (host)
        host->installEventFilter(new HostResizeWatcher(*this, this));
    layout();
}

MapArea::~MapArea() = default;

void MapArea::setTrackStore(TrackStore* store)
{
    m_scene.setTrackStore(store);
    if (!store)
        return;
    connect(store, &TrackStore::trackChanged, this, &MapArea::onTrackChanged);
    connect(store, &TrackStore::aircraftRemoved, this, &MapArea::onAircraftRemoved);
    connect(store, &TrackStore::firstAircraftStored, this, [this] {
        if (m_autoSelectButton)
            m_autoSelectButton->setEnabled(true);
        if (m_clearItem)
            m_clearItem->setEnabled(true);
    });
}

void MapArea::setReferenceTables(const ReferenceTables* tables)
{
    m_tables = tables;
    if (tables)
        m_scene.setAirportLookup([tables](std::string_view code) { return tables->LookupAirportName(code); });
    else
        m_scene.setAirportLookup({});
}

// A message produced a fix: the new report and keep-selection flags are
// set, the selection follows the newest aircraft while auto-select is down,
// and the aircraft are redrawn.
void MapArea::onTrackChanged()
{
    MapSelection& sel = m_scene.selection();
    sel.newReport = true;
    sel.keepSelection = true;
    if (sel.hasSelection && sel.autoSelectDown && m_scene.trackStore())
        sel.selected = m_scene.trackStore()->NewestAircraft();
    if (!m_started)
        return;
    m_scene.redrawAircraft(sel.redrawTarget());
}

void MapArea::setAutoSelect(bool down)
{
    MapSelection& sel = m_scene.selection();
    sel.autoSelectDown = down;
    sel.clearModifiers();
    const TrackStore* store = m_scene.trackStore();
    if (down) {
        sel.hasSelection = true;
        sel.keepSelection = false;
        sel.pageTurned = false;
        if (store && store->count() > 0) {
            sel.selected = sel.lastAutoSelected = store->NewestAircraft();
            if (m_started)
                m_scene.redrawAircraft(sel.selected);
        }
    } else {
        sel.lastAutoSelected = -1;
        // The selection ends before the redraw, so that the report pane
        // drawn with it no longer shows the rows inverted.
        sel.hasSelection = false;
        if (m_started)
            m_scene.redrawAircraft(-1);
    }
    setSelectionState(sel.hasSelection);
}

void MapArea::layout()
{
    layout(m_settings.boolean(Key::ShowRep), m_settings.boolean(Key::ShowAlt));
}

void MapArea::layout(bool reportPane, bool altitudePane)
{
    if (!m_host)
        return;
    const PaneSwitches shown{reportPane, altitudePane, m_modemPane && m_settings.boolean(Key::ShowMod)};
    // The host starts below the toolbar row of the client area.
    const PaneLayout l = layoutPanes(m_host->width(), m_host->height() + kToolBarRowPx, shown);
    auto place = [](QWidget* w, const QRect& r) {
        if (!w)
            return;
        w->setVisible(!r.isEmpty());
        if (!r.isEmpty())
            w->setGeometry(r.translated(0, -kToolBarRowPx));
    };
    const int minimum = 2 * kPaneBorderPx + 1;
    m_widget->setGeometry(0, 0, std::max(l.map.width(), minimum), std::max(l.map.height(), minimum));
    place(m_reportWidget, l.report);
    place(m_altitudeWidget, l.altitude);
    place(m_modemPane, l.modem);
    // The layers follow at once, also while the window is not shown yet
    // (a hidden widget gets its resize event only when it appears).
    const QSize surface = m_widget->contentsRect().size();
    m_scene.resize(surface.width(), surface.height());
    m_scene.setPaneSurfaces(paneSurface(l.report).size(), paneSurface(l.altitude).size());
}

void MapArea::start()
{
    m_started = true;
    const QSize size = m_widget->contentsRect().size();
    m_scene.resize(size.width(), size.height());
    redrawAll();
    // From the event loop, not from inside the first drawing.
    QTimer::singleShot(0, this, &MapArea::reportFileErrors);
}

void MapArea::reportFileErrors()
{
    // One box for the files as the program found them at start; a file
    // edited later is only logged (a box at every re-read while someone
    // edits a file would be in the way).
    if (m_fileErrorsShown)
        return;
    m_fileErrorsShown = true;
    const BackgroundStatus& st = m_scene.lastBackgroundStatus();
    QString lines;
    const std::pair<const QString&, const MapFileStatus&> files[] = {
        {m_filePaths.coastline, st.coastline}, {m_filePaths.airways, st.airways}, {m_filePaths.navaids, st.navaids}};
    auto add = [&lines](const QString& path, int count, int firstLine) {
        lines += QStringLiteral("\n%1: %2 件 (最初は %3 行目)").arg(path).arg(count).arg(firstLine);
    };
    for (const auto& [path, status] : files)
        if (status.formatErrors > 0)
            add(path, status.formatErrors, status.firstErrorLine);
    if (m_tables)
        for (const TableFileCheck& check : m_tables->checkFiles())
            add(check.path, check.malformed, check.firstLine);
    if (!lines.isEmpty())
        MessageHub::warning(dialogParent(),
                            QStringLiteral("地図・データファイルに読めない行がありました。読めた行だけを使います。")
                                + lines);
}

void MapArea::redrawAll()
{
    if (!m_started)
        return;
    m_scene.fullRedraw(true);
}

void MapArea::redrawAllForSelection()
{
    if (!m_started)
        return;
    m_scene.fullRedraw(false);
}

void MapArea::redrawKeepingSelection()
{
    if (!m_started)
        return;
    m_scene.selection().keepSelection = true;
    m_scene.redrawAircraft(m_scene.selection().redrawTarget());
}

void MapArea::afterViewChange()
{
    m_scene.viewChanged();
    syncScaleSelector();
    redrawAll();
}

void MapArea::zoomIn()
{
    if (m_scene.view().zoomIn())
        afterViewChange();
}

void MapArea::zoomOut()
{
    if (m_scene.view().zoomOut())
        afterViewChange();
}

void MapArea::zoomAt(QPoint at, bool in)
{
    if (m_scene.view().zoomAbout(at.x(), at.y(), in))
        afterViewChange();
}

void MapArea::setScaleIndex(int index)
{
    if (m_scene.view().setScaleIndex(index))
        afterViewChange();
}

void MapArea::moveLeft()
{
    m_scene.view().moveLeft();
    afterViewChange();
}

void MapArea::moveRight()
{
    m_scene.view().moveRight();
    afterViewChange();
}

void MapArea::moveUp()
{
    m_scene.view().moveUp();
    afterViewChange();
}

void MapArea::moveDown()
{
    m_scene.view().moveDown();
    afterViewChange();
}

void MapArea::setSubDisplayMode(int mode)
{
    m_settings.setInteger(Key::SubDisptype, mode);
    redrawKeepingSelection();
}

void MapArea::setTrackDisplay(bool on)
{
    m_settings.setBoolean(Key::PlotDraw, on);
    redrawKeepingSelection();
}

void MapArea::setCompanyIndex(int index)
{
    setCompanyFilterIndex(index);
    redrawKeepingSelection();
}

void MapArea::setCompanyFilterIndex(int index)
{
    const TrackStore* store = m_scene.trackStore();
    if (index > 0 && store && index < static_cast<int>(store->companyItems().size()))
        m_scene.setCompanyFilter(store->companyItems()[static_cast<size_t>(index)]);
    else
        m_scene.setCompanyFilter(std::string());
}

void MapArea::pressAt(QPoint at)
{
    m_press.press(at.x(), at.y());
}

void MapArea::releaseOnMap(Qt::MouseButton button, QPoint at, Qt::KeyboardModifiers modifiers)
{
    release(button, at, modifiers, true);
}

void MapArea::releaseOnAltitudePane(Qt::MouseButton button, QPoint at, Qt::KeyboardModifiers modifiers)
{
    release(button, at, modifiers, false);
}

void MapArea::release(Qt::MouseButton button, QPoint at, Qt::KeyboardModifiers modifiers, bool onMap)
{
    MapSelection& sel = m_scene.selection();
    sel.shift = modifiers.testFlag(Qt::ShiftModifier);
    sel.alt = modifiers.testFlag(Qt::AltModifier);
    sel.ctrl = modifiers.testFlag(Qt::ControlModifier);
    // A drag repaints without changing the shown flags; a click clears this.
    sel.keepSelection = true;
    switch (m_press.release(button == Qt::LeftButton, at.x(), at.y())) {
    case Gesture::None:
        return;
    case Gesture::Drag:
        m_scene.view().dragBy(m_press.pressX - at.x(), m_press.pressY - at.y(), onMap);
        afterViewChange();
        return;
    case Gesture::Click:
        if (onMap)
            Q_EMIT clicked(at);
        else
            Q_EMIT altitudePaneClicked(at);
        return;
    }
}

void MapArea::redrawSelected()
{
    if (!m_started)
        return;
    m_scene.redrawAircraft(m_scene.selection().redrawTarget());
}

void MapArea::setAirportNames(bool on)
{
    m_settings.setBoolean(Key::Japan, on);
    redrawAllForSelection();
}

void MapArea::setDeclutter(bool on)
{
    m_settings.setBoolean(Key::Declutter, on);
    redrawAllForSelection();
}

void MapArea::setShowRegistration(bool on)
{
    m_settings.setBoolean(Key::ShowRegNo, on);
    redrawSelected();
}

void MapArea::setThreeLetter(bool on)
{
    m_settings.setBoolean(Key::ThreeLetter, on);
    redrawSelected();
}

void MapArea::setZeroDelete(bool on)
{
    m_settings.setBoolean(Key::ZeroDel, on);
    redrawSelected();
}

std::vector<QAction*> MapArea::createMenuEntries(QObject* parent)
{
    struct Option {
        const char* name;
        const char* caption;
        Key key;
        void (MapArea::*set)(bool);
    };
    const Option options[] = {{"AirportNamesItem", "空港名任意表示", Key::Japan, &MapArea::setAirportNames},
                              {"ThreeLetterItem", "レター名任意表示", Key::ThreeLetter, &MapArea::setThreeLetter},
                              {"ZeroDeleteItem", "便名のゼロを取る", Key::ZeroDel, &MapArea::setZeroDelete},
                              {"DeclutterItem", "ラベルの重なりを省く", Key::Declutter, &MapArea::setDeclutter}};
    std::vector<QAction*> entries;
    for (const Option& o : options) {
        auto* action = new QAction(QString::fromUtf8(o.caption), parent);
        action->setObjectName(QLatin1String(o.name));
        action->setCheckable(true);
        action->setChecked(m_settings.boolean(o.key));
        connect(action, &QAction::toggled, this, [this, set = o.set](bool on) { (this->*set)(on); });
        entries.push_back(action);
    }
    // Labels by flight number or by registration: one of the two is checked.
    auto* labels = new QActionGroup(parent);
    labels->setExclusive(true);
    auto* byFlight = new QAction(QStringLiteral("フライト番号で表示"), labels);
    byFlight->setObjectName(QStringLiteral("FlightLabelItem"));
    auto* byRegistration = new QAction(QStringLiteral("登録番号で表示"), labels);
    byRegistration->setObjectName(QStringLiteral("RegistrationLabelItem"));
    for (QAction* a : {byFlight, byRegistration})
        a->setCheckable(true);
    (m_settings.boolean(Key::ShowRegNo) ? byRegistration : byFlight)->setChecked(true);
    connect(byRegistration, &QAction::toggled, this, &MapArea::setShowRegistration);
    entries.push_back(byFlight);
    entries.push_back(byRegistration);

    struct Switch {
        const char* name;
        const char* caption;
        Key key;
        Pane pane;
    };
    const Switch switches[] = {{"ReportPaneItem", "ポジションレポート画面を表示", Key::ShowRep, Pane::Report},
                               {"AltitudePaneItem", "高度表示画面を表示", Key::ShowAlt, Pane::Altitude},
                               {"N27", "モデム・時刻表示画面を表示", Key::ShowMod, Pane::Modem}};
    for (const Switch& sw : switches) {
        auto* action = new QAction(QString::fromUtf8(sw.caption), parent);
        action->setObjectName(QLatin1String(sw.name));
        action->setCheckable(true);
        action->setChecked(m_settings.boolean(sw.key));
        connect(action, &QAction::toggled, this, [this, pane = sw.pane](bool on) { togglePane(pane, on); });
        entries.push_back(action);
    }
    struct Command {
        const char* name;
        const char* caption;
        void (MapArea::*run)();
        QAction** keep;
    };
    const Command commands[] = {
        {"SaveMapItem", "マップ画面を保存", &MapArea::saveMapImage, nullptr},
        {"CopyMapItem", "マップ画面をクリップボードにコピー", &MapArea::copyMapImage, nullptr},
        {"ClearPlotsItem", "プロット画面・受信リストの消去", &MapArea::clearPlotsAndList, &m_clearItem},
        {"DeleteSelectedItem", "選択プロットの削除", &MapArea::deleteSelected, &m_deleteItem}};
    for (const Command& c : commands) {
        auto* action = new QAction(QString::fromUtf8(c.caption), parent);
        action->setObjectName(QLatin1String(c.name));
        connect(action, &QAction::triggered, this, [this, run = c.run] { (this->*run)(); });
        if (c.keep)
            *c.keep = action;
        entries.push_back(action);
    }
    const TrackStore* store = m_scene.trackStore();
    m_clearItem->setEnabled(store && store->count() > 0);
    m_deleteItem->setEnabled(m_scene.selection().hasSelection);
    return entries;
}

void MapArea::syncScaleSelector()
{
    if (m_scaleSelector && m_scaleSelector->currentIndex() != m_scene.view().scaleIndex) {
        const QSignalBlocker block(m_scaleSelector);
        m_scaleSelector->setCurrentIndex(m_scene.view().scaleIndex);
    }
}

std::vector<QWidget*> MapArea::createControls(QWidget* bar, QComboBox* companySelector)
{
    std::vector<QWidget*> controls;
    {
        struct Move {
            const char* name;
            const char* hint;
            const char* text;
            void (MapArea::*op)();
        };
        const Move moves[] = {{"SpeedButton12", "左へ移動", "◀", &MapArea::moveLeft},
                              {"SpeedButton15", "右へ移動", "▶", &MapArea::moveRight},
                              {"SpeedButton13", "上へ移動", "▲", &MapArea::moveUp},
                              {"SpeedButton14", "下へ移動", "▼", &MapArea::moveDown}};
        for (const Move& m : moves) {
            QToolButton* b =
                makeButton(bar, controls, m.name, QString::fromUtf8(m.hint), QString::fromUtf8(m.text), false);
            connect(b, &QToolButton::clicked, this, [this, op = m.op] { (this->*op)(); });
        }

        QToolButton* track =
            makeButton(bar, controls, "SpeedButton16", QStringLiteral("軌跡表示"), QStringLiteral("軌跡"), true);
        track->setChecked(m_settings.boolean(Key::PlotDraw));
        connect(track, &QToolButton::toggled, this, [this](bool on) { setTrackDisplay(on); });

        m_subDisplay = new QButtonGroup(this);
        m_subDisplay->setExclusive(true);
        struct Sub {
            const char* name;
            const char* hint;
            const char* text;
        };
        const Sub subs[] = {{"SpeedButton9", "サブ表示（フライトレベル）", "FL"},
                            {"SpeedButton10", "サブ表示（時刻）", "時刻"},
                            {"SpeedButton11", "サブ表示（データ）", "データ"}};
        const int stored = m_settings.integer(Key::SubDisptype);
        const int mode = stored == 1 || stored == 2 ? stored : 0;
        for (int i = 0; i < 3; ++i) {
            QToolButton* b = makeButton(bar, controls, subs[i].name, QString::fromUtf8(subs[i].hint),
                                        QString::fromUtf8(subs[i].text), true);
            m_subDisplay->addButton(b, i);
            b->setChecked(i == mode);
        }
        connect(m_subDisplay, &QButtonGroup::idClicked, this, [this](int id) { setSubDisplayMode(id); });

        QToolButton* in =
            makeButton(bar, controls, "SpeedButton19", QStringLiteral("ズームイン"), QStringLiteral("＋"), false);
        connect(in, &QToolButton::clicked, this, &MapArea::zoomIn);
        QToolButton* out =
            makeButton(bar, controls, "SpeedButton20", QStringLiteral("ズームアウト"), QStringLiteral("－"), false);
        connect(out, &QToolButton::clicked, this, &MapArea::zoomOut);

        struct Layer {
            const char* name;
            const char* hint;
            Key key;
            char symbol; // point type of the icon, or 0 for an airway
            Key colour;
        };
        const Layer layers[] = {
            {"SpeedButton21", "VOR/DME表示", Key::DispVOR, '1', Key::MapPointVORTAC},
            {"SpeedButton22", "VORTAC表示", Key::DispTAC, '2', Key::MapPointNDB},
            {"SpeedButton23", "NDB表示", Key::DispNDB, '3', Key::MapPointNAV},
            {"SpeedButton24", "Waypoint表示", Key::DispWPT, '4', Key::MapPointAirPort},
            {"SpeedButton28", "空港表示", Key::DispAPT, '5', Key::MapPointVORDME},
            {"SpeedButton25", "VOR航路表示", Key::LineVOR, 0, Key::MapAirwayVOR},
            {"SpeedButton26", "NDB航路表示", Key::LineNDB, 0, Key::MapAirwayNDB},
            {"SpeedButton27", "NAV航路表示", Key::LineNAV, 0, Key::MapAirwayNAV},
        };
        for (const Layer& l : layers) {
            const QString hint = QString::fromUtf8(l.hint);
            QToolButton* b = makeButton(bar, controls, l.name, hint, hint, true);
            b->setIcon(l.symbol ? symbolIcon(l.symbol, m_settings.colour(l.colour))
                                : airwayIcon(m_settings.colour(l.colour)));
            b->setToolButtonStyle(Qt::ToolButtonIconOnly);
            b->setChecked(m_settings.boolean(l.key));
            connect(b, &QToolButton::toggled, this, [this, key = l.key](bool down) {
                m_settings.setBoolean(key, down);
                redrawAll();
            });
        }
    }

    {
        auto* scaleSelector = new QComboBox(bar);
        scaleSelector->setObjectName(QStringLiteral("ComboBox1"));
        scaleSelector->setToolTip(QStringLiteral("マップ倍率設定"));
        m_scaleSelector = scaleSelector;
        controls.push_back(scaleSelector);
        const QSignalBlocker block(scaleSelector);
        scaleSelector->clear();
        for (int s : kScaleList)
            scaleSelector->addItem(QString::number(s) + QLatin1Char('%'));
        scaleSelector->setMaxVisibleItems(12);
        scaleSelector->setCurrentIndex(m_scene.view().scaleIndex);
        connect(scaleSelector, &QComboBox::activated, this, [this](int index) { setScaleIndex(index); });
    }
    m_autoSelectButton =
        makeButton(bar, controls, "SpeedButton8", QStringLiteral("自動新規受信選択"), QStringLiteral("自動"), true);
    m_autoSelectButton->setEnabled(m_scene.trackStore() && m_scene.trackStore()->count() > 0);
    connect(m_autoSelectButton, &QToolButton::toggled, this, &MapArea::setAutoSelect);
    m_companySelector = companySelector;
    if (companySelector) {
        if (TrackStore* store = m_scene.trackStore())
            bindCompanySelector(companySelector, *store);
        // The filter follows the box's current item however it changes: when
        // the box is refilled and set back to "ALL" (an operator's last
        // aircraft removed, the store cleared), a filter left on the old code
        // would hide every aircraft. A choice by the user also redraws.
        connect(companySelector, &QComboBox::currentIndexChanged, this,
                [this](int index) { setCompanyFilterIndex(index); });
        connect(companySelector, &QComboBox::activated, this, [this](int) { redrawKeepingSelection(); });
    }
    return controls;
}

} // namespace varnesk
