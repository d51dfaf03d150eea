#include "xlsx/ZipSpans.h"

#include "xlsx/PackageBytes.h"
#include "xlsx/XlsxStatus.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace bf::xlsx {

namespace {

constexpr std::uint32_t kLocalSig = 0x04034b50;
constexpr std::uint32_t kCentralSig = 0x02014b50;
constexpr std::uint32_t kEndSig = 0x06054b50;
constexpr std::uint32_t kEnd64LocatorSig = 0x07064b50;
constexpr std::uint32_t kEnd64Sig = 0x06064b50;
constexpr std::uint32_t kMax32 = 0xFFFFFFFF;

struct Span {
    std::uint64_t start = 0, end = 0;
    QString name;
    DataSpan data;
};

// Bounds-checked little-endian reads; a read past the end makes the whole zip damaged. A window
// of the package is held (its end, then its directory); other reads go to the package itself.
class Bytes {
public:
    Bytes(const PackageBytes& data, const QString& displayName) : data_(data), name_(displayName) {}
    std::uint64_t size() const { return data_.size(); }
    void hold(std::uint64_t at, std::uint64_t n)
    {
        window_ = data_.readUpTo(at, n, name_);
        windowAt_ = at;
    }
    std::uint64_t get(std::uint64_t at, int width) const
    {
        if (at > size() || std::uint64_t(width) > size() - at)
            damaged();
        const QByteArray piece = slice(at, std::uint64_t(width));
        std::uint64_t v = 0;
        for (int i = width - 1; i >= 0; --i)
            v = (v << 8) | static_cast<unsigned char>(piece[i]);
        return v;
    }
    QString text(std::uint64_t at, std::uint64_t n) const
    {
        get(at, 0);
        if (n > size() - at)
            damaged();
        return QString::fromUtf8(slice(at, n));
    }
    [[noreturn]] void damaged() const { fail(XlsxStatus::DamagedZip, name_); }

private:
    // n bytes at `at`, within the package: from the window when it holds them.
    QByteArray slice(std::uint64_t at, std::uint64_t n) const
    {
        const std::uint64_t held = std::uint64_t(window_.size());
        if (at >= windowAt_ && at - windowAt_ <= held && n <= held - (at - windowAt_))
            return QByteArray::fromRawData(window_.constData() + (at - windowAt_), qsizetype(n));
        return data_.read(at, n, name_);
    }

    const PackageBytes& data_;
    const QString& name_;
    QByteArray window_;
    std::uint64_t windowAt_ = 0;
};

struct Directory {
    std::uint64_t count = 0, size = 0, offset = 0;
};

Directory directoryOf(Bytes& b)
{
    if (b.size() < 22)
        b.damaged();
    const std::uint64_t lowest = b.size() > 22 + 0xFFFF ? b.size() - 22 - 0xFFFF : 0;
    // The end record and the zip64 locator before it.
    const std::uint64_t tail = lowest > 20 ? lowest - 20 : 0;
    b.hold(tail, b.size() - tail);
    for (std::uint64_t at = b.size() - 22;; --at) {
        if (b.get(at, 4) == kEndSig) {
            Directory d{b.get(at + 10, 2), b.get(at + 12, 4), b.get(at + 16, 4)};
            if ((d.count == 0xFFFF || d.size == kMax32 || d.offset == kMax32) && at >= 20
                && b.get(at - 20, 4) == kEnd64LocatorSig) {
                const std::uint64_t end64 = b.get(at - 12, 8);
                if (b.get(end64, 4) != kEnd64Sig)
                    b.damaged();
                d = {b.get(end64 + 32, 8), b.get(end64 + 40, 8), b.get(end64 + 48, 8)};
            }
            return d;
        }
        if (at == lowest)
            b.damaged();
    }
}

// One central directory entry at `at`: its span, and where the next entry starts.
Span entryAt(const Bytes& b, std::uint64_t& at)
{
    if (b.get(at, 4) != kCentralSig)
        b.damaged();
    std::uint64_t compressed = b.get(at + 20, 4);
    const std::uint64_t size = b.get(at + 24, 4);
    const std::uint64_t nameLength = b.get(at + 28, 2), extraLength = b.get(at + 30, 2);
    std::uint64_t local = b.get(at + 42, 4);
    Span s;
    s.name = b.text(at + 46, nameLength);
    // Sizes and offset beyond 32 bits are in the zip64 extra field, in this order, each only
    // when its 32-bit field is all ones.
    for (std::uint64_t e = at + 46 + nameLength, end = e + extraLength; e + 4 <= end;) {
        const std::uint64_t id = b.get(e, 2), length = b.get(e + 2, 2);
        if (id == 1) {
            std::uint64_t field = e + 4;
            if (size == kMax32)
                field += 8;
            if (compressed == kMax32)
                compressed = b.get(field, 8), field += 8;
            if (local == kMax32)
                local = b.get(field, 8);
        }
        e += 4 + length;
    }
    at += 46 + nameLength + extraLength + b.get(at + 32, 2);
    if (b.get(local, 4) != kLocalSig)
        b.damaged();
    s.start = local;
    s.data = {local + 30 + b.get(local + 26, 2) + b.get(local + 28, 2), compressed};
    s.end = s.data.offset + compressed;
    if (s.end > b.size())
        b.damaged();
    return s;
}

} // namespace

std::vector<DataSpan> refuseOverlappingEntries(const PackageBytes& zip, const QString& displayName)
{
    Bytes b(zip, displayName);
    const Directory d = directoryOf(b);
    // Held whole only when it lies within the package: a directory claiming more is damaged.
    if (d.offset <= b.size() && d.size <= b.size() - d.offset)
        b.hold(d.offset, d.size);
    std::vector<Span> spans;
    std::vector<DataSpan> data;
    std::uint64_t at = d.offset;
    for (std::uint64_t i = 0; i < d.count; ++i) {
        spans.push_back(entryAt(b, at));
        data.push_back(spans.back().data);
    }
    std::sort(spans.begin(), spans.end(), [](const Span& x, const Span& y) { return x.start < y.start; });
    // The entry reaching furthest so far: one long entry may cover several short ones.
    const Span* reach = nullptr;
    for (const Span& s : spans) {
        if (reach && s.start < reach->end)
            fail(XlsxStatus::OverlappingEntries, displayName + QStringLiteral(", entries ") + reach->name
                                                     + QStringLiteral(" and ") + s.name);
        if (!reach || s.end > reach->end)
            reach = &s;
    }
    return data;
}

} // namespace bf::xlsx
