#pragma once
// What a second start sends to the running instance: the byte count of the rest as 4 bytes, most
// significant first, then each path in the file system's encoding followed by a NUL (a byte no
// path holds).
#include <QByteArray>
#include <QStringList>

namespace bf::platform::qt {

// Far above any command line (the system's own limit on one is a few megabytes).
constexpr qsizetype kMaxHandedPathBytes = 16 * 1024 * 1024;

// The message for paths; empty when they are more than kMaxHandedPathBytes.
QByteArray encodeHandedPaths(const QStringList& paths);

struct HandedPaths {
    enum class State { Incomplete, Complete, Refused };
    State state = State::Incomplete;
    QStringList paths; // when Complete; an empty path is left out
};

// Reads what has been received so far: Incomplete until the whole message is there; Refused for
// a count over kMaxHandedPathBytes, a last path without its NUL or bytes beyond the message.
HandedPaths decodeHandedPaths(const QByteArray& received);

} // namespace bf::platform::qt
