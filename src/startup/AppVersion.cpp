#include "startup/AppVersion.h"

#include "platform/Seams.h"
#include "startup/ErrorReports.h"

namespace bf {

QString GetVersionString()
{
    QString text;
    trapProcedure(QStringLiteral("GetVersionString"), [&] {
        const platform::AppInfoSeam& app = platform::app();
        text = QString::number(app.major()) + '.' + QString::number(app.minor()) + '.' +
               QString::number(app.revision());
    });
    return text;
}

} // namespace bf
