// The password dialog of Add File and Add Folder, driven offscreen on real protected workbooks:
// a wrong password asks again, a password may be tried on the workbooks added after, and Cancel
// skips the workbook without a row or a message.
#include "automation/BackendPlugin.h"
#include "book/Unlock.h"
#include "startup/AppContext.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"
#include "support/TestPaths.h"
#include "tasklist/InMemoryTaskRows.h"
#include "tasklist/TaskListCommands.h"
#include "ui/PasswordDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <gtest/gtest.h>

using namespace bf;

namespace {

// Answers each password dialog that opens with the next of the answers ("" cancels) and
// records what it said.
class DialogDriver {
public:
    struct Answer {
        QString password;
        bool tryOnOthers = false;
    };
    explicit DialogDriver(std::vector<Answer> answers) : answers_(std::move(answers))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] { answer(); });
        timer_.start(10);
    }
    QStringList prompts;

private:
    void answer()
    {
        auto* dialog = dynamic_cast<ui::PasswordDialog*>(QApplication::activeModalWidget());
        if (!dialog || answers_.empty())
            return;
        const Answer a = answers_.front();
        answers_.erase(answers_.begin());
        prompts << dialog->findChild<QLabel*>(QStringLiteral("lblPrompt"))->text();
        auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("txtPassword"));
        EXPECT_EQ(field->echoMode(), QLineEdit::Password);
        if (a.password.isEmpty()) {
            dialog->reject();
            return;
        }
        field->setText(a.password);
        dialog->findChild<QCheckBox*>(QStringLiteral("chkTryOnOthers"))->setChecked(a.tryOnOthers);
        dialog->accept();
    }
    std::vector<Answer> answers_;
    QTimer timer_;
};

} // namespace

TEST(PasswordDialog, AsksUntilRightOffersThePasswordToTheRestAndCancelSkipsTheWorkbook)
{
    test::TempDir dir;
    const QByteArray plain = test::readFile(test::corpusFile("xlsx/poi--55906-multisheetrefs.xlsx"));
    const auto protect = [&](const QString& name, const QString& password) {
        return dir.write(name, book::protectWorkbook(plain, {book::FileKind::EncryptedOpenXml, password}, name));
    };
    const QString first = protect("first.xlsx", "Geheim ✓"), second = protect("second.xlsx", "Geheim ✓"),
                  other = protect("other.xlsx", "anders");

    test::FakeSeams seams;
    auto app = automation::Backends().create(QString(), seams);
    automation::Keyring keyring;
    keyring.setAsker(ui::passwordDialogAsker(nullptr));
    AppContext context(seams);
    context.application = app.get();
    context.keyring = &keyring;
    tasklist::InMemoryTaskRows rows;

    DialogDriver driver({{"wrong"}, {"Geheim ✓", true}, {""}});
    tasklist::UpdateListView(context, rows, first);
    const int listed = rows.rowCount();
    EXPECT_EQ(listed, 3);
    tasklist::UpdateListView(context, rows, second); // the password offered to the rest: not asked
    EXPECT_EQ(rows.rowCount(), 2 * listed);
    tasklist::UpdateListView(context, rows, other); // cancelled
    EXPECT_EQ(rows.rowCount(), 2 * listed);
    EXPECT_TRUE(seams.messageBox.shown.empty()) << seams.messageBox.texts().join('\n').toStdString();
    ASSERT_EQ(driver.prompts.size(), 3);
    EXPECT_EQ(driver.prompts[0], "'first.xlsx' is password-protected. Enter its password:");
    EXPECT_TRUE(driver.prompts[1].startsWith("Wrong password. 'first.xlsx'"));
    EXPECT_TRUE(driver.prompts[2].contains("'other.xlsx'"));
}
