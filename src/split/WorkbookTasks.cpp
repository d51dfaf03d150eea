#include "split/WorkbookTasks.h"

#include <QSet>

namespace bf::split::jobs {

std::vector<WorkbookTask> workbookTasksOf(const tasklist::TaskRows& rows)
{
    std::vector<WorkbookTask> tasks;
    QSet<QString> seen;
    QString current;
    for (int i = 1; i <= rows.rowCount(); ++i) {
        const QString path = rows.sourceFileName(i);
        if (!tasks.empty() && path == current) {
            tasks.back().last = i;
            continue;
        }
        if (seen.contains(path))
            return {};
        seen.insert(path);
        current = path;
        tasks.push_back({i, i});
    }
    return tasks;
}

} // namespace bf::split::jobs
