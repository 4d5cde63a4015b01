// Writes the card's no-picture image pics/noimage.jpg: a 200 × 133 light grey
// card with a frame, a camera outline and "NO IMAGE" in block letters, drawn
// pixel by pixel (no fonts needed at build time) and encoded with libjpeg.
#include "aircraft/jpeg_picture.h"

#include <QFile>
#include <QImage>

#include <array>
#include <cstdio>
#include <string_view>

namespace {

constexpr int kWidth = 200;
constexpr int kHeight = 133;
constexpr int kDot = 3; // pixels per font dot

// 5 × 7 block letters, one row per string, '#' a dot.
struct Glyph {
    char letter;
    std::array<std::string_view, 7> rows;
};
constexpr std::array<Glyph, 8> kGlyphs{{
    {'N', {"#...#", "##..#", "#.#.#", "#.#.#", "#..##", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'I', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {' ', {".....", ".....", ".....", ".....", ".....", ".....", "....."}},
}};

void fill(QImage& img, int x, int y, int w, int h, QRgb colour)
{
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i)
            if (i >= 0 && j >= 0 && i < img.width() && j < img.height())
                img.setPixel(i, j, colour);
}

void text(QImage& img, std::string_view s, int x, int y, QRgb colour)
{
    for (char c : s) {
        for (const Glyph& g : kGlyphs) {
            if (g.letter != c)
                continue;
            for (int r = 0; r < 7; ++r)
                for (int k = 0; k < 5; ++k)
                    if (g.rows[static_cast<size_t>(r)][static_cast<size_t>(k)] == '#')
                        fill(img, x + k * kDot, y + r * kDot, kDot, kDot, colour);
        }
        x += 6 * kDot;
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-noimage OUTPUT.jpg\n");
        return 2;
    }
    const QRgb back = qRgb(0xE4, 0xE7, 0xEB);
    const QRgb ink = qRgb(0x7A, 0x82, 0x8C);
    QImage img(kWidth, kHeight, QImage::Format_RGB32);
    img.fill(back);
    // Frame.
    fill(img, 4, 4, kWidth - 8, 2, ink);
    fill(img, 4, kHeight - 6, kWidth - 8, 2, ink);
    fill(img, 4, 4, 2, kHeight - 8, ink);
    fill(img, kWidth - 6, 4, 2, kHeight - 8, ink);
    // Camera: body, viewfinder bump and lens ring.
    const int cx = kWidth / 2;
    fill(img, cx - 24, 28, 48, 3, ink);
    fill(img, cx - 24, 58, 48, 3, ink);
    fill(img, cx - 24, 28, 3, 33, ink);
    fill(img, cx + 21, 28, 3, 33, ink);
    fill(img, cx - 8, 22, 16, 6, ink);
    for (int y = 30; y < 60; ++y)
        for (int x = cx - 12; x <= cx + 12; ++x) {
            const int dx = x - cx;
            const int dy = y - 44;
            const int d2 = dx * dx + dy * dy;
            if (d2 <= 100 && d2 >= 49)
                img.setPixel(x, y, ink);
        }
    constexpr std::string_view kText = "NO IMAGE";
    const int textWidth = static_cast<int>(kText.size()) * 6 * kDot - kDot;
    text(img, kText, (kWidth - textWidth) / 2, 80, ink);

    const QByteArray jpeg = varnesk::encodeJpeg(img, 90);
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (jpeg.isEmpty() || !out.open(QIODevice::WriteOnly) || out.write(jpeg) != jpeg.size()) {
        std::fprintf(stderr, "make-noimage: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
