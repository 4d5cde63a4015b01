// TForm5: controls by name, columns, rows through the model, the count,
// Delete-key removal with confirmation, double click, switches and sizes.
#include "aircraft/ui/aircraft_list_window.h"

#include "aircraft/ui/aircraft_list_model.h"
#include "settings/app_paths.h"
#include "settings/settings_store.h"
#include "tracking/aircraft_tracking.h"
#include "widgets/message_hub.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include "../gui_app.h"

#include <gtest/gtest.h>

namespace varnesk {
namespace {

void ensureApp()
{
    test::ensureGuiApp();
}

class ListWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureApp();
        QDir(dir.path()).mkpath(QStringLiteral("logs"));
        QDir(dir.path()).mkpath(QStringLiteral("data"));
        MessageHub::clearRecords();
        MessageHub::setAnswerer([this](MessageHub::Kind, const QString&) { return answer; });
        tracking.clock = [this] { return now; };
    }
    void TearDown() override
    {
        MessageHub::setAnswerer({});
        AircraftListWindow::setUrlOpener({});
        AircraftListWindow::setFontPicker({});
    }
    std::string read(const char* name) const
    {
        QFile f(dir.path() + QLatin1Char('/') + QLatin1String(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : "<missing>";
    }
    template <typename T>
    T* child(AircraftListWindow& w, const char* name)
    {
        T* c = w.findChild<T*>(QLatin1String(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    void releaseDelete(QWidget* target)
    {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Delete, Qt::NoModifier);
        QApplication::sendEvent(target, &release);
    }

    QTemporaryDir dir;
    SettingsStore settings;
    AircraftTracking tracking{settings, AppPaths::make(dir.path(), QStringLiteral("varnesk"), false, QDateTime())};
    QTime now{10, 0, 0};
    bool answer = true;
};

TEST_F(ListWindow, ControlsColumnsAndRows)
{
    settings.setInteger(Key::ColumnsWidth2, 123);
    AircraftListWindow w(settings, tracking, nullptr);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("受信航空機リスト"));
    EXPECT_EQ(child<QToolButton>(w, "SpeedButton3")->toolTip(), QStringLiteral("自動削除機能"));
    EXPECT_EQ(child<QToolButton>(w, "SpeedButton4")->toolTip(), QStringLiteral("ログ"));
    auto* upDown = child<QSpinBox>(w, "UpDown1");
    EXPECT_EQ(upDown->minimum(), 5);
    EXPECT_EQ(upDown->maximum(), 720);
    EXPECT_EQ(upDown->singleStep(), 5);
    EXPECT_EQ(child<QLabel>(w, "Panel1")->text(), QStringLiteral("60"));
    QTreeView* view = child<QTreeView>(w, "ListView1");
    ASSERT_EQ(view->model()->columnCount(), 10);
    QStringList captions;
    for (int c = 0; c < 10; ++c)
        captions << view->model()->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(captions, (QStringList{QStringLiteral("Flight"), QStringLiteral("PIC"), QStringLiteral("Reg. No."),
                                     QStringLiteral("POS"), QStringLiteral("DEPT"), QStringLiteral("DEST"),
                                     QStringLiteral("Aircraft"), QStringLiteral("Remarks"),
                                     QStringLiteral("Access Sta."), QStringLiteral("LastTime")}));
    EXPECT_EQ(view->columnWidth(2), 123);

    tracking.UpdateListEntry("NH0001", ".JA0001", "TOKYO");
    tracking.UpdateListEntry("JL0503", ".JA8089", "SAPPORO");
    ASSERT_EQ(view->model()->rowCount(), 2);
    EXPECT_EQ(view->model()->index(0, 0).data().toString(), QStringLiteral("JL0503"));
    EXPECT_EQ(view->model()->index(0, 3).data().toString(), QStringLiteral("×"));
    tracking.list().MarkPosition("JL0503", ".JA8089", now);
    EXPECT_EQ(view->model()->index(0, 3).data().toString(), QStringLiteral("○"));
    EXPECT_EQ(view->model()->index(0, 9).data().toString(), QStringLiteral("10:00:00"));

    // The count is shown when the window is shown.
    w.show();
    EXPECT_EQ(child<QLabel>(w, "StatusPanel1")->text(), QStringLiteral("2 contacts"));
}

TEST_F(ListWindow, NewRowsAreSelectedWhileShowNewIsOn)
{
    AircraftListWindow w(settings, tracking, nullptr);
    std::vector<std::string> selected;
    QObject::connect(&w, &AircraftListWindow::aircraftSelected,
                     [&](const std::string& reg, const std::string& flight) { selected.push_back(flight + reg); });
    tracking.UpdateListEntry("NH0001", ".JA0001", "TOKYO");
    settings.setBoolean(Key::ShowNew, false);
    tracking.UpdateListEntry("JL0503", ".JA8089", "SAPPORO");
    EXPECT_EQ(selected, std::vector<std::string>{"NH0001.JA0001"});
    EXPECT_EQ(w.listView()->currentIndex().row(), 1); // NH0001 moved down by the sort
}

TEST_F(ListWindow, DeleteKeyAsksAndRemovesTheRowWithItsTrack)
{
    AircraftListWindow w(settings, tracking, nullptr);
    tracking.UpdateListEntry("JL0503", ".JA8089", "SAPPORO");
    tracking.UpdateListEntry("NH0001", ".JA0001", "TOKYO");
    TrackFix fix;
    fix.flight = "JL0503";
    fix.registration = ".JA8089";
    fix.latitude = 35;
    fix.longitude = 139;
    tracking.store().AddTrackPoint(fix);
    ASSERT_EQ(tracking.store().count(), 1);

    QTreeView* view = w.listView();
    view->setCurrentIndex(view->model()->index(0, 0));
    answer = false;
    releaseDelete(view);
    ASSERT_EQ(MessageHub::records().size(), 1u);
    EXPECT_EQ(MessageHub::records()[0].text, QStringLiteral("JL0503を消去します。よろしいですか？"));
    EXPECT_TRUE(MessageHub::records()[0].beeped);
    EXPECT_EQ(tracking.list().rowCount(), 2);

    answer = true;
    releaseDelete(view);
    EXPECT_EQ(tracking.list().rowCount(), 1);
    EXPECT_EQ(tracking.store().count(), 0);
    EXPECT_EQ(tracking.list().row(0).cell(kColFlight), "NH0001");

    // An empty list asks nothing.
    tracking.list().ClearList();
    MessageHub::clearRecords();
    releaseDelete(view);
    EXPECT_TRUE(MessageHub::records().empty());
}

TEST_F(ListWindow, DoubleClickOpensTheFlightPage)
{
    AircraftListWindow w(settings, tracking, nullptr);
    QString opened;
    AircraftListWindow::setUrlOpener([&](const QString& url) { opened = url; });
    tracking.UpdateListEntry("JL0503", ".JA8089", "SAPPORO");
    Q_EMIT w.listView()->doubleClicked(w.listView()->model()->index(0, 4));
    EXPECT_EQ(opened, QLatin1String(kFlightInfoBaseUrl) + QStringLiteral("JL503"));
}

TEST_F(ListWindow, SwitchesDeleteTimeLogAndAutoDelete)
{
    settings.setBoolean(Key::ListLog, true);
    settings.setInteger(Key::DeleteTime, 3); // outside 5 … 720: brought into range
    AircraftListWindow w(settings, tracking, nullptr);
    EXPECT_EQ(read("logs/list.csv"), "Flight No.,PICS,Reg. No.,DEPT,DEST,AIRCRAFT,Remarks,TIME\r\n");
    EXPECT_EQ(settings.integer(Key::DeleteTime), 5);

    auto* log = child<QToolButton>(w, "SpeedButton4");
    log->setChecked(false);
    EXPECT_FALSE(settings.boolean(Key::ListLog));
    log->setChecked(true);
    EXPECT_EQ(read("logs/list.csv"), "Flight No.,PICS,Reg. No.,DEPT,DEST,Aircraft,Remarks,TIME\r\n");

    auto* upDown = child<QSpinBox>(w, "UpDown1");
    upDown->setValue(10);
    EXPECT_EQ(settings.integer(Key::DeleteTime), 10);
    EXPECT_EQ(child<QLabel>(w, "Panel1")->text(), QStringLiteral("10"));

    auto* timer = child<QTimer>(w, "Timer1");
    EXPECT_TRUE(timer->isActive()); // AutoDelete is on by default
    child<QToolButton>(w, "SpeedButton3")->setChecked(false);
    EXPECT_FALSE(timer->isActive());
    EXPECT_FALSE(settings.boolean(Key::AutoDelete));

    // A tick removes rows silent for longer than the delete time.
    tracking.UpdateListEntry("JL0503", ".JA8089", "SAPPORO");
    now = QTime(10, 10, 1);
    timer->start(0);
    for (int i = 0; i < 5 && tracking.list().rowCount() > 0; ++i)
        QApplication::processEvents();
    EXPECT_EQ(tracking.list().rowCount(), 0);
}

TEST_F(ListWindow, FontSizesAndPlace)
{
    settings.setInteger(Key::ListWidth, 600);
    settings.setInteger(Key::ListHeight, 300);
    AircraftListWindow w(settings, tracking, nullptr);
    w.show();
    EXPECT_EQ(w.listView()->geometry().width(), w.width() - 10);
    EXPECT_EQ(w.listView()->geometry().height(), w.height() - 57);
    EXPECT_EQ(child<QWidget>(w, "ToolPanel")->width(), w.width() - 4);

    AircraftListWindow::setFontPicker([](const QFont&, QWidget*) {
        QFont f(QStringLiteral("IPAGothic"));
        f.setPointSize(12);
        return std::optional<QFont>(f);
    });
    child<QToolButton>(w, "FontButton")->click();
    EXPECT_EQ(settings.integer(Key::ListFontSize), 12);
    EXPECT_EQ(settings.text(Key::ListFontName), "IPAGothic");

    w.resize(700, 400);
    w.listView()->setColumnWidth(0, 77);
    w.storeSettings();
    EXPECT_EQ(settings.integer(Key::ListWidth), 700);
    EXPECT_EQ(settings.integer(Key::ListHeight), 400);
    EXPECT_EQ(settings.integer(Key::ColumnsWidth0), 77);
}

} // namespace
} // namespace varnesk
