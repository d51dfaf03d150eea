#pragma once
// Relationship parts (`_rels/*.rels`): reading, resolving targets to part names, writing.
#include <QByteArray>
#include <QString>

#include <vector>

namespace bf::xlsx {

class Package;

struct Relationship {
    QString id;
    QString type;    // full type URI
    QString target;  // as written
    bool external = false;
    QString part;    // the part it names (internal targets only), without leading '/'
    // The last segment of the type ("worksheet", "sharedStrings", ...).
    QString kind() const;
};

// "xl/worksheets/sheet1.xml" -> "xl/worksheets/_rels/sheet1.xml.rels"; "" -> "_rels/.rels".
QString relsPartName(const QString& part);
// A target relative to `sourcePart` (or absolute) as a part name; `climbed` set when it climbs
// above the package root (the extra ".." dropped: the caller refuses it unless it names a part).
// Throws XlsxError (RelationshipOutside) when nothing is left of it.
QString resolveTarget(const QString& sourcePart, const QString& target, const QString& detail,
                      bool& climbed);
// The target that names `toPart` from `fromPart`, relative to its folder.
QString relativeTarget(const QString& fromPart, const QString& toPart);

// The relationships of a part (empty when it has no relationship part).
std::vector<Relationship> readRelationships(const Package& package, const QString& sourcePart);
QByteArray writeRelationships(const std::vector<Relationship>& rels);

const Relationship* findById(const std::vector<Relationship>& rels, const QString& id);

} // namespace bf::xlsx
