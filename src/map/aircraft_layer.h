// The aircraft layer: for every shown aircraft that passes the company
// filter, its track (circles and lines), head block (heading tick, circle,
// leader, label, annotation) in passes P1 … P5, then the data boxes.
#pragma once

#include "map/map_view.h"

#include <QImage>

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace varnesk {

class SettingsStore;
struct AircraftEntry;
class Canvas;
class TextMasks;

// Sentinels as the map reads them.
inline constexpr int kMapNoAltitude = 80000; // this or more: no flight-level text
inline constexpr int kBoxNoAltitude = 80001; // this or more: "ALT  -----ft"
inline constexpr int kMapNoTemperature = 100;
inline constexpr int kMapNoWindDirection = 361;
inline constexpr int kMapMaxHeading = 360;

enum class SubDisplay { FlightLevel = 0, Time = 1, Data = 2 };

struct PlotColours {
    uint32_t head = 0x00FFFF, plot = 0x00FFFF, highlight = 0xFFFFFF, shadow = 0x0000FF;
};

struct OperatorColours {
    std::string code; // two characters
    PlotColours colours;
};

struct AircraftLayerOptions {
    int plotType = 2; // 0 none, 1 shadow, 2 surround
    bool dottedLines = true;
    bool trackDisplay = true;
    bool showRegistration = false;
    bool threeLetter = false;
    bool zeroDelete = false;
    bool airportNames = false;
    int maxPlotData = 50;
    SubDisplay subDisplay = SubDisplay::FlightLevel;
    PlotColours defaults;
    uint32_t selBack = 0x000000, selText = 0x808080;
    std::array<OperatorColours, 10> operators;
    std::string companyFilter;      // empty: "ALL"
    TextMasks* textMasks = nullptr; // labels drawn from masks kept by the caller

    static AircraftLayerOptions fromSettings(const SettingsStore& settings);
};

// Which aircraft is selected and what the last mouse release carried.
struct DataBoxRequest {
    int selected = -1;
    bool shift = false;
    bool alt = false;
    int hitPlot = -1; // the plot the last hit test found, for Alt
};

// The label drawn for an aircraft, and L, the underline length.
std::string_view aircraftLabel(const AircraftEntry& e, const AircraftLayerOptions& o);
int labelLength(std::string_view label);
// The flight-level annotation: "FL350", "9500ft", or empty at 80000 and above.
std::string flightLevelText(int altitude);
// Data box texts.
std::string degreesText(double value, char positive, char negative);
std::string timeOfDayText(double fractionOfDay);
const PlotColours& coloursFor(const AircraftEntry& e, const AircraftLayerOptions& o);
bool companyPasses(const AircraftEntry& e, const AircraftLayerOptions& o);

// Draws passes P1 … P5 for every entry and then the data boxes, on top of
// what the layer already holds (the copy of the background).
void drawAircraft(QImage& layer, const MapView& view, std::span<const AircraftEntry> entries,
                  const AircraftLayerOptions& options, const DataBoxRequest& boxes);

} // namespace varnesk

namespace varnesk {

// The altitude pane (its surface, 200 pixels for 50000 ft): the dotted
// scale at 40000 … 10000 ft, then passes P1 … P5 of every shown aircraft at
// (map x, altitude y), without heading ticks or data boxes. back and scale
// are settings colours (AltBack, AltScale).
void drawAltitudePane(QImage& surface, const MapView& view, std::span<const AircraftEntry> entries,
                      const AircraftLayerOptions& options, uint32_t back, uint32_t scale);

} // namespace varnesk
