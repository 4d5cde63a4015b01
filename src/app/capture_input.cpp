// Which source [Wave] Source names, and what each tells about its channels.
#include "app/capture_input.h"

#include "app/file_capture_source.h"
#include "app/sdr_capture_source.h"
#include "app/sound_card.h"
#include "receiver/iq_file_reader.h"
#include "settings/settings_store.h"

#include <QFile>

namespace varnesk {

const QString kCaptureOpenFailed = QStringLiteral("録音デバイスをオープンできないためプログラムの実行ができません\n"
                                                  "デバイスが使用中か録音フォーマットに対応していない可能性があります");
const QString kCaptureBufferFailed = QStringLiteral("バッファを確保できないためプログラムの実行ができません\n"
                                                    "メモリが不足している可能性があります");

namespace {

std::optional<double> scannerMhz(const SettingsStore& settings, Key key)
{
    const double mhz = settings.real(key);
    return mhz > 0 ? std::optional<double>(mhz) : std::nullopt;
}

} // namespace

std::optional<std::string> sdrDeviceArgs(const std::string& source)
{
    const QString s = QString::fromStdString(source).trimmed();
    if (s.compare(QLatin1String("sdr"), Qt::CaseInsensitive) == 0)
        return std::string();
    if (s.startsWith(QLatin1String("sdr:"), Qt::CaseInsensitive))
        return s.mid(4).trimmed().toStdString();
    return std::nullopt;
}

CaptureInput::CaptureInput(Deliver deliver, Lost lost) : m_deliver(std::move(deliver)), m_lost(std::move(lost)) { }

CaptureInput::~CaptureInput() = default;

bool CaptureInput::open(const SettingsStore& settings, const QString& appDir, QString& message)
{
    close();
    std::string source = settings.text(Key::Source);
    m_tuned = false;
    scannerFrequenciesChanged(settings);
    if (const std::optional<std::string> deviceArgs = sdrDeviceArgs(source)) {
        if (!m_sdr)
            m_sdr = std::make_unique<SdrCaptureSource>(m_deliver, m_lost);
        SdrOptions options = SdrOptions::fromSettings(settings);
        if (!deviceArgs->empty())
            options.deviceArgs = *deviceArgs;
        if (!m_sdr->open(options, message))
            return false;
        m_tuned = true;
        setTuned(options.frequenciesHz);
        return true;
    }
    if (!source.empty()) {
        // A relative name is taken from the program's folder, like every other file.
        if (source.front() != '/')
            source = QFile::encodeName(appDir).toStdString() + "/" + source;
        if (!m_file)
            m_file =
                std::make_unique<FileCaptureSource>(m_deliver, [&settings](const std::string& path, QString& error) {
                    return openCaptureFile(path, settings, error);
                });
        if (!m_file->open(source, message))
            return false;
        if (isIqFileName(source)) {
            const IqFileSettings iq = iqFileSettings(settings);
            setTuned(iq.channelHz);
        }
        return true;
    }
    if (!m_sound)
        m_sound = std::make_unique<SoundCapture>(
            [this](CaptureSamples block) { m_deliver(ChannelBlock::fromStereo(block)); });
    switch (m_sound->open(settings.integer(Key::Input))) {
    case AudioOpenResult::Ok:
        return true;
    case AudioOpenResult::DeviceFailed:
        message = kCaptureOpenFailed;
        return false;
    case AudioOpenResult::BufferFailed:
        message = kCaptureBufferFailed;
        return false;
    }
    return false;
}

void CaptureInput::close()
{
    if (m_file)
        m_file->close();
    if (m_sound)
        m_sound->close();
    if (m_sdr)
        m_sdr->close();
}

bool CaptureInput::isOpen() const
{
    return (m_file && m_file->isOpen()) || (m_sound && m_sound->isOpen()) || (m_sdr && m_sdr->isOpen());
}

void CaptureInput::scannerFrequenciesChanged(const SettingsStore& settings)
{
    if (m_tuned)
        return;
    m_channelMhz = {};
    m_channelMhz[0] = scannerMhz(settings, Key::WaveFreq1);
    m_channelMhz[1] = scannerMhz(settings, Key::WaveFreq2);
}

void CaptureInput::setTuned(const std::vector<double>& hz)
{
    m_tuned = true;
    m_channelMhz = {};
    for (size_t c = 0; c < hz.size() && c < m_channelMhz.size(); ++c)
        m_channelMhz[c] = hz[c] / 1e6;
}

} // namespace varnesk
