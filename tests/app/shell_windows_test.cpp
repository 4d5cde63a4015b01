// The information card, the settings and colour dialogs and the version
// window inside the running main window (offscreen): flight search, pictures
// from pics/, working copies, the log restart and the layer icons.
#include "aircraft/aircraft_list.h"
#include "aircraft/jpeg_picture.h"
#include "aircraft/ui/aircraft_card.h"
#include "aircraft/ui/aircraft_list_window.h"
#include "app/receive_pipeline.h"
#include "app/ui/main_window.h"
#include "app/ui/settings_dialogs.h"
#include "app/ui/status_indicators.h"
#include "app/ui/window_table.h"
#include "decode/ui/text_colour_dialog.h"
#include "map/modem_indicators.h"
#include "program_version.h"
#include "settings/settings_store.h"
#include "tracking/aircraft_tracking.h"
#include "widgets/message_hub.h"

#include "app_test_support.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include "../gui_app.h"

#include <gtest/gtest.h>

using namespace varnesk;

namespace {

void ensureApp()
{
    test::ensureGuiApp();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray picture(QRgb colour)
{
    QImage img(200, 133, QImage::Format_RGB32);
    img.fill(colour);
    return encodeJpeg(img, 90);
}

bool near(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) < 12 && std::abs(qGreen(a) - qGreen(b)) < 12
           && std::abs(qBlue(a) - qBlue(b)) < 12;
}

class Shell : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureApp();
        MessageHub::clearRecords();
        MessageHub::setAnswerer([](MessageHub::Kind, const QString&) { return true; });
        ASSERT_TRUE(m_dir.isValid());
        writeFile(m_dir.filePath(QStringLiteral("data/flight.csv")), "JL0023,RJTTRJFF,RJCC\r\nNH0001,RJTTROAH,XX\r\n");
        QDir(m_dir.path()).mkpath(QStringLiteral("logs/EachLogs"));
        writeFile(m_dir.filePath(QStringLiteral("data/airport.csv")), "RJCC,New Chitose\r\nRJTT,Tokyo Haneda\r\n");
    }
    void TearDown() override
    {
        MessageHub::setAnswerer({});
        TextColourDialog::setColourPicker({});
    }
    void start()
    {
        m_main = std::make_unique<MainWindow>(MainWindow::Options{m_dir.path(), QStringLiteral("varnesk")});
        createSecondaryWindows(*m_main);
        m_card = m_main->findChild<AircraftCard*>(QStringLiteral("TForm17"));
        ASSERT_NE(m_card, nullptr);
    }
    void addRow(const char* flight, const char* registration)
    {
        m_main->pipeline().tracking().list().UpdateListEntry(flight, registration, "RJTT", QTime(12, 0));
    }
    QString pics(const char* name) const { return m_dir.filePath(QStringLiteral("pics/")) + QLatin1String(name); }

    QTemporaryDir m_dir;
    std::unique_ptr<MainWindow> m_main;
    AircraftCard* m_card = nullptr;
};

} // namespace

TEST(AircraftCardText, FlightSearchAndLookupAddresses)
{
    EXPECT_EQ(AircraftCard::normaliseFlightSearch(QStringLiteral("jl23")), QStringLiteral("JL0023"));
    EXPECT_EQ(AircraftCard::normaliseFlightSearch(QStringLiteral("NH0001")), QStringLiteral("NH0001"));
    EXPECT_EQ(AircraftCard::normaliseFlightSearch(QStringLiteral("ab12345")), QStringLiteral("AB12345"));
    EXPECT_EQ(AircraftCard::flightStatusUrl("JL0023"),
              QLatin1String(kFlightStatusHost)
                  + QStringLiteral("/go/FlightStatus/flightStatusByFlight.do?airline=%28JL%29&flightNumber=23"));
    EXPECT_EQ(AircraftCard::aircraftPhotoUrl("JA8089"),
              QLatin1String(kAircraftPhotoHost) + QStringLiteral("/search/photo.search?regsearch=JA8089"));
    EXPECT_TRUE(AircraftCard::flightStatusUrl("JL").isEmpty());
}

TEST_F(Shell, SearchingJl23SelectsTheJL0023RowAndFillsTheCard)
{
    start();
    addRow("NH0001", "JA8001");
    addRow("JL0023", "JA8089");
    auto* list = m_main->findChild<AircraftListWindow*>(QStringLiteral("TForm5"));
    m_card->findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(QStringLiteral("jl23"));
    m_card->findChild<QPushButton*>(QStringLiteral("SearchButton"))->click();
    EXPECT_EQ(m_card->findChild<QLineEdit*>(QStringLiteral("Edit1"))->text(), QStringLiteral("JL0023"));
    const int row = list->listView()->currentIndex().row();
    ASSERT_GE(row, 0);
    EXPECT_EQ(m_main->pipeline().tracking().list().row(row).cell(kColFlight), "JL0023");
    EXPECT_EQ(m_card->fieldText("Label3"), QStringLiteral("JL0023"));
    EXPECT_EQ(m_card->fieldText("Label5"), QStringLiteral("JA8089"));
    EXPECT_EQ(m_card->fieldText("Label10"), QStringLiteral("Tokyo Haneda"));
    // The remark is an airport code: its name is shown.
    EXPECT_EQ(m_card->fieldText("Label14"), QStringLiteral("New Chitose"));
    EXPECT_EQ(m_card->fieldText("Label7"), QStringLiteral("なし"));

    // A flight not in the list: the box, and the card stays.
    MessageHub::clearRecords();
    m_card->SearchFlight(QStringLiteral("ZZ9"));
    ASSERT_EQ(MessageHub::records().size(), 1u);
    EXPECT_EQ(MessageHub::records()[0].text, QStringLiteral("リストにありません"));
    EXPECT_EQ(m_card->fieldText("Label3"), QStringLiteral("JL0023"));

    m_card->ResetCard();
    EXPECT_EQ(m_card->fieldText("Label3"), QStringLiteral("------"));
    EXPECT_EQ(m_card->fieldText("Label10"), QStringLiteral("----"));
    EXPECT_EQ(m_card->fieldText("Label13"), QStringLiteral("-"));
}

TEST_F(Shell, PicturesComeFromPicsAndDamagedOrMissingOnesNeverShowTheWrongAircraft)
{
    writeFile(pics("JA8089.jpg"), picture(qRgb(200, 0, 0)));
    writeFile(pics("JA8001.jpg"), picture(qRgb(0, 0, 200)).left(600)); // truncated
    writeFile(pics("noimage.jpg"), picture(qRgb(0, 200, 0)));
    start();
    addRow("JL0023", "JA8089");
    addRow("NH0001", "JA8001");
    addRow("NH0002", "JA8002");
    auto& list = m_main->pipeline().tracking().list();
    m_card->ShowAircraft(list.FindRow("JA8089", "JL0023") - 1);
    EXPECT_TRUE(near(m_card->picture().pixel(100, 66), qRgb(200, 0, 0)));
    m_card->ShowAircraft(list.FindRow("JA8001", "NH0001") - 1);
    EXPECT_TRUE(near(m_card->picture().pixel(100, 66), qRgb(0, 200, 0)))
        << "the truncated picture gives the no-picture image";
    m_card->ShowAircraft(list.FindRow("JA8002", "NH0002") - 1);
    EXPECT_TRUE(near(m_card->picture().pixel(100, 66), qRgb(0, 200, 0)));

    // Neither picture: the area is emptied, not left on the last aircraft.
    m_card->ShowAircraft(list.FindRow("JA8089", "JL0023") - 1);
    QFile::remove(pics("noimage.jpg"));
    m_card->ShowAircraft(list.FindRow("JA8002", "NH0002") - 1);
    EXPECT_TRUE(m_card->picture().isNull());
}

TEST_F(Shell, TheSeventiethOperatorButtonChangesOnlyItsOwnSwatch)
{
    start();
    TextColourDialog::setColourPicker([](const QColor&, QWidget*) { return std::optional<QColor>(QColor(1, 2, 3)); });
    auto* dialog = m_main->findChild<OperatorColourDialog*>(QStringLiteral("TForm19"));
    dialog->show();
    std::vector<QColor> before;
    for (int r = 0; r < kOperatorRows; ++r)
        for (int c = 0; c < kOperatorColours; ++c)
            before.push_back(dialog->working(r, c));
    for (int n : {70, 1, 8}) {
        SCOPED_TRACE(n);
        dialog->findChild<QPushButton*>(QStringLiteral("ColourButton%1").arg(n))->click();
        for (int i = 0; i < 70; ++i) {
            const QColor now = dialog->working(i / 7, i % 7);
            if (i + 1 == n) {
                EXPECT_EQ(now, QColor(1, 2, 3));
            }
            before[static_cast<size_t>(i)] = i + 1 == n ? QColor(1, 2, 3) : before[static_cast<size_t>(i)];
            EXPECT_EQ(now, before[static_cast<size_t>(i)]) << "swatch " << i + 1;
        }
    }
    EXPECT_EQ(m_main->settings().operatorRow(9).colours[6], 0u) << "nothing stored before OK";
    dialog->findChild<QPushButton*>(QStringLiteral("ApplyButton"))->click();
    EXPECT_EQ(m_main->settings().operatorRow(9).colours[6], settingValue(QColor(1, 2, 3)));
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(Shell, BasicColoursResetThenCancelChangesNothingAndApplyKeepsTheDialogOpen)
{
    start();
    SettingsStore& s = m_main->settings();
    s.setColour(Key::MapBackColor, 0x123456);
    s.setInteger(Key::PlotType, 0);
    auto* dialog = m_main->findChild<BasicColourDialog*>(QStringLiteral("TForm4"));
    dialog->show();
    EXPECT_EQ(settingValue(dialog->working(Key::MapBackColor)), 0x123456u);
    dialog->findChild<QPushButton*>(QStringLiteral("ResetButton"))->click();
    EXPECT_EQ(settingValue(dialog->working(Key::MapBackColor)), SettingsStore::defaultColour(Key::MapBackColor));
    dialog->findChild<QPushButton*>(QStringLiteral("CancelButton"))->click();
    EXPECT_EQ(s.colour(Key::MapBackColor), 0x123456u);
    EXPECT_EQ(s.integer(Key::PlotType), 0);

    TextColourDialog::setColourPicker([](const QColor&, QWidget*) { return std::optional<QColor>(QColor(9, 8, 7)); });
    dialog->show();
    dialog->findChild<QPushButton*>(QStringLiteral("MapBackColorButton"))->click();
    EXPECT_EQ(s.colour(Key::MapBackColor), 0x123456u);
    dialog->findChild<QPushButton*>(QStringLiteral("ApplyButton"))->click();
    EXPECT_EQ(s.colour(Key::MapBackColor), settingValue(QColor(9, 8, 7)));
    EXPECT_TRUE(dialog->isVisible());
    dialog->findChild<QPushButton*>(QStringLiteral("OkButton"))->click();
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(Shell, SwitchingTheLogNameStartsADatedTextLog)
{
    start();
    m_main->settings().setBoolean(Key::TxtLog, true);
    const QString fixedLog = m_main->paths().textLog;
    auto* dialog = m_main->findChild<SettingsDialog*>(QStringLiteral("TForm3"));
    // Confirming without a change leaves the log where it is.
    dialog->show();
    dialog->findChild<QPushButton*>(QStringLiteral("OkButton"))->click();
    EXPECT_EQ(m_main->paths().textLog, fixedLog);

    dialog->show();
    dialog->findChild<QRadioButton*>(QStringLiteral("LogNameDated"))->click();
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd"));
    dialog->findChild<QPushButton*>(QStringLiteral("OkButton"))->click();
    EXPECT_TRUE(m_main->settings().boolean(Key::LogName));
    const QString dated = m_main->paths().textLog;
    EXPECT_TRUE(QFileInfo(dated).fileName().startsWith(stamp)) << dated.toStdString();
    EXPECT_TRUE(QFileInfo(dated).fileName().endsWith(QStringLiteral("_text.log")));
    // The list file moves with the other logs.
    EXPECT_EQ(m_main->pipeline().tracking().list().logPath(), m_main->paths().listLog);
    EXPECT_TRUE(QFileInfo(m_main->paths().listLog).fileName().startsWith(stamp));
    QFile f(dated);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().startsWith("Start Logging at "));
}

TEST_F(Shell, ANewOperatorStartsFromTheBaseColours)
{
    start();
    SettingsStore& s = m_main->settings();
    const std::array<Key, kOperatorColours> base{Key::PlotOnColor,   Key::PlotOffColor, Key::PlotMarkUpColor,
                                                 Key::PlotBackColor, Key::OnColor,      Key::MarkUpColor,
                                                 Key::BackColor};
    for (size_t c = 0; c < base.size(); ++c)
        s.setColour(base[c], 0x101010u * static_cast<uint32_t>(c + 1));
    // Row 1 was filled in before: its colours stay its own.
    s.operatorRow(1).text = "NH";
    s.operatorRow(1).colours = {1, 2, 3, 4, 5, 6, 7};
    TextColourDialog::setColourPicker([](const QColor&, QWidget*) { return std::optional<QColor>(QColor(1, 2, 3)); });
    auto* dialog = m_main->findChild<OperatorColourDialog*>(QStringLiteral("TForm19"));
    dialog->show();
    dialog->findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(QStringLiteral("JL"));
    dialog->findChild<QPushButton*>(QStringLiteral("ColourButton1"))->click(); // 先頭色 only
    dialog->findChild<QPushButton*>(QStringLiteral("OkButton"))->click();
    const OperatorRow& jl = s.operatorRow(0);
    EXPECT_EQ(jl.text, "JL");
    EXPECT_EQ(jl.colours[0], settingValue(QColor(1, 2, 3)));
    for (size_t c = 1; c < base.size(); ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(jl.colours[c], s.colour(base[c]));
    }
    EXPECT_EQ(s.operatorRow(1).colours, (std::array<uint32_t, kOperatorColours>{1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(Shell, TheListCountFollowsEveryChangeShownOrNot)
{
    start();
    auto* list = m_main->findChild<AircraftListWindow*>(QStringLiteral("TForm5"));
    auto* count = list->findChild<QLabel*>(QStringLiteral("StatusPanel1"));
    ASSERT_FALSE(list->isVisible());
    addRow("NH0001", "JA8001");
    addRow("JL0023", "JA8089");
    EXPECT_EQ(count->text(), QStringLiteral("2 contacts"));
    m_main->pipeline().tracking().list().removeRow(0);
    EXPECT_EQ(count->text(), QStringLiteral("1 contacts"));
    m_main->pipeline().tracking().list().ClearList();
    EXPECT_EQ(count->text(), QStringLiteral("0 contacts"));
}

TEST_F(Shell, TheCardKeepsItsSizeFromOneShowingToTheNext)
{
    start();
    m_card->show();
    const QSize first = m_card->size();
    for (int i = 0; i < 3; ++i) {
        m_card->hide();
        m_card->show();
        QApplication::processEvents();
    }
    EXPECT_EQ(m_card->size(), first);
}

TEST_F(Shell, TheVersionWindowShowsThisBuild)
{
    start();
    auto* version = m_main->findChild<QDialog*>(QStringLiteral("TForm11"));
    EXPECT_EQ(version->findChild<QLabel*>(QStringLiteral("Label1"))->text(),
              QStringLiteral("Varnesk version ") + QLatin1String(kProgramVersion.data(), kProgramVersion.size()));
    const QString build = version->findChild<QLabel*>(QStringLiteral("Label2"))->text();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Build 20\\d\\d/[01]\\d/[0-3]\\d$")).match(build).hasMatch())
        << build.toStdString();
}

TEST_F(Shell, TheClockKeepsTimeWithNoAudio)
{
    start();
    auto* indicators = m_main->findChild<StatusIndicators*>(QStringLiteral("StatusIndicators"));
    ASSERT_NE(indicators, nullptr);
    ASSERT_TRUE(m_main->settings().boolean(Key::ShowMod));
    // No capture block ever arrives here: only the clock's own timer draws it.
    QElapsedTimer waited;
    waited.start();
    while (indicators->core().clock().lastText().empty() && waited.elapsed() < 3000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const std::string shown = indicators->core().clock().lastText();
    const QDateTime utc = QDateTime::currentDateTimeUtc();
    // The station's local time (UTC + 9), whatever zone the machine runs in.
    EXPECT_TRUE(shown == clockText(utc, false, 9) || shown == clockText(utc.addSecs(-1), false, 9)) << shown;
}

TEST_F(Shell, ADialogOfAWindowThatStaysOnTopOpensAboveIt)
{
    start();
    auto* text = m_main->findChild<QWidget*>(QStringLiteral("TForm10"));
    auto* colours = m_main->findChild<TextColourDialog*>(QStringLiteral("TForm18"));
    ASSERT_NE(text, nullptr);
    ASSERT_NE(colours, nullptr);
    text->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    text->show();
    QWidget* parentWhileOpen = nullptr;
    bool onTopWhileOpen = false;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_EQ(modal, colours);
        parentWhileOpen = modal->parentWidget();
        onTopWhileOpen = modal->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        colours->reject();
    });
    colours->run(TextColourDialog::Mode::Text, text, nullptr);
    EXPECT_EQ(parentWhileOpen, text);
    EXPECT_TRUE(onTopWhileOpen);
    // Back with its owner afterwards, so the program still finds it there.
    EXPECT_EQ(colours->parentWidget(), m_main.get());
    EXPECT_FALSE(colours->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(m_main->findChild<TextColourDialog*>(QStringLiteral("TForm18"), Qt::FindDirectChildrenOnly), colours);
}

TEST_F(Shell, ImportingAFileWithNoTransmissionsSaysSo)
{
    start();
    const QString path = m_dir.filePath(QStringLiteral("other.log"));
    writeFile(path, "2024/05/06 10:00:00 some other program's log line\r\nand another\r\n");
    QAction* import = nullptr;
    for (QAction* a : m_main->popupMenu()->actions())
        if (a->objectName() == QLatin1String("RawImportItem"))
            import = a;
    ASSERT_NE(import, nullptr);
    QTimer::singleShot(0, [&] {
        auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(chooser, nullptr);
        chooser->selectFile(path);
        static_cast<QDialog*>(chooser)->accept();
    });
    MessageHub::clearRecords();
    import->trigger();
    ASSERT_EQ(MessageHub::records().size(), 1u);
    EXPECT_TRUE(
        MessageHub::records()[0].text.startsWith(QStringLiteral("このファイルには取り込める受信データがありません")));
}

TEST_F(Shell, TheLampsShowAtTheMinimumWidth)
{
    start();
    m_main->show();
    m_main->resize(kMainMinWidth, kMainMinHeight);
    QApplication::processEvents();
    QToolBar* bar = m_main->toolBar();
    auto* strip = bar->findChild<QWidget*>(QStringLiteral("LampStrip"));
    ASSERT_NE(strip, nullptr);
    EXPECT_TRUE(strip->isVisible());
    EXPECT_EQ(strip->geometry().right(), bar->width() - 1);
    // No toolbar control lies under the strip, the "»" button included.
    for (QWidget* control : bar->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (control != strip && control->isVisible() && !control->inherits("QMenu")) {
            EXPECT_LE(control->geometry().right(), strip->geometry().left()) << control->objectName().toStdString();
        }
    }
    for (const char* name : {"Panel1", "LogoImage"})
        EXPECT_TRUE(strip->findChild<QWidget*>(QLatin1String(name))->isVisibleTo(strip)) << name;
}
