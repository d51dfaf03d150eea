#pragma once
// The production seams: Qt widgets and desktop services.
#include "platform/Seams.h"

#include <QFileDialog>
#include <QLockFile>
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

class QtFolderChooser : public FolderChooserSeam {
public:
    QString browseForFolder(const QString& prompt) override;
};

class QtFileOpenDialog : public FileOpenDialogSeam {
public:
    QString getOpenFileName(const QString& filter) override;
    // The dialog getOpenFileName shows: one existing file, filter and "All Files (*)".
    static std::unique_ptr<QFileDialog> makeDialog(const QString& filter, QWidget* parent = nullptr);
};

class QtShell : public ShellSeam {
public:
    bool open(const QString& target) override;
    bool openFolder(const QString& folder) override;
    bool startProgram(const QString& program, const QStringList& arguments) override;
    // Asks xdg-mime for the default program of the file's type.
    bool hasHandlerFor(const QString& file) override;
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

// A per-user lock file in the runtime folder ($XDG_RUNTIME_DIR, else the temporary folder).
class QtInstanceLock : public InstanceLockSeam {
public:
    bool tryAcquire() override;

private:
    std::unique_ptr<QLockFile> lock_;
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
    QtFolderChooser folderChooser_;
    QtFileOpenDialog fileOpenDialog_;
    QtShell shell_;
    NoRegistry registry_;
    QtInstanceLock instanceLock_;
    Seams seams_;
};

} // namespace bf::platform::qt
