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

// A block of cells, rows and columns included at both ends.
struct Rect {
    std::uint32_t r1, r2, c1, c2;
};

// Calls visit(kind, token, isErrorToken) for each such token in rgce[0, cce). Returns false
// when a token is unknown or runs past cce.
bool walkFormula(const std::uint8_t* rgce, std::size_t cce,
                 const std::function<void(TokenKind, const std::uint8_t*, bool)>& visit);

// The same walk over a formula being rewritten: visit may change the token's fields.
inline bool rewriteFormula(std::uint8_t* rgce, std::size_t cce,
                           const std::function<void(TokenKind, std::uint8_t*, bool)>& visit)
{
    return walkFormula(rgce, cce, [&](TokenKind kind, const std::uint8_t* t, bool isErr) {
        visit(kind, rgce + (t - rgce), isErr);
    });
}

} // namespace bf::xls
