#pragma once
// The options dialog: two check boxes for how the spreadsheet application is shown, read from
// and written to the configuration store. It never touches the running application: the values
// take effect at the next start.
#include "startup/AppContext.h"

#include <QDialog>
#include <cstdint>

class QCheckBox;
class QGroupBox;
class QPushButton;

namespace bf::ui {

class frmOptions : public QDialog {
    Q_OBJECT

public:
    // Builds the dialog and runs Form_Load; a failing load throws (the caller reports it and
    // shows nothing).
    explicit frmOptions(const AppContext& context, QWidget* parent = nullptr);

    QGroupBox* FrameOption = nullptr;
    QCheckBox* chkDisplayExcel = nullptr;
    QCheckBox* chkDisplayExcelAlerts = nullptr;
    QCheckBox* chkDecryptOutputs = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdApply = nullptr;

    // The check state a stored text stands for: 1 when it is numeric with the value 1, else 0.
    static int CheckStateFor(const QString& storedText);

    void Form_Load();
    void LoadCheckBoxSetting(QCheckBox* checkBox, const QString& key);
    void SaveSettings();

    void cmdApply_Click();
    void cmdOK_Click();
    void cmdCancel_Click();

public Q_SLOTS:
    // Esc and the close box: the same as Cancel.
    void reject() override;

private:
    const AppContext& context_;
};

} // namespace bf::ui
