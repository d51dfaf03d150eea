#pragma once
// Parsed formulas (rgce): stepping over every token by its size and reporting the tokens that
// name other records — defined names (PtgName, PtgNameX) and other sheets (3-D references
// through the ExternSheet table). The walk never changes a token's size.
#include <cstddef>
#include <cstdint>
#include <functional>

namespace bf::xls {

enum class TokenKind {
    Name,   // PtgName: nameindex u32 at +1 (1-based)
    NameX,  // PtgNameX: ixti u16 at +1, nameindex u32 at +3
    Ref3d,  // PtgRef3d / PtgRefErr3d: ixti u16 at +1, row u16 at +3, col u16 at +5
    Area3d, // PtgArea3d / PtgAreaErr3d: ixti u16 at +1, rows at +3/+5, cols at +7/+9
};

// Calls visit(kind, token, isErrorToken) for each such token in rgce[0, cce). Returns false
// when a token is unknown or runs past cce.
bool walkFormula(std::uint8_t* rgce, std::size_t cce,
                 const std::function<void(TokenKind, std::uint8_t*, bool)>& visit);

} // namespace bf::xls
