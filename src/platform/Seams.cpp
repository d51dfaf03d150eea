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

namespace {
// The first existing path that continues base with parts[from...], each part matched in any letter
// case (its exact spelling tried first, then every other spelling the folder holds); empty if none.
QString findIgnoringCase(const QString& base, const QStringList& parts, int from)
{
    if (from == parts.size())
        return base;
    const QString& part = parts[from];
    if (part.isEmpty())
        return findIgnoringCase(base, parts, from + 1);
    const QString prefix = base.isEmpty() || base.endsWith('/') ? base : base + '/';
    QStringList spellings{part};
    const QDir dir(base.isEmpty() ? QStringLiteral(".") : base);
    for (const QString& entry : dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        if (entry != part && entry.compare(part, Qt::CaseInsensitive) == 0)
            spellings << entry;
    for (const QString& spelling : spellings)
        if (QFileInfo::exists(prefix + spelling))
            if (const QString found = findIgnoringCase(prefix + spelling, parts, from + 1); !found.isEmpty())
                return found;
    return {};
}
} // namespace

QString resolveCaseInsensitive(const QString& path)
{
    if (path.isEmpty() || QFileInfo::exists(path))
        return path;
    QString normalized = QDir::fromNativeSeparators(path);
    normalized.replace('\\', '/');
    const QString found = findIgnoringCase(normalized.startsWith('/') ? QStringLiteral("/") : QString(),
                                           normalized.split('/', Qt::KeepEmptyParts), 0);
    return found.isEmpty() ? normalized : found;
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
