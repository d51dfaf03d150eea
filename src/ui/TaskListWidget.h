#pragma once
// lvwTask, the task list on the main window: a report-style table with grid lines, whole-row
// selection, no editing and no sorting. Rows are reached through rows(), the core's view of the
// list; key, mouse and drop events are passed on as signals for the window's handlers.
#include "platform/Seams.h"
#include "tasklist/TaskRows.h"

#include <QTableWidget>
#include <memory>

namespace bf::ui {

class TaskListWidget;

// The core's view of lvwTask. Column widths are kept in twips, as the layout states them, and
// shown at the nearest pixel.
class TaskListRows : public tasklist::TaskRows {
public:
    explicit TaskListRows(TaskListWidget& list) : list_(list) {}
    int rowCount() const override;
    QString sourceFileName(int row) const override;
    QString worksheetName(int row) const override;
    void addRow(const QString& sourceFileName, const QString& worksheetName) override;
    // Kept with the worksheet name's cell, which shows a hidden sheet with an icon and a tip.
    tasklist::SheetFacts sheetFacts(int row) const override;
    void setSheetFacts(int row, const tasklist::SheetFacts& facts) override;
    void removeRow(int row) override;
    void clearRows() override;
    int currentRow() const override;
    void selectRow(int row) override;
    double columnWidthTwips(int column) const override;
    void setColumnWidthTwips(int column, double twips) override;
    // Measured in the main window's font, in twips.
    double textWidthTwips(const QString& text) const override;
    void setBusyPointer(bool busy) override;

private:
    void requireRow(int row) const;
    TaskListWidget& list_;
};

class TaskListWidget : public QTableWidget {
    Q_OBJECT

public:
    explicit TaskListWidget(QWidget* parent = nullptr);
    ~TaskListWidget() override;

    tasklist::TaskRows& rows() { return *rows_; }

    // The list's set-up at load: view, grid lines, selection, no editing, the two columns at
    // 3/5 and 2/5 of the list's width. 1 when done, 0 after the "InitListView" report.
    std::int32_t InitListView(const platform::Seams& seams);

    // The list's width in twips as the window's layout placed it (0: take it from the pixels).
    double layoutWidthTwips = 0;

Q_SIGNALS:
    void keyDown(int key, Qt::KeyboardModifiers modifiers);
    void mouseUp(Qt::MouseButton button);
    void pathsDropped(const QStringList& paths);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    friend class TaskListRows;
    std::unique_ptr<TaskListRows> rows_;
    double widthsTwips_[2] = {0, 0};
};

} // namespace bf::ui
