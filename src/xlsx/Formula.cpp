#include "xlsx/Formula.h"

#include <QRegularExpression>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <utility>

namespace bf::xlsx {

namespace {

constexpr std::uint32_t kMaxRow = 1048575;
constexpr std::uint32_t kMaxCol = 16383;

bool isNameByte(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x80 || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')
        || c == '_' || c == '.' || c == '\\' || c == '$' || c == ':';
}

// End of the bracket group opening at f[i] == '['.
std::size_t bracketEnd(std::string_view f, std::size_t i)
{
    int depth = 0;
    for (; i < f.size(); ++i) {
        if (f[i] == '[')
            ++depth;
        else if (f[i] == ']' && --depth == 0)
            return i + 1;
    }
    return f.size();
}

// End of the quoted run opening at f[i] (the quote doubled inside).
std::size_t quotedEnd(std::string_view f, std::size_t i, char quote)
{
    for (++i; i < f.size(); ++i) {
        if (f[i] == quote) {
            if (i + 1 < f.size() && f[i + 1] == quote)
                ++i;
            else
                return i + 1;
        }
    }
    return f.size();
}

// The items of a structured reference's brackets: "[#Headers],[A]:[B]" -> "#Headers", "A:B".
std::vector<std::string> structuredItems(std::string_view inner)
{
    std::vector<std::string> items;
    if (inner.empty())
        return items; // Table[]: the data
    if (inner.front() != '[')
        return {std::string(inner)}; // Table[Column]
    std::string item;
    for (std::size_t i = 0; i < inner.size();) {
        if (inner[i] == '[') {
            const std::size_t end = bracketEnd(inner, i);
            item += std::string(inner.substr(i + 1, end - i - 2));
            i = end;
        } else if (inner[i] == ':') {
            item += ':';
            ++i;
        } else {
            if (inner[i] == ',' && !item.empty())
                items.push_back(std::move(item)), item.clear();
            ++i;
        }
    }
    if (!item.empty())
        items.push_back(std::move(item));
    return items;
}

int columnIndex(const TableInfo& t, const std::string& name)
{
    QString wanted = QString::fromStdString(name).trimmed();
    wanted.remove(QRegularExpression(QStringLiteral("'(?=.)")));
    for (std::size_t i = 0; i < t.columns.size(); ++i)
        if (t.columns[i].compare(wanted, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}
} // namespace

bool parseCellRef(std::string_view ref, std::uint32_t& row, std::uint32_t& col)
{
    std::size_t i = 0;
    if (i < ref.size() && ref[i] == '$')
        ++i;
    std::uint64_t c = 0;
    const std::size_t colStart = i;
    // Plain ASCII tests: this runs for every cell of a sheet.
    while (i < ref.size() && ((ref[i] >= 'A' && ref[i] <= 'Z') || (ref[i] >= 'a' && ref[i] <= 'z')) && i - colStart < 3)
        c = c * 26 + std::uint64_t((ref[i++] & ~0x20) - 'A' + 1);
    if (i == colStart)
        return false;
    if (i < ref.size() && ref[i] == '$')
        ++i;
    std::uint64_t r = 0;
    const std::size_t rowStart = i;
    while (i < ref.size() && ref[i] >= '0' && ref[i] <= '9' && i - rowStart < 8)
        r = r * 10 + std::uint64_t(ref[i++] - '0');
    if (i == rowStart || i != ref.size() || r == 0 || r - 1 > kMaxRow || c - 1 > kMaxCol)
        return false;
    row = std::uint32_t(r - 1);
    col = std::uint32_t(c - 1);
    return true;
}

std::optional<CellArea> parseArea(std::string_view text)
{
    const std::size_t colon = text.find(':');
    const std::string_view a = text.substr(0, colon);
    const std::string_view b = colon == text.npos ? a : text.substr(colon + 1);
    CellArea area;
    if (parseCellRef(a, area.firstRow, area.firstCol) && parseCellRef(b, area.lastRow, area.lastCol)) {
    } else if (parseCellRef(std::string(a) + "1", area.firstRow, area.firstCol)
               && parseCellRef(std::string(b) + "1", area.lastRow, area.lastCol)) {
        area.firstRow = 0; // whole columns
        area.lastRow = kMaxRow;
    } else if (parseCellRef("A" + std::string(a), area.firstRow, area.firstCol)
               && parseCellRef("A" + std::string(b), area.lastRow, area.lastCol)) {
        area.firstCol = 0; // whole rows
        area.lastCol = kMaxCol;
    } else {
        return std::nullopt;
    }
    if (area.firstRow > area.lastRow)
        std::swap(area.firstRow, area.lastRow);
    if (area.firstCol > area.lastCol)
        std::swap(area.firstCol, area.lastCol);
    return area;
}

std::string cellName(std::uint32_t row, std::uint32_t col)
{
    std::string letters;
    for (std::uint32_t c = col + 1; c > 0; c = (c - 1) / 26)
        letters.insert(letters.begin(), char('A' + (c - 1) % 26));
    return letters + std::to_string(row + 1);
}

namespace {
// The cells a reference names across a filled range: its relative rows and columns go as far
// as the fill does ("A1" filled three rows down names A1:A4, "$A$1" still A1).
CellArea filled(CellArea area, std::string_view reference, FillSpread spread)
{
    bool relativeRows = false, relativeCols = false;
    for (std::size_t from = 0; from <= reference.size();) {
        const std::size_t colon = std::min(reference.find(':', from), reference.size());
        const std::string_view end = reference.substr(from, colon - from);
        const std::size_t digit = end.find_first_of("0123456789");
        const std::size_t letter = end.find_first_not_of("$0123456789");
        relativeCols = relativeCols || (letter != end.npos && (letter == 0 || end[letter - 1] != '$'));
        relativeRows = relativeRows || (digit != end.npos && (digit == 0 || end[digit - 1] != '$'));
        from = colon + 1;
    }
    if (relativeRows)
        area.lastRow = std::min<std::uint64_t>(std::uint64_t(area.lastRow) + spread.rows, kMaxRow);
    if (relativeCols)
        area.lastCol = std::min<std::uint64_t>(std::uint64_t(area.lastCol) + spread.cols, kMaxCol);
    return area;
}

// "$A$2" for row 1, column 0.
std::string absoluteName(std::uint32_t row, std::uint32_t col)
{
    std::string name = cellName(row, col);
    const std::size_t digits = name.find_first_of("0123456789");
    return "$" + name.substr(0, digits) + "$" + name.substr(digits);
}
} // namespace

std::optional<CellArea> structuredArea(const TableInfo& t, std::string_view inner)
{
    const std::uint32_t dataFirst = t.area.firstRow + t.headerRows;
    const std::uint32_t dataLast = t.area.lastRow - std::min(t.totalsRows, t.area.lastRow);
    std::optional<std::pair<std::uint32_t, std::uint32_t>> rows, cols;
    const auto widen = [](auto& range, std::uint32_t first, std::uint32_t last) {
        range = range ? std::pair(std::min(range->first, first), std::max(range->second, last)) : std::pair(first, last);
    };
    for (const std::string& item : structuredItems(inner)) {
        QString special = QString::fromStdString(item).simplified().toLower();
        if (special == QLatin1String("#all"))
            widen(rows, t.area.firstRow, t.area.lastRow);
        else if (special == QLatin1String("#data"))
            widen(rows, dataFirst, dataLast);
        else if (special == QLatin1String("#headers") && t.headerRows > 0)
            widen(rows, t.area.firstRow, dataFirst - 1);
        else if (special == QLatin1String("#totals") && t.totalsRows > 0)
            widen(rows, dataLast + 1, t.area.lastRow);
        else if (special.startsWith('#'))
            return std::nullopt; // this row, or a part the table lacks
        else {
            const std::size_t colon = item.find(':');
            const int a = columnIndex(t, item.substr(0, colon));
            const int b = colon == item.npos ? a : columnIndex(t, item.substr(colon + 1));
            if (a < 0 || b < 0)
                return std::nullopt;
            widen(cols, t.area.firstCol + std::uint32_t(std::min(a, b)), t.area.firstCol + std::uint32_t(std::max(a, b)));
        }
    }
    if (!rows)
        rows = std::pair(dataFirst, dataLast);
    if (!cols)
        cols = std::pair(t.area.firstCol, t.area.lastCol);
    if (rows->first > rows->second)
        return std::nullopt; // no data rows
    return CellArea{rows->first, cols->first, rows->second, cols->second};
}

FormulaTargets::FormulaTargets(std::vector<QString> sheetNames) : names_(std::move(sheetNames))
{
    for (std::size_t i = 0; i < names_.size(); ++i)
        indexByFolded_.emplace(names_[i].toCaseFolded(), int(i));
}

void FormulaTargets::addTable(TableInfo table)
{
    if (table.sheet >= 0 && std::size_t(table.sheet) < names_.size())
        tables_[table.name.toCaseFolded()] = std::move(table);
}

int FormulaTargets::sheetIndex(const QString& name) const
{
    const auto it = indexByFolded_.find(name.toCaseFolded());
    return it == indexByFolded_.end() ? -1 : it->second;
}

const TableInfo* FormulaTargets::table(const QString& name) const
{
    const auto it = tables_.find(name.toCaseFolded());
    return it == tables_.end() ? nullptr : &it->second;
}

FormulaRewriter::FormulaRewriter(std::shared_ptr<const FormulaTargets> targets, int kept, int externalIndex)
    : targets_(std::move(targets)), kept_(kept), externalIndex_(externalIndex)
{
}

FormulaRewriter::FormulaRewriter(std::vector<QString> sheetNames, int kept, int externalIndex)
    : ownTargets_(std::make_shared<FormulaTargets>(std::move(sheetNames))), kept_(kept), externalIndex_(externalIndex)
{
    targets_ = ownTargets_;
}

void FormulaRewriter::addTable(TableInfo table)
{
    if (ownTargets_ && table.sheet != kept_)
        ownTargets_->addTable(std::move(table));
}

std::optional<std::string> FormulaRewriter::rewrite(std::string_view f, FillSpread spread)
{
    noteNames(f);
    if (f.find('!') == f.npos && (!targets_->hasTables() || f.find('[') == f.npos))
        return std::nullopt;
    spread_ = spread;
    std::string out;
    out.reserve(f.size() + 8);
    bool changed = false;
    std::size_t i = 0;
    while (i < f.size()) {
        const char c = f[i];
        std::size_t j = i + 1;
        if (c == '"') {
            j = quotedEnd(f, i, '"');
        } else if (c == '[') {
            // An external book index ("[1]Sheet!A1") or a structured reference: as it stands.
            j = bracketEnd(f, i);
            while (j < f.size() && isNameByte(f[j]))
                ++j;
            if (j < f.size() && f[j] == '!')
                ++j;
        } else if (c == '\'') {
            j = quotedEnd(f, i, '\'');
            if (j < f.size() && f[j] == '!') {
                const std::size_t next = sheetReference(f, i, j, true, out);
                changed = changed || next != 0;
                if (next) {
                    i = next;
                    continue;
                }
            }
        } else if (isNameByte(c)) {
            while (j < f.size() && isNameByte(f[j]))
                ++j;
            if (j < f.size() && f[j] == '[' && targets_->hasTables()) {
                const std::size_t next = tableReference(f, i, j, out);
                changed = changed || next != 0;
                if (next) {
                    i = next;
                    continue;
                }
                j = bracketEnd(f, j); // a table of the kept sheet goes along
            } else if (j < f.size() && f[j] == '!') {
                const std::size_t next = sheetReference(f, i, j, false, out);
                changed = changed || next != 0;
                if (next) {
                    i = next;
                    continue;
                }
            }
        }
        out.append(f.substr(i, j - i));
        i = j;
    }
    if (!changed)
        return std::nullopt;
    return out;
}

// f[start, bang) names the sheet (quoted or not), f[bang] == '!'. Appends the external form and
// returns where the reference ends; 0 when it names no other sheet of this workbook.
std::size_t FormulaRewriter::sheetReference(std::string_view f, std::size_t start, std::size_t bang,
                                            bool quoted, std::string& out)
{
    std::string_view inner = f.substr(start, bang - start);
    std::string name(inner);
    if (quoted) {
        name = std::string(inner.substr(1, inner.size() - 2));
        for (std::size_t p = name.find("''"); p != name.npos; p = name.find("''", p + 1))
            name.erase(p, 1);
    }
    const std::size_t colon = name.find(':');
    const int first = targets_->sheetIndex(QString::fromStdString(name.substr(0, colon)));
    const int last = colon == name.npos ? first : targets_->sheetIndex(QString::fromStdString(name.substr(colon + 1)));
    if (first < 0 || last < 0 || (first == kept_ && last == kept_))
        return 0;
    std::size_t end = bang + 1;
    while (end < f.size() && (isNameByte(f[end]) || f[end] == '#'))
        ++end;
    if (values_) {
        const std::optional<std::string> constant =
            first == last ? constantFor(f, start, end, first, f.substr(bang + 1, end - bang - 1)) : std::nullopt;
        out += constant ? *constant : std::string("#REF!");
        dropped_ += !constant;
        return end;
    }
    const std::string index = "[" + std::to_string(externalIndex_) + "]";
    if (quoted)
        out += "'" + index + std::string(inner.substr(1));
    else
        out += index + std::string(inner);
    out += '!';
    const std::string_view reference = f.substr(bang + 1, end - bang - 1);
    std::optional<CellArea> area = parseArea(reference);
    if (area)
        *area = filled(*area, reference, spread_);
    for (int s = std::min(first, last); s <= std::max(first, last); ++s) {
        auto& areas = references_[s];
        if (area)
            areas.push_back(*area);
    }
    out.append(f.substr(bang + 1, end - bang - 1));
    return end;
}

// f[start, open) may name a table of another sheet, f[open] == '['. Appends the external reference
// to the cells the structured reference names and returns where it ends; 0 when it names no such
// table or no fixed cells (a reference to the formula's own row is left as written).
std::size_t FormulaRewriter::tableReference(std::string_view f, std::size_t start, std::size_t open, std::string& out)
{
    const TableInfo* t = targets_->table(QString::fromUtf8(f.data() + start, qsizetype(open - start)));
    if (!t || t->sheet == kept_)
        return 0; // a table of the kept sheet goes along
    const std::size_t end = bracketEnd(f, open);
    if (end > f.size() || f[end - 1] != ']')
        return 0;
    const std::optional<CellArea> area = structuredArea(*t, f.substr(open + 1, end - open - 2));
    if (!area)
        return 0;
    if (values_) {
        out += "#REF!";
        ++dropped_;
        return end;
    }
    const int sheet = t->sheet;
    QString quoted = targets_->sheets()[std::size_t(sheet)];
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    out += "'[" + std::to_string(externalIndex_) + "]" + quoted.toStdString() + "'!"
        + absoluteName(area->firstRow, area->firstCol) + ":" + absoluteName(area->lastRow, area->lastCol);
    references_[sheet].push_back(*area);
    return end;
}

namespace {

// Functions that take a reference, not the value it shows, as an argument.
bool takesReference(std::string_view name)
{
    static const char* const names[] = {"ROW", "ROWS", "COLUMN", "COLUMNS", "OFFSET", "INDIRECT", "CELL", "ISREF",
                                        "INDEX", "AREAS", "SUMIF", "SUMIFS", "COUNTIF", "COUNTIFS", "AVERAGEIF",
                                        "AVERAGEIFS", "MAXIFS", "MINIFS", "SUBTOTAL", "AGGREGATE", "FORMULATEXT",
                                        "ISFORMULA", "SHEET", "SHEETS", "COUNTBLANK", "LOOKUP", "VLOOKUP",
                                        "HLOOKUP", "MATCH", "XLOOKUP", "XMATCH"};
    std::string upper(name);
    for (char& c : upper)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    if (upper.rfind("_XLFN.", 0) == 0)
        upper.erase(0, 6);
    for (const char* n : names)
        if (upper == n)
            return true;
    return false;
}

// The name of the function whose parentheses hold f[at], "" when none does.
std::string_view enclosingFunction(std::string_view f, std::size_t at)
{
    int depth = 0;
    for (std::size_t i = at; i-- > 0;) {
        if (f[i] == ')') {
            ++depth;
        } else if (f[i] == '(' && depth-- == 0) {
            std::size_t b = i;
            while (b > 0 && (std::isalnum(static_cast<unsigned char>(f[b - 1])) || f[b - 1] == '.' || f[b - 1] == '_'))
                --b;
            return f.substr(b, i - b);
        }
    }
    return {};
}

// A cell's value as a formula's constant; nullopt for a value no constant spells (a date as text).
std::optional<std::string> constantText(const CachedCell& cell)
{
    if (cell.type == "b")
        return cell.value == "1" ? "TRUE" : "FALSE";
    if (cell.type == "s" || cell.type == "str") {
        std::string quoted = "\"";
        for (char c : cell.value)
            quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        return quoted + '"';
    }
    if (cell.type == "e")
        return cell.value;
    char* end = nullptr;
    const std::string number = cell.value;
    std::strtod(number.c_str(), &end);
    if (number.empty() || end != number.c_str() + number.size() || number.find_first_of("xXnN") != number.npos)
        return std::nullopt; // not a plain number (hexadecimal, infinity and NaN included)
    return number;
}

} // namespace

// The constant standing for one cell of another sheet at f[start]: only where the cell's value
// may take the reference's place (not a range's end, not an argument taken as a reference) and
// the reference names the same cell wherever the formula is filled.
std::optional<std::string> FormulaRewriter::constantFor(std::string_view f, std::size_t start, std::size_t end,
                                                        int sheet, std::string_view reference)
{
    if (probing_ || !areaValues_)
        return std::nullopt;
    const std::optional<CellArea> area = parseArea(reference);
    if (!area || reference.find(':') != reference.npos)
        return std::nullopt;
    const CellArea reach = filled(*area, reference, spread_);
    if (reach.lastRow != area->firstRow || reach.lastCol != area->firstCol || (end < f.size() && f[end] == ':')
        || (start > 0 && f[start - 1] == ':') || takesReference(enclosingFunction(f, start)))
        return std::nullopt;
    const std::optional<std::vector<CachedCell>> cells = areaValues_(sheet, *area);
    if (!cells || cells->empty())
        return std::nullopt; // an empty cell shows 0 or "" as the formula takes it: no one constant
    return constantText(cells->front());
}

std::optional<std::string> FormulaRewriter::explicitList(std::string_view formula)
{
    const std::vector<NameUse> names = namesIn(formula);
    if (names.size() == 1 && !names.front().second && foldName(formula) == names.front().first
        && namesReadingOthers_.count(names.front().first) && nameFormula_) {
        const std::optional<std::string> definition = nameFormula_(names.front().first);
        return definition && definition->find_first_of("()") == std::string::npos ? explicitList(*definition) : std::nullopt;
    }
    const std::size_t bang = formula.rfind('!');
    if (bang == formula.npos || !areaValues_)
        return std::nullopt;
    std::string name(formula.substr(0, bang));
    if (name.size() >= 2 && name.front() == '\'' && name.back() == '\'') {
        name = name.substr(1, name.size() - 2);
        for (std::size_t p = name.find("''"); p != name.npos; p = name.find("''", p + 1))
            name.erase(p, 1);
    }
    const int sheet = targets_->sheetIndex(QString::fromStdString(name));
    const std::optional<CellArea> area = parseArea(formula.substr(bang + 1));
    if (sheet < 0 || sheet == kept_ || !area)
        return std::nullopt;
    const std::optional<std::vector<CachedCell>> cells = areaValues_(sheet, *area);
    if (!cells || cells->empty())
        return std::nullopt;
    std::string list;
    for (const CachedCell& c : *cells) {
        const std::string text = c.type == "b" ? (c.value == "1" ? "TRUE" : "FALSE") : c.value;
        if (text.find(',') != text.npos || text.find('"') != text.npos)
            return std::nullopt;
        list += (list.empty() ? "" : ",") + text;
    }
    if (list.size() > 255)
        return std::nullopt;
    return "\"" + list + "\"";
}

bool FormulaRewriter::usesNameWithoutValue(std::string_view formula)
{
    if (namesReadingOthers_.empty())
        return false;
    for (const NameUse& use : namesIn(formula)) {
        if (!namesReadingOthers_.count(use.first))
            continue;
        const std::optional<std::string> definition = nameFormula_ ? nameFormula_(use.first) : std::nullopt;
        const std::size_t before = dropped_;
        if (!definition)
            return true;
        rewrite(*definition); // the name as the copy writes it: the same values read
        if (dropped_ != before)
            return true;
    }
    return false;
}

bool FormulaRewriter::readsOtherSheets(std::string_view formula)
{
    const std::size_t before = dropped_;
    const bool values = std::exchange(values_, true);
    const bool probing = std::exchange(probing_, true);
    const bool reads = rewrite(formula).has_value();
    values_ = values;
    probing_ = probing;
    dropped_ = before;
    if (reads || namesReadingOthers_.empty())
        return reads;
    for (const NameUse& use : namesIn(formula))
        if (namesReadingOthers_.count(use.first))
            return true;
    // A name of this workbook written as "[0]!Name".
    for (std::size_t p = formula.find("[0]!"); p != formula.npos; p = formula.find("[0]!", p + 4)) {
        std::size_t end = p + 4;
        while (end < formula.size() && isNameByte(formula[end]))
            ++end;
        if (namesReadingOthers_.count(foldName(formula.substr(p + 4, end - p - 4))))
            return true;
    }
    return false;
}

void FormulaRewriter::noteNames(std::string_view formula)
{
    if (!tracksNames())
        return;
    for (NameUse& use : namesIn(formula))
        if (targets_->isDefinedName(use.first))
            usedNames_.insert(std::move(use));
}

std::string foldName(std::string_view name)
{
    std::string out(name);
    for (char& c : out) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return QString::fromUtf8(name.data(), qsizetype(name.size())).toCaseFolded().toStdString();
        c = char(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

namespace {
bool isIdentifierByte(char c)
{
    return isNameByte(c) && c != '$' && c != ':';
}
} // namespace

std::vector<NameUse> namesIn(std::string_view f)
{
    std::vector<NameUse> out;
    for (std::size_t i = 0; i < f.size();) {
        const char c = f[i];
        if (c == '"' || c == '\'') {
            i = quotedEnd(f, i, c);
        } else if (c == '[') {
            i = bracketEnd(f, i);
        } else if (isIdentifierByte(c)) {
            std::size_t j = i;
            while (j < f.size() && isIdentifierByte(f[j]))
                ++j;
            // A function, a sheet, a table, or either end of a range ("A:A", "3:5") is no name.
            const bool call = j < f.size() && (f[j] == '(' || f[j] == '!' || f[j] == '[' || f[j] == ':');
            const bool rangeEnd = i > 0 && f[i - 1] == ':';
            if (!call && !rangeEnd && !std::isdigit(static_cast<unsigned char>(c)) && c != '.')
                out.push_back({foldName(f.substr(i, j - i)), i > 0 && f[i - 1] == '!'});
            i = j;
        } else {
            ++i;
        }
    }
    return out;
}

std::optional<std::vector<std::string>> sheetQualifiers(std::string_view f)
{
    std::vector<std::string> out;
    for (std::size_t i = 0; i < f.size();) {
        const char c = f[i];
        std::size_t j = i + 1;
        if (c == '"') {
            j = quotedEnd(f, i, c);
        } else if (c == '[') {
            return std::nullopt;
        } else if (c == '\'') {
            j = quotedEnd(f, i, c);
            if (j < f.size() && f[j] == '!' && j - i >= 2) {
                std::string name(f.substr(i + 1, j - i - 2));
                for (std::size_t p = name.find("''"); p != name.npos; p = name.find("''", p + 1))
                    name.erase(p, 1);
                out.push_back(std::move(name));
            }
        } else if (isNameByte(c)) {
            while (j < f.size() && isNameByte(f[j]))
                ++j;
            if (j < f.size() && f[j] == '!')
                out.emplace_back(f.substr(i, j - i));
        }
        i = j;
    }
    return out;
}

} // namespace bf::xlsx
