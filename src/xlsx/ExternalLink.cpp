#include "xlsx/ExternalLink.h"

#include "xlsx/Formula.h"
#include "xlsx/XmlScanner.h"

#include <QFileInfo>
#include <QUrl>

#include <algorithm>

namespace bf::xlsx {

namespace {

std::string cellXml(const CachedCell& c)
{
    std::string out = "<cell r=\"" + cellName(c.row, c.col) + '"';
    if (!c.type.empty())
        out += " t=\"" + c.type + '"';
    return out + "><v>" + escapeXml(c.value, false) + "</v></cell>";
}

std::string sheetDataXml(std::size_t sheetId, std::vector<CachedCell> cells)
{
    std::sort(cells.begin(), cells.end(), [](const CachedCell& a, const CachedCell& b) {
        return a.row != b.row ? a.row < b.row : a.col < b.col;
    });
    std::string out = "<sheetData sheetId=\"" + std::to_string(sheetId) + "\">";
    for (std::size_t i = 0; i < cells.size();) {
        const std::uint32_t row = cells[i].row;
        out += "<row r=\"" + std::to_string(row + 1) + "\">";
        for (; i < cells.size() && cells[i].row == row; ++i)
            out += cellXml(cells[i]);
        out += "</row>";
    }
    return out + "</sheetData>";
}

} // namespace

QByteArray externalLinkPart(const std::vector<LinkedSheet>& sheets, const QString& relId)
{
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<externalLink xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<externalBook xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" r:id=\""
        + escapeXml(relId.toStdString(), true) + "\"><sheetNames>";
    for (const LinkedSheet& s : sheets)
        out += "<sheetName val=\"" + escapeXml(s.name.toStdString(), true) + "\"/>";
    out += "</sheetNames><sheetDataSet>";
    for (std::size_t i = 0; i < sheets.size(); ++i)
        out += sheetDataXml(i, sheets[i].cells);
    out += "</sheetDataSet></externalBook></externalLink>";
    return QByteArray::fromStdString(out);
}

QString externalLinkTarget(const QString& sourcePath)
{
    return QUrl::fromLocalFile(QFileInfo(sourcePath).absoluteFilePath()).toString(QUrl::FullyEncoded);
}

} // namespace bf::xlsx
