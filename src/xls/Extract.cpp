// One worksheet out of a workbook, at record level: the globals and the sheet's records are
// kept byte for byte, and only what must change is rewritten (sheet list, stream offsets,
// shared strings, names, the link table, window state).
#include "xls/XlsWorkbook.h"

#include "xls/Biff.h"
#include "xls/Cfb.h"
#include "xls/Drawing.h"
#include "xls/Formula.h"
#include "xls/Globals.h"
#include "xls/XlsStatus.h"

#include <QFileInfo>
#include <algorithm>
#include <cstring>
#include <map>
#include <set>

namespace bf::xls {

namespace {

constexpr std::uint16_t kSelfSupBook = 0x0401;
constexpr std::uint16_t kXtiWorkbook = 0xFFFE; // workbook-level reference
constexpr std::uint16_t kXtiDeleted = 0xFFFF;  // sheet that no longer exists
constexpr std::uint32_t kNoString = 0xFFFFFFFFu;

// Records of pivot views: dropped with the pivot caches they need (the cells stay).
bool isPivotSheetRecord(std::uint16_t t)
{
    switch (t) {
    case 0x00B0: case 0x00B1: case 0x00B2: case 0x00B4: case 0x00B5: case 0x00B6: case 0x00C5:
    case 0x00F0: case 0x00F1: case 0x00F2: case 0x00F4: case 0x00F6: case 0x00F7: case 0x00F8:
    case 0x00F9: case 0x00FB: case 0x0100: case 0x0103: case 0x0802: case 0x080C: case 0x080D:
    case 0x080E: case 0x080F: case 0x0810: case 0x0864:
        return true;
    default:
        return false;
    }
}

// Globals records the one-sheet workbook must not carry: pivot caches (their streams are not
// copied), the VBA project markers (the project is not copied), custom views of all sheets.
bool isDroppedGlobalsRecord(std::uint16_t t)
{
    switch (t) {
    case rt::SXStreamID: case rt::SXVS: case rt::DConRef: case rt::DConName: case rt::DConBin:
    case 0x0122: case 0x00D0: case 0x00D1: case 0x00D2: case rt::ObProj: case rt::ObNoMacros:
    case rt::UserBView:
        return true;
    default:
        return false;
    }
}

bool isLinkTableRecord(std::uint16_t t)
{
    return t == rt::SupBook || t == rt::ExternName || t == rt::XCT || t == rt::CRN || t == rt::ExternSheet
        || t == rt::Lbl;
}

struct Rect {
    std::uint32_t r1, r2, c1, c2;
};

struct Xti {
    std::uint16_t supBook;
    std::uint16_t first;
    std::uint16_t last;
};

struct NameRec {
    std::size_t rec;       // index into globals records
    std::uint16_t itab;    // 0: workbook scope; else 1-based sheet
    std::uint32_t rgce;    // stream position of the formula
    std::uint16_t cce;
    QString name;
};

// A cached cell value for the external-reference caches.
struct CachedValue {
    std::uint8_t kind; // 0x01 number, 0x02 string, 0x04 bool, 0x10 error
    double number = 0;
    std::uint8_t code = 0;
    QString text;
};

class Extractor {
public:
    Extractor(const XlsWorkbook& wb, int index, QString sourcePath)
        : wb_(wb), g_(wb.globals()), k_(index), sourcePath_(std::move(sourcePath))
    {
    }
    QByteArray run();

private:
    [[noreturn]] void fail(XlsStatus status, const QString& why) const
    {
        const auto& sheets = wb_.sheets();
        const QString name = k_ >= 0 && k_ < static_cast<int>(sheets.size()) ? sheets[static_cast<std::size_t>(k_)].name
                                                                             : QString::number(k_);
        throw XlsError(status, QStringLiteral("worksheet '%1' of '%2' cannot be copied: %3").arg(name, wb_.path(), why));
    }
    [[noreturn]] void damaged(const QString& what) const { fail(XlsStatus::Damaged, what + QStringLiteral(" (damaged file)")); }
    std::uint8_t* at(std::uint32_t pos) const { return const_cast<std::uint8_t*>(data_) + pos; }
    // Reads a range of the stream in when it is not yet; false when it lies outside.
    bool need(std::uint64_t pos, std::uint64_t n) const { return wb_.stream().ensureRange(pos, n); }
    std::vector<std::pair<RecRef, int>> substream(std::uint32_t start) const;
    void parseLinkTable();
    void forEachFormula(std::uint8_t* rec, std::uint16_t type, std::uint16_t size, int depth,
                        const std::function<void(std::uint8_t*, std::size_t, const Rect*)>& fn) const;
    const SstReader* sharedStrings() const;
    void findEmbedded(const std::uint8_t* obj, std::size_t size);
    void analyseSheet();
    void findSpanningShared();
    void chooseNames();
    void collectRefs(std::uint8_t* rgce, std::size_t cce, const Rect* shared, bool inName);
    std::vector<std::uint8_t> supBookRecordForSource() const;
    void writeCaches(ByteSink& out);
    void writeLinkTableAndNames(ByteSink& out);
    void renumber(std::uint8_t* rgce, std::size_t cce) const;
    bool spansOtherSheets(std::uint8_t* rgce, std::size_t cce) const;
    void freezeIfSpanning(std::uint8_t* d, std::size_t size, std::size_t index);
    std::set<std::pair<std::uint16_t, std::uint16_t>> spanningShared_; // anchors of such shared formulas
    std::uint16_t mapXtiSheet(const Xti& x, Xti* out) const;

    const XlsWorkbook& wb_;
    const XlsWorkbook::Globals& g_;
    int k_;
    QString sourcePath_;
    const std::uint8_t* data_ = nullptr;
    std::uint32_t size_ = 0;

    std::vector<std::pair<RecRef, int>> sheet_; // records of the kept sheet and their depth

    // Link table of the source.
    std::vector<std::vector<std::size_t>> supBooks_; // globals record indexes of each block
    int selfSupBook_ = -1;
    std::vector<Xti> xtis_;
    bool hasExternSheet_ = false;
    std::vector<NameRec> names_;
    std::vector<std::uint32_t> newName_; // 0: dropped
    std::set<std::uint32_t> usedNames_;  // 1-based, by the sheet
    std::set<std::uint16_t> usedXtis_;
    std::map<int, std::vector<Rect>> cacheRects_; // source sheet -> referenced areas
    bool needExternal_ = false;

    // Shared strings.
    std::vector<std::uint32_t> sstMap_; // source index -> new index, kNoString when unused
    std::vector<std::uint32_t> sstOrder_;
    std::uint32_t labelSstCount_ = 0;
    bool hasDrawing_ = false;
    std::vector<QString> embedded_; // storages of OLE objects the sheet shows
    bool drawingUseKnown_ = true; // false: keep every picture
    DrawingUse drawingUse_;
};

std::vector<std::pair<RecRef, int>> Extractor::substream(std::uint32_t start) const
{
    std::vector<std::pair<RecRef, int>> recs;
    std::uint64_t pos = start;
    int depth = 0;
    for (;;) {
        if (pos + 4 > size_ || !need(pos, 4))
            damaged(QStringLiteral("the sheet runs past the end of the Workbook stream"));
        const std::uint16_t type = rd16(data_ + pos);
        const std::uint16_t size = rd16(data_ + pos + 2);
        if (pos + 4 + size > size_ || !need(pos + 4, size))
            damaged(QStringLiteral("a record runs past the end of the Workbook stream"));
        if (type == rt::Bof)
            ++depth;
        recs.push_back({RecRef{static_cast<std::uint32_t>(pos), type, size}, depth});
        pos += 4 + size;
        if (type == rt::Eof && --depth <= 0)
            break;
        if (depth > 8)
            damaged(QStringLiteral("sheets are nested too deeply"));
    }
    return recs;
}

void Extractor::parseLinkTable()
{
    const auto& recs = g_.records;
    std::vector<std::uint8_t> externSheet;
    for (std::size_t i = 0; i < recs.size(); ++i) {
        const RecRef& r = recs[i];
        const std::uint8_t* d = data_ + r.dataPos();
        switch (r.type) {
        case rt::SupBook:
            supBooks_.push_back({i});
            if (r.size >= 4 && rd16(d + 2) == kSelfSupBook && selfSupBook_ < 0)
                selfSupBook_ = static_cast<int>(supBooks_.size() - 1);
            break;
        case rt::ExternName: case rt::XCT: case rt::CRN:
            if (!supBooks_.empty())
                supBooks_.back().push_back(i);
            break;
        case rt::Continue:
            // A CONTINUE belongs to the record before it.
            if (!supBooks_.empty() && supBooks_.back().back() == i - 1)
                supBooks_.back().push_back(i);
            if (hasExternSheet_ && !externSheet.empty() && (recs[i - 1].type == rt::ExternSheet || recs[i - 1].type == rt::Continue)
                && externSheet.size() < 2 + 6 * std::size_t(rd16(externSheet.data())))
                externSheet.insert(externSheet.end(), d, d + r.size);
            break;
        case rt::ExternSheet:
            hasExternSheet_ = true;
            externSheet.assign(d, d + r.size);
            break;
        case rt::Lbl: {
            if (r.size < 15)
                damaged(QStringLiteral("a defined name is too short"));
            NameRec n;
            n.rec = i;
            n.itab = rd16(d + 8);
            const std::size_t cch = d[3];
            n.cce = rd16(d + 4);
            const bool wide = d[14] & 1;
            std::size_t used = 0;
            if (!decodeChars(d + 15, r.size - 15, cch, wide, &n.name, &used) || 15 + used + n.cce > r.size)
                damaged(QStringLiteral("a defined name runs past its record"));
            n.rgce = r.dataPos() + 15 + static_cast<std::uint32_t>(used);
            names_.push_back(std::move(n));
            break;
        }
        default:
            break;
        }
    }
    if (hasExternSheet_) {
        if (externSheet.size() < 2)
            damaged(QStringLiteral("the reference table is too short"));
        const std::size_t n = rd16(externSheet.data());
        if (externSheet.size() < 2 + 6 * n)
            damaged(QStringLiteral("the reference table is too short"));
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t* p = externSheet.data() + 2 + 6 * i;
            xtis_.push_back({rd16(p), rd16(p + 2), rd16(p + 4)});
        }
    }
}

// Calls fn for every parsed formula in a record of the kept sheet.
void Extractor::forEachFormula(std::uint8_t* d, std::uint16_t type, std::uint16_t size, int depth,
                               const std::function<void(std::uint8_t*, std::size_t, const Rect*)>& fn) const
{
    auto call = [&](std::size_t cceAt, std::size_t rgceAt, const Rect* shared) {
        if (cceAt + 2 > size)
            return;
        const std::size_t cce = rd16(d + cceAt);
        if (rgceAt + cce <= size)
            fn(d + rgceAt, cce, shared);
    };
    if (depth > 1) {
        if (type == rt::BRAI)
            call(6, 8, nullptr);
        return;
    }
    switch (type) {
    case rt::Formula: call(20, 22, nullptr); break;
    case rt::Array: call(12, 14, nullptr); break;
    case rt::ShrFmla: {
        if (size < 10)
            return;
        const Rect r{rd16(d), rd16(d + 2), d[4], d[5]};
        call(8, 10, &r);
        break;
    }
    case rt::DV: {
        std::size_t p = 4;
        for (int s = 0; s < 4; ++s) {
            if (p + 3 > size)
                return;
            const std::size_t cch = rd16(d + p);
            p += 3 + cch * ((d[p + 2] & 1) ? 2 : 1);
        }
        for (int f = 0; f < 2; ++f) {
            if (p + 4 > size)
                return;
            const std::size_t cce = rd16(d + p);
            if (p + 4 + cce > size)
                return;
            fn(d + p + 4, cce, nullptr);
            p += 4 + cce;
        }
        break;
    }
    case rt::CF: {
        // The two formulas end the record, after formatting of variable size.
        if (size < 6)
            return;
        const std::size_t cce1 = rd16(d + 2), cce2 = rd16(d + 4);
        if (6 + cce1 + cce2 > size)
            return;
        // Only when both parse: a record laid out otherwise is left as it is.
        auto none = [](TokenKind, std::uint8_t*, bool) {};
        if (!walkFormula(d + size - cce1 - cce2, cce1, none) || !walkFormula(d + size - cce2, cce2, none))
            return;
        fn(d + size - cce1 - cce2, cce1, nullptr);
        fn(d + size - cce2, cce2, nullptr);
        break;
    }
    case rt::Obj: {
        std::size_t p = 0;
        while (p + 4 <= size) {
            const std::uint16_t ft = rd16(d + p);
            const std::uint16_t cb = rd16(d + p + 2);
            if (ft == 0x0000)
                break;
            if (ft == 0x0004 || ft == 0x000E || ft == 0x0014) {
                // ObjFmla in place of cb: cbFmla, cce (15 bits), 4 unused bytes, rgce.
                if (cb >= 6 && p + 4 + cb <= size) {
                    const std::size_t cce = rd16(d + p + 4) & 0x7FFF;
                    if (10 + cce <= std::size_t(cb) + 4)
                        fn(d + p + 10, cce, nullptr);
                }
            } else if (ft == 0x0009) {
                if (cb >= 8 && p + 4 + cb <= size) {
                    const std::size_t cbFmla = rd16(d + p + 4);
                    const std::size_t cce = rd16(d + p + 6) & 0x7FFF;
                    if (cbFmla >= 6 && 12 + cce <= std::size_t(cb) + 4)
                        fn(d + p + 12, cce, nullptr);
                }
            } else if (ft == 0x0013) {
                // List data: cbFContinued, then the ObjFmla; what follows has no stated size.
                if (p + 12 <= size) {
                    const std::size_t cbFmla = rd16(d + p + 4);
                    const std::size_t cce = rd16(d + p + 6) & 0x7FFF;
                    if (cbFmla >= 6 && p + 12 + cce <= size)
                        fn(d + p + 12, cce, nullptr);
                }
                break;
            }
            p += 4 + cb; // for the formula sub-records cb is cbFmla, the same extent
        }
        break;
    }
    default:
        break;
    }
}

void Extractor::collectRefs(std::uint8_t* rgce, std::size_t cce, const Rect* shared, bool inName)
{
    const bool ok = walkFormula(rgce, cce, [&](TokenKind kind, std::uint8_t* t, bool isErr) {
        if (kind == TokenKind::Name) {
            usedNames_.insert(rd32(t + 1));
            return;
        }
        const std::uint16_t ixti = rd16(t + 1);
        usedXtis_.insert(ixti);
        if (kind == TokenKind::NameX) {
            if (ixti < xtis_.size() && static_cast<int>(xtis_[ixti].supBook) == selfSupBook_)
                usedNames_.insert(rd32(t + 3));
            return;
        }
        if (isErr || ixti >= xtis_.size())
            return;
        const Xti& x = xtis_[ixti];
        if (static_cast<int>(x.supBook) != selfSupBook_ || x.first >= kXtiWorkbook)
            return;
        if (x.first == k_ && x.last == k_)
            return; // stays a reference to this sheet
        Rect r{};
        std::uint16_t c1, c2;
        if (kind == TokenKind::Ref3d) {
            r.r1 = r.r2 = rd16(t + 3);
            c1 = c2 = rd16(t + 5);
        } else {
            r.r1 = rd16(t + 3);
            r.r2 = rd16(t + 5);
            c1 = rd16(t + 7);
            c2 = rd16(t + 9);
        }
        r.c1 = c1 & 0xFF;
        r.c2 = c2 & 0xFF;
        // Relative parts in shared formulas and names are offsets from the cell that uses
        // them: in a shared formula that is any cell of its range, in a name any cell at all.
        const bool rowRel = (c1 & 0x8000) || (c2 & 0x8000);
        const bool colRel = (c1 & 0x4000) || (c2 & 0x4000);
        if (inName) {
            if (rowRel)
                r.r1 = 0, r.r2 = 0xFFFF;
            if (colRel)
                r.c1 = 0, r.c2 = 0xFF;
        } else if (shared) {
            if (rowRel) {
                const auto a = static_cast<std::int16_t>(r.r1), b = static_cast<std::int16_t>(r.r2);
                r.r1 = static_cast<std::uint32_t>(std::max<int>(0, int(shared->r1) + std::min(a, b)));
                r.r2 = static_cast<std::uint32_t>(std::min<int>(0xFFFF, int(shared->r2) + std::max(a, b)));
            }
            if (colRel) {
                const auto a = static_cast<std::int8_t>(r.c1), b = static_cast<std::int8_t>(r.c2);
                r.c1 = static_cast<std::uint32_t>(std::max<int>(0, int(shared->c1) + std::min(a, b)));
                r.c2 = static_cast<std::uint32_t>(std::min<int>(0xFF, int(shared->c2) + std::max(a, b)));
            }
        }
        if (r.r1 > r.r2)
            std::swap(r.r1, r.r2);
        if (r.c1 > r.c2)
            std::swap(r.c1, r.c2);
        const int n = static_cast<int>(wb_.sheets().size());
        for (int s = x.first; s <= x.last && s < n; ++s)
            cacheRects_[s].push_back(r);
    });
    if (!ok)
        fail(XlsStatus::CannotCopy, QStringLiteral("a formula holds a token this engine does not know"));
}

const SstReader* Extractor::sharedStrings() const
{
    if (!g_.sstIndexed) {
        g_.sstIndexed = true;
        std::vector<Piece> pieces;
        for (std::size_t i = 0; i < g_.records.size(); ++i) {
            const RecRef& r = g_.records[i];
            if (r.type != rt::Sst)
                continue;
            pieces.push_back({data_ + r.dataPos(), r.size, r.dataPos()});
            for (std::size_t j = i + 1; j < g_.records.size() && g_.records[j].type == rt::Continue; ++j)
                pieces.push_back({data_ + g_.records[j].dataPos(), g_.records[j].size, g_.records[j].dataPos()});
            break;
        }
        g_.sstOk = !pieces.empty() && g_.sst.index(pieces);
    }
    return g_.sstOk ? &g_.sst : nullptr;
}

// An embedded OLE object lives in a storage named "MBD" and eight hex digits, the number its
// picture Obj record carries; the storages of the objects this sheet shows go along.
void Extractor::findEmbedded(const std::uint8_t* obj, std::size_t size)
{
    for (const auto& entry : wb_.container().entries()) {
        if (!entry.storage || !entry.name.startsWith(QLatin1String("MBD")) || entry.name.size() != 11)
            continue;
        bool ok = false;
        const std::uint32_t id = entry.name.mid(3).toUInt(&ok, 16);
        if (!ok)
            continue;
        std::uint8_t key[4];
        wr32(key, id);
        for (std::size_t p = 4; p + 4 <= size; ++p) {
            if (std::memcmp(obj + p, key, 4) == 0) {
                if (std::find(embedded_.begin(), embedded_.end(), entry.name) == embedded_.end())
                    embedded_.push_back(entry.name);
                break;
            }
        }
    }
}

void Extractor::analyseSheet()
{
    // The OfficeArt data of each substream (the sheet, each embedded chart) is one drawing
    // spread over its MsoDrawing records.
    std::vector<std::vector<std::uint8_t>> drawing(1);
    std::uint16_t previous = 0;
    for (const auto& [r, depth] : sheet_) {
        std::uint8_t* d = at(r.dataPos());
        if (r.type == rt::Bof && depth > 1)
            drawing.emplace_back();
        if (r.type == rt::MsoDrawing || (r.type == rt::Continue && previous == rt::MsoDrawing)) {
            hasDrawing_ = true;
            drawing.back().insert(drawing.back().end(), d, d + r.size);
        }
        if (r.type != rt::Continue)
            previous = r.type;
        if (r.type == 0x0866) // header/footer pictures carry their own drawing data
            drawingUseKnown_ = false;
        if (depth == 1 && r.type == rt::Obj && r.size >= 6 && rd16(d) == 0x0015 && rd16(d + 4) == 0x0008)
            findEmbedded(d, r.size);
        if (r.type == rt::Eof) {
            if (!drawing.back().empty() && !collectDrawingUse(drawing.back().data(), drawing.back().size(), &drawingUse_))
                drawingUseKnown_ = false;
            if (drawing.size() > 1)
                drawing.pop_back();
            else
                drawing.back().clear();
        }
        if (depth == 1 && r.type == rt::LabelSst) {
            if (r.size < 10)
                damaged(QStringLiteral("a text cell is too short"));
            const std::uint32_t isst = rd32(d + 6);
            if (sstMap_.empty()) {
                const SstReader* sst = sharedStrings();
                sstMap_.assign(sst ? sst->count() : 0, kNoString);
            }
            if (isst >= sstMap_.size())
                damaged(QStringLiteral("a text cell refers to a string the string table does not hold"));
            if (sstMap_[isst] == kNoString) {
                sstMap_[isst] = static_cast<std::uint32_t>(sstOrder_.size());
                sstOrder_.push_back(isst);
            }
            ++labelSstCount_;
        }
        forEachFormula(d, r.type, r.size, depth,
                       [&](std::uint8_t* rgce, std::size_t cce, const Rect* shared) { collectRefs(rgce, cce, shared, false); });
    }
}

void Extractor::findSpanningShared()
{
    for (const auto& [r, depth] : sheet_) {
        if (depth != 1 || r.type != rt::ShrFmla || r.size < 10)
            continue;
        std::uint8_t* d = at(r.dataPos());
        const std::size_t cce = rd16(d + 8);
        if (10 + cce <= r.size && spansOtherSheets(d + 10, cce))
            spanningShared_.insert({rd16(d), d[4]});
    }
}

void Extractor::chooseNames()
{
    const std::size_t n = names_.size();
    std::vector<char> keep(n, 0);
    std::vector<std::uint32_t> work(usedNames_.begin(), usedNames_.end());
    // Names of this sheet always go along; workbook names go along when something kept uses
    // them, or when they refer to nothing outside this sheet.
    for (std::size_t i = 0; i < n; ++i) {
        const NameRec& nm = names_[i];
        if (nm.itab == k_ + 1) {
            keep[i] = 1;
            work.push_back(static_cast<std::uint32_t>(i + 1));
        } else if (nm.itab == 0) {
            bool local = true;
            walkFormula(at(nm.rgce), nm.cce, [&](TokenKind kind, std::uint8_t* t, bool) {
                if (kind == TokenKind::Ref3d || kind == TokenKind::Area3d) {
                    const std::uint16_t ixti = rd16(t + 1);
                    if (ixti >= xtis_.size() || !(xtis_[ixti].first == k_ && xtis_[ixti].last == k_))
                        local = false;
                } else {
                    local = false; // built on other names: kept only when something uses it
                }
            });
            if (local)
                work.push_back(static_cast<std::uint32_t>(i + 1));
        }
    }
    std::set<std::uint32_t> seen;
    while (!work.empty()) {
        const std::uint32_t idx = work.back();
        work.pop_back();
        if (!seen.insert(idx).second)
            continue;
        if (idx == 0 || idx > n)
            continue; // a dangling index stays dangling, as in the source
        NameRec& nm = names_[idx - 1];
        if (nm.itab != 0 && nm.itab != k_ + 1) {
            const int owner = nm.itab - 1;
            const QString sheet = owner < static_cast<int>(wb_.sheets().size())
                ? wb_.sheets()[static_cast<std::size_t>(owner)].name : QString::number(owner);
            fail(XlsStatus::CannotCopy, QStringLiteral("it uses the name '%1' that belongs to worksheet '%2'").arg(nm.name, sheet));
        }
        keep[idx - 1] = 1;
        std::set<std::uint32_t> saved;
        saved.swap(usedNames_);
        collectRefs(at(nm.rgce), nm.cce, nullptr, true);
        for (std::uint32_t u : usedNames_)
            work.push_back(u);
        usedNames_.swap(saved);
        usedNames_.insert(saved.begin(), saved.end());
    }
    newName_.assign(n + 1, 0);
    std::uint32_t next = 0;
    for (std::size_t i = 0; i < n; ++i)
        if (keep[i])
            newName_[i + 1] = ++next;
}

// Where a source XTI points in the new workbook; returns the new SupBook index kind.
std::uint16_t Extractor::mapXtiSheet(const Xti& x, Xti* out) const
{
    const std::uint16_t firstOther = needExternal_ ? 2 : 1;
    if (static_cast<int>(x.supBook) == selfSupBook_) {
        if (x.first == kXtiWorkbook || x.first == kXtiDeleted || x.last == kXtiDeleted) {
            *out = {0, x.first, x.last};
            return 0;
        }
        if (x.first == k_ && x.last == k_) {
            *out = {0, 0, 0};
            return 0;
        }
        *out = {1, x.first, x.last};
        return 1;
    }
    // Other supporting links keep their order after the self and source links.
    std::uint16_t idx = firstOther;
    for (std::size_t s = 0; s < supBooks_.size() && s < x.supBook; ++s)
        if (static_cast<int>(s) != selfSupBook_)
            ++idx;
    *out = {idx, x.first, x.last};
    return 2;
}

std::vector<std::uint8_t> Extractor::supBookRecordForSource() const
{
    // Absolute path in the link form: "same volume" root, components separated by 0x03.
    QString path = QFileInfo(sourcePath_).absoluteFilePath();
    QString encoded = QStringLiteral("\x01\x02");
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    encoded += parts.join(QChar(0x03));
    if (encoded.size() > 255)
        fail(XlsStatus::CannotCopy, QStringLiteral("its formulas refer to other worksheets and the source path is longer than a link can hold"));
    std::vector<std::uint8_t> rec;
    auto putStr = [&rec](const QString& s, bool withCch) {
        bool wide = false;
        for (QChar c : s)
            wide = wide || c.unicode() > 0xFF;
        if (withCch) {
            rec.push_back(static_cast<std::uint8_t>(s.size()));
            rec.push_back(static_cast<std::uint8_t>(s.size() >> 8));
        }
        rec.push_back(wide ? 1 : 0);
        for (QChar c : s) {
            rec.push_back(static_cast<std::uint8_t>(c.unicode()));
            if (wide)
                rec.push_back(static_cast<std::uint8_t>(c.unicode() >> 8));
        }
    };
    const auto& sheets = wb_.sheets();
    rec.push_back(static_cast<std::uint8_t>(sheets.size()));
    rec.push_back(static_cast<std::uint8_t>(sheets.size() >> 8));
    rec.push_back(static_cast<std::uint8_t>(encoded.size()));
    rec.push_back(0);
    putStr(encoded, false);
    for (const SheetInfo& s : sheets)
        putStr(s.name, true);
    if (rec.size() > kMaxRecordData)
        fail(XlsStatus::CannotCopy, QStringLiteral("the link to the source workbook is too long"));
    return rec;
}

void Extractor::writeCaches(ByteSink& out)
{
    const SstReader* sst = nullptr;
    auto sstText = [&](std::uint32_t isst, QString* text) {
        if (!sst)
            sst = sharedStrings();
        SstString s;
        if (!sst || !sst->read(isst, &s))
            return false;
        *text = s.text();
        return true;
    };
    for (auto& [sheetIndex, rects] : cacheRects_) {
        const SheetInfo& info = wb_.sheets()[static_cast<std::size_t>(sheetIndex)];
        std::map<std::pair<std::uint32_t, std::uint32_t>, CachedValue> cells;
        if (info.type == SheetType::Worksheet || info.type == SheetType::Dialog || info.type == SheetType::Macro) {
            Rect box = rects.front();
            for (const Rect& x : rects) {
                box.r1 = std::min(box.r1, x.r1);
                box.r2 = std::max(box.r2, x.r2);
                box.c1 = std::min(box.c1, x.c1);
                box.c2 = std::max(box.c2, x.c2);
            }
            auto inRects = [&rects = rects, &box](std::uint32_t r, std::uint32_t c) {
                if (r < box.r1 || r > box.r2 || c < box.c1 || c > box.c2)
                    return false;
                for (const Rect& x : rects)
                    if (r >= x.r1 && r <= x.r2 && c >= x.c1 && c <= x.c2)
                        return true;
                return false;
            };
            const auto recs = substream(info.offset);
            for (std::size_t i = 0; i < recs.size(); ++i) {
                const auto& [r, depth] = recs[i];
                if (depth != 1 || r.size < 6)
                    continue;
                const std::uint8_t* d = data_ + r.dataPos();
                const std::uint32_t row = rd16(d), col = rd16(d + 2);
                CachedValue v{};
                switch (r.type) {
                case rt::Number:
                    if (r.size < 14 || !inRects(row, col))
                        continue;
                    v.kind = 0x01;
                    std::memcpy(&v.number, d + 6, 8);
                    cells[{row, col}] = v;
                    break;
                case rt::RK: case rt::MulRk: {
                    const std::size_t count = r.type == rt::RK ? 1 : (r.size - 6) / 6;
                    for (std::size_t c = 0; c < count; ++c) {
                        const std::size_t off = 4 + 6 * c;
                        if (off + 6 > r.size || !inRects(row, col + std::uint32_t(c)))
                            continue;
                        const std::uint32_t rk = rd32(d + off + 2);
                        double value;
                        if (rk & 2) {
                            value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
                        } else {
                            const std::uint64_t bits = std::uint64_t(rk & 0xFFFFFFFCu) << 32;
                            std::memcpy(&value, &bits, 8);
                        }
                        if (rk & 1)
                            value /= 100;
                        cells[{row, col + std::uint32_t(c)}] = CachedValue{0x01, value, 0, {}};
                    }
                    break;
                }
                case rt::LabelSst:
                    if (r.size < 10 || !inRects(row, col))
                        continue;
                    v.kind = 0x02;
                    if (sstText(rd32(d + 6), &v.text))
                        cells[{row, col}] = v;
                    break;
                case rt::Label: case rt::RString: {
                    std::size_t used = 0;
                    if (!inRects(row, col) || !decodeXLUnicodeString(d + 6, r.size - 6, &v.text, &used))
                        continue;
                    v.kind = 0x02;
                    cells[{row, col}] = v;
                    break;
                }
                case rt::BoolErr:
                    if (r.size < 8 || !inRects(row, col))
                        continue;
                    v.kind = d[7] ? 0x10 : 0x04;
                    v.code = d[6];
                    cells[{row, col}] = v;
                    break;
                case rt::Formula: {
                    if (r.size < 20 || !inRects(row, col))
                        continue;
                    const std::uint8_t* val = d + 6;
                    if (rd16(val + 6) != 0xFFFF) {
                        v.kind = 0x01;
                        std::memcpy(&v.number, val, 8);
                    } else if (val[0] == 0x00) {
                        // The text follows in a String record.
                        std::size_t j = i + 1;
                        while (j < recs.size() && recs[j].first.type != rt::String && recs[j].second == 1
                               && (recs[j].first.type == rt::ShrFmla || recs[j].first.type == rt::Array
                                   || recs[j].first.type == 0x0236))
                            ++j;
                        if (j >= recs.size() || recs[j].first.type != rt::String)
                            continue;
                        std::size_t used = 0;
                        const RecRef& s = recs[j].first;
                        if (!decodeXLUnicodeString(data_ + s.dataPos(), s.size, &v.text, &used))
                            continue;
                        v.kind = 0x02;
                    } else if (val[0] == 0x01) {
                        v.kind = 0x04;
                        v.code = val[2];
                    } else if (val[0] == 0x02) {
                        v.kind = 0x10;
                        v.code = val[2];
                    } else {
                        v.kind = 0x02; // empty text
                    }
                    cells[{row, col}] = v;
                    break;
                }
                default:
                    break;
                }
            }
        }
        // One CRN per run of neighbouring cells in a row.
        std::vector<std::vector<std::uint8_t>> crns;
        std::vector<std::uint8_t> cur;
        std::uint32_t curRow = 0, firstCol = 0, lastCol = 0;
        auto flush = [&] {
            if (cur.empty())
                return;
            cur[0] = static_cast<std::uint8_t>(lastCol);
            cur[1] = static_cast<std::uint8_t>(firstCol);
            crns.push_back(std::move(cur));
            cur.clear();
        };
        for (const auto& [rc, v] : cells) {
            if (!cur.empty() && (rc.first != curRow || rc.second != lastCol + 1 || cur.size() > 7000))
                flush();
            if (cur.empty()) {
                curRow = rc.first;
                firstCol = rc.second;
                cur = {0, 0, static_cast<std::uint8_t>(curRow), static_cast<std::uint8_t>(curRow >> 8)};
            }
            lastCol = rc.second;
            cur.push_back(v.kind);
            std::uint8_t eight[8] = {};
            if (v.kind == 0x01) {
                std::memcpy(eight, &v.number, 8);
                cur.insert(cur.end(), eight, eight + 8);
            } else if (v.kind == 0x02) {
                bool wide = false;
                for (QChar c : v.text)
                    wide = wide || c.unicode() > 0xFF;
                const std::size_t cch = std::min<std::size_t>(static_cast<std::size_t>(v.text.size()), 0xFFFF / 2);
                cur.push_back(static_cast<std::uint8_t>(cch));
                cur.push_back(static_cast<std::uint8_t>(cch >> 8));
                cur.push_back(wide ? 1 : 0);
                for (std::size_t c = 0; c < cch; ++c) {
                    cur.push_back(static_cast<std::uint8_t>(v.text[static_cast<qsizetype>(c)].unicode()));
                    if (wide)
                        cur.push_back(static_cast<std::uint8_t>(v.text[static_cast<qsizetype>(c)].unicode() >> 8));
                }
            } else {
                eight[0] = v.code;
                cur.insert(cur.end(), eight, eight + 8);
            }
            if (cur.size() > kMaxRecordData)
                fail(XlsStatus::CannotCopy, QStringLiteral("a cell it refers to on another sheet holds too much text"));
        }
        flush();
        std::uint8_t xct[4];
        wr16(xct, static_cast<std::uint16_t>(std::min<std::size_t>(crns.size(), 0x7FFF)));
        wr16(xct + 2, static_cast<std::uint16_t>(sheetIndex));
        if (crns.size() > 0x7FFF)
            crns.resize(0x7FFF);
        out.record(rt::XCT, xct, 4);
        for (const auto& c : crns)
            out.record(rt::CRN, c);
    }
}

void Extractor::renumber(std::uint8_t* rgce, std::size_t cce) const
{
    walkFormula(rgce, cce, [&](TokenKind kind, std::uint8_t* t, bool) {
        std::uint8_t* idx = nullptr;
        if (kind == TokenKind::Name)
            idx = t + 1;
        else if (kind == TokenKind::NameX) {
            const std::uint16_t ixti = rd16(t + 1);
            if (ixti < xtis_.size() && static_cast<int>(xtis_[ixti].supBook) == selfSupBook_)
                idx = t + 3;
        }
        if (!idx)
            return;
        const std::uint32_t old = rd32(idx);
        if (old >= 1 && old < newName_.size() && newName_[old])
            wr32(idx, newName_[old]);
    });
}

// True when a formula reads a 3-D range over several other sheets. Such a range can only point
// into the source workbook as an external 3-D reference, which LibreOffice cannot evaluate.
bool Extractor::spansOtherSheets(std::uint8_t* rgce, std::size_t cce) const
{
    bool spans = false;
    walkFormula(rgce, cce, [&](TokenKind kind, std::uint8_t* t, bool) {
        if (kind != TokenKind::Ref3d && kind != TokenKind::Area3d)
            return;
        const std::uint16_t ixti = rd16(t + 1);
        if (ixti >= xtis_.size())
            return;
        const Xti& x = xtis_[ixti];
        if (static_cast<int>(x.supBook) == selfSupBook_ && x.first < kXtiWorkbook && x.last < kXtiWorkbook && x.first != x.last)
            spans = true;
    });
    return spans;
}

// Replaces the formula of a cell that reads a 3-D range over other sheets by its stored
// result, padded with parentheses so the record keeps its size (row block offsets stay valid).
void Extractor::freezeIfSpanning(std::uint8_t* d, std::size_t size, std::size_t index)
{
    if (size < 22)
        return;
    const std::size_t cce = rd16(d + 20);
    if (22 + cce != size)
        return; // extra array data follows; left as it is
    std::uint8_t* rgce = d + 22;
    bool spans = spansOtherSheets(rgce, cce);
    if (!spans && cce == 5 && rgce[0] == 0x01)
        spans = spanningShared_.count({rd16(rgce + 1), rd16(rgce + 3)}) > 0;
    if (!spans)
        return;
    std::vector<std::uint8_t> tokens;
    const std::uint8_t* val = d + 6;
    if (rd16(val + 6) != 0xFFFF) {
        double v;
        std::memcpy(&v, val, 8);
        if (v >= 0 && v <= 65535 && v == static_cast<double>(static_cast<int>(v)))
            tokens = {0x1E, static_cast<std::uint8_t>(static_cast<int>(v)), static_cast<std::uint8_t>(static_cast<int>(v) >> 8)};
        else
            tokens = {0x1F, val[0], val[1], val[2], val[3], val[4], val[5], val[6], val[7]};
    } else if (val[0] == 1) {
        tokens = {0x1D, val[2]};
    } else if (val[0] == 2) {
        tokens = {0x1C, val[2]};
    } else if (val[0] == 3) {
        tokens = {0x17, 0, 0};
    } else if (val[0] == 0) {
        // The text is in the String record after the formula.
        for (std::size_t j = index + 1; j < sheet_.size() && j < index + 4; ++j) {
            const RecRef& r = sheet_[j].first;
            if (r.type != rt::String)
                continue;
            const std::uint8_t* s = data_ + r.dataPos();
            if (r.size >= 3) {
                const std::size_t cch = rd16(s);
                const std::size_t bytes = cch * ((s[2] & 1) ? 2 : 1);
                if (cch <= 255 && 3 + bytes <= r.size) {
                    tokens = {0x17, static_cast<std::uint8_t>(cch), static_cast<std::uint8_t>(s[2] & 1)};
                    tokens.insert(tokens.end(), s + 3, s + 3 + bytes);
                }
            }
            break;
        }
    }
    if (tokens.empty() || tokens.size() > cce)
        return;
    std::memcpy(rgce, tokens.data(), tokens.size());
    std::memset(rgce + tokens.size(), 0x15, cce - tokens.size()); // PtgParen
    wr16(d + 14, static_cast<std::uint16_t>(rd16(d + 14) & ~0x0008)); // no longer shared
}

void Extractor::writeLinkTableAndNames(ByteSink& out)
{
    if (hasExternSheet_) {
        std::uint8_t self[4];
        wr16(self, 1);
        wr16(self + 2, kSelfSupBook);
        out.record(rt::SupBook, self, 4);
        if (needExternal_) {
            out.record(rt::SupBook, supBookRecordForSource());
            writeCaches(out);
        }
        for (std::size_t s = 0; s < supBooks_.size(); ++s) {
            if (static_cast<int>(s) == selfSupBook_)
                continue;
            for (std::size_t i : supBooks_[s]) {
                const RecRef& r = g_.records[i];
                out.put(data_ + r.pos, 4 + r.size);
            }
        }
        std::vector<std::uint8_t> es(2 + 6 * xtis_.size());
        wr16(es.data(), static_cast<std::uint16_t>(xtis_.size()));
        for (std::size_t i = 0; i < xtis_.size(); ++i) {
            Xti x{};
            mapXtiSheet(xtis_[i], &x);
            wr16(es.data() + 2 + 6 * i, x.supBook);
            wr16(es.data() + 4 + 6 * i, x.first);
            wr16(es.data() + 6 + 6 * i, x.last);
        }
        // Long tables continue in CONTINUE records, split between entries.
        std::size_t done = 0;
        std::uint16_t type = rt::ExternSheet;
        while (done < es.size() || done == 0) {
            std::size_t take = std::min(es.size() - done, (type == rt::ExternSheet ? 2 : 0) + (kMaxRecordData - 2) / 6 * 6);
            out.record(type, es.data() + done, take);
            done += take;
            type = rt::Continue;
            if (take == 0)
                break;
        }
    }
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (!newName_[i + 1])
            continue;
        const NameRec& nm = names_[i];
        const RecRef& r = g_.records[nm.rec];
        const std::size_t start = out.size();
        out.put(data_ + r.pos, 4 + r.size);
        std::uint8_t* d = out.bytes.data() + start + 4;
        if (nm.itab != 0)
            wr16(d + 8, 1);
        renumber(d + (nm.rgce - r.dataPos()), nm.cce);
    }
}

QByteArray Extractor::run()
{
    CfbStream& stream = wb_.stream();
    // The globals now; the sheets as they are walked.
    if (!stream.ensure(g_.end))
        damaged(QStringLiteral("the Workbook stream cannot be read"));
    data_ = stream.data();
    size_ = static_cast<std::uint32_t>(stream.size());
    const auto& sheets = wb_.sheets();
    if (k_ < 0 || k_ >= static_cast<int>(sheets.size()) || sheets[static_cast<std::size_t>(k_)].type != SheetType::Worksheet)
        fail(XlsStatus::NotAWorksheet, toText(XlsStatus::NotAWorksheet));
    const SheetInfo& sheet = sheets[static_cast<std::size_t>(k_)];
    sheet_ = substream(sheet.offset);
    parseLinkTable();
    analyseSheet();
    findSpanningShared();
    chooseNames();
    // Every reference to another sheet, used or not, needs the link to the source workbook as
    // its target: the reference table keeps its entries so formulas keep their indexes.
    for (const Xti& x : xtis_) {
        Xti y{};
        if (static_cast<int>(x.supBook) == selfSupBook_ && mapXtiSheet(x, &y) == 1)
            needExternal_ = true;
    }

    // Shared strings of this sheet, in first-use order.
    std::vector<SstString> strings(sstOrder_.size());
    if (!sstOrder_.empty()) {
        const SstReader* reader = sharedStrings();
        if (!reader)
            fail(XlsStatus::Damaged, QStringLiteral("the shared string table is damaged"));
        for (std::size_t i = 0; i < sstOrder_.size(); ++i)
            if (!reader->read(sstOrder_[i], &strings[i]))
                damaged(QStringLiteral("a text cell refers to a string the string table does not hold"));
    }

    // The globals.
    ByteSink out;
    out.bytes.reserve(static_cast<std::size_t>(sheet_.back().first.end() - sheet.offset) + g_.end / 2 + 4096);
    std::size_t boundSheetAt = SIZE_MAX;
    bool wroteLinks = false, wroteSheet = false, wroteWindow1 = false, wroteSst = false;
    const auto& recs = g_.records;
    for (std::size_t i = 0; i < recs.size(); ++i) {
        const RecRef& r = recs[i];
        // A record with its CONTINUE records.
        std::size_t last = i;
        while (last + 1 < recs.size() && recs[last + 1].type == rt::Continue)
            ++last;
        if (r.type == rt::MsoDrawingGroup)
            while (last + 1 < recs.size() && (recs[last + 1].type == rt::Continue || recs[last + 1].type == rt::MsoDrawingGroup))
                ++last;
        const std::uint8_t* d = data_ + r.dataPos();
        const std::uint32_t from = r.pos, to = recs[last].end();
        auto copy = [&] { out.put(data_ + from, to - from); };
        if (r.type == rt::Continue) {
            // A CONTINUE without its record before it: kept as found.
            copy();
        } else if (r.type == rt::BoundSheet8) {
            if (!wroteSheet) {
                std::size_t ownAt = i;
                for (std::size_t j = 0, n = 0; j < recs.size(); ++j)
                    if (recs[j].type == rt::BoundSheet8 && n++ == static_cast<std::size_t>(k_)) {
                        ownAt = j;
                        break;
                    }
                const RecRef& own = recs[ownAt];
                boundSheetAt = out.size() + 4;
                out.put(data_ + own.pos, 4 + own.size);
                std::uint8_t* b = out.bytes.data() + boundSheetAt;
                b[4] = 0; // a workbook shows at least one sheet
                wroteSheet = true;
            }
        } else if (r.type == rt::Window1) {
            if (!wroteWindow1 && r.size >= 18) {
                const std::size_t at = out.size() + 4;
                copy();
                std::uint8_t* w = out.bytes.data() + at;
                wr16(w + 10, 0);
                wr16(w + 12, 0);
                wr16(w + 14, 1);
                wroteWindow1 = true;
            }
        } else if (r.type == rt::RRTabId) {
            std::uint8_t id[2] = {1, 0};
            if (r.size >= 2 * (k_ + 1))
                std::memcpy(id, d + 2 * k_, 2);
            out.record(rt::RRTabId, id, 2);
        } else if (r.type == rt::Sst) {
            writeSst(out, 0, strings, labelSstCount_);
            wroteSst = true;
        } else if (r.type == rt::ExtSst) {
            // Rewritten with the string table.
        } else if (isLinkTableRecord(r.type)) {
            if (!wroteLinks) {
                writeLinkTableAndNames(out);
                wroteLinks = true;
            }
        } else if (r.type == rt::MsoDrawingGroup) {
            if (hasDrawing_ || !drawingUseKnown_) {
                std::vector<std::uint8_t> group;
                for (std::size_t j = i; j <= last; ++j)
                    group.insert(group.end(), data_ + recs[j].dataPos(), data_ + recs[j].end());
                const std::vector<std::uint8_t> reduced
                    = drawingUseKnown_ ? reduceDrawingGroup(group.data(), group.size(), drawingUse_) : std::vector<std::uint8_t>();
                if (reduced.empty()) {
                    copy();
                } else {
                    for (std::size_t done = 0; done < reduced.size();) {
                        const std::size_t take = std::min(kMaxRecordData, reduced.size() - done);
                        out.record(done == 0 ? rt::MsoDrawingGroup : rt::Continue, reduced.data() + done, take);
                        done += take;
                    }
                }
            }
        } else if (isDroppedGlobalsRecord(r.type)) {
            // Not carried over.
        } else {
            copy();
        }
        i = last;
    }
    if (!wroteSst && !sstOrder_.empty())
        damaged(QStringLiteral("text cells refer to a string table the workbook does not have"));
    if (boundSheetAt == SIZE_MAX)
        damaged(QStringLiteral("the workbook has no sheet list"));

    // The sheet, right after the globals.
    const std::uint32_t newStart = static_cast<std::uint32_t>(out.size());
    const std::int64_t delta = std::int64_t(newStart) - std::int64_t(sheet.offset);
    wr32(out.bytes.data() + boundSheetAt, newStart);
    bool window2Done = false;
    bool inExtraWindow = false; // the output keeps one Window1, so one WINDOW group per sheet
    for (std::size_t i = 0; i < sheet_.size(); ++i) {
        const auto& [r, depth] = sheet_[i];
        std::size_t last = i;
        while (last + 1 < sheet_.size() && sheet_[last + 1].first.type == rt::Continue)
            ++last;
        if (depth == 1 && isPivotSheetRecord(r.type)) {
            i = last;
            continue;
        }
        if (depth == 1) {
            if (r.type == rt::Window2 && window2Done)
                inExtraWindow = true;
            else if (r.type != 0x088B && r.type != 0x00A0 && r.type != 0x0041 && r.type != 0x001D)
                inExtraWindow = false; // not PLV, Scl, Pane or Selection: the group has ended
            if (inExtraWindow) {
                i = last;
                continue;
            }
        }
        const std::size_t at = out.size();
        out.put(data_ + r.pos, 4 + r.size);
        std::uint8_t* d = out.bytes.data() + at + 4;
        if (depth == 1) {
            switch (r.type) {
            case rt::Index:
                // ibXF and every DBCell position are absolute.
                for (std::size_t p = 12; p + 4 <= r.size; p += 4)
                    wr32(d + p, static_cast<std::uint32_t>(std::int64_t(rd32(d + p)) + delta));
                break;
            case rt::LabelSst:
                wr32(d + 6, sstMap_[rd32(d + 6)]); // checked when the sheet was read
                break;
            case rt::Formula:
                freezeIfSpanning(d, r.size, i);
                break;
            case rt::Window2:
                if (!window2Done && r.size >= 2) {
                    wr16(d, static_cast<std::uint16_t>(rd16(d) | 0x0600));
                    window2Done = true;
                }
                break;
            default:
                break;
            }
        }
        forEachFormula(d, r.type, r.size, depth, [&](std::uint8_t* rgce, std::size_t cce, const Rect*) { renumber(rgce, cce); });
    }

    // The container: the workbook and the harmless descriptive streams. The document summary
    // is left out because it lists every sheet name of the source.
    std::vector<CfbOutputStream> streams;
    streams.push_back({QStringLiteral("Workbook"), out.bytes.data(), out.bytes.size()});
    QByteArray summary, compObj;
    if (wb_.container().readStream(QStringLiteral("\x05" "SummaryInformation"), &summary) && !summary.isEmpty())
        streams.push_back({QStringLiteral("\x05" "SummaryInformation"), reinterpret_cast<const std::uint8_t*>(summary.constData()),
                           static_cast<std::size_t>(summary.size())});
    if (wb_.container().readStream(QStringLiteral("\x01" "CompObj"), &compObj) && !compObj.isEmpty())
        streams.push_back({QStringLiteral("\x01" "CompObj"), reinterpret_cast<const std::uint8_t*>(compObj.constData()),
                           static_cast<std::size_t>(compObj.size())});
    std::vector<CfbNode> storages;
    for (const QString& name : embedded_) {
        CfbNode node;
        if (wb_.container().readStorage(name, &node))
            storages.push_back(std::move(node));
    }
    QString reason;
    QByteArray file = writeCompoundFile(streams, &reason, storages);
    if (file.isEmpty())
        fail(XlsStatus::OutputFailed, reason);
    return file;
}

} // namespace

QByteArray XlsWorkbook::extract(int index, const QString& sourcePath) const
{
    Extractor x(*this, index, sourcePath.isEmpty() ? path_ : sourcePath);
    return x.run();
}

} // namespace bf::xls
