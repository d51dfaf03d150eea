#include "core/Paths.h"

#include <QDir>

namespace bf {

QString AppendBackslash(const QString& Path)
{
    const QChar separator = QDir::separator();
    if (!Path.isEmpty() && Path.back() == separator)
        return Path;
    return Path + separator;
}

} // namespace bf
