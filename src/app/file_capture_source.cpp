// File pacing by the wall clock (22050 frames per second, 512 frames per block)
// and non-blocking pipe reading with a socket notifier.
#include "app/file_capture_source.h"

#include "receiver/audio_file_reader.h"
#include "receiver/iq_file_reader.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varnesk {

namespace {

// The receiver's WAV or IQ reader as the file source's block reader.
class IqBlocks : public BlockReader {
public:
    explicit IqBlocks(std::unique_ptr<IqFileReader> source) : m_source(std::move(source)) { }
    bool next(ChannelBlock& out) override { return m_source->read(out); }

private:
    std::unique_ptr<IqFileReader> m_source;
};

class WavBlocks : public BlockReader {
public:
    explicit WavBlocks(std::unique_ptr<AudioFileReader> source) : m_source(std::move(source)) { }
    bool next(ChannelBlock& out) override
    {
        if (!m_source->read(m_stereo))
            return false;
        out = ChannelBlock::fromStereo(m_stereo);
        return true;
    }

private:
    std::unique_ptr<AudioFileReader> m_source;
    CaptureBlock m_stereo{};
};

} // namespace

std::unique_ptr<BlockReader> openCaptureFile(const std::string& path, const SettingsStore& settings, QString& error)
{
    std::string reason;
    std::unique_ptr<BlockReader> blocks;
    if (isIqFileName(path)) {
        if (auto iq = IqFileReader::open(path, iqFileSettings(settings), reason))
            blocks = std::make_unique<IqBlocks>(std::move(iq));
    } else if (path != "-") { // "-" would mean standard input to the reader; for the program it is a file name
        if (auto wav = AudioFileReader::open(path, reason))
            blocks = std::make_unique<WavBlocks>(std::move(wav));
    }
    if (!blocks)
        error = QString::fromStdString(reason);
    return blocks;
}

FileCaptureSource::FileCaptureSource(Deliver deliver, BlockReaderFactory openFile)
    : m_deliver(std::move(deliver)), m_openFile(std::move(openFile))
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kTickMs);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { onTick(); });
}

FileCaptureSource::~FileCaptureSource()
{
    m_notifier.reset();
    close();
}

bool FileCaptureSource::open(const std::string& path, QString& message)
{
    close();
    m_atEnd = false;
    const QString shown = QFile::decodeName(QByteArray::fromStdString(path));
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0) {
        message =
            QStringLiteral("音声ソースを開けません\n%1\n%2").arg(shown, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (S_ISFIFO(st.st_mode)) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            message = QStringLiteral("音声ソースのパイプを開けません\n%1\n%2")
                          .arg(shown, QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        // Holding a writer of our own keeps the pipe from reading as ended
        // when the feeding program stops; the next one can simply start writing.
        m_pipeKeepOpenFd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        m_pipeFd = fd;
        m_pipePath = path;
        m_assembler.reset();
        m_notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { onPipeReadable(); });
        return true;
    }
    if (!S_ISREG(st.st_mode)) {
        // A terminal, socket or device would block the program on its first read.
        message = QStringLiteral("音声ソースはWAVファイルか名前付きパイプを指定してください\n%1").arg(shown);
        return false;
    }
    QString error;
    m_reader = m_openFile ? m_openFile(path, error) : nullptr;
    if (!m_reader) {
        message = QStringLiteral("音声ファイルを読めません\n%1\n%2").arg(shown, error);
        return false;
    }
    m_clock.start();
    m_clockBase = m_delivered;
    m_timer.start();
    return true;
}

void FileCaptureSource::close()
{
    ++m_generation;
    m_timer.stop();
    m_reader.reset();
    if (m_notifier) {
        // close() may run inside the notifier's own signal (a block handler
        // that ends the program): it goes once that signal has returned.
        m_notifier->setEnabled(false);
        m_notifier.release()->deleteLater();
    }
    if (m_pipeFd >= 0)
        ::close(m_pipeFd);
    if (m_pipeKeepOpenFd >= 0)
        ::close(m_pipeKeepOpenFd);
    m_pipeFd = -1;
    m_pipeKeepOpenFd = -1;
    m_assembler.reset();
}

void FileCaptureSource::onTick()
{
    // A block handler that runs a nested event loop (a message box) would
    // bring the timer back here with its block unfinished: the next block
    // waits until it is done.
    if (!m_reader || m_delivering)
        return;
    const DeliveringScope delivering(m_delivering);
    // The block due now: the first one at once, then one per 512/22050 s.
    const uint64_t elapsedNs = static_cast<uint64_t>(m_clock.nsecsElapsed());
    const uint64_t due = m_clockBase + 1 + elapsedNs * kSampleRateHz / (1'000'000'000ull * kFramesPerBlock);
    int budget = kMaxCatchUpBlocks;
    const uint64_t generation = m_generation;
    while (m_delivered < due && budget-- > 0) {
        if (!m_reader->next(m_block)) {
            m_atEnd = true;
            close();
            return;
        }
        ++m_delivered;
        m_deliver(m_block);
        if (generation != m_generation)
            return; // closed while the block was being handled
    }
    if (m_delivered < due) {
        m_clock.start();
        m_clockBase = m_delivered;
    }
}

void FileCaptureSource::onPipeReadable()
{
    if (m_delivering)
        return; // the socket notifier fires again while data remains
    const DeliveringScope delivering(m_delivering);
    const uint64_t generation = m_generation;
    // Bounded per wake-up so that a fast writer cannot starve the event loop.
    for (int blocks = 0; blocks < kMaxCatchUpBlocks && m_pipeFd >= 0;) {
        std::span<char> space = m_assembler.space();
        const ssize_t n = ::read(m_pipeFd, space.data(), space.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0) {
            // Every writer has gone (only when our own writer could not be
            // opened): open the pipe afresh and wait for the next one.
            const std::string path = m_pipePath;
            QString ignored;
            close();
            open(path, ignored);
            return;
        }
        if (n < 0)
            return; // EAGAIN: wait for more
        m_assembler.commit(static_cast<size_t>(n));
        if (!m_assembler.full())
            continue;
        ++blocks;
        ++m_delivered;
        m_deliver(ChannelBlock::fromStereo(m_assembler.take()));
        if (generation != m_generation)
            return;
    }
}

} // namespace varnesk
