#pragma once
// The seams between the program and the desktop it runs on: message boxes, choosers, the shell,
// the registry, the instance lock and the application's own facts. The program's entry points
// fill a Seams with the Qt implementations (platform/qt/) or the terminal's (cli/); tests with
// fakes (tests/support/FakeSeams.h) that record what was asked and give scripted answers. The
// Seams are handed down to whoever needs them; nothing reaches them through a global.
#include "core/ProgramVersion.h"
#include "platform/AtomicFile.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>

namespace bf::platform {

// ---- Message box: every box carries the application title as its caption. ----
enum class MsgButtons { Ok, YesNo };
enum class MsgIcon { None, Question, Information, Warning, Critical };
enum class MsgDefault { First, Second }; // Second is "No" for Yes/No
enum class MsgResult { Ok, Yes, No };

class MessageBoxSeam {
public:
    virtual ~MessageBoxSeam() = default;
    virtual MsgResult show(const QString& text, MsgButtons buttons = MsgButtons::Ok,
                           MsgIcon icon = MsgIcon::None, MsgDefault defaultButton = MsgDefault::First) = 0;
};

// ---- Folder chooser: the prompt as its title, starting at the file-system root, folders only;
// cancel gives "". The result has no trailing separator unless it is the root. ----
class FolderChooserSeam {
public:
    virtual ~FolderChooserSeam() = default;
    virtual QString browseForFolder(const QString& prompt) = 0;
};

// ---- File-open dialog: one existing file; cancel gives "". ----
class FileOpenDialogSeam {
public:
    virtual ~FileOpenDialogSeam() = default;
    // filter: a description and patterns, e.g. "Excel Files (*.xls)"
    virtual QString getOpenFileName(const QString& filter) = 0;
};

// ---- Shell: "open" on a file or an address, and the file manager on a folder. ----
class ShellSeam {
public:
    virtual ~ShellSeam() = default;
    // Hands target to the desktop's handler; false when nothing could open it.
    virtual bool open(const QString& target) = 0;
    // Shows the folder in the desktop's file manager.
    virtual bool openFolder(const QString& folder) = 0;
    // Starts a program with arguments, detached; false when it could not start.
    virtual bool startProgram(const QString& program, const QStringList& arguments) = 0;
    // Whether the desktop has a program for this kind of file; open() cannot tell, as it only
    // starts the desktop's opener. Shells that cannot ask say yes.
    virtual bool hasHandlerFor(const QString& file)
    {
        (void)file;
        return true;
    }
};

// ---- Registry, read only. Linux has none: the production seam finds nothing. ----
constexpr std::uint32_t HKEY_LOCAL_MACHINE_ROOT = 0x80000002u;
constexpr std::uint32_t REG_SZ_TYPE = 1;
constexpr std::uint32_t REG_DWORD_TYPE = 4;
constexpr long REG_SUCCESS = 0;
constexpr long REG_FILE_NOT_FOUND = 2;
constexpr long REG_MORE_DATA = 234;
constexpr std::uint32_t KEY_QUERY_VALUE_ACCESS = 0x0001;
constexpr std::uint32_t KEY_READ_ACCESS = 0x20019;
constexpr std::uint32_t KEY_ALL_ACCESS_RIGHTS = 0xF003F;

class RegistrySeam {
public:
    virtual ~RegistrySeam() = default;
    using Handle = std::uint64_t;
    // Each call answers REG_SUCCESS or another of the REG_ result codes above.
    virtual long openKey(std::uint32_t root, const QString& subKey, std::uint32_t access, Handle* key) = 0;
    // Reads a value into buffer (capacity *size bytes); *size is the byte count written or needed.
    virtual long queryValue(Handle key, const QString& valueName, std::uint32_t* type,
                            unsigned char* buffer, std::uint32_t* size) = 0;
    virtual long closeKey(Handle key) = 0;
};

// ---- Single-instance lock: held for the life of the process. ----
class InstanceLockSeam {
public:
    virtual ~InstanceLockSeam() = default;
    // True when this is the only running instance (the lock is now held).
    virtual bool tryAcquire() = 0;
};

// ---- The application object: folder, title, version, help file. ----
class AppInfoSeam {
public:
    virtual ~AppInfoSeam() = default;
    // The folder that holds the program file, without a trailing separator.
    virtual QString path() const = 0;
    virtual QString title() const = 0;
    virtual int major() const = 0;
    virtual int minor() const = 0;
    virtual int revision() const = 0;
    virtual QString helpFile() const = 0;
    virtual void setHelpFile(const QString& file) = 0;
};

// The program's own name and version, the same wherever it runs; path() is left to the place.
class ProgramInfo : public AppInfoSeam {
public:
    QString title() const override { return QStringLiteral("Brakenfold"); }
    int major() const override { return kVersionMajor; }
    int minor() const override { return kVersionMinor; }
    int revision() const override { return kVersionRevision; }
    QString helpFile() const override { return helpFile_; }
    void setHelpFile(const QString& file) override { helpFile_ = file; }

private:
    QString helpFile_;
};

// A seam left empty is one this program or test does not provide; the shortcuts below throw
// Error 91 when asked for one.
struct Seams {
    MessageBoxSeam* messageBox = nullptr;
    FolderChooserSeam* folderChooser = nullptr;
    FileOpenDialogSeam* fileOpenDialog = nullptr;
    ShellSeam* shell = nullptr;
    RegistrySeam* registry = nullptr;
    InstanceLockSeam* instanceLock = nullptr;
    AppInfoSeam* appInfo = nullptr;
    // Handed to every file the program writes; tests set it to make a write fail part-way.
    WriteFault writeFault;

    MsgResult msgBox(const QString& text, MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::None,
                     MsgDefault defaultButton = MsgDefault::First) const;
    AppInfoSeam& app() const;
    // The folder chooser with title as its prompt; "" when the user cancels.
    QString browseFolder(const QString& title) const;
};

// Resolves a file beside the program: the exact name when it exists, otherwise the first entry
// whose path matches without regard to letter case (the program names one folder "\Icon\" in
// one place and "\ICON\" in another). relative uses '/' or '\' separators.
QString resolveBesideProgram(const Seams& seams, const QString& relative);
// Same for any absolute path: exact when it exists, else case-insensitive match per component.
QString resolveCaseInsensitive(const QString& path);

} // namespace bf::platform
