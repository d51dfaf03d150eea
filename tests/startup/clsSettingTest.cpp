// The configuration store against its file format: UTF-16LE with BOM, CRLF, first "=" splits,
// nothing trimmed, last value wins at the first position, one write-back keeping every line.
#include "core/Error.h"
#include "startup/ConfigLocation.h"
#include "startup/clsSetting.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>

using bf::clsSetting;

namespace {

QByteArray utf16(const QString& text, bool bom = true)
{
    QByteArray out;
    if (bom)
        out.append("\xFF\xFE", 2);
    for (QChar c : text) {
        out.append(static_cast<char>(c.unicode() & 0xFF));
        out.append(static_cast<char>(c.unicode() >> 8));
    }
    return out;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

QString value(const clsSetting& s, const QString& key)
{
    QString v = QStringLiteral("<untouched>");
    s.GetSetting(key, v);
    return v;
}

struct StoreTest : ::testing::Test {
    bf::test::FakeSeams seams;
    bf::test::TempDir dir;
    QString write(const QByteArray& bytes) { return dir.write(QStringLiteral("Config.cfg"), bytes); }
};

} // namespace

TEST_F(StoreTest, ReadsKeysExactlyAndWritesThemBackInOrder)
{
    const QByteArray original = utf16(QStringLiteral(
        "A=1\r\n\r\nK=a=b\r\n DisplayExcel = 1 \r\ndisplayexcel=0\r\nUnused=kept\r\n=empty key\r\nNoValue=\r\nA=2\r\n"));
    const QString path = write(original);
    {
        clsSetting s(path, seams);
        EXPECT_TRUE(seams.messageBox.shown.empty());
        EXPECT_EQ(value(s, "A"), "2");           // last value wins
        EXPECT_EQ(value(s, "K"), "a=b");         // only the first "=" separates
        EXPECT_EQ(value(s, " DisplayExcel "), " 1 "); // spaces belong to key and value
        EXPECT_EQ(value(s, "DisplayExcel"), "<untouched>");
        QString unused;
        EXPECT_EQ(s.GetSetting("DisplayExcel", unused), clsSetting::kKeyMissing);
        EXPECT_EQ(value(s, "displayexcel"), "0"); // keys differ by letter case
        EXPECT_EQ(value(s, ""), "empty key");
        EXPECT_EQ(value(s, "NoValue"), "");

        EXPECT_EQ(s.SetSetting("Unused", "changed"), clsSetting::kDone);
        EXPECT_EQ(value(s, "Unused"), "changed"); // seen at once ...
        EXPECT_EQ(s.SetSetting("NotThere", "x"), clsSetting::kKeyMissing);
        // ... but on disk only after the release.
        EXPECT_EQ(readAll(path), original);
    }
    // Only the value that was set changes: empty lines and the earlier A stay.
    EXPECT_EQ(readAll(path), utf16(QStringLiteral(
        "A=1\r\n\r\nK=a=b\r\n DisplayExcel = 1 \r\ndisplayexcel=0\r\nUnused=changed\r\n=empty key\r\nNoValue=\r\nA=2\r\n")));
    EXPECT_TRUE(seams.messageBox.shown.empty());
}

TEST_F(StoreTest, EachEncodingIsReadAndWrittenBackAsItWasWithOnlyTheSetValuesChanged)
{
    struct Case {
        const char* what;
        QByteArray before, after; // the file, and the file once A is set to "é"
    };
    const QByteArray e8 = QString::fromUtf8("é").toUtf8();
    const QByteArray u16 = utf16(QString::fromUtf8("A=1\nB=é=\r\n\r\nA=2"), false);
    const std::vector<Case> cases = {
        {"UTF-8 as a Linux editor saves it", "A=1\nB=" + e8 + "=\n\nA=2\n", "A=1\nB=" + e8 + "=\n\nA=" + e8 + "\n"},
        {"UTF-8 with its mark", "\xEF\xBB\xBF" "A=1\r\nB=" + e8 + "=\r\nA=2", "\xEF\xBB\xBF" "A=1\r\nB=" + e8 + "=\r\nA=" + e8},
        {"UTF-16 without mark, odd last byte", u16 + "\x01", u16.left(u16.size() - 2) + utf16(QString::fromUtf8("é"), false) + "\x01"},
    };
    for (const Case& c : cases) {
        const QString path = write(c.before);
        {
            clsSetting s(path, seams);
            EXPECT_EQ(value(s, "A"), "2") << c.what;
            EXPECT_EQ(value(s, "B"), QString::fromUtf8("é=")) << c.what;
            s.SetSetting("A", QString::fromUtf8("é"));
        }
        EXPECT_EQ(readAll(path), c.after) << c.what;
    }
    EXPECT_TRUE(seams.messageBox.shown.empty()) << seams.messageBox.texts().join('|').toStdString();
}

TEST_F(StoreTest, ManyKeysAreReadInLinearTime)
{
    // 300,000 keys: a store that looked each key up by walking the table ran for half an hour.
    QString text;
    for (int i = 0; i < 300000; ++i)
        text += QStringLiteral("Key%1=%1\r\n").arg(i);
    const QString path = write(utf16(text + QStringLiteral("Key7=last\r\n")));
    clsSetting s(path, seams);
    EXPECT_EQ(s.entries().size(), 300000u);
    EXPECT_EQ(value(s, "Key7"), "last");
    EXPECT_EQ(value(s, "Key299999"), "299999");
}

TEST_F(StoreTest, EmptyFileAndFileWithoutBomAndLoneLineFeeds)
{
    {
        const QString path = write(QByteArray());
        { clsSetting s(path, seams); EXPECT_TRUE(s.entries().empty()); }
        EXPECT_EQ(readAll(path), QByteArray());
    }
    {
        const QString path = write(utf16(QStringLiteral("X=1\nY=2\r\nZ=3"), false));
        clsSetting s(path, seams);
        ASSERT_EQ(s.entries().size(), 3u);
        EXPECT_EQ(value(s, "X"), "1");
        EXPECT_EQ(value(s, "Y"), "2");
        EXPECT_EQ(value(s, "Z"), "3"); // last line without a line end
    }
    EXPECT_TRUE(seams.messageBox.shown.empty());
}

TEST_F(StoreTest, MalformedLineStopsReadingAndNoLineIsLost)
{
    const QByteArray tail = utf16(QStringLiteral("[section]\r\nB=2\r\n   \r\nC=3\r\n"), false);
    const QString path = write(utf16(QStringLiteral("A=1\r\nA=9\r\n")) + tail);
    {
        clsSetting s(path, seams);
        ASSERT_EQ(seams.messageBox.texts(), QStringList{"Can't Read Setting from config file"});
        EXPECT_EQ(value(s, "A"), "9");
        EXPECT_EQ(value(s, "B"), "<untouched>"); // not read
        EXPECT_EQ(s.SetSetting("A", "5"), clsSetting::kDone);
    }
    // The file as it was, with the value in effect changed; the lines after it byte for byte.
    EXPECT_EQ(readAll(path), utf16(QStringLiteral("A=1\r\nA=5\r\n")) + tail);
    EXPECT_EQ(seams.messageBox.shown.size(), 1u);
}

TEST_F(StoreTest, MissingFileIsFileNotFoundForTheCaller)
{
    try {
        clsSetting s(dir.file("absent.cfg"), seams);
        FAIL() << "a missing file must fail the creation";
    } catch (const bf::Error& e) {
        EXPECT_EQ(e.number(), 53);
        EXPECT_EQ(e.description(), "File not found: " + dir.file("absent.cfg"));
    }
    // Anything but a regular file is refused at once; a FIFO would block the start for ever.
    for (const char* name : {"fifo.cfg", "folder.cfg"}) {
        const QString path = dir.file(name);
        ASSERT_EQ(QByteArray(name) == "fifo.cfg" ? ::mkfifo(QFile::encodeName(path), 0600) : ::mkdir(QFile::encodeName(path), 0700), 0);
        try {
            clsSetting s(path, seams);
            ADD_FAILURE() << name;
        } catch (const bf::Error& e) {
            EXPECT_EQ(e.number(), 75);
            EXPECT_TRUE(e.description().contains(path + "' is a ")) << e.description().toStdString();
        }
    }
    EXPECT_TRUE(seams.messageBox.shown.empty());
}

TEST_F(StoreTest, WriteBackFailuresLeaveTheFileAsItWas)
{
    const QByteArray original = utf16(QStringLiteral("A=1\r\n\r\nA=2\r\n"));
    // Read-only attribute: not replaced, even though root could.
    {
        const QString path = write(original);
        {
            clsSetting s(path, seams);
            s.SetSetting("A", "3");
            QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
        }
        EXPECT_EQ(readAll(path), original);
        EXPECT_EQ(seams.messageBox.texts(), QStringList{"Can't Write Setting to config file"});
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    seams.messageBox.shown.clear();
    // Vanished meanwhile: reported, and nothing is recreated.
    {
        const QString path = write(original);
        {
            clsSetting s(path, seams);
            QFile::remove(path);
        }
        EXPECT_FALSE(QFile::exists(path));
        EXPECT_EQ(seams.messageBox.texts(), QStringList{"Can't Write Setting to config file"});
    }
    seams.messageBox.shown.clear();
    // The disk fills half-way: the old file stays whole, no temporary file is left.
    {
        const QString path = write(original);
        {
            clsSetting s(path, seams);
            s.SetSetting("A", "3");
            seams.writeFault.afterBytes = 5;
        }
        seams.writeFault = {};
        EXPECT_EQ(readAll(path), original);
        EXPECT_EQ(seams.messageBox.texts(), QStringList{"Can't Write Setting to config file"});
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Config.cfg"});
    }
    seams.messageBox.shown.clear();
    // A real full disk: the same.
    bf::test::SmallTmpfs disk(16);
    if (!disk.mounted())
        GTEST_SKIP() << disk.why().toStdString();
    QFile file(disk.file("Config.cfg"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(original) == original.size());
    file.close();
    disk.fill();
    {
        clsSetting s(file.fileName(), seams);
        s.SetSetting("A", "3");
    }
    EXPECT_EQ(readAll(file.fileName()), original);
    EXPECT_EQ(seams.messageBox.texts(), QStringList{"Can't Write Setting to config file"});
    EXPECT_EQ(QDir(QFileInfo(file).path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"Config.cfg", "filler"}));
}

TEST_F(StoreTest, WriteBackKeepsTheFileMode)
{
    const QString path = write(utf16(QStringLiteral("A=1\r\n")));
    const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    QFile::setPermissions(path, mode);
    { clsSetting s(path, seams); }
    const auto ownerGroupOther = QFileDevice::Permissions::fromInt(0x7777 & ~0x0700);
    EXPECT_EQ(QFile::permissions(path) & ownerGroupOther, mode);
    EXPECT_TRUE(seams.messageBox.shown.empty());
}

TEST(ConfigLocation, AWritableFolderKeepsItsFileAnInstalledOneIsReadUntilTheUserHasACopy)
{
    bf::test::TempDir dir;
    const QString installed = dir.file("app/Config/Config.cfg");
    const QString user = bf::UserConfigFile(dir.file("xdg"), dir.file("home"));
    EXPECT_EQ(user, dir.file("xdg/brakenfold/Config.cfg"));
    for (const char* xdg : {"", "relative/xdg"})
        EXPECT_EQ(bf::UserConfigFile(xdg, dir.file("home")), dir.file("home/.config/brakenfold/Config.cfg")) << xdg;

    const struct {
        bool folderWritable, userCopyExists;
        QString readFrom, writeTo;
    } cases[] = {
        {true, false, installed, installed},
        {true, true, installed, installed},
        {false, false, installed, user},
        {false, true, user, user},
    };
    for (const auto& c : cases) {
        if (c.userCopyExists)
            dir.write("xdg/brakenfold/Config.cfg", utf16("A=1\r\n"));
        else
            QFile::remove(user);
        const bf::ConfigPaths paths = bf::ChooseConfigPaths(installed, c.folderWritable, user);
        EXPECT_EQ(paths.readFrom, c.readFrom) << c.folderWritable << c.userCopyExists;
        EXPECT_EQ(paths.writeTo, c.writeTo) << c.folderWritable << c.userCopyExists;
    }
}

TEST_F(StoreTest, TheUsersCopyIsMadeAtTheFirstWriteBackAndTheInstalledFileStaysAsItWas)
{
    const QByteArray shipped = utf16("DisplayExcel=0\r\nHomePage=h\r\n");
    dir.write("Config.cfg", shipped);
    const QString user = dir.file("config/brakenfold/Config.cfg");
    {
        clsSetting s(dir.file("Config.cfg"), seams, user);
        s.SetSetting("DisplayExcel", "1");
    }
    EXPECT_TRUE(seams.messageBox.shown.empty()) << seams.messageBox.texts().join("|").toStdString();
    EXPECT_EQ(readAll(dir.file("Config.cfg")), shipped);
    EXPECT_EQ(readAll(user), utf16("DisplayExcel=1\r\nHomePage=h\r\n"));
}
