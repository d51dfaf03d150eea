#include "tasklist/InMemoryTaskRows.h"

#include "core/Error.h"

namespace bf::tasklist {

void InMemoryTaskRows::requireRow(int row) const
{
    if (row < 1 || row > rowCount())
        throw Error(err::SubscriptOutOfRange,
                    QStringLiteral("the task list has no row %1 (it has %2)").arg(row).arg(rowCount()));
}

int InMemoryTaskRows::rowCount() const { return static_cast<int>(rows_.size()); }

QString InMemoryTaskRows::sourceFileName(int row) const
{
    requireRow(row);
    return rows_[static_cast<std::size_t>(row - 1)].first;
}

QString InMemoryTaskRows::worksheetName(int row) const
{
    requireRow(row);
    return rows_[static_cast<std::size_t>(row - 1)].second;
}

void InMemoryTaskRows::addRow(const QString& sourceFileName, const QString& worksheetName)
{
    rows_.emplace_back(sourceFileName, worksheetName);
    facts_.emplace_back();
}

SheetFacts InMemoryTaskRows::sheetFacts(int row) const
{
    requireRow(row);
    return facts_[static_cast<std::size_t>(row - 1)];
}

void InMemoryTaskRows::setSheetFacts(int row, const SheetFacts& facts)
{
    requireRow(row);
    facts_[static_cast<std::size_t>(row - 1)] = facts;
}

void InMemoryTaskRows::removeRow(int row)
{
    requireRow(row);
    rows_.erase(rows_.begin() + (row - 1));
    facts_.erase(facts_.begin() + (row - 1));
    // As in a list control: the selection goes with its row, and when the current row goes, the
    // row that takes its place (or the new last row) becomes current.
    if (selected_ == row)
        selected_ = 0;
    else if (selected_ > row)
        --selected_;
    if (current_ > row)
        --current_;
    if (current_ > rowCount())
        current_ = rowCount();
}

void InMemoryTaskRows::clearRows()
{
    rows_.clear();
    facts_.clear();
    current_ = 0;
    selected_ = 0;
}

int InMemoryTaskRows::currentRow() const { return current_; }

void InMemoryTaskRows::selectRow(int row)
{
    requireRow(row);
    current_ = row;
    selected_ = row;
    selections_.push_back(row);
}

void InMemoryTaskRows::setCurrentRow(int row)
{
    if (row != 0)
        requireRow(row);
    current_ = row;
}

double InMemoryTaskRows::columnWidthTwips(int column) const
{
    if (column < 1 || column > 2)
        raise(err::SubscriptOutOfRange);
    return columnWidths_[column - 1];
}

void InMemoryTaskRows::setColumnWidthTwips(int column, double twips)
{
    if (column < 1 || column > 2)
        raise(err::SubscriptOutOfRange);
    columnWidths_[column - 1] = twips;
}

double InMemoryTaskRows::textWidthTwips(const QString& text) const
{
    return twipsPerChar * static_cast<double>(text.size());
}

} // namespace bf::tasklist
