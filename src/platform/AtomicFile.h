#pragma once
// Replaces a file as a whole: the bytes go to a temporary file in the same folder, which is
// renamed over the target only when everything was written, so a failure leaves the old file
// as it was and no half-written file behind. The target's permission bits are kept.
#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace bf::platform {
// A stand-in for a failing disk, for tests: the write fails once this many bytes were written.
struct WriteFault {
    qint64 afterBytes = -1; // negative: no fault
    bool cuts(qint64 size) const { return afterBytes >= 0 && afterBytes < size; }
};

// False with a reason in *error on any failure.
bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error, WriteFault fault = {});

// Writes a file that must not exist yet, without waiting for the disk: for a temporary file that
// is linked into place under its real name once it is complete. A failure removes it again.
bool writeFreshFile(const QString& path, const QByteArray& data, QString* error, WriteFault fault = {});
} // namespace bf::platform
