// Where the main window puts the toolbar, the map and the three panes in its
// client area (CW × CH pixels, toolbar row at the top), and where the
// toolbar's indicator lamps and logo sit at its right end.
#pragma once

#include <QRect>

#include <optional>

namespace varnesk {

inline constexpr int kToolBarRowPx = 30; // the map and the panes start below it
inline constexpr int kReportPaneWidthPx = 204;
inline constexpr int kAltitudePaneHeightPx = 202;
inline constexpr int kModemPaneWidthPx = 202;
inline constexpr int kModemPaneHeightPx = 50;
inline constexpr int kModemPaneBottomPx = 81; // the report pane's top under the modem pane
inline constexpr int kPaneBorderPx = 2;       // sunken border; the surface is 4 px smaller

struct PaneSwitches {
    bool report = true;
    bool altitude = true;
    bool modem = true;
};

struct PaneLayout {
    QRect toolBar;
    QRect map;
    QRect report;   // empty when hidden
    QRect modem;    // empty when hidden
    QRect altitude; // empty when hidden
};

// Rectangles in client-area pixels.
PaneLayout layoutPanes(int clientWidth, int clientHeight, const PaneSwitches& shown);
// The drawing surface inside a pane or the map area.
QRect paneSurface(const QRect& pane);

// The toolbar's indicators: a value left empty keeps what the control had.
struct LampPlacement {
    struct Place {
        std::optional<int> left;
        std::optional<bool> shown;
    };
    Place leftSignal, rightSignal, net;
    int logoLeft = 0;
};

// Positions from the client area's left edge, for network sharing on or
// off, a server that does not decode, and one or two channels ([Wave] Dual).
LampPlacement placeLamps(int clientWidth, bool sharing, bool server, bool serverDecodes, int dual);

} // namespace varnesk
