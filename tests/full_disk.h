// A folder whose file system fills up on demand. Where the test may mount
// (root, not in a locked-down container) the folder becomes a small tmpfs
// that is filled to the last page; otherwise the process's file-size limit
// (RLIMIT_FSIZE) makes every write past a chosen byte fail, as a full disk
// does. Both reach the program through the same failing write() calls.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <csignal>
#include <string>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

namespace varnesk::test {

class FullDisk {
public:
    // sizeBytes: the tmpfs size; limitBytes: the file-size limit of the
    // fallback (no file may grow past it while full).
    explicit FullDisk(const QString& folder, const char* size = "size=2m", rlim_t limitBytes = 0)
        : m_folder(folder), m_limit(limitBytes)
    {
        const QByteArray path = QFile::encodeName(folder);
        m_mounted = ::mount("tmpfs", path.constData(), "tmpfs", 0, size) == 0;
    }
    ~FullDisk()
    {
        free();
        if (m_mounted)
            ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }
    const char* how() const { return m_mounted ? "tmpfs filled to the last page" : "file-size limit"; }

    void fill()
    {
        if (m_mounted) {
            const QByteArray filler = QFile::encodeName(m_folder + QStringLiteral("/filler"));
            const int fd = ::open(filler.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const std::string chunk(65536, 'f');
            while (fd >= 0 && ::write(fd, chunk.data(), chunk.size()) > 0) { }
            while (fd >= 0 && ::write(fd, "f", 1) > 0) { }
            if (fd >= 0)
                ::close(fd);
        } else {
            std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails with EFBIG
            getrlimit(RLIMIT_FSIZE, &m_saved);
            rlimit limit = m_saved;
            limit.rlim_cur = m_limit;
            setrlimit(RLIMIT_FSIZE, &limit);
            m_limited = true;
        }
    }
    void free()
    {
        if (m_mounted)
            QFile::remove(m_folder + QStringLiteral("/filler"));
        if (m_limited) {
            setrlimit(RLIMIT_FSIZE, &m_saved);
            m_limited = false;
        }
    }

private:
    QString m_folder;
    rlim_t m_limit;
    bool m_mounted = false;
    bool m_limited = false;
    rlimit m_saved{};
};

} // namespace varnesk::test
