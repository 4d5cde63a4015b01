// The map widget and its toolbar controls: pans of 50 pixels, zoom through
// the 14 scales, a drag of more than 10 pixels moves the chart, and every
// change of view or layer ends with the full redraw of background and aircraft.
#include "map/ui/map_area.h"

#include "aircraft/ui/company_selector.h"

#include "app/station.h"
#include "app/ui/main_window.h"
#include "map/background_renderer.h"
#include "decode/sjis.h"
#include "map/canvas.h"
#include "settings/settings_store.h"
#include "tracking/track_store.h"

#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QPointer>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QShowEvent>
#include <QBitmap>
#include <QPainter>
#include <QPixmap>
#include <QToolBar>
#include <QToolButton>

namespace varnesk {

Q_LOGGING_CATEGORY(lcMap, "varnesk.map")

namespace {

constexpr int kIconPx = 16;

// Keeps the map placed when the host (central widget) is resized.
class HostResizeWatcher : public QObject {
public:
    HostResizeWatcher(MapArea& area, QObject* parent) : QObject(parent), m_area(area) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize)
            m_area.layout();
        return QObject::eventFilter(watched, event);
    }

private:
    MapArea& m_area;
};

QIcon symbolIcon(char type, uint32_t settingsColour)
{
    QImage img(kIconPx, kIconPx, QImage::Format_RGB32);
    img.fill(0xFFFFFFFFu);
    {
        Canvas c(img);
        drawPointSymbol(c, type, kIconPx / 2, type == '5' ? 12 : kIconPx / 2, rgbOf(settingsColour));
    }
    QImage mask = img.createMaskFromColor(0xFFFFFFFFu, Qt::MaskOutColor);
    QPixmap pm = QPixmap::fromImage(img);
    pm.setMask(QBitmap::fromImage(mask));
    return QIcon(pm);
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
    QPixmap pm = QPixmap::fromImage(rgb);
    pm.setMask(QBitmap::fromImage(rgb.createMaskFromColor(0xFFFFFFFFu, Qt::MaskOutColor)));
    return QIcon(pm);
}

QToolButton* makeButton(QToolBar* bar, QAction* before, const char* name, const QString& hint, const QString& text,
                        bool checkable)
{
    auto* button = new QToolButton(bar);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(hint);
    button->setText(text);
    button->setCheckable(checkable);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    if (before)
        bar->insertWidget(before, button);
    else
        bar->addWidget(button);
    return button;
}

QAction* actionOf(QToolBar* bar, QWidget* widget)
{
    if (!bar || !widget)
        return nullptr;
    for (QAction* a : bar->actions())
        if (bar->widgetForAction(a) == widget)
            return a;
    return nullptr;
}

QAction* actionAfter(QToolBar* bar, QAction* action)
{
    if (!bar || !action)
        return nullptr;
    const QList<QAction*> all = bar->actions();
    const qsizetype i = all.indexOf(action);
    return i >= 0 && i + 1 < all.size() ? all[i + 1] : nullptr;
}

} // namespace

MapWidget::MapWidget(MapScene& scene, QWidget* parent) : QFrame(parent), m_scene(scene)
{
    setObjectName(QStringLiteral("MapPanel"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(kPaneBorderPx);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void MapWidget::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter p(this);
    const QRect inner = contentsRect();
    p.setClipRect(inner);
    p.fillRect(inner, Qt::black);
    p.drawImage(inner.topLeft(), m_scene.picture());
}

void MapWidget::showEvent(QShowEvent* event)
{
    QFrame::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        if (onFirstShow)
            onFirstShow();
    }
}

void MapWidget::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    if (onSurfaceResized)
        onSurfaceResized(contentsRect().size());
}

void MapWidget::mousePressEvent(QMouseEvent* event)
{
    if (onPress)
        onPress(event->position().toPoint() - contentsRect().topLeft());
    event->accept();
}

void MapWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (onRelease)
        onRelease(event->button(), event->position().toPoint() - contentsRect().topLeft(), event->modifiers());
    event->accept();
}

MapArea::MapArea(SettingsStore& settings, const AppPaths& paths, QWidget* host)
    : QObject(host), m_settings(settings), m_scene(settings, paths), m_host(host)
{
    m_widget = new MapWidget(m_scene, host);
    m_scene.onShow = [this] { m_widget->update(); };
    m_scene.onFormatErrors = [](const BackgroundStatus& st) {
        // Reported once per rebuild in the log only: a box at every drag
        // would make the map unusable, and the record is simply left out.
        qCWarning(lcMap) << "map files: malformed records left out:" << st.coastline.formatErrors << "coastline (first line"
                         << st.coastline.firstErrorLine << ")," << st.airways.formatErrors << "airway (first line"
                         << st.airways.firstErrorLine << ")," << st.navaids.formatErrors << "nav (first line"
                         << st.navaids.firstErrorLine << ")";
    };
    m_widget->onPress = [this](QPoint at) { pressAt(at); };
    m_widget->onRelease = [this](Qt::MouseButton b, QPoint at, Qt::KeyboardModifiers m) { releaseOnMap(b, at, m); };
    m_widget->onFirstShow = [this] {
        if (!m_started)
            start();
    };
    m_widget->onSurfaceResized = [this](QSize size) {
        m_scene.resize(size.width(), size.height());
        if (m_started)
            redrawAll();
    };
    if (host)
        host->installEventFilter(new HostResizeWatcher(*this, this));
    layout();
}

MapArea::~MapArea() = default;

MapArea* MapArea::install(MainWindow& window)
{
    QWidget* host = window.centralWidget();
    auto* area = new MapArea(window.settings(), window.paths(), host);
    area->setObjectName(QStringLiteral("MapArea"));
    area->installControls(window.toolBar(), window.scaleSelector(), window.operatorSelector());
    Station& station = window.station();
    TrackStore& store = station.tracking().store();
    area->setTrackStore(&store);
    // A stored fix redraws the aircraft with the selection kept (following
    // the newest aircraft belongs to the selection logic, which may take
    // this hook over).
    if (!store.onRefreshDisplay)
        store.onRefreshDisplay = [guard = QPointer<MapArea>(area)](std::string_view, std::string_view) {
            if (guard)
                guard->redrawKeepingSelection();
        };
    if (QComboBox* company = window.operatorSelector(); company && !store.onCompanyItemAdded)
        bindCompanySelector(company, store);
    const ReferenceTables* tables = &station.tracking().tables();
    area->scene().setAirportLookup([tables](std::string_view code) { return tables->LookupAirportName(code); });
    return area;
}

void MapArea::layout()
{
    layout(m_settings.boolean(Key::ShowRep), m_settings.boolean(Key::ShowAlt));
}

void MapArea::layout(bool reportPane, bool altitudePane)
{
    if (!m_host)
        return;
    const int w = m_host->width() - (reportPane ? kReportPaneWidth : 0);
    const int h = m_host->height() - (altitudePane ? kAltitudePaneHeight : 0);
    m_widget->setGeometry(0, 0, std::max(w, 2 * kPaneBorderPx + 1), std::max(h, 2 * kPaneBorderPx + 1));
    // The layers follow at once, also while the window is not shown yet
    // (a hidden widget gets its resize event only when it appears).
    const QSize surface = m_widget->contentsRect().size();
    m_scene.resize(surface.width(), surface.height());
}

void MapArea::start()
{
    m_started = true;
    const QSize size = m_widget->contentsRect().size();
    m_scene.resize(size.width(), size.height());
    redrawAll();
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
    m_scene.redrawAircraft(m_scene.selection().selected);
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
    switch (m_press.release(button == Qt::LeftButton, at.x(), at.y())) {
    case Gesture::None:
        return;
    case Gesture::Drag:
        m_scene.view().dragBy(m_press.pressX - at.x(), m_press.pressY - at.y(), onMap);
        afterViewChange();
        return;
    case Gesture::Click:
        if (onMap && onClick)
            onClick(at);
        if (!onMap && onAltitudePaneClick)
            onAltitudePaneClick(at);
        return;
    }
}

void MapArea::redrawSelected()
{
    if (!m_started)
        return;
    m_scene.redrawAircraft(m_scene.selection().selected);
}

void MapArea::setAirportNames(bool on)
{
    m_settings.setBoolean(Key::Japan, on);
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

void MapArea::syncScaleSelector()
{
    if (m_scaleSelector && m_scaleSelector->currentIndex() != m_scene.view().scaleIndex) {
        const QSignalBlocker block(m_scaleSelector);
        m_scaleSelector->setCurrentIndex(m_scene.view().scaleIndex);
    }
}

void MapArea::installControls(QToolBar* bar, QComboBox* scaleSelector, QComboBox* companySelector)
{
    m_scaleSelector = scaleSelector;
    QAction* scaleAction = actionOf(bar, scaleSelector);
    QAction* afterScale = actionAfter(bar, scaleAction);

    if (bar) {
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
            QToolButton* b = makeButton(bar, scaleAction, m.name, QString::fromUtf8(m.hint), QString::fromUtf8(m.text), false);
            connect(b, &QToolButton::clicked, this, [this, op = m.op] { (this->*op)(); });
        }

        QToolButton* track = makeButton(bar, scaleAction, "SpeedButton16", QStringLiteral("軌跡表示"),
                                        QStringLiteral("軌跡"), true);
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
            QToolButton* b = makeButton(bar, scaleAction, subs[i].name, QString::fromUtf8(subs[i].hint),
                                        QString::fromUtf8(subs[i].text), true);
            m_subDisplay->addButton(b, i);
            b->setChecked(i == mode);
        }
        connect(m_subDisplay, &QButtonGroup::idClicked, this, [this](int id) { setSubDisplayMode(id); });

        QToolButton* in = makeButton(bar, scaleAction, "SpeedButton19", QStringLiteral("ズームイン"), QStringLiteral("＋"), false);
        connect(in, &QToolButton::clicked, this, &MapArea::zoomIn);
        QToolButton* out = makeButton(bar, scaleAction, "SpeedButton20", QStringLiteral("ズームアウト"), QStringLiteral("－"), false);
        connect(out, &QToolButton::clicked, this, &MapArea::zoomOut);

        struct Layer {
            const char* name;
            const char* hint;
            Key key;
            char symbol;   // point type of the icon, or 0 for an airway
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
            QToolButton* b = makeButton(bar, afterScale, l.name, hint, hint, true);
            b->setIcon(l.symbol ? symbolIcon(l.symbol, m_settings.colour(l.colour)) : airwayIcon(m_settings.colour(l.colour)));
            b->setToolButtonStyle(Qt::ToolButtonIconOnly);
            b->setChecked(m_settings.boolean(l.key));
            connect(b, &QToolButton::toggled, this, [this, key = l.key](bool down) {
                m_settings.setBoolean(key, down);
                redrawAll();
            });
        }
    }

    if (scaleSelector) {
        const QSignalBlocker block(scaleSelector);
        scaleSelector->clear();
        for (int s : kScaleList)
            scaleSelector->addItem(QString::number(s) + QLatin1Char('%'));
        scaleSelector->setMaxVisibleItems(12);
        scaleSelector->setCurrentIndex(m_scene.view().scaleIndex);
        connect(scaleSelector, &QComboBox::activated, this, [this](int index) { setScaleIndex(index); });
    }
    if (companySelector) {
        // The filter follows the box's current item however it changes: when
        // the box is refilled and set back to "ALL" (an operator's last
        // aircraft removed, the store cleared), a filter left on the old code
        // would hide every aircraft. A choice by the user also redraws.
        connect(companySelector, &QComboBox::currentIndexChanged, this,
                [this](int index) { setCompanyFilterIndex(index); });
        connect(companySelector, &QComboBox::activated, this, [this](int) { redrawKeepingSelection(); });
    }
}

} // namespace varnesk
