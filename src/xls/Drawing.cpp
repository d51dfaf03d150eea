#include "xls/Drawing.h"

#include "xls/ByteIO.h"
#include "xls/RecordIds.h"

#include <algorithm>

namespace bf::xls {

namespace {
// An OfficeArt record header (version and instance, type, length) and the body after it.
struct ArtRecord {
    std::uint16_t verInst;
    std::uint16_t type;
    std::uint32_t len;
    const std::uint8_t* start;
    const std::uint8_t* body() const { return start + 8; }
};

// The record at d + pos; the caller checks that 8 bytes are there.
ArtRecord artAt(const std::uint8_t* d, std::size_t pos)
{
    return {rd16(d + pos), rd16(d + pos + 2), rd32(d + pos + 4), d + pos};
}

bool walk(const std::uint8_t* d, std::size_t size, DrawingUse* use, int level)
{
    if (level > 16)
        return false;
    std::size_t pos = 0;
    while (pos + 8 <= size) {
        const ArtRecord rec = artAt(d, pos);
        const std::uint16_t verInst = rec.verInst, type = rec.type;
        const std::uint32_t len = rec.len;
        const std::uint8_t* body = rec.body();
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

namespace {
// One picture entry of the store: a picture no kept shape shows stays in place (shapes refer
// to pictures by position) without its image; the others keep their image, their use counted
// anew.
void putBlipEntry(std::vector<std::uint8_t>& out, const ArtRecord& e, std::uint32_t refs)
{
    if (e.type != art::Fbse || e.len < 36) {
        out.insert(out.end(), e.start, e.body() + e.len);
        return;
    }
    const std::uint8_t* fbse = e.body();
    if (refs != 0) {
        const std::size_t f = out.size() + 8;
        out.insert(out.end(), e.start, e.body() + e.len);
        wr32(out.data() + f + 24, refs);
        return;
    }
    const std::size_t cbName = std::min<std::size_t>(fbse[33], e.len - 36);
    putHeader(out, e.verInst, e.type, static_cast<std::uint32_t>(36 + cbName));
    const std::size_t f = out.size();
    out.insert(out.end(), fbse, fbse + 36 + cbName);
    wr32(out.data() + f + 20, 0); // size
    wr32(out.data() + f + 24, 0); // cRef
    wr32(out.data() + f + 28, 0); // foDelay
}

// The picture store with every entry through putBlipEntry; false when it does not parse.
bool putBlipStore(std::vector<std::uint8_t>& out, const ArtRecord& store, const DrawingUse& use)
{
    const std::size_t at = out.size();
    putHeader(out, store.verInst, store.type, 0);
    std::uint32_t index = 0;
    for (std::size_t p = 0; p + 8 <= store.len;) {
        const ArtRecord e = artAt(store.body(), p);
        if (e.len > store.len - p - 8)
            return false;
        ++index;
        putBlipEntry(out, e, index < use.blipRefs.size() ? use.blipRefs[index] : 0);
        p += 8 + e.len;
    }
    wr32(out.data() + at + 4, static_cast<std::uint32_t>(out.size() - at - 8));
    return true;
}
} // namespace

std::vector<std::uint8_t> reduceDrawingGroup(const std::uint8_t* d, std::size_t size, const DrawingUse& use)
{
    if (size < 8 || rd16(d + 2) != art::DggContainer || rd32(d + 4) > size - 8)
        return {};
    const std::size_t end = 8 + std::size_t(rd32(d + 4));
    std::vector<std::uint8_t> out;
    out.reserve(size);
    putHeader(out, rd16(d), art::DggContainer, 0);
    for (std::size_t pos = 8; pos + 8 <= end;) {
        const ArtRecord rec = artAt(d, pos);
        if (rec.len > end - pos - 8)
            return {};
        if (rec.type == art::Fdgg && rec.len >= 16) {
            const std::size_t at = out.size();
            out.insert(out.end(), rec.start, rec.body() + rec.len);
            // Saved shapes and drawings: those of the kept sheet and its charts.
            wr32(out.data() + at + 8 + 8, use.shapes);
            wr32(out.data() + at + 8 + 12, use.drawings);
        } else if (rec.type == art::BStoreContainer) {
            if (!putBlipStore(out, rec, use))
                return {};
        } else {
            out.insert(out.end(), rec.start, rec.body() + rec.len);
        }
        pos += 8 + rec.len;
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
