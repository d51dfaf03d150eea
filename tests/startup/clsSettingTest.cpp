// The configuration store against its file: keys read exactly, one write-back that changes only
// the values set, every encoding kept, and no failure costing the file.
#include "core/Error.h"
#include "startup/ConfigLocation.h"
#include "startup/clsSetting.h"
#include "support/ConfigFixture.h"
#include "support/FakeSeams.h"

#include <QDir>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

using bf::clsSetting;
using bf::test::readFile;
using bf::test::utf16le;

namespace {
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

TEST_F(StoreTest, ReadsKeysExactlyAndWritesBackOnlyTheValuesSetAsTheFileWas)
{
    const QString text = "A=1\r\n\r\nK=a=b\n Key = 1 \r\nkey=0\r\nB=%1\r\n=empty key\nNoValue=\r\nA=2";
    const std::pair<const char*, std::function<QByteArray(const QString&)>> encodings[] = {
        {"UTF-16 with its mark", [](const QString& t) { return utf16le(t); }},
        {"UTF-16 without mark, odd last byte", [](const QString& t) { return utf16le(t, false) + '\x01'; }},
        {"UTF-8", [](const QString& t) { return t.toUtf8(); }},
        {"UTF-8 with its mark", [](const QString& t) { return "\xEF\xBB\xBF" + t.toUtf8(); }}};
    const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    for (const auto& [what, encode] : encodings) {
        SCOPED_TRACE(what);
        const QString path = write(encode(text.arg("1")));
        QFile::setPermissions(path, mode);
        {
            clsSetting s(path, seams);
            EXPECT_EQ(value(s, "A"), "2");       // last value wins
            EXPECT_EQ(value(s, "K"), "a=b");     // only the first "=" separates
            EXPECT_EQ(value(s, " Key "), " 1 "); // spaces belong to key and value
            EXPECT_EQ(value(s, "Key"), "<untouched>");
            EXPECT_EQ(value(s, "key"), "0"); // keys differ by letter case
            EXPECT_EQ(value(s, ""), "empty key");
            EXPECT_EQ(value(s, "NoValue"), "");
            EXPECT_EQ(s.SetSetting("B", QString::fromUtf8("é")), clsSetting::kDone);
            EXPECT_EQ(value(s, "B"), QString::fromUtf8("é"));
            EXPECT_EQ(s.SetSetting("NotThere", "x"), clsSetting::kKeyMissing);
            EXPECT_EQ(readFile(path), encode(text.arg("1"))); // on disk only at the release
        }
        EXPECT_EQ(readFile(path), encode(text.arg(QString::fromUtf8("é"))));
        EXPECT_EQ(QFile::permissions(path) & QFileDevice::Permissions::fromInt(0x7077), mode);
    }
    EXPECT_TRUE(seams.messageBox.shown.empty()) << seams.messageBox.texts().join('|').toStdString();
}

TEST_F(StoreTest, MalformedLineStopsReadingAndNoLineIsLost)
{
    const QByteArray tail = utf16le("[section]\r\nB=2\r\n   \r\nC=3\r\n", false);
    const QString path = write(utf16le("A=1\r\nA=9\r\n") + tail);
    {
        clsSetting s(path, seams);
        EXPECT_EQ(seams.messageBox.texts(), QStringList{"Can't Read Setting from config file"});
        EXPECT_EQ(value(s, "A"), "9");
        EXPECT_EQ(value(s, "B"), "<untouched>");
        s.SetSetting("A", "5");
    }
    EXPECT_EQ(readFile(path), utf16le("A=1\r\nA=5\r\n") + tail);
    EXPECT_EQ(seams.messageBox.shown.size(), 1u);
}

TEST_F(StoreTest, MissingFileOrNoRegularFileFailsTheCreation)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.file("fifo")), 0600), 0); // would block the start for ever
    ASSERT_TRUE(QDir().mkpath(dir.file("folder")));
    const std::pair<const char*, QString> cases[] = {{"absent", "53 File not found: " + dir.file("absent")},
                                                     {"fifo", "75 '" + dir.file("fifo") + "' is a FIFO"},
                                                     {"folder", "75 '" + dir.file("folder") + "' is a folder"}};
    for (const auto& [name, error] : cases) {
        try {
            clsSetting s(dir.file(name), seams);
            ADD_FAILURE() << name;
        } catch (const bf::Error& e) {
            EXPECT_TRUE((QString::number(e.number()) + ' ' + e.description()).startsWith(error)) << name;
        }
    }
    EXPECT_TRUE(seams.messageBox.shown.empty());
}

TEST_F(StoreTest, WriteBackFailuresLeaveTheFileAsItWas)
{
    const QByteArray original = utf16le("A=1\r\n\r\nA=2\r\n");
    bf::test::SmallTmpfs disk(16);
    const struct {
        const char* what;
        QString path;
        std::function<void(const QString& path)> arrange;
    } cases[] = {
        {"read-only, though root could write it", dir.file("Config.cfg"),
         [](const QString& path) { QFile::setPermissions(path, QFileDevice::ReadOwner); }},
        {"vanished: not made again", dir.file("Config.cfg"), [](const QString& path) { QFile::remove(path); }},
        {"the disk fills half-way", dir.file("Config.cfg"), [&](const QString&) { seams.writeFault.afterBytes = 5; }},
        {"a real full disk", disk.file("Config.cfg"), [&](const QString&) { disk.fill(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.path == disk.file("Config.cfg") && !disk.mounted())
            GTEST_SKIP() << disk.why().toStdString();
        QFile file(c.path);
        file.remove();
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(original) == original.size());
        file.close();
        seams.messageBox.shown.clear();
        {
            clsSetting s(c.path, seams);
            s.SetSetting("A", "3");
            c.arrange(c.path);
        }
        seams.writeFault = {};
        EXPECT_EQ(readFile(c.path), file.exists() ? original : QByteArray());
        EXPECT_EQ(seams.messageBox.texts(), QStringList{"Can't Write Setting to config file"});
        const QStringList left = QDir(QFileInfo(c.path).path()).entryList(QDir::Files | QDir::Hidden);
        EXPECT_TRUE(left.filter(".bf-").isEmpty()) << left.join(',').toStdString(); // no temporary file
    }
}

TEST_F(StoreTest, AnInstalledFileIsReadUntilTheUserHasACopyMadeAtTheFirstWriteBack)
{
    const QString installed = write(utf16le("DisplayExcel=0\r\nHomePage=h\r\n"));
    const QString user = bf::UserConfigFile(dir.file("xdg"), dir.file("home"));
    EXPECT_EQ(user, dir.file("xdg/brakenfold/Config.cfg"));
    EXPECT_EQ(bf::UserConfigFile("relative", dir.file("home")), dir.file("home/.config/brakenfold/Config.cfg"));
    for (bool writable : {true, false}) // a folder its user may write keeps its own file
        EXPECT_EQ(bf::ChooseConfigPaths(installed, writable, user).writeTo, writable ? installed : user);
    EXPECT_EQ(bf::ChooseConfigPaths(installed, false, user).readFrom, installed);
    {
        clsSetting s(installed, seams, user);
        s.SetSetting("DisplayExcel", "1");
    }
    EXPECT_EQ(bf::ChooseConfigPaths(installed, false, user).readFrom, user);
    EXPECT_EQ(bf::ChooseConfigPaths(installed, true, user).readFrom, installed);
    EXPECT_TRUE(seams.messageBox.shown.empty()) << seams.messageBox.texts().join("|").toStdString();
    EXPECT_EQ(readFile(installed), utf16le("DisplayExcel=0\r\nHomePage=h\r\n"));
    EXPECT_EQ(readFile(user), utf16le("DisplayExcel=1\r\nHomePage=h\r\n"));
}

// A key an earlier file lacks is added as a new last line in the file's own encoding, read back
// at the next start; a file whose reading stopped early, or that ends in half a character, gets none.
TEST_F(StoreTest, AnAddedKeyBecomesTheFilesNewLastLineReadBackNextTime)
{
    const struct {
        const char* what;
        QByteArray before, after;
        std::int32_t result;
    } cases[] = {
        {"UTF-16, last line ended", utf16le("A=1\r\n"), utf16le("A=1\r\nNew=x y\r\n"), clsSetting::kDone},
        {"UTF-16, last line open", utf16le("A=1"), utf16le("A=1\r\nNew=x y\r\n"), clsSetting::kDone},
        {"UTF-8, LF lines", "A=1\n", "A=1\nNew=x y\r\n", clsSetting::kDone},
        {"UTF-8 mark only", "\xEF\xBB\xBF", "\xEF\xBB\xBFNew=x y\r\n", clsSetting::kDone},
        {"key present", "New=1\r\n", "New=1\r\n", clsSetting::kKeyMissing},
        {"stopped at a line without =", "A=1\r\nbroken\r\n", "A=1\r\nbroken\r\n", clsSetting::kKeyMissing},
        {"half a character", utf16le("A=1\r\n", false) + '\x01', utf16le("A=1\r\n", false) + '\x01', clsSetting::kKeyMissing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = write(c.before);
        {
            clsSetting s(path, seams);
            EXPECT_EQ(s.AppendSetting("New", "x y"), c.result);
            if (c.result == clsSetting::kDone) {
                EXPECT_EQ(value(s, "New"), "x y");
            }
        }
        EXPECT_EQ(readFile(path), c.after);
        if (c.result == clsSetting::kDone) {
            clsSetting again(path, seams);
            EXPECT_EQ(value(again, "New"), "x y");
        }
    }
}
