#include "xls/Formula.h"

#include "xls/ByteIO.h"

namespace bf::xls {

bool walkFormula(std::uint8_t* rgce, std::size_t cce,
                 const std::function<void(TokenKind, std::uint8_t*, bool)>& visit)
{
    std::size_t i = 0;
    while (i < cce) {
        std::uint8_t* t = rgce + i;
        const std::uint8_t id = t[0];
        const std::size_t left = cce - i;
        std::size_t size = 0;
        if (id < 0x20) {
            switch (id) {
            case 0x01: case 0x02: size = 5; break;           // PtgExp, PtgTbl
            case 0x17:                                        // PtgStr
                if (left < 3)
                    return false;
                size = 3 + std::size_t(t[1]) * ((t[2] & 1) ? 2 : 1);
                break;
            case 0x18: size = 6; break;                       // PtgElf*, PtgSxName
            case 0x19:                                        // PtgAttr*
                if (left < 4)
                    return false;
                size = (t[1] & 0x04) ? 4 + 2 * (std::size_t(rd16(t + 2)) + 1) : 4;
                break;
            case 0x1C: case 0x1D: size = 2; break;           // PtgErr, PtgBool
            case 0x1E: size = 3; break;                       // PtgInt
            case 0x1F: size = 9; break;                       // PtgNum
            default:
                if (id >= 0x03 && id <= 0x16)
                    size = 1;                                 // operators, PtgParen, PtgMissArg
                else
                    return false;
            }
        } else {
            switch (0x20 | (id & 0x1F)) {
            case 0x20: size = 8; break;                       // PtgArray (values in rgcb)
            case 0x21: size = 3; break;                       // PtgFunc
            case 0x22: size = 4; break;                       // PtgFuncVar
            case 0x23: size = 5; break;                       // PtgName
            case 0x24: case 0x2A: case 0x2C: size = 5; break; // PtgRef, PtgRefErr, PtgRefN
            case 0x25: case 0x2B: case 0x2D: size = 9; break; // PtgArea, PtgAreaErr, PtgAreaN
            case 0x26: case 0x27: case 0x28: size = 7; break; // PtgMem*: the sub-expression follows
            case 0x29: size = 3; break;                       // PtgMemFunc
            case 0x39: size = 7; break;                       // PtgNameX
            case 0x3A: case 0x3C: size = 7; break;            // PtgRef3d, PtgRefErr3d
            case 0x3B: case 0x3D: size = 11; break;           // PtgArea3d, PtgAreaErr3d
            default: return false;
            }
        }
        if (size > left)
            return false;
        if (id >= 0x20) {
            switch (0x20 | (id & 0x1F)) {
            case 0x23: visit(TokenKind::Name, t, false); break;
            case 0x39: visit(TokenKind::NameX, t, false); break;
            case 0x3A: visit(TokenKind::Ref3d, t, false); break;
            case 0x3C: visit(TokenKind::Ref3d, t, true); break;
            case 0x3B: visit(TokenKind::Area3d, t, false); break;
            case 0x3D: visit(TokenKind::Area3d, t, true); break;
            default: break;
            }
        }
        i += size;
    }
    return true;
}

} // namespace bf::xls
