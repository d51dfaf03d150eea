#include "xlsx/SharedStrings.h"

#include "xlsx/Packager.h"
#include "xlsx/XlsxStatus.h"
#include "xlsx/XmlScanner.h"

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

namespace bf::xlsx {

namespace {
// Beyond this the declared size is not trusted for the first allocation: the table grows instead.
constexpr std::uint64_t kMaxReserve = 1ull << 30;

constexpr std::string_view kEmptyItem = "<si><t/></si>";
constexpr std::size_t kBlockItems = 4096;
// Below this, a run of unused items is deflated with the items around it.
constexpr std::size_t kSplicedRun = 64;

// Runs of 1, 2, 4 ... kBlockItems empty items, deflated once for every table made.
struct EmptyRuns {
    std::string items;
    std::vector<std::string> deflated; // [k]: 2^k items

    EmptyRuns()
    {
        for (std::size_t i = 0; i < kBlockItems; ++i)
            items += kEmptyItem;
        for (std::size_t n = 1; n <= kBlockItems; n *= 2)
            deflated.push_back(deflatedSegment(std::string_view(items).substr(0, n * kEmptyItem.size())));
    }
};

// The unused items of a table: a sheet may use a handful of a million. A long run goes out
// already deflated, as whole blocks and then the pieces of its remainder.
void writeEmptyItems(PartDeflater& out, std::size_t count)
{
    static const EmptyRuns runs;
    const std::string_view items(runs.items);
    if (count < kSplicedRun) {
        out.write(items.substr(0, count * kEmptyItem.size()));
        return;
    }
    for (; count >= kBlockItems; count -= kBlockItems)
        out.writeSegment(items, runs.deflated.back());
    for (std::size_t k = 0; count > 0; ++k, count /= 2)
        if (count & 1)
            out.writeSegment(items.substr(0, (std::size_t(1) << k) * kEmptyItem.size()), runs.deflated[k]);
}
} // namespace

SharedStrings::SharedStrings(const std::function<void(QByteArray&)>& in, const QString& detail,
                             std::uint64_t sizeHint)
{
    items_.reserve(std::size_t(std::min(sizeHint, kMaxReserve)));
    XmlTokenStream tokens(in, detail);
    XmlToken t;
    int depth = 0;
    bool inItem = false;
    while (tokens.next(t)) {
        if (depth == 0 && t.isTag()) {
            rootTag_ = withAttribute(t, "count", std::nullopt);
            rootName_ = t.name;
        } else if (depth == 1 && t.isTag() && t.localName() == "si") {
            starts_.push_back(items_.size());
            inItem = true;
        }
        if (inItem)
            items_.append(t.raw);
        depth += t.kind == TokenKind::StartTag ? 1 : t.kind == TokenKind::EndTag ? -1 : 0;
        inItem = inItem && depth > 1;
    }
    starts_.push_back(items_.size());
}

std::string_view SharedStrings::item(std::size_t i) const
{
    if (i >= size())
        return "<si><t></t></si>";
    return std::string_view(items_).substr(starts_[i], starts_[i + 1] - starts_[i]);
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

void SharedStrings::rebuild(const StringUse& use, PartDeflater& out) const
{
    std::string root = rootTag_.empty()
        ? std::string("<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">")
        : rootTag_;
    const std::string name = rootName_.empty() ? std::string("sst") : rootName_;
    XmlToken tag{TokenKind::StartTag, root, name, {}};
    const std::size_t nameEnd = 1 + name.size();
    tag.attrs = std::string_view(root).substr(nameEnd, root.size() - nameEnd - 1);
    root = withAttribute(tag, "uniqueCount", std::to_string(use.end()));
    tag.attrs = {};
    root.insert(root.size() - 1, " count=\"" + std::to_string(use.references()) + '"');
    out.write("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n" + root);
    std::size_t unused = 0;
    for (std::size_t i = 0; i < use.end(); ++i) {
        if (use.uses(i)) {
            writeEmptyItems(out, std::exchange(unused, 0));
            out.write(item(i));
        } else {
            ++unused;
        }
    }
    writeEmptyItems(out, unused);
    out.write("</" + name + '>');
}

} // namespace bf::xlsx
