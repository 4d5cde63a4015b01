#include "app/sdr_capture_source.h"

#include "receiver/iq_channelizer.h"

#include <SoapySDR/Device.hpp>
#include <SoapySDR/Errors.h>
#include <SoapySDR/Formats.h>

#include <QDateTime>

#include <cmath>
#include <exception>

namespace varnesk {

namespace {

constexpr size_t kReadElements = 16384; // I/Q pairs per read
// At most this many reads per tick, so a backlog cannot starve the event loop.
constexpr int kReadsPerTick = 64;

QString deviceText(const std::string& args)
{
    return QString::fromStdString(args);
}

} // namespace

SdrCaptureSource::SdrCaptureSource(Deliver deliver, Lost lost) : m_deliver(std::move(deliver)), m_lost(std::move(lost))
{
    m_timer.setInterval(kTickMs);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { onTick(); });
}

SdrCaptureSource::~SdrCaptureSource()
{
    close();
    m_retired.clear();
}

bool SdrCaptureSource::open(const SdrOptions& options, QString& message)
{
    close();
    m_options = options;
    const QString shown = deviceText(options.deviceArgs);
    auto refuse = [&](const QString& reason) {
        message = QStringLiteral("SDR受信機をオープンできません\n%1\n%2").arg(shown, reason);
        close();
        return false;
    };

    if (!options.frequencyError.empty())
        return refuse(QString::fromStdString(options.frequencyError));
    const double centre = ChooseSdrCentre(options.frequenciesHz, options.sampleRateHz);
    IqTuning tuning;
    tuning.sampleRateHz = options.sampleRateHz;
    tuning.centreHz = centre;
    tuning.channelHz = options.frequenciesHz;
    if (const std::string problem = CheckIqTuning(tuning); !problem.empty())
        return refuse(QString::fromStdString(problem));

    try {
        m_device = SoapySDR::Device::make(options.deviceArgs);
    } catch (const std::exception& e) {
        m_device = nullptr;
        return refuse(QStringLiteral("受信機が見つかりません (%1)").arg(QString::fromLocal8Bit(e.what())));
    }
    if (!m_device)
        return refuse(QStringLiteral("受信機が見つかりません"));

    try {
        m_device->setSampleRate(SOAPY_SDR_RX, 0, options.sampleRateHz);
        const double actualRate = m_device->getSampleRate(SOAPY_SDR_RX, 0);
        if (actualRate > 0)
            tuning.sampleRateHz = actualRate;
        // A device that corrects its own oscillator is told the error; for the
        // others the channels are looked for where the error puts them.
        bool corrected = options.ppm == 0;
        if (!corrected && m_device->hasFrequencyCorrection(SOAPY_SDR_RX, 0)) {
            m_device->setFrequencyCorrection(SOAPY_SDR_RX, 0, options.ppm);
            corrected = true;
        }
        m_device->setFrequency(SOAPY_SDR_RX, 0, centre);
        m_centreHz = centre;
        if (!corrected) {
            const double scale = 1.0 + options.ppm * 1e-6;
            tuning.centreHz = centre * scale;
            tuning.sampleRateHz *= scale;
        }
        if (options.gainDb < 0) {
            if (m_device->hasGainMode(SOAPY_SDR_RX, 0))
                m_device->setGainMode(SOAPY_SDR_RX, 0, true);
        } else {
            if (m_device->hasGainMode(SOAPY_SDR_RX, 0))
                m_device->setGainMode(SOAPY_SDR_RX, 0, false);
            m_device->setGain(SOAPY_SDR_RX, 0, options.gainDb);
        }
        if (const std::string problem = CheckIqTuning(tuning); !problem.empty())
            return refuse(QString::fromStdString(problem));
        m_stream = m_device->setupStream(SOAPY_SDR_RX, SOAPY_SDR_CS16);
        if (!m_stream)
            return refuse(QStringLiteral("受信ストリームを開けません"));
        if (const int rc = m_device->activateStream(m_stream); rc != 0)
            return refuse(QString::fromLatin1(SoapySDR_errToStr(rc)));
    } catch (const std::exception& e) {
        return refuse(QString::fromLocal8Bit(e.what()));
    }

    const uint64_t generation = m_generation;
    m_channelizer = std::make_unique<IqChannelizer>(tuning, [this, generation](const ChannelBlock& block) {
        if (generation != m_generation)
            return;
        ++m_delivered;
        m_deliver(block);
    });
    m_buffer.assign(kReadElements * 2, 0);
    m_lastDataMs = QDateTime::currentMSecsSinceEpoch();
    m_timer.start();
    return true;
}

void SdrCaptureSource::close()
{
    ++m_generation;
    m_timer.stop();
    if (m_device) {
        try {
            if (m_stream) {
                m_device->deactivateStream(m_stream);
                m_device->closeStream(m_stream);
            }
        } catch (const std::exception&) {
            // The device is going away anyway.
        }
        try {
            SoapySDR::Device::unmake(m_device);
        } catch (const std::exception&) {
        }
    }
    m_stream = nullptr;
    m_device = nullptr;
    // Not destroyed here: close() may run inside a block the channelizer hands on.
    if (m_channelizer)
        m_retired.push_back(std::move(m_channelizer));
}

void SdrCaptureSource::fail(const QString& reason)
{
    const QString message =
        QStringLiteral("SDR受信機からのデータが止まりました\n%1\n%2").arg(deviceText(m_options.deviceArgs), reason);
    close();
    if (m_lost)
        m_lost(message);
}

void SdrCaptureSource::onTick()
{
    m_retired.clear(); // never inside one of their deliveries: ticks come from the event loop
    const uint64_t generation = m_generation;
    for (int i = 0; i < kReadsPerTick && generation == m_generation && m_stream; ++i) {
        void* buffers[] = {m_buffer.data()};
        int flags = 0;
        long long timeNs = 0;
        int got = 0;
        try {
            got = m_device->readStream(m_stream, buffers, kReadElements, flags, timeNs, 0);
        } catch (const std::exception& e) {
            fail(QString::fromLocal8Bit(e.what()));
            return;
        }
        if (got == SOAPY_SDR_TIMEOUT)
            break;
        if (got == SOAPY_SDR_OVERFLOW) {
            ++m_overflows; // samples were lost in the device's buffers; read on
            continue;
        }
        if (got < 0) {
            fail(QString::fromLatin1(SoapySDR_errToStr(got)));
            return;
        }
        if (got == 0)
            break;
        m_lastDataMs = QDateTime::currentMSecsSinceEpoch();
        const auto* bytes = reinterpret_cast<const std::byte*>(m_buffer.data());
        m_channelizer->push(IqFormat::Cs16, std::span<const std::byte>(bytes, size_t(got) * 2 * sizeof(int16_t)));
    }
    if (generation == m_generation && m_stream && QDateTime::currentMSecsSinceEpoch() - m_lastDataMs > m_silenceLimitMs)
        fail(QStringLiteral("受信機から%1秒以上データが届きません").arg(m_silenceLimitMs / 1000.0));
}

} // namespace varnesk
