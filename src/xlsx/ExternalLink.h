#pragma once
// The externalLink part linking the new workbook to its source: the names of the sheets its
// formulas reach and the values of the cells they name, so the workbook shows them before
// the link is ever refreshed. Written as it is made, one sheet's cells at a time.
#include "xlsx/Worksheet.h"

#include <QString>

#include <vector>

namespace bf::xlsx {

class PartDeflater;

class ExternalLinkWriter {
public:
    // relId: the relationship of the part naming the source file.
    ExternalLinkWriter(PartDeflater& out, const std::vector<QString>& sheetNames, const QString& relId);
    // The cached cells of the next sheet, in the order of the names. partial: the cache holds
    // only some of the cells named, and says so (the sheet's data marked as not refreshed), so
    // that the link is read again rather than trusted.
    void addSheet(std::vector<CachedCell> cells, bool partial);
    void finish();

private:
    void put(const std::string& s);
    PartDeflater& out_;
    std::string buffer_;
    std::size_t sheetId_ = 0;
};

// The relationship target naming the source file.
QString externalLinkTarget(const QString& sourcePath);

} // namespace bf::xlsx
