#pragma once
// The workbook's drawing group (pictures and shape-id clusters shared by every sheet),
// reduced to what one sheet's drawings use: pictures no kept shape shows lose their image
// data, so they cannot leak into the output; every picture keeps its position, since shapes
// refer to pictures by position.
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

} // namespace bf::xls
