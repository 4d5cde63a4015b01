// Every persistent setting: its INI section, key name, value type and default.
// The table in settings_keys.cpp is the only place a section, key or default
// is spelled; code names a setting by its Key.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace varnesk {

enum class ValueType { Integer, Boolean, Real, Text, Colour };

// In table order; sections in the order the file is written.
enum class Key : int {
    // [Map]
    MapCentN,
    MapCentE,
    PlotType,
    LineType,
    PlotDraw,
    DispVOR,
    DispTAC,
    DispNDB,
    DispWPT,
    DispAPT,
    LineVOR,
    LineNDB,
    LineNAV,
    MapScale,
    Japan,
    ElsePosGet,
    SubDisptype,
    ThreeLetter,
    ShowRegNo,
    ZeroDel,
    MaxMapPlot,
    MaxPlotData,
    TenPoint,
    Declutter,
    // [Txt]
    TxtType,
    MaxBytes,
    SqNoDisp,
    TxtLog,
    TxtLogType,
    ShowPos,
    TISNoDisp,
    FreqNoDisp,
    // [Mail]
    MailHost,
    MailFrom,
    MailTo,
    MailSend,
    SJISConv,
    MIMEConv,
    MailPort,
    MailTls,
    MailAuth,
    MailUser,
    MailPass,
    MailHold,
    // [Spec]
    SpecPopUp,
    SpecSound,
    SpecLog,
    // [List]
    ShowNew,
    Mini,
    AutoDelete,
    DeleteTime,
    ListLog,
    // [Color] (the operator table is kept apart, see OperatorRow)
    BackColor,
    OnColor,
    SubColor,
    MarkUpColor,
    PlotOnColor,
    PlotOffColor,
    PlotMarkUpColor,
    PlotBackColor,
    MapBackColor,
    MapCoastColor,
    MapAirwayVOR,
    MapAirwayNDB,
    MapAirwayNAV,
    MapPointVORDME,
    MapPointVORTAC,
    MapPointNDB,
    MapPointNAV,
    MapPointAirPort,
    MapPointHome,
    MapPointBeacon,
    MapPointAnt,
    MapPointMount,
    MapPointNone,
    AltBack,
    AltScale,
    SelBack,
    SelText,
    ClockBack,
    ClockText,
    ListBack,
    ListText,
    TextBack,
    TextText,
    // [Pos]
    MainTop,
    MainLeft,
    MainWidth,
    MainHeight,
    MainMaxmum,
    PlaneTop,
    PlaneLeft,
    ListTop,
    ListLeft,
    TextTop,
    TextLeft,
    InfoTop,
    InfoLeft,
    TextTopMost,
    ListTopMost,
    // [Form]
    FormSpec,
    FormList,
    FormText,
    ShowRep,
    ShowAlt,
    ShowMod,
    TextHeight,
    TextWidth,
    ListHeight,
    ListWidth,
    Refresh,
    ColumnsWidth0,
    ColumnsWidth1,
    ColumnsWidth2,
    ColumnsWidth3,
    ColumnsWidth4,
    ColumnsWidth5,
    ColumnsWidth6,
    ColumnsWidth7,
    ColumnsWidth8,
    ColumnsWidth9,
    TextFontSize,
    TextFontName,
    ListFontSize,
    ListFontName,
    // [Net]
    TcpIp,
    Server,
    ServerDec,
    Name,
    ServerName,
    Reconnect,
    Timer,
    Chat,
    DupCheckSend,
    MaxConnect,
    ClientPortNo,
    ServerPortNo,
    // [Wave]
    Input,
    Dual,
    Source,
    Demodulator,
    WaveFreq1,
    WaveFreq2,
    // [Sdr]
    SdrDevice,
    SdrSampleRate,
    SdrGain,
    SdrPpm,
    SdrFreq1,
    SdrFreq2,
    SdrFrequencies,
    SdrCentre,
    SdrIqFormat,
    // [Feed]
    FeedEnabled,
    FeedHost,
    FeedPort,
    FeedProtocol,
    FeedStationId,
    FeedTargets,
    // [Etc]
    ConvJC,
    ConvJD,
    LogName,
    DispTime,
    // [UserSettings]
    Local,
    Count
};

struct KeyDef {
    Key key;
    std::string_view section;
    std::string_view name;
    ValueType type;
    std::string_view defaultText; // as it would stand in the file
};

inline constexpr int kKeyCount = static_cast<int>(Key::Count);
inline constexpr int kOperatorRows = 10;
inline constexpr int kOperatorColours = 7;

// The whole table, in Key order.
std::span<const KeyDef> keyTable();
const KeyDef& keyDef(Key key);

// Section names in the order they are written.
std::span<const std::string_view> sectionOrder();

// The section that holds the operator table (UserText0 … UserColor79).
inline constexpr std::string_view kOperatorSection = "Color";
inline constexpr std::string_view kOperatorDefaultText = "--";
inline constexpr uint32_t kOperatorDefaultColour = 0x000000;

} // namespace varnesk
