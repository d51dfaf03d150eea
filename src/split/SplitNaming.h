#pragma once
// The names a split run writes: the time stamp, the run folder and a workbook's short name.
// Each routine reports its own failure under its own name and then returns an empty text.
#include "startup/AppContext.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>

namespace bf::split {

// The current local date and time as year, month, day, hour, minute and second, each in plain
// decimal without leading zeros, joined with nothing between: 23 July 2008 09:05:07 gives
// "2008723957". Different moments can give the same text (2008111123). The moment is read from
// the context's clock.
QString GetNowString(const AppContext& context);

// The run folder: OutputFolder with one trailing separator, the time stamp, a separator.
QString PrepareOutputFolder(const platform::Seams& seams, const QString& OutputFolder, const QString& strTime);

// inputName less its last four characters ("Sales.xls" -> "Sales"), or less its whole ".xlsx" or
// ".xlsm" ("Report.xlsx" -> "Report"); a name of fewer than four characters cannot be shortened.
QString GetWorkbookShortName(const platform::Seams& seams, const QString& inputName);

// The time stamp of one moment, without the report (GetNowString's arithmetic).
QString timeStampOf(const QDateTime& moment);

// One folder per source workbook in a run folder: its short name, and for the next workbook of
// the same short name "name (2)", then "name (3)", and so on. A workbook keeps its folder for the
// whole run, also when its rows are not adjacent.
class WorkbookFolders {
public:
    QString nameFor(const QString& workbookPath, const QString& shortName);

private:
    QHash<QString, QString> byWorkbook_;
    QSet<QString> taken_;
};

} // namespace bf::split
