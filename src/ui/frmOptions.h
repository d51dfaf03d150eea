#pragma once
// The options dialog: two check boxes for how the spreadsheet application is shown, read from
// and written to the configuration store, and one for what the copies make of formulas that
// read other sheets. It never touches the running application: the display values take effect
// at the next start, the link choice at the next split.
#include "startup/AppContext.h"
#include "tasklist/TaskRows.h"

#include <QDialog>
#include <cstdint>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace bf::ui {

class frmOptions : public QDialog {
    Q_OBJECT

public:
    // Builds the dialog and runs Form_Load; a failing load throws (the caller reports it and
    // shows nothing).
    // rows: the task list, whose first row the name preview shows (an example without rows).
    explicit frmOptions(const AppContext& context, QWidget* parent = nullptr,
                        const tasklist::TaskRows* rows = nullptr);

    QGroupBox* FrameOption = nullptr;
    QCheckBox* chkDisplayExcel = nullptr;
    QCheckBox* chkDisplayExcelAlerts = nullptr;
    QCheckBox* chkDecryptOutputs = nullptr;
    // The split's options: hidden sheets left out, the output names' template and a preview of
    // the first name it gives.
    QGroupBox* FrameSplit = nullptr;
    QCheckBox* chkSkipHidden = nullptr;
    QCheckBox* chkSkipVeryHidden = nullptr;
    QLineEdit* txtNameTemplate = nullptr;
    QLabel* lblNamePreview = nullptr;
    QCheckBox* chkBreakLinks = nullptr; // values in place of links to other sheets
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdApply = nullptr;

    // The check state a stored text stands for: 1 when it is numeric with the value 1, else 0.
    static int CheckStateFor(const QString& storedText);

    void Form_Load();
    void LoadCheckBoxSetting(QCheckBox* checkBox, const QString& key);
    void SaveSettings();
    // Shows the first output name the typed template gives, or why it is refused.
    void txtNameTemplate_Change();

    void cmdApply_Click();
    void cmdOK_Click();
    void cmdCancel_Click();

public Q_SLOTS:
    // Esc and the close box: the same as Cancel.
    void reject() override;

private:
    void buildSplitFrame();
    // The template's refusal ("" when good), named as a split would name it.
    QString templateRefusal(QString* preview) const;
    const AppContext& context_;
    const tasklist::TaskRows* rows_;
};

} // namespace bf::ui
