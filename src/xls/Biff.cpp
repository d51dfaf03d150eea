#include "xls/Biff.h"

#include <algorithm>

namespace bf::xls {

bool decodeChars(const std::uint8_t* p, std::size_t avail, std::size_t cch, bool wide, QString* out, std::size_t* used)
{
    const std::size_t bytes = cch * (wide ? 2 : 1);
    if (bytes > avail)
        return false;
    out->resize(static_cast<qsizetype>(cch));
    QChar* d = out->data();
    for (std::size_t i = 0; i < cch; ++i)
        d[i] = QChar(wide ? rd16(p + 2 * i) : p[i]);
    *used = bytes;
    return true;
}

bool decodeShortXLUnicodeString(const std::uint8_t* p, std::size_t avail, QString* out, std::size_t* used)
{
    if (avail < 2)
        return false;
    std::size_t n = 0;
    if (!decodeChars(p + 2, avail - 2, p[0], (p[1] & 1) != 0, out, &n))
        return false;
    *used = 2 + n;
    return true;
}

bool decodeXLUnicodeString(const std::uint8_t* p, std::size_t avail, QString* out, std::size_t* used)
{
    if (avail < 3)
        return false;
    std::size_t n = 0;
    if (!decodeChars(p + 3, avail - 3, rd16(p), (p[2] & 1) != 0, out, &n))
        return false;
    *used = 3 + n;
    return true;
}

QString SstString::text() const
{
    QString s;
    std::size_t used = 0;
    decodeChars(chars.data(), chars.size(), cch, (flags & 1) != 0, &s, &used);
    return s;
}

namespace {
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
    std::vector<std::uint8_t> flagByte;
    if (!c.bytes(1, &flagByte))
        return false;
    std::uint8_t flags = flagByte[0];
    std::uint16_t cRun = 0;
    std::uint32_t cbExt = 0;
    if ((flags & 0x08) && !c.u16(&cRun))
        return false;
    if (flags & 0x04) {
        std::vector<std::uint8_t> b;
        if (!c.bytes(4, &b))
            return false;
        cbExt = rd32(b.data());
    }
    if (out) {
        out->cch = cch;
        out->chars.clear();
        out->runs.clear();
        out->ext.clear();
    }
    // Characters: each piece boundary inside them brings a new flags byte with the width of
    // the rest.
    bool wide = flags & 1;
    bool everWide = wide;
    std::vector<std::uint8_t> wideChars; // built only when decoding
    std::size_t got = 0;
    while (got < cch) {
        if (c.offset >= pieces_[c.piece].size) {
            if (c.piece + 1 >= pieces_.size())
                return false;
            ++c.piece;
            c.offset = 0;
            if (pieces_[c.piece].size < 1)
                return false;
            wide = pieces_[c.piece].data[0] & 1;
            everWide = everWide || wide;
            c.offset = 1;
        }
        const std::size_t w = wide ? 2 : 1;
        const std::size_t take = std::min<std::size_t>(cch - got, c.left() / w);
        if (take == 0) {
            // A wide character cannot be split; the piece is damaged.
            if (c.left() > 0)
                return false;
            continue;
        }
        if (out) {
            const std::uint8_t* p = pieces_[c.piece].data + c.offset;
            for (std::size_t k = 0; k < take; ++k) {
                const std::uint16_t ch = wide ? rd16(p + 2 * k) : p[k];
                wideChars.push_back(static_cast<std::uint8_t>(ch));
                wideChars.push_back(static_cast<std::uint8_t>(ch >> 8));
            }
        }
        c.offset += static_cast<std::uint32_t>(take * w);
        got += take;
    }
    if (!c.bytes(std::size_t(cRun) * 4, out ? &out->runs : nullptr))
        return false;
    if (!c.bytes(cbExt, out ? &out->ext : nullptr))
        return false;
    if (out) {
        flags = static_cast<std::uint8_t>(flags & ~0x01);
        if (everWide) {
            out->chars = std::move(wideChars);
            flags |= 0x01;
        } else {
            out->chars.resize(cch);
            for (std::size_t k = 0; k < cch; ++k)
                out->chars[k] = wideChars[2 * k];
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
    std::size_t headerPos() const { return header_; }
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

void writeSst(ByteSink& out, std::uint32_t streamBase, const std::vector<SstString>& strings, std::uint32_t cstTotal)
{
    const std::size_t n = strings.size();
    const std::size_t dsst = std::max<std::size_t>(n / 128 + 1, 8);
    struct Bucket {
        std::uint32_t ib;
        std::uint16_t cbOffset;
    };
    std::vector<Bucket> buckets;

    ChunkWriter w(out, rt::Sst);
    std::uint8_t head[8];
    wr32(head, cstTotal);
    wr32(head + 4, static_cast<std::uint32_t>(n));
    w.put(head, 8);
    for (std::size_t i = 0; i < n; ++i) {
        const SstString& s = strings[i];
        const bool wide = s.flags & 1;
        const std::size_t cw = wide ? 2 : 1;
        std::uint8_t h[9];
        std::size_t hn = 0;
        wr16(h, s.cch);
        h[2] = s.flags;
        hn = 3;
        if (s.flags & 0x08) {
            wr16(h + hn, static_cast<std::uint16_t>(s.runs.size() / 4));
            hn += 2;
        }
        if (s.flags & 0x04) {
            wr32(h + hn, static_cast<std::uint32_t>(s.ext.size()));
            hn += 4;
        }
        // The header and the first character stay in one record.
        if (w.room() < hn + (s.cch ? cw : 0))
            w.next();
        if (i % dsst == 0)
            buckets.push_back({static_cast<std::uint32_t>(streamBase + out.size()), static_cast<std::uint16_t>(4 + w.used())});
        w.put(h, hn);
        std::size_t done = 0;
        while (done < s.cch) {
            std::size_t fit = w.room() / cw;
            if (fit == 0) {
                w.next();
                const std::uint8_t f = wide ? 1 : 0;
                w.put(&f, 1);
                fit = w.room() / cw;
            }
            const std::size_t take = std::min<std::size_t>(fit, s.cch - done);
            w.put(s.chars.data() + done * cw, take * cw);
            done += take;
        }
        for (std::size_t r = 0; r + 4 <= s.runs.size(); r += 4) {
            if (w.room() < 4)
                w.next();
            w.put(s.runs.data() + r, 4);
        }
        std::size_t e = 0;
        while (e < s.ext.size()) {
            if (w.room() == 0)
                w.next();
            const std::size_t take = std::min(w.room(), s.ext.size() - e);
            w.put(s.ext.data() + e, take);
            e += take;
        }
    }
    w.close();

    // ExtSST: one entry per bucket of dsst strings; with dsst as chosen there are at most 128
    // buckets, so the record always fits in one piece.
    std::vector<std::uint8_t> ext(2 + 8 * buckets.size());
    wr16(ext.data(), static_cast<std::uint16_t>(dsst));
    for (std::size_t b = 0; b < buckets.size(); ++b) {
        wr32(ext.data() + 2 + 8 * b, buckets[b].ib);
        wr16(ext.data() + 6 + 8 * b, buckets[b].cbOffset);
        wr16(ext.data() + 8 + 8 * b, 0);
    }
    out.record(rt::ExtSst, ext);
}

} // namespace bf::xls
