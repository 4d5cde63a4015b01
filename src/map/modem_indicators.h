// The receiver's indicators, refreshed at the end of every capture block: the
// lamps OVR, SYN, RCV, ERR of the chosen channel, the two signal lamps and the
// NET lamp (colours 0xRRGGBB), the waterfall every Refresh + 1 blocks, and the
// clock surface (133 × 23) whenever its text changes. Also draws the whole
// modem panel (198 × 46) for a picture without windows.
#pragma once

#include "receiver/audio_format.h"
#include "receiver/spectrum.h"

#include <QDateTime>
#include <QImage>

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace varnesk {

class Receiver;
class SettingsStore;

inline constexpr uint32_t kLampDark = 0x000000;
inline constexpr uint32_t kLampRed = 0xFF0000;
inline constexpr uint32_t kLampAqua = 0x00FFFF;
inline constexpr uint32_t kLampGreen = 0x00FF00;
// A lamp stays lit while its counter (blocks since the event) is at most this.
inline constexpr int kLampLitBlocks = 5;
// With Refresh 0 the clock alone is redrawn every fifth block.
inline constexpr int kRefreshZeroPeriod = 5;

inline constexpr int kClockWidth = 133;
inline constexpr int kClockHeight = 23;
inline constexpr int kModemPanelWidth = 198; // the pane's drawing surface
inline constexpr int kModemPanelHeight = 46;

struct LampColours {
    uint32_t ovr = kLampDark, syn = kLampDark, rcv = kLampDark, err = kLampDark;
    uint32_t left = kLampDark, right = kLampDark, net = kLampDark;
    bool operator==(const LampColours&) const = default;
};

// "HH:MM:SS" of now, whatever zone the machine runs in: UTC when dispTime is
// on, otherwise the station's local time, UTC + localHours ([UserSettings]
// Local, 9 for Japan).
std::string clockText(const QDateTime& now, bool dispTime, int localHours);

class ClockFace {
public:
    ClockFace();
    // Draws text when it differs from the text last drawn; true when drawn.
    bool refresh(const std::string& text, bool utc, uint32_t back, uint32_t textColour);
    // Draws text whatever was drawn before, without remembering it (the
    // repaint after the colours changed).
    void repaint(const std::string& text, bool utc, uint32_t back, uint32_t textColour);
    const std::string& lastText() const { return m_last; }
    const QImage& surface() const { return m_surface; }

private:
    void draw(const std::string& text, bool utc, uint32_t back, uint32_t textColour);

    QImage m_surface;
    std::string m_last;
};

class ModemIndicators {
public:
    explicit ModemIndicators(const SettingsStore& settings);

    // ComboBox3: 0 "L", 1 "R", then 2 "C03" … 15 "C16" for the channels an SDR adds.
    void setChosenChannel(int channel) { m_chosen = channel > 0 && channel < kMaxRadioChannels ? channel : 0; }
    int chosenChannel() const { return m_chosen; }
    // A network chunk arrived, or the server decoded a frame: NET lights.
    void netEvent() { m_netCount = 0; }
    int netCount() const { return m_netCount; }
    int refreshCounter() const { return m_refreshCounter; }

    struct BlockResult {
        bool spectrumDrawn = false;
        bool clockDrawn = false;
        bool lampsChanged = false;
    };
    // The end of one capture block: spectrum and clock on the refresh count
    // (only while the modem panel is shown), then the lamps and their
    // counters (always). signals are the two channels' shifted signals.
    BlockResult blockDone(Receiver& receiver, std::span<const double, kSpectrumPoints> left,
                          std::span<const double, kSpectrumPoints> right, const QDateTime& now, bool modemShown);
    // The clock at once in the current colours (the colour dialogs applied).
    void repaintClock(const QDateTime& now);
    // The clock's own tick: redrawn when its text changed; true if it was.
    bool tickClock(const QDateTime& now) { return drawClock(now); }

    const LampColours& lamps() const { return m_lamps; }
    const Waterfall& waterfall() const { return m_waterfall; }
    const ClockFace& clock() const { return m_clock; }

private:
    void drawSpectrum(std::span<const double, kSpectrumPoints> left, std::span<const double, kSpectrumPoints> right);
    bool drawClock(const QDateTime& now);
    void updateLamps(Receiver& receiver);

    const SettingsStore& m_settings;
    SpectrumTransform m_transform;
    SpectrumLevels m_levels{};
    Waterfall m_waterfall;
    ClockFace m_clock;
    LampColours m_lamps;
    int m_chosen = 0;
    int m_netCount = 0;
    int m_refreshCounter = 0;
};

// Where the modem panel's parts sit on its 198 × 46 surface.
namespace modem_panel {
inline constexpr int kWaterfallX = 2, kWaterfallY = 2;
inline constexpr int kClockX = 61, kClockY = 1;
inline constexpr int kLampRowY = 28;
inline constexpr int kLampFirstX = 61, kLampStepX = 26, kLampCaptionPx = 17;
inline constexpr int kLampWidth = 7, kLampHeight = 11;
inline constexpr int kSelectorX = 165, kSelectorY = 25, kSelectorWidth = 32, kSelectorHeight = 20;
} // namespace modem_panel

// The panel as a picture: waterfall, clock, the captioned lamps OVR SYN RCV
// ERR and, when withSelector, the channel selector's text in a box.
void drawModemPanel(QImage& surface, const ModemIndicators& indicators, bool withSelector);

} // namespace varnesk
