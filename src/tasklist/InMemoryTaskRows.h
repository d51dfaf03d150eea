#pragma once
// The task list as plain data, for the command-line tool and for tests that need no window.
#include "tasklist/TaskRows.h"

#include <QString>
#include <utility>
#include <vector>

namespace bf::tasklist {

class InMemoryTaskRows : public TaskRows {
public:
    int rowCount() const override;
    QString sourceFileName(int row) const override;
    QString worksheetName(int row) const override;
    void addRow(const QString& sourceFileName, const QString& worksheetName) override;
    SheetFacts sheetFacts(int row) const override;
    void setSheetFacts(int row, const SheetFacts& facts) override;
    void removeRow(int row) override;
    void clearRows() override;
    int currentRow() const override;
    void selectRow(int row) override;

    double columnWidthTwips(int column) const override;
    void setColumnWidthTwips(int column, double twips) override;
    // A fixed width per character: there is no font to measure with.
    double textWidthTwips(const QString& text) const override;

    void setBusyPointer(bool busy) override { busy_ = busy; }
    bool busy() const { return busy_; }

    // Moves the focus to a row without selecting it (as a click elsewhere would); 0 for none.
    void setCurrentRow(int row);
    // The row shown selected, 0 when none is.
    int selectedRow() const { return selected_; }
    // Every row selected so far, in order (what a list on screen would have shown).
    const std::vector<int>& selectionHistory() const { return selections_; }

    // The measured width of one character, for textWidthTwips.
    double twipsPerChar = 120.0;

private:
    void requireRow(int row) const;

    std::vector<std::pair<QString, QString>> rows_;
    std::vector<SheetFacts> facts_; // one per row
    std::vector<int> selections_;
    int current_ = 0;
    int selected_ = 0;
    double columnWidths_[2] = {4185.0, 2790.0};
    bool busy_ = false;
};

} // namespace bf::tasklist
