#include "ui/TaskListWidget.h"

#include "core/Error.h"
#include "startup/ErrorReports.h"
#include "tasklist/TaskListCommands.h"
#include "ui/Twips.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QIcon>
#include <QStyle>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <algorithm>

namespace bf::ui {

namespace {
QStringList localPaths(const QMimeData* mime)
{
    QStringList paths;
    if (!mime || !mime->hasUrls())
        return paths;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    return paths;
}
// Only what a drop adds: folders and files with the workbook ending. Anything else gets no copy
// pointer.
bool takesDrop(const QMimeData* mime)
{
    const QStringList paths = localPaths(mime);
    return std::any_of(paths.begin(), paths.end(), [](const QString& path) {
        return QFileInfo(path).isDir() || tasklist::HasWorkbookEnding(path);
    });
}
} // namespace

// ---- TaskListRows ------------------------------------------------------------------------------

void TaskListRows::requireRow(int row) const
{
    if (row < 1 || row > list_.QTableWidget::rowCount())
        throw Error(err::SubscriptOutOfRange,
                    QStringLiteral("the task list has no row %1 (it has %2)").arg(row).arg(list_.QTableWidget::rowCount()));
}

int TaskListRows::rowCount() const { return list_.QTableWidget::rowCount(); }

QString TaskListRows::sourceFileName(int row) const
{
    requireRow(row);
    const QTableWidgetItem* item = list_.item(row - 1, 0);
    return item ? item->text() : QString();
}

QString TaskListRows::worksheetName(int row) const
{
    requireRow(row);
    const QTableWidgetItem* item = list_.item(row - 1, 1);
    return item ? item->text() : QString();
}

void TaskListRows::addRow(const QString& sourceFileName, const QString& worksheetName)
{
    const int n = list_.QTableWidget::rowCount();
    list_.insertRow(n);
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    auto* path = new QTableWidgetItem(sourceFileName);
    path->setFlags(flags);
    auto* sheet = new QTableWidgetItem(worksheetName);
    sheet->setFlags(flags);
    list_.setItem(n, 0, path);
    list_.setItem(n, 1, sheet);
    // A list without a current row takes its first row as the current, selected one, so that
    // Remove Item acts without a click first.
    if (!list_.currentIndex().isValid())
        list_.setCurrentCell(0, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

namespace {
constexpr int kPositionRole = Qt::UserRole;
constexpr int kVisibilityRole = Qt::UserRole + 1;
} // namespace

tasklist::SheetFacts TaskListRows::sheetFacts(int row) const
{
    requireRow(row);
    const QTableWidgetItem* item = list_.item(row - 1, 1);
    if (!item)
        return {};
    return {item->data(kPositionRole).toInt(), static_cast<book::Visibility>(item->data(kVisibilityRole).toInt())};
}

void TaskListRows::setSheetFacts(int row, const tasklist::SheetFacts& facts)
{
    requireRow(row);
    QTableWidgetItem* item = list_.item(row - 1, 1);
    if (!item)
        return;
    item->setData(kPositionRole, facts.position);
    item->setData(kVisibilityRole, static_cast<int>(facts.visibility));
    if (facts.visibility == book::Visibility::Visible) {
        item->setIcon(QIcon());
        item->setToolTip(QString());
        return;
    }
    // The split's options may leave such a sheet out: the row says so before the run.
    item->setIcon(QIcon::fromTheme(QStringLiteral("view-hidden"), list_.style()->standardIcon(QStyle::SP_TitleBarShadeButton)));
    item->setToolTip(facts.visibility == book::Visibility::VeryHidden ? QStringLiteral("Very hidden worksheet")
                                                                      : QStringLiteral("Hidden worksheet"));
}

void TaskListRows::removeRow(int row)
{
    requireRow(row);
    list_.QTableWidget::removeRow(row - 1);
}

void TaskListRows::clearRows() { list_.setRowCount(0); }

int TaskListRows::currentRow() const
{
    const QModelIndex current = list_.currentIndex();
    return current.isValid() ? current.row() + 1 : 0;
}

void TaskListRows::selectRow(int row)
{
    requireRow(row);
    list_.setCurrentCell(row - 1, 0,
                         QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list_.scrollToItem(list_.item(row - 1, 0));
}

double TaskListRows::columnWidthTwips(int column) const
{
    if (column < 1 || column > 2 || column > list_.columnCount())
        raise(err::SubscriptOutOfRange);
    return list_.widthsTwips_[column - 1];
}

void TaskListRows::setColumnWidthTwips(int column, double twips)
{
    if (column < 1 || column > 2 || column > list_.columnCount())
        raise(err::SubscriptOutOfRange);
    list_.widthsTwips_[column - 1] = twips;
    list_.setColumnWidth(column - 1, twipsToPxX(list_, twips));
}

double TaskListRows::textWidthTwips(const QString& text) const
{
    const QWidget* window = list_.window();
    return pxToTwipsX(*window, QFontMetricsF(window->font()).horizontalAdvance(text));
}

void TaskListRows::setBusyPointer(bool busy)
{
    QWidget* window = list_.window();
    if (busy)
        window->setCursor(Qt::WaitCursor);
    else
        window->unsetCursor();
}

// ---- TaskListWidget ----------------------------------------------------------------------------

TaskListWidget::TaskListWidget(QWidget* parent) : QTableWidget(parent), rows_(std::make_unique<TaskListRows>(*this))
{
    setObjectName(QStringLiteral("lvwTask"));
    setAccessibleName(QStringLiteral("Task list"));
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
}

TaskListWidget::~TaskListWidget() = default;

std::int32_t TaskListWidget::InitListView(const platform::Seams& seams)
{
    std::int32_t result = 0;
    trapProcedure(seams, QStringLiteral("InitListView"), [&] {
        // Report view: one line per row under column headers; no row numbers.
        verticalHeader()->hide();
        // One text line per row, as a report-style list shows them.
        verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
        horizontalHeader()->show();
        horizontalHeader()->setSectionsClickable(false);
        horizontalHeader()->setHighlightSections(false);
        setWordWrap(false);
        setShowGrid(true);
        setSelectionBehavior(QAbstractItemView::SelectRows);
        setSelectionMode(QAbstractItemView::SingleSelection);
        setEditTriggers(QAbstractItemView::NoEditTriggers);
        setSortingEnabled(false);

        // Three fifths and two fifths of the list's width, computed in float.
        // The width inside the list's frame, less a pixel that rounding the two columns may take,
        // so that the empty list needs no horizontal scroll bar.
        const double outer = layoutWidthTwips > 0 ? layoutWidthTwips : pxToTwipsX(*this, width());
        const float w = static_cast<float>(outer - pxToTwipsX(*this, 2 * frameWidth() + 1));
        setColumnCount(2);
        auto* source = new QTableWidgetItem(QStringLiteral("Source File Name"));
        source->setData(Qt::UserRole, QStringLiteral("Source File Name"));
        auto* sheet = new QTableWidgetItem(QStringLiteral("WorkSheet Name"));
        sheet->setData(Qt::UserRole, QStringLiteral("WorkSheetName"));
        setHorizontalHeaderItem(0, source);
        setHorizontalHeaderItem(1, sheet);
        rows_->setColumnWidthTwips(1, w / 5.0f * 3.0f);
        rows_->setColumnWidthTwips(2, w / 5.0f * 2.0f);
        result = 1;
    });
    return result;
}

void TaskListWidget::keyPressEvent(QKeyEvent* event)
{
    Q_EMIT keyDown(event->key(), event->modifiers());
    QTableWidget::keyPressEvent(event);
}

void TaskListWidget::mouseReleaseEvent(QMouseEvent* event)
{
    QTableWidget::mouseReleaseEvent(event);
    Q_EMIT mouseUp(event->button());
}

void TaskListWidget::dragEnterEvent(QDragEnterEvent* event)
{
    if (takesDrop(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TaskListWidget::dragMoveEvent(QDragMoveEvent* event)
{
    if (takesDrop(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TaskListWidget::dropEvent(QDropEvent* event)
{
    const QStringList paths = localPaths(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    Q_EMIT pathsDropped(paths);
}

} // namespace bf::ui
