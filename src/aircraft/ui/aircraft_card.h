// The aircraft information window TForm17 ("航空機情報"): the selected list
// row's flight, registration, position mark, airports, type, remark and
// operator, its picture from pics/, links to web look-ups, and the flight
// search box that selects a row of the received aircraft list.
#pragma once

#include <QImage>
#include <QPoint>
#include <QString>
#include <QWidget>

#include <functional>
#include <string>
#include <string_view>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace varnesk {

class AircraftTracking;
class SettingsStore;

// Hosts of the two look-ups; the paths and query keys are fixed.
inline constexpr const char* kFlightStatusHost = "https://www.flightstats.com";
inline constexpr const char* kAircraftPhotoHost = "https://www.airliners.net";

class AircraftCard : public QWidget {
    Q_OBJECT
public:
    // picsDir: the folder of REG.jpg and noimage.jpg. owner: the main
    // window, over which the card centres when it has no stored place.
    AircraftCard(SettingsStore& settings, AircraftTracking& tracking, QString picsDir, QWidget* owner);

    // Fills the card from list row (0-based); nothing while the program closes.
    void ShowAircraft(int row);
    // The list's selection signal: the row of (registration, flight).
    void showListAircraft(const std::string& registration, const std::string& flight);
    // The position line again, when the card shows this registration.
    void RefreshPosition(std::string_view registration);
    // The flight number into the search box, then the search as if pressed.
    void SearchFlight(const QString& flight);
    void ResetCard();

    // Whether the program still processes (off while closing).
    std::function<bool()> processing = [] { return true; };

    // The two web look-ups (empty when the text makes none).
    static QString flightStatusUrl(std::string_view flight);
    static QString aircraftPhotoUrl(std::string_view registration);
    // The search box's text made into a flight number: jl23 → JL0023.
    static QString normaliseFlightSearch(const QString& text);

    // Test hook: where links go instead of the browser.
    using UrlOpener = std::function<void(const QString& url)>;
    static void setUrlOpener(UrlOpener opener);

    // The picture shown (null when the area is empty).
    QImage picture() const { return m_picture; }
    QString fieldText(const char* objectName) const;

    // Closing: the window's position into the settings (before Save).
    void storeSettings();

Q_SIGNALS:
    // The flight search found this list row (0-based): the list selects it.
    void listRowRequested(int row);
    // The position link was clicked: the map selects this flight's track.
    void positionRequested(const QByteArray& flight);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* field(QWidget* parent, const char* name, bool link);
    void runFlightSearch();
    void setPosition(bool present);
    void showPicture(const std::string& registration);
    void setPicture(const QImage& image);
    void applyTopMost();
    void openUrl(const QString& url);

    SettingsStore& m_settings;
    AircraftTracking& m_tracking;
    QString m_picsDir;
    QWidget* m_owner;
    QPoint m_savedFrame; // where the frame goes at the first showing; (0, 0): centred
    QLabel* m_flight = nullptr;
    QLabel* m_registration = nullptr;
    QLabel* m_position = nullptr;
    QLabel* m_departure = nullptr;
    QLabel* m_destination = nullptr;
    QLabel* m_aircraft = nullptr;
    QLabel* m_remark = nullptr;
    QLabel* m_operator = nullptr;
    QLabel* m_image = nullptr;
    QLineEdit* m_search = nullptr;
    QToolButton* m_showNew = nullptr;
    QToolButton* m_topMost = nullptr;
    QWidget* m_toolPanel = nullptr;
    QImage m_picture;
    bool m_hasPosition = false;
};

} // namespace varnesk
