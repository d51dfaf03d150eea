#include "xlsx/Workbook.h"

#include "xlsx/Formula.h"
#include "xlsx/XlsxWorkbook.h"
#include "xlsx/XmlScanner.h"

#include <string>
#include <utility>
#include <vector>

namespace bf::xlsx {

namespace {

// Elements that follow externalReferences in a workbook part.
bool followsExternalReferences(std::string_view local)
{
    static const std::string_view after[] = {
        "definedNames", "calcPr", "oleSize", "customWorkbookViews", "pivotCaches", "smartTagPr",
        "smartTagTypes", "webPublishing", "fileRecoveryPr", "webPublishObjects", "extLst"};
    for (const std::string_view a : after)
        if (local == a)
            return true;
    return false;
}

// The relationship a tag names through a prefixed id attribute ("r:id"), if any.
std::optional<QString> relationshipOf(const XmlToken& t)
{
    for (const auto& [name, value] : parseAttributes(t.attrs))
        if (name.size() > 3 && name.substr(name.size() - 3) == ":id")
            return QString::fromStdString(unescapeXml(value));
    return std::nullopt;
}

class WorkbookRewriter {
public:
    WorkbookRewriter(const WorkbookEdit& edit, FormulaRewriter& formulas)
        : edit_(edit), formulas_(formulas) {}
    void token(const XmlToken& t);
    std::string out;

private:
    struct Frame {
        std::string local;
        std::string start;
        std::string body;
        int kept = 0;
        int dropped = 0; // entries naming a relationship the copy does not carry
    };
    void put(std::string_view s) { (frames_.empty() ? out : frames_.back().body).append(s); }
    void start(const XmlToken& t);
    void end(const XmlToken& t);
    void keepName();
    bool skipping(const XmlToken& t);

    const WorkbookEdit& edit_;
    FormulaRewriter& formulas_;
    std::vector<Frame> frames_;
    int depth_ = 0;
    int skipDepth_ = -1;
    bool externalPlaced_ = false;
    bool capture_ = false;
    std::string captured_;
    std::string nameTag_; // the defined name being read, written once its formula is
};

bool WorkbookRewriter::skipping(const XmlToken& t)
{
    if (skipDepth_ < 0)
        return false;
    if (t.kind == TokenKind::StartTag)
        ++depth_;
    else if (t.kind == TokenKind::EndTag && --depth_ == skipDepth_)
        skipDepth_ = -1;
    return true;
}

void WorkbookRewriter::start(const XmlToken& t)
{
    const std::string_view local = t.localName();
    const bool open = t.kind == TokenKind::StartTag;
    auto skip = [&] {
        if (open)
            skipDepth_ = depth_++;
    };
    if (depth_ == 1 && !externalPlaced_ && followsExternalReferences(local)) {
        put(kExternalBlockMark);
        externalPlaced_ = true;
    }
    if (!frames_.empty() && frames_.back().local == "ext") {
        // An extension's entries that name relationships (slicer and timeline caches, ...): only
        // those the copy carries.
        if (const std::optional<QString> id = relationshipOf(t)) {
            const bool keep = edit_.keptRelIds.count(*id) > 0;
            ++(keep ? frames_.back().kept : frames_.back().dropped);
            if (!keep)
                return skip();
        }
    }
    if (local == "workbookView") {
        put(editTag(t, {{"activeTab", "0"}, {"firstSheet", std::nullopt}}));
    } else if (local == "sheet" && depth_ == 2) {
        if (attribute(t.attrs, "id", true).value_or("") != edit_.kept->relId.toStdString())
            return skip();
        put(withAttribute(t, "state", std::nullopt));
    } else if (local == "customWorkbookViews" && depth_ == 1) {
        return skip();
    } else if (local == "definedName") {
        const auto scope = attribute(t.attrs, "localSheetId");
        const int sheet = scope ? QString::fromStdString(std::string(*scope)).toInt() : -1;
        const std::string name = foldName(unescapeXml(attribute(t.attrs, "name").value_or("")));
        if ((scope && sheet != edit_.kept->index) || !edit_.keptNames.count({name, sheet}))
            return skip();
        nameTag_ = scope ? withAttribute(t, "localSheetId", "0") : std::string(t.raw);
        capture_ = open;
        captured_.clear();
        if (!open)
            keepName();
    } else if (local == "pivotCache") {
        if (!edit_.keptRelIds.count(QString::fromStdString(std::string(attribute(t.attrs, "id", true).value_or("")))))
            return skip();
        put(t.raw);
        if (!frames_.empty())
            ++frames_.back().kept;
    } else if (open && (local == "definedNames" || local == "pivotCaches" || local == "ext")) {
        frames_.push_back({std::string(local), std::string(t.raw), {}, 0, 0});
    } else {
        put(t.raw);
    }
    if (open)
        ++depth_;
}

void WorkbookRewriter::keepName()
{
    put(std::exchange(nameTag_, std::string()));
    if (!frames_.empty())
        ++frames_.back().kept;
}

void WorkbookRewriter::end(const XmlToken& t)
{
    --depth_;
    const std::string_view local = t.localName();
    if (capture_) {
        capture_ = false;
        const std::size_t dropped = formulas_.dropped();
        const std::optional<std::string> changed = formulas_.rewrite(unescapeXml(captured_));
        if (formulas_.dropped() != dropped) {
            ++formulas_.drops.names; // with values, a name no constant stands for goes
            return;
        }
        keepName();
        put(changed ? escapeXml(*changed, false) : captured_);
    }
    if (local == "externalReferences") {
        put(kExternalEntryMark);
        externalPlaced_ = true;
    } else if (depth_ == 0 && !externalPlaced_) {
        put(kExternalBlockMark);
        externalPlaced_ = true;
    }
    if (!frames_.empty() && (local == "definedNames" || local == "pivotCaches" || local == "ext")) {
        Frame f = std::move(frames_.back());
        frames_.pop_back();
        const bool keep = local == "ext" ? f.dropped == 0 || f.kept > 0 : f.kept > 0;
        if (keep) {
            put(f.start);
            put(f.body);
            put(t.raw);
        }
        return;
    }
    put(t.raw);
}

void WorkbookRewriter::token(const XmlToken& t)
{
    if (skipping(t))
        return;
    if (capture_ && t.kind != TokenKind::EndTag) {
        captured_.append(t.raw);
        return;
    }
    if (t.kind == TokenKind::StartTag || t.kind == TokenKind::EmptyTag)
        start(t);
    else if (t.kind == TokenKind::EndTag)
        end(t);
    else
        put(t.raw);
}

} // namespace

QByteArray rewriteWorkbook(const QByteArray& part, const WorkbookEdit& edit,
                           FormulaRewriter& formulas, const QString& detail)
{
    XmlTokenStream tokens(part, detail);
    WorkbookRewriter rewriter(edit, formulas);
    XmlToken t;
    while (tokens.next(t))
        rewriter.token(t);
    return QByteArray::fromStdString(rewriter.out);
}

std::vector<WorkbookPiece> splitWorkbook(const QByteArray& part, const QString& detail)
{
    XmlTokenStream tokens(part, detail);
    std::vector<WorkbookPiece> pieces(1);
    XmlToken t;
    int depth = 0, sheets = 0;
    int ownerDepth = -1; // depth of the element being given to a sheet
    while (tokens.next(t)) {
        const bool start = t.kind == TokenKind::StartTag || t.kind == TokenKind::EmptyTag;
        if (ownerDepth < 0 && start && depth == 2) {
            int owner = -1;
            if (t.localName() == "sheet") {
                owner = sheets++;
            } else if (t.localName() == "definedName") {
                if (const auto scope = attribute(t.attrs, "localSheetId"))
                    owner = QString::fromStdString(std::string(*scope)).toInt();
            }
            if (owner >= 0) {
                pieces.push_back({owner, {}});
                ownerDepth = depth;
            }
        }
        pieces.back().text.append(t.raw);
        if (t.kind == TokenKind::StartTag)
            ++depth;
        else if (t.kind == TokenKind::EndTag)
            --depth;
        if (ownerDepth >= 0 && depth == ownerDepth && t.kind != TokenKind::StartTag) {
            ownerDepth = -1;
            pieces.push_back({-1, {}});
        }
    }
    return pieces;
}

QByteArray workbookFor(const std::vector<WorkbookPiece>& pieces, int kept)
{
    QByteArray out;
    for (const WorkbookPiece& p : pieces)
        if (p.sheet < 0 || p.sheet == kept)
            out.append(p.text.data(), qsizetype(p.text.size()));
    return out;
}

namespace {

constexpr std::string_view kRelationshipsNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

struct RootPrefixes {
    std::string element;                       // "" or "x:"
    std::optional<std::string> relationships; // "r:", nullopt when not declared there
};

RootPrefixes rootPrefixes(const QByteArray& workbook)
{
    XmlTokenStream tokens(workbook, QStringLiteral("workbook"));
    XmlToken t;
    while (tokens.next(t) && !t.isTag()) {
    }
    RootPrefixes p;
    if (!t.isTag())
        return p;
    const std::size_t colon = t.name.find(':');
    p.element = colon == t.name.npos ? std::string() : std::string(t.name.substr(0, colon + 1));
    for (const auto& [name, value] : parseAttributes(t.attrs))
        if (name.substr(0, 6) == "xmlns:" && value == kRelationshipsNs)
            p.relationships = std::string(name.substr(6)) + ":";
    return p;
}

} // namespace

QByteArray externalReferenceEntry(const QByteArray& workbook, const QString& relId)
{
    const RootPrefixes p = rootPrefixes(workbook);
    const std::string declared = p.relationships ? std::string() : " xmlns:r=\"" + std::string(kRelationshipsNs) + '"';
    const std::string entry = "<" + p.element + "externalReference" + declared + " " + p.relationships.value_or("r:")
        + "id=\"" + escapeXml(relId.toStdString(), true) + "\"/>";
    return QByteArray::fromStdString(entry);
}

QByteArray externalReferencesBlock(const QByteArray& workbook, const QByteArray& entries)
{
    const QByteArray element = QByteArray::fromStdString(rootPrefixes(workbook).element) + "externalReferences";
    return "<" + element + ">" + entries + "</" + element + ">";
}

QByteArray rewriteAppProperties(const QByteArray& part, const QString& sheetName, const QString& detail)
{
    static const std::string vt = "xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes\"";
    XmlTokenStream tokens(part, detail);
    std::string out;
    XmlToken t;
    int skipDepth = 0;
    while (tokens.next(t)) {
        if (skipDepth > 0) {
            skipDepth += t.kind == TokenKind::StartTag ? 1 : t.kind == TokenKind::EndTag ? -1 : 0;
            continue;
        }
        const std::string_view local = t.localName();
        if (t.isTag() && (local == "HeadingPairs" || local == "TitlesOfParts")) {
            const std::string name(t.name);
            if (local == "HeadingPairs")
                out += "<" + name + "><vt:vector " + vt + " size=\"2\" baseType=\"variant\"><vt:variant>"
                    "<vt:lpstr>Worksheets</vt:lpstr></vt:variant><vt:variant><vt:i4>1</vt:i4>"
                    "</vt:variant></vt:vector></" + name + ">";
            else
                out += "<" + name + "><vt:vector " + vt + " size=\"1\" baseType=\"lpstr\"><vt:lpstr>"
                    + escapeXml(sheetName.toStdString(), false) + "</vt:lpstr></vt:vector></" + name + ">";
            skipDepth = t.kind == TokenKind::StartTag ? 1 : 0;
            continue;
        }
        out.append(t.raw);
    }
    return QByteArray::fromStdString(out);
}

} // namespace bf::xlsx
