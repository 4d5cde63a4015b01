// The received aircraft list window TForm5 ("受信航空機リスト"): the ten-column
// list, auto delete, list.csv switch, font and colours, row count.
#pragma once

#include <QFont>
#include <QPoint>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>

class QLabel;
class QModelIndex;
class QSpinBox;
class QStatusBar;
class QTimer;
class QToolButton;
class QTreeView;

namespace varnesk {

class AircraftListModel;
class AircraftTracking;
class SettingsStore;
class TextColourDialog;

// Where a double click looks a flight up: the flight-tracking page of the
// flight number (leading zeros of the digits dropped), e.g. .../live/flight/JL503.
inline constexpr const char* kFlightInfoBaseUrl = "https://www.flightaware.com/live/flight/";

class AircraftListWindow : public QWidget {
    Q_OBJECT
public:
    // owner: the main window, over which the window centres when it has no
    // stored place. If [List] Log is on, list.csv starts with its start-up header.
    AircraftListWindow(SettingsStore& settings, AircraftTracking& tracking, QWidget* owner);
    ~AircraftListWindow() override;

    // Position, size and column widths into the settings (before Save).
    void storeSettings();
    // The list font and colours from the settings.
    void applyFontAndColours();

    // The web address a double click on the row opens.
    static QString flightInfoUrl(const std::string& flight);

    QTreeView* listView() const { return m_view; }
    // Makes row (0-based) the current row and tells aircraftSelected.
    void selectRow(int row);
    // The program's one text/background colour dialog, in place of the window's own.
    void setColourDialog(TextColourDialog* dialog);

    // Test hooks: the platform font dialog and the web-page opener.
    using FontPicker = std::function<std::optional<QFont>(const QFont& initial, QWidget* parent)>;
    static void setFontPicker(FontPicker picker);
    using UrlOpener = std::function<void(const QString& url)>;
    static void setUrlOpener(UrlOpener opener);

Q_SIGNALS:
    // A row was selected (by the user, or as a new row while [List] ShowNew
    // is on): the information window shows this aircraft.
    void aircraftSelected(const std::string& registration, const std::string& flight);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onAutoDeleteToggled(bool on);
    void onDeleteTimeChanged(int minutes);
    void onLogToggled(bool on);
    void onAutoDeleteTick();
    void chooseFont();
    void chooseColours();
    void deleteSelectedRow();
    void openFlightPage(const QModelIndex& index);
    void refreshCount();

    SettingsStore& m_settings;
    AircraftTracking& m_tracking;
    QWidget* m_owner;
    QPoint m_savedFrame; // where the frame goes at the first showing; (0, 0): centred
    AircraftListModel* m_model = nullptr;
    QWidget* m_toolPanel = nullptr;
    QToolButton* m_autoDelete = nullptr;
    QLabel* m_deleteTimeText = nullptr;
    QSpinBox* m_deleteTime = nullptr;
    QToolButton* m_log = nullptr;
    QTreeView* m_view = nullptr;
    QStatusBar* m_status = nullptr;
    QLabel* m_count = nullptr;
    QTimer* m_timer = nullptr;
    TextColourDialog* m_colourDialog = nullptr;
};

} // namespace varnesk
