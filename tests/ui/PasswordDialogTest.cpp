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

struct Answer {
    QString password; // empty: Cancel
    bool tryOnOthers = false;
};

// Answers each password dialog that opens with the next answer; the prompts it showed.
std::shared_ptr<QStringList> answerDialogs(std::vector<Answer> answers, QTimer& timer)
{
    auto prompts = std::make_shared<QStringList>();
    QObject::connect(&timer, &QTimer::timeout, [answers, prompts]() mutable {
        auto* dialog = dynamic_cast<ui::PasswordDialog*>(QApplication::activeModalWidget());
        if (!dialog || answers.empty())
            return;
        const Answer a = answers.front();
        answers.erase(answers.begin());
        *prompts << dialog->findChild<QLabel*>(QStringLiteral("lblPrompt"))->text();
        auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("txtPassword"));
        EXPECT_EQ(field->echoMode(), QLineEdit::Password);
        field->setText(a.password);
        dialog->findChild<QCheckBox*>(QStringLiteral("chkTryOnOthers"))->setChecked(a.tryOnOthers);
        a.password.isEmpty() ? dialog->reject() : dialog->accept();
    });
    timer.start(10);
    return prompts;
}

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

    QTimer timer;
    const auto prompts = answerDialogs({{"wrong"}, {"Geheim ✓", true}, {""}}, timer);
    tasklist::UpdateListView(context, rows, first);
    const int listed = rows.rowCount();
    EXPECT_EQ(listed, 3);
    tasklist::UpdateListView(context, rows, second); // the password offered to the rest: not asked
    EXPECT_EQ(rows.rowCount(), 2 * listed);
    tasklist::UpdateListView(context, rows, other); // cancelled
    EXPECT_EQ(rows.rowCount(), 2 * listed);
    EXPECT_TRUE(seams.messageBox.shown.empty()) << seams.messageBox.texts().join('\n').toStdString();
    ASSERT_EQ((*prompts).size(), 3);
    EXPECT_EQ((*prompts)[0], "'first.xlsx' is password-protected. Enter its password:");
    EXPECT_TRUE((*prompts)[1].startsWith("Wrong password. 'first.xlsx'"));
    EXPECT_TRUE((*prompts)[2].contains("'other.xlsx'"));
}
