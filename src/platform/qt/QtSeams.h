#pragma once
// The production seams: Qt widgets and desktop services.
#include "platform/Seams.h"
#include "platform/qt/InstanceLock.h"
#include "platform/qt/QtShell.h"
#include "platform/qt/RememberedFolders.h"

#include <QFileDialog>
#include <memory>

namespace bf::platform::qt {

// Every box carries the application's title as its caption.
class QtMessageBox : public MessageBoxSeam {
public:
    explicit QtMessageBox(const AppInfoSeam& app) : app_(app) {}
    MsgResult show(const QString& text, MsgButtons buttons, MsgIcon icon, MsgDefault defaultButton) override;

private:
    const AppInfoSeam& app_;
};

// Each chooser, told apart by its prompt, opens where the last folder picked in it was.
class QtFolderChooser : public FolderChooserSeam {
public:
    explicit QtFolderChooser(const RememberedFolders& folders) : folders_(folders) {}
    QString browseForFolder(const QString& prompt) override;

private:
    const RememberedFolders& folders_;
};

// Opens in the folder of the file last picked with the same filter.
class QtFileOpenDialog : public FileOpenDialogSeam {
public:
    explicit QtFileOpenDialog(const RememberedFolders& folders) : folders_(folders) {}
    QString getOpenFileName(const QString& filter) override;
    // The dialog getOpenFileName shows: one existing file, filter and "All Files (*)".
    std::unique_ptr<QFileDialog> makeDialog(const QString& filter, QWidget* parent = nullptr) const;

private:
    const RememberedFolders& folders_;
};

// Linux has no registry: every key is missing.
class NoRegistry : public RegistrySeam {
public:
    long openKey(std::uint32_t, const QString&, std::uint32_t, Handle*) override { return REG_FILE_NOT_FOUND; }
    long queryValue(Handle, const QString&, std::uint32_t*, unsigned char*, std::uint32_t*) override
    {
        return REG_FILE_NOT_FOUND;
    }
    long closeKey(Handle) override { return REG_SUCCESS; }
};

// The folder of the running program file.
class QtAppInfo : public ProgramInfo {
public:
    QString path() const override;
};

// Owns one of each; seams() hands them out.
class QtSeams {
public:
    QtSeams();
    QtSeams(const QtSeams&) = delete;
    QtSeams& operator=(const QtSeams&) = delete;
    Seams& seams() { return seams_; }

private:
    QtAppInfo appInfo_;
    QtMessageBox messageBox_{appInfo_};
    RememberedFolders folders_{RememberedFolders::userFile()};
    QtFolderChooser folderChooser_{folders_};
    QtFileOpenDialog fileOpenDialog_{folders_};
    QtShell shell_;
    NoRegistry registry_;
    QtInstanceLock instanceLock_;
    Seams seams_;
};

} // namespace bf::platform::qt
