// The pattern match, FindPattern and the search.csv form, including a save
// that fails half-way (the old file must survive it).
#include "search/search_list.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace varnesk {
namespace {

TEST(Matches, StarIsOneCharacterOrTheEnd)
{
    struct Case {
        const char* pattern;
        const char* key;
        bool want;
    };
    const Case cases[] = {
        {"JA8***", "JA8089", true},    {"JA8***", "JA8001", true},
        {"JA8***", "JA80891", false},                               // one position longer than the pattern
        {"JA8****", "JA80891", true},  {"JA8****", "JA8089", true}, // '*' also stands for the end
        {"JL*", "JL", true},           {"JL*", "JL0", true},
        {"JL*", "JL0001", false},      {"JA8089", "JA8089", true},
        {"JA8089", "JA8088", false},   {"JA8089", "JA808", false},
        {"*******", "", true},         {"*******", "JA80891", true},
        {"JA80891X", "JA80891", true},                  // only seven positions are compared
        {"", "JA8089", false},         {"", "", false}, // an empty pattern matches nothing
        {"ja8089", "JA8089", false},                    // letter case counts
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " / " + c.key);
        EXPECT_EQ(Matches(c.pattern, c.key), c.want);
    }
}

TEST(SearchList, FindPatternGivesTheFirstMatchingRow)
{
    SearchList list;
    list.AddSearchRow("JL0456", "a");
    list.AddSearchRow("JA8***", "b");
    list.AddSearchRow("JA80**", "c");
    EXPECT_EQ(list.FindPattern("JA8089"), 2);
    EXPECT_EQ(list.FindPattern("JL0456"), 1);
    EXPECT_EQ(list.FindPattern("JA9999"), 0);
    EXPECT_EQ(list.rows()[1].hit, "------");
    EXPECT_EQ(list.rows()[1].lastTime, "--:--:--");
}

TEST(SearchList, ParsesTheFileForm)
{
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::pair<std::string, std::string>> want;
    };
    const std::string longRemark(40, 'r');
    // "羽田" in Shift-JIS, sixteen times: 32 bytes.
    std::string kanji;
    for (int i = 0; i < 16; ++i)
        kanji += "\x89\x48";
    const Case cases[] = {
        {"crlf", "JA8089,favourite\r\nJL*,x\r\n", {{"JA8089", "favourite"}, {"JL*", "x"}}},
        {"lf", "JA8089,favourite\nJL*,\n", {{"JA8089", "favourite"}, {"JL*", ""}}},
        {"last line without end", "JA8089,a\r\nJL0001,b", {{"JA8089", "a"}}},
        {"no comma", "JA8089\r\nJL0001,b\r\n", {{"JL0001", "b"}}},
        {"second comma stays in remark", "JA8089,a,b\r\n", {{"JA8089", "a,b"}}},
        {"0xFF ends the file", "JA8089,a\r\n\xFFJL0001,b\r\n", {{"JA8089", "a"}}},
        {"lengths", "JA80891234," + longRemark + "\r\n", {{"JA808912", longRemark.substr(0, 31)}}},
        {"no half character", "X," + kanji + "\r\n", {{"X", kanji.substr(0, 30)}}},
        {"empty", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<SearchRow> rows = SearchList::parse(c.bytes);
        ASSERT_EQ(rows.size(), c.want.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i].pattern, c.want[i].first);
            EXPECT_EQ(rows[i].remark, c.want[i].second);
        }
    }
}

class SearchFile : public ::testing::Test {
protected:
    QString path() const { return dir.filePath(QStringLiteral("search.csv")); }
    void write(const std::string& bytes)
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }
    std::string read() const
    {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : "<missing>";
    }
    QTemporaryDir dir;
};

TEST_F(SearchFile, LoadsAndSavesTheSameLines)
{
    write("JA8089,favourite\nJL0123,\x93\xC1\x95\xCA\r\n");
    SearchList list;
    ASSERT_TRUE(list.Load(path()));
    ASSERT_EQ(list.rows().size(), 2u);
    EXPECT_EQ(list.rows()[0].pattern, "JA8089");
    EXPECT_EQ(list.rows()[0].remark, "favourite");
    list.rows()[0].hit = "JL0001"; // hit and time are not saved
    ASSERT_TRUE(list.SaveSearchList(path()));
    EXPECT_EQ(read(), "JA8089,favourite\r\nJL0123,\x93\xC1\x95\xCA\r\n");
}

TEST_F(SearchFile, MissingFileGivesAnEmptyListAndTheFirstSaveCreatesIt)
{
    SearchList list;
    EXPECT_FALSE(list.Load(path()));
    EXPECT_TRUE(list.rows().empty());
    list.AddSearchRow("JA8***", "x");
    ASSERT_TRUE(list.SaveSearchList(path()));
    EXPECT_EQ(read(), "JA8***,x\r\n");
}

TEST_F(SearchFile, FailedSaveLeavesTheOldFile)
{
    const std::string old = "JA8089,old\r\n";
    write(old);
    SearchList list;
    ASSERT_TRUE(list.Load(path()));
    for (int i = 0; i < 50; ++i)
        list.AddSearchRow("JA8***", "a remark long enough to need room");

    // A file-size limit makes every write past 64 bytes fail (EFBIG), as a
    // full disk would; root is not exempt from it.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved1 = static_cast<bool>(list.SaveSearchList(path()));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(saved1);
    EXPECT_EQ(read(), old);
    EXPECT_EQ(list.rows().size(), 51u); // the list in memory stays as edited
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("search.csv")});
}

} // namespace
} // namespace varnesk
