#include "xlsx/Relationships.h"

#include "xlsx/Package.h"
#include "xlsx/XlsxStatus.h"
#include "xlsx/XmlReader.h"
#include "xlsx/XmlScanner.h"

#include <QStringList>
#include <QUrl>

namespace bf::xlsx {

QString Relationship::kind() const
{
    return type.mid(type.lastIndexOf('/') + 1);
}

QString relsPartName(const QString& part)
{
    const qsizetype slash = part.lastIndexOf('/');
    return part.left(slash + 1) + QStringLiteral("_rels/") + part.mid(slash + 1)
        + QStringLiteral(".rels");
}

QString resolveTarget(const QString& sourcePart, const QString& target, const QString& detail, bool& climbed)
{
    QString path = QUrl::fromPercentEncoding(target.toUtf8());
    const qsizetype hash = path.indexOf('#');
    if (hash >= 0)
        path.truncate(hash);
    QStringList segments;
    if (!path.startsWith('/'))
        segments = sourcePart.left(sourcePart.lastIndexOf('/') + 1).split('/', Qt::SkipEmptyParts);
    for (const QString& s : path.split('/', Qt::SkipEmptyParts)) {
        if (s == QLatin1String("."))
            continue;
        if (s == QLatin1String("..")) {
            if (segments.isEmpty())
                climbed = true; // dropped, as URI resolution drops it at the root
            else
                segments.removeLast();
            continue;
        }
        segments.append(s);
    }
    if (segments.isEmpty())
        fail(XlsxStatus::RelationshipOutside, detail + QStringLiteral(", target ") + target);
    return segments.join('/');
}

QString relativeTarget(const QString& fromPart, const QString& toPart)
{
    const QStringList from = fromPart.split('/').mid(0, fromPart.count('/'));
    const QStringList to = toPart.split('/');
    qsizetype common = 0;
    while (common < from.size() && common < to.size() - 1 && from[common] == to[common])
        ++common;
    QStringList out;
    for (qsizetype i = common; i < from.size(); ++i)
        out.append(QStringLiteral(".."));
    out.append(to.mid(common));
    return out.join('/');
}

std::vector<Relationship> readRelationships(const Package& package, const QString& sourcePart)
{
    std::vector<Relationship> rels;
    const QString relsName = relsPartName(sourcePart);
    const PartEntry* entry = package.find(relsName);
    if (!entry)
        return rels;
    const QString detail = package.displayName() + QStringLiteral(", part ") + relsName;
    XmlReader reader(package.read(*entry), detail);
    while (reader.nextElement()) {
        if (reader.localName() != QLatin1String("Relationship"))
            continue;
        Relationship r;
        r.id = reader.attribute("Id").value_or(QString());
        r.type = reader.attribute("Type").value_or(QString());
        r.target = reader.attribute("Target").value_or(QString());
        r.external = reader.attribute("TargetMode").value_or(QString()) == QLatin1String("External");
        bool climbed = false;
        if (!r.external)
            r.part = resolveTarget(sourcePart, r.target, detail, climbed);
        if (climbed) {
            // Some writers climb above the root to reach a part at the top ("../customXml/item1.xml"
            // from the package's own relationships): sound when it names a part, outside otherwise.
            if (!package.find(r.part))
                fail(XlsxStatus::RelationshipOutside, detail + QStringLiteral(", target ") + r.target);
            r.target = relativeTarget(sourcePart, r.part);
        }
        rels.push_back(std::move(r));
    }
    return rels;
}

QByteArray writeRelationships(const std::vector<Relationship>& rels)
{
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    auto attr = [](const QString& s) { return escapeXml(s.toStdString(), true); };
    for (const Relationship& r : rels) {
        out += "<Relationship Id=\"" + attr(r.id) + "\" Type=\"" + attr(r.type) + "\" Target=\""
            + attr(r.target) + '"';
        if (r.external)
            out += " TargetMode=\"External\"";
        out += "/>";
    }
    out += "</Relationships>";
    return QByteArray::fromStdString(out);
}

const Relationship* findById(const std::vector<Relationship>& rels, const QString& id)
{
    for (const Relationship& r : rels)
        if (r.id == id)
            return &r;
    return nullptr;
}

} // namespace bf::xlsx
