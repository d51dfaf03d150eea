#include "xlsx/Tables.h"

#include "xlsx/Package.h"
#include "xlsx/Relationships.h"
#include "xlsx/XlsxStatus.h"
#include "xlsx/XlsxWorkbook.h"
#include "xlsx/XmlReader.h"

namespace bf::xlsx {

namespace {

std::optional<TableInfo> readTable(const QByteArray& part, int sheet, const QString& detail)
{
    XmlReader xml(part, detail);
    TableInfo t;
    t.sheet = sheet;
    while (xml.nextElement()) {
        if (xml.localName() == QLatin1String("table")) {
            t.name = xml.attribute("displayName").value_or(xml.attribute("name").value_or(QString()));
            const std::optional<CellArea> area = parseArea(xml.attribute("ref").value_or(QString()).toStdString());
            if (!area || t.name.isEmpty())
                return std::nullopt;
            t.area = *area;
            t.headerRows = xml.attribute("headerRowCount").value_or(QStringLiteral("1")).toUInt();
            t.totalsRows = xml.attribute("totalsRowCount").value_or(QStringLiteral("0")).toUInt();
        } else if (xml.localName() == QLatin1String("tableColumn")) {
            t.columns.push_back(xml.attribute("name").value_or(QString()));
        }
    }
    return t;
}

} // namespace

std::vector<TableInfo> workbookTables(const XlsxWorkbook& wb)
{
    std::vector<TableInfo> tables;
    for (const SheetInfo& s : wb.sheets()) {
        if (s.part.isEmpty())
            continue;
        try {
            for (const Relationship& r : readRelationships(wb.package(), s.part))
                if (!r.external && r.kind() == QLatin1String("table"))
                    if (auto t = readTable(wb.package().read(r.part), s.index, r.part))
                        tables.push_back(std::move(*t));
        } catch (const XlsxError&) {
            // a damaged part of another sheet: its tables are not known
        }
    }
    return tables;
}

} // namespace bf::xlsx
