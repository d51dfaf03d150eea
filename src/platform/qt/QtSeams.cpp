#include "platform/qt/QtSeams.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>
#include <unistd.h>

namespace bf::platform::qt {

MsgResult QtMessageBox::show(const QString& text, MsgButtons buttons, MsgIcon icon, MsgDefault defaultButton)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(app_.title());
    box.setText(text);
    switch (icon) {
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    }
    if (buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(defaultButton == MsgDefault::Second ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? MsgResult::Yes : MsgResult::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MsgResult::Ok;
}

QString QtFolderChooser::browseForFolder(const QString& prompt)
{
    const QString chosen = QFileDialog::getExistingDirectory(nullptr, prompt, QDir::rootPath(),
                                                             QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return QString();
    QString path = QDir::toNativeSeparators(QDir::cleanPath(chosen));
    return path;
}

std::unique_ptr<QFileDialog> QtFileOpenDialog::makeDialog(const QString& filter, QWidget* parent)
{
    auto dialog = std::make_unique<QFileDialog>(parent);
    dialog->setFileMode(QFileDialog::ExistingFile);
    // The program's own dialog matches the filter in any letter case (BOOK1.XLS too); the
    // desktop's may not.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setFilter(dialog->filter() & ~QDir::CaseSensitive);
    // The dialog separates patterns by blanks, the program's filters by semicolons.
    dialog->setNameFilters({QString(filter).replace(QLatin1Char(';'), QLatin1Char(' ')), QStringLiteral("All Files (*)")});
    return dialog;
}

QString QtFileOpenDialog::getOpenFileName(const QString& filter)
{
    const auto dialog = makeDialog(filter, QApplication::activeWindow());
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return QString();
    return QDir::toNativeSeparators(dialog->selectedFiles().first());
}

bool QtShell::open(const QString& target)
{
    // A file that exists opens as a file; anything else is read as a user would type it into a
    // browser or mail program.
    if (QFileInfo::exists(target))
        return QDesktopServices::openUrl(QUrl::fromLocalFile(target));
    return QDesktopServices::openUrl(QUrl::fromUserInput(target));
}

bool QtShell::openFolder(const QString& folder)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
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

bool QtInstanceLock::tryAcquire()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    QDir().mkpath(dir);
    lock_ = std::make_unique<QLockFile>(dir + QStringLiteral("/brakenfold-%1.lock").arg(getuid()));
    lock_->setStaleLockTime(0);
    return lock_->tryLock(0);
}

QString QtAppInfo::path() const
{
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

QtSeams::QtSeams()
{
    seams_.messageBox = &messageBox_;
    seams_.folderChooser = &folderChooser_;
    seams_.fileOpenDialog = &fileOpenDialog_;
    seams_.shell = &shell_;
    seams_.registry = &registry_;
    seams_.instanceLock = &instanceLock_;
    seams_.appInfo = &appInfo_;
}

} // namespace bf::platform::qt
