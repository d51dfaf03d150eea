// The text conversions shared by start-up and the options dialog, the four report texts, and
// the path helper.
#include "core/Error.h"
#include "core/Paths.h"
#include "core/Conversions.h"
#include "startup/ErrorReports.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"

#include <QFileInfo>

#include <gtest/gtest.h>

using namespace bf;

TEST(Conversions, TextToBoolean)
{
    for (const char* text : {"0", " 0", "0.0", "false", "False", "FALSE", "-0"})
        EXPECT_FALSE(CBool(text)) << text;
    for (const char* text : {"1", "-1", "2", "1.5", " 1 ", "True", "TRUE", "true", "+1", "1e3"})
        EXPECT_TRUE(CBool(text)) << text;
    for (const char* text : {"", "yes", "on", "1x", "1 2", " ", "T", "True1"}) {
        try {
            CBool(text);
            ADD_FAILURE() << "no type mismatch for \"" << text << '"';
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), 13) << text;
            EXPECT_EQ(e.description(), "Type mismatch");
        }
    }
}

TEST(Conversions, NumericTest)
{
    for (const char* text : {"1", "01", " 1", "1 ", "1.0", "+1", "-2", ".5", "1e2", "\t3"})
        EXPECT_TRUE(IsNumeric(text)) << text;
    for (const char* text : {"", " ", "True", "1x", "1 2", "--1", "1..0", "e5", "0x10"})
        EXPECT_FALSE(IsNumeric(text)) << text;
    EXPECT_EQ(parseNumber(" 01 ").value_or(-1), 1.0);
}

TEST(Reports, FormatsAreExactAndEndWithoutLineBreak)
{
    EXPECT_EQ(procedureReportText(53, "File not found", "InitToolbar"),
              "Err Number: 53\r\nErr Description: File not found\r\nErr Proc: InitToolbar");
    EXPECT_EQ(startupReportText(-2147221005, "Invalid class string"),
              "Err Number: -2147221005\r\nErr Description: Invalid class string");
    EXPECT_EQ(folderReportText(76, "Path not found", "/data/in"),
              "Error Number: 76\r\n Error Description: Path not found\r\nError Folder Name: /data/in");
    EXPECT_EQ(fileReportText(1004, "the workbook is password-protected", "/a/b.xls"),
              "Error Number: 1004\r\n Error Description: the workbook is password-protected\r\nError File Name: /a/b.xls");
}

TEST(Reports, HandlersShowOneBoxPerFailureWithTheirName)
{
    test::FakeSeams seams;
    EXPECT_FALSE(trapProcedure(seams, "lmnuAbout_Click", [] { throw Error(-5, "negative"); }));
    EXPECT_FALSE(trapProcedure(seams, "mnuSplit_Click", [] { throw std::runtime_error("plain failure"); }));
    EXPECT_TRUE(trapProcedure(seams, "mnuSplit_Click", [] {}));
    ASSERT_EQ(seams.messageBox.shown.size(), 2u);
    EXPECT_EQ(seams.messageBox.shown[0].text, "Err Number: -5\r\nErr Description: negative\r\nErr Proc: lmnuAbout_Click");
    EXPECT_EQ(seams.messageBox.shown[0].buttons, platform::MsgButtons::Ok);
    EXPECT_EQ(seams.messageBox.shown[1].text,
              "Err Number: 51\r\nErr Description: plain failure\r\nErr Proc: mnuSplit_Click");
}

TEST(PathHelpers, AppendBackslashAndBrowseFolder)
{
    EXPECT_EQ(AppendBackslash("/data/out"), "/data/out/");
    EXPECT_EQ(AppendBackslash("/data/out/"), "/data/out/");
    EXPECT_EQ(AppendBackslash("/"), "/");
    EXPECT_EQ(AppendBackslash(""), "/");

    test::FakeSeams seams;
    seams.folderChooser.answers = {"/data"};
    EXPECT_EQ(seams.browseFolder("Please select output folder"), "/data");
    EXPECT_EQ(seams.browseFolder("Add all Excel files in the folder"), ""); // cancelled
    EXPECT_EQ(seams.folderChooser.prompts,
              (QStringList{"Please select output folder", "Add all Excel files in the folder"}));
}

TEST(PathHelpers, FilesBesideTheProgramAreFoundWithoutRegardToCase)
{
    test::FakeSeams seams;
    test::TempDir dir;
    dir.write("Icon/Add.ICO", "x");
    seams.appInfo.folder = dir.path();
    EXPECT_EQ(platform::resolveBesideProgram(seams, "\\ICON\\add.ico"), dir.path() + "/Icon/Add.ICO");
    EXPECT_EQ(platform::resolveBesideProgram(seams, "/Icon/Add.ICO"), dir.path() + "/Icon/Add.ICO");
    EXPECT_FALSE(QFileInfo::exists(platform::resolveBesideProgram(seams, "/Icon/Missing.ico")));
}
