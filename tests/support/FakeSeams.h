#pragma once
// Fakes of the platform seams: each records what it was asked and gives scripted answers.
#include "platform/Seams.h"

#include <QStringList>
#include <deque>
#include <map>
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

class FakeFolderChooser : public platform::FolderChooserSeam {
public:
    QString browseForFolder(const QString& prompt) override
    {
        prompts << prompt;
        if (answers.empty())
            return QString();
        const QString r = answers.front();
        answers.pop_front();
        return r;
    }
    QStringList prompts;
    std::deque<QString> answers; // empty: cancelled
};

class FakeFileOpenDialog : public platform::FileOpenDialogSeam {
public:
    QString getOpenFileName(const QString& filter) override
    {
        filters << filter;
        if (answers.empty())
            return QString();
        const QString r = answers.front();
        answers.pop_front();
        return r;
    }
    QStringList filters;
    std::deque<QString> answers;
};

class FakeShell : public platform::ShellSeam {
public:
    bool open(const QString& target) override
    {
        opened << target;
        return openSucceeds;
    }
    bool openFolder(const QString& folder) override
    {
        foldersShown << folder;
        return true;
    }
    bool startProgram(const QString& program, const QStringList& arguments) override
    {
        started << (program + (arguments.isEmpty() ? QString() : ' ' + arguments.join(' ')));
        return startSucceeds;
    }
    bool hasHandlerFor(const QString& file) override
    {
        return handledEndings.isEmpty() || handledEndings.contains(file.section('.', -1));
    }
    QStringList opened, foldersShown, started;
    // The file endings a program is registered for; empty: every ending.
    QStringList handledEndings;
    bool openSucceeds = true;
    bool startSucceeds = true;
};

// An in-memory registry: values by "key path\\value name".
class FakeRegistry : public platform::RegistrySeam {
public:
    struct Value {
        std::uint32_t type;
        QByteArray data;
    };
    long openKey(std::uint32_t root, const QString& subKey, std::uint32_t access, Handle* key) override
    {
        opens.push_back({root, subKey, access});
        if (!keys.count(subKey))
            return platform::REG_FILE_NOT_FOUND;
        if (deniedAccessMask & access)
            return 5; // access denied
        handles[++lastHandle] = subKey;
        *key = lastHandle;
        return platform::REG_SUCCESS;
    }
    long queryValue(Handle key, const QString& valueName, std::uint32_t* type, unsigned char* buffer,
                    std::uint32_t* size) override
    {
        const auto h = handles.find(key);
        if (h == handles.end())
            return 6; // invalid handle
        const auto it = values.find(h->second + '\\' + valueName);
        if (it == values.end())
            return platform::REG_FILE_NOT_FOUND;
        *type = it->second.type;
        const auto needed = static_cast<std::uint32_t>(it->second.data.size());
        if (needed > *size) {
            *size = needed;
            return platform::REG_MORE_DATA;
        }
        std::copy(it->second.data.begin(), it->second.data.end(), buffer);
        *size = needed;
        return platform::REG_SUCCESS;
    }
    long closeKey(Handle key) override
    {
        closed.push_back(key);
        return platform::REG_SUCCESS;
    }
    void setValue(const QString& keyPath, const QString& name, std::uint32_t type, const QByteArray& data)
    {
        keys[keyPath] = true;
        values[keyPath + '\\' + name] = {type, data};
    }
    struct Open {
        std::uint32_t root;
        QString subKey;
        std::uint32_t access;
    };
    std::vector<Open> opens;
    std::vector<Handle> closed;
    std::map<QString, bool> keys;
    std::map<QString, Value> values;
    std::map<Handle, QString> handles;
    Handle lastHandle = 0;
    std::uint32_t deniedAccessMask = 0; // access bits an ordinary user may not ask for
};

class FakeInstanceLock : public platform::InstanceLockSeam {
public:
    bool tryAcquire() override
    {
        ++attempts;
        return !otherInstanceRunning;
    }
    bool otherInstanceRunning = false;
    int attempts = 0;
};

class FakeAppInfo : public platform::AppInfoSeam {
public:
    QString path() const override { return folder; }
    QString title() const override { return QStringLiteral("Brakenfold"); }
    int major() const override { return 1; }
    int minor() const override { return 0; }
    int revision() const override { return 5; }
    QString helpFile() const override { return help; }
    void setHelpFile(const QString& file) override { help = file; }
    QString folder = QStringLiteral("/nonexistent-app-folder");
    QString help;
};

// The seams a test hands to the code under test: each seam of platform::Seams points at the
// fake of the same name declared here.
class FakeSeams : public platform::Seams {
public:
    FakeSeams()
    {
        Seams::messageBox = &messageBox;
        Seams::folderChooser = &folderChooser;
        Seams::fileOpenDialog = &fileOpenDialog;
        Seams::shell = &shell;
        Seams::registry = &registry;
        Seams::instanceLock = &instanceLock;
        Seams::appInfo = &appInfo;
    }
    FakeSeams(const FakeSeams&) = delete;
    FakeSeams& operator=(const FakeSeams&) = delete;

    FakeMessageBox messageBox;
    FakeFolderChooser folderChooser;
    FakeFileOpenDialog fileOpenDialog;
    FakeShell shell;
    FakeRegistry registry;
    FakeInstanceLock instanceLock;
    FakeAppInfo appInfo;
};

} // namespace bf::test
