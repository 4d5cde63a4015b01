// The windows that follow the main window, by type: the window table makes
// them once at start and fills this struct; the wiring and the main window
// reach each window through its member, never by its name.
#pragma once

#include <vector>

class QWidget;

namespace varnesk {

class AircraftCard;
class AircraftListWindow;
class BasicColourDialog;
class ChatWindow;
class ConnectDialog;
class DeviceChangeNotice;
class FeedDialog;
class ImportProgressWindow;
class InputDeviceDialog;
class MailSettingsDialog;
class OperatorColourDialog;
class PacketWindow;
class ReconnectWindow;
class SearchEntryDialog;
class SearchWindow;
class SettingsDialog;
class TextColourDialog;
class TextWindow;
class VersionWindow;

struct ProgramWindows {
    SearchWindow* search = nullptr;
    SettingsDialog* settings = nullptr;
    BasicColourDialog* basicColours = nullptr;
    AircraftListWindow* list = nullptr;
    SearchEntryDialog* searchEntry = nullptr;
    MailSettingsDialog* mailSettings = nullptr;
    InputDeviceDialog* inputDevice = nullptr;
    DeviceChangeNotice* deviceChange = nullptr;
    TextWindow* text = nullptr;
    VersionWindow* version = nullptr;
    ChatWindow* chat = nullptr;
    PacketWindow* packets = nullptr;
    ConnectDialog* connect = nullptr;
    ReconnectWindow* reconnect = nullptr;
    ImportProgressWindow* importProgress = nullptr;
    AircraftCard* card = nullptr;
    TextColourDialog* textColours = nullptr;
    OperatorColourDialog* operatorColours = nullptr;
    // The JSON feed's settings: not in the table, made on first use.
    FeedDialog* feed = nullptr;
    // Every window of the table, in the table's order.
    std::vector<QWidget*> all;
};

} // namespace varnesk
