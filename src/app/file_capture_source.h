// The [Wave] Source input: a WAV file or an IQ recording played at real-time
// pace, or a named pipe carrying raw 22050 Hz stereo signed 16-bit
// little-endian samples, handed on as CaptureBlocks of 512 frames in order on
// the owning thread.
#pragma once

#include "app/block_assembler.h"
#include "receiver/audio_format.h"

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QSocketNotifier;

namespace varnesk {

class SettingsStore;

// Yields a file's audio as blocks of 22050 Hz 16-bit channels (two from a WAV
// file, one per frequency from an IQ recording).
class BlockReader {
public:
    virtual ~BlockReader() = default;
    // Fills the next block; false at the end of the data.
    virtual bool next(ChannelBlock& out) = 0;
};

// Opens a WAV file as a BlockReader; on failure returns null and sets error
// to a text the user can act on.
using BlockReaderFactory = std::function<std::unique_ptr<BlockReader>(const std::string& path, QString& error)>;

// The program's factory: an IQ recording by its extension (.cu8, .cs8, .cs16,
// .cf32, .raw, .iq, .bin) through the IQ reader with the [Sdr] settings, any
// other file as WAV.
std::unique_ptr<BlockReader> openCaptureFile(const std::string& path, const SettingsStore& settings, QString& error);

class FileCaptureSource {
public:
    using Deliver = std::function<void(const ChannelBlock&)>;

    FileCaptureSource(Deliver deliver, BlockReaderFactory openFile);
    ~FileCaptureSource();
    FileCaptureSource(const FileCaptureSource&) = delete;
    FileCaptureSource& operator=(const FileCaptureSource&) = delete;

    // Opens the file or pipe and starts delivering. On failure returns false
    // and sets message to the text of the box the user sees.
    bool open(const std::string& path, QString& message);
    void close();

    bool isOpen() const { return m_reader || m_pipeFd >= 0; }
    bool isPipe() const { return m_pipeFd >= 0; }
    bool atEnd() const { return m_atEnd; }
    uint64_t blocksDelivered() const { return m_delivered; }

private:
    void onTick();
    void onPipeReadable();

    static constexpr int kTickMs = 10;
    // After a stall (a modal dialog, a suspended machine) at most this many
    // blocks are caught up at once; a longer gap moves the clock on instead.
    static constexpr int kMaxCatchUpBlocks = 32;

    Deliver m_deliver;
    BlockReaderFactory m_openFile;

    std::unique_ptr<BlockReader> m_reader;
    ChannelBlock m_block{};
    QTimer m_timer;
    QElapsedTimer m_clock;
    uint64_t m_clockBase = 0; // blocks delivered when m_clock was started

    int m_pipeFd = -1;
    int m_pipeKeepOpenFd = -1;
    std::string m_pipePath;
    std::unique_ptr<QSocketNotifier> m_notifier;
    BlockAssembler m_assembler;

    struct DeliveringScope {
        explicit DeliveringScope(bool& flag) : m_flag(flag) { m_flag = true; }
        ~DeliveringScope() { m_flag = false; }
        bool& m_flag;
    };
    bool m_delivering = false;

    uint64_t m_delivered = 0;
    uint64_t m_generation = 0; // changes on close, so a delivery can tell it was closed under it
    bool m_atEnd = false;
};

} // namespace varnesk
