#include "crypto/AgileKeys.h"
#include "crypto/Package.h"
#include "crypto/Password.h"

namespace bf::crypto {
namespace {

AgileKeyParams strongParams()
{
    AgileKeyParams p;
    p.saltSize = 16;
    p.blockSize = kAesBlockSize;
    p.keyBits = 256;
    p.hash = HashAlgorithm::Sha512;
    p.hashSize = digestSize(p.hash);
    p.salt = randomBytes(p.saltSize);
    return p;
}

AgilePasswordKey passwordKeyFor(QByteArrayView secret, const QString& password, std::uint32_t spinCount)
{
    AgilePasswordKey k;
    k.params = strongParams();
    k.spinCount = spinCount;
    const AgileKeyParams& p = k.params;
    QByteArray iterated = agile::iteratedPasswordHash(p, spinCount, password);
    QByteArray inputKey = agile::passwordKey(p, iterated, agile::kVerifierInputBlock);
    QByteArray valueKey = agile::passwordKey(p, iterated, agile::kVerifierValueBlock);
    QByteArray keyKey = agile::passwordKey(p, iterated, agile::kKeyValueBlock);
    WipeOnExit w0(iterated), w1(inputKey), w2(valueKey), w3(keyKey);
    const QByteArray iv = agile::saltIv(p);
    const QByteArray verifier = randomBytes(p.saltSize);
    k.encryptedVerifierHashInput = aesCbcEncrypt(inputKey, iv, agile::padToBlock(verifier, p.blockSize));
    k.encryptedVerifierHashValue = aesCbcEncrypt(valueKey, iv, agile::padToBlock(digest(p.hash, {verifier}), p.blockSize));
    k.encryptedKeyValue = aesCbcEncrypt(keyKey, iv, secret);
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

EncryptedPackageStreams encryptPackage(QByteArrayView package, const QString& password, std::uint32_t spinCount)
{
    AgileEncryption a;
    a.keyData = strongParams();
    QByteArray secret = randomBytes(a.keyData.keyBits / 8);
    QByteArray hmacKey = randomBytes(a.keyData.hashSize);
    WipeOnExit w1(secret), w2(hmacKey);
    a.password = passwordKeyFor(secret, password, spinCount);

    EncryptedPackageStreams out;
    out.encryptedPackage = encryptSegments(a.keyData, secret, package);
    const QByteArray hmacValue = hmac(a.keyData.hash, hmacKey, out.encryptedPackage);
    a.encryptedHmacKey = aesCbcEncrypt(secret, agile::derivedIv(a.keyData, agile::kHmacKeyBlock), hmacKey);
    a.encryptedHmacValue = aesCbcEncrypt(secret, agile::derivedIv(a.keyData, agile::kHmacValueBlock), hmacValue);

    out.encryptionInfo = QByteArray("\x04\x00\x04\x00\x40\x00\x00\x00", 8) + writeAgileDescriptor(a);
    return out;
}

} // namespace bf::crypto
