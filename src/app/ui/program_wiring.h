// Where the program's parts meet: the map installed into the main window,
// and every connection from the core's signals to the windows, the toolbar
// buttons and menu entries that open windows, in one place to read top to bottom.
#pragma once

namespace varnesk {

class MainWindow;
class MapArea;
class NetLink;
class SearchWatch;

// The search list (data/search.csv) and its notifications, owned by the main
// window: every accepted downlink block is checked after the sequencer.
SearchWatch* installSearch(MainWindow& main);

// Failed writes of the logs and the search list, shown to the user: a box
// for the first failure of a file, the status bar for later ones.
void installWriteReports(MainWindow& main);

// The TCP server or client of network sharing, owned by
// the main window; a server ([Net] TcpIp and Server on) starts listening and
// the caption shows the result. Its sockets close on socketsClosing.
NetLink* installNetwork(MainWindow& main);

// The map into the main window's central widget, its
// toolbar controls and menu entries handed to the main window, the track
// store and reference tables of the pipeline connected.
MapArea* installMapArea(MainWindow& main);

// After TForm2 … TForm19 exist: the core's signals to the windows, the
// windows' toolbar buttons and menu entries, then the toolbar and menu laid
// out. The network group of the pop-up menu ("ChatItem", "PacketTestItem"
// and the separator above them) shows only while sharing runs, "ChatItem"
// only with [Net] Chat on as well; decided each time the menu opens.
void connectWindows(MainWindow& main);

// After the basic or operator colour dialog applied its colours: the map and
// panes drawn again (without the keep-selection flag), the text window in
// BackColor and OnColor, the clock repainted.
void applyColours(MainWindow& main);

} // namespace varnesk
