#pragma once
// The password of a protected workbook, asked when Add File or Add Folder meets one that the
// passwords known do not open: masked, naming the workbook; Cancel skips that workbook.
#include "automation/Keyring.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace bf::ui {

class PasswordDialog : public QDialog {
public:
    PasswordDialog(const QString& path, automation::PasswordError::Why why, QWidget* parent);
    // The answer when OK was pressed; the field is cleared.
    automation::PasswordAnswer takeAnswer();

private:
    QLabel* prompt_;
    QLineEdit* password_;
    QCheckBox* tryOnOthers_;
};

// The asker of a keyring: the dialog over parent.
automation::Keyring::Asker passwordDialogAsker(QWidget* parent);

} // namespace bf::ui
