#include "platform/qt/QtShell.h"

#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QUrl>

namespace bf::platform::qt {

QtShell::~QtShell()
{
    // An opener still running when the program ends reports to nobody.
    for (QProcess* opener : openers_.findChildren<QProcess*>())
        opener->disconnect();
}

bool QtShell::open(const QString& target, OpenFailed failed)
{
    // A file that exists opens as a file; anything else is read as a user would type it into a
    // browser or mail program.
    if (QFileInfo::exists(target))
        return startOpener(QFileInfo(target).absoluteFilePath(), std::move(failed));
    const QUrl url = QUrl::fromUserInput(target);
    if (!url.isValid() || url.isEmpty())
        return false;
    return startOpener(url.toString(QUrl::FullyEncoded), std::move(failed));
}

bool QtShell::openFolder(const QString& folder, OpenFailed failed)
{
    return startOpener(QFileInfo(folder).absoluteFilePath(), std::move(failed));
}

bool QtShell::startOpener(const QString& argument, OpenFailed failed)
{
    // Not waited for: an opener may stay until the program it started ends.
    auto* opener = new QProcess(&openers_);
    opener->setProgram(QStringLiteral("xdg-open"));
    opener->setArguments({argument});
    opener->setStandardInputFile(QProcess::nullDevice());
    opener->setProcessChannelMode(QProcess::ForwardedChannels);
    QObject::connect(opener, &QProcess::finished, opener,
                     [opener, failed = std::move(failed)](int code, QProcess::ExitStatus status) {
                         opener->deleteLater();
                         if ((status != QProcess::NormalExit || code != 0) && failed)
                             failed();
                     });
    opener->start();
    if (opener->waitForStarted())
        return true;
    opener->disconnect();
    delete opener;
    return false;
}

int QtShell::openersRunning() const
{
    int running = 0;
    for (const QProcess* opener : openers_.findChildren<QProcess*>())
        running += opener->state() != QProcess::NotRunning;
    return running;
}

bool QtShell::startProgram(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

bool QtShell::hasHandlerFor(const QString& file)
{
    const QString type = QMimeDatabase().mimeTypeForFile(file).name();
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForFinished(5000)) {
        query.kill();
        query.waitForFinished(1000);
        return false;
    }
    return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0 &&
           !query.readAllStandardOutput().trimmed().isEmpty();
}

} // namespace bf::platform::qt
