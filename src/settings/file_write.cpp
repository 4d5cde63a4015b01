// POSIX calls throughout: QSaveFile's commit() cannot tell a flush that ran
// out of space from one that did not, and QFile cannot cut a file back.
#include "settings/file_write.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varnesk {

namespace {

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

WriteResult failed(int error)
{
    return WriteResult{false, errnoText(error)};
}

// Writes every byte, going on after a partial write or an interrupted call.
bool writeAll(int fd, std::string_view bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

void syncFolder(const QByteArray& folder)
{
    const int dirFd = ::open(folder.isEmpty() ? "." : folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

} // namespace

WriteResult replaceFile(const QString& path, std::string_view bytes, bool ownerOnly)
{
    const QByteArray target = QFile::encodeName(path);
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    mode_t mode = 0644;
    struct stat old { };
    if (::stat(target.constData(), &old) == 0)
        mode = old.st_mode & 07777;
    if (ownerOnly)
        mode &= ~static_cast<mode_t>(077);

    std::string temp = target.toStdString() + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return failed(errno);
    int error = 0;
    if (::fchmod(fd, mode) != 0 || !writeAll(fd, bytes) || ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temp.c_str(), target.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        return failed(error);
    }
    syncFolder(folder);
    return {};
}

WriteResult appendWhole(const QString& path, std::string_view bytes)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return failed(errno);
    struct stat before { };
    int error = 0;
    if (::fstat(fd, &before) != 0) {
        error = errno;
    } else if (!writeAll(fd, bytes)) {
        error = errno;
        // Half an entry would stand in the middle of the file once the next
        // one fits: the file goes back to where it ended.
        if (::ftruncate(fd, before.st_size) != 0)
            error = errno;
    }
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error != 0 ? failed(error) : WriteResult{};
}

QString stampedLogName(const QString& path, const QDateTime& lastWrite)
{
    const QFileInfo info(path);
    const QString stamp = lastWrite.toString(QStringLiteral("yyyyMMddHHmm"));
    const QString suffix = info.suffix();
    const QString base = suffix.isEmpty() ? path : path.left(path.size() - suffix.size() - 1);
    return base + QLatin1Char('_') + stamp + (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
}

WriteResult keepPreviousLog(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() || info.size() == 0)
        return {};
    const QString stamped = stampedLogName(path, info.lastModified());
    QString target = stamped;
    const QFileInfo stampedInfo(stamped);
    const QString suffix = stampedInfo.suffix();
    const QString base = suffix.isEmpty() ? stamped : stamped.left(stamped.size() - suffix.size() - 1);
    for (int n = 2; QFileInfo::exists(target); ++n)
        target =
            base + QLatin1Char('-') + QString::number(n) + (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(target).constData()) != 0)
        return failed(errno);
    return {};
}

} // namespace varnesk
