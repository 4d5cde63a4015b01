// The table of every setting: section, key name, type and default text.
#include "settings/settings_keys.h"

#include <array>
#include <cassert>

namespace varnesk {
namespace {

using T = ValueType;

constexpr std::array<KeyDef, kKeyCount> kTable{{
    {Key::MapCentN, "Map", "MapCentN", T::Real, "36.5"},
    {Key::MapCentE, "Map", "MapCentE", T::Real, "139"},
    {Key::PlotType, "Map", "PlotType", T::Integer, "2"},
    {Key::LineType, "Map", "LineType", T::Boolean, "1"},
    {Key::PlotDraw, "Map", "PlotDraw", T::Boolean, "1"},
    {Key::DispVOR, "Map", "DispVOR", T::Boolean, "1"},
    {Key::DispTAC, "Map", "DispTAC", T::Boolean, "1"},
    {Key::DispNDB, "Map", "DispNDB", T::Boolean, "1"},
    {Key::DispWPT, "Map", "DispWPT", T::Boolean, "1"},
    {Key::DispAPT, "Map", "DispAPT", T::Boolean, "1"},
    {Key::LineVOR, "Map", "LineVOR", T::Boolean, "1"},
    {Key::LineNDB, "Map", "LineNDB", T::Boolean, "1"},
    {Key::LineNAV, "Map", "LineNAV", T::Boolean, "1"},
    {Key::MapScale, "Map", "MapScale", T::Integer, "3"},
    {Key::Japan, "Map", "Japan", T::Boolean, "0"},
    {Key::ElsePosGet, "Map", "ElsePosGet", T::Boolean, "1"},
    {Key::SubDisptype, "Map", "SubDisptype", T::Integer, "0"},
    {Key::ThreeLetter, "Map", "3Letter", T::Boolean, "0"},
    {Key::ShowRegNo, "Map", "ShowRegNo", T::Boolean, "0"},
    {Key::ZeroDel, "Map", "ZeroDel", T::Boolean, "0"},
    {Key::MaxMapPlot, "Map", "MaxMapPlot", T::Integer, "200"},
    {Key::MaxPlotData, "Map", "MaxPlotData", T::Integer, "50"},
    {Key::TenPoint, "Map", "10point", T::Boolean, "0"},
    // Symbol labels that would overlap one already drawn are left out.
    {Key::Declutter, "Map", "Declutter", T::Boolean, "1"},

    {Key::TxtType, "Txt", "TxtType", T::Integer, "2"},
    {Key::MaxBytes, "Txt", "MaxBytes", T::Integer, "10000"},
    {Key::SqNoDisp, "Txt", "SqNoDisp", T::Boolean, "0"},
    {Key::TxtLog, "Txt", "Log", T::Boolean, "0"},
    {Key::TxtLogType, "Txt", "Type", T::Integer, "0"},
    {Key::ShowPos, "Txt", "ShowPos", T::Boolean, "0"},
    {Key::TISNoDisp, "Txt", "TISNoDisp", T::Boolean, "0"},
    {Key::FreqNoDisp, "Txt", "FreqNoDisp", T::Boolean, "0"},

    {Key::MailHost, "Mail", "MailHost", T::Text, ""},
    {Key::MailFrom, "Mail", "MailFrom", T::Text, ""},
    {Key::MailTo, "Mail", "MailTo", T::Text, ""},
    {Key::MailSend, "Mail", "MailSend", T::Boolean, "0"},
    {Key::SJISConv, "Mail", "SJISConv", T::Boolean, "1"},
    {Key::MIMEConv, "Mail", "MIMEConv", T::Boolean, "1"},
    {Key::MailPort, "Mail", "MailPort", T::Integer, "25"},
    {Key::MailTls, "Mail", "MailTls", T::Boolean, "0"},   // STARTTLS
    {Key::MailAuth, "Mail", "MailAuth", T::Integer, "0"}, // 0 none, 1 PLAIN, 2 LOGIN
    {Key::MailUser, "Mail", "MailUser", T::Text, ""},
    {Key::MailPass, "Mail", "MailPass", T::Text, ""},
    {Key::MailHold, "Mail", "MailHold", T::Integer, "30"}, // minutes between mails of one registration

    {Key::SpecPopUp, "Spec", "PopUp", T::Boolean, "1"},
    {Key::SpecSound, "Spec", "Sound", T::Boolean, "1"},
    {Key::SpecLog, "Spec", "Log", T::Boolean, "0"},

    {Key::ShowNew, "List", "ShowNew", T::Boolean, "1"},
    {Key::Mini, "List", "Mini", T::Boolean, "0"},
    {Key::AutoDelete, "List", "AutoDelete", T::Boolean, "1"},
    {Key::DeleteTime, "List", "DeleteTime", T::Integer, "60"},
    {Key::ListLog, "List", "Log", T::Boolean, "0"},

    {Key::BackColor, "Color", "BackColor", T::Colour, "000000"},
    {Key::OnColor, "Color", "OnColor", T::Colour, "FFFF00"},
    {Key::SubColor, "Color", "SubColor", T::Colour, "FF0000"},
    {Key::MarkUpColor, "Color", "MarkUpColor", T::Colour, "FFFFFF"},
    {Key::PlotOnColor, "Color", "PlotOnColor", T::Colour, "FFFF00"},
    {Key::PlotOffColor, "Color", "PlotOffColor", T::Colour, "FFFF00"},
    {Key::PlotMarkUpColor, "Color", "PlotMarkUpColor", T::Colour, "FFFFFF"},
    {Key::PlotBackColor, "Color", "PlotBackColor", T::Colour, "FF0000"},
    {Key::MapBackColor, "Color", "MapBackColor", T::Colour, "000000"},
    {Key::MapCoastColor, "Color", "MapCoastColor", T::Colour, "804000"},
    {Key::MapAirwayVOR, "Color", "MapAirwayVOR", T::Colour, "004000"},
    {Key::MapAirwayNDB, "Color", "MapAirwayNDB", T::Colour, "400040"},
    {Key::MapAirwayNAV, "Color", "MapAirwayNAV", T::Colour, "404000"},
    {Key::MapPointVORDME, "Color", "MapPointVORDME", T::Colour, "408080"},
    {Key::MapPointVORTAC, "Color", "MapPointVORTAC", T::Colour, "400080"},
    {Key::MapPointNDB, "Color", "MapPointNDB", T::Colour, "800080"},
    {Key::MapPointNAV, "Color", "MapPointNAV", T::Colour, "800040"},
    {Key::MapPointAirPort, "Color", "MapPointAirPort", T::Colour, "404040"},
    {Key::MapPointHome, "Color", "MapPointHome", T::Colour, "FF00FF"},
    {Key::MapPointBeacon, "Color", "MapPointBeacon", T::Colour, "00FFFF"},
    {Key::MapPointAnt, "Color", "MapPointAnt", T::Colour, "0080FF"},
    {Key::MapPointMount, "Color", "MapPointMount", T::Colour, "00FF00"},
    {Key::MapPointNone, "Color", "MapPointNone", T::Colour, "FFFFFF"},
    {Key::AltBack, "Color", "AltBack", T::Colour, "000000"},
    {Key::AltScale, "Color", "AltScale", T::Colour, "808080"},
    {Key::SelBack, "Color", "SelBack", T::Colour, "000000"},
    {Key::SelText, "Color", "SelText", T::Colour, "808080"},
    {Key::ClockBack, "Color", "ClockBack", T::Colour, "000000"},
    {Key::ClockText, "Color", "ClockText", T::Colour, "00FF00"},
    {Key::ListBack, "Color", "ListBack", T::Colour, "FFFFFF"},
    {Key::ListText, "Color", "ListText", T::Colour, "000000"},
    {Key::TextBack, "Color", "TextBack", T::Colour, "FFFFFF"},
    {Key::TextText, "Color", "TextText", T::Colour, "000000"},

    {Key::MainTop, "Pos", "MainTop", T::Integer, "0"},
    {Key::MainLeft, "Pos", "MainLeft", T::Integer, "0"},
    {Key::MainWidth, "Pos", "MainWidth", T::Integer, "860"},
    {Key::MainHeight, "Pos", "MainHeight", T::Integer, "702"},
    {Key::MainMaxmum, "Pos", "MainMaxmum", T::Boolean, "0"},
    {Key::PlaneTop, "Pos", "PlaneTop", T::Integer, "0"},
    {Key::PlaneLeft, "Pos", "PlaneLeft", T::Integer, "0"},
    {Key::ListTop, "Pos", "ListTop", T::Integer, "0"},
    {Key::ListLeft, "Pos", "ListLeft", T::Integer, "0"},
    {Key::TextTop, "Pos", "TextTop", T::Integer, "0"},
    {Key::TextLeft, "Pos", "TextLeft", T::Integer, "0"},
    {Key::InfoTop, "Pos", "InfoTop", T::Integer, "0"},
    {Key::InfoLeft, "Pos", "InfoLeft", T::Integer, "0"},
    {Key::TextTopMost, "Pos", "TextTopMost", T::Boolean, "1"},
    {Key::ListTopMost, "Pos", "ListTopMost", T::Boolean, "1"},

    {Key::FormSpec, "Form", "Spec", T::Boolean, "0"},
    {Key::FormList, "Form", "List", T::Boolean, "0"},
    {Key::FormText, "Form", "Text", T::Boolean, "0"},
    {Key::ShowRep, "Form", "ShowRep", T::Boolean, "1"},
    {Key::ShowAlt, "Form", "ShowAlt", T::Boolean, "1"},
    {Key::ShowMod, "Form", "ShowMod", T::Boolean, "1"},
    {Key::TextHeight, "Form", "TextHeight", T::Integer, "440"},
    {Key::TextWidth, "Form", "TextWidth", T::Integer, "340"},
    {Key::ListHeight, "Form", "ListHeight", T::Integer, "372"},
    {Key::ListWidth, "Form", "ListWidth", T::Integer, "681"},
    {Key::Refresh, "Form", "Refresh", T::Integer, "2"},
    {Key::ColumnsWidth0, "Form", "ColumnsWidth0", T::Integer, "65"},
    {Key::ColumnsWidth1, "Form", "ColumnsWidth1", T::Integer, "30"},
    {Key::ColumnsWidth2, "Form", "ColumnsWidth2", T::Integer, "65"},
    {Key::ColumnsWidth3, "Form", "ColumnsWidth3", T::Integer, "30"},
    {Key::ColumnsWidth4, "Form", "ColumnsWidth4", T::Integer, "50"},
    {Key::ColumnsWidth5, "Form", "ColumnsWidth5", T::Integer, "50"},
    {Key::ColumnsWidth6, "Form", "ColumnsWidth6", T::Integer, "110"},
    {Key::ColumnsWidth7, "Form", "ColumnsWidth7", T::Integer, "80"},
    {Key::ColumnsWidth8, "Form", "ColumnsWidth8", T::Integer, "80"},
    {Key::ColumnsWidth9, "Form", "ColumnsWidth9", T::Integer, "60"},
    {Key::TextFontSize, "Form", "TextFontSize", T::Integer, "9"},
    {Key::TextFontName, "Form", "TextFontName", T::Text, "MS Gothic"},
    {Key::ListFontSize, "Form", "ListFontSize", T::Integer, "9"},
    {Key::ListFontName, "Form", "ListFontName", T::Text, "MS Gothic"},

    {Key::TcpIp, "Net", "TcpIp", T::Boolean, "1"},
    {Key::Server, "Net", "Server", T::Boolean, "0"},
    {Key::ServerDec, "Net", "ServerDec", T::Boolean, "1"},
    {Key::Name, "Net", "Name", T::Text, ""},
    {Key::ServerName, "Net", "ServerName", T::Text, ""},
    {Key::Reconnect, "Net", "Reconnect", T::Boolean, "1"},
    {Key::Timer, "Net", "Timer", T::Integer, "60"},
    {Key::Chat, "Net", "Chat", T::Boolean, "0"},
    {Key::DupCheckSend, "Net", "DupCheckSend", T::Boolean, "1"},
    {Key::MaxConnect, "Net", "MaxConnect", T::Integer, "10"},
    {Key::ClientPortNo, "Net", "ClientPortNo", T::Text, "49505"},
    {Key::ServerPortNo, "Net", "ServerPortNo", T::Text, "49505"},

    {Key::Input, "Wave", "Input", T::Integer, "0"},
    {Key::Dual, "Wave", "Dual", T::Integer, "1"},
    // A WAV file or named pipe to read instead of the sound card; empty = sound card.
    {Key::Source, "Wave", "Source", T::Text, ""},
    // Demodulators that deliver frames: 0 the classic chain alone, 1 both
    // (a frame found by both passes once), 2 the coherent one alone (the
    // default: the classic chain found no frame the coherent one did not, so
    // only its filters run, for the spectrum and the OVR lamp).
    {Key::Demodulator, "Wave", "Demodulator", T::Integer, "2"},
    // The frequencies in MHz the scanner feeding the left and right channel
    // is on, for the feed; 0 = not known.
    {Key::WaveFreq1, "Wave", "Freq1", T::Real, "0"},
    {Key::WaveFreq2, "Wave", "Freq2", T::Real, "0"},

    // SoapySDR device arguments of the receiver used when [Wave] Source is "sdr".
    {Key::SdrDevice, "Sdr", "Device", T::Text, "driver=rtlsdr"},
    // Samples per second of the device, and of IQ files whose name does not tell.
    {Key::SdrSampleRate, "Sdr", "SampleRate", T::Integer, "2400000"},
    // Tuner gain in dB; a negative value leaves it to the device (automatic).
    {Key::SdrGain, "Sdr", "Gain", T::Real, "-1"},
    // Frequency correction of the device in ppm.
    {Key::SdrPpm, "Sdr", "Ppm", T::Real, "0"},
    // The channel frequencies in MHz, up to 16, separated by spaces: channel 1
    // (left, "Lch"), channel 2 (right, "Rch"), then channels "C03" … "C16".
    // While the list is at its default, Freq1 and Freq2 (from before there
    // was a list) are the two frequencies.
    {Key::SdrFreq1, "Sdr", "Freq1", T::Real, "131.45"},
    {Key::SdrFreq2, "Sdr", "Freq2", T::Real, "131.95"},
    {Key::SdrFrequencies, "Sdr", "Frequencies", T::Text, "131.450 131.950"},
    // Centre frequency in MHz of IQ files whose name does not tell; 0 = midway
    // between the lowest and highest frequency. The device's centre is always
    // chosen from the frequencies.
    {Key::SdrCentre, "Sdr", "Centre", T::Real, "0"},
    // Sample format of IQ files whose extension does not tell: cu8 or cs16.
    {Key::SdrIqFormat, "Sdr", "IqFormat", T::Text, "cu8"},

    // The JSON feed: one object per line for every checked frame, to an aggregator.
    {Key::FeedEnabled, "Feed", "Enabled", T::Boolean, "0"},
    {Key::FeedHost, "Feed", "Host", T::Text, "127.0.0.1"},
    {Key::FeedPort, "Feed", "Port", T::Integer, "5550"},
    // UDP or TCP.
    {Key::FeedProtocol, "Feed", "Protocol", T::Text, "UDP"},
    // Empty: this computer's name.
    {Key::FeedStationId, "Feed", "StationId", T::Text, ""},
    // Destinations "udp:host:port" or "tcp:host:port", comma-separated; when
    // empty, Host, Port and Protocol above name the one destination.
    {Key::FeedTargets, "Feed", "Targets", T::Text, ""},

    {Key::ConvJC, "Etc", "ConvJC", T::Boolean, "1"},
    {Key::ConvJD, "Etc", "ConvJD", T::Boolean, "1"},
    {Key::LogName, "Etc", "LogName", T::Boolean, "0"},
    {Key::DispTime, "Etc", "DispTime", T::Boolean, "0"},

    {Key::Local, "UserSettings", "Local", T::Integer, "9"},
}};

constexpr bool tableInKeyOrder()
{
    for (int i = 0; i < kKeyCount; ++i)
        if (static_cast<int>(kTable[i].key) != i)
            return false;
    return true;
}
static_assert(tableInKeyOrder(), "the settings table must list the keys in Key order");

constexpr std::array<std::string_view, 14> kSections{"Map",  "Txt", "Mail", "Spec", "List",         "Color", "Pos",
                                                     "Form", "Net", "Wave", "Etc",  "UserSettings", "Sdr",   "Feed"};

} // namespace

std::span<const KeyDef> keyTable()
{
    return kTable;
}

const KeyDef& keyDef(Key key)
{
    const int i = static_cast<int>(key);
    assert(i >= 0 && i < kKeyCount);
    return kTable[i];
}

std::span<const std::string_view> sectionOrder()
{
    return kSections;
}

} // namespace varnesk
