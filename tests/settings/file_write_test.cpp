// Writing on a disk that fills up: a replaced file is the old one or the new
// one, never a cut one; a log entry is in the file whole or not at all; a log
// that starts afresh keeps the previous file under its stamped name; a
// settings file with a mail password is readable by its owner only.
#include "settings/file_write.h"
#include "settings/settings_store.h"

#include "../full_disk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace varnesk {
namespace {

std::string readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : "<missing>";
}

TEST(FileWrite, FullDiskKeepsOldFilesAndWholeEntries)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("fs"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const std::string entry(1000, 'e');
    // The fallback's limit lets the log grow by two entries and no more.
    test::FullDisk disk(folder, "size=64k", 2100);
    SCOPED_TRACE(disk.how());
    const QString settings = folder + QStringLiteral("/varnesk.ini");
    const QString log = folder + QStringLiteral("/text.log");
    ASSERT_TRUE(replaceFile(settings, "[Map]\nMapScale=5\n"));
    ASSERT_TRUE(appendWhole(log, "start\r\n"));

    disk.fill();
    const WriteResult replaced = replaceFile(settings, std::string(5000, 'n'));
    EXPECT_FALSE(replaced);
    EXPECT_FALSE(replaced.reason.isEmpty());
    EXPECT_EQ(readAll(settings), "[Map]\nMapScale=5\n");
    // Entries go in until one does not fit; that one leaves nothing behind.
    int written = 0;
    WriteResult appended;
    while ((appended = appendWhole(log, entry)) && written < 100)
        ++written;
    EXPECT_FALSE(appended);
    EXPECT_LT(written, 100);
    EXPECT_EQ(
        readAll(log), "start\r\n" + [&] {
            std::string all;
            for (int i = 0; i < written; ++i)
                all += entry;
            return all;
        }());
    EXPECT_EQ(QDir(folder).entryList({QStringLiteral("varnesk.ini.*")}, QDir::Files), QStringList());

    disk.free();
    EXPECT_TRUE(replaceFile(settings, "[Map]\nMapScale=2\n"));
    EXPECT_EQ(readAll(settings), "[Map]\nMapScale=2\n");
    EXPECT_TRUE(appendWhole(log, "resumed\r\n"));
    EXPECT_EQ(readAll(log).substr(readAll(log).size() - 9), "resumed\r\n");
}

TEST(FileWrite, PreviousLogIsKeptUnderItsStampedName)
{
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("text.log"));
    const QDateTime lastWrite(QDate(2026, 12, 11), QTime(9, 40, 59));
    auto writeOld = [&](const std::string& text) {
        QFile f(log);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.data(), static_cast<qint64>(text.size()));
        f.flush(); // a write at close would move the time again
        ASSERT_TRUE(f.setFileTime(lastWrite, QFileDevice::FileModificationTime));
    };
    writeOld("first\r\n");
    ASSERT_TRUE(keepPreviousLog(log));
    EXPECT_FALSE(QFile::exists(log));
    EXPECT_EQ(readAll(dir.filePath(QStringLiteral("text_202612110940.log"))), "first\r\n");
    // A second start in the same minute takes the next free name.
    writeOld("second\r\n");
    ASSERT_TRUE(keepPreviousLog(log));
    EXPECT_EQ(readAll(dir.filePath(QStringLiteral("text_202612110940-2.log"))), "second\r\n");
    // An empty or missing log needs nothing kept.
    writeOld("");
    ASSERT_TRUE(keepPreviousLog(log));
    EXPECT_TRUE(QFile::exists(log));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);
    EXPECT_EQ(stampedLogName(QStringLiteral("/x/202612110940_list.csv"), lastWrite),
              QStringLiteral("/x/202612110940_list_202612110940.csv"));
}

TEST(FileWrite, SettingsWithAMailPasswordAreTheOwnersOnly)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("varnesk.ini"));
    auto mode = [&] {
        struct stat st { };
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 0777) : 0u;
    };
    SettingsStore s;
    ASSERT_TRUE(s.Save(path));
    EXPECT_EQ(mode(), 0644u);
    s.setText(Key::MailPass, "s3cret");
    ASSERT_TRUE(s.Save(path));
    EXPECT_EQ(mode(), 0600u);
    // It stays so when the password goes again.
    s.setText(Key::MailPass, "");
    ASSERT_TRUE(s.Save(path));
    EXPECT_EQ(mode(), 0600u);
}

} // namespace
} // namespace varnesk
