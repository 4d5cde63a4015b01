// The product picture, which is also the program's icon: range rings on a
// dark disc, a track of yellow plots and a white aircraft, drawn at any size
// (packaging/io.varnesk.Varnesk.svg is the same drawing).
#pragma once

#include <QImage>

namespace varnesk {

QImage drawProductPicture(int sizePx);

} // namespace varnesk
