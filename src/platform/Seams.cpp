#include "platform/Seams.h"

#include "core/Error.h"

#include <QDir>
#include <QFileInfo>

namespace bf::platform {

namespace {
template <typename T> T& need(T* p, const char* what)
{
    if (!p)
        throw Error(err::ObjectVariableNotSet, QStringLiteral("platform seam not installed: %1").arg(what));
    return *p;
}
} // namespace

MsgResult Seams::msgBox(const QString& text, MsgButtons buttons, MsgIcon icon, MsgDefault defaultButton) const
{
    return need(messageBox, "message box").show(text, buttons, icon, defaultButton);
}

AppInfoSeam& Seams::app() const { return need(appInfo, "application"); }

QString Seams::browseFolder(const QString& title) const
{
    return need(folderChooser, "folder chooser").browseForFolder(title);
}

QString resolveCaseInsensitive(const QString& path)
{
    if (path.isEmpty() || QFileInfo::exists(path))
        return path;
    QString normalized = QDir::fromNativeSeparators(path);
    normalized.replace('\\', '/');
    const QStringList parts = normalized.split('/', Qt::KeepEmptyParts);
    QString current = normalized.startsWith('/') ? QStringLiteral("/") : QString();
    for (int i = 0; i < parts.size(); ++i) {
        const QString& part = parts[i];
        if (part.isEmpty())
            continue;
        QString candidate = current.isEmpty() || current.endsWith('/') ? current + part : current + '/' + part;
        if (!QFileInfo::exists(candidate)) {
            const QDir dir(current.isEmpty() ? QStringLiteral(".") : current);
            const QStringList entries = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
            for (const QString& entry : entries) {
                if (entry.compare(part, Qt::CaseInsensitive) == 0) {
                    candidate = current.isEmpty() || current.endsWith('/') ? current + entry : current + '/' + entry;
                    break;
                }
            }
        }
        current = candidate;
    }
    return QFileInfo::exists(current) ? current : normalized;
}

QString resolveBesideProgram(const Seams& seams, const QString& relative)
{
    QString rel = relative;
    rel.replace('\\', '/');
    if (!rel.startsWith('/'))
        rel.prepend('/');
    return resolveCaseInsensitive(seams.app().path() + rel);
}

} // namespace bf::platform
