// CheckSearchList and NotifyHit: which row a block updates, when a hit is
// new, what the hit carries, the hit log box and file, and the list edits.
#include "search/search_watch.h"

#include "acars/sjis.h"
#include "aircraft/reference_tables.h"
#include "search_test_support.h"
#include "settings/settings_store.h"

#include <gtest/gtest.h>

namespace varnesk {
namespace {

using test::readFile;
using test::writeFile;

std::string sjis(const char* utf8)
{
    return qstringToSjis(QString::fromUtf8(utf8));
}

class Watch : public ::testing::Test {
protected:
    void SetUp() override { test::ensureCoreApp(); }

    // The watch over a search.csv of these bytes.
    SearchWatch& make(const std::string& searchCsv)
    {
        writeFile(folder.paths.searchList, searchCsv);
        watch = std::make_unique<SearchWatch>(settings, folder.paths, tables);
        watch->clock = [this] { return now; };
        QObject::connect(watch.get(), &SearchWatch::hitFound, [this](const SearchHit& h) {
            hits.push_back(h);
            events.push_back("hit");
        });
        QObject::connect(watch.get(), &SearchWatch::hitLogChanged, [this] { events.push_back("log"); });
        return *watch;
    }

    test::AppFolder folder;
    SettingsStore settings;
    ReferenceTables tables{folder.paths};
    std::unique_ptr<SearchWatch> watch;
    QDateTime now{QDate(2024, 5, 6), QTime(10, 0, 0)};
    std::vector<SearchHit> hits;
    std::vector<std::string> events;
};

TEST_F(Watch, OneNotificationPerRowAndFlight)
{
    SearchWatch& w = make("JA8***,special\r\n");
    EXPECT_TRUE(w.CheckSearchList("JA8089", "JL0123"));
    EXPECT_EQ(w.rows()[0].hit, "JL0123");
    EXPECT_EQ(w.rows()[0].lastTime, "10:00:00");

    now = now.addSecs(65);
    EXPECT_FALSE(w.CheckSearchList("JA8089", "JL0123"));
    EXPECT_EQ(w.rows()[0].lastTime, "10:01:05"); // only the time moves
    EXPECT_EQ(hits.size(), 1u);

    EXPECT_TRUE(w.CheckSearchList("JA8089", "JL0456")); // same aircraft, other flight
    EXPECT_EQ(w.rows()[0].hit, "JL0456");
    EXPECT_FALSE(w.CheckSearchList("JA9999", "JL0123")); // no row
    EXPECT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[1].flight, "JL0456");
}

TEST_F(Watch, RowChoice)
{
    struct Case {
        const char* name;
        std::string csv;
        int row;         // 0-based row that must be updated, -1 none
        const char* hit; // its Hit column
    };
    const Case cases[] = {
        {"registration before flight", "JL0123,f\r\nJA8089,r\r\n", 1, "JL0123"},
        {"seven stars hide flight rows", "JL0123,f\r\n*******,all\r\n", 1, "JL0123"},
        {"first matching row only", "JA8***,a\r\nJA80**,b\r\n", 0, "JL0123"},
        {"flight row holds the registration", "JL01**,f\r\n", 0, "JA8089"},
        {"no match", "JA9***,x\r\nNH****,y\r\n", -1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        hits.clear();
        SearchWatch& w = make(c.csv);
        EXPECT_EQ(w.CheckSearchList("JA8089", "JL0123"), c.row >= 0);
        for (size_t i = 0; i < w.rows().size(); ++i) {
            const bool updated = static_cast<int>(i) == c.row;
            EXPECT_EQ(w.rows()[i].hit, updated ? std::string(c.hit) : "------") << i;
            EXPECT_EQ(w.rows()[i].lastTime, updated ? "10:00:00" : "--:--:--") << i;
        }
        EXPECT_EQ(hits.size(), c.row >= 0 ? 1u : 0u);
    }
}

TEST_F(Watch, FlightRowNotifiesAgainForAnotherAircraftOrAfterAnotherMatch)
{
    SearchWatch& w = make("JL0123,vip\r\n");
    EXPECT_TRUE(w.CheckSearchList("JA8089", "JL0123"));
    EXPECT_FALSE(w.CheckSearchList("JA8089", "JL0123"));
    EXPECT_TRUE(w.CheckSearchList("JA8090", "JL0123")); // another aircraft
    EXPECT_TRUE(w.CheckSearchList("JA8089", "JL0123")); // matched by another in between
    EXPECT_EQ(hits.size(), 3u);
}

TEST_F(Watch, HitCarriesPanelTextsAndLogLineWithRoute)
{
    writeFile(folder.paths.flightTable, "JL0123,RJTTRJCC,x\r\n");
    writeFile(folder.paths.airportTable, "RJTT," + sjis("羽田") + "\r\n");
    settings.setBoolean(Key::SpecLog, true);
    SearchWatch& w = make("JA8***," + sjis("特別塗装") + "\r\n");
    ASSERT_TRUE(w.CheckSearchList("JA8089", "JL0123"));
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].registration, "JA8089");
    EXPECT_EQ(hits[0].flight, "JL0123");
    EXPECT_EQ(hits[0].remark, sjis("特別塗装"));
    // RJCC has no name in the airport table: the code stands for it.
    const std::string line = sjis("JA8089 JL0123 RJTT->RJCC 10:00:00 (羽田→RJCC) 特別塗装");
    EXPECT_EQ(hits[0].logLine, line);
    EXPECT_EQ(events, (std::vector<std::string>{"hit", "log"}));

    now = now.addSecs(1);
    ASSERT_TRUE(w.CheckSearchList("JA8001", "NH0001")); // no route
    const std::string second = sjis("JA8001 NH0001 ----->---- 10:00:01 (----→----) 特別塗装");
    EXPECT_EQ(w.hitLog(), line + "\n" + second + "\n");
    EXPECT_EQ(readFile(folder.paths.searchLog), line + "\r\n" + second + "\r\n");
}

TEST_F(Watch, HitLogFileOnlyWithTheSwitch)
{
    writeFile(folder.paths.searchLog, "old\r\n");
    SearchWatch& w = make("JA8***,x\r\n");
    ASSERT_TRUE(w.CheckSearchList("JA8089", "JL0123"));
    EXPECT_EQ(readFile(folder.paths.searchLog), "old\r\n");
    // The user's edits in the box are what the file gets when the log goes
    // on; the earlier file is kept beside it.
    w.setHitLog("edited\n");
    w.setLog(true);
    EXPECT_TRUE(settings.boolean(Key::SpecLog));
    EXPECT_EQ(readFile(folder.paths.searchLog), "edited\r\n");
    EXPECT_EQ(QDir(folder.dir.filePath(QStringLiteral("logs"))).entryList({QStringLiteral("search_*.log")}).size(), 1);
}

TEST_F(Watch, HitLogKeepsItsLastWholeLines)
{
    SearchWatch& w = make("JA8***,x\r\n");
    std::string big;
    for (int i = 0; big.size() < kMaxHitLogBytes; ++i)
        big += "line " + std::to_string(i) + " of an earlier day\n";
    w.setHitLog(big);
    ASSERT_TRUE(w.CheckSearchList("JA8089", "JL0123"));
    EXPECT_LE(w.hitLog().size(), kMaxHitLogBytes);
    EXPECT_EQ(w.hitLog().rfind("line ", 0), 0u); // starts at a line start
    EXPECT_EQ(w.hitLog().substr(w.hitLog().size() - 2), "x\n");
}

TEST_F(Watch, StartUpBeginsAFreshHitLogAndKeepsTheLastOne)
{
    writeFile(folder.paths.searchLog, "from the last run\r\n");
    const QDateTime lastWrite(QDate(2024, 5, 5), QTime(21, 7, 30));
    {
        QFile old(folder.paths.searchLog);
        ASSERT_TRUE(old.open(QIODevice::ReadWrite));
        ASSERT_TRUE(old.setFileTime(lastWrite, QFileDevice::FileModificationTime));
    }
    settings.setBoolean(Key::SpecLog, true);
    make("JA8***,x\r\n");
    EXPECT_EQ(readFile(folder.paths.searchLog), "");
    EXPECT_EQ(readFile(folder.dir.filePath(QStringLiteral("logs/search_202405052107.log"))), "from the last run\r\n");
    EXPECT_EQ(watch->rows().size(), 1u);
}

TEST_F(Watch, HitLogFileKeepsEveryHitBeyondTheBox)
{
    settings.setBoolean(Key::SpecLog, true);
    SearchWatch& w = make("*******,x\r\n");
    std::string want;
    int hitsWritten = 0;
    for (int i = 0; want.size() <= kMaxHitLogBytes + 2000; ++i) {
        // A registration pattern notifies again for every new flight number.
        const std::string flight = "JL" + std::to_string(1000 + i);
        ASSERT_TRUE(w.CheckSearchList("JA8089", flight));
        want += hits.back().logLine + "\r\n";
        ++hitsWritten;
    }
    EXPECT_LE(w.hitLog().size(), kMaxHitLogBytes);
    const std::string file = readFile(folder.paths.searchLog);
    EXPECT_GT(file.size(), kMaxHitLogBytes);
    EXPECT_EQ(file, want) << hitsWritten << " hits";
}

TEST_F(Watch, ChimeAndMailOfOneRegistrationWaitTheHoldTime)
{
    writeFile(folder.paths.alertSound, "RIFF");
    settings.setInteger(Key::MailHold, 30);
    SearchWatch& w = make("JA8***,x\r\n");
    struct Step {
        int minutes; // since the start
        const char* reg;
        const char* flight;
        bool chime;
    };
    // Each row is a new hit (another flight or aircraft): panel and log see
    // every one; the chime only the first of a registration in 30 minutes.
    const Step steps[] = {
        {0, "JA8089", "JL0001", true},   {1, "JA8089", "JL0002", false},
        {2, "JA8001", "JL0099", true},                                   // another aircraft
        {29, "JA8089", "JL0003", false}, {30, "JA8089", "JL0004", true}, // the hold is over
        {31, "JA8089", "JL0005", false},
    };
    const QDateTime start = now;
    for (const Step& step : steps) {
        SCOPED_TRACE(std::to_string(step.minutes) + " " + step.reg + " " + step.flight);
        now = start.addSecs(step.minutes * 60);
        hits.clear();
        ASSERT_TRUE(w.CheckSearchList(step.reg, step.flight));
        ASSERT_EQ(hits.size(), 1u);
        EXPECT_EQ(!hits[0].alertSound.isEmpty(), step.chime);
        EXPECT_EQ(w.heldBack(step.reg, now), true);
    }
    EXPECT_EQ(std::count(w.hitLog().begin(), w.hitLog().end(), '\n'), 6);
    settings.setInteger(Key::MailHold, 0);
    EXPECT_FALSE(w.heldBack("JA8089", now));
}

TEST_F(Watch, PopUpAndSoundFollowTheirSwitchesAndTheFile)
{
    struct Case {
        bool popUp;
        bool sound;
        bool fileThere;
        bool wantSound;
    };
    const Case cases[] = {
        {true, true, true, true},
        {false, true, false, false}, // nothing plays when the file is missing
        {true, false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.popUp) + std::to_string(c.sound) + std::to_string(c.fileThere));
        QFile::remove(folder.paths.alertSound);
        if (c.fileThere)
            writeFile(folder.paths.alertSound, "RIFF");
        settings.setBoolean(Key::SpecPopUp, c.popUp);
        settings.setBoolean(Key::SpecSound, c.sound);
        hits.clear();
        make("JA8***,x\r\n").CheckSearchList("JA8089", "JL0123");
        ASSERT_EQ(hits.size(), 1u);
        EXPECT_EQ(hits[0].popUp, c.popUp);
        EXPECT_EQ(hits[0].alertSound, c.wantSound ? folder.paths.alertSound : QString());
    }
}

TEST_F(Watch, EditsAreSavedAtOnce)
{
    SearchWatch& w = make("JA8089,a\r\n");
    int changes = 0;
    QObject::connect(&w, &SearchWatch::listChanged, [&] { ++changes; });
    w.AddSearchRow("JL0123", "b");
    EXPECT_EQ(readFile(folder.paths.searchList), "JA8089,a\r\nJL0123,b\r\n");
    w.CheckSearchList("JA8089", "JL0001");
    w.editSearchRow(0, "JA8090", "c");
    EXPECT_EQ(w.rows()[0].hit, "JL0001"); // Hit and LastTime kept
    EXPECT_EQ(readFile(folder.paths.searchList), "JA8090,c\r\nJL0123,b\r\n");
    w.removeSearchRow(0);
    EXPECT_EQ(readFile(folder.paths.searchList), "JL0123,b\r\n");
    EXPECT_EQ(changes, 3);
}

TEST_F(Watch, MailSwitchNeedsServerAndAddresses)
{
    settings.setBoolean(Key::MailSend, true);
    settings.setText(Key::MailHost, "127.0.0.1");
    make("");
    EXPECT_FALSE(watch->mailConfigured());
    EXPECT_FALSE(settings.boolean(Key::MailSend));
}

} // namespace
} // namespace varnesk
