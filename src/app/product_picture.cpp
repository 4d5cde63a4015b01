#include "app/product_picture.h"

#include <QPainter>
#include <QPainterPath>

namespace varnesk {

QImage drawProductPicture(int sizePx)
{
    QImage image(sizePx, sizePx, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(sizePx / 64.0, sizePx / 64.0);
    // Disc and range rings, as on the map's dark background.
    p.setPen(QPen(QColor(0x1b, 0x3a, 0x5c), 2));
    p.setBrush(QColor(0x0b, 0x1f, 0x33));
    p.drawEllipse(QRectF(3, 3, 58, 58));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x2f, 0x8f, 0x5f), 1.2));
    p.drawEllipse(QRectF(13, 13, 38, 38));
    p.drawEllipse(QRectF(23, 23, 18, 18));
    // Track of yellow plots to the aircraft (the map's default plot colour).
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0xd7, 0x00));
    for (int i = 0; i < 4; ++i)
        p.drawEllipse(QPointF(14 + i * 6.5, 48 - i * 6.5), 2.0, 2.0);
    // The aircraft, nose to the upper right.
    p.translate(44, 20);
    p.rotate(45);
    QPainterPath plane;
    plane.moveTo(0, -11);
    plane.cubicTo(2, -9, 2, -4, 2, -3);
    plane.lineTo(11, 3);
    plane.lineTo(11, 5);
    plane.lineTo(2, 2);
    plane.lineTo(1.5, 8);
    plane.lineTo(5, 11);
    plane.lineTo(5, 12.5);
    plane.lineTo(0, 11);
    plane.lineTo(-5, 12.5);
    plane.lineTo(-5, 11);
    plane.lineTo(-1.5, 8);
    plane.lineTo(-2, 2);
    plane.lineTo(-11, 5);
    plane.lineTo(-11, 3);
    plane.lineTo(-2, -3);
    plane.cubicTo(-2, -4, -2, -9, 0, -11);
    p.setBrush(Qt::white);
    p.drawPath(plane);
    p.end();
    return image;
}

} // namespace varnesk
