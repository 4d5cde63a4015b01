// TCP keep-alive on a sharing connection, so that a peer that vanished
// without closing (power cut, radio link gone) is noticed: after 60 s of
// silence a probe every 10 s, and the connection is dropped after 6 probes
// go unanswered (about two minutes in all).
#pragma once

class QAbstractSocket;

namespace varnesk {

inline constexpr int kKeepAliveIdleSeconds = 60;
inline constexpr int kKeepAliveIntervalSeconds = 10;
inline constexpr int kKeepAliveProbes = 6;

// Sets the keep-alive options on a connected socket. False when the system
// refused one of them.
bool enableKeepAlive(QAbstractSocket& socket);

} // namespace varnesk
