#pragma once
// The corpus manifest (MANIFEST.tsv): one row per file with its kind and worksheet names.
#include "support/TestPaths.h"

#include <QFile>
#include <QStringList>
#include <vector>

namespace bf::test {

struct CorpusEntry {
    QString file;              // relative to the corpus folder
    QString kind;              // "biff8", "biff5", "corrupt", "encrypted", ...
    QStringList worksheets;    // worksheet names in tab order
    QStringList features;
};

inline std::vector<CorpusEntry> corpusManifest()
{
    std::vector<CorpusEntry> rows;
    QFile f(corpusFile(QStringLiteral("MANIFEST.tsv")));
    if (!f.open(QIODevice::ReadOnly))
        return rows;
    const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    for (int i = 1; i < lines.size(); ++i) {
        const QStringList c = lines[i].split('\t');
        if (c.size() < 9)
            continue;
        rows.push_back({c[0], c[5], c[7].isEmpty() ? QStringList() : c[7].split(QStringLiteral(" | ")),
                        c[8].split(',', Qt::SkipEmptyParts)});
    }
    return rows;
}

} // namespace bf::test
