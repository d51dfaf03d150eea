#include "crypto/AgileKeys.h"
#include "crypto/EncryptedPackage.h"
#include "crypto/Password.h"

#include <stdexcept>

namespace bf::crypto {
namespace {

AgileKeyParams paramsFor(const AgileChoice& choice)
{
    if (choice.keyBits != 128 && choice.keyBits != 192 && choice.keyBits != 256)
        throw std::invalid_argument("an AES key of 128, 192 or 256 bits");
    AgileKeyParams p;
    p.saltSize = 16;
    p.blockSize = kAesBlockSize;
    p.keyBits = choice.keyBits;
    p.hash = choice.hash;
    p.hashSize = digestSize(p.hash);
    p.salt = randomBytes(p.saltSize);
    return p;
}

AgilePasswordKey passwordKeyFor(QByteArrayView secret, const QString& password, const AgileChoice& choice)
{
    AgilePasswordKey k;
    k.params = paramsFor(choice);
    k.spinCount = choice.spinCount;
    const AgileKeyParams& p = k.params;
    QByteArray iterated = agile::iteratedPasswordHash(p, k.spinCount, password);
    QByteArray inputKey = agile::passwordKey(p, iterated, agile::kVerifierInputBlock);
    QByteArray valueKey = agile::passwordKey(p, iterated, agile::kVerifierValueBlock);
    QByteArray keyKey = agile::passwordKey(p, iterated, agile::kKeyValueBlock);
    WipeOnExit w0(iterated), w1(inputKey), w2(valueKey), w3(keyKey);
    const QByteArray iv = agile::saltIv(p);
    const QByteArray verifier = randomBytes(p.saltSize);
    k.encryptedVerifierHashInput = aesCbcEncrypt(inputKey, iv, agile::padToBlock(verifier, p.blockSize));
    k.encryptedVerifierHashValue = aesCbcEncrypt(valueKey, iv, agile::padToBlock(digest(p.hash, {verifier}), p.blockSize));
    k.encryptedKeyValue = aesCbcEncrypt(keyKey, iv, agile::padToBlock(secret, p.blockSize));
    return k;
}

QByteArray encryptSegments(const AgileKeyParams& p, QByteArrayView key, QByteArrayView package)
{
    QByteArray out;
    out.reserve(8 + package.size() + p.blockSize);
    const std::uint64_t size = static_cast<std::uint64_t>(package.size());
    for (int i = 0; i < 8; ++i)
        out.append(static_cast<char>((size >> (8 * i)) & 0xff));
    for (qsizetype at = 0, index = 0; at < package.size(); at += agile::kSegmentSize, ++index) {
        const QByteArrayView segment = package.sliced(at, std::min<qsizetype>(agile::kSegmentSize, package.size() - at));
        out.append(aesCbcEncrypt(key, agile::segmentIv(p, static_cast<std::uint32_t>(index)), agile::padToBlock(segment, p.blockSize)));
    }
    return out;
}

} // namespace

EncryptedPackageStreams encryptPackage(QByteArrayView package, const QString& password, const AgileChoice& choice)
{
    AgileEncryption a;
    a.keyData = paramsFor(choice);
    QByteArray secret = randomBytes(a.keyData.keyBits / 8);
    QByteArray hmacKey = randomBytes(a.keyData.hashSize);
    WipeOnExit w1(secret), w2(hmacKey);
    a.password = passwordKeyFor(secret, password, choice);

    EncryptedPackageStreams out;
    out.encryptedPackage = encryptSegments(a.keyData, secret, package);
    const QByteArray hmacValue = hmac(a.keyData.hash, hmacKey, out.encryptedPackage);
    const auto encrypted = [&](const QByteArray& v, QByteArrayView block) {
        return aesCbcEncrypt(secret, agile::derivedIv(a.keyData, block), agile::padToBlock(v, a.keyData.blockSize));
    };
    a.encryptedHmacKey = encrypted(hmacKey, agile::kHmacKeyBlock);
    a.encryptedHmacValue = encrypted(hmacValue, agile::kHmacValueBlock);

    out.encryptionInfo = QByteArray("\x04\x00\x04\x00\x40\x00\x00\x00", 8) + writeAgileDescriptor(a);
    return out;
}

} // namespace bf::crypto
