// Received text entries, trimming, the text log's bytes and files, log start,
// the import guard and the EachLogs clean-up.
#include "decode/text_log.h"

#include "decode_rig.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace varnesk;
using namespace varnesk::testing;

namespace {

class TextLogTest : public ::testing::Test {
protected:
    DecodeRig rig{0};
};

} // namespace

TEST_F(TextLogTest, FillAfterRegistration)
{
    rig.settings().setInteger(Key::TxtType, 1);
    rig.feed(downlink(".JA8089", "M01A", "JL0012", "TEXT"));
    rig.feed(downlink("JA12345", "M01A", "JL0012", "TEXT"));
    ASSERT_EQ(rig.entries.size(), 2u);
    const std::string header = "Lch------------------------[" + rig.dateTime() + "]\r\n";
    EXPECT_EQ(rig.entries[0], header + "JL0012 (JA8089)    [H1:1:M01A] MODE:2   \r\nTEXT\r\n");
    EXPECT_EQ(rig.entries[1], header + "JL0012 (JA12345)   [H1:1:M01A] MODE:2   \r\nTEXT\r\n");
}

TEST_F(TextLogTest, RawEntryOnDiskEndsCrCrLf)
{
    rig.settings().setBoolean(Key::TxtLog, true);
    rig.feed(downlink(".JA8089", "M01A", "JL0012", "A\r\nB"));
    const std::string raw = "+*<SYN><SYN><SOH>2.JA8089<NAK>H11<STX>M01AJL0012A<CR><VF>B<ETX>";
    EXPECT_EQ(rig.windowText(), "[Lch]" + rig.dateTime() + ">" + raw + "\r\n");
    EXPECT_EQ(rig.readFile(QStringLiteral("logs/text.log")), "[Lch]" + rig.dateTime() + ">" + raw + "\r\r\n");
}

TEST_F(TextLogTest, ProcessedEntryOnDisk)
{
    rig.settings().setBoolean(Key::TxtLog, true);
    rig.settings().setInteger(Key::TxtType, 1);
    rig.feed(downlink(".JA8089", "M01A", "JL0012", "", kEtx, "Q0"));
    rig.feed(downlink(".JA8089", "M02A", "JL0012", "LINE1\r\nLINE2"));
    const std::string header = "Lch------------------------[" + rig.dateTime() + "]\r\n";
    const std::string id1 = "JL0012 (JA8089)    [Q0:1:M01A] MODE:2   \r\n";
    const std::string id2 = "JL0012 (JA8089)    [H1:1:M02A] MODE:2   \r\n";
    // The banner's own line end is "\n" (CR LF on disk); the message text keeps
    // its CR LF, stored CR CR LF.
    EXPECT_EQ(rig.readFile(QStringLiteral("logs/text.log")),
              header + id1 + "<<<         Link Test         >>>\r\n" + header + id2 + "LINE1\r\r\nLINE2\r\n");
}

TEST_F(TextLogTest, TrimmingAtMaxBytes)
{
    rig.settings().setInteger(Key::MaxBytes, 1000);
    for (int i = 0; i < 40; ++i)
        rig.feed(downlink(".JA" + std::to_string(8000 + i), "M01A", "JL0012", "TEXT" + std::to_string(i)));
    const std::string& text = rig.windowText();
    EXPECT_EQ(text.size(), 999u);
    EXPECT_FALSE(text.starts_with("[Lch]"));
    EXPECT_TRUE(text.ends_with("TEXT39<ETX>\r\n"));
}

TEST_F(TextLogTest, SwitchingViewKeepsEarlierEntries)
{
    rig.settings().setInteger(Key::TxtType, 1);
    rig.feed(downlink(".JA8089", "M01A", "JL0012", "PRC ENTRY"));
    const std::string before = rig.windowText();
    rig.settings().setInteger(Key::TxtType, 0);
    rig.feed(downlink(".JA8089", "M02A", "JL0012", "RAW ENTRY"));
    EXPECT_TRUE(rig.windowText().starts_with(before));
    EXPECT_TRUE(rig.windowText().ends_with("RAW ENTRY<ETX>\r\n"));
}

TEST_F(TextLogTest, TypeOneAndTwoChooseTheFile)
{
    rig.settings().setBoolean(Key::TxtLog, true);
    rig.settings().setInteger(Key::TxtType, 2);
    rig.settings().setInteger(Key::TxtLogType, 1);
    rig.feed(downlink(".JA8089", "M01A", "JL12  ", "BY FLIGHT"));
    rig.feed(uplink(".JA8089", 'A', "UPLINK TEXT", kEtx, "H1", 'm'));
    rig.settings().setInteger(Key::TxtLogType, 2);
    rig.feed(downlink(".JA8089", "M02A", "JL0012", "BY REG"));
    EXPECT_NE(rig.readFile(QStringLiteral("logs/EachLogs/JL0012.log")).find("BY FLIGHT"), std::string::npos);
    EXPECT_NE(rig.readFile(QStringLiteral("logs/EachLogs/HANEDA.log")).find("UPLINK TEXT"), std::string::npos);
    EXPECT_NE(rig.readFile(QStringLiteral("logs/EachLogs/JA8089.log")).find("BY REG"), std::string::npos);
    EXPECT_FALSE(rig.exists(QStringLiteral("logs/text.log")));
}

TEST_F(TextLogTest, NameThatIsNoFileNameLosesThatEntryOnly)
{
    rig.settings().setBoolean(Key::TxtLog, true);
    rig.settings().setInteger(Key::TxtType, 2);
    rig.settings().setInteger(Key::TxtLogType, 2);
    rig.feed(downlink("../../x", "M01A", "JL0012", "ESCAPE"));
    rig.feed(downlink(".......", "M01A", "JL0012", "EMPTY"));
    rig.feed(downlink(".JA8089", "M01A", "JL0012", "GOOD"));
    EXPECT_EQ(rig.entries.size(), 3u); // the window is unaffected
    EXPECT_FALSE(rig.exists(QStringLiteral("x.log")));
    EXPECT_EQ(QDir(rig.dir() + QStringLiteral("/logs/EachLogs")).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("JA8089.log")});
    for (std::string_view bad : {"", ".", "..", "a/b", "a\\b", "a:b", "a*b", "a?b", "a\"b", "a<b", "a>b", "a|b",
                                 "a\x01"
                                 "b",
                                 "a\x7F"
                                 "b"})
        EXPECT_FALSE(TextLog::validFileName(bad)) << bad;
    EXPECT_TRUE(TextLog::validFileName("HAKODATE "));
    EXPECT_TRUE(TextLog::validFileName("\x93\x8C\x8B\x9E")); // Shift-JIS bytes
}

TEST_F(TextLogTest, LogOffWritesNothing)
{
    rig.feed(downlink(".JA8089", "M01A", "JL0012", "TEXT"));
    EXPECT_FALSE(rig.exists(QStringLiteral("logs/text.log")));
}

TEST_F(TextLogTest, LogStartBeginsAFreshTextLogAndKeepsTheLastOne)
{
    rig.settings().setBoolean(Key::TxtLog, true);
    rig.feed(downlink(".JA8089", "M01A", "JL0012", "OLD"));
    const std::string old = rig.readFile(QStringLiteral("logs/text.log"));
    ASSERT_NE(old.find("OLD"), std::string::npos);
    ReceivedText& text = rig.decode().text;
    ASSERT_TRUE(text.WriteLogStart(false));
    EXPECT_EQ(rig.readFile(QStringLiteral("logs/text.log")), "Start Logging at " + rig.dateTime() + "\r\n");
    // The log as it was, under the time of its last write.
    const QStringList kept = QDir(rig.dir() + QStringLiteral("/logs")).entryList({QStringLiteral("text_*.log")});
    ASSERT_EQ(kept.size(), 1);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^text_\\d{12}\\.log$")).match(kept[0]).hasMatch())
        << kept[0].toStdString();
    EXPECT_EQ(rig.readFile(QStringLiteral("logs/") + kept[0]), old);
    ASSERT_TRUE(text.WriteLogStart(true));
    EXPECT_EQ(rig.readFile(QStringLiteral("logs/text.log")),
              "Start Logging at " + rig.dateTime() + "\r\n" + std::string(48, '-') + "\r\n");

    // With the log off a start-up leaves the text log of an earlier run alone.
    rig.feed(downlink(".JA8089", "M02A", "JL0012", "KEPT"));
    const std::string before = rig.readFile(QStringLiteral("logs/text.log"));
    rig.settings().setBoolean(Key::TxtLog, false);
    EXPECT_FALSE(text.WriteLogStart(true));
    EXPECT_EQ(rig.readFile(QStringLiteral("logs/text.log")), before);
    EXPECT_NE(before.find("KEPT"), std::string::npos);
}

TEST_F(TextLogTest, AFailedWriteIsToldOnceCountedAndRetried)
{
    rig.settings().setBoolean(Key::TxtLog, true);
    ReceivedText& text = rig.decode().text;
    std::vector<QString> told;
    QObject::connect(&text, &ReceivedText::logWriteFailed,
                     [&](const QString& path, const QString&) { told.push_back(path); });
    // A folder where the log should be: no entry can be written.
    const QString log = rig.dir() + QStringLiteral("/logs/text.log");
    ASSERT_TRUE(QDir().mkpath(log));
    for (int i = 1; i <= 3; ++i)
        rig.feed(downlink(".JA8089", "M0" + std::to_string(i) + "A", "JL0012", "T" + std::to_string(i)));
    EXPECT_EQ(told, std::vector<QString>{log});
    EXPECT_EQ(text.logFailures(), 3);
    // The next entry after the way is clear goes in; a later failure is told again.
    ASSERT_TRUE(QDir().rmdir(log));
    rig.feed(downlink(".JA8089", "M04A", "JL0012", "BACK"));
    EXPECT_NE(rig.readFile(QStringLiteral("logs/text.log")).find("BACK"), std::string::npos);
    ASSERT_TRUE(QFile::remove(log));
    ASSERT_TRUE(QDir().mkpath(log));
    rig.feed(downlink(".JA8089", "M05A", "JL0012", "GONE"));
    EXPECT_EQ(told.size(), 2u);
}

TEST_F(TextLogTest, ImportGuardAppendsToTheCopy)
{
    rig.settings().setBoolean(Key::TxtLog, true);
    const QByteArray path = QFile::encodeName(rig.dir() + QStringLiteral("/logs/text.log"));
    rig.decode().log.setImportFileName(path.toStdString());
    rig.feed(downlink(".JA8089", "M01A", "JL0012", "TEXT"));
    EXPECT_FALSE(rig.exists(QStringLiteral("logs/text.log")));
    EXPECT_NE(rig.readFile(QStringLiteral("logs/text_c.log")).find("TEXT"), std::string::npos);

    // The same file spelled another way is guarded too.
    EXPECT_EQ(TextLog::guardImport(path.toStdString(),
                                   QFile::encodeName(rig.dir() + QStringLiteral("//logs/./text_c.log")).toStdString()),
              path.toStdString());
    QFile(QString::fromUtf8(path)).open(QIODevice::WriteOnly);
    EXPECT_EQ(TextLog::guardImport(path.toStdString(),
                                   QFile::encodeName(rig.dir() + QStringLiteral("//logs/./text.log")).toStdString()),
              QFile::encodeName(rig.dir() + QStringLiteral("/logs/text_c.log")).toStdString());
}

TEST_F(TextLogTest, DeleteEachLogsRemovesOnlyLogFiles)
{
    const QString each = rig.dir() + QStringLiteral("/logs/EachLogs/");
    for (const char* name : {"JL0012.log", "HANEDA.LOG", ".log", "keep.txt"}) {
        QFile f(each + QString::fromLatin1(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QDir(each).mkpath(QStringLiteral("sub.log"));
    QFile inner(each + QStringLiteral("sub.log/inner.log"));
    ASSERT_TRUE(inner.open(QIODevice::WriteOnly));
    inner.close();
    EXPECT_EQ(rig.decode().log.deleteEachLogs(), 3);
    QStringList left = QDir(each).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    left.sort();
    EXPECT_EQ(left, (QStringList{QStringLiteral("keep.txt"), QStringLiteral("sub.log")}));
    EXPECT_TRUE(QFile::exists(each + QStringLiteral("sub.log/inner.log")));
}
