// One worksheet out of a workbook, at record level: the globals and the sheet's records are
// kept byte for byte, and only what must change is rewritten (sheet list, stream offsets,
// shared strings, names, the link table, window state). Each part of the format has its own
// file; this one reads the sheet once, lets each part decide, and writes the new file.
#include "xls/XlsWorkbook.h"

#include "book/FirstUseNumbering.h"

#include "xls/ByteIO.h"
#include "xls/Drawing.h"
#include "xls/Embedded.h"
#include "xls/ExternalCache.h"
#include "xls/ExtractSource.h"
#include "xls/FormulaSites.h"
#include "xls/GlobalsCopy.h"
#include "xls/LinkTable.h"
#include "xls/Names.h"
#include "xls/PivotCaches.h"
#include "xls/RecordIds.h"
#include "xls/References.h"
#include "xls/RuleValues.h"
#include "xls/SheetCopy.h"
#include "xls/Sst.h"

#include <set>

namespace bf::xls {

namespace {

class Extractor {
public:
    Extractor(const WorkbookData& wb, int index, QString sourcePath, SharedStringIndex& sst, bool values,
              book::ValuesDrops* drops)
        : src_(wb, index), sourcePath_(std::move(sourcePath)), sst_(sst), refs_(src_, links_), drops_(drops)
    {
        links_.setValuesOnly(values);
    }
    QByteArray run();

private:
    void scanSheet();
    void noteText(const RecRef& r, const std::uint8_t* d);
    void noteValuesDrop(std::uint16_t type, const std::uint8_t* rgce, std::size_t cce);
    std::vector<SstString> sheetStrings();
    const SstReader* sharedStrings();
    void writeLinksAndNames(ByteSink& out);
    QByteArray container(const ByteSink& workbook) const;

    ExtractSource src_;
    QString sourcePath_;
    SharedStringIndex& sst_; // the source's string table, indexed on first use
    std::vector<SubRecord> sheet_; // the kept sheet's records
    LinkTable links_;
    NameTable names_;
    References refs_;
    std::set<std::uint32_t> usedNames_; // 1-based, by the sheet's formulas
    PivotCaches pivots_;
    book::FirstUseNumbering strings_;
    SheetDrawings drawings_;
    EmbeddedObjects embedded_;
    book::ValuesDrops* drops_;
};

QByteArray Extractor::run()
{
    sheet_ = src_.substream(src_.info().offset);
    names_.read(src_);
    links_.read(src_);
    const QString pivotSource = links_.valuesOnly() ? QString() : sourcePath_; // no source path with values
    pivots_.read(src_, sheet_);
    scanSheet();
    names_.choose(src_, links_, refs_, usedNames_);
    RuleChanges rules;
    if (links_.valuesOnly()) {
        const ValueConstants values(src_, links_, [&] { return sharedStrings(); });
        names_.makeConstants(values);
        rules = valuesForRules(src_, sheet_, links_, names_, values);
        if (drops_) {
            rules.drops.references += names_.keptReadingOtherSheets(links_, src_.sheet());
            *drops_ += rules.drops;
        }
    }
    // The link to the source workbook only for what the kept sheet reads.
    links_.chooseLinkedSheets(refs_.usedXtis(), src_.sheet(), static_cast<int>(src_.sheets().size()), sourcePath_);
    const SheetCopy sheetCopy(src_, sheet_, strings_, links_, names_, pivots_, std::move(rules.records));
    const std::vector<SstString> strings = sheetStrings();

    ByteSink out;
    out.bytes.reserve(static_cast<std::size_t>(sheet_.back().rec.end() - src_.info().offset) + src_.workbook().globalsEnd / 2 + 4096);
    const GlobalsParts parts{[&](ByteSink& o) { writeSst(o, 0, strings, std::uint32_t(strings_.references())); },
                             [&](ByteSink& o) { writeLinksAndNames(o); },
                             [&](ByteSink& o, std::size_t i, std::size_t* last) { return pivots_.copyGroup(o, src_, i, pivotSource, last); },
                             drawings_};
    const GlobalsCopied globals = copyGlobals(out, src_, parts);
    if (!globals.wroteSst && !strings_.empty())
        src_.damaged(QStringLiteral("text cells refer to a string table the workbook does not have"));
    if (globals.boundSheetAt == SIZE_MAX)
        src_.damaged(QStringLiteral("the workbook has no sheet list"));

    // The sheet, right after the globals.
    wr32(out.bytes.data() + globals.boundSheetAt, static_cast<std::uint32_t>(out.size()));
    sheetCopy.write(out);
    return container(out);
}

// The kept sheet's records read once: its drawings, embedded objects, text cells and what its
// formulas refer to.
void Extractor::scanSheet()
{
    for (const SubRecord& sr : sheet_) {
        const RecRef& r = sr.rec;
        const std::uint8_t* d = src_.data(r);
        drawings_.add(sr, d);
        if (sr.depth == 1 && r.type == rt::Obj)
            embedded_.add(*src_.workbook().cfb, d, r.size);
        if (sr.depth == 1 && r.type == rt::LabelSst)
            noteText(r, d);
        forEachFormula(d, r.type, r.size, sr.depth, [&](const std::uint8_t* rgce, std::size_t cce, const Rect* shared) {
            refs_.collect(rgce, cce, shared, false, &usedNames_);
            noteValuesDrop(r.type, rgce, cce);
        });
    }
}

// With values, a formula other than a cell's, a validation's or a conditional format's (a chart
// series, a chart text, a control) that names another sheet keeps #REF! in its place: counted,
// a series once.
void Extractor::noteValuesDrop(std::uint16_t type, const std::uint8_t* rgce, std::size_t cce)
{
    if (!drops_ || !links_.valuesOnly() || type == rt::Formula || type == rt::Array || type == rt::ShrFmla
        || type == rt::DV || type == rt::CF)
        return;
    bool reaches = false;
    walkFormula(rgce, cce, [&](TokenKind kind, const std::uint8_t* t, bool) {
        const Xti* x = kind == TokenKind::Ref3d || kind == TokenKind::Area3d ? links_.xti(rd16(t + 1)) : nullptr;
        reaches = reaches || (x && links_.reachesOtherSheets(*x, src_.sheet()));
    });
    drops_->references += reaches;
}

void Extractor::noteText(const RecRef& r, const std::uint8_t* d)
{
    if (r.size < 10)
        src_.damaged(QStringLiteral("a text cell is too short"));
    const SstReader* sst = sharedStrings();
    const std::uint32_t isst = rd32(d + 6);
    if (isst >= (sst ? sst->count() : 0))
        src_.damaged(QStringLiteral("a text cell refers to a string the string table does not hold"));
    strings_.map(isst);
}

const SstReader* Extractor::sharedStrings() { return sst_.get(src_.globals(), src_.at(0)); }

// Shared strings of this sheet, in first-use order.
std::vector<SstString> Extractor::sheetStrings()
{
    std::vector<SstString> strings(strings_.used().size());
    if (strings.empty())
        return strings;
    const SstReader* reader = sharedStrings();
    if (!reader)
        src_.fail(XlsStatus::Damaged, QStringLiteral("the shared string table is damaged"));
    for (std::size_t i = 0; i < strings.size(); ++i)
        if (!reader->read(strings_.used()[i], &strings[i]))
            src_.damaged(QStringLiteral("a text cell refers to a string the string table does not hold"));
    return strings;
}

void Extractor::writeLinksAndNames(ByteSink& out)
{
    if (links_.present())
        links_.write(out, src_, sourcePath_, names_.linkNames(links_), [&](ByteSink& o) {
            writeExternalCaches(o, src_, refs_.cacheRects(), [&] { return sharedStrings(); },
                                [&](int sheet) { return links_.linkPosition(sheet); });
        });
    names_.write(out, src_, links_);
}

// The container: the workbook and the harmless descriptive streams. The document summary is
// left out because it lists every sheet name of the source.
QByteArray Extractor::container(const ByteSink& workbook) const
{
    const book::CfbFile& source = *src_.workbook().cfb;
    std::vector<book::CfbOutputStream> streams;
    streams.push_back({QStringLiteral("Workbook"), workbook.bytes.data(), workbook.bytes.size()});
    QByteArray summary, compObj;
    if (source.readStream(QStringLiteral("\x05" "SummaryInformation"), &summary) && !summary.isEmpty())
        streams.push_back({QStringLiteral("\x05" "SummaryInformation"), reinterpret_cast<const std::uint8_t*>(summary.constData()),
                           static_cast<std::size_t>(summary.size())});
    if (source.readStream(QStringLiteral("\x01" "CompObj"), &compObj) && !compObj.isEmpty())
        streams.push_back({QStringLiteral("\x01" "CompObj"), reinterpret_cast<const std::uint8_t*>(compObj.constData()),
                           static_cast<std::size_t>(compObj.size())});
    std::vector<book::CfbNode> storages = embedded_.storages(source);
    book::CfbNode pivotCaches;
    if (pivots_.storage(source, &pivotCaches))
        storages.push_back(std::move(pivotCaches));
    QString reason;
    QByteArray file = book::writeCompoundFile(streams, &reason, storages);
    if (file.isEmpty())
        src_.fail(XlsStatus::OutputFailed, reason);
    return file;
}

} // namespace

QByteArray XlsWorkbook::extract(int index, const QString& sourcePath, bool values, book::ValuesDrops* drops)
{
    Extractor x(*data_, index, sourcePath.isEmpty() ? data_->path : sourcePath, data_->sharedStrings, values, drops);
    return x.run();
}

} // namespace bf::xls
