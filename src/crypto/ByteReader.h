#pragma once
// Bounds-checked little-endian reading of an encryption header; a read past the end fails with
// CryptoStatus::Malformed naming the structure and the field.
#include "crypto/CryptoError.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>

namespace bf::crypto {

class ByteReader {
public:
    ByteReader(QByteArrayView bytes, const char* structure) : bytes_(bytes), structure_(structure) {}

    std::uint16_t u16(const char* field) { return static_cast<std::uint16_t>(little(2, field)); }
    std::uint32_t u32(const char* field) { return static_cast<std::uint32_t>(little(4, field)); }
    std::uint64_t u64(const char* field) { return little(8, field); }
    QByteArray take(qsizetype count, const char* field)
    {
        need(count, field);
        QByteArray out(bytes_.data() + pos_, count);
        pos_ += count;
        return out;
    }
    void skip(qsizetype count, const char* field)
    {
        need(count, field);
        pos_ += count;
    }
    QByteArrayView rest() const { return bytes_.sliced(pos_); }
    qsizetype remaining() const { return bytes_.size() - pos_; }
    qsizetype position() const { return pos_; }

    [[noreturn]] void malformed(const QString& what) const
    {
        fail(CryptoStatus::Malformed, QStringLiteral("%1: %2").arg(QLatin1String(structure_), what));
    }

private:
    void need(qsizetype count, const char* field) const
    {
        if (count < 0 || count > remaining())
            malformed(QStringLiteral("%1 needs %2 bytes at offset %3, only %4 remain")
                          .arg(QLatin1String(field))
                          .arg(count)
                          .arg(pos_)
                          .arg(remaining()));
    }
    std::uint64_t little(int size, const char* field)
    {
        need(size, field);
        std::uint64_t v = 0;
        for (int i = size - 1; i >= 0; --i)
            v = (v << 8) | static_cast<std::uint8_t>(bytes_[pos_ + i]);
        pos_ += size;
        return v;
    }

    QByteArrayView bytes_;
    const char* structure_;
    qsizetype pos_ = 0;
};

} // namespace bf::crypto
