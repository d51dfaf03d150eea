#include "ChmDirectory.h"

#include <stdexcept>

namespace bf::test {

namespace {

[[noreturn]] void bad(const std::string& what) { throw std::runtime_error("not a compiled help file: " + what); }

class Reader {
public:
    explicit Reader(const QByteArray& b) : b_(b) {}
    std::uint64_t le(std::uint64_t at, int n) const
    {
        if (at > static_cast<std::uint64_t>(b_.size()) || static_cast<std::uint64_t>(b_.size()) - at < std::uint64_t(n))
            bad("field beyond the end of the file");
        std::uint64_t v = 0;
        for (int i = n - 1; i >= 0; --i)
            v = (v << 8) | static_cast<unsigned char>(b_[qsizetype(at) + i]);
        return v;
    }
    bool tagAt(std::uint64_t at, const char* tag) const
    {
        for (int i = 0; i < 4; ++i)
            if (le(at + i, 1) != static_cast<unsigned char>(tag[i]))
                return false;
        return true;
    }
    // Variable-length number: seven bits a byte, most significant first, high bit = more.
    std::uint64_t encint(std::uint64_t& at, std::uint64_t end) const
    {
        std::uint64_t v = 0;
        for (int i = 0; i < 9; ++i) {
            if (at >= end)
                bad("directory entry runs past its chunk");
            const std::uint64_t byte = le(at++, 1);
            v = (v << 7) | (byte & 0x7F);
            if (!(byte & 0x80))
                return v;
        }
        bad("number too long");
    }

private:
    const QByteArray& b_;
};

} // namespace

ChmDirectory readChmDirectory(const QByteArray& bytes)
{
    const Reader r(bytes);
    if (!r.tagAt(0, "ITSF"))
        bad("no ITSF signature");
    const std::uint64_t version = r.le(4, 4);
    if (version != 3 && version != 2)
        bad("unknown version");
    const std::uint64_t dirOffset = r.le(0x48, 8);
    const std::uint64_t dirLength = r.le(0x50, 8);
    ChmDirectory dir;
    dir.bytes = bytes;
    dir.contentOffset = version == 3 ? r.le(0x58, 8) : dirOffset + dirLength;

    if (!r.tagAt(dirOffset, "ITSP"))
        bad("no ITSP directory header");
    const std::uint64_t headerLength = r.le(dirOffset + 8, 4);
    const std::uint64_t chunkSize = r.le(dirOffset + 0x10, 4);
    const std::uint64_t firstListing = r.le(dirOffset + 0x20, 4);
    const std::uint64_t chunkCount = r.le(dirOffset + 0x2C, 4);
    if (chunkSize < 20 || chunkCount == 0 || firstListing >= chunkCount)
        bad("implausible directory header");
    const std::uint64_t chunksStart = dirOffset + headerLength;

    std::uint64_t chunk = firstListing;
    for (std::uint64_t visited = 0; chunk != 0xFFFFFFFFu; ++visited) {
        if (visited >= chunkCount || chunk >= chunkCount)
            bad("listing chunks do not end");
        const std::uint64_t base = chunksStart + chunk * chunkSize;
        r.le(base + chunkSize - 1, 1); // the whole chunk lies inside the file
        if (!r.tagAt(base, "PMGL"))
            bad("listing chunk without PMGL signature");
        const std::uint64_t freeSpace = r.le(base + 4, 4);
        if (freeSpace > chunkSize - 20)
            bad("free space larger than the chunk");
        const std::uint64_t end = base + chunkSize - freeSpace;
        std::uint64_t at = base + 20;
        while (at < end) {
            const std::uint64_t nameLength = r.encint(at, end);
            if (nameLength == 0 || nameLength > end - at)
                bad("entry name runs past its chunk");
            const QString name = QString::fromUtf8(bytes.constData() + at, qsizetype(nameLength));
            at += nameLength;
            ChmEntry e;
            e.section = r.encint(at, end);
            e.offset = r.encint(at, end);
            e.length = r.encint(at, end);
            dir.entries[name] = e;
        }
        chunk = r.le(base + 16, 4);
    }
    return dir;
}

QByteArray ChmDirectory::uncompressed(const QString& name) const
{
    const auto it = entries.find(name);
    if (it == entries.end() || it->second.section != 0)
        throw std::runtime_error("no uncompressed entry " + name.toStdString());
    const std::uint64_t start = contentOffset + it->second.offset;
    const auto size = static_cast<std::uint64_t>(bytes.size());
    if (start > size || size - start < it->second.length)
        throw std::runtime_error("entry beyond the end of the file: " + name.toStdString());
    return bytes.mid(qsizetype(start), qsizetype(it->second.length));
}

} // namespace bf::test
