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

bool HasOpenXmlEnding(const QString& fileName)
{
    return fileName.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive) ||
           fileName.endsWith(QLatin1String(".xlsm"), Qt::CaseInsensitive);
}

} // namespace bf
