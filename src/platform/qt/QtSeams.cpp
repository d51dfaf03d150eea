#include "platform/qt/QtSeams.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

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
    QFileDialog dialog(QApplication::activeWindow(), prompt, folders_.startFor(prompt));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    const QString chosen = QDir::cleanPath(dialog.selectedFiles().first());
    folders_.remember(prompt, chosen);
    return QDir::toNativeSeparators(chosen);
}

std::unique_ptr<QFileDialog> QtFileOpenDialog::makeDialog(const QString& filter, QWidget* parent) const
{
    auto dialog = std::make_unique<QFileDialog>(parent);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setDirectory(folders_.startFor(filter));
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
    const QString chosen = dialog->selectedFiles().first();
    folders_.remember(filter, QFileInfo(chosen).absolutePath());
    return QDir::toNativeSeparators(chosen);
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
