// The options dialog: what it reads and stores, its buttons and keys, its failures.
#include "ui/frmOptions.h"
#include "WindowTestSupport.h"

#include <QCheckBox>
#include <QGroupBox>
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

TEST(OptionsDialog, TheLinkChoiceIsReadAndStoredUnderItsKeyInsideTheFrame)
{
    test::WindowEnvironment env({"DisplayExcel=0", "DisplayExcelAlerts=0", "BreakLinks=1"});
    frmOptions dialog(env.context);
    dialog.show();
    EXPECT_TRUE(dialog.chkBreakLinks->isChecked());
    EXPECT_TRUE(dialog.FrameOption->rect().contains(dialog.chkBreakLinks->geometry()));
    EXPECT_FALSE(dialog.chkBreakLinks->geometry().intersects(dialog.chkDisplayExcelAlerts->geometry()));
    tick(dialog.chkBreakLinks);
    QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);
    EXPECT_EQ(env.config.value("BreakLinks"), QStringLiteral("0"));
}
