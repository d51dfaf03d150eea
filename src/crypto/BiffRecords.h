#pragma once
// What every reader of a .xls workbook stream shares (the FILEPASS here, the container checks,
// the engine): the ids of the records that frame the stream and name positions in it, and
// little-endian reads and writes on its raw bytes. Callers check bounds before reading; these
// only assemble the value.
#include <QByteArray>
#include <cstdint>

namespace bf::biff {

constexpr std::uint16_t kBof = 0x0809;
constexpr std::uint16_t kEof = 0x000A;
constexpr std::uint16_t kFilepass = 0x002F;
constexpr std::uint16_t kBoundSheet = 0x0085;
constexpr std::uint16_t kExtSst = 0x00FF;
constexpr std::uint16_t kIndex = 0x020B;
constexpr std::uint16_t kBiff8Version = 0x0600; // in the BOF, after its type

inline std::uint16_t rd16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t rd32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8)
        | (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline void wr16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void wr32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

// The same at a position in a byte array.
inline std::uint16_t rd16(const QByteArray& b, qsizetype at) { return rd16(reinterpret_cast<const std::uint8_t*>(b.constData()) + at); }
inline std::uint32_t rd32(const QByteArray& b, qsizetype at) { return rd32(reinterpret_cast<const std::uint8_t*>(b.constData()) + at); }
inline void wr32(QByteArray& b, qsizetype at, std::uint32_t v) { wr32(reinterpret_cast<std::uint8_t*>(b.data()) + at, v); }

} // namespace bf::biff
