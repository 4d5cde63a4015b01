// The picture is encoded in memory, then written beside the target and
// renamed over it only when complete and synced.
#include "map/map_picture_file.h"

#include "settings/file_write.h"
#include <QFileInfo>

#include <QBuffer>
#include <QImageWriter>

namespace varnesk {

QString mapPictureFileName(const QString& chosen)
{
    if (QFileInfo(chosen).suffix().isEmpty())
        return chosen + QStringLiteral(".bmp");
    return chosen;
}

bool writeMapPicture(const QImage& picture, const QString& path, QString& reason)
{
    const QByteArray format = QFileInfo(path).suffix().toLower().toLatin1();
    if (format.isEmpty() || !QImageWriter::supportedImageFormats().contains(format)) {
        reason = QStringLiteral("拡張子「%1」の画像形式では保存できません。").arg(QFileInfo(path).suffix());
        return false;
    }
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    // The map surface is 24-bit colour; so is the file.
    if (!writer.write(picture.convertToFormat(QImage::Format_RGB888))) {
        reason = writer.errorString();
        return false;
    }
    const WriteResult written =
        replaceFile(path, std::string_view(encoded.constData(), static_cast<size_t>(encoded.size())));
    if (!written) {
        reason = written.reason;
        return false;
    }
    return true;
}

} // namespace varnesk
