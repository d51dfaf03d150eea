// Repairing the counts of a compound-file header from the file's own sector lists: some
// writers leave a FAT-sector or DIFAT-sector count that cannot be right while the lists they
// count are sound, and the container library refuses such a file.
#include "book/Cfb.h"

#include <cstring>
#include <endian.h>

namespace bf::book {

namespace {
std::uint16_t rd16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
std::uint32_t rd32(const std::uint8_t* p) { std::uint32_t v; std::memcpy(&v, p, 4); return le32toh(v); }
void wr32(std::uint8_t* p, std::uint32_t v) { v = htole32(v); std::memcpy(p, &v, 4); }
constexpr std::uint32_t kFreeSector = 0xFFFFFFFFu;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFEu;
constexpr std::size_t kHeaderEntries = 109;
} // namespace

bool repairCompoundHeader(QByteArray* file)
{
    auto* b = reinterpret_cast<std::uint8_t*>(file->data());
    const std::size_t size = static_cast<std::size_t>(file->size());
    if (size < 512 || rd16(b + 0x1C) != 0xFFFE)
        return false;
    const std::uint16_t shift = rd16(b + 0x1E);
    if (shift != 9 && shift != 12)
        return false;
    const std::size_t sector = std::size_t(1) << shift;
    const std::size_t sectors = (size - std::min(size, sector)) / sector; // after the header sector
    const std::size_t perDifat = sector / 4 - 1;
    // The FAT sectors the lists name, and the DIFAT sectors that hold the lists past the header.
    std::uint32_t fat = 0, difat = 0;
    bool ended = false;
    auto take = [&](std::uint32_t id) {
        if (id == kFreeSector || ended) {
            ended = true;
            return true;
        }
        ++fat;
        return id < sectors;
    };
    for (std::size_t i = 0; i < kHeaderEntries; ++i)
        if (!take(rd32(b + 0x4C + 4 * i)))
            return false;
    for (std::uint32_t next = rd32(b + 0x44); next != kEndOfChain && next != kFreeSector && !ended;) {
        if (next >= sectors || ++difat > sectors)
            return false;
        const std::uint8_t* d = b + sector * (std::size_t(next) + 1);
        for (std::size_t i = 0; i < perDifat; ++i)
            if (!take(rd32(d + 4 * i)))
                return false;
        next = rd32(d + 4 * perDifat);
    }
    if (fat == 0 || (rd32(b + 0x2C) == fat && rd32(b + 0x48) == difat))
        return false; // nothing to repair, or nothing to repair it from
    wr32(b + 0x2C, fat);
    wr32(b + 0x48, difat);
    return true;
}

} // namespace bf::book
