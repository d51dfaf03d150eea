#include "xlsx/SharedStrings.h"

#include "xlsx/XlsxStatus.h"
#include "xlsx/XmlScanner.h"

namespace bf::xlsx {

SharedStrings::SharedStrings(QByteArray part, const QString& detail) : part_(std::move(part))
{
    XmlTokenStream tokens(part_, detail);
    // The stream holds its own copy of the part; offsets are found by matching token bytes,
    // which lie at the same offsets in both.
    XmlToken t;
    std::size_t offset = 0;
    std::size_t itemStart = 0;
    int depth = 0;
    while (tokens.next(t)) {
        const std::size_t at = offset;
        offset += t.raw.size();
        if (t.kind == TokenKind::StartTag) {
            if (depth == 0) {
                rootTag_ = withAttribute(t, "count", std::nullopt);
                rootName_ = t.name;
            } else if (depth == 1 && t.localName() == "si") {
                itemStart = at;
            }
            ++depth;
        } else if (t.kind == TokenKind::EmptyTag && depth == 1 && t.localName() == "si") {
            items_.emplace_back(at, t.raw.size());
        } else if (t.kind == TokenKind::EndTag) {
            --depth;
            if (depth == 1 && t.localName() == "si")
                items_.emplace_back(itemStart, offset - itemStart);
            if (depth < 0)
                fail(XlsxStatus::MalformedXml, detail);
        }
    }
}

std::string_view SharedStrings::item(std::size_t i) const
{
    if (i >= items_.size())
        return "<si><t></t></si>";
    return std::string_view(part_.constData() + items_[i].first, items_[i].second);
}

std::string SharedStrings::text(std::size_t i) const
{
    const std::string_view raw = item(i);
    XmlTokenStream tokens(QByteArray(raw.data(), qsizetype(raw.size())), QStringLiteral("string"));
    std::string out;
    XmlToken t;
    bool inText = false;
    int phonetic = 0;
    while (tokens.next(t)) {
        if (t.kind == TokenKind::StartTag) {
            inText = t.localName() == "t";
            phonetic += t.localName() == "rPh";
        } else if (t.kind == TokenKind::EndTag) {
            inText = false;
            phonetic -= t.localName() == "rPh";
        } else if (t.kind == TokenKind::Text && inText && phonetic == 0) {
            out += unescapeXml(t.raw);
        } else if (t.kind == TokenKind::Other && inText && t.raw.substr(0, 9) == "<![CDATA[") {
            out += t.raw.substr(9, t.raw.size() - 12);
        }
    }
    return out;
}

QByteArray SharedStrings::rebuild(const std::vector<std::uint32_t>& items,
                                  std::uint64_t references) const
{
    std::string root = rootTag_.empty()
        ? std::string("<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">")
        : rootTag_;
    const std::string name = rootName_.empty() ? std::string("sst") : rootName_;
    XmlToken tag{TokenKind::StartTag, root, name, {}};
    const std::size_t nameEnd = 1 + name.size();
    tag.attrs = std::string_view(root).substr(nameEnd, root.size() - nameEnd - 1);
    root = withAttribute(tag, "uniqueCount", std::to_string(items.size()));
    tag.attrs = {};
    root.insert(root.size() - 1, " count=\"" + std::to_string(references) + '"');
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n" + root;
    for (const std::uint32_t i : items)
        out += item(i);
    out += "</" + name + '>';
    return QByteArray::fromStdString(out);
}

} // namespace bf::xlsx
