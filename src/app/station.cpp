// The station's start, its retries and its status lines.
#include "app/station.h"

#include "app/file_capture_source.h"
#include "app/installed_data.h"
#include "decode/block_context.h"
#include "net/net_link.h"
#include "search/search_watch.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace varnesk {

namespace {

const QString kProgramName = QStringLiteral("varnesk");

uint64_t decoderDrops(const DecodeCounts& c)
{
    return c.tooShort + c.badFlight;
}

QString oneLine(QString text)
{
    return text.replace(QLatin1Char('\n'), QLatin1Char(' ')).simplified();
}

} // namespace

Station::Station(Options options, Say say, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_say(std::move(say))
{
    m_retry.setInterval(m_options.retryInterval);
    connect(&m_retry, &QTimer::timeout, this, &Station::retry);
    m_status.setInterval(m_options.statusInterval);
    connect(&m_status, &QTimer::timeout, this, &Station::reportStatus);
    m_endCheck.setInterval(100);
    connect(&m_endCheck, &QTimer::timeout, this, [this] {
        if (m_input && m_input->file() && m_input->file()->atEnd())
            Q_EMIT finished();
    });
}

Station::~Station()
{
    stop();
    // The input hands blocks to the pipeline: it goes first.
    m_input.reset();
    delete m_search;
    delete m_netLink;
}

bool Station::start()
{
    const QDir dir(m_options.dir);
    if (!dir.exists() && !QDir().mkpath(m_options.dir)) {
        m_say(QStringLiteral("cannot create the folder %1").arg(m_options.dir));
        return false;
    }
    if (!m_options.installedData.isEmpty() && !seedUserData(m_options.installedData, m_options.dir))
        m_say(
            QStringLiteral("cannot copy every data file from %1 into %2").arg(m_options.installedData, m_options.dir));
    // The data and log folders are made here in any case; files present stay.
    for (const char* folder : {"data", "logs/EachLogs"})
        dir.mkpath(QLatin1String(folder));

    const QString iniFile = dir.filePath(kProgramName + QStringLiteral(".ini"));
    if (QFileInfo::exists(iniFile)) {
        if (!m_settings.Load(iniFile))
            m_say(QStringLiteral("cannot read %1; running on the default settings").arg(iniFile));
    } else if (m_settings.Save(iniFile)) {
        m_say(QStringLiteral("wrote the default settings to %1").arg(iniFile));
    } else {
        m_say(QStringLiteral("cannot write %1; running on the default settings").arg(iniFile));
    }

    m_paths = AppPaths::make(dir.absolutePath(), kProgramName, m_settings.boolean(Key::LogName),
                             QDateTime::currentDateTime());
    m_pipeline = std::make_unique<ReceivePipeline>(m_settings, m_paths);
    m_settings.applyStartupCorrections();

    // The search list, checked after every accepted downlink; hits are logged and mailed.
    m_search = new SearchWatch(m_settings, m_paths, m_pipeline->tracking().tables());
    connect(&m_pipeline->decode().decoder, &BlockDecoder::downlinkAccepted, m_search,
            [this](const AcarsBlock& block) { m_search->CheckSearchList(block.address, block.flight); });

    m_pipeline->receiver().resetIndicators();
    m_pipeline->setProcessingEnabled(true);
    connect(m_pipeline.get(), &ReceivePipeline::frameCaptured, this,
            [this](const CapturedFrame& frame, const QDateTime&) {
                if (frame.channel >= 0 && frame.channel < kMaxRadioChannels)
                    ++m_tally[static_cast<size_t>(frame.channel)].frames;
            });

    // The network: a server listens; a client connects to its server.
    m_netLink = new NetLink(m_settings, m_pipeline->network(), m_pipeline->decode().intake);
    connect(m_netLink, &NetLink::notice, this, [this](NetLink::Notice what) {
        switch (what) {
        case NetLink::Notice::Connected:
            m_say(QStringLiteral("connected to the server"));
            break;
        case NetLink::Notice::CannotConnect:
            m_say(QStringLiteral("cannot connect to the server"));
            break;
        case NetLink::Notice::Disconnected:
        case NetLink::Notice::DisconnectedByServer:
            m_say(QStringLiteral("disconnected from the server"));
            break;
        case NetLink::Notice::AcceptFailed:
            m_say(QStringLiteral("refused an invalid connection request"));
            break;
        case NetLink::Notice::TooManyConnections:
            m_say(QStringLiteral("refused a connection: %1 clients already").arg(m_settings.integer(Key::MaxConnect)));
            break;
        }
    });
    if (m_settings.boolean(Key::TcpIp)) {
        m_wantServer = m_settings.boolean(Key::Server);
        if (m_wantServer)
            startServer();
        else
            m_netLink->ConnectToServer();
    }

    m_pipeline->feed().applySettings();
    if (m_settings.boolean(Key::FeedEnabled))
        for (const auto& target : m_pipeline->feed().targets())
            m_say(QStringLiteral("feeding %1").arg(feedTargetText(target->address())));
    if (m_settings.boolean(Key::TxtLog))
        m_pipeline->decode().text.WriteLogStart(true);

    m_input = std::make_unique<CaptureInput>([this](const ChannelBlock& block) { onBlock(block); },
                                             [this](const QString& message) {
                                                 sayOnce(m_lastInputProblem, message);
                                                 m_retry.start();
                                             });
    openInput();
    m_status.start();
    if (m_options.exitAtEnd)
        m_endCheck.start();
    return true;
}

void Station::stop()
{
    m_retry.stop();
    m_status.stop();
    m_endCheck.stop();
    if (m_pipeline)
        m_pipeline->setProcessingEnabled(false);
    if (m_input)
        m_input->close();
    if (m_netLink)
        m_netLink->closeSockets();
    if (m_pipeline)
        m_pipeline->feed().stop();
}

void Station::openInput()
{
    QString message;
    const bool opened = m_input->open(m_settings, m_options.dir, message);
    for (int c = 0; c < kMaxRadioChannels; ++c)
        m_pipeline->feed().setChannelFrequencyMhz(c, m_input->channelMhz()[static_cast<size_t>(c)]);
    if (opened) {
        if (!m_lastInputProblem.isEmpty())
            m_say(QStringLiteral("input open again"));
        m_lastInputProblem.clear();
        return;
    }
    sayOnce(m_lastInputProblem, message);
    m_retry.start();
}

void Station::startServer()
{
    if (m_netLink->StartServer(m_options.listen)) {
        m_say(QStringLiteral("sharing server listening on port %1")
                  .arg(QString::fromStdString(m_settings.text(Key::ServerPortNo))));
        m_lastServerProblem.clear();
        return;
    }
    sayOnce(m_lastServerProblem,
            QStringLiteral("cannot listen on port %1 (%2)")
                .arg(QString::fromStdString(m_settings.text(Key::ServerPortNo)), m_netLink->server().errorString()));
    m_retry.start();
}

void Station::retry()
{
    bool again = false;
    // A file played to its end is not played again.
    const bool ended = m_input && m_input->file() && m_input->file()->atEnd();
    if (m_input && !m_input->isOpen() && !ended) {
        openInput();
        again = again || !m_input->isOpen();
    }
    if (m_wantServer && !m_pipeline->network().netActive()) {
        startServer();
        again = again || !m_pipeline->network().netActive();
    }
    if (!again)
        m_retry.stop();
}

void Station::sayOnce(QString& last, const QString& line)
{
    const QString text = oneLine(line);
    if (text == last)
        return;
    last = text;
    m_say(text);
}

void Station::onBlock(const ChannelBlock& block)
{
    ++m_blocks;
    const int channels = std::clamp(block.channels, 1, kMaxRadioChannels);
    for (int c = 0; c < channels; ++c) {
        ChannelTally& t = m_tally[static_cast<size_t>(c)];
        for (const int16_t sample : block.samples[static_cast<size_t>(c)]) {
            const double s = sample;
            t.sumSquares += s * s;
        }
        t.samples += static_cast<uint64_t>(kFramesPerBlock);
    }
    m_pipeline->ProcessChannelBlock(block);
}

void Station::reportStatus()
{
    const int dual = std::clamp(m_settings.integer(Key::Dual), 0, 2);
    const int channels = dual == 2 ? m_pipeline->channelCount() : std::min(dual, m_pipeline->channelCount());
    const BlockDecoder& decoder = m_pipeline->decode().decoder;
    for (int c = 0; c < channels; ++c) {
        ChannelTally& t = m_tally[static_cast<size_t>(c)];
        const uint64_t drops = decoderDrops(decoder.counts(radioSource(c)));
        const std::optional<double> mhz = m_pipeline->feed().channelFrequencyMhz(c);
        QString level = QStringLiteral("no audio");
        if (t.samples > 0) {
            const double rms = std::sqrt(t.sumSquares / static_cast<double>(t.samples)) / 32768.0;
            level = rms > 0 ? QStringLiteral("level %1 dBFS").arg(20.0 * std::log10(rms), 0, 'f', 1)
                            : QStringLiteral("level silent");
        }
        m_say(QStringLiteral("%1%2: %3 blocks, %4 dropped, %5")
                  .arg(QString::fromLatin1(radioTag(c).data(), static_cast<qsizetype>(radioTag(c).size())),
                       mhz ? QStringLiteral(" %1 MHz").arg(*mhz, 0, 'f', 3) : QString())
                  .arg(t.frames)
                  .arg(drops - t.droppedBefore)
                  .arg(level));
        t.frames = 0;
        t.droppedBefore = drops;
        t.sumSquares = 0;
        t.samples = 0;
    }
}

} // namespace varnesk
