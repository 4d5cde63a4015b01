// The picture decoder on real bytes: a picture written by the encoder comes
// back, and truncated, corrupt or empty files are refused with a reason.
#include "aircraft/jpeg_picture.h"

#include <QImage>

#include <gtest/gtest.h>

using namespace varnesk;

namespace {

QByteArray redPicture()
{
    QImage img(40, 30, QImage::Format_RGB32);
    img.fill(qRgb(200, 20, 20));
    return encodeJpeg(img, 90);
}

} // namespace

TEST(JpegPicture, AnEncodedPictureDecodesToItsSizeAndColour)
{
    const QByteArray bytes = redPicture();
    ASSERT_FALSE(bytes.isEmpty());
    const JpegResult r = decodeJpeg(bytes);
    ASSERT_FALSE(r.image.isNull()) << r.reason.toStdString();
    EXPECT_TRUE(r.reason.isEmpty());
    EXPECT_EQ(r.image.size(), QSize(40, 30));
    const QColor c = r.image.pixelColor(20, 15);
    EXPECT_NEAR(c.red(), 200, 8);
    EXPECT_NEAR(c.green(), 20, 8);
}

TEST(JpegPicture, DamagedFilesAreRefusedWithAReason)
{
    const QByteArray good = redPicture();
    QByteArray flipped = good;
    for (qsizetype i = flipped.size() / 2; i < flipped.size() - 2; i += 3)
        flipped[i] = static_cast<char>(0xFF);
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"empty", QByteArray()},
        {"header only", good.left(20)},
        {"truncated in the scan", good.left(good.size() * 2 / 3)},
        {"not a JPEG", QByteArray("GIF89a plus some text that is no picture")},
        {"corrupt scan", flipped},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const JpegResult r = decodeJpeg(c.bytes);
        EXPECT_TRUE(r.image.isNull());
        EXPECT_FALSE(r.reason.isEmpty());
    }
}

TEST(JpegPicture, AMissingFileIsAFailureNotACrash)
{
    const JpegResult r = loadJpegFile(QStringLiteral("/nonexistent/pics/JA0000.jpg"));
    EXPECT_TRUE(r.image.isNull());
    EXPECT_FALSE(r.reason.isEmpty());
}
