#include "ui/frmOptions.h"

#include "automation/SpreadsheetApplication.h"
#include "core/Error.h"
#include "core/Conversions.h"
#include "startup/ErrorReports.h"
#include "startup/clsSetting.h"
#include "ui/Twips.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QScreen>

namespace bf::ui {

frmOptions::frmOptions(const AppContext& context, QWidget* parent) : QDialog(parent), context_(context)
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Options"));
    // Fixed single border, neither minimize nor maximize box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(twipsToPxX(*this, 5055), twipsToPxY(*this, 3540));

    FrameOption = new QGroupBox(this);
    FrameOption->setObjectName(QStringLiteral("FrameOption"));
    FrameOption->setGeometry(twipsRect(*this, 480, 360, 4095, 2175));

    chkDisplayExcel = new QCheckBox(QStringLiteral("Display Excel"), FrameOption);
    chkDisplayExcel->setObjectName(QStringLiteral("chkDisplayExcel"));
    chkDisplayExcel->setGeometry(twipsRect(*this, 480, 600, 3375, 375));
    chkDisplayExcelAlerts = new QCheckBox(QStringLiteral("Display Excel Alerts"), FrameOption);
    chkDisplayExcelAlerts->setObjectName(QStringLiteral("chkDisplayExcelAlerts"));
    chkDisplayExcelAlerts->setGeometry(twipsRect(*this, 480, 1200, 3135, 375));

    // Off: the sheets of a password-protected workbook are saved with its password.
    chkDecryptOutputs = new QCheckBox(QStringLiteral("Remove passwords from outputs"), FrameOption);
    chkDecryptOutputs->setObjectName(QStringLiteral("chkDecryptOutputs"));
    chkDecryptOutputs->setGeometry(twipsRect(*this, 480, 1800, 3500, 375));

    auto button = [this](const char* name, const char* caption, double left) {
        auto* b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(twipsRect(*this, left, 2895, 1095, 375));
        // No default button: Enter presses nothing.
        b->setAutoDefault(false);
        b->setDefault(false);
        return b;
    };
    cmdOK = button("cmdOK", "OK", 930);
    cmdCancel = button("cmdCancel", "Cancel", 2160);
    cmdApply = button("cmdApply", "Apply", 3360);
    connect(cmdOK, &QPushButton::clicked, this, &frmOptions::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmOptions::cmdCancel_Click);
    connect(cmdApply, &QPushButton::clicked, this, &frmOptions::cmdApply_Click);

    setTabOrder(cmdOK, cmdCancel);
    setTabOrder(cmdCancel, cmdApply);
    setTabOrder(cmdApply, FrameOption);
    setTabOrder(FrameOption, chkDisplayExcelAlerts);
    setTabOrder(chkDisplayExcelAlerts, chkDisplayExcel);
    setTabOrder(chkDisplayExcel, chkDecryptOutputs);

    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());

    // The dialog opens with the focus on OK.
    cmdOK->setFocus();
    Form_Load();
}

int frmOptions::CheckStateFor(const QString& storedText)
{
    const std::optional<double> value = parseNumber(storedText);
    return value && *value == 1.0 ? 1 : 0;
}

void frmOptions::Form_Load()
{
    LoadCheckBoxSetting(chkDisplayExcel, QStringLiteral("DisplayExcel"));
    LoadCheckBoxSetting(chkDisplayExcelAlerts, QStringLiteral("DisplayExcelAlerts"));
    LoadCheckBoxSetting(chkDecryptOutputs, QStringLiteral("DecryptOutputs"));
}

void frmOptions::LoadCheckBoxSetting(QCheckBox* checkBox, const QString& key)
{
    QString text;
    context_.store().GetSetting(key, text); // a missing key leaves the text empty
    checkBox->setChecked(CheckStateFor(text) == 1);
}

void frmOptions::SaveSettings()
{
    clsSetting& s = context_.store();
    // A key missing from the file stores nothing, and that is not reported.
    s.SetSetting(QStringLiteral("DisplayExcel"), chkDisplayExcel->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    s.SetSetting(QStringLiteral("DisplayExcelAlerts"),
                 chkDisplayExcelAlerts->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    // Takes effect at once: the next split writes its outputs so.
    s.SetSetting(QStringLiteral("DecryptOutputs"), chkDecryptOutputs->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    if (context_.application)
        context_.application->setDecryptOutputs(chkDecryptOutputs->isChecked());
}

void frmOptions::cmdApply_Click()
{
    trapProcedure(context_.seams, QStringLiteral("cmdApply_Click"), [&] { SaveSettings(); });
}

void frmOptions::cmdOK_Click()
{
    trapProcedure(context_.seams, QStringLiteral("cmdOK_Click"), [&] {
        SaveSettings();
        QDialog::accept();
    });
}

void frmOptions::cmdCancel_Click()
{
    trapProcedure(context_.seams, QStringLiteral("cmdCancel_Click"), [&] { QDialog::reject(); });
}

void frmOptions::reject() { cmdCancel_Click(); }

} // namespace bf::ui
