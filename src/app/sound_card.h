// The sound card through Qt Multimedia: capture at 22050 Hz, 2 channels,
// signed 16-bit, cut into CaptureBlocks of 2048 bytes handed on in order on
// the main thread; and the monitor output that plays blocks back.
#pragma once

#include "app/block_assembler.h"
#include "receiver/audio_format.h"

#include <QAudioFormat>
#include <QList>

#include <functional>
#include <memory>

class QAudioDevice;
class QAudioSink;
class QAudioSource;
class QIODevice;

namespace varnesk {

// The capture ring depth: the sound system keeps this many blocks buffered,
// about 0.74 s of slack before data would be lost.
inline constexpr int kCaptureRingBlocks = 32;

enum class AudioOpenResult { Ok, DeviceFailed, BufferFailed };

QAudioFormat captureFormat();
// The system's capture devices in its own order (the input dialog's rows 1 …).
QList<QAudioDevice> captureDevices();

class SoundCapture {
public:
    using Deliver = std::function<void(CaptureSamples)>;
    explicit SoundCapture(Deliver deliver);
    ~SoundCapture();

    // input: 0 the system's default input, n >= 1 capture device n - 1.
    AudioOpenResult open(int input);
    void close();
    bool isOpen() const { return m_io != nullptr; }

private:
    void drain();

    Deliver m_deliver;
    std::unique_ptr<QAudioSource> m_source;
    QIODevice* m_io = nullptr;
    BlockAssembler m_assembler;
    uint64_t m_generation = 0;
    bool m_draining = false;
};

class MonitorOutput {
public:
    MonitorOutput();
    ~MonitorOutput();

    // Opens the system's default output device in the capture format.
    AudioOpenResult open();
    void close();
    bool isOpen() const { return m_io != nullptr; }
    // Queues one block for playback; dropped when the output has no room.
    void play(CaptureSamples block);
    // Blocks handed to the output since it was opened.
    uint64_t blocksPlayed() const { return m_played; }

private:
    std::unique_ptr<QAudioSink> m_sink;
    QIODevice* m_io = nullptr;
    std::array<char, kCaptureBlockBytes> m_bytes{};
    uint64_t m_played = 0;
};

} // namespace varnesk
