// The program on a full disk: the settings, the search list and a saved map
// picture keep their old content, each failure is told in a box with the
// system's reason, and everything is written again once space returns.
#include "app/ui/main_window.h"
#include "map/ui/map_area.h"
#include "search/search_watch.h"
#include "widgets/message_hub.h"

#include "../full_disk.h"
#include "../gui_app.h"
#include "../search/search_test_support.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace varnesk;

namespace {

class FullDiskProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ensureGuiApp();
        MessageHub::clearRecords();
        MessageHub::setAnswerer([](MessageHub::Kind, const QString&) { return true; });
    }
    void TearDown() override { MessageHub::setAnswerer({}); }

    QString file(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    // The boxes shown that start with text.
    int boxes(const QString& text) const
    {
        int n = 0;
        for (const MessageHub::Record& r : MessageHub::records())
            n += r.text.startsWith(text);
        return n;
    }
    QString lastBox() const { return MessageHub::records().empty() ? QString() : MessageHub::records().back().text; }

    QTemporaryDir m_dir;
};

TEST_F(FullDiskProgram, OldFilesStayWholeAndTheReasonIsShown)
{
    test::FullDisk disk(m_dir.path(), "size=1m", 8);
    SCOPED_TRACE(disk.how());
    QDir(m_dir.path()).mkpath(QStringLiteral("data"));
    QDir(m_dir.path()).mkpath(QStringLiteral("logs/EachLogs"));
    const std::string oldIni = "[Map]\nMapScale=5\n[Mine]\nKept=old settings\n";
    const std::string oldList = "JA8089,old\r\n";
    const std::string oldMap = "an old map picture";
    test::writeFile(file("varnesk.ini"), oldIni);
    test::writeFile(file("data/search.csv"), oldList);
    test::writeFile(file("old-map.bmp"), oldMap);

    auto main = std::make_unique<MainWindow>(MainWindow::Options{m_dir.path(), QStringLiteral("varnesk")});
    ASSERT_NE(main->mapArea(), nullptr);
    main->mapArea()->chooseSaveFile = [this] { return file("old-map.bmp"); };
    main->settings().setInteger(Key::MapScale, 2);
    MessageHub::clearRecords();

    disk.fill();
    main->search().AddSearchRow("JL0123", "new");
    test::waitUntil([&] { return boxes(QStringLiteral("サーチリストを保存できませんでした")) > 0; }, 3000);
    main->mapArea()->saveMapImage();
    main->close();
    test::waitUntil([] { return false; }, 50);
    EXPECT_EQ(test::readFile(file("varnesk.ini")), oldIni);
    EXPECT_EQ(test::readFile(file("data/search.csv")), oldList);
    EXPECT_EQ(test::readFile(file("old-map.bmp")), oldMap);
    EXPECT_EQ(boxes(QStringLiteral("サーチリストを保存できませんでした")), 1);
    EXPECT_EQ(boxes(QStringLiteral("マップ画像を保存できませんでした")), 1);
    EXPECT_EQ(boxes(QStringLiteral("設定を保存できませんでした")), 1);
    // The reason the system gave comes last in each box.
    const QString reason = QString::fromLocal8Bit(std::strerror(disk.mounted() ? ENOSPC : EFBIG));
    EXPECT_TRUE(lastBox().endsWith(reason)) << lastBox().toStdString();
    // No temporary file is left beside the old ones.
    EXPECT_EQ(QDir(m_dir.path()).entryList({QStringLiteral("*.??????")}, QDir::Files), QStringList());
    EXPECT_EQ(QDir(file("data")).entryList(QDir::Files), QStringList{QStringLiteral("search.csv")});

    // Space again: the same program state is written.
    disk.free();
    EXPECT_TRUE(main->search().SaveSearchList());
    EXPECT_EQ(test::readFile(file("data/search.csv")), "JA8089,old\r\nJL0123,new\r\n");
    main->mapArea()->saveMapImage();
    EXPECT_EQ(test::readFile(file("old-map.bmp")).substr(0, 2), "BM");
    EXPECT_TRUE(main->settings().Save(file("varnesk.ini")));
    const std::string ini = test::readFile(file("varnesk.ini"));
    EXPECT_NE(ini.find("MapScale=2"), std::string::npos);
    EXPECT_NE(ini.find("Kept=old settings"), std::string::npos);
    main.reset();
}

} // namespace
