#include "crypto/AgileKeys.h"

#include "crypto/Password.h"

namespace bf::crypto::agile {
namespace {

QByteArray fitted(QByteArray bytes, int size)
{
    if (bytes.size() >= size)
        bytes.truncate(size);
    else
        bytes.append(size - bytes.size(), '\x36');
    return bytes;
}

QByteArray le32(std::uint32_t v)
{
    const char b[4] = {static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff),
                       static_cast<char>((v >> 16) & 0xff), static_cast<char>(v >> 24)};
    return QByteArray(b, 4);
}

} // namespace

const QByteArrayView kVerifierInputBlock("\xfe\xa7\xd2\x76\x3b\x4b\x9e\x79", 8);
const QByteArrayView kVerifierValueBlock("\xd7\xaa\x0f\x6d\x30\x61\x34\x4e", 8);
const QByteArrayView kKeyValueBlock("\x14\x6e\x0b\xe7\xab\xac\xd0\xd6", 8);
const QByteArrayView kHmacKeyBlock("\x5f\xb2\xad\x01\x0c\xb9\xe1\xf6", 8);
const QByteArrayView kHmacValueBlock("\xa0\x67\x7f\x02\xb2\x2c\x84\x33", 8);

QByteArray iteratedPasswordHash(const AgileKeyParams& p, std::uint32_t spinCount, const QString& password)
{
    QByteArray unicode = utf16le(password);
    WipeOnExit wipeUnicode(unicode);
    QByteArray h = digest(p.hash, {p.salt, unicode});
    for (std::uint32_t i = 0; i < spinCount; ++i) {
        QByteArray next = digest(p.hash, {le32(i), h});
        wipe(h);
        h = std::move(next);
    }
    return h;
}

QByteArray passwordKey(const AgileKeyParams& p, QByteArrayView iterated, QByteArrayView blockKey)
{
    return fitted(digest(p.hash, {iterated, blockKey}), p.keyBits / 8);
}

QByteArray derivedIv(const AgileKeyParams& p, QByteArrayView blockKey)
{
    return fitted(digest(p.hash, {p.salt, blockKey}), p.blockSize);
}

QByteArray segmentIv(const AgileKeyParams& p, std::uint32_t index) { return derivedIv(p, le32(index)); }

QByteArray saltIv(const AgileKeyParams& p) { return fitted(p.salt, p.blockSize); }

QByteArray padToBlock(QByteArrayView data, int blockSize)
{
    QByteArray out(data.data(), data.size());
    const qsizetype rest = out.size() % blockSize;
    if (rest != 0)
        out.append(blockSize - rest, '\0');
    return out;
}

} // namespace bf::crypto::agile
