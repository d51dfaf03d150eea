#pragma once
// The task list's work, free of widgets: listing a workbook into rows, sizing the columns,
// adding files and folders, removing and clearing rows, and the exit question. The main
// window's handlers call these and trap whatever escapes.
#include "startup/AppContext.h"
#include "tasklist/TaskRows.h"

#include <QString>
#include <QStringList>
#include <cstdint>

namespace bf::tasklist {

// Whole number nearest to value, an exact half going to the even neighbour (the conversion
// the column sizing relies on). Error 6 outside the 32-bit range.
std::int32_t RoundHalfEven(double value);

// Widens column (1 or 2) to the measured width of text + 200 twips; never narrows it.
// Reports its own failures ("AdjustColumnWidth").
void AdjustColumnWidth(const platform::Seams& seams, TaskRows& rows, std::int16_t column, const QString& text);

// Appends one row per worksheet of the workbook at WorkbookPath unless a row already holds that
// path (letter case counts, as in file names). Shows the hourglass while it works and reports every failure
// itself (the file error report), so callers simply go on.
void UpdateListView(const AppContext& context, TaskRows& rows, const QString& WorkbookPath);

// The add-file check: the last three characters, upper-cased, are "XLS", or the name ends in
// ".xlsx" or ".xlsm" in any letter case.
bool HasWorkbookEnding(const QString& fileName);

// The names of the ordinary, visible files directly in folder (which ends in a separator) whose
// names end in ".xls", ".xlsx" or ".xlsm" in any letter case, in the order the file system lists them. Throws
// bf::Error when the folder cannot be listed.
QStringList ListFolderWorkbooks(const QString& folder);

// The Add File command: the file dialog, the ending check, UpdateListView. Failures of the
// dialog propagate to the caller.
void AddFile(const AppContext& context, TaskRows& rows);

// The Add Folder command, with its folder error report for failures of the chooser, the
// separator routine and the listing.
void AddFolder(const AppContext& context, TaskRows& rows);

// Adds paths dropped from a file manager: each folder as Add Folder lists it, each file as Add
// File checks it.
void AddDropped(const AppContext& context, TaskRows& rows, const QStringList& paths);

// Removes the current row and shows the next current row selected. Nothing on an empty list;
// error 91 when rows exist but none is current.
void RemoveItem(TaskRows& rows);

// Asks before emptying a non-empty list; column widths stay.
void ClearList(const platform::Seams& seams, TaskRows& rows);

// The exit question: true when the window may close (empty list, or the user said Yes).
bool ConfirmExit(const platform::Seams& seams, const TaskRows& rows);

} // namespace bf::tasklist
