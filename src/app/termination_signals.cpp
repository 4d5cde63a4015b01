// The self-pipe for SIGINT and SIGTERM: async-signal-safe handler, main-thread callback.
#include "app/termination_signals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace varnesk {
namespace {

int g_writeFd = -1; // written by the signal handler only

void onSignalRaised(int signalNumber)
{
    const int savedErrno = errno;
    const char byte = static_cast<char>(signalNumber);
    if (g_writeFd >= 0) {
        // A full socket buffer means many signals are already pending: one is enough.
        [[maybe_unused]] const ssize_t n = ::write(g_writeFd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

bool TerminationSignals::install(std::function<void(int signalNumber)> onSignal)
{
    static std::function<void(int)> callback;
    static QSocketNotifier* notifier = nullptr;
    callback = std::move(onSignal);
    if (notifier)
        return true;

    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return false;
    ::fcntl(fds[0], F_SETFL, ::fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    ::fcntl(fds[1], F_SETFL, ::fcntl(fds[1], F_GETFL) | O_NONBLOCK);
    g_writeFd = fds[1];
    const int readFd = fds[0];

    // Lives as long as the process; the event loop of the creating thread serves it.
    notifier = new QSocketNotifier(readFd, QSocketNotifier::Read);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [readFd] {
        char bytes[16];
        const ssize_t n = ::read(readFd, bytes, sizeof bytes);
        for (ssize_t i = 0; i < n; ++i)
            if (callback)
                callback(static_cast<unsigned char>(bytes[i]));
    });

    struct sigaction action { };
    action.sa_handler = onSignalRaised;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0 && ::sigaction(SIGTERM, &action, nullptr) == 0;
}

} // namespace varnesk
