// varnesk-decode: runs WAV files (or raw S16LE stereo 22050 Hz from "-") and IQ
// recordings through the same per-block processing as the program, without
// display or sound device,
// as fast as the machine allows, and prints the entries the received text
// window would get (RAW, PRC or MES view). RAW text logs (.log) are read as the
// RAW import reads them; or, with --json, the feed line of every frame.
#include "acars/json_feed.h"
#include "acars/raw_text.h"
#include "acars/sjis.h"
#include "app/receive_pipeline.h"
#include "decode/block_context.h"
#include "decode/date_time_text.h"
#include "map/map_scene.h"
#include "map/modem_indicators.h"
#include "net/raw_record_reader.h"
#include "program_version.h"
#include "receiver/audio_file_reader.h"
#include "receiver/audio_format.h"
#include "receiver/iq_file_reader.h"

#include <QCoreApplication>

#include <QFileInfo>
#include <QGuiApplication>
#include <array>

#include <QElapsedTimer>

#include <array>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: varnesk-decode [--ini FILE] [--view raw|prc|mes] [--dual 1|2] [--demod classic|coherent|both]\n"
    "                      [--positions | --frames | --json [--station-id ID]] [--stats] [IQ options]\n"
    "                      INPUT...\n"
    "  INPUT   a WAV file (any rate and channel count), - for raw stereo\n"
    "          S16LE 22050 Hz on standard input, an IQ recording (*.cu8, *.cs8,\n"
    "          *.cs16, *.cf32; *.raw, *.iq and *.bin in [Sdr] IqFormat), or a RAW\n"
    "          text log (*.log); inputs run in order through one receiver and one\n"
    "          decoder. An IQ recording gives one channel per frequency: frequency 1\n"
    "          is the left channel ([Lch]), 2 the right ([Rch]), 3 ... 16 are [C03] ...\n"
    "          [C16]; its sample rate and centre come from its name\n"
    "          (..._131700000Hz_2400000sps.cu8, ..._131.7MHz_2.4Msps..., rtl_433's\n"
    "          ..._131.7M_2400k..., gqrx_DATE_TIME_FREQ_RATE_fc.raw), else from [Sdr]\n"
    "  --iq-rate SPS  sample rate of IQ inputs (default [Sdr] SampleRate); given,\n"
    "          it wins over the name, like --iq-centre and --iq-format\n"
    "  --iq-centre MHZ  centre frequency of IQ inputs (default [Sdr] Centre;\n"
    "          0 = midway between the lowest and highest frequency)\n"
    "  --iq-format cu8|cs8|cs16|cf32  sample format of IQ inputs\n"
    "  --freqs \"MHZ MHZ ...\"  the channel frequencies of IQ inputs, 1 to 16,\n"
    "          separated by spaces or commas (default [Sdr] Frequencies,\n"
    "          131.450 131.950)\n"
    "  --freq1 MHZ, --freq2 MHZ  the first two of them alone\n"
    "  --ini   settings file (default: varnesk.ini beside this program)\n"
    "  --view  the text window view whose entries are printed (Shift-JIS,\n"
    "          CR LF): raw, prc or mes (default raw, or [Txt] TxtType of --ini)\n"
    "  --dual  channels to decode: 1 = left (channel 1) only, 2 = every channel\n"
    "          (default 2)\n"
    "  --demod  the demodulators that deliver frames: classic (the classic chain\n"
    "          alone), coherent (the coherent one with soft repair alone; the\n"
    "          classic chain's filters still feed the spectrum and OVR) or both,\n"
    "          a frame found by both passing once (default: [Wave] Demodulator of\n"
    "          --ini, else coherent)\n"
    "  --positions  print, instead, one tab-separated line per position fix: flight,\n"
    "          registration, local time, latitude, longitude, altitude, temperature,\n"
    "          heading, wind direction, wind speed\n"
    "  --frames  print, instead, every frame the receiver captures with a good\n"
    "          CRC, before the block decoder's checks: [Lch] or [Rch], the date\n"
    "          and time, the frame's level (\" -23.4 dB\": the mean envelope of the\n"
    "          channel's audio over the frame, full scale 0 dB), '>' and the frame\n"
    "          as raw text, one line each; unless only the classic chain runs,\n"
    "          the level is followed by \" classic\" or \" coherent\" and, for a\n"
    "          repaired frame, \" N bits repaired\"\n"
    "  --json  print, instead, every such frame as the JSON feed sends it to\n"
    "          an aggregator: one object per line, UTF-8\n"
    "  --station-id ID  the feed's station_id (default: [Feed] StationId of --ini)\n"
    "  --stats  at the end, print to standard error what the receiver found and\n"
    "          dropped per channel (each demodulator, and the merge of both),\n"
    "          what the decoder dropped per source, the\n"
    "          seconds of audio and the speed in times real time\n"
    "  --map FILE.png  after the inputs, write the map area as the main window\n"
    "          draws it (background and aircraft, view and options of the settings),\n"
    "          with the report, altitude and modem panes that [Form] ShowRep,\n"
    "          ShowAlt and ShowMod turn on\n"
    "  --size WxH  size of that picture in pixels (default 800x600): the\n"
    "          window's area below the toolbar\n";

struct Options {
    QString iniPath; // empty: the program folder's varnesk.ini
    int dual = 2;
    int view = -1;  // [Txt] TxtType; -1: from --ini, else RAW
    int demod = -1; // [Wave] Demodulator; -1: from --ini, else coherent
    bool help = false;
    bool positions = false;
    bool frames = false;
    bool json = false;
    std::optional<QString> stationId; // --station-id
    bool stats = false;
    QString mapPath; // --map: empty for no picture
    int mapWidth = 800;
    int mapHeight = 600;
    std::vector<std::string> inputs;
    // IQ inputs: given values stand in for the [Sdr] settings.
    std::optional<double> iqRateHz, iqCentreHz, freq1Hz, freq2Hz;
    std::optional<varnesk::IqFormat> iqFormat;
    std::vector<double> freqsHz; // --freqs
};

// A number with an optional k or M, such as 2400000, 2400k or 2.4M.
std::optional<double> scaledNumber(const QString& text)
{
    QString digits = text;
    double scale = 1;
    if (digits.endsWith(QLatin1Char('k'), Qt::CaseInsensitive) || digits.endsWith(QLatin1Char('M'))) {
        scale = digits.endsWith(QLatin1Char('M')) ? 1e6 : 1e3;
        digits.chop(1);
    }
    bool ok = false;
    const double v = digits.toDouble(&ok) * scale;
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

// Every option is parsed here. Returns nullopt (after printing why) on a usage error.
std::optional<Options> parseOptions(const QStringList& args)
{
    Options options;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--ini") && hasValue) {
            options.iniPath = args[++i];
        } else if (arg == QLatin1String("--dual") && hasValue) {
            bool ok = false;
            options.dual = args[++i].toInt(&ok);
            if (!ok || options.dual < 1 || options.dual > 2) {
                std::fputs("varnesk-decode: --dual takes 1 or 2\n", stderr);
                return std::nullopt;
            }
        } else if (arg == QLatin1String("--view") && hasValue) {
            const QString v = args[++i];
            options.view = v == QLatin1String("raw")   ? 0
                           : v == QLatin1String("prc") ? 1
                           : v == QLatin1String("mes") ? 2
                                                       : -2;
            if (options.view < 0) {
                std::fputs("varnesk-decode: --view takes raw, prc or mes\n", stderr);
                return std::nullopt;
            }
        } else if (arg == QLatin1String("--demod") && hasValue) {
            const QString v = args[++i];
            options.demod = v == QLatin1String("classic")    ? 0
                            : v == QLatin1String("both")     ? 1
                            : v == QLatin1String("coherent") ? 2
                                                             : -2;
            if (options.demod < 0) {
                std::fputs("varnesk-decode: --demod takes classic, coherent or both\n", stderr);
                return std::nullopt;
            }
        } else if ((arg == QLatin1String("--iq-rate") || arg == QLatin1String("--iq-centre")
                    || arg == QLatin1String("--freq1") || arg == QLatin1String("--freq2"))
                   && hasValue) {
            const std::optional<double> v = scaledNumber(args[++i]);
            if (!v || *v < 0) {
                std::fprintf(stderr, "varnesk-decode: %s takes a number\n", arg.toLocal8Bit().constData());
                return std::nullopt;
            }
            if (arg == QLatin1String("--iq-rate"))
                options.iqRateHz = *v;
            else
                (arg == QLatin1String("--iq-centre") ? options.iqCentreHz
                 : arg == QLatin1String("--freq1")   ? options.freq1Hz
                                                     : options.freq2Hz) = *v * 1e6;
        } else if (arg == QLatin1String("--freqs") && hasValue) {
            std::string error;
            options.freqsHz = varnesk::parseFrequencyList(args[++i].toStdString(), error);
            if (options.freqsHz.empty()) {
                std::fprintf(stderr, "varnesk-decode: --freqs: %s\n", error.c_str());
                return std::nullopt;
            }
        } else if (arg == QLatin1String("--iq-format") && hasValue) {
            options.iqFormat = varnesk::iqFormatFromName(args[++i].toStdString());
            if (!options.iqFormat) {
                std::fputs("varnesk-decode: --iq-format takes cu8, cs8, cs16 or cf32\n", stderr);
                return std::nullopt;
            }
        } else if (arg == QLatin1String("--positions")) {
            options.positions = true;
        } else if (arg == QLatin1String("--frames")) {
            options.frames = true;
        } else if (arg == QLatin1String("--json")) {
            options.json = true;
        } else if (arg == QLatin1String("--station-id") && hasValue) {
            options.stationId = args[++i];
        } else if (arg == QLatin1String("--stats")) {
            options.stats = true;
        } else if (arg == QLatin1String("--map") && hasValue) {
            options.mapPath = args[++i];
        } else if (arg == QLatin1String("--size") && hasValue) {
            const QStringList wh = args[++i].split(QLatin1Char('x'));
            bool okW = false, okH = false;
            if (wh.size() == 2) {
                options.mapWidth = wh[0].toInt(&okW);
                options.mapHeight = wh[1].toInt(&okH);
            }
            if (!okW || !okH || options.mapWidth < 1 || options.mapHeight < 1 || options.mapWidth > 8192
                || options.mapHeight > 8192) {
                std::fputs("varnesk-decode: --size takes WxH, each 1 to 8192\n", stderr);
                return std::nullopt;
            }
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.help = true;
            return options;
        } else if (arg.startsWith(QLatin1String("--"))) {
            std::fprintf(stderr, "varnesk-decode: unknown or incomplete option %s\n", arg.toLocal8Bit().constData());
            return std::nullopt;
        } else {
            options.inputs.push_back(arg == QLatin1String("-") ? std::string("-") : std::string(arg.toLocal8Bit()));
        }
    }
    if (options.inputs.empty()) {
        std::fputs(kUsage, stderr);
        return std::nullopt;
    }
    return options;
}

// The map picture draws text, which needs a GUI application; it runs on the
// offscreen platform unless another is asked for.
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--map") == 0) {
            if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
            return std::make_unique<QGuiApplication>(argc, argv);
        }
    return std::make_unique<QCoreApplication>(argc, argv);
}

void printStats(const varnesk::ReceivePipeline& pipeline, uint64_t blocks, double seconds)
{
    const double audioSeconds = static_cast<double>(blocks) * varnesk::kFramesPerBlock / varnesk::kSampleRateHz;
    std::fprintf(stderr, "audio: %.1f s in %.2f s, %.1f times real time\n", audioSeconds, seconds,
                 seconds > 0 ? audioSeconds / seconds : 0.0);
    // Channels 1 and 2 are "left" and "right", 3 … 16 "C03" … "C16".
    auto channelName = [](int c) {
        return c == 0 ? std::string("left") : c == 1 ? std::string("right") : std::string(varnesk::radioTag(c));
    };
    auto sourceName = [&](int s) {
        return s == static_cast<int>(varnesk::FrameSource::Network) ? std::string("network/RAW")
               : s < 2                                              ? channelName(s)
                                                                    : channelName(s - 1);
    };
    const int channels = std::max(pipeline.channelCount(), 2);
    // Per channel, every sync found ends one way or is still open:
    // syncs = delivered + parity breaks + bad CRC + length-limit closes + overruns + open.
    for (int c = 0; c < channels; ++c) {
        const varnesk::ReceiverCounts& r = pipeline.receiver().counts(c);
        std::fprintf(
            stderr,
            "receiver %s: syncs %llu, delivered %llu, parity breaks %llu, bad CRC %llu, "
            "length-limit closes %llu, buffer overruns %llu, capture open %llu\n",
            channelName(c).c_str(), static_cast<unsigned long long>(r.syncsFound),
            static_cast<unsigned long long>(r.framesDelivered), static_cast<unsigned long long>(r.parityBreaks),
            static_cast<unsigned long long>(r.badCrc), static_cast<unsigned long long>(r.lengthLimitCloses),
            static_cast<unsigned long long>(r.bufferOverruns), static_cast<unsigned long long>(r.capturesOpen));
    }
    for (int c = 0; c < channels; ++c) {
        const varnesk::CoherentCounts& r = pipeline.coherent().counts(c);
        std::fprintf(stderr,
                     "coherent %s: syncs %llu, delivered %llu, repaired %llu (%llu bits), lost %llu "
                     "(guard refusals %llu), capture open %llu\n",
                     channelName(c).c_str(), static_cast<unsigned long long>(r.syncsFound),
                     static_cast<unsigned long long>(r.framesDelivered),
                     static_cast<unsigned long long>(r.framesRepaired), static_cast<unsigned long long>(r.bitsRepaired),
                     static_cast<unsigned long long>(r.framesLost), static_cast<unsigned long long>(r.guardRefusals),
                     static_cast<unsigned long long>(r.capturesOpen));
    }
    const varnesk::MergeCounts& merged = pipeline.merge().counts();
    std::fprintf(stderr, "merge: passed from classic %llu, from coherent %llu, duplicates dropped %llu\n",
                 static_cast<unsigned long long>(merged.passedClassic),
                 static_cast<unsigned long long>(merged.passedCoherent),
                 static_cast<unsigned long long>(merged.duplicates));
    const varnesk::DecodeCountTable& decoded = pipeline.decode().decoder.counts();
    for (int s = 0; s < std::min(varnesk::kFrameSources, channels + 1); ++s) {
        const varnesk::DecodeCounts& d = decoded[static_cast<size_t>(s)];
        std::fprintf(stderr,
                     "decoder %s: frames %llu, downlinks %llu, uplinks %llu, chat lines %llu, too short %llu, "
                     "invalid flight number %llu\n",
                     sourceName(s).c_str(), static_cast<unsigned long long>(d.frames),
                     static_cast<unsigned long long>(d.downlinks), static_cast<unsigned long long>(d.uplinks),
                     static_cast<unsigned long long>(d.chatLines), static_cast<unsigned long long>(d.tooShort),
                     static_cast<unsigned long long>(d.badFlight));
    }
    const varnesk::NetLineIntake& intake = pipeline.decode().intake;
    const varnesk::RawImport& import = pipeline.decode().import;
    std::fprintf(stderr, "lines: overlong %llu, unfinished %llu; RAW records %llu, unreadable %llu\n",
                 static_cast<unsigned long long>(intake.overlongLines()),
                 static_cast<unsigned long long>(intake.unfinishedLines()),
                 static_cast<unsigned long long>(import.records()),
                 static_cast<unsigned long long>(import.unreadableRecords()));
}

} // namespace

int main(int argc, char** argv)
{
    const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv);
    // The application takes the user's locale for the C library too; printed
    // numbers keep their '.'.
    std::setlocale(LC_NUMERIC, "C");
    const std::optional<Options> options = parseOptions(QCoreApplication::arguments());
    if (!options)
        return 2;
    if (options->help) {
        std::fputs(kUsage, stdout);
        return 0;
    }

    const QString appDir = QCoreApplication::applicationDirPath();
    varnesk::SettingsStore settings;
    const QString iniPath = options->iniPath.isEmpty() ? appDir + QStringLiteral("/varnesk.ini") : options->iniPath;
    if (!options->iniPath.isEmpty() && !QFileInfo::exists(iniPath))
        std::fprintf(stderr, "varnesk-decode: %s not found, using defaults\n", iniPath.toLocal8Bit().constData());
    settings.Load(iniPath);
    settings.setInteger(varnesk::Key::Dual, options->dual);
    if (options->demod >= 0)
        settings.setInteger(varnesk::Key::Demodulator, options->demod);
    else if (options->iniPath.isEmpty())
        settings.setInteger(varnesk::Key::Demodulator, 2);
    if (options->view >= 0)
        settings.setInteger(varnesk::Key::TxtType, options->view);
    else if (options->iniPath.isEmpty())
        settings.setInteger(varnesk::Key::TxtType, 0);

    const QDateTime start = QDateTime::currentDateTime();
    // The channel frequencies of the input being read, in MHz, when it tells them.
    std::array<std::optional<double>, varnesk::kMaxRadioChannels> channelMhz{};
    varnesk::ReceivePipeline pipeline(settings,
                                      varnesk::AppPaths::make(appDir, QStringLiteral("varnesk"), false, start));
    pipeline.setProcessingEnabled(true);
    if (options->positions) {
        pipeline.tracking().printFixes(stdout);
    } else if (options->frames) {
        // With the classic chain alone the lines are as they always were.
        const bool tagged = settings.integer(varnesk::Key::Demodulator) != 0;
        QObject::connect(&pipeline, &varnesk::ReceivePipeline::frameCaptured, &pipeline,
                         [tagged](const varnesk::CapturedFrame& frame, const QDateTime& blockTime) {
                             std::string tag;
                             if (frame.levelDb) {
                                 char level[32];
                                 std::snprintf(level, sizeof level, " %.1f dB", *frame.levelDb);
                                 tag = level;
                             }
                             if (tagged) {
                                 tag += frame.from == varnesk::Demodulator::Classic ? " classic" : " coherent";
                                 if (frame.repairedBits > 0)
                                     tag += " " + std::to_string(frame.repairedBits) + " bits repaired";
                             }
                             const std::string line = "[" + std::string(varnesk::radioTag(frame.channel)) + "]"
                                                      + varnesk::dateTimeText(blockTime) + tag + ">"
                                                      + varnesk::renderFrameRawText(frame.slots, frame.bitCount) + "\n";
                             std::fwrite(line.data(), 1, line.size(), stdout);
                         });
    } else if (options->json) {
        // The time is the block's; the frequencies are an IQ recording's, or
        // the scanners' of [Wave] Freq1 / Freq2 (0.0 when not known).
        varnesk::FeedStation station{options->stationId ? varnesk::qstringToSjis(*options->stationId)
                                                        : varnesk::feedStationId(settings),
                                     "varnesk", varnesk::kProgramVersion};
        QObject::connect(&pipeline, &varnesk::ReceivePipeline::frameCaptured, &pipeline,
                         [station, &channelMhz](const varnesk::CapturedFrame& frame, const QDateTime& blockTime) {
                             const std::optional<std::string> line = varnesk::capturedFrameFeedLine(
                                 frame,
                                 frame.channel >= 0 && frame.channel < varnesk::kMaxRadioChannels
                                     ? channelMhz[static_cast<size_t>(frame.channel)]
                                     : std::nullopt,
                                 blockTime, station);
                             if (line)
                                 std::fwrite(line->data(), 1, line->size(), stdout);
                         });
    } else {
        // Every entry as the text window appends it, byte for byte.
        QObject::connect(&pipeline.decode().text, &varnesk::ReceivedText::entryAppended, &pipeline,
                         [](std::string_view entry) { std::fwrite(entry.data(), 1, entry.size(), stdout); });
    }

    // The modem pane of the picture follows the blocks as the window's would.
    std::unique_ptr<varnesk::ModemIndicators> indicators;
    QDateTime blockTime = start;
    if (!options->mapPath.isEmpty() && settings.boolean(varnesk::Key::ShowMod)) {
        indicators = std::make_unique<varnesk::ModemIndicators>(settings);
        QObject::connect(&pipeline, &varnesk::ReceivePipeline::captureBlockDone, &pipeline, [&] {
            indicators->blockDone(pipeline.receiver(), pipeline.channelSamples(0), pipeline.channelSamples(1),
                                  blockTime, true);
        });
    }

    // Each block is stamped with the start time plus its place in the audio, so
    // the printed times keep the spacing of the recording.
    varnesk::IqFileSettings iqSettings = varnesk::iqFileSettings(settings);
    if (options->iqRateHz) {
        iqSettings.sampleRateHz = *options->iqRateHz;
        iqSettings.rateGiven = true;
    }
    if (options->iqCentreHz) {
        iqSettings.centreHz = *options->iqCentreHz;
        iqSettings.centreGiven = true;
    }
    if (options->iqFormat) {
        iqSettings.format = *options->iqFormat;
        iqSettings.formatGiven = true;
    }
    if (!options->freqsHz.empty()) {
        iqSettings.channelHz = options->freqsHz;
        iqSettings.frequencyError.clear();
    }
    if (options->freq1Hz) {
        iqSettings.channelHz.resize(std::max<size_t>(iqSettings.channelHz.size(), 1));
        iqSettings.channelHz[0] = *options->freq1Hz;
    }
    if (options->freq2Hz) {
        iqSettings.channelHz.resize(std::max<size_t>(iqSettings.channelHz.size(), 2));
        iqSettings.channelHz[1] = *options->freq2Hz;
    }

    int status = 0;
    uint64_t blocks = 0;
    QElapsedTimer clock;
    clock.start();
    varnesk::CaptureBlock stereo;
    varnesk::ChannelBlock block;
    for (const std::string& input : options->inputs) {
        if (input.size() > 4 && input.ends_with(".log")) {
            if (!pipeline.decode().import.importFile(QString::fromLocal8Bit(input.c_str()))) {
                std::fprintf(stderr, "varnesk-decode: cannot read %s\n", input.c_str());
                status = 1;
            }
            continue;
        }
        std::string error;
        std::unique_ptr<varnesk::AudioFileReader> audio;
        std::unique_ptr<varnesk::IqFileReader> iq;
        if (input != "-" && varnesk::isIqFileName(input))
            iq = varnesk::IqFileReader::open(input, iqSettings, error);
        else
            audio = varnesk::AudioFileReader::open(input, error);
        if (!audio && !iq) {
            std::fprintf(stderr, "varnesk-decode: %s\n", error.c_str());
            status = 1;
            continue;
        }
        for (size_t c = 0; c < channelMhz.size(); ++c)
            channelMhz[c] =
                iq ? (c < iq->tuning().channelHz.size() ? std::optional<double>(iq->tuning().channelHz[c] / 1e6)
                                                        : std::nullopt)
                : c < 2
                    ? std::optional<double>(settings.real(c == 0 ? varnesk::Key::WaveFreq1 : varnesk::Key::WaveFreq2))
                    : std::nullopt;
        auto next = [&] {
            if (iq)
                return iq->read(block);
            if (!audio->read(stereo))
                return false;
            block = varnesk::ChannelBlock::fromStereo(stereo);
            return true;
        };
        while (next()) {
            const auto ms = static_cast<qint64>(
                std::llround(static_cast<double>(blocks) * varnesk::kFramesPerBlock * 1000.0 / varnesk::kSampleRateHz));
            blockTime = start.addMSecs(ms);
            pipeline.ProcessChannelBlock(block, blockTime);
            ++blocks;
        }
    }
    if (!options->mapPath.isEmpty()) {
        const varnesk::ReferenceTables& tables = pipeline.tracking().tables();
        QImage modemPanel;
        if (indicators) {
            modemPanel = QImage(varnesk::kModemPanelWidth, varnesk::kModemPanelHeight, QImage::Format_RGB32);
            varnesk::drawModemPanel(modemPanel, *indicators, true);
        }
        const QImage picture = varnesk::renderWindowPicture(
            settings, pipeline.paths(), &pipeline.tracking().store(), options->mapWidth, options->mapHeight, modemPanel,
            [&tables](std::string_view code) { return tables.LookupAirportName(code); });
        if (!picture.save(options->mapPath, "PNG")) {
            std::fprintf(stderr, "varnesk-decode: cannot write %s\n", options->mapPath.toLocal8Bit().constData());
            status = 1;
        }
    }
    std::fflush(stdout);
    if (options->stats)
        printStats(pipeline, blocks, clock.nsecsElapsed() / 1e9);
    return status;
}
