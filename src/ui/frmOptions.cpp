#include "ui/frmOptions.h"

#include "automation/SpreadsheetApplication.h"
#include "core/Error.h"
#include "core/Conversions.h"
#include "startup/ErrorReports.h"
#include "startup/clsSetting.h"
#include "split/NameTemplate.h"
#include "split/SplitNaming.h"
#include "split/SplitOptions.h"
#include "ui/Twips.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace bf::ui {

frmOptions::frmOptions(const AppContext& context, QWidget* parent, const tasklist::TaskRows* rows)
    : QDialog(parent), context_(context), rows_(rows)
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Options"));
    // Fixed single border, neither minimize nor maximize box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(twipsToPxX(*this, 5055), twipsToPxY(*this, 6660));

    FrameOption = new QGroupBox(this);
    FrameOption->setObjectName(QStringLiteral("FrameOption"));
    FrameOption->setGeometry(twipsRect(*this, 480, 360, 4095, 2175));

    chkDisplayExcel = new QCheckBox(QStringLiteral("Display Excel"), FrameOption);
    chkDisplayExcel->setObjectName(QStringLiteral("chkDisplayExcel"));
    chkDisplayExcel->setGeometry(twipsRect(*this, 480, 600, 3375, 375));
    chkDisplayExcelAlerts = new QCheckBox(QStringLiteral("Display Excel Alerts"), FrameOption);
    chkDisplayExcelAlerts->setObjectName(QStringLiteral("chkDisplayExcelAlerts"));
    chkDisplayExcelAlerts->setGeometry(twipsRect(*this, 480, 1200, 3135, 375));
    chkBreakLinks = new QCheckBox(QStringLiteral("Break links to other sheets"), FrameOption);
    chkBreakLinks->setObjectName(QStringLiteral("chkBreakLinks"));
    chkBreakLinks->setGeometry(twipsRect(*this, 480, 1680, 3375, 375));
    chkBreakLinks->setToolTip(QStringLiteral("Formulas that read other sheets become the values they show, "
                                             "so the copies hold no link to the source workbook"));

    auto button = [this](const char* name, const char* caption, double left) {
        auto* b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(twipsRect(*this, left, 6015, 1095, 375));
        // No default button: Enter presses nothing.
        b->setAutoDefault(false);
        b->setDefault(false);
        return b;
    };
    buildSplitFrame();
    // Off: the sheets of a password-protected workbook are saved with its password.
    chkDecryptOutputs = new QCheckBox(QStringLiteral("Remove passwords from outputs"), FrameSplit);
    chkDecryptOutputs->setObjectName(QStringLiteral("chkDecryptOutputs"));
    chkDecryptOutputs->setGeometry(twipsRect(*this, 240, 2580, 3615, 375));
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
    setTabOrder(chkDisplayExcel, chkSkipHidden);
    setTabOrder(chkSkipHidden, chkSkipVeryHidden);
    setTabOrder(chkSkipVeryHidden, txtNameTemplate);
    setTabOrder(txtNameTemplate, chkBreakLinks);
    setTabOrder(chkBreakLinks, chkDecryptOutputs);

    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());

    // The dialog opens with the focus on OK.
    cmdOK->setFocus();
    Form_Load();
}

void frmOptions::buildSplitFrame()
{
    FrameSplit = new QGroupBox(QStringLiteral("Split"), this);
    FrameSplit->setObjectName(QStringLiteral("FrameSplit"));
    FrameSplit->setGeometry(twipsRect(*this, 480, 2700, 4095, 3075));
    chkSkipHidden = new QCheckBox(QStringLiteral("Leave hidden worksheets out"), FrameSplit);
    chkSkipHidden->setObjectName(QStringLiteral("chkSkipHidden"));
    chkSkipHidden->setGeometry(twipsRect(*this, 240, 300, 3615, 375));
    chkSkipVeryHidden = new QCheckBox(QStringLiteral("Leave very hidden worksheets out"), FrameSplit);
    chkSkipVeryHidden->setObjectName(QStringLiteral("chkSkipVeryHidden"));
    chkSkipVeryHidden->setGeometry(twipsRect(*this, 240, 720, 3615, 375));
    auto* caption = new QLabel(QStringLiteral("File names:"), FrameSplit);
    caption->setGeometry(twipsRect(*this, 240, 1200, 3615, 300));
    txtNameTemplate = new QLineEdit(FrameSplit);
    txtNameTemplate->setObjectName(QStringLiteral("txtNameTemplate"));
    txtNameTemplate->setGeometry(twipsRect(*this, 240, 1500, 3615, 330));
    caption->setBuddy(txtNameTemplate);
    lblNamePreview = new QLabel(FrameSplit);
    lblNamePreview->setObjectName(QStringLiteral("lblNamePreview"));
    lblNamePreview->setGeometry(twipsRect(*this, 240, 1890, 3615, 660));
    lblNamePreview->setWordWrap(true);
    lblNamePreview->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    connect(txtNameTemplate, &QLineEdit::textChanged, this, &frmOptions::txtNameTemplate_Change);
}

QString frmOptions::templateRefusal(QString* preview) const
{
    const split::FirstOutputName first =
        split::firstOutputName(txtNameTemplate->text(), rows_, split::timeStampOf(context_.now()));
    if (preview)
        *preview = first.fileName;
    return first.refusal;
}

void frmOptions::txtNameTemplate_Change()
{
    QString preview;
    const QString why = templateRefusal(&preview);
    lblNamePreview->setText(why.isEmpty() ? QStringLiteral("First file: ") + preview : QStringLiteral("Refused: ") + why);
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
    LoadCheckBoxSetting(chkSkipHidden, split::kSkipHiddenKey);
    LoadCheckBoxSetting(chkSkipVeryHidden, split::kSkipVeryHiddenKey);
    QString nameTemplate = split::kDefaultNameTemplate;
    context_.store().GetSetting(split::kNameTemplateKey, nameTemplate); // a missing key: the default
    txtNameTemplate->setText(nameTemplate);
    txtNameTemplate_Change();
    LoadCheckBoxSetting(chkBreakLinks, QStringLiteral("BreakLinks"));
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
    // A refused template stores nothing: the run would refuse it.
    const QString why = templateRefusal(nullptr);
    if (!why.isEmpty())
        throw Error(err::InvalidProcedureCall, why);
    // A key missing from the file stores nothing, and that is not reported.
    s.SetSetting(QStringLiteral("DisplayExcel"), chkDisplayExcel->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    s.SetSetting(QStringLiteral("DisplayExcelAlerts"),
                 chkDisplayExcelAlerts->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    // A file of an earlier version lacks these keys: a choice other than the default adds its key.
    const auto store = [&s](const QString& key, const QString& value, const QString& byDefault) {
        if (s.SetSetting(key, value) == clsSetting::kKeyMissing && value != byDefault)
            s.AppendSetting(key, value);
    };
    store(split::kSkipHiddenKey, chkSkipHidden->isChecked() ? QStringLiteral("1") : QStringLiteral("0"), QStringLiteral("0"));
    store(split::kSkipVeryHiddenKey, chkSkipVeryHidden->isChecked() ? QStringLiteral("1") : QStringLiteral("0"),
          QStringLiteral("0"));
    store(split::kNameTemplateKey, txtNameTemplate->text(), split::kDefaultNameTemplate);
    store(QStringLiteral("BreakLinks"), chkBreakLinks->isChecked() ? QStringLiteral("1") : QStringLiteral("0"),
          QStringLiteral("0"));
    // Takes effect at once: the next split writes its outputs so.
    store(QStringLiteral("DecryptOutputs"), chkDecryptOutputs->isChecked() ? QStringLiteral("1") : QStringLiteral("0"),
          QStringLiteral("0"));
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
