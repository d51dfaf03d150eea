#pragma once
// The externalLink part linking the new workbook to its source: the names of the sheets its
// formulas reach and the values of the cells they name, so the workbook shows them before
// the link is ever refreshed.
#include "xlsx/Worksheet.h"

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

namespace bf::xlsx {

struct LinkedSheet {
    QString name;
    std::vector<CachedCell> cells;
};

// relId: the relationship of the part naming the source file.
QByteArray externalLinkPart(const std::vector<LinkedSheet>& sheets, const QString& relId);
// The relationship target naming the source file.
QString externalLinkTarget(const QString& sourcePath);

} // namespace bf::xlsx
