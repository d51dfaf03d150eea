// The options dialog's load and store rules, its buttons and keys, and its layout.
#include "ui/frmMain.h"
#include "ui/frmOptions.h"
#include "WindowTestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace bf;
using bf::ui::frmOptions;

namespace {
// A click on the box's indicator, as a user makes it.
void tick(QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(8, box->height() / 2)); }

QStringList optionLines(const QString& displayExcel, const QString& alerts)
{
    QStringList lines{QStringLiteral("DisplayExcel=") + displayExcel};
    if (!alerts.isNull())
        lines << QStringLiteral("DisplayExcelAlerts=") + alerts;
    return lines;
}
} // namespace

TEST(OptionsDialog, StoredTextChecksTheBoxOnlyForTheNumberOne)
{
    for (const char* on : {"1", "01", " 1", "1.0", "+1"})
        EXPECT_EQ(frmOptions::CheckStateFor(QString::fromLatin1(on)), 1) << on;
    for (const char* off : {"", "0", "2", "-1", "True", "true", "1x", "0.5"})
        EXPECT_EQ(frmOptions::CheckStateFor(QString::fromLatin1(off)), 0) << off;

    test::FakeSeams seams;
    AppContext context(seams);
    test::InstalledConfig config(context, optionLines(QStringLiteral(" 1"), QStringLiteral("True")));
    frmOptions dialog(context);
    EXPECT_TRUE(dialog.chkDisplayExcel->isChecked());
    EXPECT_FALSE(dialog.chkDisplayExcelAlerts->isChecked());
    // A stored "True" opens unchecked, and OK then stores "0".
    QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);
    EXPECT_EQ(config.value(QStringLiteral("DisplayExcel")), QStringLiteral("1"));
    EXPECT_EQ(config.value(QStringLiteral("DisplayExcelAlerts")), QStringLiteral("0"));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(OptionsDialog, ApplyStoresCancelAndEscapeDoNotAndEnterPressesNothing)
{
    test::FakeSeams seams;
    AppContext context(seams);
    test::InstalledConfig config(context, optionLines(QStringLiteral("0"), QStringLiteral("0")));
    test::FakeSpreadsheet running;
    running.setVisible(false);
    running.setDisplayAlerts(true);
    context.application = &running;
    {
        frmOptions dialog(context);
        dialog.show();
        tick(dialog.chkDisplayExcel);
        QTest::mouseClick(dialog.cmdApply, Qt::LeftButton);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(config.value(QStringLiteral("DisplayExcel")), QStringLiteral("1"));
        tick(dialog.chkDisplayExcelAlerts);
        // Enter on the focused OK button does nothing: there is no default button.
        dialog.cmdOK->setFocus();
        QTest::keyClick(dialog.cmdOK, Qt::Key_Return);
        EXPECT_TRUE(dialog.isVisible());
        QTest::mouseClick(dialog.cmdCancel, Qt::LeftButton);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    EXPECT_EQ(config.value(QStringLiteral("DisplayExcel")), QStringLiteral("1"));
    EXPECT_EQ(config.value(QStringLiteral("DisplayExcelAlerts")), QStringLiteral("0"));
    {
        frmOptions dialog(context);
        dialog.show();
        EXPECT_TRUE(dialog.chkDisplayExcel->isChecked());
        tick(dialog.chkDisplayExcelAlerts);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        EXPECT_FALSE(dialog.isVisible());
    }
    EXPECT_EQ(config.value(QStringLiteral("DisplayExcelAlerts")), QStringLiteral("0"));
    {
        // The close box behaves like Cancel.
        frmOptions dialog(context);
        dialog.show();
        tick(dialog.chkDisplayExcel);
        dialog.close();
        EXPECT_EQ(config.value(QStringLiteral("DisplayExcel")), QStringLiteral("1"));
    }
    // The running application is left as it was.
    EXPECT_FALSE(running.Visible());
    EXPECT_TRUE(running.DisplayAlerts());
    EXPECT_TRUE(seams.messageBox.shown.empty());
}

TEST(OptionsDialog, AMissingKeyOpensUncheckedAndIsNotCreated)
{
    test::FakeSeams seams;
    AppContext context(seams);
    test::InstalledConfig config(context, optionLines(QStringLiteral("1"), QString()));
    frmOptions dialog(context);
    EXPECT_FALSE(dialog.chkDisplayExcelAlerts->isChecked());
    dialog.chkDisplayExcel->setChecked(false);
    dialog.chkDisplayExcelAlerts->setChecked(true);
    dialog.cmdOK_Click();
    EXPECT_EQ(config.value(QStringLiteral("DisplayExcel")), QStringLiteral("0"));
    ASSERT_EQ(config.setting().entries().size(), 1u);
    EXPECT_TRUE(seams.messageBox.shown.empty());
}

TEST(OptionsDialog, LayoutCaptionsAndTabOrder)
{
    test::FakeSeams seams;
    AppContext context(seams);
    test::InstalledConfig config(context, optionLines(QStringLiteral("0"), QStringLiteral("0")));
    frmOptions d(context);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Options"));
    EXPECT_FALSE(d.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(d.minimumSize(), d.maximumSize());
    EXPECT_NEAR(d.width() * 1440.0 / d.logicalDpiX(), 5055, 15);
    EXPECT_NEAR(d.height() * 1440.0 / d.logicalDpiY(), 3540, 15);
    EXPECT_EQ(d.chkDisplayExcel->text(), QStringLiteral("Display Excel"));
    EXPECT_EQ(d.chkDisplayExcelAlerts->text(), QStringLiteral("Display Excel Alerts"));
    EXPECT_EQ(d.chkDisplayExcel->parentWidget(), d.FrameOption);
    EXPECT_TRUE(d.FrameOption->title().isEmpty());
    EXPECT_EQ(d.cmdOK->text(), QStringLiteral("OK"));
    EXPECT_EQ(d.cmdCancel->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(d.cmdApply->text(), QStringLiteral("Apply"));
    EXPECT_EQ(d.cmdOK->y(), d.cmdApply->y());
    EXPECT_LT(d.cmdOK->x(), d.cmdCancel->x());
    EXPECT_LT(d.cmdCancel->x(), d.cmdApply->x());
    for (QPushButton* b : {d.cmdOK, d.cmdCancel, d.cmdApply})
        EXPECT_FALSE(b->isDefault() || b->autoDefault());
    // Tab goes OK, Cancel, Apply, then into the frame: the alerts box before the other.
    auto nextTabStop = [](QWidget* from) {
        QWidget* w = from->nextInFocusChain();
        while (w != from && !(w->focusPolicy() & Qt::TabFocus))
            w = w->nextInFocusChain();
        return w;
    };
    EXPECT_EQ(nextTabStop(d.cmdOK), d.cmdCancel);
    EXPECT_EQ(nextTabStop(d.cmdCancel), d.cmdApply);
    EXPECT_EQ(nextTabStop(d.cmdApply), d.chkDisplayExcelAlerts);
    EXPECT_EQ(nextTabStop(d.chkDisplayExcelAlerts), d.chkDisplayExcel);
    // Shown, the dialog has the focus on OK.
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    EXPECT_EQ(QApplication::focusWidget(), d.cmdOK);
}

TEST(OptionsDialog, SettingsCommandShowsFreshlyLoadedValuesEachTime)
{
    test::WindowEnvironment env(
        QStringList(test::standardConfigLines()));
    ui::frmMain w(env.context);
    int shown = 0;
    w.dialogPresenter = [&](QDialog& d) {
        auto& options = dynamic_cast<frmOptions&>(d);
        ++shown;
        EXPECT_EQ(options.chkDisplayExcel->isChecked(), shown == 2);
        options.chkDisplayExcel->setChecked(true);
        if (shown == 1)
            options.cmdOK_Click();
    };
    w.mnuSettings_Click();
    w.mnuSettings_Click();
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(env.config.value(QStringLiteral("DisplayExcel")), QStringLiteral("1"));
}

TEST(OptionsDialog, AFailingButtonIsReportedUnderItsOwnHandler)
{
    test::FakeSeams seams;
    AppContext context(seams);
    auto config = std::make_unique<test::InstalledConfig>(context, optionLines(QStringLiteral("0"), QStringLiteral("0")));
    frmOptions dialog(context);
    dialog.show();
    config.reset(); // the store is gone: storing fails
    QTest::mouseClick(dialog.cmdApply, Qt::LeftButton);
    QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);
    const QStringList texts = seams.messageBox.texts();
    ASSERT_EQ(texts.size(), 2);
    EXPECT_TRUE(texts[0].startsWith(QStringLiteral("Err Number: 91\r\n")));
    EXPECT_TRUE(texts[0].endsWith(QStringLiteral("\r\nErr Proc: cmdApply_Click")));
    EXPECT_TRUE(texts[1].endsWith(QStringLiteral("\r\nErr Proc: cmdOK_Click")));
    EXPECT_TRUE(dialog.isVisible()); // OK did not close after its failure
    QTest::mouseClick(dialog.cmdCancel, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
}
