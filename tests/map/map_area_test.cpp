// The map area's window side: toolbar controls with their names and hints,
// the scale selector, zoom, pan and drag redrawing at once, layer toggles
// and switches kept in the settings, the layout beside the panes.
#include "aircraft/aircraft_list.h"
#include "aircraft/reference_tables.h"
#include "app/ui/main_window.h"
#include "app/ui/program_wiring.h"
#include "map/canvas.h"
#include "map/ui/company_selector.h"
#include "map/ui/map_area.h"
#include "map/ui/pane_widget.h"
#include "settings/app_paths.h"
#include "settings/settings_store.h"
#include "tracking/track_store.h"
#include "widgets/message_hub.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QWheelEvent>

#include "../gui_app.h"

#include <gtest/gtest.h>

#include <memory>

namespace varnesk {
namespace {

class MapAreaTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        test::ensureGuiApp();
        MessageHub::setAnswerer([](MessageHub::Kind, const QString&) { return true; });
    }

    void SetUp() override
    {
        const QString dir = QStringLiteral(VARNESK_SOURCE_DIR "/appdata");
        paths.coastline = dir + QStringLiteral("/lines/coastline.dat");
        paths.airways = dir + QStringLiteral("/lines/airway.txt");
        paths.navaids = dir + QStringLiteral("/points/nav.txt");
        window = std::make_unique<QWidget>();
        window->resize(1000, 760);
        bar = new QToolBar(window.get());
        company = new QComboBox(bar);
        bar->addWidget(company);
        bar->setGeometry(0, 0, 1000, 30);
        host = new QWidget(window.get());
        host->setGeometry(0, 30, 1000, 730);
        area = new MapArea(settings, paths, host);
        for (QWidget* control : area->createControls(bar, company))
            bar->addWidget(control);
        scale = bar->findChild<QComboBox*>(QStringLiteral("ComboBox1"));
        area->scene().setAirportLookup(
            [](std::string_view code) { return code == "RJTT" ? std::string("TOKYO HANEDA") : std::string(code); });
    }

    void show()
    {
        window->show();
        QApplication::processEvents();
    }

    template <class T>
    T* child(const char* name)
    {
        return window->findChild<T*>(QLatin1String(name));
    }

    void mouse(QEvent::Type type, Qt::MouseButton button, QPoint at, Qt::KeyboardModifiers mods = {})
    {
        // Positions in the drawing surface, inside the 2-pixel border.
        const QPointF local = at + area->widget()->contentsRect().topLeft();
        QMouseEvent ev(type, local, area->widget()->mapToGlobal(local), button,
                       type == QEvent::MouseButtonPress ? button : Qt::NoButton, mods);
        QApplication::sendEvent(area->widget(), &ev);
    }

    SettingsStore settings;
    AppPaths paths;
    std::unique_ptr<QWidget> window;
    QToolBar* bar = nullptr;
    QComboBox* scale = nullptr;
    QComboBox* company = nullptr;
    QWidget* host = nullptr;
    MapArea* area = nullptr;
};

TEST_F(MapAreaTest, ToolbarControlsCarryTheirNamesAndHints)
{
    struct Control {
        const char* name;
        const char* hint;
        bool checkable;
    };
    const Control controls[] = {
        {"SpeedButton12", "左へ移動", false},        {"SpeedButton15", "右へ移動", false},
        {"SpeedButton13", "上へ移動", false},        {"SpeedButton14", "下へ移動", false},
        {"SpeedButton19", "ズームイン", false},      {"SpeedButton20", "ズームアウト", false},
        {"SpeedButton16", "軌跡表示", true},         {"SpeedButton9", "サブ表示（フライトレベル）", true},
        {"SpeedButton10", "サブ表示（時刻）", true}, {"SpeedButton11", "サブ表示（データ）", true},
        {"SpeedButton21", "VOR/DME表示", true},      {"SpeedButton22", "VORTAC表示", true},
        {"SpeedButton23", "NDB表示", true},          {"SpeedButton24", "Waypoint表示", true},
        {"SpeedButton28", "空港表示", true},         {"SpeedButton25", "VOR航路表示", true},
        {"SpeedButton26", "NDB航路表示", true},      {"SpeedButton27", "NAV航路表示", true},
    };
    for (const Control& c : controls) {
        SCOPED_TRACE(c.name);
        QToolButton* b = child<QToolButton>(c.name);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->toolTip(), QString::fromUtf8(c.hint));
        EXPECT_EQ(b->isCheckable(), c.checkable);
        if (c.checkable && std::string_view(c.name) != "SpeedButton10" && std::string_view(c.name) != "SpeedButton11") {
            EXPECT_TRUE(b->isChecked()); // every layer and the track display default to on; mode 0
        }
    }
    ASSERT_EQ(scale->count(), 14);
    EXPECT_EQ(scale->itemText(0), QStringLiteral("5%"));
    EXPECT_EQ(scale->itemText(13), QStringLiteral("600%"));
    EXPECT_EQ(scale->currentIndex(), 3);
    EXPECT_EQ(scale->maxVisibleItems(), 12);
}

TEST_F(MapAreaTest, LayerIconsShowTheSymbolOnATransparentGround)
{
    // The symbol in its settings colour, the white ground made transparent:
    // not the other way round, which washes every layer out alike.
    for (const char* name : {"SpeedButton21", "SpeedButton28", "SpeedButton25"}) {
        SCOPED_TRACE(name);
        auto* button = child<QToolButton>(name);
        ASSERT_NE(button, nullptr);
        const QImage icon = button->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
        int symbol = 0, clear = 0;
        for (int y = 0; y < icon.height(); ++y)
            for (int x = 0; x < icon.width(); ++x) {
                const QRgb p = icon.pixel(x, y);
                if (qAlpha(p) == 0)
                    ++clear;
                else if ((p & 0xFFFFFFu) != 0xFFFFFFu)
                    ++symbol;
            }
        EXPECT_GT(symbol, 4);
        EXPECT_GT(clear, icon.width() * icon.height() / 2);
    }
}

TEST_F(MapAreaTest, NothingIsDrawnBeforeTheWindowIsShown)
{
    EXPECT_FALSE(area->started());
    area->zoomIn();
    EXPECT_EQ(area->scene().picture().width(), area->widget()->contentsRect().width());
    EXPECT_EQ(area->scene().lastBackgroundStatus().coastline.records, 0);
    show();
    EXPECT_TRUE(area->started());
    EXPECT_GT(area->scene().lastBackgroundStatus().coastline.records, 0);
}

TEST_F(MapAreaTest, ZoomPanAndScaleSelectorRedrawAtOnceAndKeepTheSettings)
{
    show();
    const QImage before = area->scene().picture().copy();
    child<QToolButton>("SpeedButton19")->click();
    EXPECT_EQ(area->scene().view().scaleIndex, 4);
    EXPECT_EQ(settings.integer(Key::MapScale), 4);
    EXPECT_EQ(scale->currentIndex(), 4);
    EXPECT_NE(area->scene().picture(), before);

    scale->activated(13);
    EXPECT_EQ(area->scene().view().scale, 600);
    child<QToolButton>("SpeedButton19")->click(); // at the last entry: nothing
    EXPECT_EQ(area->scene().view().scaleIndex, 13);
    scale->activated(0);
    child<QToolButton>("SpeedButton20")->click();
    EXPECT_EQ(area->scene().view().scaleIndex, 0);

    child<QToolButton>("SpeedButton15")->click(); // 50 px at 5 px/deg
    EXPECT_DOUBLE_EQ(settings.real(Key::MapCentE), 149.0);
    child<QToolButton>("SpeedButton13")->click();
    EXPECT_DOUBLE_EQ(settings.real(Key::MapCentN), 46.5);
    const QImage moved = area->scene().picture().copy();
    child<QToolButton>("SpeedButton14")->click();
    child<QToolButton>("SpeedButton12")->click();
    EXPECT_DOUBLE_EQ(area->scene().view().centreLat, 36.5);
    EXPECT_DOUBLE_EQ(area->scene().view().centreLon, 139.0);
    EXPECT_NE(area->scene().picture(), moved);
}

TEST_F(MapAreaTest, WheelZoomsAboutThePointerAndKeysZoomAndPan)
{
    show();
    const MapView& v = area->scene().view();
    const QPoint at(150, 100);
    const double lat = v.centreLat - (at.y() - v.height / 2) / v.scale;
    const double lon = v.centreLon + (at.x() - v.width / 2) / v.scale;
    const auto wheel = [this](QPoint where, int delta) {
        const QPointF local = where + area->widget()->contentsRect().topLeft();
        QWheelEvent ev(local, area->widget()->mapToGlobal(local), {}, QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                       Qt::NoScrollPhase, false);
        QApplication::sendEvent(area->widget(), &ev);
    };
    wheel(at, 60); // half a notch: nothing yet
    EXPECT_EQ(v.scaleIndex, 3);
    wheel(at, 60);
    EXPECT_EQ(v.scaleIndex, 4);
    EXPECT_EQ(settings.integer(Key::MapScale), 4);
    EXPECT_EQ(scale->currentIndex(), 4);
    const ProjectedPoint p = v.project(lat, lon);
    EXPECT_NEAR(p.x, at.x(), 1);
    EXPECT_NEAR(p.y, at.y(), 1);
    wheel(at, -240);
    EXPECT_EQ(v.scaleIndex, 2);

    const auto key = [this](int k) {
        QKeyEvent ev(QEvent::KeyPress, k, Qt::NoModifier);
        QApplication::sendEvent(area->widget(), &ev);
    };
    key(Qt::Key_Plus);
    EXPECT_EQ(v.scaleIndex, 3);
    key(Qt::Key_Minus);
    EXPECT_EQ(v.scaleIndex, 2);
    const double before = v.centreLon;
    key(Qt::Key_Right);
    EXPECT_GT(v.centreLon, before);
    key(Qt::Key_Left);
    EXPECT_DOUBLE_EQ(v.centreLon, before);
    const double north = v.centreLat;
    key(Qt::Key_Up);
    EXPECT_GT(v.centreLat, north);
    EXPECT_DOUBLE_EQ(settings.real(Key::MapCentN), v.centreLat);
}

TEST_F(MapAreaTest, DragPansClickGoesToSelectionRightButtonDoesNothing)
{
    show();
    int clicks = 0;
    QObject::connect(area, &MapArea::clicked, [&](QPoint) { ++clicks; });
    const double lon = area->scene().view().centreLon;
    const double lat = area->scene().view().centreLat;

    mouse(QEvent::MouseButtonPress, Qt::LeftButton, {200, 200});
    mouse(QEvent::MouseButtonRelease, Qt::LeftButton, {210, 190});
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(area->scene().view().centreLon, lon);

    const QImage before = area->scene().picture().copy();
    mouse(QEvent::MouseButtonPress, Qt::LeftButton, {200, 200});
    mouse(QEvent::MouseButtonRelease, Qt::LeftButton, {260, 170}, Qt::ShiftModifier);
    EXPECT_DOUBLE_EQ(area->scene().view().centreLon, lon - 60 / 30.0);
    EXPECT_DOUBLE_EQ(area->scene().view().centreLat, lat - 1.0);
    EXPECT_TRUE(area->scene().selection().shift);
    EXPECT_NE(area->scene().picture(), before);
    EXPECT_EQ(clicks, 1);

    // The altitude pane shares the press and moves only the longitude.
    area->pressAt({100, 50});
    area->releaseOnAltitudePane(Qt::LeftButton, {70, 10}, {});
    EXPECT_DOUBLE_EQ(area->scene().view().centreLon, lon - 1.0);
    EXPECT_DOUBLE_EQ(area->scene().view().centreLat, lat - 1.0);
    area->pressAt({70, 10});
    area->releaseOnAltitudePane(Qt::LeftButton, {130, 50}, {});

    mouse(QEvent::MouseButtonPress, Qt::RightButton, {200, 200});
    mouse(QEvent::MouseButtonRelease, Qt::RightButton, {300, 300});
    EXPECT_DOUBLE_EQ(area->scene().view().centreLon, lon - 3.0);
    EXPECT_EQ(clicks, 1);
}

TEST_F(MapAreaTest, SwitchesGoToTheSettingsAndRedraw)
{
    show();
    QImage before = area->scene().picture().copy();
    child<QToolButton>("SpeedButton25")->click();
    EXPECT_FALSE(settings.boolean(Key::LineVOR));
    EXPECT_NE(area->scene().picture(), before);
    child<QToolButton>("SpeedButton25")->click();
    EXPECT_TRUE(settings.boolean(Key::LineVOR));
    EXPECT_EQ(area->scene().picture(), before);

    child<QToolButton>("SpeedButton11")->click();
    EXPECT_EQ(settings.integer(Key::SubDisptype), 2);
    EXPECT_FALSE(child<QToolButton>("SpeedButton9")->isChecked());
    EXPECT_TRUE(area->scene().selection().keepSelection);
    child<QToolButton>("SpeedButton16")->click();
    EXPECT_FALSE(settings.boolean(Key::PlotDraw));

    area->scene().selection().keepSelection = false;
    area->setShowRegistration(true);
    EXPECT_TRUE(settings.boolean(Key::ShowRegNo));
    EXPECT_FALSE(area->scene().selection().keepSelection);
    // Every label drawn, so the Tokyo airports' names cannot hide Haneda's.
    area->setDeclutter(false);
    EXPECT_FALSE(settings.boolean(Key::Declutter));
    before = area->scene().background().copy();
    area->setAirportNames(true);
    EXPECT_TRUE(settings.boolean(Key::Japan));
    EXPECT_FALSE(area->scene().selection().keepSelection);
    EXPECT_NE(area->scene().background(), before); // airport codes became names (the lookup of the window)
}

TEST_F(MapAreaTest, MapLeavesRoomForTheShownPanes)
{
    show();
    EXPECT_EQ(area->widget()->geometry(), QRect(0, 0, 1000 - 204, 730 - 202));
    EXPECT_EQ(area->scene().view().width, 1000 - 204 - 4); // inside the 2-pixel border
    EXPECT_EQ(area->scene().view().height, 730 - 202 - 4);
    area->layout(false, false);
    QApplication::processEvents();
    EXPECT_EQ(area->widget()->geometry(), QRect(0, 0, 1000, 730));
    EXPECT_EQ(area->scene().picture().size(), QSize(996, 726));
    host->resize(1100, 700);
    QApplication::processEvents();
    EXPECT_EQ(area->widget()->width(), 1100 - 204);
}

TEST(CompanySelector, FollowsTheStore)
{
    test::ensureGuiApp();
    QComboBox box;
    box.setObjectName(QStringLiteral("ComboBox2"));
    TrackStore store(10, 50);
    bindCompanySelector(&box, store);
    EXPECT_EQ(box.count(), 1);
    EXPECT_EQ(box.itemText(0), QStringLiteral("ALL"));
    TrackFix fix;
    fix.registration = ".JA8089";
    fix.latitude = 35;
    fix.longitude = 139;
    for (const char* f : {"JL0503", "NH0001", "JL0001"}) {
        fix.flight = f;
        store.AddTrackPoint(fix);
    }
    ASSERT_EQ(box.count(), 3);
    EXPECT_EQ(box.itemText(1), QStringLiteral("JL"));
    EXPECT_EQ(box.itemText(2), QStringLiteral("NH"));
    EXPECT_EQ(box.maxVisibleItems(), 4);
    box.setCurrentIndex(2);
    ASSERT_TRUE(store.removeEntry(1).companyItemRemoved);
    refillCompanySelector(&box, store);
    EXPECT_EQ(box.count(), 2);
    EXPECT_EQ(box.currentIndex(), 0);
}

TEST_F(MapAreaTest, CompanyFilterFollowsTheSelectorBackToAll)
{
    constexpr uint32_t kHead = 0x0000F0, kHighlight = 0xF0F0F0; // blue, green, red
    settings.setColour(Key::PlotOnColor, kHead);
    settings.setColour(Key::PlotMarkUpColor, kHighlight);
    TrackStore store(10, 50);
    bindCompanySelector(company, store);
    area->setTrackStore(&store);
    auto addFix = [&](const char* flight, double lat, double lon) {
        TrackFix fix;
        fix.flight = flight;
        fix.registration = "JA8089";
        fix.time = "1200";
        fix.latitude = lat;
        fix.longitude = lon;
        fix.altitude = 35000;
        store.AddTrackPoint(fix);
    };
    addFix("QQ0012", 36.5, 137.0);
    addFix("ZZ0101", 34.5, 141.0); // the newest: its head is highlighted
    ASSERT_EQ(company->count(), 3);
    show();
    const ProjectedPoint qq = area->scene().view().project(36.5, 137.0);
    const ProjectedPoint zz = area->scene().view().project(34.5, 141.0);
    auto headAt = [&](const ProjectedPoint& p, uint32_t colour) {
        return (area->scene().picture().pixel(p.x, p.y) & 0xFFFFFFu) == (rgbOf(colour) & 0xFFFFFFu);
    };
    EXPECT_TRUE(headAt(qq, kHead));
    EXPECT_TRUE(headAt(zz, kHighlight));

    company->setCurrentIndex(1); // the user picks "QQ"
    company->activated(1);
    EXPECT_TRUE(headAt(qq, kHead));
    EXPECT_FALSE(headAt(zz, kHighlight));

    // The box is refilled and set back to "ALL" by the program, not the user:
    // the next redraw shows every operator again.
    refillCompanySelector(company, store);
    area->redrawKeepingSelection();
    EXPECT_TRUE(headAt(qq, kHead));
    EXPECT_TRUE(headAt(zz, kHighlight));
    area->setTrackStore(nullptr);
}

TEST(MapAreaInstallTest, MainWindowGetsTheMapAndItsControls)
{
    test::ensureGuiApp();
    MessageHub::setAnswerer([](MessageHub::Kind, const QString&) { return true; });
    QTemporaryDir dir;
    MainWindow::Options options;
    options.appDir = dir.path();
    options.programName = QStringLiteral("varnesk");
    MainWindow window(options);
    ASSERT_NE(window.mapArea(), nullptr);
    EXPECT_NE(window.findChild<QToolButton*>(QStringLiteral("SpeedButton21")), nullptr);
    EXPECT_EQ(window.scaleSelector()->count(), 14);
    EXPECT_EQ(window.mapArea()->widget()->parentWidget(), window.centralWidget());
    // The map leaves the context menu to the main window's popup menu.
    window.show();
    QApplication::processEvents();
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(50, 50),
                           window.mapArea()->widget()->mapToGlobal(QPoint(50, 50)));
    QApplication::sendEvent(window.mapArea()->widget(), &menu);
    EXPECT_TRUE(window.popupMenu()->isVisible());
    window.popupMenu()->hide();
}

// A store with aircraft at known places, the map's menu entries and the selector.
class MapSelectionTest : public MapAreaTest {
protected:
    void SetUp() override
    {
        MapAreaTest::SetUp();
        store = std::make_unique<TrackStore>(10, 50);
        bindCompanySelector(company, *store);
        area->setTrackStore(store.get());
        for (QAction* a : area->createMenuEntries(window.get()))
            window->addAction(a);
    }
    void TearDown() override { area->setTrackStore(nullptr); }

    void addFix(const char* flight, double lat, double lon, int altitude = 35000)
    {
        TrackFix fix;
        fix.flight = flight;
        fix.registration = "JA8089";
        fix.time = "1200";
        fix.latitude = lat;
        fix.longitude = lon;
        fix.altitude = altitude;
        store->AddTrackPoint(fix);
    }
    QAction* item(const char* name) { return window->findChild<QAction*>(QLatin1String(name)); }
    QPoint at(double lat, double lon)
    {
        const ProjectedPoint p = area->scene().view().project(lat, lon);
        return {p.x, p.y};
    }
    void click(QPoint p, Qt::KeyboardModifiers mods = {})
    {
        mouse(QEvent::MouseButtonPress, Qt::LeftButton, p);
        mouse(QEvent::MouseButtonRelease, Qt::LeftButton, p, mods);
    }
    std::vector<bool> shown()
    {
        std::vector<bool> s;
        for (int i = 0; i < store->count(); ++i)
            s.push_back(store->entry(i).shown);
        return s;
    }

    std::unique_ptr<TrackStore> store;
};

TEST_F(MapSelectionTest, ClicksSelectAndAMissShowsEveryAircraftUnderAll)
{
    addFix("QQ0012", 36.5, 137.0);
    addFix("ZZ0101", 34.5, 141.0);
    addFix("ZZ0202", 35.5, 139.0);
    show();
    EXPECT_FALSE(item("DeleteSelectedItem")->isEnabled());
    EXPECT_TRUE(item("ClearPlotsItem")->isEnabled());
    QByteArray picked;
    QObject::connect(area, &MapArea::aircraftPicked, [&](const QByteArray& f) { picked = f; });
    click(at(34.5, 141.0) + QPoint(4, 0));
    EXPECT_EQ(shown(), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(picked, QByteArray("ZZ0101"));
    EXPECT_TRUE(item("DeleteSelectedItem")->isEnabled());
    click(at(36.5, 137.0), Qt::ControlModifier);
    EXPECT_EQ(shown(), (std::vector<bool>{true, true, false}));

    // The report pane: the third row.
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(50, 2 + 20 + 2 * 12 + 4), QPointF(), Qt::LeftButton,
                        Qt::NoButton, {});
    QApplication::sendEvent(area->reportWidget(), &release);
    EXPECT_EQ(area->scene().selection().selected, 2);
    EXPECT_EQ(shown(), (std::vector<bool>{false, false, true}));

    company->setCurrentIndex(2); // "ZZ"
    company->activated(2);
    click(QPoint(5, 5)); // nothing there
    EXPECT_EQ(company->currentIndex(), 0);
    EXPECT_EQ(shown(), (std::vector<bool>{true, true, true}));
    EXPECT_FALSE(area->scene().selection().hasSelection);
    EXPECT_FALSE(item("DeleteSelectedItem")->isEnabled());
}

TEST_F(MapSelectionTest, AutoSelectFollowsTheNewestReport)
{
    addFix("QQ0012", 36.5, 137.0);
    addFix("ZZ0101", 34.5, 141.0);
    show();
    auto* button = child<QToolButton>("SpeedButton8");
    ASSERT_TRUE(button->isEnabled());
    button->click();
    EXPECT_EQ(shown(), (std::vector<bool>{false, true}));
    addFix("QQ0012", 36.6, 137.5);
    store->RefreshTrackDisplay(true, "QQ0012", "H1");
    EXPECT_EQ(area->scene().selection().selected, 0);
    EXPECT_EQ(shown(), (std::vector<bool>{true, false}));
    button->click();
    EXPECT_EQ(shown(), (std::vector<bool>{true, true}));
    EXPECT_FALSE(area->scene().selection().hasSelection);
}

TEST_F(MapSelectionTest, DeletingConfirmsAndKeepsTheSelectorInStep)
{
    addFix("QQ0012", 36.5, 137.0);
    addFix("ZZ0101", 34.5, 141.0);
    show();
    ASSERT_EQ(company->count(), 3);
    MessageHub::clearRecords();
    area->deleteSelected(); // nothing selected (the entry itself is disabled then)
    ASSERT_EQ(MessageHub::records().size(), 1u);
    EXPECT_EQ(MessageHub::records()[0].text, QStringLiteral("選択されていません"));

    click(at(36.5, 137.0));
    MessageHub::clearRecords();
    item("DeleteSelectedItem")->trigger();
    ASSERT_EQ(MessageHub::records().size(), 1u);
    EXPECT_EQ(MessageHub::records()[0].text, QStringLiteral("QQ0012を消去します。\nよろしいですか？"));
    EXPECT_TRUE(MessageHub::records()[0].beeped);
    EXPECT_EQ(store->count(), 1);
    EXPECT_EQ(company->count(), 2); // the operator's only aircraft took "QQ" with it
    EXPECT_EQ(company->itemText(1), QStringLiteral("ZZ"));
    EXPECT_FALSE(item("DeleteSelectedItem")->isEnabled());
    EXPECT_TRUE(child<QToolButton>("SpeedButton8")->isEnabled());

    // The last aircraft: auto-select and both entries disabled.
    click(at(34.5, 141.0));
    item("DeleteSelectedItem")->trigger();
    EXPECT_EQ(store->count(), 0);
    EXPECT_FALSE(child<QToolButton>("SpeedButton8")->isEnabled());
    EXPECT_FALSE(item("DeleteSelectedItem")->isEnabled());
    EXPECT_FALSE(item("ClearPlotsItem")->isEnabled());
}

TEST_F(MapSelectionTest, ClearAsksFirstThenEmptiesStoreAndSelector)
{
    addFix("QQ0012", 36.5, 137.0);
    show();
    MessageHub::setAnswerer([](MessageHub::Kind, const QString&) { return false; });
    item("ClearPlotsItem")->trigger();
    EXPECT_EQ(store->count(), 1);
    MessageHub::setAnswerer([](MessageHub::Kind, const QString&) { return true; });
    MessageHub::clearRecords();
    item("ClearPlotsItem")->trigger();
    ASSERT_FALSE(MessageHub::records().empty());
    EXPECT_EQ(MessageHub::records()[0].text,
              QStringLiteral("プロット画面・受信リストを消去します。\nよろしいですか？"));
    EXPECT_EQ(store->count(), 0);
    EXPECT_EQ(company->count(), 1);
    EXPECT_EQ(company->currentText(), QStringLiteral("ALL"));
}

TEST_F(MapSelectionTest, SaveWritesTheNamedFormatAndABoxTellsAFailure)
{
    show();
    QTemporaryDir dir;
    QString chosen = dir.filePath(QStringLiteral("map"));
    area->chooseSaveFile = [&] { return chosen; };
    item("SaveMapItem")->trigger();
    const QImage bmp(dir.filePath(QStringLiteral("map.bmp")), "BMP");
    EXPECT_EQ(bmp.size(), area->scene().picture().size());
    chosen = dir.filePath(QStringLiteral("map.png"));
    item("SaveMapItem")->trigger();
    EXPECT_EQ(QImage(chosen, "PNG").size(), area->scene().picture().size());

    MessageHub::clearRecords();
    chosen = dir.filePath(QStringLiteral("missing/map.png"));
    item("SaveMapItem")->trigger();
    ASSERT_EQ(MessageHub::records().size(), 1u);
    EXPECT_EQ(MessageHub::records()[0].kind, MessageHub::Kind::Error);
    EXPECT_TRUE(MessageHub::records()[0].text.contains(chosen));
    chosen.clear(); // cancelled
    item("SaveMapItem")->trigger();
    EXPECT_EQ(MessageHub::records().size(), 1u);
}

TEST_F(MapSelectionTest, PaneSwitchesMoveTheMapAndThePanes)
{
    QWidget modem;
    modem.setObjectName(QStringLiteral("Panel8"));
    area->setModemPane(&modem);
    show();
    EXPECT_EQ(area->widget()->geometry(), QRect(0, 0, 796, 528));
    EXPECT_EQ(area->reportWidget()->geometry(), QRect(796, 51, 204, 679));
    EXPECT_EQ(modem.geometry(), QRect(796, 0, 202, 50));
    EXPECT_EQ(area->altitudeWidget()->geometry(), QRect(0, 528, 796, 202));
    EXPECT_EQ(area->scene().reportPane().size(), QSize(200, 675));
    EXPECT_EQ(area->scene().altitudePane().size(), QSize(792, 198));

    item("ReportPaneItem")->toggle();
    EXPECT_FALSE(settings.boolean(Key::ShowRep));
    EXPECT_FALSE(area->reportWidget()->isVisible());
    EXPECT_EQ(area->widget()->width(), 1000);
    EXPECT_EQ(area->altitudeWidget()->width(), 1000);
    item("AltitudePaneItem")->toggle();
    EXPECT_EQ(area->widget()->height(), 730);
    item("ReportPaneItem")->toggle();
    item("N27")->toggle();
    EXPECT_FALSE(settings.boolean(Key::ShowMod));
    EXPECT_FALSE(modem.isVisible());
    EXPECT_EQ(area->reportWidget()->geometry(), QRect(796, 0, 204, 730));
    area->setModemPane(nullptr);
}

TEST_F(MapAreaTest, MalformedMapAndTableRecordsAreToldInOneBoxAtStart)
{
    QTemporaryDir dir;
    AppPaths files;
    files.coastline = dir.filePath(QStringLiteral("coastline.dat"));
    files.airways = dir.filePath(QStringLiteral("airway.txt"));
    files.navaids = dir.filePath(QStringLiteral("nav.txt"));
    auto write = [](const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    write(files.coastline, "139.0\t35.0\n140.0\t36.0\n");
    write(files.airways, "1,35.0,139.0\n1,36.0,140.0\nx,y,z\n1,2,3\n1,35.0,139.0\n1,36.0,north\n");
    write(files.navaids, "4,35.0,139.0,OK\n\x01\x02,\xfe\n7,35,139\n");
    files.flightTable = dir.filePath(QStringLiteral("flight.csv"));
    files.airportTable = dir.filePath(QStringLiteral("airport.csv"));
    write(files.flightTable, "JL0123,RJTTRJCC,ok\nno comma here\n,empty key\nJL01234567,key too long\n\n");
    write(files.airportTable, "RJTT,HANEDA\r\n");
    ReferenceTables tables(files.flightTable, {}, files.airportTable, {}, {});
    MessageHub::clearRecords();
    QWidget top;
    top.resize(600, 400);
    auto* place = new QWidget(&top);
    place->setGeometry(0, 0, 600, 400);
    MapArea garbled(settings, files, place);
    garbled.setReferenceTables(&tables);
    top.show();
    auto boxes = [] {
        std::vector<QString> out;
        for (const MessageHub::Record& r : MessageHub::records())
            if (r.text.startsWith(QStringLiteral("地図・データファイルに読めない行がありました")))
                out.push_back(r.text);
        return out;
    };
    for (int i = 0; i < 200 && boxes().empty(); ++i) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    const std::vector<QString> told = boxes();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_TRUE(told[0].contains(files.airways + QStringLiteral(": 2 件 (最初は 3 行目)"))) << told[0].toStdString();
    EXPECT_TRUE(told[0].contains(files.navaids + QStringLiteral(": 2 件 (最初は 2 行目)"))) << told[0].toStdString();
    EXPECT_TRUE(told[0].contains(files.flightTable + QStringLiteral(": 3 件 (最初は 2 行目)")))
        << told[0].toStdString();
    EXPECT_FALSE(told[0].contains(files.coastline));
    EXPECT_FALSE(told[0].contains(files.airportTable));
    // The good records are drawn.
    const BackgroundStatus& st = garbled.scene().lastBackgroundStatus();
    EXPECT_EQ(st.coastline.records, 1);
    EXPECT_EQ(st.airways.records, 1);
    EXPECT_EQ(st.navaids.records, 1);
}

} // namespace
} // namespace varnesk
