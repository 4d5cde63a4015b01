// Drawing semantics: lines without their end pixel, clipping that never
// changes the pixels on the surface, the 3-on 3-off dotted pen, ellipse boxes
// without right and bottom edges, and the map font.
#include "acars/sjis.h"
#include "map/canvas.h"
#include "map_test_env.h"

#include <QFontInfo>
#include <QFontMetrics>

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace varnesk {
namespace {

constexpr QRgb kWhite = 0xFFFFFFFFu;
constexpr QRgb kBlack = 0xFF000000u;

QImage blank(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(kBlack);
    return img;
}

std::set<std::pair<int, int>> lit(const QImage& img, int dx = 0, int dy = 0)
{
    std::set<std::pair<int, int>> s;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != kBlack)
                s.insert({x + dx, y + dy});
    return s;
}

TEST(CanvasTest, LinesExcludeTheirEndPixelInEveryDirection)
{
    struct Case {
        int x1, y1;
        std::set<std::pair<int, int>> want;
    };
    const Case cases[] = {
        {14, 10, {{10, 10}, {11, 10}, {12, 10}, {13, 10}}},
        {6, 10, {{10, 10}, {9, 10}, {8, 10}, {7, 10}}},
        {10, 13, {{10, 10}, {10, 11}, {10, 12}}},
        {7, 7, {{10, 10}, {9, 9}, {8, 8}}},
        {16, 12, {{10, 10}, {11, 10}, {12, 11}, {13, 11}, {14, 11}, {15, 12}}}, // y rounded from the slope
        {10, 10, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x1 << "," << c.y1);
        QImage img = blank(24, 24);
        Canvas(img).line(10, 10, c.x1, c.y1, kWhite);
        EXPECT_EQ(lit(img), c.want);
    }
}

TEST(CanvasTest, ClippingLeavesTheVisiblePixelsOfALineUnchanged)
{
    // Each line drawn on a small surface must light exactly the pixels that
    // the same line lights inside that window of a surface large enough to
    // hold it whole.
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(-150, 250);
    for (int i = 0; i < 400; ++i) {
        const int x0 = coord(rng), y0 = coord(rng), x1 = coord(rng), y1 = coord(rng);
        const Pen pen = i % 2 ? Pen::Dotted : Pen::Solid;
        QImage big = blank(400, 400);
        Canvas(big).line(x0 + 150, y0 + 150, x1 + 150, y1 + 150, kWhite, pen);
        QImage small = blank(100, 80);
        Canvas(small).line(x0, y0, x1, y1, kWhite, pen);
        const QImage window = big.copy(150, 150, 100, 80);
        ASSERT_EQ(lit(small), lit(window)) << x0 << "," << y0 << " → " << x1 << "," << y1;
    }
}

TEST(CanvasTest, DottedPenIsThreeOnThreeOffFromTheStartOfEachLine)
{
    QImage img = blank(30, 3);
    Canvas c(img);
    c.line(0, 1, 20, 1, kWhite, Pen::Dotted);
    std::string row;
    for (int x = 0; x < 21; ++x)
        row += img.pixel(x, 1) == kWhite ? '#' : '.';
    EXPECT_EQ(row, "###...###...###...##.");
    QImage back = blank(30, 3);
    Canvas(back).line(20, 1, 0, 1, kWhite, Pen::Dotted);
    EXPECT_EQ(back.pixel(20, 1), kWhite);
    EXPECT_EQ(back.pixel(17, 1), kBlack);
    EXPECT_EQ(back.pixel(0, 1), kBlack); // the end pixel
}

TEST(CanvasTest, EllipseBoxExcludesRightAndBottom)
{
    QImage img = blank(12, 12);
    Canvas(img).ellipse(2, 2, 7, 7, kWhite);
    std::string art;
    for (int y = 2; y < 7; ++y) {
        for (int x = 2; x < 7; ++x)
            art += img.pixel(x, y) == kWhite ? '#' : '.';
        art += '/';
    }
    EXPECT_EQ(art, ".###./#...#/#...#/#...#/.###./");
    EXPECT_EQ(lit(img).size(), 12u); // nothing outside the box
}

TEST(CanvasTest, RectanglesFillAndFrameTheSameBox)
{
    QImage img = blank(20, 20);
    Canvas c(img);
    c.fillRect(2, 3, 8, 7, 0xFF102030u);
    c.frameRect(2, 3, 8, 7, kWhite);
    EXPECT_EQ(img.pixel(2, 3), kWhite);
    EXPECT_EQ(img.pixel(7, 6), kWhite);
    EXPECT_EQ(img.pixel(8, 6), kBlack);
    EXPECT_EQ(img.pixel(7, 7), kBlack);
    EXPECT_EQ(img.pixel(4, 5), 0xFF102030u);
    EXPECT_EQ(lit(img).size(), 24u);
}

TEST(CanvasTest, TextIsMsGothicServedByIpaGothicWithoutBackground)
{
    const QFont font = mapFont(8);
    EXPECT_EQ(QFontInfo(font).family(), QStringLiteral("IPAGothic"));
    QImage img = blank(80, 20);
    img.fill(0xFF123456u);
    Canvas c(img);
    c.text(2, 2, "HME", kWhite);
    const int white = test::countColour(img, kWhite);
    const int untouched = test::countColour(img, 0xFF123456u);
    EXPECT_GT(white, 10);
    EXPECT_EQ(white + untouched, 80 * 20); // no background box, no grey edges
    EXPECT_EQ(test::countColourIn(img, kWhite, 0, 0, 2, 20), 0);
    EXPECT_EQ(test::countColourIn(img, kWhite, 0, 0, 80, 2), 0);
    // Half-width characters take the 6 pixels the label underline counts on;
    // a Japanese character is a real full-width glyph.
    QFontMetrics m(font);
    EXPECT_EQ(m.horizontalAdvance(QStringLiteral("A")), 6);
    EXPECT_EQ(m.horizontalAdvance(QStringLiteral("JL0123")), 36);
    EXPECT_GE(m.horizontalAdvance(sjisToQString("\x93\x8c")), 10);
    // Shift-JIS bytes are drawn as their characters: two full-width glyphs
    // reach past the width of two half-width ones.
    QImage jp = blank(80, 20);
    Canvas(jp).text(2, 2, "\x93\x8c\x8b\x9e", kWhite);
    EXPECT_GT(test::countColourIn(jp, kWhite, 14, 0, 40, 20), 5);
}

} // namespace
} // namespace varnesk
