// The layout table of the main window.
#include "map/pane_layout.h"

namespace varnesk {

PaneLayout layoutPanes(int cw, int ch, const PaneSwitches& shown)
{
    PaneLayout l;
    l.toolBar = QRect(2, 1, cw - 4, 28);
    const int sideWidth = shown.report ? cw - kReportPaneWidthPx : cw;
    l.map = QRect(0, kToolBarRowPx, sideWidth, shown.altitude ? ch - 232 : ch - kToolBarRowPx);
    if (shown.report) {
        const int top = shown.modem ? kModemPaneBottomPx : kToolBarRowPx;
        l.report = QRect(cw - kReportPaneWidthPx, top, kReportPaneWidthPx, ch - top);
    }
    if (shown.modem)
        l.modem = QRect(cw - kReportPaneWidthPx, kToolBarRowPx, kModemPaneWidthPx, kModemPaneHeightPx);
    if (shown.altitude)
        l.altitude = QRect(0, ch - kAltitudePaneHeightPx, sideWidth, kAltitudePaneHeightPx);
    return l;
}

QRect paneSurface(const QRect& pane)
{
    if (pane.isEmpty())
        return {};
    return pane.adjusted(kPaneBorderPx, kPaneBorderPx, -kPaneBorderPx, -kPaneBorderPx);
}

LampPlacement placeLamps(int cw, bool sharing, bool server, bool serverDecodes, int dual)
{
    LampPlacement p;
    const bool two = dual == 2;
    if (sharing && server && !serverDecodes) {
        p.leftSignal.shown = false;
        p.rightSignal.shown = false;
        p.net.left = cw - 14;
        p.logoLeft = cw - 87;
    } else if (sharing && !two) {
        p.leftSignal = {cw - 14, true};
        p.rightSignal.shown = false;
        p.net = {cw - 22, true};
        p.logoLeft = cw - 94;
    } else if (sharing) {
        p.leftSignal = {cw - 22, true};
        p.rightSignal = {cw - 14, true};
        p.net = {cw - 30, true};
        p.logoLeft = cw - 101;
    } else if (!two) {
        p.leftSignal.left = cw - 14;
        p.rightSignal.shown = false;
        p.net.shown = false;
        p.logoLeft = cw - 86;
    } else {
        p.leftSignal.left = cw - 22;
        p.rightSignal = {cw - 14, true};
        p.net.shown = false;
        p.logoLeft = cw - 94;
    }
    return p;
}

} // namespace varnesk
