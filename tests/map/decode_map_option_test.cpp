// varnesk-decode --map FILE.png [--size WxH]: the map picture after the
// inputs, without a display.
#include "map_test_env.h"

#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace varnesk {
namespace {

int runDecode(const QStringList& args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM")); // the program picks offscreen itself
    env.remove(QStringLiteral("DISPLAY"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(VARNESK_APP_DIR "/varnesk-decode"), args);
    if (!p.waitForFinished(60000))
        return -1;
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

TEST(DecodeMapOptionTest, WritesThePictureAtTheAskedSize)
{
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("map.png"));
    const QString wav = QStringLiteral(VARNESK_FIXTURES "/acarsdec-test-ch0ch1-22050-stereo.wav");
    ASSERT_EQ(runDecode({QStringLiteral("--map"), png, QStringLiteral("--size"), QStringLiteral("320x200"), wav}), 0);
    const QImage picture(png);
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(320, 200));

    const QString plain = dir.filePath(QStringLiteral("default.png"));
    ASSERT_EQ(runDecode({QStringLiteral("--map"), plain, wav}), 0);
    EXPECT_EQ(QImage(plain).size(), QSize(800, 600));
}

TEST(DecodeMapOptionTest, BadSizeIsAUsageError)
{
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("map.png"));
    const QString wav = QStringLiteral(VARNESK_FIXTURES "/acarsdec-test-ch0ch1-22050-stereo.wav");
    for (const char* size : {"0x10", "800", "axb", "800x-1"}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(runDecode({QStringLiteral("--map"), png, QStringLiteral("--size"), QLatin1String(size), wav}), 2);
    }
    EXPECT_FALSE(QFileInfo::exists(png));
    EXPECT_EQ(runDecode({QStringLiteral("--map"), dir.filePath(QStringLiteral("no/such/dir/m.png")), wav}), 1);
}

} // namespace
} // namespace varnesk
