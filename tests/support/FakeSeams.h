#pragma once
// Fakes of the platform seams: each records what it was asked and gives scripted answers.
#include "platform/Seams.h"

#include <QStringList>
#include <deque>
#include <vector>

namespace bf::test {

struct ShownMessage {
    QString text;
    platform::MsgButtons buttons;
    platform::MsgIcon icon;
    platform::MsgDefault defaultButton;
};

class FakeMessageBox : public platform::MessageBoxSeam {
public:
    platform::MsgResult show(const QString& text, platform::MsgButtons buttons, platform::MsgIcon icon,
                             platform::MsgDefault defaultButton) override
    {
        shown.push_back({text, buttons, icon, defaultButton});
        if (buttons == platform::MsgButtons::Ok)
            return platform::MsgResult::Ok;
        if (answers.empty())
            return defaultButton == platform::MsgDefault::Second ? platform::MsgResult::No : platform::MsgResult::Yes;
        const platform::MsgResult r = answers.front();
        answers.pop_front();
        return r;
    }
    QStringList texts() const
    {
        QStringList list;
        for (const auto& m : shown)
            list << m.text;
        return list;
    }
    std::vector<ShownMessage> shown;
    std::deque<platform::MsgResult> answers; // for Yes/No questions; empty: the default button
};

// The choosers answer from answers in turn, then "" (cancelled).
class FakeFolderChooser : public platform::FolderChooserSeam {
public:
    QString browseForFolder(const QString& prompt) override
    {
        prompts << prompt;
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    QStringList prompts, answers;
};

class FakeFileOpenDialog : public platform::FileOpenDialogSeam {
public:
    QString getOpenFileName(const QString& filter) override
    {
        filters << filter;
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    QStringList filters, answers;
};

// The opener's later report of a failure comes at once.
class FakeShell : public platform::ShellSeam {
public:
    bool open(const QString& target, platform::OpenFailed failed) override
    {
        opened << target;
        return report(opens, failed);
    }
    bool openFolder(const QString& folder, platform::OpenFailed failed) override
    {
        foldersShown << folder;
        return report(folderOpens, failed);
    }
    bool startProgram(const QString& program, const QStringList&) override { started << program; return true; }
    bool hasHandlerFor(const QString& file) override
    {
        return handledEndings.isEmpty() || handledEndings.contains(file.section('.', -1));
    }
    QStringList opened, foldersShown, started;
    QStringList handledEndings; // the file endings a program is registered for; empty: every ending
    enum Outcome { Opens, CannotStart, OpenerFails };
    Outcome opens = Opens, folderOpens = Opens;

private:
    static bool report(Outcome outcome, const platform::OpenFailed& failed)
    {
        if (outcome == OpenerFails && failed)
            failed();
        return outcome != CannotStart;
    }
};

class FakeInstanceLock : public platform::InstanceLockSeam {
public:
    bool tryAcquire() override { return !otherInstanceRunning; }
    bool handToRunningInstance(const QStringList& paths) override
    {
        handed << paths;
        return runningInstanceTakesPaths;
    }
    void receiveHandedPaths(PathsReceiver receive) override { receiver = std::move(receive); }
    bool otherInstanceRunning = false;
    bool runningInstanceTakesPaths = true;
    QStringList handed;
    PathsReceiver receiver;
};

class FakeAppInfo : public platform::ProgramInfo {
public:
    QString path() const override { return folder; }
    QString folder = QStringLiteral("/nonexistent-app-folder");
};

// The seams a test hands to the code under test: each points at the fake of the same name; no
// registry, as on this platform.
class FakeSeams : public platform::Seams {
public:
    FakeSeams()
    {
        Seams::messageBox = &messageBox;
        Seams::folderChooser = &folderChooser;
        Seams::fileOpenDialog = &fileOpenDialog;
        Seams::shell = &shell;
        Seams::instanceLock = &instanceLock;
        Seams::appInfo = &appInfo;
    }
    FakeSeams(const FakeSeams&) = delete;
    FakeSeams& operator=(const FakeSeams&) = delete;

    FakeMessageBox messageBox;
    FakeFolderChooser folderChooser;
    FakeFileOpenDialog fileOpenDialog;
    FakeShell shell;
    FakeInstanceLock instanceLock;
    FakeAppInfo appInfo;
};

} // namespace bf::test
