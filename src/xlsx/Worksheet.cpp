#include "xlsx/Worksheet.h"

#include "xlsx/Packager.h"
#include "xlsx/SharedStrings.h"
#include "xlsx/XlsxStatus.h"
#include "xlsx/XmlScanner.h"

#include <algorithm>
#include <charconv>
#include <set>
#include <utility>

namespace bf::xlsx {

namespace {

constexpr std::size_t kFlushBytes = 1 << 16; // stays in the cache between flushes
// A formula's text or a rule of the extensions is held whole: one larger than this is no
// spreadsheet's, and would let a small part that inflates hugely take memory without bound.
constexpr std::size_t kMaxHeldBytes = 16u << 20;
constexpr std::string_view kHeldTooLarge = "a formula or a rule longer than 16 MB, the limit for one";
constexpr std::uint32_t kSheetRows = 1'048'576;
// How far a text cell's index may lie beyond the string table: the copy's table holds as many
// empty items.
constexpr std::size_t kMaxEmptyItems = 1u << 20;

bool isFormulaElement(std::string_view local)
{
    return local == "f" || local == "formula" || local == "formula1" || local == "formula2"
        || local == "calculatedColumnFormula" || local == "totalsRowFormula";
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The raw value of attribute `name` (unprefixed) of a checked tag's attribute text, read in
// place without building the whole attribute list; white space may stand around the '='.
std::string_view quickAttribute(std::string_view attrs, std::string_view name)
{
    for (std::size_t i = 0; i < attrs.size();) {
        while (i < attrs.size() && isSpace(attrs[i]))
            ++i;
        const std::size_t eq = attrs.find('=', i);
        if (eq == attrs.npos)
            return {};
        std::size_t nameEnd = eq, q = eq + 1;
        while (nameEnd > i && isSpace(attrs[nameEnd - 1]))
            --nameEnd;
        while (q < attrs.size() && isSpace(attrs[q]))
            ++q;
        const std::size_t close = q < attrs.size() ? attrs.find(attrs[q], q + 1) : attrs.npos;
        if (close == attrs.npos)
            return {};
        if (attrs.substr(i, nameEnd - i) == name)
            return attrs.substr(q + 1, close - q - 1);
        i = close + 1;
    }
    return {};
}

class Output {
public:
    explicit Output(PartDeflater& d) : deflater_(d) {}
    void put(std::string_view s)
    {
        buffer_.append(s);
        if (buffer_.size() >= kFlushBytes)
            flush();
    }
    void flush()
    {
        deflater_.write(buffer_);
        buffer_.clear();
    }

private:
    PartDeflater& deflater_;
    std::string buffer_;
};

// Elements whose text is captured, then written back changed or as it stood.
enum class Capture { None, StringIndex, Formula };

std::string capturedFormula(const std::string& raw, FormulaRewriter& formulas, FillSpread spread)
{
    if (raw.find('!') == raw.npos && raw.find('[') == raw.npos) {
        formulas.noteNames(raw.find('&') == raw.npos ? raw : unescapeXml(raw));
        return raw;
    }
    const std::optional<std::string> changed = formulas.rewrite(unescapeXml(raw), spread);
    return changed ? escapeXml(*changed, false) : raw;
}

// The fill of a shared formula's text: its cells beyond the first.
FillSpread spreadOf(const XmlToken& formula)
{
    if (quickAttribute(formula.attrs, "t") != "shared")
        return {};
    const std::optional<CellArea> range = parseArea(quickAttribute(formula.attrs, "ref"));
    return range ? FillSpread{range->lastRow - range->firstRow, range->lastCol - range->firstCol} : FillSpread{};
}

// The fill of a rule's formulas over the ranges it applies to ("A1:A9 C1"): relative to the
// first range's first cell, as far as the ranges reach.
FillSpread spreadOfRanges(std::string_view sqref)
{
    std::optional<CellArea> first;
    std::uint32_t lastRow = 0, lastCol = 0;
    for (std::size_t from = 0; from < sqref.size();) {
        const std::size_t space = std::min(sqref.find(' ', from), sqref.size());
        if (const std::optional<CellArea> range = parseArea(sqref.substr(from, space - from))) {
            first = first ? first : range;
            lastRow = std::max(lastRow, range->lastRow);
            lastCol = std::max(lastCol, range->lastCol);
        }
        from = space + 1;
    }
    return first ? FillSpread{lastRow - first->firstRow, lastCol - first->firstCol} : FillSpread{};
}

// With values: the rules of a block (its cfRule and dataValidation elements) whose formulas read
// other sheets, with constants in place of those references; a validation list read from another
// sheet as the explicit list of its values. A rule nothing can stand in for goes, counted, and
// a container left without rules with it; a validation of the extensions, whose container
// counts its rules, keeps #REF! instead (counted as a reference).
class ValuesRules {
public:
    ValuesRules(FormulaRewriter& formulas, FillSpread spread) : formulas_(formulas), spread_(spread) {}

    std::string run(std::string_view block, const QString& detail)
    {
        XmlTokenStream tokens(QByteArray::fromRawData(block.data(), qsizetype(block.size())), detail);
        XmlToken t;
        while (tokens.next(t))
            token(t);
        if (kept_ == 0 && rules_ > 0)
            return {};
        if (rootLocal_ == "dataValidations" && rootCounted_) {
            // The container's count follows the validations kept.
            XmlTokenStream again(QByteArray::fromStdString(rootTag_), detail);
            XmlToken root;
            if (again.next(root))
                rootTag_ = withAttribute(root, "count", std::to_string(kept_));
        }
        return rootTag_ + body_;
    }

private:
    void token(const XmlToken& t)
    {
        const bool startTag = t.kind == TokenKind::StartTag || t.kind == TokenKind::EmptyTag;
        if (rootLocal_.empty() && startTag) {
            // The block's own element: a container of rules, or one validation of the extensions.
            rootLocal_ = t.localName();
            rootTag_ = t.raw;
            rootCounted_ = !quickAttribute(t.attrs, "count").empty();
            list_ = quickAttribute(t.attrs, "type") == "list";
            ruleSpread_ = spread_;
            return;
        }
        if (startTag && ruleDepth_ < 0 && (t.localName() == "cfRule" || t.localName() == "dataValidation")) {
            ruleDepth_ = depth_;
            rule_.clear();
            ruleDropped_ = false;
            list_ = quickAttribute(t.attrs, "type") == "list";
            // A validation of the extensions names its ranges after its formulas: a relative
            // reference of it is taken as filled, so no one constant stands for it.
            const std::string_view ranges = quickAttribute(t.attrs, "sqref");
            ruleSpread_ = t.localName() != "dataValidation" ? spread_ : ranges.empty() ? FillSpread{1, 1} : spreadOfRanges(ranges);
        }
        std::string& out = ruleDepth_ >= 0 ? rule_ : body_;
        if (capture_ && !t.isTag() && t.kind != TokenKind::EndTag) {
            captured_.append(t.raw);
            return;
        }
        if (capture_ && t.kind == TokenKind::EndTag)
            out += formula(std::exchange(captured_, std::string()));
        else if (capture_)
            out += std::exchange(captured_, std::string()); // an element inside: no text of its own
        capture_ = t.kind == TokenKind::StartTag && isFormulaElement(t.localName());
        if (capture_)
            firstFormula_ = t.localName() == "formula1" || (inFormula1_ && t.localName() == "f");
        if (t.kind == TokenKind::StartTag && t.localName() == "formula1")
            inFormula1_ = true;
        else if (t.kind == TokenKind::EndTag && t.localName() == "formula1")
            inFormula1_ = false;
        out.append(t.raw);
        depth_ += t.kind == TokenKind::StartTag ? 1 : t.kind == TokenKind::EndTag ? -1 : 0;
        if (ruleDepth_ >= 0 && depth_ == ruleDepth_ && t.kind != TokenKind::StartTag && t.kind != TokenKind::Text) {
            ruleDepth_ = -1;
            ++rules_;
            if (!ruleDropped_) {
                ++kept_;
                body_ += rule_;
            }
        }
    }

    std::string formula(const std::string& raw)
    {
        const std::string text = unescapeXml(raw);
        if (list_ && firstFormula_)
            if (const std::optional<std::string> list = formulas_.explicitList(text))
                return escapeXml(*list, false);
        const std::size_t before = formulas_.dropped();
        const bool lostName = formulas_.usesNameWithoutValue(text);
        const std::optional<std::string> changed = formulas_.rewrite(text, ruleSpread_);
        if (formulas_.dropped() != before || lostName) {
            if (rootLocal_ == "dataValidation") {
                formulas_.drops.references += int(formulas_.dropped() - before);
            } else if (!ruleDropped_) {
                ruleDropped_ = true;
                ++(rootLocal_ == "dataValidations" ? formulas_.drops.validations : formulas_.drops.conditionalFormats);
            }
        }
        return changed ? escapeXml(*changed, false) : raw;
    }

    FormulaRewriter& formulas_;
    FillSpread spread_, ruleSpread_;
    std::string rootLocal_, rootTag_, body_, rule_, captured_;
    int depth_ = 0, ruleDepth_ = -1, rules_ = 0, kept_ = 0;
    bool capture_ = false, ruleDropped_ = false, list_ = false, firstFormula_ = false, inFormula1_ = false;
    bool rootCounted_ = false; // the container gives a count of its rules
};

// A block of rules held whole: read to its end tag.
std::string heldBlock(XmlTokenStream& tokens, XmlToken& t, std::string* ranges = nullptr)
{
    std::string block(t.raw);
    bool inRanges = false;
    for (int depth = t.kind == TokenKind::StartTag ? 1 : 0; depth > 0 && tokens.next(t);) {
        if (block.size() > kMaxHeldBytes)
            tokens.refuse(XlsxStatus::PartTooLarge, tokens.offset(), kHeldTooLarge);
        block.append(t.raw);
        depth += t.kind == TokenKind::StartTag ? 1 : t.kind == TokenKind::EndTag ? -1 : 0;
        if (ranges && inRanges && t.kind == TokenKind::Text)
            *ranges += unescapeXml(t.raw);
        inRanges = t.kind == TokenKind::StartTag && t.localName() == "sqref";
    }
    return block;
}

// A rule of the sheet's extensions, whose ranges follow its formulas: read whole (it is
// small), then its formulas rewritten as filled over those ranges.
std::string rewrittenRuleBlock(XmlTokenStream& tokens, XmlToken& t, FormulaRewriter& formulas)
{
    std::string ranges;
    const std::string block = heldBlock(tokens, t, &ranges);
    if (block.find('!') == block.npos && !formulas.tracksNames())
        return block;
    if (formulas.values())
        return ValuesRules(formulas, spreadOfRanges(ranges)).run(block, tokens.detail());
    const QByteArray rewritten = rewriteFormulaPart(QByteArray::fromStdString(block), formulas, tokens.detail(),
                                                    spreadOfRanges(ranges));
    return rewritten.toStdString();
}

// A cell's or a row's position, where the part gives one, lies within the sheet.
void checkPosition(const XmlTokenStream& tokens, bool cell)
{
    const std::string_view ref = tokens.tagAttribute("r");
    if (ref.empty())
        return;
    std::uint32_t row = 0, col = 0;
    const bool sound = cell ? parseCellRef(ref, row, col)
                            : std::from_chars(ref.data(), ref.data() + ref.size(), row).ptr == ref.data() + ref.size()
                                  && row >= 1 && row <= kSheetRows;
    if (!sound)
        tokens.refuse(XlsxStatus::DamagedPart, tokens.offset(),
                      (cell ? "the cell reference \"" : "the row number \"") + std::string(ref.substr(0, 40))
                          + (cell ? "\", not a cell of A1:XFD1048576" : "\", not a row of 1 to 1048576"));
}

// Where a reading stands in a sheet's cells: sheetData opening and closing, rows and cells
// checked for their positions as they come, and whether the last cell holds a string's index.
struct CellPlace {
    bool inSheetData = false;
    bool sharedCell = false;

    // Follows a token; true for a tag of sheetData, a row or a cell, which it has taken.
    bool follow(const XmlTokenStream& tokens, const XmlToken& t)
    {
        if (t.kind == TokenKind::EndTag && t.raw.size() >= 12 && t.localName() == "sheetData")
            inSheetData = false;
        if (!t.isTag())
            return false;
        const std::string_view local = t.localName();
        if (local == "sheetData") {
            inSheetData = t.kind == TokenKind::StartTag;
            return true;
        }
        if (!inSheetData || (local != "c" && local != "row"))
            return false;
        checkPosition(tokens, local == "c");
        if (local == "c")
            sharedCell = tokens.tagAttribute("t") == "s";
        return true;
    }
};

// A text cell's index, noted as used; one that is no index is left for the reader to judge.
// One far beyond the table would make the copy's table hold that many empty items.
void noteIndex(const XmlTokenStream& tokens, const std::string& raw, StringUse& strings)
{
    std::string unescaped;
    const std::string_view text = raw.find('&') == raw.npos ? std::string_view(raw) : (unescaped = unescapeXml(raw));
    std::uint32_t index = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), index);
    if (ec != std::errc() || end != text.data() + text.size())
        return;
    strings.note(index);
    if (strings.end() - strings.size() > kMaxEmptyItems)
        tokens.refuse(XlsxStatus::DamagedPart, tokens.offset(),
                      "the shared-string index " + std::string(text) + ", " + std::to_string(index - strings.size() + 1)
                          + " beyond the table's end, the limit is 1,048,576");
}

// Whether a formula's text (as in the part) reads another sheet; the names it uses are noted.
bool formulaReadsOtherSheets(const std::string& raw, FormulaRewriter& scratch)
{
    const std::string text = raw.find('&') == raw.npos ? raw : unescapeXml(raw);
    if (text.find('!') == text.npos && text.find('[') == text.npos) {
        scratch.noteNames(text);
        return false;
    }
    return text.find("[0]!") != text.npos || scratch.rewrite(text) || scratch.readsOtherSheets(text);
}

// A shared formula's text that went: the cells that share it lose theirs too.
void noteDroppedShared(const std::string& tag, std::set<std::string>& droppedShared)
{
    const std::size_t nameEnd = tag.find_first_of(" \t\r\n");
    const std::string_view attrs = nameEnd == tag.npos ? std::string_view() : std::string_view(tag).substr(nameEnd);
    if (quickAttribute(attrs, "t") == "shared")
        droppedShared.insert(std::string(quickAttribute(attrs, "si")));
}

} // namespace

SheetUse scanWorksheet(const ChunkSource& in, std::shared_ptr<const FormulaTargets> targets, int sheet,
                       std::size_t tableSize, const QString& detail)
{
    SheetUse use{false, StringUse(tableSize), {}};
    FormulaRewriter scratch(std::move(targets), sheet, 1);
    XmlTokenStream tokens(in, detail);
    XmlToken t;
    CellPlace place;
    Capture capture = Capture::None;
    std::string captured;
    while (tokens.next(t)) {
        if (capture != Capture::None && t.kind == TokenKind::EndTag) {
            if (capture == Capture::StringIndex)
                noteIndex(tokens, captured, use.strings);
            else if (formulaReadsOtherSheets(captured, scratch))
                return {true, StringUse(), {}};
        } else if (capture != Capture::None && !t.isTag()) {
            captured.append(t.raw);
            if (captured.size() > kMaxHeldBytes)
                tokens.refuse(XlsxStatus::PartTooLarge, tokens.offset(), kHeldTooLarge);
            continue;
        }
        capture = Capture::None; // an end, or an element inside: the outer one holds no text
        if (place.follow(tokens, t) || t.kind != TokenKind::StartTag)
            continue;
        const std::string_view local = t.localName();
        if ((local == "v" && place.sharedCell) || isFormulaElement(local)) {
            capture = local == "v" ? Capture::StringIndex : Capture::Formula;
            captured.clear();
        }
    }
    use.names = scratch.usedNames();
    return use;
}

void rewriteWorksheet(const ChunkSource& in, PartDeflater& deflater, FormulaRewriter& formulas,
                      StringUse& strings, const QString& detail)
{
    XmlTokenStream tokens(in, detail);
    Output out(deflater);
    XmlToken t;
    CellPlace place;
    Capture capture = Capture::None;
    std::string captured;
    FillSpread spread, ruleSpread;
    std::string heldCellFormula;            // with values: a cell's formula tag, until its text is read
    std::set<std::string> droppedShared;    // with values: shared formulas that went, by si
    while (tokens.next(t)) {
        if (capture != Capture::None && !t.isTag()) {
            if (t.kind != TokenKind::EndTag) {
                captured.append(t.raw);
                if (captured.size() > kMaxHeldBytes)
                    tokens.refuse(XlsxStatus::PartTooLarge, tokens.offset(), kHeldTooLarge);
                continue;
            }
            if (!heldCellFormula.empty()) {
                // A cell's formula that reads another sheet goes; the cell keeps its value.
                if (formulas.readsOtherSheets(captured.find('&') == captured.npos ? captured : unescapeXml(captured))) {
                    noteDroppedShared(heldCellFormula, droppedShared);
                    heldCellFormula.clear();
                    capture = Capture::None;
                    continue;
                }
                out.put(std::exchange(heldCellFormula, std::string()));
            }
            if (capture == Capture::StringIndex)
                noteIndex(tokens, captured, strings);
            out.put(capture == Capture::Formula ? capturedFormula(captured, formulas, spread) : captured);
            capture = Capture::None;
            out.put(t.raw);
            continue;
        }
        if (capture != Capture::None) {
            // An element inside ("<x14:formula1><xm:f>"): the outer one holds no text of its own.
            out.put(std::exchange(heldCellFormula, std::string()));
            out.put(captured);
            capture = Capture::None;
        }
        if (!place.follow(tokens, t) && t.isTag()) {
            const std::string_view local = t.localName();
            if (t.kind == TokenKind::StartTag && local == "v" && place.sharedCell) {
                capture = Capture::StringIndex;
            } else if (formulas.values() && t.kind == TokenKind::StartTag
                       && (local == "dataValidations"
                           || (local == "conditionalFormatting" && !quickAttribute(t.attrs, "sqref").empty()))) {
                // With values, rules are held whole: one may go, and its container's count with it.
                const FillSpread rules = spreadOfRanges(quickAttribute(t.attrs, "sqref"));
                const std::string block = heldBlock(tokens, t);
                const bool plain = block.find('!') == block.npos && !formulas.tracksNames();
                out.put(plain ? block : ValuesRules(formulas, rules).run(block, tokens.detail()));
                continue;
            } else if ((local == "conditionalFormatting" || local == "dataValidation")
                       && t.kind == TokenKind::StartTag && quickAttribute(t.attrs, "sqref").empty()) {
                out.put(rewrittenRuleBlock(tokens, t, formulas));
                continue;
            } else if (local == "conditionalFormatting" || local == "dataValidation") {
                ruleSpread = spreadOfRanges(quickAttribute(t.attrs, "sqref"));
            } else if (local == "f" && place.inSheetData && formulas.values() && t.kind == TokenKind::EmptyTag
                       && droppedShared.count(std::string(quickAttribute(t.attrs, "si")))
                       && quickAttribute(t.attrs, "t") == "shared") {
                continue; // a cell of a shared formula that went: its value stays
            } else if (t.kind == TokenKind::StartTag && isFormulaElement(local)) {
                capture = Capture::Formula;
                spread = local == "f" ? spreadOf(t) : ruleSpread;
                if (local == "f" && place.inSheetData && formulas.values()) {
                    heldCellFormula.assign(t.raw);
                    captured.clear();
                    continue;
                }
            }
            if (capture != Capture::None)
                captured.clear();
        }
        out.put(t.raw);
    }
    out.flush();
}

QByteArray rewriteFormulaPart(const QByteArray& part, FormulaRewriter& formulas, const QString& detail,
                              FillSpread spread)
{
    if (!part.contains('!') && !formulas.tracksNames())
        return part;
    XmlTokenStream tokens(part, detail);
    std::string out;
    out.reserve(std::size_t(part.size()) + 64);
    XmlToken t;
    bool capture = false;
    std::string captured;
    while (tokens.next(t)) {
        if (capture && t.isTag()) { // an element inside: the outer one holds no text of its own
            out += captured;
            capture = false;
        }
        if (capture) {
            if (t.kind != TokenKind::EndTag) {
                captured.append(t.raw);
                continue;
            }
            out += capturedFormula(captured, formulas, spread);
            capture = false;
        } else if (t.kind == TokenKind::StartTag && isFormulaElement(t.localName())) {
            capture = true;
            captured.clear();
        }
        out.append(t.raw);
    }
    return QByteArray::fromStdString(out);
}

namespace {

// The areas that reach the current row, found as rows go by: a sheet read for thousands of
// references would otherwise test every cell against every area.
class RowAreas {
public:
    explicit RowAreas(std::vector<CellArea> areas) : byFirstRow_(std::move(areas))
    {
        std::sort(byFirstRow_.begin(), byFirstRow_.end(),
                  [](const CellArea& a, const CellArea& b) { return a.firstRow < b.firstRow; });
        enter(0);
    }
    void enter(std::uint32_t row)
    {
        if (row < row_) { // rows out of order: start over
            active_.clear();
            next_ = 0;
        }
        row_ = row;
        while (next_ < byFirstRow_.size() && byFirstRow_[next_].firstRow <= row)
            active_.push_back(byFirstRow_[next_++]);
        std::erase_if(active_, [row](const CellArea& a) { return a.lastRow < row; });
    }
    bool contains(std::uint32_t col) const
    {
        for (const CellArea& a : active_)
            if (col >= a.firstCol && col <= a.lastCol)
                return true;
        return false;
    }

private:
    std::vector<CellArea> byFirstRow_;
    std::vector<CellArea> active_;
    std::size_t next_ = 0;
    std::uint32_t row_ = 0;
};

// Reads one worksheet's cells, tracking positions where the part leaves them implicit.
class CellCollector {
public:
    CellCollector(const std::vector<CellArea>& areas, const SharedStrings& strings, LinkBudget& budget)
        : areas_(areas), strings_(strings), budget_(budget)
    {
        for (const CellArea& a : areas)
            lastRow_ = std::max(lastRow_, a.lastRow);
    }
    void token(const XmlToken& t);
    // Past the last row any area names: the rest of the sheet can go unread.
    // Past the budget too.
    bool done() const { return partial || (!firstRow_ && row_ > lastRow_ && !inCell_); }
    std::vector<CachedCell> cells;
    bool partial = false;

private:
    void setRow(std::uint32_t row)
    {
        row_ = row;
        areas_.enter(row);
    }
    void startCell(const XmlToken& t);
    void endCell();

    RowAreas areas_;
    const SharedStrings& strings_;
    LinkBudget& budget_;
    std::uint32_t row_ = 0;
    std::uint32_t col_ = 0;
    std::uint32_t lastRow_ = 0;
    bool firstRow_ = true;
    bool inCell_ = false, inValue_ = false, wanted_ = false;
    std::string type_, text_;
};

void CellCollector::startCell(const XmlToken& t)
{
    std::uint32_t r = row_, c = col_ + 1;
    const std::string_view ref = quickAttribute(t.attrs, "r");
    if (!ref.empty() && parseCellRef(ref, r, c) && r != row_)
        setRow(r);
    col_ = c;
    wanted_ = areas_.contains(col_);
    type_ = std::string(quickAttribute(t.attrs, "t"));
    text_.clear();
    inCell_ = t.kind == TokenKind::StartTag;
}

void CellCollector::endCell()
{
    inCell_ = false;
    if (!wanted_ || text_.empty())
        return; // a cell that holds nothing needs no cache
    CachedCell cell{row_, col_, type_, unescapeXml(text_)};
    if (type_ == "s") {
        std::uint32_t index = 0;
        const auto [end, ec] = std::from_chars(cell.value.data(), cell.value.data() + cell.value.size(), index);
        cell.value = ec == std::errc() ? strings_.text(index) : std::string();
    } else if (type_ == "str" || type_ == "inlineStr") {
        cell.type.assign(1, 's');
    } else if (type_ == "n" || type_ == "d") {
        cell.type.clear();
    }
    if (budget_.cells == 0 || cell.value.size() > budget_.textBytes) {
        partial = true;
        return;
    }
    --budget_.cells;
    budget_.textBytes -= cell.value.size();
    cells.push_back(std::move(cell));
}

void CellCollector::token(const XmlToken& t)
{
    const bool start = t.kind == TokenKind::StartTag || t.kind == TokenKind::EmptyTag;
    if (start && t.localName() == "row") {
        const std::string_view r = quickAttribute(t.attrs, "r");
        std::uint32_t n = 0;
        const bool given = !r.empty() && std::from_chars(r.data(), r.data() + r.size(), n).ec == std::errc() && n > 0;
        setRow(given ? n - 1 : (firstRow_ ? 0 : row_ + 1));
        firstRow_ = false;
        col_ = std::uint32_t(-1);
    } else if (start && t.localName() == "c") {
        startCell(t);
        if (t.kind == TokenKind::EmptyTag)
            endCell();
    } else if (inCell_ && t.kind == TokenKind::StartTag && (t.localName() == "v" || t.localName() == "t")) {
        inValue_ = true;
    } else if (inCell_ && t.kind == TokenKind::EndTag) {
        if (t.localName() == "c")
            endCell();
        inValue_ = false;
    } else if (inValue_ && t.kind == TokenKind::Text) {
        text_.append(t.raw);
    }
}

} // namespace

std::vector<CachedCell> readCachedCells(const ChunkSource& in, const std::vector<CellArea>& areas,
                                        const SharedStrings& strings, const QString& detail,
                                        LinkBudget& budget, bool& partial)
{
    XmlTokenStream tokens(in, detail);
    CellCollector collector(areas, strings, budget);
    XmlToken t;
    while (!collector.done() && tokens.next(t))
        collector.token(t);
    partial = collector.partial;
    return std::move(collector.cells);
}

} // namespace bf::xlsx
