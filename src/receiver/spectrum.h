// The modem panel's spectrum: a 512-point transform of one channel's shifted
// signal (Hann window, radix-2 decimation in frequency), magnitudes in the
// program's level unit (20·ln|X|), and the 55 × 42 waterfall drawn from them.
#pragma once

#include <QImage>

#include <array>
#include <cstdint>
#include <span>

namespace varnesk {

inline constexpr int kSpectrumPoints = 512;
inline constexpr int kWaterfallRows = 55;    // frequency: bins 80, 82, … 188
inline constexpr int kWaterfallColumns = 42; // time: column 0 the newest
inline constexpr int kWaterfallFirstBin = 80;

using SpectrumLevels = std::array<double, kSpectrumPoints>;

class SpectrumTransform {
public:
    SpectrumTransform(); // the tables, built once

    // Levels of the 512 samples y in natural order. A bin whose real or
    // imaginary part is exactly 0 gets 0. The bit-reversal reorder truncates
    // every value it moves to the higher index, as the display always has.
    void levels(std::span<const double, kSpectrumPoints> y, SpectrumLevels& out);

    const std::array<double, kSpectrumPoints / 2>& cosTable() const { return m_cos; }
    const std::array<double, kSpectrumPoints / 2>& sinTable() const { return m_sin; }
    const std::array<int, kSpectrumPoints>& reversal() const { return m_rev; }
    const std::array<double, kSpectrumPoints>& window() const { return m_window; }

private:
    std::array<double, kSpectrumPoints / 2> m_cos{};
    std::array<double, kSpectrumPoints / 2> m_sin{}; // −sin
    std::array<int, kSpectrumPoints> m_rev{};
    std::array<double, kSpectrumPoints> m_window{};
    std::array<double, kSpectrumPoints> m_re{};
    std::array<double, kSpectrumPoints> m_im{};
};

class Waterfall {
public:
    Waterfall(); // matrix 0, surface black

    // Moves every row one column on (the oldest is lost) and puts
    // trunc(2 · level) of bins 80, 82, … 188 into column 0.
    void push(const SpectrumLevels& levels);
    // Redraws the 55 × 42 surface: x is the row (frequency), y the column (time).
    void draw();

    int value(int row, int column) const { return m_matrix[static_cast<size_t>(row)][static_cast<size_t>(column)]; }
    const QImage& surface() const { return m_surface; }

    // The colour scale as 0xRRGGBB.
    static uint32_t colourOf(int value);

private:
    std::array<std::array<int, kWaterfallColumns>, kWaterfallRows> m_matrix{};
    QImage m_surface;
};

} // namespace varnesk
