// Saving the map picture: the name gets ".bmp" when it has no extension, and
// the file is written in the format its extension names (Windows bitmap for
// ".bmp"), all at once or not at all.
#pragma once

#include <QImage>
#include <QString>

namespace varnesk {

QString mapPictureFileName(const QString& chosen);
// False with the reason (for the user's box) when the format is unknown or
// the file cannot be written; an existing file is then left as it was.
bool writeMapPicture(const QImage& picture, const QString& path, QString& reason);

} // namespace varnesk
