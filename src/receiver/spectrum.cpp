// The transform runs in place over re/im with tables made once; the per-block
// work is 512 window products, 2304 butterflies and 512 logarithms.
#include "receiver/spectrum.h"

#include <cmath>
#include <utility>

namespace varnesk {

namespace {

// 2π/512, as the tables have always been stepped.
constexpr double kStep = 0.01227184630308513;

int reverseBits9(int i)
{
    int r = 0;
    for (int b = 0; b < 9; ++b)
        if (i & (1 << b))
            r |= 1 << (8 - b);
    return r;
}

} // namespace

SpectrumTransform::SpectrumTransform()
{
    for (int i = 0; i < kSpectrumPoints / 2; ++i) {
        m_cos[static_cast<size_t>(i)] = std::cos(kStep * i);
        m_sin[static_cast<size_t>(i)] = -std::sin(kStep * i);
    }
    for (int i = 0; i < kSpectrumPoints; ++i) {
        m_rev[static_cast<size_t>(i)] = reverseBits9(i);
        m_window[static_cast<size_t>(i)] = 0.5 - 0.5 * std::cos(kStep * i);
    }
}

void SpectrumTransform::levels(std::span<const double, kSpectrumPoints> y, SpectrumLevels& m)
{
    for (size_t i = 0; i < kSpectrumPoints; ++i) {
        m_re[i] = y[i] * m_window[i];
        m_im[i] = 0.0;
    }
    for (int half = kSpectrumPoints / 2, step = 1; step < kSpectrumPoints; half /= 2, step *= 2) {
        for (int g = 0; g < kSpectrumPoints; g += 2 * half) {
            int k = 0;
            for (int p = g; p < g + half; ++p, k += step) {
                const auto pi = static_cast<size_t>(p), qi = static_cast<size_t>(p + half);
                const double a = m_re[pi], b = m_im[pi], c = m_re[qi], d = m_im[qi];
                const double cs = m_cos[static_cast<size_t>(k)], sn = m_sin[static_cast<size_t>(k)];
                m_re[pi] = a + c;
                m_im[pi] = b + d;
                m_re[qi] = (a - c) * cs - (b - d) * sn;
                m_im[qi] = (a - c) * sn + (b - d) * cs;
            }
        }
    }
    for (size_t i = 0; i < kSpectrumPoints; ++i) {
        const double re = m_re[i], im = m_im[i];
        m[i] = (re == 0.0 || im == 0.0) ? 0.0 : 20.0 * std::log(std::sqrt(re * re + im * im));
    }
    for (size_t i = 0; i < kSpectrumPoints; ++i) {
        const auto r = static_cast<size_t>(m_rev[i]);
        if (r > i) {
            const double moved = std::trunc(m[i]);
            m[i] = m[r];
            m[r] = moved;
        }
    }
}

Waterfall::Waterfall() : m_surface(kWaterfallRows, kWaterfallColumns, QImage::Format_RGB32)
{
    m_surface.fill(0xFF000000u);
}

void Waterfall::push(const SpectrumLevels& levels)
{
    for (int r = 0; r < kWaterfallRows; ++r) {
        auto& row = m_matrix[static_cast<size_t>(r)];
        for (int c = kWaterfallColumns - 1; c > 0; --c)
            row[static_cast<size_t>(c)] = row[static_cast<size_t>(c - 1)];
        row[0] = static_cast<int>(std::trunc(2.0 * levels[static_cast<size_t>(kWaterfallFirstBin + 2 * r)]));
    }
}

void Waterfall::draw()
{
    for (int y = 0; y < kWaterfallColumns; ++y) {
        auto* line = reinterpret_cast<QRgb*>(m_surface.scanLine(y));
        for (int x = 0; x < kWaterfallRows; ++x)
            line[x] = 0xFF000000u | colourOf(value(x, y));
    }
}

uint32_t Waterfall::colourOf(int v)
{
    const int q = v / 255; // towards zero
    const int r = v - 255 * q;
    auto rgb = [](int red, int green, int blue) {
        return static_cast<uint32_t>(red & 0xFF) << 16 | static_cast<uint32_t>(green & 0xFF) << 8
               | static_cast<uint32_t>(blue & 0xFF);
    };
    switch (q) {
    case 0:
        return rgb(0, 0, r); // a negative r keeps its low byte
    case 1:
        return rgb(0, r, 255);
    case 2:
        return rgb(0, 255, 255 - r);
    case 3:
        return rgb(r, 255, 0);
    case 4:
        return rgb(255, 255, r);
    default:
        return rgb(255, 0, 0);
    }
}

} // namespace varnesk
