#pragma once
// The task list as the core sees it: rows of (source workbook path, worksheet name), 1-based,
// never sorted. The main window implements it with its list widget; the command-line tool and
// tests with plain data (InMemoryTaskRows).
#include "book/Sheets.h"

#include <QString>

namespace bf::tasklist {

// What the listing learnt of a row's worksheet: its position among its workbook's worksheets
// (from 1; 0 when not known) and whether the workbook hides it.
struct SheetFacts {
    int position = 0;
    book::Visibility visibility = book::Visibility::Visible;
};

class TaskRows {
public:
    virtual ~TaskRows() = default;
    virtual int rowCount() const = 0;
    // Row text (column "Source File Name") and first sub-item (column "WorkSheet Name") of a
    // 1-based row; error 9 for a row outside the list.
    virtual QString sourceFileName(int row) const = 0;
    virtual QString worksheetName(int row) const = 0;
    virtual void addRow(const QString& sourceFileName, const QString& worksheetName) = 0;
    // A row's sheet facts (a new row has the defaults); error 9 for a row outside the list.
    virtual SheetFacts sheetFacts(int row) const = 0;
    virtual void setSheetFacts(int row, const SheetFacts& facts) = 0;
    // Error 9 for a row outside the list.
    virtual void removeRow(int row) = 0;
    virtual void clearRows() = 0;
    // The current (focused) row, 0 when there is none.
    virtual int currentRow() const = 0;
    // Marks the row selected and current and scrolls it into view; error 9 outside the list.
    virtual void selectRow(int row) = 0;

    // Column widths in twips, and the width of a text in the list's font in twips, for
    // AdjustColumnWidth. Columns are 1-based.
    virtual double columnWidthTwips(int column) const = 0;
    virtual void setColumnWidthTwips(int column, double twips) = 0;
    virtual double textWidthTwips(const QString& text) const = 0;

    // The window's pointer: hourglass while busy, default otherwise.
    virtual void setBusyPointer(bool busy) = 0;
};

} // namespace bf::tasklist
