#include "xls/Names.h"

#include "xls/BiffString.h"
#include "xls/RecordIds.h"

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
            walkFormula(src.at(nm.rgce), nm.cce, [&](TokenKind kind, const std::uint8_t* t, bool) {
                const Xti* x = links.xti(rd16(t + 1));
                if (kind == TokenKind::Ref3d || kind == TokenKind::Area3d)
                    local = local && x && x->first == k && x->last == k;
                else
                    local = false; // built on other names: kept only when something uses it
            });
            if (local)
                work.push_back(static_cast<std::uint32_t>(i + 1));
        }
    }
    return work;
}

void NameTable::choose(const ExtractSource& src, const LinkTable& links, References& refs, const std::set<std::uint32_t>& used)
{
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
        if (nm.itab != 0 && nm.itab != k + 1) {
            const int owner = nm.itab - 1;
            const QString sheet = owner < static_cast<int>(src.sheets().size())
                ? src.sheets()[static_cast<std::size_t>(owner)].name : QString::number(owner);
            src.fail(XlsStatus::CannotCopy, QStringLiteral("it uses the name '%1' that belongs to worksheet '%2'").arg(nm.name, sheet));
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
    });
}

void NameTable::write(ByteSink& out, const ExtractSource& src, const LinkTable& links) const
{
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (!newName_[i + 1])
            continue;
        const DefinedName& nm = names_[i];
        const RecRef& r = src.globals()[nm.rec];
        const std::size_t start = out.size();
        out.put(src.at(r.pos), 4 + r.size);
        std::uint8_t* d = out.bytes.data() + start + 4;
        if (nm.itab != 0)
            wr16(d + 8, 1);
        renumber(d + (nm.rgce - r.dataPos()), nm.cce, links);
    }
}

} // namespace bf::xls
