// The modem panel's indicators: the 512-point spectrum and its waterfall rows
// for the ACARS tones, the colour scale, the refresh counter, the clock text
// and the lamps' counters.
#include "map/modem_indicators.h"
#include "receiver/receiver.h"
#include "settings/settings_store.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace varnesk {
namespace {

// The clock draws text: a GUI application (offscreen) must exist.
void ensureGuiApp()
{
    if (!QGuiApplication::instance()) {
        static int argc = 1;
        static char name[] = "test_receiver";
        static char* argv[] = {name, nullptr};
        new QGuiApplication(argc, argv);
    }
}

using Samples = std::array<double, kFramesPerBlock>;

// The waterfall row holding the largest value after a tone of toneHz has run
// through channel 0 of the receiver for a second.
int brightestRow(double toneHz)
{
    Receiver receiver;
    SpectrumTransform transform;
    Waterfall waterfall;
    SpectrumLevels levels{};
    long n = 0;
    for (int b = 0; b < 43; ++b) {
        Samples block;
        for (double& s : block)
            s = 8000.0 * std::sin(2 * std::numbers::pi * toneHz * static_cast<double>(n++) / kSampleRateHz);
        receiver.processChannel(0, block);
        transform.levels(block, levels);
        waterfall.push(levels);
    }
    int best = 0;
    for (int r = 1; r < kWaterfallRows; ++r)
        if (waterfall.value(r, 0) > waterfall.value(best, 0))
            best = r;
    return best;
}

TEST(Spectrum, AcarsTonesAreBrightestInRows20And34)
{
    EXPECT_EQ(brightestRow(1200.0), 20);
    EXPECT_EQ(brightestRow(2400.0), 34);
}

TEST(Spectrum, TablesAndReorderTruncation)
{
    SpectrumTransform t;
    EXPECT_DOUBLE_EQ(t.cosTable()[0], 1.0);
    EXPECT_NEAR(t.sinTable()[128], -1.0, 1e-12); // −sin(π/2)
    EXPECT_EQ(t.reversal()[1], 256);
    EXPECT_EQ(t.reversal()[3], 384);
    EXPECT_NEAR(t.window()[256], 1.0, 1e-12);
    EXPECT_DOUBLE_EQ(t.window()[0], 0.0);

    // Every bin moved to a higher index by the reorder holds an integer; a
    // value left in a lower index keeps its fraction.
    Samples y;
    for (size_t i = 0; i < y.size(); ++i)
        y[i] = 1000.0 * std::sin(0.3 * static_cast<double>(i)) + 37.0 * std::cos(1.1 * static_cast<double>(i));
    SpectrumLevels m{};
    t.levels(y, m);
    int fractionsBelow = 0;
    for (size_t i = 0; i < m.size(); ++i) {
        const auto r = static_cast<size_t>(t.reversal()[i]);
        if (r < i) // i received the value truncated at r's swap
            EXPECT_EQ(m[i], std::trunc(m[i])) << i;
        else if (r > i && m[i] != std::trunc(m[i]))
            ++fractionsBelow;
    }
    EXPECT_GT(fractionsBelow, 0);
}

TEST(Spectrum, ColourScale)
{
    struct Case {
        int v;
        uint32_t want; // 0xRRGGBB
    };
    const Case cases[] = {{0, 0x000000},   {100, 0x000064},  {265, 0x000AFF},  {520, 0x00FFF5},
                          {775, 0x0AFF00}, {1030, 0xFFFF0A}, {1274, 0xFFFFFE}, {1275, 0xFF0000},
                          {-1, 0x0000FF},  {-254, 0x000002}, {-255, 0xFF0000}, {100000, 0xFF0000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.v);
        EXPECT_EQ(Waterfall::colourOf(c.v), c.want);
    }
}

TEST(Clock, ShowsTheZoneItNamesWhateverTheMachineZone)
{
    const QDate day(2024, 5, 1);
    const auto utc = [&](QTime t) { return QDateTime(day, t, Qt::UTC); };
    struct Case {
        const char* name;
        QDateTime now;
        bool dispTime;
        int localHours;
        const char* want;
    };
    const Case cases[] = {
        {"UTC", utc(QTime(23, 30, 0)), true, 9, "23:30:00"},
        {"Japan is UTC plus nine", utc(QTime(23, 30, 0)), false, 9, "08:30:00"},
        {"minus five", utc(QTime(13, 30, 0)), false, -5, "08:30:00"},
        {"leading zero", utc(QTime(0, 5, 7)), false, 9, "09:05:07"},
        // A machine three hours west of UTC: neither label shows its time.
        {"UTC from another zone", QDateTime(day, QTime(20, 30, 0), Qt::OffsetFromUTC, -3 * 3600), true, 9, "23:30:00"},
        {"local from another zone", QDateTime(day, QTime(20, 30, 0), Qt::OffsetFromUTC, -3 * 3600), false, 9,
         "08:30:00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(clockText(c.now, c.dispTime, c.localHours), c.want);
    }
}

TEST(Indicators, RefreshCounterDrawsEveryThirdBlockAndOnlyTheClockAtZero)
{
    ensureGuiApp();
    Samples silence{};
    QDateTime now(QDate(2024, 5, 1), QTime(12, 0, 0));
    for (int refresh : {2, 0}) {
        SCOPED_TRACE(refresh);
        SettingsStore settings;
        settings.setInteger(Key::Refresh, refresh);
        Receiver receiver;
        ModemIndicators ind(settings);
        std::vector<int> spectrum, clock;
        for (int b = 0; b < 11; ++b) {
            now = now.addSecs(1); // a new clock text at every block
            const auto r = ind.blockDone(receiver, silence, silence, now, true);
            if (r.spectrumDrawn)
                spectrum.push_back(b);
            if (r.clockDrawn)
                clock.push_back(b);
        }
        if (refresh == 2) {
            EXPECT_EQ(spectrum, (std::vector<int>{0, 3, 6, 9}));
            EXPECT_EQ(clock, spectrum);
        } else {
            EXPECT_TRUE(spectrum.empty());
            EXPECT_EQ(clock, (std::vector<int>{0, 5, 10}));
        }
    }
    // With the modem pane hidden nothing is drawn, the lamps still run.
    SettingsStore settings;
    Receiver receiver;
    ModemIndicators hidden(settings);
    const auto r = hidden.blockDone(receiver, silence, silence, now, false);
    EXPECT_FALSE(r.spectrumDrawn || r.clockDrawn);
    EXPECT_EQ(hidden.lamps().err, kLampRed);
}

TEST(Indicators, LampsLightForSixBlocksAfterTheirEvent)
{
    SettingsStore settings;
    Receiver receiver;
    receiver.resetIndicators();
    ModemIndicators ind(settings);
    Samples silence{};
    const QDateTime now = QDateTime::currentDateTime();
    // Right after start ERR and NET are lit for six blocks, RCV dark.
    for (int b = 0; b < 8; ++b) {
        SCOPED_TRACE(b);
        ind.blockDone(receiver, silence, silence, now, false);
        const LampColours& l = ind.lamps();
        EXPECT_EQ(l.err, b < 6 ? kLampRed : kLampDark);
        EXPECT_EQ(l.net, b < 6 ? kLampAqua : kLampDark);
        EXPECT_EQ(l.rcv, kLampDark);
        EXPECT_EQ(l.left, kLampDark);
    }
    // A good frame on the right channel: Panel3 lights; RCV only once "R" is chosen.
    receiver.channel(1).rcvCount = 0;
    ind.blockDone(receiver, silence, silence, now, false);
    EXPECT_EQ(ind.lamps().right, kLampGreen);
    EXPECT_EQ(ind.lamps().rcv, kLampDark);
    ind.setChosenChannel(1);
    receiver.channel(1).overload = true;
    receiver.channel(1).synShown = true;
    ind.blockDone(receiver, silence, silence, now, false);
    EXPECT_EQ(ind.lamps().rcv, kLampGreen);
    EXPECT_EQ(ind.lamps().ovr, kLampRed);
    EXPECT_EQ(ind.lamps().syn, kLampAqua);
    for (int b = 0; b < 4; ++b)
        ind.blockDone(receiver, silence, silence, now, false);
    EXPECT_EQ(ind.lamps().right, kLampGreen); // the sixth block after the frame
    ind.blockDone(receiver, silence, silence, now, false);
    EXPECT_EQ(ind.lamps().right, kLampDark);
    EXPECT_EQ(receiver.channel(1).rcvCount, 6);
    ind.netEvent();
    ind.blockDone(receiver, silence, silence, now, false);
    EXPECT_EQ(ind.lamps().net, kLampAqua);
}

TEST(Indicators, OneDecoderWithRightChosenShowsBlack)
{
    ensureGuiApp();
    SettingsStore settings;
    settings.setInteger(Key::Dual, 1);
    settings.setInteger(Key::Refresh, 1);
    Receiver receiver;
    ModemIndicators ind(settings);
    Samples loud;
    for (size_t i = 0; i < loud.size(); ++i)
        loud[i] = 5000.0 * std::sin(0.9 * static_cast<double>(i));
    const QDateTime now = QDateTime::currentDateTime();
    for (int b = 0; b < 20; ++b)
        ind.blockDone(receiver, loud, loud, now, true);
    EXPECT_NE(ind.waterfall().value(20, 0), 0);
    ind.setChosenChannel(1);
    for (int b = 0; b < 2 * kWaterfallColumns; ++b)
        ind.blockDone(receiver, loud, loud, now, true);
    const QImage& img = ind.waterfall().surface();
    ASSERT_EQ(img.size(), QSize(kWaterfallRows, kWaterfallColumns));
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            ASSERT_EQ(img.pixel(x, y) & 0xFFFFFFu, 0u) << x << "," << y;
}

} // namespace
} // namespace varnesk
