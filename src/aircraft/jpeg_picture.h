// Aircraft pictures (pics/REG.jpg, pics/noimage.jpg) decoded with libjpeg,
// never through an image plugin: a JPEG file in, an RGB QImage out, or the
// reason it could not be read. A truncated or corrupt file is a failure, not
// a half-grey picture.
#pragma once

#include <QImage>
#include <QString>

namespace varnesk {

struct JpegResult {
    QImage image;   // null on failure
    QString reason; // empty on success
};

// Pictures wider or taller than this are refused unread (an untrusted
// header could ask for gigabytes).
inline constexpr int kMaxPictureSidePx = 8192;
// Files larger than this are refused unread.
inline constexpr qint64 kMaxPictureBytes = 32 * 1024 * 1024;

JpegResult decodeJpeg(const QByteArray& bytes);
JpegResult loadJpegFile(const QString& path);

// Encodes an RGB888 picture (quality 0 … 100); empty on failure.
QByteArray encodeJpeg(const QImage& image, int quality);

} // namespace varnesk
