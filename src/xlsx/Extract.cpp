// One worksheet of an Open XML workbook as a new package: plan which parts go and under which
// names, then write them, copying compressed bytes where nothing changes (the kept sheet's too,
// unless a formula of it reads another sheet).
#include "xlsx/ChartValues.h"
#include "xlsx/ExternalLink.h"
#include "xlsx/Formula.h"
#include "xlsx/Package.h"
#include "xlsx/Packager.h"
#include "xlsx/SharedStrings.h"
#include "xlsx/Workbook.h"
#include "xlsx/Worksheet.h"
#include "xlsx/XlsxStatus.h"
#include "xlsx/XlsxWorkbook.h"
#include "xlsx/XmlReader.h"

#include <map>
#include <set>
#include <tuple>
#include <utility>

namespace bf::xlsx {

namespace {

// The in-memory window of a rewritten part before it is deflated as a stream.
constexpr std::uint64_t kMinWindow = 4u << 20;
constexpr std::uint64_t kMaxWindow = 64u << 20;
// With values: the areas of other sheets read for the constants and lists standing in for
// references, each a pass over its sheet. Rules and names beyond this many keep no value.
constexpr int kMaxValueReads = 64;

enum class Action { Copy, Worksheet, Formulas, Workbook, AppProperties, SharedStrings };

bool isSheetKind(const QString& kind)
{
    return kind == QLatin1String("worksheet") || kind == QLatin1String("chartsheet")
        || kind == QLatin1String("dialogsheet") || kind.endsWith(QLatin1String("acrosheet"));
}

// Workbook relationships a one-sheet copy does not carry (pivot caches come back when the
// sheet's pivot tables use them, custom XML items when a kept part names them).
bool droppedWorkbookKind(const QString& kind)
{
    static const char* const dropped[] = {"calcChain", "vbaProject", "pivotCacheDefinition",
                                          "slicerCache", "timelineCache", "sharedStrings", "customXml"};
    for (const char* d : dropped)
        if (kind == QLatin1String(d))
            return true;
    return false;
}

QString defaultType(const QString& name)
{
    return name.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive)
        ? QStringLiteral("application/xml") : QStringLiteral("application/octet-stream");
}

class Extraction {
public:
    Extraction(const XlsxWorkbook& wb, const SheetInfo& sheet, QString sourcePath, bool values);
    // Plans and writes every part; then finish hands over the package.
    void run();
    ZipWriter& zip() { return zip_; }
    const book::ValuesDrops& drops() const { return formulas_.drops; }

private:
    struct Planned {
        QString source;
        QString name;
        Action action = Action::Copy;
        std::vector<Relationship> rels; // as read from the source
    };
    void planPackage();
    void planSheet();
    std::set<QString> filterCacheNames(const QString& sheetPart) const;
    void includeFilterCaches(const QString& sheetPart);
    Planned& include(const QString& source, const QString& name, Action action);
    void includeTree(const QString& source, bool renamed);
    QString renamed(const QString& source);
    Action actionFor(const QString& source) const;
    std::vector<Relationship> workbookRels() const;

    bool sheetCopiedAsItStands(const SheetUse* use) const;
    void writeWorksheet(const Planned& p);
    void writePart(const Planned& p);
    void writeSharedStrings(const Planned& p);
    void notePivotSourceName(const QString& source);
    void writeLinkAndWorkbook(const Planned& workbook);
    void writeLink(const QString& name);
    void writeRelationships();
    void writeContentTypes();
    std::vector<Relationship> outputRels(const Planned& p) const;
    QString nameOf(const QString& source) const;
    ChunkSource chunksOf(const QString& part) const;
    std::optional<std::vector<CachedCell>> valuesOf(int sheet, const CellArea& area);
    std::optional<std::string> nameFormula(const std::string& folded) const;
    // How much of a part is held in memory at once: about the input's size, so that memory
    // stays within a few times the input whatever a part inflates to.
    std::uint64_t window() const
    {
        return std::clamp(std::uint64_t(pkg_.inputSize()), kMinWindow, kMaxWindow);
    }

    const XlsxWorkbook& wb_;
    const Package& pkg_;
    const SheetInfo& sheet_;
    QString sourcePath_;
    std::vector<Planned> planned_;
    std::map<QString, std::size_t> bySource_; // folded source name -> planned_
    std::set<QString> taken_;                 // folded output names
    std::map<QString, int> nextNumber_;       // folded folder, stem and extension -> next number to try
    std::set<QString> keptWorkbookRels_;
    std::vector<Relationship> addedWorkbookRels_;
    std::map<QString, QString> typeByPart_;
    std::vector<std::pair<QString, std::vector<Relationship>>> newRels_;
    FormulaRewriter formulas_;
    std::set<std::string> namesReadingOthers_; // with values: names whose formulas read other sheets
    StringUse strings_;
    bool tableAsItStands_ = false; // the string table is the kept sheet's alone
    ZipWriter zip_;
    std::pair<QString, std::unique_ptr<PartDeflater>> deflatingSheet_; // the kept sheet, being deflated
    std::map<std::tuple<int, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t>, std::vector<CachedCell>> valuesRead_;
    LinkBudget valuesBudget_;
};

int externalLinkCount(const XlsxWorkbook& wb)
{
    int n = 0;
    for (const Relationship& r : wb.sharedWorkbookRels())
        n += r.kind() == QLatin1String("externalLink");
    return n;
}

Extraction::Extraction(const XlsxWorkbook& wb, const SheetInfo& sheet, QString sourcePath, bool values)
    : wb_(wb), pkg_(wb.package()), sheet_(sheet), sourcePath_(std::move(sourcePath)),
      formulas_(wb.formulaTargets(), sheet.index, externalLinkCount(wb) + 1)
{
    if (!values)
        return;
    // The names the kept sheet sees whose formulas read other sheets: cells using them keep
    // their values too.
    for (const DefinedName& n : wb.definedNames())
        if ((n.localSheet < 0 || n.localSheet == sheet.index) && formulas_.readsOtherSheets(n.formula))
            namesReadingOthers_.insert(n.folded);
    formulas_.setNamesReadingOtherSheets(namesReadingOthers_);
    formulas_.setValues(true);
    formulas_.setAreaValues([this](int s, const CellArea& area) { return valuesOf(s, area); });
    formulas_.setNameFormulas([this](const std::string& folded) { return nameFormula(folded); });
}

// The formula of the name the kept sheet sees under this (folded) name: its own, else the
// workbook's.
std::optional<std::string> Extraction::nameFormula(const std::string& folded) const
{
    const DefinedName* seen = nullptr;
    for (const DefinedName& n : wb_.definedNames())
        if (n.folded == folded && (n.localSheet == sheet_.index || (n.localSheet < 0 && !seen)))
            seen = &n;
    return seen ? std::optional(seen->formula) : std::nullopt;
}

// The cells of an area of another worksheet holding a value, read once; nullopt beyond the
// reads or the cells an output may spend on them.
std::optional<std::vector<CachedCell>> Extraction::valuesOf(int sheet, const CellArea& area)
{
    if (sheet < 0 || std::size_t(sheet) >= wb_.sheets().size())
        return std::nullopt;
    const SheetInfo& s = wb_.sheets()[std::size_t(sheet)];
    const auto key = std::make_tuple(sheet, area.firstRow, area.firstCol, area.lastRow, area.lastCol);
    if (const auto it = valuesRead_.find(key); it != valuesRead_.end())
        return it->second;
    if (s.kind != SheetKind::Worksheet || valuesRead_.size() >= std::size_t(kMaxValueReads))
        return std::nullopt;
    bool partial = false;
    std::vector<CachedCell> cells =
        readCachedCells(chunksOf(s.part), {area}, wb_.sharedStrings(), wb_.detail(s.part), valuesBudget_, partial);
    if (partial)
        return std::nullopt;
    return valuesRead_[key] = std::move(cells);
}

Extraction::Planned& Extraction::include(const QString& source, const QString& name, Action action)
{
    bySource_[source.toCaseFolded()] = planned_.size();
    taken_.insert(name.toCaseFolded());
    planned_.push_back({source, name, action,
                        action == Action::Workbook ? workbookRels() : readRelationships(pkg_, source)});
    return planned_.back();
}

// The workbook's relationships a copy may keep: those naming no sheet, and the kept sheet's.
std::vector<Relationship> Extraction::workbookRels() const
{
    std::vector<Relationship> rels = wb_.sharedWorkbookRels();
    if (const Relationship* r = findById(wb_.workbookRels(), sheet_.relId))
        rels.push_back(*r);
    return rels;
}

Action Extraction::actionFor(const QString& source) const
{
    const QString type = wb_.contentTypes().typeOf(source);
    // Charts (and the newer chart kinds) and tables name cells in formulas.
    if (type.contains(QLatin1String("drawingml.chart+xml")) || type.contains(QLatin1String("chartex+xml"))
        || type.contains(QLatin1String("spreadsheetml.table+xml")))
        return Action::Formulas;
    return Action::Copy;
}

// A part and every part it reaches, under their own names or renumbered (the kept sheet's).
void Extraction::includeTree(const QString& source, bool rename)
{
    std::vector<QString> pending{source};
    while (!pending.empty()) {
        const QString part = pending.back();
        pending.pop_back();
        if (bySource_.count(part.toCaseFolded()))
            continue;
        bool keepName = !rename;
        for (const Relationship& r : wb_.sharedWorkbookRels()) {
            if (!r.external && r.part.compare(part, Qt::CaseInsensitive) == 0
                && r.kind() == QLatin1String("pivotCacheDefinition")) {
                keptWorkbookRels_.insert(r.id); // a pivot table's cache goes with it
                keepName = true;
            }
        }
        const Planned& p = include(part, keepName ? part : renamed(part), actionFor(part));
        for (const Relationship& r : p.rels)
            if (!r.external && pkg_.find(r.part))
                pending.push_back(r.part);
    }
}

QString Extraction::renamed(const QString& source)
{
    const qsizetype slash = source.lastIndexOf('/');
    const QString folder = source.left(slash + 1);
    QString file = source.mid(slash + 1);
    const qsizetype dot = file.lastIndexOf('.');
    const QString ext = dot > 0 ? file.mid(dot) : QString();
    QString stem = dot > 0 ? file.left(dot) : file;
    while (!stem.isEmpty() && stem.back().isDigit())
        stem.chop(1);
    // Numbers go up from where the last part of this name stopped: each is tried once.
    int& next = nextNumber_[(folder + stem + '/' + ext).toCaseFolded()];
    for (;;) {
        ++wb_.counters().nameTries;
        const QString candidate = folder + stem + QString::number(++next) + ext;
        if (!taken_.count(candidate.toCaseFolded()))
            return candidate;
    }
}

void Extraction::planPackage()
{
    include(wb_.workbookPart(), wb_.workbookPart(), Action::Workbook);
    for (const Relationship& r : wb_.packageRels()) {
        if (r.external || !pkg_.find(r.part) || r.kind() == QLatin1String("officeDocument")
            || r.kind() == QLatin1String("thumbnail") || r.kind() == QLatin1String("customXml"))
            continue;
        if (r.kind() == QLatin1String("extended-properties"))
            include(r.part, r.part, Action::AppProperties);
        else
            includeTree(r.part, false);
    }
    for (const Relationship& r : wb_.sharedWorkbookRels()) {
        if (r.kind() == QLatin1String("sharedStrings") && !r.external && pkg_.find(r.part)) {
            keptWorkbookRels_.insert(r.id);
            include(r.part, r.part, Action::SharedStrings);
        }
        if (isSheetKind(r.kind()) || droppedWorkbookKind(r.kind()))
            continue;
        keptWorkbookRels_.insert(r.id);
        if (!r.external && pkg_.find(r.part))
            includeTree(r.part, false);
    }
}

void Extraction::planSheet()
{
    keptWorkbookRels_.insert(sheet_.relId);
    taken_.insert(sheet_.part.toCaseFolded()); // never reuse the name of a dropped sheet
    const QString folder = wb_.workbookPart().left(wb_.workbookPart().lastIndexOf('/') + 1);
    taken_.erase(sheet_.part.toCaseFolded());
    QString name = folder + QStringLiteral("worksheets/sheet1.xml");
    if (taken_.count(name.toCaseFolded()))
        name = renamed(name);
    Planned& p = include(sheet_.part, name, Action::Worksheet);
    std::vector<QString> children;
    for (const Relationship& r : p.rels)
        if (!r.external && pkg_.find(r.part))
            children.push_back(r.part);
    for (const QString& c : children)
        includeTree(c, true);
    includeFilterCaches(sheet_.part);
}

// The names of the caches the kept sheet's slicers and timelines use.
std::set<QString> Extraction::filterCacheNames(const QString& sheetPart) const
{
    std::set<QString> names;
    for (const Relationship& r : planned_[bySource_.at(sheetPart.toCaseFolded())].rels) {
        if (r.external || (r.kind() != QLatin1String("slicer") && r.kind() != QLatin1String("timeline")) || !pkg_.find(r.part))
            continue;
        XmlReader xml(pkg_.read(r.part), wb_.detail(r.part));
        while (xml.nextElement())
            if (const std::optional<QString> cache = xml.attribute("cache"))
                names.insert(*cache);
    }
    return names;
}

// Those caches are workbook parts, each named by its root element: they go along.
void Extraction::includeFilterCaches(const QString& sheetPart)
{
    const std::set<QString> names = filterCacheNames(sheetPart);
    if (names.empty())
        return;
    for (const Relationship& r : wb_.sharedWorkbookRels()) {
        if (r.external || !pkg_.find(r.part)
            || (r.kind() != QLatin1String("slicerCache") && r.kind() != QLatin1String("timelineCache")))
            continue;
        XmlReader xml(pkg_.read(r.part), wb_.detail(r.part));
        if (xml.nextElement() && names.count(xml.attribute("name").value_or(QString()))) {
            keptWorkbookRels_.insert(r.id);
            includeTree(r.part, false);
        }
    }
}

QString Extraction::nameOf(const QString& source) const
{
    const auto it = bySource_.find(source.toCaseFolded());
    return it == bySource_.end() ? QString() : planned_[it->second].name;
}

ChunkSource Extraction::chunksOf(const QString& part) const
{
    const PartEntry* entry = pkg_.find(part);
    if (!entry)
        fail(XlsxStatus::MissingPart, wb_.detail(part));
    if (entry->size <= window()) {
        // Small enough to hold: inflated in one call, handed over as one chunk.
        auto whole = std::make_shared<QByteArray>(pkg_.read(*entry));
        return [whole](QByteArray& chunk) { chunk = std::exchange(*whole, QByteArray()); };
    }
    std::shared_ptr<PartReader> reader = pkg_.stream(*entry);
    return [reader](QByteArray& chunk) { reader->read(chunk, 1 << 20); };
}

// Whether the kept sheet's part goes with its compressed bytes: nothing in it changes when no
// formula reads another sheet (with values, through a name neither).
bool Extraction::sheetCopiedAsItStands(const SheetUse* use) const
{
    if (!use)
        return true;
    if (use->mustChange)
        return false;
    for (const NameUse& n : use->names)
        if (namesReadingOthers_.count(n.first))
            return false;
    return true;
}

void Extraction::writeWorksheet(const Planned& p)
{
    const SheetUse* use = wb_.sheetUse(sheet_.index);
    if (sheetCopiedAsItStands(use)) {
        tableAsItStands_ = !use;
        if (use) {
            strings_ = use->strings;
            formulas_.noteNames(use->names);
        }
        const PartEntry* entry = pkg_.find(p.source);
        zip_.addCopied(p.name, *entry, pkg_);
        return;
    }
    strings_ = StringUse(wb_.sharedStrings().size());
    auto out = std::make_unique<PartDeflater>(window());
    if (const PartEntry* entry = pkg_.find(p.source))
        out->reserve(entry->size + entry->size / 16);
    rewriteWorksheet(chunksOf(p.source), *out, formulas_, strings_, wb_.detail(p.source));
    if (out->held() > window() / 4) {
        zip_.addDeflated(p.name, *out);
        return;
    }
    // A part held whole and small beside the input is deflated on a second thread while the
    // other parts are written and the other sheets' cells read; memory grows by that part at most.
    out->finishInBackground();
    deflatingSheet_ = {p.name, std::move(out)};
}

// The kept sheet's strings, written as the table is walked: a large table is never copied whole.
// The table of a workbook whose only sheet is the kept one goes as it stands.
void Extraction::writeSharedStrings(const Planned& p)
{
    if (tableAsItStands_) {
        writePart(p);
        return;
    }
    PartDeflater out(window());
    wb_.sharedStrings().rebuild(strings_, out);
    zip_.addDeflated(p.name, out);
}

// A kept pivot cache may read its source through a defined name: that name is used.
void Extraction::notePivotSourceName(const QString& source)
{
    if (!formulas_.tracksNames() || !wb_.contentTypes().typeOf(source).contains(QLatin1String("pivotCacheDefinition")))
        return;
    XmlReader xml(pkg_.read(source), wb_.detail(source));
    while (xml.nextElement())
        if (xml.localName() == QLatin1String("worksheetSource"))
            if (const std::optional<QString> name = xml.attribute("name"))
                formulas_.noteNames(name->toStdString());
}

void Extraction::writePart(const Planned& p)
{
    notePivotSourceName(p.source);
    const PartEntry* entry = pkg_.find(p.source);
    if (p.action == Action::Formulas) {
        const QByteArray before = pkg_.read(*entry);
        const std::size_t dropped = formulas_.dropped();
        const QByteArray after = formulas_.values() && wb_.contentTypes().typeOf(p.source).contains(QLatin1String("drawingml.chart+xml"))
            ? chartWithValues(before, formulas_, wb_.detail(p.source))
            : rewriteFormulaPart(before, formulas_, wb_.detail(p.source));
        if (!wb_.contentTypes().typeOf(p.source).contains(QLatin1String("drawingml.chart+xml")))
            formulas_.drops.references += int(formulas_.dropped() - dropped);
        if (after != before) {
            zip_.addDeflated(p.name, after);
            return;
        }
    }
    zip_.addCopied(p.name, *entry, pkg_);
}

std::vector<Relationship> Extraction::outputRels(const Planned& p) const
{
    std::vector<Relationship> out;
    const bool isWorkbook = p.action == Action::Workbook;
    for (Relationship r : p.rels) {
        if (isWorkbook && !keptWorkbookRels_.count(r.id))
            continue;
        if (!r.external) {
            const QString target = nameOf(r.part);
            if (target.isEmpty())
                continue; // a part the source lacks or the copy does not carry
            if (target != r.part || p.name != p.source)
                r.target = relativeTarget(p.name, target);
        }
        out.push_back(r);
    }
    if (isWorkbook)
        out.insert(out.end(), addedWorkbookRels_.begin(), addedWorkbookRels_.end());
    return out;
}

// The link's cache: the cells the references name on each sheet, within one budget for all.
void Extraction::writeLink(const QString& name)
{
    std::vector<QString> names;
    for (const auto& [index, areas] : formulas_.references())
        names.push_back(wb_.sheets()[std::size_t(index)].name);
    PartDeflater out(window());
    ExternalLinkWriter link(out, names, QStringLiteral("rId1"));
    LinkBudget budget;
    for (const auto& [index, areas] : formulas_.references()) {
        const SheetInfo& s = wb_.sheets()[std::size_t(index)];
        bool partial = false;
        std::vector<CachedCell> cells;
        if (s.kind == SheetKind::Worksheet && !areas.empty())
            cells = readCachedCells(chunksOf(s.part), areas, wb_.sharedStrings(), wb_.detail(s.part), budget, partial);
        link.addSheet(std::move(cells), partial);
    }
    link.finish();
    zip_.addDeflated(name, out);
}

void Extraction::writeLinkAndWorkbook(const Planned& workbook)
{
    WorkbookEdit edit{&sheet_, keptWorkbookRels_,
                      keptNames(wb_.definedNames(), sheet_.index, formulas_.usedNames(), *wb_.formulaTargets())};
    QByteArray xml = rewriteWorkbook(wb_.workbookPartFor(sheet_.index), edit, formulas_, wb_.detail(workbook.source));
    QByteArray entry;
    if (formulas_.used()) {
        const QString folder = workbook.name.left(workbook.name.lastIndexOf('/') + 1);
        const QString name = renamed(folder + QStringLiteral("externalLinks/externalLink")
                                     + QString::number(formulas_.externalIndex()) + QStringLiteral(".xml"));
        taken_.insert(name.toCaseFolded());
        writeLink(name);
        typeByPart_[name] = QString::fromLatin1(ctype::kExternalLink);
        Relationship path{QStringLiteral("rId1"),
                          QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships/externalLinkPath"),
                          externalLinkTarget(sourcePath_), true, {}};
        newRels_.push_back({name, {path}});
        QString id;
        for (int n = 1; id.isEmpty() || findById(workbook.rels, id); ++n)
            id = QStringLiteral("rIdLink%1").arg(n);
        addedWorkbookRels_.push_back({id,
            QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships/externalLink"),
            relativeTarget(workbook.name, name), false, name});
        entry = externalReferenceEntry(xml, id);
    }
    xml.replace(kExternalEntryMark, entry);
    xml.replace(kExternalBlockMark, entry.isEmpty() ? QByteArray() : externalReferencesBlock(xml, entry));
    zip_.addDeflated(workbook.name, xml);
}

void Extraction::writeRelationships()
{
    for (const Planned& p : planned_) {
        const std::vector<Relationship> rels = outputRels(p);
        if (!rels.empty() || pkg_.find(relsPartName(p.source)))
            newRels_.push_back({p.name, rels});
    }
    std::vector<Relationship> root;
    for (const Relationship& r : wb_.packageRels()) {
        if (r.external || !nameOf(r.part).isEmpty())
            root.push_back(r);
    }
    newRels_.push_back({QString(), root});
    for (const auto& [part, rels] : newRels_) {
        const QString name = relsPartName(part);
        zip_.addDeflated(name, bf::xlsx::writeRelationships(rels));
        typeByPart_[name] = QString::fromLatin1(ctype::kRelationships);
    }
}

void Extraction::writeContentTypes()
{
    for (const Planned& p : planned_) {
        QString type = wb_.contentTypes().typeOf(p.source);
        if (p.action == Action::Workbook)
            type = QString::fromLatin1(ctype::kWorkbook);
        else if (p.action == Action::SharedStrings)
            type = QString::fromLatin1(ctype::kSharedStrings);
        typeByPart_[p.name] = type.isEmpty() ? defaultType(p.name) : type;
    }
    zip_.addDeflated(QStringLiteral("[Content_Types].xml"), ContentTypes::write(typeByPart_));
}

void Extraction::run()
{
    planPackage();
    planSheet();
    for (const Planned& p : planned_)
        if (p.action == Action::Worksheet)
            writeWorksheet(p);
    for (const Planned& p : planned_)
        if (p.action == Action::Copy || p.action == Action::Formulas)
            writePart(p);
    for (const Planned& p : planned_) {
        if (p.action == Action::Workbook)
            writeLinkAndWorkbook(p);
        else if (p.action == Action::SharedStrings)
            writeSharedStrings(p);
        else if (p.action == Action::AppProperties)
            zip_.addDeflated(p.name, wb_.appPropertiesFor(p.source, sheet_.name));
    }
    if (deflatingSheet_.second)
        zip_.addDeflated(deflatingSheet_.first, *deflatingSheet_.second);
    writeRelationships();
    writeContentTypes();
}

} // namespace

void XlsxWorkbook::extractWith(int index, const QString& sourcePath, bool values, book::ValuesDrops* drops,
                               const std::function<void(ZipWriter&)>& finish) const
{
    if (index < 0 || std::size_t(index) >= sheets_.size()
        || sheets_[std::size_t(index)].kind != SheetKind::Worksheet)
        fail(XlsxStatus::NoSuchWorksheet, package_->displayName() + QStringLiteral(", sheet ") + QString::number(index));
    Extraction extraction(*this, sheets_[std::size_t(index)], sourcePath.isEmpty() ? path_ : sourcePath, values);
    extraction.run();
    finish(extraction.zip());
    if (drops)
        *drops += extraction.drops();
}

QByteArray XlsxWorkbook::extract(int index, const QString& sourcePath, bool values, book::ValuesDrops* drops) const
{
    QByteArray out;
    extractWith(index, sourcePath, values, drops, [&](ZipWriter& zip) { out = zip.finish(); });
    return out;
}

void XlsxWorkbook::extractTo(int to, int index, const QString& sourcePath, bool values, book::ValuesDrops* drops) const
{
    extractWith(index, sourcePath, values, drops, [&](ZipWriter& zip) { zip.finish(to); });
}

} // namespace bf::xlsx
