// The window table and the creation of TForm2 … TForm19.
#include "app/ui/window_table.h"

#include "aircraft/ui/aircraft_card.h"
#include "aircraft/ui/aircraft_list_window.h"
#include "app/receive_pipeline.h"
#include "app/ui/input_device_dialog.h"
#include "app/ui/main_window.h"
#include "app/ui/program_wiring.h"
#include "app/ui/settings_dialogs.h"
#include "app/ui/version_window.h"
#include "decode/ui/text_colour_dialog.h"
#include "decode/ui/text_window.h"
#include "net/ui/chat_window.h"
#include "net/ui/connect_dialog.h"
#include "net/ui/import_progress_window.h"
#include "net/ui/packet_window.h"
#include "net/ui/reconnect_window.h"
#include "search/ui/mail_settings_dialog.h"
#include "search/ui/search_entry_dialog.h"
#include "search/ui/search_window.h"

#include <QDialog>

namespace varnesk {

namespace {

QWidget* makeSearchWindow(MainWindow& main)
{
    return main.windows().search = new SearchWindow(main.search(), main.settings(), &main);
}

QWidget* makeSearchEntryDialog(MainWindow& main)
{
    return main.windows().searchEntry = new SearchEntryDialog(main.search(), &main);
}

QWidget* makeMailSettingsDialog(MainWindow& main)
{
    return main.windows().mailSettings = new MailSettingsDialog(main.settings(), &main);
}

QWidget* makeListWindow(MainWindow& main)
{
    return main.windows().list = new AircraftListWindow(main.settings(), main.pipeline().tracking(), &main);
}

QWidget* makeInputDeviceDialog(MainWindow& main)
{
    return main.windows().inputDevice = new InputDeviceDialog(main);
}

QWidget* makeDeviceChangeNotice(MainWindow& main)
{
    return main.windows().deviceChange = new DeviceChangeNotice(main);
}

QWidget* makeTextWindow(MainWindow& main)
{
    return main.windows().text = new TextWindow(main.settings(), main.pipeline().decode().text, &main, &main);
}

QWidget* makeTextColourDialog(MainWindow& main)
{
    return main.windows().textColours = new TextColourDialog(main.settings(), &main);
}

QWidget* makeChatWindow(MainWindow& main)
{
    return main.windows().chat = new ChatWindow(main.settings(), main.pipeline().network(), main.netLink(), &main);
}

QWidget* makePacketWindow(MainWindow& main)
{
    return main.windows().packets = new PacketWindow(main.netLink(), &main);
}

QWidget* makeConnectDialog(MainWindow& main)
{
    return main.windows().connect = new ConnectDialog(main.settings(), &main);
}

QWidget* makeReconnectWindow(MainWindow& main)
{
    return main.windows().reconnect = new ReconnectWindow(main.netLink(), &main);
}

QWidget* makeImportProgressWindow(MainWindow& main)
{
    return main.windows().importProgress = new ImportProgressWindow(main.pipeline().decode().import, &main);
}

QWidget* makeSettingsDialog(MainWindow& main)
{
    auto* dialog = main.windows().settings = new SettingsDialog(main.settings(), &main);
    dialog->logNameChanged = [&main] { main.restartLogs(); };
    return dialog;
}

QWidget* makeBasicColourDialog(MainWindow& main)
{
    auto* dialog = main.windows().basicColours = new BasicColourDialog(main.settings(), &main);
    dialog->coloursApplied = [&main] { applyColours(main); };
    return dialog;
}

QWidget* makeOperatorColourDialog(MainWindow& main)
{
    auto* dialog = main.windows().operatorColours = new OperatorColourDialog(main.settings(), &main);
    dialog->coloursApplied = [&main] { applyColours(main); };
    return dialog;
}

QWidget* makeVersionWindow(MainWindow& main)
{
    return main.windows().version = new VersionWindow(&main);
}

QWidget* makeAircraftCard(MainWindow& main)
{
    auto* card = main.windows().card =
        new AircraftCard(main.settings(), main.pipeline().tracking(), main.paths().picsDir, &main);
    card->processing = [&main] { return !main.closing(); };
    return card;
}

// A window whose contents are not built yet: its name and caption only.
QWidget* plainWindow(MainWindow& main, const WindowEntry& entry)
{
    QWidget* window = entry.dialog ? new QDialog(&main) : new QWidget(&main, Qt::Window);
    return window;
}

} // namespace

const std::vector<WindowEntry>& windowTable()
{
    static const std::vector<WindowEntry> table{
        {"TForm2", "航空機サーチ", false, Key::FormSpec, makeSearchWindow},
        {"TForm3", "設定", true, std::nullopt, makeSettingsDialog},
        {"TForm4", "基本表示色設定", true, std::nullopt, makeBasicColourDialog},
        {"TForm5", "受信航空機リスト", false, std::nullopt, makeListWindow},
        {"TForm6", "登録航空機リスト編集", true, std::nullopt, makeSearchEntryDialog},
        {"TForm7", "メール設定", true, std::nullopt, makeMailSettingsDialog},
        {"TForm8", "入力デバイスの選択", true, std::nullopt, makeInputDeviceDialog},
        {"TForm9", "録音デバイス変更", false, std::nullopt, makeDeviceChangeNotice},
        {"TForm10", "受信テキスト表示", false, Key::FormText, makeTextWindow},
        {"TForm11", "バージョン情報", true, std::nullopt, makeVersionWindow},
        {"TForm12", "チャット画面", false, std::nullopt, makeChatWindow},
        {"TForm13", "パケット状態測定", false, std::nullopt, makePacketWindow},
        {"TForm14", "IP接続", true, std::nullopt, makeConnectDialog},
        {"TForm15", "再接続", true, std::nullopt, makeReconnectWindow},
        {"TForm16", "RAWデータ取り込み中", false, std::nullopt, makeImportProgressWindow},
        {"TForm17", "航空機情報", false, Key::FormList, makeAircraftCard},
        {"TForm18", "色設定", true, std::nullopt, makeTextColourDialog},
        {"TForm19", "オペレーターカラー設定", true, std::nullopt, makeOperatorColourDialog},
    };
    return table;
}

std::vector<QWidget*> createSecondaryWindows(MainWindow& main)
{
    std::vector<QWidget*>& windows = main.windows().all;
    windows.clear();
    for (const WindowEntry& entry : windowTable()) {
        QWidget* window = entry.make ? entry.make(main) : plainWindow(main, entry);
        window->setObjectName(QLatin1String(entry.objectName));
        if (!entry.make)
            window->setWindowTitle(QString::fromUtf8(entry.caption));
        window->hide();
        windows.push_back(window);
    }
    connectWindows(main);
    return windows;
}

QString mainWindowName()
{
    return QStringLiteral("TForm1");
}

void showStartWindows(MainWindow& main)
{
    const std::vector<QWidget*>& windows = main.windows().all;
    for (std::size_t i = 0; i < windows.size(); ++i)
        if (const WindowEntry& entry = windowTable()[i];
            entry.shownAtStart && main.settings().boolean(*entry.shownAtStart))
            windows[i]->show();
}

void storeStartWindows(MainWindow& main)
{
    const std::vector<QWidget*>& windows = main.windows().all;
    for (std::size_t i = 0; i < windows.size(); ++i)
        if (const WindowEntry& entry = windowTable()[i]; entry.shownAtStart)
            main.settings().setBoolean(*entry.shownAtStart, windows[i]->isVisible());
}

} // namespace varnesk
