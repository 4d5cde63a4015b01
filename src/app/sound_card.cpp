// Capture and monitor output over QAudioSource and QAudioSink. Blocks are cut
// from the capture stream 2048 bytes at a time, so a block handler that opens
// a dialog (and with it a nested event loop) never sees blocks out of order.
#include "app/sound_card.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QAudioSource>
#include <QLoggingCategory>
#include <QMediaDevices>

namespace varnesk {

Q_LOGGING_CATEGORY(lcAudio, "varnesk.audio")

namespace {

// Why a stream would not start: the device refused it (or gave no reason),
// or there was no room for its buffer.
AudioOpenResult startFailure(QAudio::Error error)
{
    return error == QAudio::OpenError || error == QAudio::NoError ? AudioOpenResult::DeviceFailed
                                                                  : AudioOpenResult::BufferFailed;
}

} // namespace

QAudioFormat captureFormat()
{
    QAudioFormat format;
    format.setSampleRate(kSampleRateHz);
    format.setChannelCount(kCaptureChannels);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

QList<QAudioDevice> captureDevices()
{
    return QMediaDevices::audioInputs();
}

SoundCapture::SoundCapture(Deliver deliver) : m_deliver(std::move(deliver)) { }

SoundCapture::~SoundCapture()
{
    m_source.reset();
    close();
}

AudioOpenResult SoundCapture::open(int input)
{
    close();
    QAudioDevice device;
    if (input == 0) {
        device = QMediaDevices::defaultAudioInput();
    } else {
        const QList<QAudioDevice> devices = captureDevices();
        if (input >= 1 && input <= devices.size())
            device = devices.at(input - 1);
    }
    if (device.isNull())
        return AudioOpenResult::DeviceFailed;

    m_source = std::make_unique<QAudioSource>(device, captureFormat());
    m_source->setBufferSize(kCaptureRingBlocks * kCaptureBlockBytes);
    QIODevice* io = m_source->start();
    if (!io) {
        const QAudio::Error error = m_source->error();
        m_source.reset();
        return startFailure(error);
    }
    if (m_source->error() != QAudio::NoError) {
        m_source.reset();
        return AudioOpenResult::BufferFailed;
    }
    m_io = io;
    m_assembler.reset();
    QObject::connect(m_io, &QIODevice::readyRead, m_source.get(), [this] { drain(); });
    QObject::connect(m_source.get(), &QAudioSource::stateChanged, m_source.get(), [this](QAudio::State state) {
        if (state == QAudio::StoppedState && m_source && m_source->error() != QAudio::NoError)
            qCWarning(lcAudio) << "capture stopped with error" << m_source->error();
    });
    return AudioOpenResult::Ok;
}

void SoundCapture::close()
{
    ++m_generation;
    if (m_source) {
        m_source->stop();
        // close() may run inside the source's own readyRead (a block handler
        // that changes the device or ends the program): it goes afterwards.
        m_source.release()->deleteLater();
    }
    m_io = nullptr;
    m_assembler.reset();
}

void SoundCapture::drain()
{
    // A block handler that runs a nested event loop would bring us back here
    // with the outer block unfinished; the outer call reads on afterwards.
    if (m_draining)
        return;
    m_draining = true;
    const uint64_t generation = m_generation;
    while (m_io && generation == m_generation) {
        std::span<char> space = m_assembler.space();
        const qint64 n = m_io->read(space.data(), static_cast<qint64>(space.size()));
        if (n <= 0)
            break;
        m_assembler.commit(static_cast<size_t>(n));
        if (m_assembler.full())
            m_deliver(m_assembler.take());
    }
    m_draining = false;
}

MonitorOutput::MonitorOutput() = default;

MonitorOutput::~MonitorOutput()
{
    close();
}

AudioOpenResult MonitorOutput::open()
{
    close();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return AudioOpenResult::DeviceFailed;
    m_sink = std::make_unique<QAudioSink>(device, captureFormat());
    m_sink->setBufferSize(kCaptureRingBlocks * kCaptureBlockBytes);
    QIODevice* io = m_sink->start();
    if (!io) {
        const QAudio::Error error = m_sink->error();
        m_sink.reset();
        return startFailure(error);
    }
    m_io = io;
    m_played = 0;
    return AudioOpenResult::Ok;
}

void MonitorOutput::close()
{
    if (m_sink) {
        m_sink->reset();
        m_sink.reset();
    }
    m_io = nullptr;
}

void MonitorOutput::play(CaptureSamples block)
{
    if (!m_io)
        return;
    for (size_t i = 0; i < block.size(); ++i) {
        const auto v = static_cast<uint16_t>(block[i]);
        m_bytes[2 * i] = static_cast<char>(v & 0xFF);
        m_bytes[2 * i + 1] = static_cast<char>(v >> 8);
    }
    // Whole blocks only: a block that does not fit is dropped, never split.
    if (m_sink->bytesFree() >= static_cast<qsizetype>(m_bytes.size())
        && m_io->write(m_bytes.data(), static_cast<qint64>(m_bytes.size())) == static_cast<qint64>(m_bytes.size()))
        ++m_played;
}

} // namespace varnesk
