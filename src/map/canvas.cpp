// Lines are stepped along their major axis with the minor coordinate rounded
// from the exact slope, clipped to the surface before stepping, so that a line
// thousands of pixels outside the map costs nothing.
#include "map/canvas.h"

#include "acars/sjis.h"

#include <QFontMetrics>
#include <QGuiApplication>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace varnesk {

namespace {

// Outline pixels of an ellipse box, as the raster engine draws them; built
// once per box size.
constexpr int kMaskMax = 16;

struct Mask {
    bool built = false;
    std::vector<std::pair<int8_t, int8_t>> pixels;
};

const Mask& ellipseMask(int w, int h)
{
    static std::array<Mask, (kMaskMax + 1) * (kMaskMax + 1)> masks;
    Mask& m = masks[static_cast<size_t>(w * (kMaskMax + 1) + h)];
    if (!m.built) {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(0xFF000000u);
        {
            QPainter p(&img);
            p.setRenderHint(QPainter::Antialiasing, false);
            QPen pen(QColor(255, 255, 255));
            pen.setWidth(0);
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QRect(0, 0, w - 1, h - 1));
        }
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if ((img.pixel(x, y) & 0xFFFFFFu) != 0)
                    m.pixels.emplace_back(static_cast<int8_t>(x), static_cast<int8_t>(y));
        m.built = true;
    }
    return m;
}

// floor(a / b) for b > 0
int64_t floorDiv(int64_t a, int64_t b)
{
    int64_t q = a / b;
    if ((a % b) != 0 && a < 0)
        --q;
    return q;
}

} // namespace

void installMapFonts()
{
    static bool installed = false;
    if (installed || !QGuiApplication::instance())
        return;
    QFont::insertSubstitutions(QStringLiteral("MS Gothic"), {QStringLiteral("IPAGothic")});
    installed = true;
}

QFont mapFont(int pointSize)
{
    installMapFonts();
    QFont font(QStringLiteral("MS Gothic"));
    font.setPointSize(pointSize);
    font.setStyleStrategy(QFont::NoAntialias);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

namespace {

// Room around a text's advance for glyphs that reach beyond it.
constexpr int kMaskPadPx = 8;
// Distinct texts kept (labels, altitudes, names): far more than one map uses.
constexpr size_t kMaxMasks = 20000;

void preparePainter(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    p.setBackgroundMode(Qt::TransparentMode);
}

QString textOf(std::string_view sjis)
{
    const bool ascii =
        std::all_of(sjis.begin(), sjis.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return ascii ? QString::fromLatin1(sjis.data(), static_cast<qsizetype>(sjis.size())) : sjisToQString(sjis);
}

} // namespace

const std::vector<TextMasks::Run>& TextMasks::mask(std::string_view sjis, int pointSize)
{
    m_key.assign(1, static_cast<char>(pointSize));
    m_key.append(sjis);
    const auto found = m_masks.find(m_key);
    if (found != m_masks.end())
        return found->second;
    if (m_masks.size() >= kMaxMasks)
        m_masks.clear();

    const QString text = textOf(sjis);
    const QFont font = mapFont(pointSize);
    QImage probe(1, 1, QImage::Format_RGB32);
    const QFontMetrics metrics(font, &probe);
    QImage img(metrics.horizontalAdvance(text) + 2 * kMaskPadPx, metrics.height() + 2 * kMaskPadPx,
               QImage::Format_RGB32);
    img.fill(0xFF000000u);
    {
        QPainter p(&img);
        preparePainter(p);
        p.setFont(font);
        p.setPen(QColor(255, 255, 255));
        p.drawText(kMaskPadPx, kMaskPadPx + QFontMetrics(font, &img).ascent(), text);
    }
    std::vector<Run> runs;
    for (int y = 0; y < img.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width();) {
            if ((line[x] & 0xFFFFFFu) == 0) {
                ++x;
                continue;
            }
            const int x0 = x;
            while (x < img.width() && (line[x] & 0xFFFFFFu) != 0)
                ++x;
            runs.push_back({static_cast<int16_t>(y - kMaskPadPx), static_cast<int16_t>(x0 - kMaskPadPx),
                            static_cast<int16_t>(x - 1 - kMaskPadPx)});
        }
    }
    return m_masks.emplace(m_key, std::move(runs)).first->second;
}

Canvas::Canvas(QImage& image, TextMasks* masks) : m_image(image), m_masks(masks)
{
    m_width = image.width();
    m_height = image.height();
    if (!image.isNull()) {
        m_bits = reinterpret_cast<QRgb*>(image.bits());
        m_stride = static_cast<size_t>(image.bytesPerLine()) / sizeof(QRgb);
    }
}

Canvas::~Canvas()
{
    if (m_painter)
        m_painter->end();
}

QPainter& Canvas::painter()
{
    if (!m_painter) {
        m_painter = std::make_unique<QPainter>(&m_image);
        preparePainter(*m_painter);
        setTextPointSize(m_pointSize);
    }
    return *m_painter;
}

void Canvas::setTextPointSize(int pointSize)
{
    m_pointSize = pointSize;
    if (m_painter) {
        m_painter->setFont(mapFont(pointSize));
        m_ascent = QFontMetrics(m_painter->font(), &m_image).ascent();
    }
}

void Canvas::fill(QRgb colour)
{
    for (int y = 0; y < m_height; ++y)
        std::fill_n(m_bits + static_cast<size_t>(y) * m_stride, m_width, colour);
}

void Canvas::line(int x0, int y0, int x1, int y1, QRgb colour, Pen pen)
{
    const int64_t dx = static_cast<int64_t>(x1) - x0;
    const int64_t dy = static_cast<int64_t>(y1) - y0;
    const int64_t adx = std::abs(dx);
    const int64_t ady = std::abs(dy);
    const int64_t n = std::max(adx, ady); // pixels drawn: steps 0 … n − 1
    if (n == 0)
        return;
    // Entirely beyond one edge: nothing to step through.
    if ((x0 < 0 && x1 < 0) || (y0 < 0 && y1 < 0) || (x0 >= m_width && x1 >= m_width)
        || (y0 >= m_height && y1 >= m_height))
        return;

    const bool xMajor = adx >= ady;
    const int64_t amaj = xMajor ? adx : ady;
    const int64_t amin = xMajor ? ady : adx;
    const int smaj = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const int smin = (xMajor ? dy : dx) < 0 ? -1 : 1;
    const int64_t m0 = xMajor ? x0 : y0;
    const int64_t n0 = xMajor ? y0 : x0;
    const int64_t majLimit = xMajor ? m_width : m_height;
    const int64_t minLimit = xMajor ? m_height : m_width;

    // Steps whose major coordinate lies on the surface.
    int64_t lo = 0, hi = n - 1;
    if (smaj > 0) {
        lo = std::max(lo, -m0);
        hi = std::min(hi, majLimit - 1 - m0);
    } else {
        lo = std::max(lo, m0 - (majLimit - 1));
        hi = std::min(hi, m0);
    }
    // Steps whose minor coordinate can lie on the surface (one step of slack
    // for the rounding), from minor(i) ≈ n0 + smin · i · amin / amaj.
    if (amin > 0) {
        const int64_t a = smin > 0 ? -n0 : n0 - (minLimit - 1); // minor offset where the surface starts
        const int64_t b = smin > 0 ? minLimit - 1 - n0 : n0;    // and where it ends
        lo = std::max(lo, floorDiv((2 * a - 1) * amaj, 2 * amin) - 1);
        hi = std::min(hi, floorDiv((2 * b + 1) * amaj, 2 * amin) + 1);
    } else if (n0 < 0 || n0 >= minLimit) {
        return;
    }
    if (lo > hi)
        return;

    // minor(i) = n0 + smin · floor((2 i amin + amaj) / (2 amaj))
    const int64_t twoMaj = 2 * amaj;
    int64_t num = 2 * lo * amin + amaj;
    int64_t q = num / twoMaj;
    int64_t r = num % twoMaj;
    for (int64_t i = lo; i <= hi; ++i) {
        if (pen == Pen::Solid || (i % kDotPeriodPx) < kDotOnPx) {
            const int64_t maj = m0 + smaj * i;
            const int64_t mnr = n0 + smin * q;
            if (xMajor)
                pixel(static_cast<int>(maj), static_cast<int>(mnr), colour);
            else
                pixel(static_cast<int>(mnr), static_cast<int>(maj), colour);
        }
        r += 2 * amin;
        if (r >= twoMaj) {
            r -= twoMaj;
            ++q;
        }
    }
}

void Canvas::ellipse(int l, int t, int r, int b, QRgb colour)
{
    const int w = r - l;
    const int h = b - t;
    if (w <= 0 || h <= 0)
        return;
    if (w <= kMaskMax && h <= kMaskMax) {
        for (const auto& [dx, dy] : ellipseMask(w, h).pixels)
            pixel(l + dx, t + dy, colour);
        return;
    }
    QPainter& p = painter();
    QPen pen{QColor::fromRgb(colour)};
    pen.setWidth(0);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRect(l, t, w - 1, h - 1));
}

void Canvas::fillRect(int l, int t, int r, int b, QRgb colour)
{
    const int x0 = std::max(l, 0), x1 = std::min(r, m_width);
    const int y0 = std::max(t, 0), y1 = std::min(b, m_height);
    for (int y = y0; y < y1; ++y)
        if (x1 > x0)
            std::fill_n(m_bits + static_cast<size_t>(y) * m_stride + static_cast<size_t>(x0), x1 - x0, colour);
}

void Canvas::frameRect(int l, int t, int r, int b, QRgb colour)
{
    if (r - l <= 0 || b - t <= 0)
        return;
    line(l, t, r - 1, t, colour);
    line(r - 1, t, r - 1, b - 1, colour);
    line(r - 1, b - 1, l, b - 1, colour);
    line(l, b - 1, l, t, colour);
}

QRect Canvas::textRect(int x, int y, std::string_view sjis)
{
    if (sjis.empty())
        return {};
    if (m_masks) {
        const std::vector<TextMasks::Run>& runs = m_masks->mask(sjis, m_pointSize);
        if (runs.empty())
            return {};
        int top = runs.front().dy, bottom = top, left = runs.front().dx0, right = runs.front().dx1;
        for (const TextMasks::Run& r : runs) {
            top = std::min<int>(top, r.dy);
            bottom = std::max<int>(bottom, r.dy);
            left = std::min<int>(left, r.dx0);
            right = std::max<int>(right, r.dx1);
        }
        return QRect(QPoint(x + left, y + top), QPoint(x + right, y + bottom));
    }
    const QFontMetrics metrics = painter().fontMetrics();
    return QRect(x, y, metrics.horizontalAdvance(textOf(sjis)), metrics.height());
}

void Canvas::text(int x, int y, std::string_view sjis, QRgb colour)
{
    if (sjis.empty())
        return;
    if (m_masks) {
        // Far outside the surface nothing of a text can show (the longest
        // texts drawn are a few hundred pixels).
        if (y > m_height || y < -64 || x > m_width)
            return;
        for (const TextMasks::Run& r : m_masks->mask(sjis, m_pointSize)) {
            const int row = y + r.dy;
            if (static_cast<unsigned>(row) >= static_cast<unsigned>(m_height))
                continue;
            const int x0 = std::max(x + r.dx0, 0), x1 = std::min(x + r.dx1, m_width - 1);
            if (x1 >= x0)
                std::fill_n(m_bits + static_cast<size_t>(row) * m_stride + static_cast<size_t>(x0), x1 - x0 + 1,
                            colour);
        }
        return;
    }
    QPainter& p = painter();
    p.setPen(QColor::fromRgb(colour));
    // Labels are nearly always ASCII: those skip the code-page conversion.
    p.drawText(x, y + m_ascent, textOf(sjis));
}

} // namespace varnesk
