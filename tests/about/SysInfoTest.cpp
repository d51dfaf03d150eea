// The System Information lookup over an in-memory registry: how each kind of stored value is
// read, and which program StartSysInfo starts or why it says the tool is unavailable.
#include "about/SysInfo.h"
#include "platform/qt/QtSeams.h"
#include "core/Error.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace bf;
using namespace bf::about;
using bf::platform::HKEY_LOCAL_MACHINE_ROOT;
using bf::platform::REG_DWORD_TYPE;
using bf::platform::REG_SZ_TYPE;

namespace {

const QString kKey = QStringLiteral("SOFTWARE\\Test");
const QString kPathKey = QString::fromLatin1(kSysInfoPathKey);
const QString kFolderKey = QString::fromLatin1(kSysInfoFolderKey);
const QString kUnavailable = QString::fromLatin1(kSysInfoUnavailable);

// Every key opened was closed again, once.
void expectAllClosed(const test::FakeRegistry& reg)
{
    std::vector<platform::RegistrySeam::Handle> opened;
    for (const auto& [h, name] : reg.handles)
        opened.push_back(h);
    std::vector<platform::RegistrySeam::Handle> closed = reg.closed;
    std::sort(closed.begin(), closed.end());
    EXPECT_EQ(opened, closed);
}

// An ordinary user may read but not write under HKEY_LOCAL_MACHINE.
constexpr std::uint32_t kWriteBits = platform::KEY_ALL_ACCESS_RIGHTS & ~platform::KEY_READ_ACCESS;

} // namespace

TEST(GetKeyValue, StringsWithAndWithoutTerminatorAndAtTheBufferLimit)
{
    test::FakeSeams fakes;
    auto& reg = fakes.registry;
    reg.deniedAccessMask = kWriteBits;
    reg.setValue(kKey, "Terminated", REG_SZ_TYPE, QByteArray("C:\\Tools\\msinfo32.exe\0", 22));
    reg.setValue(kKey, "Bare", REG_SZ_TYPE, QByteArray("C:\\Tools\\msinfo32.exe"));
    reg.setValue(kKey, "Full", REG_SZ_TYPE, QByteArray(1024, 'a'));
    reg.setValue(kKey, "TooLong", REG_SZ_TYPE, QByteArray(1025, 'b'));
    reg.setValue(kKey, "OnlyNul", REG_SZ_TYPE, QByteArray(1, '\0'));

    QString v = QStringLiteral("old");
    EXPECT_TRUE(GetKeyValue(fakes, HKEY_LOCAL_MACHINE_ROOT, kKey, "Terminated", v));
    EXPECT_EQ(v, QStringLiteral("C:\\Tools\\msinfo32.exe")); // the NUL is not part of it

    EXPECT_TRUE(GetKeyValue(fakes, HKEY_LOCAL_MACHINE_ROOT, kKey, "Bare", v));
    EXPECT_EQ(v, QStringLiteral("C:\\Tools\\msinfo32.exe")); // no character lost

    EXPECT_TRUE(GetKeyValue(fakes, HKEY_LOCAL_MACHINE_ROOT, kKey, "Full", v));
    EXPECT_EQ(v, QString(1024, 'a')); // fills the buffer without a terminator: stays whole

    v = QStringLiteral("old");
    EXPECT_FALSE(GetKeyValue(fakes, HKEY_LOCAL_MACHINE_ROOT, kKey, "TooLong", v));
    EXPECT_EQ(v, QString());

    EXPECT_TRUE(GetKeyValue(fakes, HKEY_LOCAL_MACHINE_ROOT, kKey, "OnlyNul", v));
    EXPECT_EQ(v, QString());

    // Opened for reading only, so an ordinary user's read succeeds; always on the given root.
    ASSERT_FALSE(reg.opens.empty());
    for (const auto& o : reg.opens) {
        EXPECT_EQ(o.access & kWriteBits, 0u);
        EXPECT_EQ(o.root, HKEY_LOCAL_MACHINE_ROOT);
    }
    expectAllClosed(reg);
}

TEST(GetKeyValue, NumbersOtherTypesAndMissingOrEmptyValues)
{
    test::FakeSeams fakes;
    auto& reg = fakes.registry;
    reg.setValue(kKey, "Dword", REG_DWORD_TYPE, QByteArray("\x0D\x0C\x0B\x0A", 4));
    reg.setValue(kKey, "Small", REG_DWORD_TYPE, QByteArray("\x05\x00\x00\x00", 4));
    reg.setValue(kKey, "Binary", 3, QByteArray("\x01\x02", 2));
    reg.setValue(kKey, "Expand", 2, QByteArray("%SystemRoot%\0", 13));
    reg.setValue(kKey, "Empty", REG_SZ_TYPE, QByteArray());

    QString v;
    EXPECT_TRUE(GetKeyValue(fakes, HKEY_LOCAL_MACHINE_ROOT, kKey, "Dword", v));
    EXPECT_EQ(v, QStringLiteral("&h0A0B0C0D")); // most significant byte first, two digits each

    EXPECT_TRUE(GetKeyValue(fakes, HKEY_LOCAL_MACHINE_ROOT, kKey, "Small", v));
    ASSERT_TRUE(v.startsWith(QStringLiteral("&h")));
    bool ok = false;
    EXPECT_EQ(v.mid(2).toUInt(&ok, 16), 5u); // the same number, whatever its width
    EXPECT_TRUE(ok);

    // Other kinds of value count as read but leave the text as it was given.
    v = QStringLiteral("given");
    EXPECT_TRUE(GetKeyValue(fakes, HKEY_LOCAL_MACHINE_ROOT, kKey, "Binary", v));
    EXPECT_EQ(v, QStringLiteral("given"));
    EXPECT_TRUE(GetKeyValue(fakes, HKEY_LOCAL_MACHINE_ROOT, kKey, "Expand", v));
    EXPECT_EQ(v, QStringLiteral("given"));

    // Missing value, missing key: not read, text emptied.
    v = QStringLiteral("given");
    EXPECT_FALSE(GetKeyValue(fakes, HKEY_LOCAL_MACHINE_ROOT, kKey, "Nothing", v));
    EXPECT_EQ(v, QString());
    v = QStringLiteral("given");
    EXPECT_FALSE(GetKeyValue(fakes, HKEY_LOCAL_MACHINE_ROOT, QStringLiteral("SOFTWARE\\Missing"), "PATH", v));
    EXPECT_EQ(v, QString());

    // A value without any data is an error, and the key is still closed.
    try {
        GetKeyValue(fakes, HKEY_LOCAL_MACHINE_ROOT, kKey, "Empty", v);
        ADD_FAILURE() << "an empty value must raise";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), err::InvalidProcedureCall);
    }
    expectAllClosed(reg);
}

TEST(StartSysInfo, RegisteredPathIsStartedWithoutLookingFurther)
{
    test::FakeSeams fakes;
    fakes.registry.setValue(kPathKey, "PATH", REG_SZ_TYPE,
                            QByteArray("C:\\Program Files\\Common Files\\msinfo32.exe\0", 43));
    fakes.registry.setValue(kFolderKey, "MSINFO", REG_SZ_TYPE, QByteArray("/elsewhere"));
    fakes.registry.deniedAccessMask = kWriteBits;

    StartSysInfo(fakes);

    EXPECT_EQ(fakes.shell.started, QStringList{QStringLiteral("C:\\Program Files\\Common Files\\msinfo32.exe")});
    EXPECT_TRUE(fakes.messageBox.shown.empty());
    ASSERT_EQ(fakes.registry.opens.size(), 1u);
    EXPECT_EQ(fakes.registry.opens[0].subKey, kPathKey);
    expectAllClosed(fakes.registry);
}

TEST(StartSysInfo, FolderLocationNeedsTheProgramFileInIt)
{
    test::TempDir dir;
    const QString withProgram = dir.file("with");
    const QString withoutProgram = dir.file("without");
    const QString programAsFolder = dir.file("folder");
    dir.write("with/MSINFO32.EXE", "MZ");
    QDir().mkpath(withoutProgram);
    QDir().mkpath(programAsFolder + "/MSINFO32.EXE");

    {
        // No PATH: the folder's program is started.
        test::FakeSeams fakes;
        fakes.registry.setValue(kFolderKey, "MSINFO", REG_SZ_TYPE, (withProgram + QChar(0)).toLocal8Bit());
        StartSysInfo(fakes);
        EXPECT_EQ(fakes.shell.started, QStringList{withProgram + "/MSINFO32.EXE"});
        EXPECT_TRUE(fakes.messageBox.shown.empty());
    }
    for (const QString& folder : {withoutProgram, programAsFolder}) {
        test::FakeSeams fakes;
        fakes.registry.setValue(kFolderKey, "MSINFO", REG_SZ_TYPE, folder.toLocal8Bit());
        StartSysInfo(fakes);
        EXPECT_TRUE(fakes.shell.started.isEmpty()) << folder.toStdString();
        EXPECT_EQ(fakes.messageBox.texts(), QStringList{kUnavailable});
        EXPECT_EQ(fakes.messageBox.shown.at(0).buttons, platform::MsgButtons::Ok);
    }
}

TEST(StartSysInfo, EveryFailureEndsInTheUnavailableMessage)
{
    test::TempDir dir;
    dir.write("tool/MSINFO32.EXE", "MZ");
    const QByteArray goodFolder = dir.file("tool").toLocal8Bit();

    struct Case {
        const char* what;
        std::function<void(test::FakeSeams&)> arrange;
        bool readsSecondLocation;
    };
    const std::vector<Case> cases{
        {"nothing registered", [](test::FakeSeams&) {}, true},
        {"PATH of another type counts as found with an empty path",
         [&](test::FakeSeams& f) {
             f.registry.setValue(kPathKey, "PATH", 3, QByteArray("\x01", 1));
             f.registry.setValue(kFolderKey, "MSINFO", REG_SZ_TYPE, goodFolder);
         },
         false},
        {"PATH without data stops before the second location",
         [&](test::FakeSeams& f) {
             f.registry.setValue(kPathKey, "PATH", REG_SZ_TYPE, QByteArray());
             f.registry.setValue(kFolderKey, "MSINFO", REG_SZ_TYPE, goodFolder);
         },
         false},
        {"PATH longer than the buffer, no folder",
         [](test::FakeSeams& f) { f.registry.setValue(kPathKey, "PATH", REG_SZ_TYPE, QByteArray(2000, 'x')); },
         true},
        {"the program does not start",
         [](test::FakeSeams& f) {
             f.registry.setValue(kPathKey, "PATH", REG_SZ_TYPE, QByteArray("/no/such/msinfo32"));
             f.shell.startSucceeds = false;
         },
         false},
        {"the key may not be opened at all",
         [&](test::FakeSeams& f) {
             f.registry.setValue(kPathKey, "PATH", REG_SZ_TYPE, QByteArray("/x"));
             f.registry.deniedAccessMask = platform::KEY_QUERY_VALUE_ACCESS;
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::FakeSeams fakes;
        c.arrange(fakes);
        StartSysInfo(fakes);
        EXPECT_EQ(fakes.messageBox.texts(), QStringList{kUnavailable});
        if (fakes.shell.startSucceeds) {
            EXPECT_TRUE(fakes.shell.started.isEmpty());
        }
        bool secondRead = false;
        for (const auto& o : fakes.registry.opens)
            secondRead = secondRead || o.subKey == kFolderKey;
        EXPECT_EQ(secondRead, c.readsSecondLocation);
        expectAllClosed(fakes.registry);
    }
}

TEST(StartSysInfo, OnThisPlatformTheRegistryFindsNothing)
{
    test::FakeSeams fakes;
    platform::qt::NoRegistry none;
    fakes.Seams::registry = &none;
    StartSysInfo(fakes);
    EXPECT_EQ(fakes.messageBox.texts(), QStringList{kUnavailable});
    EXPECT_TRUE(fakes.shell.started.isEmpty());
}
