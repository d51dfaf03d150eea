// The text conversions shared by start-up and the options dialog, and the report texts and boxes.
#include "core/Conversions.h"
#include "core/Error.h"
#include "startup/ErrorReports.h"
#include "support/FakeSeams.h"

#include <gtest/gtest.h>

using namespace bf;

TEST(Conversions, TextToBooleanAndNumber)
{
    enum Boolean { False, True, Mismatch };
    const struct {
        const char* text;
        Boolean boolean;
        bool numeric;
    } cases[] = {
        {"0", False, true}, {" 0", False, true}, {"0.0", False, true}, {"-0", False, true},
        {"false", False, false}, {"FALSE", False, false},
        {"1", True, true}, {"-2", True, true}, {"1.5", True, true}, {" 1 ", True, true}, {"+1", True, true},
        {"1e3", True, true}, {".5", True, true}, {"\t3", True, true}, {"True", True, false}, {"true", True, false},
        {"", Mismatch, false}, {" ", Mismatch, false}, {"yes", Mismatch, false}, {"1x", Mismatch, false},
        {"1 2", Mismatch, false}, {"True1", Mismatch, false}, {"--1", Mismatch, false}, {"1..0", Mismatch, false},
        {"e5", Mismatch, false}, {"0x10", Mismatch, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(IsNumeric(c.text), c.numeric) << c.text;
        try {
            EXPECT_EQ(CBool(c.text), c.boolean == True) << c.text;
            EXPECT_NE(c.boolean, Mismatch) << c.text;
        } catch (const Error& e) {
            EXPECT_EQ(c.boolean, Mismatch) << c.text;
            EXPECT_EQ(e.number(), 13);
        }
    }
    EXPECT_EQ(parseNumber(" 01 ").value_or(-1), 1.0);
}

TEST(Reports, EveryFailureShowsOneBoxNamingItsHandler)
{
    test::FakeSeams seams;
    EXPECT_FALSE(trapProcedure(seams, "lmnuAbout_Click", [] { throw Error(-5, "negative"); }));
    EXPECT_FALSE(trapProcedure(seams, "mnuSplit_Click", [] { throw std::runtime_error("plain failure"); }));
    EXPECT_TRUE(trapProcedure(seams, "mnuSplit_Click", [] {}));
    EXPECT_EQ(seams.messageBox.texts(), (QStringList{"Err Number: -5\r\nErr Description: negative\r\nErr Proc: lmnuAbout_Click",
                                                     "Err Number: 51\r\nErr Description: plain failure\r\nErr Proc: mnuSplit_Click"}));
    EXPECT_EQ(seams.messageBox.shown[0].buttons, platform::MsgButtons::Ok);
}
