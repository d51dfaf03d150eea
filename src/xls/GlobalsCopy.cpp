#include "xls/GlobalsCopy.h"

#include "xls/RecordIds.h"

#include <algorithm>
#include <cstring>

namespace bf::xls {

namespace {
// Globals records the one-sheet workbook must not carry: pivot cache records outside a cache
// definition, the VBA project markers (the project is not copied), custom views of all sheets.
bool isDroppedGlobalsRecord(std::uint16_t t)
{
    switch (t) {
    case rt::SXStreamID: case rt::SXVS: case rt::DConRef: case rt::DConName: case rt::DConBin:
    case rt::SXDBEx: case rt::SXTbl: case rt::SXTBRGIITM: case rt::SxTbpg: case rt::ObProj: case rt::ObNoMacros:
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

class GlobalsCopy {
public:
    GlobalsCopy(ByteSink& out, const ExtractSource& src, const GlobalsParts& parts) : out_(out), src_(src), parts_(parts) {}

    GlobalsCopied run()
    {
        const auto& recs = src_.globals();
        for (std::size_t i = 0; i < recs.size(); ++i) {
            // A record with its CONTINUE records.
            std::size_t last = lastContinuation(recs, i, recs[i].type == rt::MsoDrawingGroup ? rt::MsoDrawingGroup : 0);
            if (!parts_.copyPivotCache(out_, i, &last))
                copy(i, last);
            i = last;
        }
        return {boundSheetAt_, wroteSst_};
    }

private:
    void copy(std::size_t i, std::size_t last)
    {
        const RecRef& r = src_.globals()[i];
        const auto whole = [&] { out_.put(src_.at(r.pos), src_.globals()[last].end() - r.pos); };
        if (r.type == rt::Continue) {
            whole(); // a CONTINUE without its record before it: kept as found
        } else if (r.type == rt::BoundSheet8) {
            if (boundSheetAt_ == SIZE_MAX)
                writeOwnSheetEntry();
        } else if (r.type == rt::Window1) {
            writeWindow1(whole, r.size);
        } else if (r.type == rt::RRTabId) {
            writeRRTabId(r);
        } else if (r.type == rt::Sst) {
            parts_.writeSst(out_);
            wroteSst_ = true;
        } else if (r.type == rt::ExtSst) {
            // Rewritten with the string table.
        } else if (isLinkTableRecord(r.type)) {
            if (!wroteLinks_)
                parts_.writeLinksAndNames(out_);
            wroteLinks_ = true;
        } else if (r.type == rt::MsoDrawingGroup) {
            if (parts_.drawings.needsGroup())
                writeDrawingGroup(i, last, whole);
        } else if (!isDroppedGlobalsRecord(r.type)) {
            whole();
        }
    }

    // The sheet list holds the kept sheet only, visible: a workbook shows at least one sheet.
    void writeOwnSheetEntry()
    {
        const auto& recs = src_.globals();
        std::size_t n = 0;
        for (const RecRef& own : recs) {
            if (own.type != rt::BoundSheet8 || n++ != static_cast<std::size_t>(src_.sheet()))
                continue;
            boundSheetAt_ = out_.size() + 4;
            out_.put(src_.at(own.pos), 4 + own.size);
            out_.bytes[boundSheetAt_ + 4] = 0;
            return;
        }
    }

    // Every window shows the first (and only) sheet.
    template <class Whole>
    void writeWindow1(const Whole& whole, std::size_t size)
    {
        const std::size_t at = out_.size() + 4;
        whole();
        if (size < 16)
            return;
        std::uint8_t* w = out_.bytes.data() + at;
        wr16(w + 10, 0); // itabCur
        wr16(w + 12, 0); // itabFirst
        wr16(w + 14, 1); // ctabSel
    }

    void writeRRTabId(const RecRef& r)
    {
        const int k = src_.sheet();
        std::uint8_t id[2] = {1, 0};
        if (r.size >= 2 * (k + 1))
            std::memcpy(id, src_.data(r) + 2 * k, 2);
        out_.record(rt::RRTabId, id, 2);
    }

    template <class Whole>
    void writeDrawingGroup(std::size_t i, std::size_t last, const Whole& whole)
    {
        const auto& recs = src_.globals();
        std::vector<std::uint8_t> group;
        for (std::size_t j = i; j <= last; ++j)
            group.insert(group.end(), src_.data(recs[j]), src_.at(recs[j].end()));
        const std::vector<std::uint8_t> reduced = parts_.drawings.reducedGroup(group.data(), group.size());
        if (reduced.empty()) {
            whole();
            return;
        }
        for (std::size_t done = 0; done < reduced.size();) {
            const std::size_t take = std::min(kMaxRecordData, reduced.size() - done);
            out_.record(done == 0 ? rt::MsoDrawingGroup : rt::Continue, reduced.data() + done, take);
            done += take;
        }
    }

    ByteSink& out_;
    const ExtractSource& src_;
    const GlobalsParts& parts_;
    std::size_t boundSheetAt_ = SIZE_MAX;
    bool wroteLinks_ = false;
    bool wroteSst_ = false;
};
} // namespace

GlobalsCopied copyGlobals(ByteSink& out, const ExtractSource& src, const GlobalsParts& parts)
{
    return GlobalsCopy(out, src, parts).run();
}

} // namespace bf::xls
