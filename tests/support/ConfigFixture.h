#pragma once
// The one configuration fixture: the bytes of a Config.cfg as installed (UTF-16LE with its
// byte-order mark, CRLF lines), and a store on such a file in a private folder, installed in a
// context for the life of the object.
#include "startup/AppContext.h"
#include "startup/clsSetting.h"
#include "support/TempDir.h"

#include <QStringList>
#include <memory>

namespace bf::test {

inline QByteArray utf16le(const QString& text, bool withMark = true)
{
    QByteArray bytes = withMark ? QByteArray("\xFF\xFE", 2) : QByteArray();
    for (const QChar c : text)
        bytes.append(static_cast<char>(c.unicode() & 0xFF)).append(static_cast<char>(c.unicode() >> 8));
    return bytes;
}

inline QByteArray configBytes(const QStringList& lines) { return utf16le(lines.join("\r\n") + "\r\n"); }

class InstalledConfig {
public:
    InstalledConfig(AppContext& context, const QStringList& lines)
        : context_(context), setting_(dir_.write("Config.cfg", configBytes(lines)), context.seams),
          previous_(context.setting)
    {
        context.setting = &setting_;
    }
    ~InstalledConfig() { context_.setting = previous_; }
    InstalledConfig(const InstalledConfig&) = delete;
    InstalledConfig& operator=(const InstalledConfig&) = delete;
    clsSetting& setting() { return setting_; }
    QString path() const { return setting_.filePath(); }
    QString value(const QString& key) const
    {
        QString v;
        setting_.GetSetting(key, v);
        return v;
    }

private:
    AppContext& context_;
    TempDir dir_;
    clsSetting setting_;
    clsSetting* previous_;
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
