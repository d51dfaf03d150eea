// The options dialog: what it reads and stores, its buttons and keys, its failures.
#include "ui/frmOptions.h"
#include "WindowTestSupport.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace bf;
using bf::ui::frmOptions;

namespace {
// A click on the box's indicator, as a user makes it.
void tick(QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2)); }

QString stored(const test::WindowEnvironment& env) { return env.config.value("DisplayExcel") + ',' + env.config.value("DisplayExcelAlerts"); }
} // namespace

TEST(OptionsDialog, OnlyTheNumberOneChecksABoxAndOkStoresWhatIsShownButCreatesNoKey)
{
    for (const char* on : {"1", "01", " 1", "1.0", "+1"})
        EXPECT_EQ(frmOptions::CheckStateFor(QString::fromLatin1(on)), 1) << on;
    for (const char* off : {"", "0", "2", "-1", "True", "1x", "0.5"})
        EXPECT_EQ(frmOptions::CheckStateFor(QString::fromLatin1(off)), 0) << off;
    test::WindowEnvironment env({"DisplayExcel= 1"});
    frmOptions dialog(env.context);
    dialog.show();
    EXPECT_TRUE(dialog.chkDisplayExcel->isChecked() && !dialog.chkDisplayExcelAlerts->isChecked()); // no alerts key
    tick(dialog.chkDisplayExcel);
    tick(dialog.chkDisplayExcelAlerts);
    QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);
    EXPECT_EQ(stored(env), QStringLiteral("0,"));
    EXPECT_EQ(env.config.setting().entries().size(), 1u);
    EXPECT_TRUE(!dialog.isVisible() && dialog.result() == QDialog::Accepted);
}

TEST(OptionsDialog, ApplyStoresWhileCancelEscapeAndTheCloseBoxDoNotAndEnterPressesNothing)
{
    test::WindowEnvironment env({"DisplayExcel=0", "DisplayExcelAlerts=0"});
    env.spreadsheet.setDisplayAlerts(true);
    const std::function<void(frmOptions&)> leave[] = {
        [](frmOptions& d) { QTest::mouseClick(d.cmdCancel, Qt::LeftButton); },
        [](frmOptions& d) { QTest::keyClick(&d, Qt::Key_Escape); },
        [](frmOptions& d) { d.close(); },
    };
    for (const auto& how : leave) {
        frmOptions dialog(env.context);
        dialog.show();
        tick(dialog.chkDisplayExcel);
        QTest::mouseClick(dialog.cmdApply, Qt::LeftButton);
        tick(dialog.chkDisplayExcelAlerts);
        QTest::keyClick(dialog.cmdOK, Qt::Key_Return);
        EXPECT_TRUE(dialog.isVisible());
        how(dialog);
        EXPECT_TRUE(!dialog.isVisible() && dialog.result() == QDialog::Rejected);
        EXPECT_EQ(stored(env), dialog.chkDisplayExcel->isChecked() ? QStringLiteral("1,0") : QStringLiteral("0,0"));
    }
    EXPECT_TRUE(env.spreadsheet.DisplayAlerts()); // the running application is left as it was
    EXPECT_TRUE(env.seams.messageBox.shown.empty());

    // The store gone: each failing button is reported under its own name, and OK stays open.
    frmOptions dialog(env.context);
    dialog.show();
    env.context.setting = nullptr;
    QTest::mouseClick(dialog.cmdApply, Qt::LeftButton);
    QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);
    QStringList reports;
    for (const QString& text : env.seams.messageBox.texts())
        reports << text.section("\r\n", 0, 0) + '|' + text.section("\r\n", -1);
    EXPECT_EQ(reports, (QStringList{"Err Number: 91|Err Proc: cmdApply_Click", "Err Number: 91|Err Proc: cmdOK_Click"}));
    EXPECT_TRUE(dialog.isVisible());
}

// The split's options: read (a file of today has none of their keys: the defaults), the first
// output name previewed as the template is typed, a refused template reported and not stored.
TEST(OptionsDialog, TheSplitOptionsShowTheFirstNameAsTheTemplateIsTypedAndARefusedOneIsNotStored)
{
    test::WindowEnvironment old; // today's keys only
    old.context.clock = [] { return QDateTime(QDate(2008, 7, 23), QTime(9, 5, 7)); };
    frmOptions plain(old.context);
    EXPECT_TRUE(!plain.chkSkipHidden->isChecked() && !plain.chkSkipVeryHidden->isChecked());
    EXPECT_EQ(plain.lblNamePreview->text(), "First file: Sheet1_Splitted_at_2008723957.xls");
    // Its keys are added for a choice other than the default, and only then.
    plain.show();
    tick(plain.chkSkipVeryHidden);
    QTest::mouseClick(plain.cmdApply, Qt::LeftButton);
    EXPECT_EQ(old.config.value("SkipVeryHiddenSheets") + ',' + old.config.value("SkipHiddenSheets"), "1,");
    EXPECT_EQ(old.config.setting().entries().size(), std::size_t(test::standardConfigLines().size() + 1));

    QStringList lines = test::standardConfigLines();
    lines << "SkipHiddenSheets=0" << "SkipVeryHiddenSheets=1" << "OutputNameTemplate={sheet}_Splitted_at_{stamp}";
    test::WindowEnvironment env(lines);
    env.context.clock = old.context.clock;
    frmOptions dialog(env.context);
    dialog.show();
    EXPECT_TRUE(!dialog.chkSkipHidden->isChecked() && dialog.chkSkipVeryHidden->isChecked());
    const struct {
        QString typed;
        QString preview;
    } cases[] = {
        {"{book}-{index}-{sheet}", "First file: Book1-1-Sheet1.xls"},
        {"{Sheet}", "Refused: the file name template \"{Sheet}\" names no field {Sheet}"},
        {"", "Refused: the file name template \"\" gives no file name: the name is empty"},
    };
    for (const auto& c : cases) {
        dialog.txtNameTemplate->clear();
        QTest::keyClicks(dialog.txtNameTemplate, c.typed);
        EXPECT_TRUE(dialog.lblNamePreview->text().startsWith(c.preview)) << dialog.lblNamePreview->text().toStdString();
    }
    tick(dialog.chkSkipHidden);
    QTest::mouseClick(dialog.cmdOK, Qt::LeftButton); // the empty template: refused, nothing stored
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(env.seams.messageBox.texts().value(0).contains("the name is empty"));
    EXPECT_EQ(env.config.value("SkipHiddenSheets") + env.config.value("DisplayExcel"), "00");
    QTest::keyClicks(dialog.txtNameTemplate, "{index}");
    QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(env.config.value("SkipHiddenSheets") + ',' + env.config.value("OutputNameTemplate"), "1,{index}");
}
