#include "split/SplitNaming.h"

#include "core/Error.h"
#include "core/Paths.h"
#include "startup/ErrorReports.h"

namespace bf::split {

QString timeStampOf(const QDateTime& moment)
{
    // Date and time come from the one reading, so a run started at midnight cannot mix days.
    const QDate d = moment.date();
    const QTime t = moment.time();
    if (!d.isValid() || !t.isValid())
        throw Error(err::InvalidProcedureCall, QStringLiteral("the clock gave no valid date and time"));
    return QString::number(d.year()) + QString::number(d.month()) + QString::number(d.day()) +
           QString::number(t.hour()) + QString::number(t.minute()) + QString::number(t.second());
}

QString GetNowString(const AppContext& context)
{
    QString stamp;
    trapProcedure(context.seams, QStringLiteral("GetNowString"), [&] { stamp = timeStampOf(context.now()); });
    return stamp;
}

QString PrepareOutputFolder(const platform::Seams& seams, const QString& OutputFolder, const QString& strTime)
{
    QString runFolder;
    trapProcedure(seams, QStringLiteral("PrepareOutputFolder"),
                  [&] { runFolder = AppendBackslash(AppendBackslash(OutputFolder) + strTime); });
    return runFolder;
}

QString GetWorkbookShortName(const platform::Seams& seams, const QString& inputName)
{
    QString shortName;
    trapProcedure(seams, QStringLiteral("GetWorkbookShortName"), [&] {
        const qsizetype keep = inputName.size() - (HasOpenXmlEnding(inputName) ? 5 : 4);
        if (keep < 0)
            throw Error(err::InvalidProcedureCall,
                        QStringLiteral("the workbook name \"%1\" has fewer than four characters to drop")
                            .arg(inputName));
        shortName = inputName.left(keep);
    });
    return shortName;
}

QString WorkbookFolders::nameFor(const QString& workbookPath, const QString& shortName)
{
    const auto known = byWorkbook_.constFind(workbookPath);
    if (known != byWorkbook_.constEnd())
        return *known;
    QString name = shortName;
    for (int n = 2; taken_.contains(name); ++n)
        name = QStringLiteral("%1 (%2)").arg(shortName).arg(n);
    taken_.insert(name);
    byWorkbook_.insert(workbookPath, name);
    return name;
}

} // namespace bf::split
