#include "platform/qt/HandedPaths.h"

#include <QFile>
#include <QtEndian>

namespace bf::platform::qt {

namespace {
constexpr qsizetype kCountBytes = 4;
}

QByteArray encodeHandedPaths(const QStringList& paths)
{
    QByteArray body;
    for (const QString& path : paths) {
        body += QFile::encodeName(path);
        body += '\0';
        if (body.size() > kMaxHandedPathBytes)
            return {};
    }
    QByteArray message(kCountBytes, '\0');
    qToBigEndian(static_cast<quint32>(body.size()), message.data());
    return message + body;
}

HandedPaths decodeHandedPaths(const QByteArray& received)
{
    using State = HandedPaths::State;
    if (received.size() < kCountBytes)
        return {State::Incomplete, {}};
    const quint32 count = qFromBigEndian<quint32>(received.constData());
    if (count > static_cast<quint32>(kMaxHandedPathBytes))
        return {State::Refused, {}};
    const qsizetype end = kCountBytes + static_cast<qsizetype>(count);
    if (received.size() < end)
        return {State::Incomplete, {}};
    if (received.size() > end || (count > 0 && received[end - 1] != '\0'))
        return {State::Refused, {}};
    HandedPaths handed{State::Complete, {}};
    const QByteArray body = received.mid(kCountBytes, count);
    for (const QByteArray& name : body.split('\0'))
        if (!name.isEmpty())
            handed.paths << QFile::decodeName(name);
    return handed;
}

} // namespace bf::platform::qt
