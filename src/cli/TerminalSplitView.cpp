#include "cli/TerminalSplitView.h"

#include "cli/TerminalText.h"

#include <QFileInfo>

#include <cstdio>

namespace bf::cli {

void TerminalSplitView::setProgressVisible(bool visible)
{
    visible_ = visible;
    // The progress line is ended before anything else is written below it.
    if (!visible && lineOpen_) {
        std::fputc('\n', stderr);
        std::fflush(stderr);
        lineOpen_ = false;
    }
}

void TerminalSplitView::repaintNow()
{
    if (!terminal_ || !visible_)
        return;
    // The bar runs from 1 to 2 x rows in steps of 2, one per row.
    const int total = static_cast<int>(maximum_ / 2.0f);
    const int done = value_ > minimum_ ? static_cast<int>(value_ / 2.0f) : 0;
    QString line = QStringLiteral("Splitting: %1 of %2").arg(done).arg(total);
    const int row = rows_.currentRow();
    if (done > 0 && row >= 1 && row <= rows_.rowCount())
        line += QStringLiteral(" (") + printable(QFileInfo(rows_.sourceFileName(row)).fileName(), false) +
                QStringLiteral(": ") + printable(rows_.worksheetName(row), false) + ')';
    const QByteArray bytes = ("\r\033[K" + line).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
    lineOpen_ = true;
}

void TerminalSplitView::macrosNotKept(const QString& workbookPath)
{
    // The progress line, if one is drawn, is cleared and drawn again below the notice.
    const QString notice = QStringLiteral("brakenfold-split: %1: its macros are not copied: its worksheets are written "
                                          "as .xlsx workbooks, which hold no macros\n")
                               .arg(printable(workbookPath, false));
    const QByteArray bytes = ((lineOpen_ ? QStringLiteral("\r\033[K") : QString()) + notice).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
    lineOpen_ = false;
}

} // namespace bf::cli
