#pragma once
// The kept sheet's substream, copied after the new globals: stream positions moved, text cells
// pointed into the new string table, name indexes renumbered, the sheet selected in every
// window, pivot views pointed at their caches' new numbers (or left out with their caches), and
// formulas that read a 3-D range over other sheets frozen to their stored results. With values
// asked in place of links, every cell whose formula reads another sheet becomes a value cell
// of its stored result, and the validation rules that read them become lists or go (ruleRecords:
// the records in their place, by index).
#include "book/FirstUseNumbering.h"
#include "xls/ByteIO.h"
#include "xls/ExtractSource.h"
#include "xls/LinkTable.h"
#include "xls/Names.h"
#include "xls/PivotCaches.h"
#include "xls/Sst.h"

#include <map>
#include <set>
#include <utility>
#include <vector>

namespace bf::xls {

class SheetCopy {
public:
    SheetCopy(const ExtractSource& src, const std::vector<SubRecord>& records, const book::FirstUseNumbering& strings,
              const LinkTable& links, const NameTable& names, const PivotCaches& pivots,
              std::map<std::size_t, std::vector<std::uint8_t>> ruleRecords = {});
    // Appends the sheet at the end of out.
    void write(ByteSink& out) const;

private:
    void rewrite(std::uint8_t* d, std::size_t i, std::int64_t delta) const;
    bool needsFreezing(const std::uint8_t* d, std::size_t size) const;
    void planValueCells(std::map<std::size_t, std::vector<std::uint8_t>> ruleRecords);
    std::vector<std::uint8_t> valueRecord(const std::uint8_t* d, std::size_t index, std::size_t* stringAt) const;
    std::int64_t shift(std::uint32_t pos) const;
    void moveCellOffsets(std::uint8_t* d, const RecRef& r) const;
    void freezeIfSpanning(std::uint8_t* d, std::size_t size, std::size_t index) const;
    bool readsOtherSheets(const std::uint8_t* rgce, std::size_t cce) const;
    std::vector<std::uint8_t> resultTokens(const std::uint8_t* val, std::size_t index) const;

    const ExtractSource& src_;
    const std::vector<SubRecord>& records_;
    const book::FirstUseNumbering& strings_;
    const LinkTable& links_;
    const NameTable& names_;
    const PivotCaches& pivots_;
    std::set<std::pair<std::uint16_t, std::uint16_t>> spanningShared_; // anchors of such shared formulas
    // With values: the cells whose formulas read other sheets, by record index, as value cells
    // (whole records); their text results and the shared and array formulas they used are
    // dropped (empty). The records after them move.
    std::map<std::size_t, std::vector<std::uint8_t>> replaced_;
    std::map<std::uint32_t, std::int64_t> growthAt_; // source position -> bytes added up to it
};

} // namespace bf::xls
