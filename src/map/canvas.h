// Pixel-exact drawing on a 32-bit QImage with the conventions of the map's
// surfaces: lines exclude their end pixel, boxes exclude their right and
// bottom edges, dotted pens draw 3 pixels on and 3 off, text has no background.
#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace varnesk {

// A settings colour (blue << 16 | green << 8 | red) as an opaque QRgb.
constexpr QRgb rgbOf(uint32_t settingsColour)
{
    return 0xFF000000u | ((settingsColour & 0xFFu) << 16) | (settingsColour & 0xFF00u)
           | ((settingsColour >> 16) & 0xFFu);
}

enum class Pen { Solid, Dotted };

// The dotted pen: 3 pixels on, 3 off, restarting at the start of each line.
inline constexpr int kDotOnPx = 3;
inline constexpr int kDotPeriodPx = 6;

// "MS Gothic" at 8 points, served by IPAGothic. Call once a QGuiApplication
// exists; later calls do nothing.
void installMapFonts();
QFont mapFont(int pointSize = 8);

// Text drawn once per (text, size) into a mask of pixel runs, then copied in
// any colour: the map font draws without antialiasing, so a label drawn from
// its mask is the same pixels as drawing it again. Bounded: emptied when full.
class TextMasks {
public:
    struct Run {
        int16_t dy, dx0, dx1; // row and inclusive columns from the text's top-left
    };
    const std::vector<Run>& mask(std::string_view sjis, int pointSize);
    size_t size() const { return m_masks.size(); }

private:
    std::unordered_map<std::string, std::vector<Run>> m_masks;
    std::string m_key;
};

class Canvas {
public:
    // The image must be Format_RGB32 and not shared with another QImage.
    // With masks, text is copied from them instead of being drawn each time.
    explicit Canvas(QImage& image, TextMasks* masks = nullptr);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    int width() const { return m_width; }
    int height() const { return m_height; }

    void fill(QRgb colour);
    void pixel(int x, int y, QRgb colour)
    {
        if (static_cast<unsigned>(x) < static_cast<unsigned>(m_width)
            && static_cast<unsigned>(y) < static_cast<unsigned>(m_height))
            m_bits[static_cast<size_t>(y) * m_stride + static_cast<size_t>(x)] = colour;
    }
    // From (x0, y0) towards (x1, y1); the end pixel is not drawn.
    void line(int x0, int y0, int x1, int y1, QRgb colour, Pen pen = Pen::Solid);
    // Outline of the ellipse in the box (l, t)–(r, b), right and bottom exclusive.
    void ellipse(int l, int t, int r, int b, QRgb colour);
    void fillRect(int l, int t, int r, int b, QRgb colour);
    void frameRect(int l, int t, int r, int b, QRgb colour);
    // Text with its top-left at (x, y), in the map font, no background.
    void text(int x, int y, std::string_view sjis, QRgb colour);
    // The pixels text(x, y, sjis, …) would cover, as a rectangle.
    QRect textRect(int x, int y, std::string_view sjis);
    void setTextPointSize(int pointSize);

private:
    QPainter& painter();

    QImage& m_image;
    QRgb* m_bits = nullptr;
    size_t m_stride = 0; // pixels per scan line
    int m_width = 0;
    int m_height = 0;
    std::unique_ptr<QPainter> m_painter;
    TextMasks* m_masks = nullptr;
    int m_pointSize = 8;
    int m_ascent = 0;
};

} // namespace varnesk
