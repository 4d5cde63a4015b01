// SO_KEEPALIVE through Qt, the three timings through setsockopt (Qt has no
// option for them).
#include "net/keep_alive.h"

#include <QAbstractSocket>
#include <QVariant>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace varnesk {

bool enableKeepAlive(QAbstractSocket& socket)
{
    socket.setSocketOption(QAbstractSocket::KeepAliveOption, QVariant(1));
    const qintptr fd = socket.socketDescriptor();
    if (fd < 0)
        return false;
    const int idle = kKeepAliveIdleSeconds;
    const int interval = kKeepAliveIntervalSeconds;
    const int probes = kKeepAliveProbes;
    const int on = 1;
    const int handle = static_cast<int>(fd);
    return setsockopt(handle, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) == 0
           && setsockopt(handle, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle) == 0
           && setsockopt(handle, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval) == 0
           && setsockopt(handle, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes) == 0;
}

} // namespace varnesk
