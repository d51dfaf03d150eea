#pragma once
// `[Content_Types].xml`: the content type of every part, by extension or by part name.
#include <QByteArray>
#include <QString>

#include <map>
#include <vector>

namespace bf::xlsx {

class Package;

namespace ctype {
inline constexpr char kWorkbook[] = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";
inline constexpr char kSharedStrings[] = "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml";
inline constexpr char kExternalLink[] = "application/vnd.openxmlformats-officedocument.spreadsheetml.externalLink+xml";
inline constexpr char kRelationships[] = "application/vnd.openxmlformats-package.relationships+xml";
} // namespace ctype

class ContentTypes {
public:
    static ContentTypes read(const Package& package);
    // The type of a part (name without leading '/'); empty when none applies.
    QString typeOf(const QString& part) const;
    // A new table holding an override or default for exactly `parts` with `types`
    // (part name -> type).
    static QByteArray write(const std::map<QString, QString>& typeByPart);

private:
    std::map<QString, QString> defaults_;  // folded extension -> type
    std::map<QString, QString> overrides_; // folded part name -> type
};

} // namespace bf::xlsx
