#include "ui/PasswordDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace bf::ui {

PasswordDialog::PasswordDialog(const QString& path, automation::PasswordError::Why why, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmPassword"));
    setWindowTitle(QStringLiteral("Password"));
    const QString name = QFileInfo(path).fileName();
    const QString lead = why == automation::PasswordError::Why::Wrong ? QStringLiteral("Wrong password. ") : QString();
    prompt_ = new QLabel(lead + QStringLiteral("'%1' is password-protected. Enter its password:").arg(name), this);
    prompt_->setObjectName(QStringLiteral("lblPrompt"));
    prompt_->setToolTip(path);
    password_ = new QLineEdit(this);
    password_->setObjectName(QStringLiteral("txtPassword"));
    password_->setEchoMode(QLineEdit::Password);
    tryOnOthers_ = new QCheckBox(QStringLiteral("Try this password on the other workbooks added"), this);
    tryOnOthers_->setObjectName(QStringLiteral("chkTryOnOthers"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt_);
    layout->addWidget(password_);
    layout->addWidget(tryOnOthers_);
    layout->addWidget(buttons);
    password_->setFocus();
}

automation::PasswordAnswer PasswordDialog::takeAnswer()
{
    automation::PasswordAnswer answer{password_->text(), tryOnOthers_->isChecked()};
    password_->clear();
    return answer;
}

automation::Keyring::Asker passwordDialogAsker(QWidget* parent)
{
    return [parent](const QString& path, automation::PasswordError::Why why) -> std::optional<automation::PasswordAnswer> {
        PasswordDialog dialog(path, why, parent);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.takeAnswer();
    };
}

} // namespace bf::ui
