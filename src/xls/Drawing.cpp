#include "xls/Drawing.h"

#include "xls/ByteIO.h"
#include "xls/RecordIds.h"

#include <algorithm>

namespace bf::xls {

namespace {
bool walk(const std::uint8_t* d, std::size_t size, DrawingUse* use, int level)
{
    if (level > 16)
        return false;
    std::size_t pos = 0;
    while (pos + 8 <= size) {
        const std::uint16_t verInst = rd16(d + pos);
        const std::uint16_t type = rd16(d + pos + 2);
        const std::uint32_t len = rd32(d + pos + 4);
        const std::uint8_t* body = d + pos + 8;
        // The last container of a drawing may be cut where the substream ends its records.
        const std::size_t avail = std::min<std::size_t>(len, size - pos - 8);
        if ((verInst & 0x0F) == 0x0F) {
            if (type == art::SpContainer)
                ++use->shapes;
            if (!walk(body, avail, use, level + 1))
                return false;
        } else if (type == art::Fdg) {
            ++use->drawings;
        } else if (type == art::Fopt || type == art::SecondaryFopt || type == art::TertiaryFopt) {
            const std::size_t count = verInst >> 4;
            for (std::size_t i = 0; i < count && 6 * i + 6 <= avail; ++i) {
                const std::uint16_t opid = rd16(body + 6 * i);
                const std::uint32_t value = rd32(body + 6 * i + 2);
                // fBid: the value is a picture index; fComplex values are not.
                if ((opid & 0x4000) && !(opid & 0x8000) && value >= 1 && value < 0x10000) {
                    if (use->blipRefs.size() <= value)
                        use->blipRefs.resize(value + 1, 0);
                    ++use->blipRefs[value];
                }
            }
        }
        if (len > size - pos - 8)
            return true;
        pos += 8 + len;
    }
    return true;
}

void putHeader(std::vector<std::uint8_t>& out, std::uint16_t verInst, std::uint16_t type, std::uint32_t len)
{
    std::uint8_t h[8];
    wr16(h, verInst);
    wr16(h + 2, type);
    wr32(h + 4, len);
    out.insert(out.end(), h, h + 8);
}
} // namespace

bool collectDrawingUse(const std::uint8_t* data, std::size_t size, DrawingUse* use)
{
    return walk(data, size, use, 0);
}

std::vector<std::uint8_t> reduceDrawingGroup(const std::uint8_t* d, std::size_t size, const DrawingUse& use)
{
    if (size < 8 || rd16(d + 2) != art::DggContainer || rd32(d + 4) > size - 8)
        return {};
    const std::uint32_t dggLen = rd32(d + 4);
    std::vector<std::uint8_t> out;
    out.reserve(size);
    putHeader(out, rd16(d), art::DggContainer, 0);
    std::size_t pos = 8;
    const std::size_t end = 8 + dggLen;
    while (pos + 8 <= end) {
        const std::uint16_t verInst = rd16(d + pos);
        const std::uint16_t type = rd16(d + pos + 2);
        const std::uint32_t len = rd32(d + pos + 4);
        if (len > end - pos - 8)
            return {};
        const std::uint8_t* body = d + pos + 8;
        if (type == art::Fdgg && len >= 16) {
            const std::size_t at = out.size();
            out.insert(out.end(), d + pos, d + pos + 8 + len);
            // Saved shapes and drawings: those of the kept sheet and its charts.
            wr32(out.data() + at + 8 + 8, use.shapes);
            wr32(out.data() + at + 8 + 12, use.drawings);
        } else if (type == art::BStoreContainer) {
            const std::size_t at = out.size();
            putHeader(out, verInst, type, 0);
            std::size_t p = 0;
            std::uint32_t index = 0;
            while (p + 8 <= len) {
                const std::uint16_t bv = rd16(body + p);
                const std::uint16_t bt = rd16(body + p + 2);
                const std::uint32_t bl = rd32(body + p + 4);
                if (bl > len - p - 8)
                    return {};
                ++index;
                const std::uint8_t* fbse = body + p + 8;
                const std::uint32_t refs = index < use.blipRefs.size() ? use.blipRefs[index] : 0;
                if (bt == art::Fbse && bl >= 36) {
                    const std::size_t cbName = std::min<std::size_t>(fbse[33], bl - 36);
                    if (refs == 0) {
                        // Kept in place, without its image.
                        putHeader(out, bv, bt, static_cast<std::uint32_t>(36 + cbName));
                        const std::size_t f = out.size();
                        out.insert(out.end(), fbse, fbse + 36 + cbName);
                        wr32(out.data() + f + 20, 0); // size
                        wr32(out.data() + f + 24, 0); // cRef
                        wr32(out.data() + f + 28, 0); // foDelay
                    } else {
                        const std::size_t f = out.size() + 8;
                        out.insert(out.end(), body + p, body + p + 8 + bl);
                        wr32(out.data() + f + 24, refs);
                    }
                } else {
                    out.insert(out.end(), body + p, body + p + 8 + bl);
                }
                p += 8 + bl;
            }
            wr32(out.data() + at + 4, static_cast<std::uint32_t>(out.size() - at - 8));
        } else {
            out.insert(out.end(), d + pos, d + pos + 8 + len);
        }
        pos += 8 + len;
    }
    wr32(out.data() + 4, static_cast<std::uint32_t>(out.size() - 8));
    return out;
}

void SheetDrawings::add(const SubRecord& sr, const std::uint8_t* d)
{
    const RecRef& r = sr.rec;
    if (r.type == rt::Bof && sr.depth > 1)
        open_.emplace_back();
    if (r.type == rt::MsoDrawing || (r.type == rt::Continue && previous_ == rt::MsoDrawing)) {
        any_ = true;
        open_.back().insert(open_.back().end(), d, d + r.size);
    }
    if (r.type != rt::Continue)
        previous_ = r.type;
    if (r.type == rt::HFPicture) // header/footer pictures carry their own drawing data
        known_ = false;
    if (r.type == rt::Eof) {
        if (!open_.back().empty() && !collectDrawingUse(open_.back().data(), open_.back().size(), &use_))
            known_ = false;
        if (open_.size() > 1)
            open_.pop_back();
        else
            open_.back().clear();
    }
}

std::vector<std::uint8_t> SheetDrawings::reducedGroup(const std::uint8_t* group, std::size_t size) const
{
    return known_ ? reduceDrawingGroup(group, size, use_) : std::vector<std::uint8_t>();
}

} // namespace bf::xls
