#pragma once
// The platform seams of the command-line run: message boxes become lines on standard error,
// the folder chooser answers the folder the command line named, and there is nobody to ask and
// no file manager to start.
#include "platform/Seams.h"

#include <QString>

namespace bf::cli {

class StderrMessageBox : public platform::MessageBoxSeam {
public:
    // Writes the text on standard error; a question gets its default answer.
    platform::MsgResult show(const QString& text, platform::MsgButtons buttons, platform::MsgIcon icon,
                             platform::MsgDefault defaultButton) override;
    int shownCount() const { return shown_; }

private:
    int shown_ = 0;
};

class AnsweringFolderChooser : public platform::FolderChooserSeam {
public:
    explicit AnsweringFolderChooser(QString folder) : folder_(std::move(folder)) {}
    QString browseForFolder(const QString&) override { return folder_; }

private:
    QString folder_;
};

// Opens nothing: the run folder is printed instead of shown.
class QuietShell : public platform::ShellSeam {
public:
    bool open(const QString&, platform::OpenFailed) override { return false; }
    bool openFolder(const QString&, platform::OpenFailed) override { return true; }
    bool startProgram(const QString&, const QStringList&) override { return false; }
};

class CliAppInfo : public platform::ProgramInfo {
public:
    explicit CliAppInfo(QString folder) : folder_(std::move(folder)) {}
    QString path() const override { return folder_; }

private:
    QString folder_;
};

// Owns the seams above; seams points at them.
class TerminalSeams {
public:
    TerminalSeams(const QString& outputFolder, const QString& programFolder);
    TerminalSeams(const TerminalSeams&) = delete;
    TerminalSeams& operator=(const TerminalSeams&) = delete;

    StderrMessageBox messageBox;
    AnsweringFolderChooser folderChooser;
    QuietShell shell;
    CliAppInfo appInfo;
    platform::Seams seams;
};

} // namespace bf::cli
