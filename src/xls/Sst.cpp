#include "xls/Sst.h"

#include "xls/BiffString.h"
#include "xls/RecordIds.h"

#include <algorithm>
#include <cstring>

namespace bf::xls {

SstString::View SstString::view() const
{
    if (!raw)
        return {chars.data(), chars.size(), runs.data(), runs.size(), ext.data(), ext.size()};
    std::size_t p = 3;
    std::size_t cRun = 0;
    if (flags & 0x08) {
        cRun = rd16(raw + p);
        p += 2;
    }
    if (flags & 0x04)
        p += 4;
    const std::size_t cb = std::size_t(cch) * ((flags & 1) ? 2 : 1);
    const std::uint8_t* c = raw + p;
    const std::uint8_t* r = c + cb;
    const std::uint8_t* e = r + 4 * cRun;
    return {c, cb, r, 4 * cRun, e, static_cast<std::size_t>(raw + rawSize - e)};
}

QString SstString::text() const
{
    const View v = view();
    QString s;
    std::size_t used = 0;
    decodeChars(v.chars, v.charsSize, cch, (flags & 1) != 0, &s, &used);
    return s;
}

namespace {
// n characters of one width as 16-bit characters.
void widen(const std::uint8_t* p, std::size_t n, bool wide, std::uint8_t* dst)
{
    if (wide) {
        std::memcpy(dst, p, n * 2);
        return;
    }
    for (std::size_t k = 0; k < n; ++k) {
        dst[2 * k] = p[k];
        dst[2 * k + 1] = 0;
    }
}

// Sequential reads over the pieces of a logical record.
struct PieceCursor {
    const std::vector<Piece>& pieces;
    std::uint32_t piece;
    std::uint32_t offset;

    std::size_t left() const { return pieces[piece].size - offset; }
    bool atEnd() const { return piece + 1 >= pieces.size() && offset >= pieces[piece].size; }
    // Moves to the next piece when the current one is used up.
    bool advance()
    {
        if (offset < pieces[piece].size)
            return true;
        if (piece + 1 >= pieces.size())
            return false;
        ++piece;
        offset = 0;
        return true;
    }
    // Plain bytes: no flags byte at a piece boundary.
    bool bytes(std::size_t n, std::vector<std::uint8_t>* into)
    {
        while (n > 0) {
            if (!advance())
                return false;
            const std::size_t take = std::min(n, left());
            if (into)
                into->insert(into->end(), pieces[piece].data + offset, pieces[piece].data + offset + take);
            offset += static_cast<std::uint32_t>(take);
            n -= take;
        }
        return true;
    }
    // cch characters that may cross piece boundaries: each boundary inside them brings a new
    // flags byte with the width of the rest. Copied as 16-bit characters into dst when given;
    // everWide tells whether any part was stored wide.
    bool spreadChars(std::size_t cch, bool wide, std::uint8_t* dst, bool* everWide)
    {
        std::size_t got = 0;
        while (got < cch) {
            if (offset >= pieces[piece].size) {
                if (piece + 1 >= pieces.size())
                    return false;
                ++piece;
                offset = 0;
                if (pieces[piece].size < 1)
                    return false;
                wide = pieces[piece].data[0] & 1;
                *everWide = *everWide || wide;
                offset = 1;
            }
            const std::size_t w = wide ? 2 : 1;
            const std::size_t take = std::min<std::size_t>(cch - got, left() / w);
            if (take == 0) {
                // A wide character cannot be split; the piece is damaged.
                if (left() > 0)
                    return false;
                continue;
            }
            if (dst)
                widen(pieces[piece].data + offset, take, wide, dst + 2 * got);
            offset += static_cast<std::uint32_t>(take * w);
            got += take;
        }
        return true;
    }
    bool u8(std::uint8_t* v)
    {
        if (!advance())
            return false;
        *v = pieces[piece].data[offset++];
        return true;
    }
    bool u32(std::uint32_t* v)
    {
        std::uint16_t lo = 0, hi = 0;
        if (!u16(&lo) || !u16(&hi))
            return false;
        *v = lo | (std::uint32_t(hi) << 16);
        return true;
    }
    bool u16(std::uint16_t* v)
    {
        std::uint8_t b[2];
        for (auto& x : b) {
            if (!advance())
                return false;
            x = pieces[piece].data[offset++];
        }
        *v = rd16(b);
        return true;
    }
};
} // namespace

bool SstReader::index(const std::vector<Piece>& pieces)
{
    pieces_ = pieces;
    starts_.clear();
    if (pieces_.empty() || pieces_[0].size < 8)
        return false;
    const std::uint32_t unique = rd32(pieces_[0].data + 4);
    Loc at{0, 8};
    // The count is not trusted for the reservation: a damaged count must not allocate.
    starts_.reserve(std::min<std::uint32_t>(unique, 1u << 16));
    for (std::uint32_t i = 0; i < unique; ++i) {
        PieceCursor c{pieces_, at.piece, at.offset};
        if (c.atEnd() || !c.advance())
            break; // fewer strings than the count says
        at = {c.piece, c.offset};
        starts_.push_back(at);
        if (!parse(at, nullptr))
            return false;
    }
    return true;
}

bool SstReader::read(std::size_t i, SstString* out) const
{
    if (i >= starts_.size())
        return false;
    Loc at = starts_[i];
    return parse(at, out);
}

bool SstReader::parse(Loc& at, SstString* out) const
{
    PieceCursor c{pieces_, at.piece, at.offset};
    std::uint16_t cch = 0;
    if (!c.u16(&cch))
        return false;
    std::uint8_t flags = 0;
    if (!c.u8(&flags))
        return false;
    std::uint16_t cRun = 0;
    std::uint32_t cbExt = 0;
    if ((flags & 0x08) && !c.u16(&cRun))
        return false;
    if ((flags & 0x04) && !c.u32(&cbExt))
        return false;
    if (out) {
        out->cch = cch;
        out->chars.clear();
        out->runs.clear();
        out->ext.clear();
        out->raw = nullptr;
        out->rawSize = 0;
    }
    // The common case: the whole string inside the record where it starts.
    const std::uint64_t body = std::uint64_t(cch) * ((flags & 1) ? 2 : 1) + 4ull * cRun + cbExt;
    if (c.piece == at.piece && body <= c.left()) {
        if (out) {
            out->flags = flags;
            out->raw = pieces_[at.piece].data + at.offset;
            out->rawSize = static_cast<std::size_t>(c.offset - at.offset + body);
        }
        at = {c.piece, static_cast<std::uint32_t>(c.offset + body)};
        return true;
    }
    // Decoded as 16-bit characters into out->chars, narrowed at the end when no part was wide.
    if (out)
        out->chars.resize(std::size_t(cch) * 2);
    bool everWide = flags & 1;
    if (!c.spreadChars(cch, flags & 1, out ? out->chars.data() : nullptr, &everWide))
        return false;
    if (!c.bytes(std::size_t(cRun) * 4, out ? &out->runs : nullptr))
        return false;
    if (!c.bytes(cbExt, out ? &out->ext : nullptr))
        return false;
    if (out) {
        flags = static_cast<std::uint8_t>(flags & ~0x01);
        if (everWide) {
            flags |= 0x01;
        } else {
            for (std::size_t k = 0; k < cch; ++k)
                out->chars[k] = out->chars[2 * k];
            out->chars.resize(cch);
        }
        out->flags = flags;
    }
    at = {c.piece, c.offset};
    return true;
}

namespace {
// Writes records of one type followed by CONTINUE records, each at most kMaxRecordData bytes.
class ChunkWriter {
public:
    ChunkWriter(ByteSink& out, std::uint16_t firstType) : out_(out) { open(firstType); }
    std::size_t room() const { return kMaxRecordData - used(); }
    std::size_t used() const { return out_.size() - header_ - 4; }
    void put(const std::uint8_t* p, std::size_t n) { out_.put(p, n); }
    void next()
    {
        close();
        open(rt::Continue);
    }
    void close() { wr16(out_.bytes.data() + header_ + 2, static_cast<std::uint16_t>(used())); }

private:
    void open(std::uint16_t type)
    {
        header_ = out_.size();
        out_.put16(type);
        out_.put16(0);
    }
    ByteSink& out_;
    std::size_t header_ = 0;
};
} // namespace

namespace {
// The string table's records and, beside them, the ExtSST buckets: where every dsst-th string
// starts.
class SstWriter {
public:
    SstWriter(ByteSink& out, std::uint32_t streamBase, std::size_t count)
        : out_(out), w_(out, rt::Sst), base_(streamBase), dsst_(std::max<std::size_t>(count / 128 + 1, 8))
    {
    }
    void put(std::size_t i, const SstString& s)
    {
        if (s.raw && s.rawSize <= w_.room()) {
            mark(i);
            w_.put(s.raw, s.rawSize);
        } else {
            putSpread(i, s);
        }
    }
    void head(std::uint32_t cstTotal, std::size_t count)
    {
        std::uint8_t h[8];
        wr32(h, cstTotal);
        wr32(h + 4, static_cast<std::uint32_t>(count));
        w_.put(h, 8);
    }
    // ExtSST: one entry per bucket of dsst strings; with dsst as chosen there are at most 128
    // buckets, so the record always fits in one piece.
    void finish()
    {
        w_.close();
        std::vector<std::uint8_t> ext(2 + 8 * buckets_.size());
        wr16(ext.data(), static_cast<std::uint16_t>(dsst_));
        for (std::size_t b = 0; b < buckets_.size(); ++b) {
            wr32(ext.data() + 2 + 8 * b, buckets_[b].ib);
            wr16(ext.data() + 6 + 8 * b, buckets_[b].cbOffset);
            wr16(ext.data() + 8 + 8 * b, 0);
        }
        out_.record(rt::ExtSst, ext);
    }

private:
    struct Bucket {
        std::uint32_t ib;
        std::uint16_t cbOffset;
    };
    void mark(std::size_t i)
    {
        if (i % dsst_ == 0)
            buckets_.push_back({static_cast<std::uint32_t>(base_ + out_.size()), static_cast<std::uint16_t>(4 + w_.used())});
    }
    // A string split across records: a flags byte restarts its characters in each new record;
    // runs are never split.
    void putSpread(std::size_t i, const SstString& s)
    {
        const SstString::View v = s.view();
        const bool wide = s.flags & 1;
        const std::size_t cw = wide ? 2 : 1;
        std::uint8_t h[9];
        wr16(h, s.cch);
        h[2] = s.flags;
        std::size_t hn = 3;
        if (s.flags & 0x08) {
            wr16(h + hn, static_cast<std::uint16_t>(v.runsSize / 4));
            hn += 2;
        }
        if (s.flags & 0x04) {
            wr32(h + hn, static_cast<std::uint32_t>(v.extSize));
            hn += 4;
        }
        // The header and the first character stay in one record.
        if (w_.room() < hn + (s.cch ? cw : 0))
            w_.next();
        mark(i);
        w_.put(h, hn);
        for (std::size_t done = 0; done < s.cch;) {
            std::size_t fit = w_.room() / cw;
            if (fit == 0) {
                w_.next();
                const std::uint8_t f = wide ? 1 : 0;
                w_.put(&f, 1);
                fit = w_.room() / cw;
            }
            const std::size_t take = std::min<std::size_t>(fit, s.cch - done);
            w_.put(v.chars + done * cw, take * cw);
            done += take;
        }
        for (std::size_t r = 0; r + 4 <= v.runsSize; r += 4) {
            if (w_.room() < 4)
                w_.next();
            w_.put(v.runs + r, 4);
        }
        for (std::size_t e = 0; e < v.extSize;) {
            if (w_.room() == 0)
                w_.next();
            const std::size_t take = std::min(w_.room(), v.extSize - e);
            w_.put(v.ext + e, take);
            e += take;
        }
    }

    ByteSink& out_;
    ChunkWriter w_;
    std::uint32_t base_;
    std::size_t dsst_;
    std::vector<Bucket> buckets_;
};
} // namespace

void writeSst(ByteSink& out, std::uint32_t streamBase, const std::vector<SstString>& strings, std::uint32_t cstTotal)
{
    SstWriter w(out, streamBase, strings.size());
    w.head(cstTotal, strings.size());
    for (std::size_t i = 0; i < strings.size(); ++i)
        w.put(i, strings[i]);
    w.finish();
}

const SstReader* SharedStringIndex::get(const std::vector<RecRef>& globals, const std::uint8_t* data)
{
    if (!indexed_) {
        indexed_ = true;
        for (std::size_t i = 0; i < globals.size() && !ok_; ++i) {
            if (globals[i].type != rt::Sst)
                continue;
            std::vector<Piece> pieces;
            for (std::size_t j = i; j <= lastContinuation(globals, i); ++j)
                pieces.push_back({data + globals[j].dataPos(), globals[j].size, globals[j].dataPos()});
            ok_ = reader_.index(pieces);
            break;
        }
    }
    return ok_ ? &reader_ : nullptr;
}

} // namespace bf::xls
