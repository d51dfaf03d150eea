#pragma once
// The steps of a split run, shared by the run row after row (SplitRun.h) and the run in jobs
// (SplitJobs.h), so both name and write every file alike.
#include "book/ValuesDrops.h"
#include "split/SplitNaming.h"
#include "split/SplitOptions.h"
#include "split/SplitView.h"
#include "startup/AppContext.h"
#include "tasklist/TaskRows.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <exception>
#include <functional>
#include <vector>

namespace bf::split::steps {

struct RunFolder {
    QString path; // "" when the run ended before it had one (a message was shown)
    QString stamp;
    WorkbookFolders folders;
    QSet<QString> macrosNoted; // the .xlsm workbooks the view has been told about
    std::vector<bool> leftOut;  // per row: a hidden sheet the options leave out
    QStringList names;          // per row: the output file's name without its extension
    book::ValuesDrops dropped;  // with values: what the outputs left out, summed
};

// One row's worksheet and where it goes, read from the task list beforehand.
struct RowTarget {
    QString workbookPath;
    QString sheetName;
    QString outputName; // without its extension
};

// The folder name of a workbook (its full name, its short name) in the run folder.
using FolderNamer = std::function<QString(const QString& workbookPath, const QString& shortName)>;
// Told of an .xlsm workbook the first time one of its worksheets is written.
using MacrosNoter = std::function<void(const QString& workbookPath)>;

// The row count as the run holds it: a 16-bit signed number.
std::int16_t rowCountOf(const tasklist::TaskRows& rows);

// The caption, the checks, the time stamp and the run folder, created under a free name.
RunFolder prepareRun(const AppContext& context, tasklist::TaskRows& rows, SplitView& view, const SplitOptions& options);

// Writes one worksheet into its workbook's folder under runPath. Consecutive rows of one workbook
// keep it open; the comparison of paths counts letter case. Returns what the copy left out.
book::ValuesDrops splitRow(const AppContext& context, const RowTarget& row, const QString& runPath, const FolderNamer& folderFor,
              QSet<QString>& macrosNoted, const MacrosNoter& noteMacros, bool byDefault);

// The stored choice for formulas that read other sheets ("1": their values, "0" or no key:
// links), handed to the application before anything is written. Without a store the
// application keeps what it was given (the command line's --values).
void applyLinkChoice(const AppContext& context);

// A failed row of a run that goes on, as the closing list names it.
QString failureLine(tasklist::TaskRows& rows, int i, const std::exception_ptr& failure);

// The end of a completed run, once the workbooks are closed: the window idle, the run folder
// shown. A run that went on after failures lists them instead of saying it is complete.
void finishRun(const AppContext& context, tasklist::TaskRows& rows, SplitView& view, const QString& outputFolder,
               const QStringList& failures, qsizetype leftOut, const book::ValuesDrops& dropped);

// The rows of a prepared run written in some order; returns the failures of a run that goes on
// (one line each, failureLine), throws the failure that ends the run.
using RowLoop = std::function<QStringList(RunFolder& run, bool byDefault)>;

// RunSplit with its rows written by rowLoop: the preparation before, the end or the report after.
QString runSplitWith(const AppContext& context, tasklist::TaskRows& rows, SplitView& view, const QString& procName,
                     const SplitOptions* options, const RowLoop& rowLoop);

} // namespace bf::split::steps
