#include "xlsx/ExternalLink.h"

#include "xlsx/Formula.h"
#include "xlsx/Packager.h"
#include "xlsx/XmlScanner.h"

#include <QFileInfo>
#include <QUrl>

#include <algorithm>

namespace bf::xlsx {

namespace {

constexpr std::size_t kFlushBytes = 1 << 16;

std::string cellXml(const CachedCell& c)
{
    std::string out = "<cell r=\"" + cellName(c.row, c.col) + '"';
    if (!c.type.empty())
        out += " t=\"" + c.type + '"';
    return out + "><v>" + escapeXml(c.value, false) + "</v></cell>";
}

} // namespace

ExternalLinkWriter::ExternalLinkWriter(PartDeflater& out, const std::vector<QString>& sheetNames, const QString& relId)
    : out_(out)
{
    std::string head =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<externalLink xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<externalBook xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" r:id=\""
        + escapeXml(relId.toStdString(), true) + "\"><sheetNames>";
    for (const QString& name : sheetNames)
        head += "<sheetName val=\"" + escapeXml(name.toStdString(), true) + "\"/>";
    put(head + "</sheetNames><sheetDataSet>");
}

void ExternalLinkWriter::put(const std::string& s)
{
    buffer_ += s;
    if (buffer_.size() >= kFlushBytes) {
        out_.write(buffer_);
        buffer_.clear();
    }
}

void ExternalLinkWriter::addSheet(std::vector<CachedCell> cells, bool partial)
{
    std::sort(cells.begin(), cells.end(), [](const CachedCell& a, const CachedCell& b) {
        return a.row != b.row ? a.row < b.row : a.col < b.col;
    });
    put("<sheetData sheetId=\"" + std::to_string(sheetId_++) + (partial ? "\" refreshError=\"1\">" : "\">"));
    for (std::size_t i = 0; i < cells.size();) {
        const std::uint32_t row = cells[i].row;
        put("<row r=\"" + std::to_string(row + 1) + "\">");
        for (; i < cells.size() && cells[i].row == row; ++i)
            put(cellXml(cells[i]));
        put("</row>");
    }
    put("</sheetData>");
}

void ExternalLinkWriter::finish()
{
    put("</sheetDataSet></externalBook></externalLink>");
    out_.write(buffer_);
    buffer_.clear();
}

QString externalLinkTarget(const QString& sourcePath)
{
    return QUrl::fromLocalFile(QFileInfo(sourcePath).absoluteFilePath()).toString(QUrl::FullyEncoded);
}

} // namespace bf::xlsx
