#pragma once
// The key derivations of Agile encryption, shared by reading and writing.
#include "crypto/EncryptionInfo.h"

namespace bf::crypto::agile {

// The block keys the format fixes for each derived key and initialisation vector.
extern const QByteArrayView kVerifierInputBlock;
extern const QByteArrayView kVerifierValueBlock;
extern const QByteArrayView kKeyValueBlock;
extern const QByteArrayView kHmacKeyBlock;
extern const QByteArrayView kHmacValueBlock;

constexpr int kSegmentSize = 4096;

// H(salt + password), then spinCount rounds of H(round + previous).
QByteArray iteratedPasswordHash(const AgileKeyParams& p, std::uint32_t spinCount, const QString& password);
// H(iterated + blockKey) cut or padded with 0x36 to the key's length.
QByteArray passwordKey(const AgileKeyParams& p, QByteArrayView iterated, QByteArrayView blockKey);
// H(salt + blockKey) cut or padded with 0x36 to the block size.
QByteArray derivedIv(const AgileKeyParams& p, QByteArrayView blockKey);
// The IV of package segment `index`.
QByteArray segmentIv(const AgileKeyParams& p, std::uint32_t index);
// The key encryptor's IV: its salt cut or padded with 0x36 to the block size.
QByteArray saltIv(const AgileKeyParams& p);
// `data` padded with zeros to a whole number of cipher blocks.
QByteArray padToBlock(QByteArrayView data, int blockSize);

} // namespace bf::crypto::agile
