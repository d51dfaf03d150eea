#include "xls/Names.h"

#include "xls/BiffString.h"
#include "xls/RecordIds.h"

#include <algorithm>
#include <cstring>

namespace bf::xls {

void NameTable::read(const ExtractSource& src)
{
    const auto& recs = src.globals();
    for (std::size_t i = 0; i < recs.size(); ++i) {
        const RecRef& r = recs[i];
        if (r.type != rt::Lbl)
            continue;
        const std::uint8_t* d = src.data(r);
        if (r.size < 15)
            src.damaged(QStringLiteral("a defined name is too short"));
        DefinedName n;
        n.rec = i;
        n.itab = rd16(d + 8);
        const std::size_t cch = d[3];
        n.cce = rd16(d + 4);
        const bool wide = d[14] & 1;
        std::size_t used = 0;
        if (!decodeChars(d + 15, r.size - 15, cch, wide, &n.name, &used) || 15 + used + n.cce > r.size)
            src.damaged(QStringLiteral("a defined name runs past its record"));
        n.rgce = r.dataPos() + 15 + static_cast<std::uint32_t>(used);
        names_.push_back(std::move(n));
    }
}

// Names of this sheet always go along; workbook names go along when they refer to nothing
// outside this sheet (the others only when something kept uses them).
std::vector<std::uint32_t> NameTable::startingSet(const ExtractSource& src, const LinkTable& links, std::vector<char>& keep) const
{
    const int k = src.sheet();
    std::vector<std::uint32_t> work;
    for (std::size_t i = 0; i < names_.size(); ++i) {
        const DefinedName& nm = names_[i];
        if (nm.itab == k + 1) {
            keep[i] = 1;
            work.push_back(static_cast<std::uint32_t>(i + 1));
        } else if (nm.itab == 0) {
            bool local = true;
            // A name whose formula cannot be read goes along only when something uses it.
            local = walkFormula(src.at(nm.rgce), nm.cce, [&](TokenKind kind, const std::uint8_t* t, bool) {
                const Xti* x = links.xti(rd16(t + 1));
                if (kind == TokenKind::Ref3d || kind == TokenKind::Area3d)
                    local = local && x && x->first == k && x->last == k;
                else
                    local = false; // built on other names: kept only when something uses it
            }) && local;
            if (local)
                work.push_back(static_cast<std::uint32_t>(i + 1));
        }
    }
    return work;
}

void NameTable::choose(const ExtractSource& src, const LinkTable& links, References& refs, const std::set<std::uint32_t>& used)
{
    src_ = &src;
    const std::size_t n = names_.size();
    const int k = src.sheet();
    std::vector<char> keep(n, 0);
    std::vector<std::uint32_t> work = startingSet(src, links, keep);
    work.insert(work.begin(), used.begin(), used.end());
    std::set<std::uint32_t> seen;
    while (!work.empty()) {
        const std::uint32_t idx = work.back();
        work.pop_back();
        if (!seen.insert(idx).second || idx == 0 || idx > n)
            continue; // a dangling index stays dangling, as in the source
        const DefinedName& nm = names_[idx - 1];
        if (!walkFormula(src.at(nm.rgce), nm.cce, [](TokenKind, const std::uint8_t*, bool) {}))
            src.fail(XlsStatus::CannotCopy,
                     QStringLiteral("it uses the name '%1', whose formula holds a token this engine does not know").arg(nm.name));
        if (nm.itab != 0 && nm.itab != k + 1) {
            if (refs.plainNames().count(idx)) {
                const int owner = nm.itab - 1;
                const QString sheet = owner < static_cast<int>(src.sheets().size())
                    ? src.sheets()[static_cast<std::size_t>(owner)].name : QString::number(owner);
                src.fail(XlsStatus::CannotCopy,
                         QStringLiteral("it uses the name '%1' of worksheet '%2' without naming the sheet").arg(nm.name, sheet));
            }
            takeOtherSheetsName(idx, refs);
            continue;
        }
        keep[idx - 1] = 1;
        std::set<std::uint32_t> found;
        refs.collect(src.at(nm.rgce), nm.cce, nullptr, true, &found);
        work.insert(work.end(), found.begin(), found.end());
    }
    newName_.assign(n + 1, 0);
    std::uint32_t next = 0;
    for (std::size_t i = 0; i < n; ++i)
        if (keep[i])
            newName_[i + 1] = ++next;
}

bool NameTable::namesReachOtherSheets(const std::uint8_t* rgce, std::size_t cce, const LinkTable& links, int kept, int depth) const
{
    constexpr int kMaxDepth = 32; // names built on names, far deeper than any workbook's
    bool reaches = depth > kMaxDepth;
    walkFormula(rgce, cce, [&](TokenKind kind, const std::uint8_t* t, bool) {
        if (reaches)
            return;
        const Xti* x = kind == TokenKind::Name ? nullptr : links.xti(rd16(t + 1));
        std::uint32_t idx = 0;
        if (kind == TokenKind::Name)
            idx = rd32(t + 1);
        else if (kind == TokenKind::NameX && x && links.isSelf(*x))
            idx = rd32(t + 3);
        else if (kind != TokenKind::NameX && x && links.reachesOtherSheets(*x, kept))
            reaches = depth > 0; // the formula's own references are the caller's to judge
        if (idx == 0 || idx > names_.size())
            return;
        const DefinedName& nm = names_[idx - 1];
        reaches = (nm.itab != 0 && nm.itab != kept + 1)
            || (src_ && namesReachOtherSheets(src_->at(nm.rgce), nm.cce, links, kept, depth + 1));
    });
    return reaches;
}

void NameTable::makeConstants(const ValueConstants& values)
{
    for (std::size_t i = 0; src_ && i < names_.size(); ++i) {
        if (i + 1 >= newName_.size() || !newName_[i + 1])
            continue;
        std::vector<std::uint8_t> constant = values.cellConstant(src_->at(names_[i].rgce), names_[i].cce);
        if (!constant.empty())
            constants_[i] = std::move(constant);
    }
}

bool NameTable::formulaOf(std::uint32_t idx, const std::uint8_t** rgce, std::size_t* cce) const
{
    if (!src_ || idx == 0 || idx > names_.size())
        return false;
    *rgce = src_->at(names_[idx - 1].rgce);
    *cce = names_[idx - 1].cce;
    return true;
}

int NameTable::keptReadingOtherSheets(const LinkTable& links, int kept) const
{
    int count = 0;
    for (std::size_t i = 0; src_ && i < names_.size(); ++i) {
        if (i + 1 >= newName_.size() || !newName_[i + 1] || constants_.count(i))
            continue;
        bool reaches = false;
        walkFormula(src_->at(names_[i].rgce), names_[i].cce, [&](TokenKind kind, const std::uint8_t* t, bool) {
            const Xti* x = kind == TokenKind::Ref3d || kind == TokenKind::Area3d ? links.xti(rd16(t + 1)) : nullptr;
            reaches = reaches || (x && links.reachesOtherSheets(*x, kept));
        });
        count += reaches;
    }
    return count;
}

void NameTable::renumber(std::uint8_t* rgce, std::size_t cce, const LinkTable& links) const
{
    rewriteFormula(rgce, cce, [&](TokenKind kind, std::uint8_t* t, bool) {
        std::uint8_t* idx = nullptr;
        if (kind == TokenKind::Name) {
            idx = t + 1;
        } else if (kind == TokenKind::NameX) {
            const Xti* x = links.xti(rd16(t + 1));
            if (x && links.isSelf(*x))
                idx = t + 3;
        }
        if (!idx)
            return;
        const std::uint32_t old = rd32(idx);
        if (old >= 1 && old < newName_.size() && newName_[old])
            wr32(idx, newName_[old]);
        else if (kind == TokenKind::NameX && otherSheets_.count(old))
            pointAtLink(t, old);
    });
}

// Another sheet's name: its formula's references join those the link caches; a name that
// stands for more than one cell goes into the link as a name of that sheet.
void NameTable::takeOtherSheetsName(std::uint32_t idx, References& refs)
{
    const DefinedName& nm = names_[idx - 1];
    otherSheets_.insert(idx);
    if (!standsForOneCell(nm))
        linked_.push_back(idx);
    std::set<std::uint32_t> ignored; // the names it is built on stay behind with it
    refs.collect(src_->at(nm.rgce), nm.cce, nullptr, true, &ignored);
}

bool NameTable::standsForOneCell(const DefinedName& nm) const
{
    return nm.cce == 7 && ptg::base(src_->at(nm.rgce)[0]) == ptg::Ref3d;
}

// A token that reads another sheet's name: a one-cell name becomes that cell's reference (the
// same size, and every reader evaluates it); any other reads the name the link carries.
void NameTable::pointAtLink(std::uint8_t* t, std::uint32_t idx) const
{
    const DefinedName& nm = names_[idx - 1];
    const std::uint8_t* f = src_->at(nm.rgce);
    if (standsForOneCell(nm)) {
        t[0] = static_cast<std::uint8_t>((t[0] & 0x60) | ptg::Ref3d);
        std::memcpy(t + 1, f + 1, 6);
        return;
    }
    const auto it = std::find(linked_.begin(), linked_.end(), idx);
    wr32(t + 3, static_cast<std::uint32_t>(it - linked_.begin()) + 1);
}

// EXTERNNAME: flags, the sheet (1-based among the link's), reserved, the name, then its
// formula when that is one reference (the form a name of another workbook may hold), else
// #REF!.
std::vector<std::vector<std::uint8_t>> NameTable::linkNames(const LinkTable& links) const
{
    std::vector<std::vector<std::uint8_t>> records;
    for (std::uint32_t idx : linked_) {
        const DefinedName& nm = names_[idx - 1];
        const RecRef& r = src_->globals()[nm.rec];
        const std::uint8_t* lbl = src_->data(r);
        std::vector<std::uint8_t> rec(6, 0);
        wr16(rec.data() + 2, static_cast<std::uint16_t>(links.linkPosition(nm.itab - 1) + 1));
        rec.push_back(lbl[3]);                                        // cch
        rec.insert(rec.end(), lbl + 14, src_->at(nm.rgce)); // flags and characters
        std::vector<std::uint8_t> fmla{ptg::Err, 0x17};               // #REF!
        const std::uint8_t* f = src_->at(nm.rgce);
        const Xti* x = nm.cce == 11 && ptg::base(f[0]) == ptg::Area3d ? links.xti(rd16(f + 1)) : nullptr;
        const Xti to = x ? links.mapped(*x, src_->sheet()) : Xti{};
        if (x && to.supBook == 1) {
            fmla = {ptg::Area3d, 0, 0, 0, 0};
            wr16(fmla.data() + 1, to.first);
            wr16(fmla.data() + 3, to.last);
            fmla.insert(fmla.end(), f + 3, f + 11);
        }
        rec.push_back(static_cast<std::uint8_t>(fmla.size()));
        rec.push_back(0);
        rec.insert(rec.end(), fmla.begin(), fmla.end());
        records.push_back(std::move(rec));
    }
    return records;
}

void NameTable::write(ByteSink& out, const ExtractSource& src, const LinkTable& links) const
{
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (!newName_[i + 1])
            continue;
        const DefinedName& nm = names_[i];
        const RecRef& r = src.globals()[nm.rec];
        const std::size_t start = out.size();
        const auto constant = constants_.find(i);
        if (constant == constants_.end()) {
            out.put(src.at(r.pos), 4 + r.size);
        } else {
            // The record up to the formula, then the constant in its place.
            const std::vector<std::uint8_t>& tokens = constant->second;
            const std::size_t head = nm.rgce - r.pos;
            out.put(src.at(r.pos), head);
            out.put(tokens.data(), tokens.size());
            wr16(out.bytes.data() + start + 2, static_cast<std::uint16_t>(head - 4 + tokens.size()));
            wr16(out.bytes.data() + start + 8, static_cast<std::uint16_t>(tokens.size()));
        }
        std::uint8_t* d = out.bytes.data() + start + 4;
        if (nm.itab != 0)
            wr16(d + 8, 1);
        if (constant == constants_.end())
            renumber(d + (nm.rgce - r.dataPos()), nm.cce, links);
    }
}

} // namespace bf::xls
