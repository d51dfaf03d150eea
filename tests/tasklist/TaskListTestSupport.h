#pragma once
// Shared by the task-list and window tests: a configuration store on a private Config.cfg
// installed in a context for one test, and the corpus manifest.
#include "startup/AppContext.h"
#include "startup/clsSetting.h"
#include "support/TempDir.h"
#include "support/TestPaths.h"

#include <QFile>
#include <QStringList>
#include <memory>
#include <vector>

namespace bf::test {

// The installed configuration's bytes: UTF-16LE with a byte-order mark and CRLF lines.
inline QByteArray configBytes(const QStringList& lines)
{
    const QString text = lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
    QByteArray bytes("\xFF\xFE", 2);
    for (const QChar c : text) {
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
        bytes.append(static_cast<char>(c.unicode() >> 8));
    }
    return bytes;
}

class InstalledConfig {
public:
    InstalledConfig(AppContext& context, const QStringList& lines) : context_(context)
    {
        path_ = dir_.write(QStringLiteral("Config.cfg"), configBytes(lines));
        setting_ = std::make_unique<clsSetting>(path_, context.seams);
        previous_ = context.setting;
        context.setting = setting_.get();
    }
    ~InstalledConfig() { context_.setting = previous_; }
    InstalledConfig(const InstalledConfig&) = delete;
    InstalledConfig& operator=(const InstalledConfig&) = delete;
    clsSetting& setting() { return *setting_; }
    QString value(const QString& key) const
    {
        QString v;
        setting_->GetSetting(key, v);
        return v;
    }

private:
    AppContext& context_;
    TempDir dir_;
    QString path_;
    std::unique_ptr<clsSetting> setting_;
    clsSetting* previous_ = nullptr;
};

inline QStringList standardConfigLines()
{
    return {QStringLiteral("DisplayExcel=0"), QStringLiteral("DisplayExcelAlerts=0"),
            QStringLiteral("frmMainCaption=Brakenfold "),
            QStringLiteral("ErrCantSetfrmMainCaption=caption missing"),
            QStringLiteral("ErrCantInitImageList=no image list"), QStringLiteral("ErrCantInitToolbar=no toolbar"),
            QStringLiteral("ErrCantInitListView=no list view"),
            QStringLiteral("ErrCantOpenWorkbook=The workbook could not be opened."),
            QStringLiteral("HomePage=https://brakenfold.example.org/"),
            QStringLiteral("SupportEmail=mailto:support@brakenfold.example.org")};
}

struct ManifestEntry {
    QString file; // relative to the corpus folder
    QString kind;
    QStringList worksheetNames;
};

inline std::vector<ManifestEntry> readManifest()
{
    std::vector<ManifestEntry> entries;
    QFile f(corpusFile(QStringLiteral("MANIFEST.tsv")));
    if (!f.open(QIODevice::ReadOnly))
        return entries;
    const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    for (int i = 1; i < lines.size(); ++i) {
        const QStringList cols = lines[i].split('\t');
        if (cols.size() < 8)
            continue;
        ManifestEntry e{cols[0], cols[5], {}};
        if (!cols[7].isEmpty())
            e.worksheetNames = cols[7].split(QStringLiteral(" | "));
        entries.push_back(e);
    }
    return entries;
}

} // namespace bf::test
