#pragma once
// The workbook's drawing group (pictures and shape-id clusters shared by every sheet),
// reduced to what one sheet's drawings use: pictures no kept shape shows lose their image
// data, so they cannot leak into the output; every picture keeps its position, since shapes
// refer to pictures by position.
#include "xls/Records.h"

#include <cstdint>
#include <vector>

namespace bf::xls {

// Picture uses (1-based BLIP index -> count) in one drawing (the OfficeArt data of one
// substream's MsoDrawing records, concatenated). Also counts drawings and shapes. False when
// the data does not parse.
struct DrawingUse {
    std::vector<std::uint32_t> blipRefs; // indexed by BLIP id
    std::uint32_t drawings = 0;
    std::uint32_t shapes = 0;
};
bool collectDrawingUse(const std::uint8_t* data, std::size_t size, DrawingUse* use);

// Rewrites the drawing group's OfficeArtDggContainer (the concatenated data of the
// MsoDrawingGroup records). Empty when it does not parse; the caller then keeps it as it was.
std::vector<std::uint8_t> reduceDrawingGroup(const std::uint8_t* data, std::size_t size, const DrawingUse& use);

// The drawings of a sheet and of the charts embedded in it, gathered record by record: the
// OfficeArt data of each substream is one drawing spread over its MsoDrawing records.
class SheetDrawings {
public:
    // Each record of the sheet's substream in order, with its data.
    void add(const SubRecord& r, const std::uint8_t* d);
    // Whether the new workbook needs the drawing group: the sheet has drawings, or pictures
    // it may show cannot be told apart.
    bool needsGroup() const { return any_ || !known_; }
    // The drawing group for the new workbook: reduced to the pictures the drawings show, or
    // empty when it must stay as it is (the uses are not known, or it does not parse).
    std::vector<std::uint8_t> reducedGroup(const std::uint8_t* group, std::size_t size) const;

private:
    std::vector<std::vector<std::uint8_t>> open_ = std::vector<std::vector<std::uint8_t>>(1);
    std::uint16_t previous_ = 0;
    bool any_ = false;
    bool known_ = true; // false: keep every picture
    DrawingUse use_;
};

} // namespace bf::xls
