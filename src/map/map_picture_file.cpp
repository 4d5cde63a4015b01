// The picture goes through QSaveFile: written beside the target and renamed
// over it only when complete.
#include "map/map_picture_file.h"

#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

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
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        reason = file.errorString();
        return false;
    }
    QImageWriter writer(&file, format);
    // The map surface is 24-bit colour; so is the file.
    if (!writer.write(picture.convertToFormat(QImage::Format_RGB888))) {
        reason = writer.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        reason = file.errorString();
        return false;
    }
    return true;
}

} // namespace varnesk
