#pragma once
// A configuration store on a private Config.cfg, installed in a context for one test.
#include "startup/AppContext.h"
#include "startup/clsSetting.h"
#include "support/TempDir.h"

#include <QStringList>

namespace bf::test {

class InstalledConfig {
public:
    InstalledConfig(AppContext& context, const QStringList& lines)
        : context_(context), previous_(context.setting), setting_(dir_.write("Config.cfg", bytes(lines)), context.seams)
    {
        context.setting = &setting_;
    }
    ~InstalledConfig() { context_.setting = previous_; }
    clsSetting& setting() { return setting_; }
    QString value(const QString& key) const
    {
        QString v;
        setting_.GetSetting(key, v);
        return v;
    }

private:
    // As the installed file has them: UTF-16LE (this machine's order) with a byte-order mark, CRLF.
    static QByteArray bytes(const QStringList& lines)
    {
        const QString text = lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
        return QByteArray("\xFF\xFE", 2) + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    }
    AppContext& context_;
    clsSetting* previous_;
    TempDir dir_;
    clsSetting setting_;
};

inline QStringList standardConfigLines()
{
    return {"DisplayExcel=0", "DisplayExcelAlerts=0", "frmMainCaption=Brakenfold ",
            "ErrCantSetfrmMainCaption=caption missing", "ErrCantInitImageList=no image list",
            "ErrCantInitToolbar=no toolbar", "ErrCantInitListView=no list view",
            "ErrCantOpenWorkbook=The workbook could not be opened.", "HomePage=https://brakenfold.example.org/",
            "SupportEmail=mailto:support@brakenfold.example.org"};
}

} // namespace bf::test
