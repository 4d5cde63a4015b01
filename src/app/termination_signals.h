// SIGINT and SIGTERM turned into a call on the main thread: the signal handler
// only writes the signal number into a socket pair; a QSocketNotifier on the
// other end runs the callback inside the event loop.
#pragma once

#include <functional>

namespace varnesk {

class TerminationSignals {
public:
    // Installs the handlers once per process; the callback runs on the thread
    // that owns the event loop, once per signal received. False if the socket
    // pair or the handlers cannot be set up.
    static bool install(std::function<void(int signalNumber)> onSignal);
};

} // namespace varnesk
