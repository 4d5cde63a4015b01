// Creation of TForm2 … TForm19. Windows whose contents are not built yet are
// plain windows carrying their layout name and caption, so that the order,
// the names and the captions hold from the start.
#include "app/ui/window_set.h"

#include "aircraft/ui/aircraft_list_window.h"
#include "app/station.h"
#include "app/ui/input_device_dialog.h"
#include "app/ui/main_window.h"
#include "decode/ui/text_colour_dialog.h"
#include "decode/ui/text_window.h"

#include <QDialog>

namespace varnesk {

namespace {

// A window not built yet: its name and caption only.
QWidget* plainWindow(MainWindow& main, const WindowName& name, bool dialog)
{
    QWidget* window = dialog ? new QDialog(&main) : new QWidget(&main, Qt::Window);
    window->setObjectName(QLatin1String(name.objectName));
    window->setWindowTitle(QString::fromUtf8(name.caption));
    return window;
}

} // namespace

const std::vector<WindowName>& secondaryWindowNames()
{
    static const std::vector<WindowName> names{
        {"TForm2", "航空機サーチ"},
        {"TForm3", "設定"},
        {"TForm4", "基本表示色設定"},
        {"TForm5", "受信航空機リスト"},
        {"TForm6", "登録航空機リスト編集"},
        {"TForm7", "メール設定"},
        {"TForm8", "入力デバイスの選択"},
        {"TForm9", "録音デバイス変更"},
        {"TForm10", "受信テキスト表示"},
        {"TForm11", "バージョン情報"},
        {"TForm12", "チャット画面"},
        {"TForm13", "パケット状態測定"},
        {"TForm14", "IP接続"},
        {"TForm15", "再接続"},
        {"TForm16", "RAWデータ取り込み中"},
        {"TForm17", "航空機情報"},
        {"TForm18", "色設定"},
        {"TForm19", "オペレーターカラー設定"},
    };
    return names;
}

std::vector<QWidget*> createSecondaryWindows(MainWindow& main)
{
    std::vector<QWidget*> windows;
    for (const WindowName& name : secondaryWindowNames()) {
        const std::string_view id = name.objectName;
        QWidget* window = nullptr;
        if (id == "TForm5")
            window = new AircraftListWindow(main.settings(), main.station().tracking(), &main);
        else if (id == "TForm8")
            window = new InputDeviceDialog(main);
        else if (id == "TForm9")
            window = new DeviceChangeNotice(main);
        else if (id == "TForm10")
            window = new TextWindow(main.station(), &main, &main);
        else if (id == "TForm18")
            window = new TextColourDialog(main.settings(), &main);
        else {
            // Dialogs (modal or centred over their owner) and plain windows.
            const bool dialog = id == "TForm3" || id == "TForm4" || id == "TForm6" || id == "TForm7"
                || id == "TForm11" || id == "TForm14" || id == "TForm15" || id == "TForm18"
                || id == "TForm19";
            window = plainWindow(main, name, dialog);
        }
        window->hide();
        windows.push_back(window);
    }
    // The list and text windows share the program's one colour dialog.
    auto* colourDialog = main.findChild<TextColourDialog*>(QStringLiteral("TForm18"), Qt::FindDirectChildrenOnly);
    if (auto* list = main.findChild<AircraftListWindow*>(QStringLiteral("TForm5"), Qt::FindDirectChildrenOnly)) {
        list->setColourDialog(colourDialog);
        QObject::connect(&main, &MainWindow::settingsAboutToBeSaved, list, &AircraftListWindow::storeSettings);
    }
    if (auto* text = main.findChild<TextWindow*>(QStringLiteral("TForm10"), Qt::FindDirectChildrenOnly))
        text->setColourDialog(colourDialog);
    return windows;
}

void centreOver(QWidget& window, const QWidget& owner)
{
    const QRect frame = owner.frameGeometry();
    const QSize own = window.frameGeometry().size();
    window.move(frame.x() + frame.width() / 2 - own.width() / 2, frame.y() + frame.height() / 2 - own.height() / 2);
}

void showStartWindows(MainWindow& main)
{
    const std::pair<const char*, Key> shownAtStart[] = {
        {"TForm2", Key::FormSpec}, {"TForm17", Key::FormList}, {"TForm10", Key::FormText}};
    for (const auto& [name, key] : shownAtStart)
        if (main.settings().boolean(key))
            if (auto* window = main.findChild<QWidget*>(QLatin1String(name), Qt::FindDirectChildrenOnly))
                window->show();
}

} // namespace varnesk
