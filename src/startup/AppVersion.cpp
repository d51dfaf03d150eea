#include "startup/AppVersion.h"

#include "startup/ErrorReports.h"

namespace bf {

QString GetVersionString(const platform::Seams& seams)
{
    QString text;
    trapProcedure(seams, QStringLiteral("GetVersionString"), [&] {
        const platform::AppInfoSeam& app = seams.app();
        text = QString::number(app.major()) + '.' + QString::number(app.minor()) + '.' +
               QString::number(app.revision());
    });
    return text;
}

} // namespace bf
