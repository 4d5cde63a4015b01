// The position report pane: a paged table of every tracked aircraft (label,
// newest altitude, temperature and wind, altitude trend mark) in "MS Gothic"
// 9 points on its own surface, and what a mouse release on it means.
#pragma once

#include <QImage>

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace varnesk {

class SettingsStore;
struct AircraftEntry;

inline constexpr int kReportRowPx = 12;
inline constexpr int kReportFirstRowY = 20;
inline constexpr int kReportNoAltitude = 80001; // this or more: "-----"

// Colours as settings values (blue << 16 | green << 8 | red).
struct ReportPaneOptions {
    uint32_t back = 0x000000, on = 0x00FFFF, sub = 0x0000FF, markUp = 0xFFFFFF;
    struct Operator {
        std::string code;
        uint32_t normal = 0, highlight = 0, back = 0;
    };
    std::array<Operator, 10> operators;
    bool showRegistration = false;
    class TextMasks* textMasks = nullptr;

    static ReportPaneOptions fromSettings(const SettingsStore& settings);
};

struct ReportPaneState {
    int page = 1;
    int first = 0; // store index of the first row shown
};

// Rows per page of a surface this high: (height − 32) div 12.
int reportRowsPerPage(int surfaceHeight);
// Pages for count aircraft: count div R, one more for a remainder; 1 for none.
int reportPageCount(int count, int rowsPerPage);

// Draws the pane; the page falls back to 1 when the aircraft no longer reach it.
void drawReportPane(QImage& surface, ReportPaneState& state, std::span<const AircraftEntry> aircraft,
                    const ReportPaneOptions& options, bool hasSelection);

// What a mouse release at (x, y) on the pane does.
struct ReportRelease {
    enum class Kind { None, PageTurned, Row } kind = Kind::None;
    int aircraft = -1; // Row: the store index clicked
};
ReportRelease reportPaneRelease(ReportPaneState& state, int count, int rowsPerPage, bool leftButton, int x, int y);

} // namespace varnesk
