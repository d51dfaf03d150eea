#include "crypto/AgileKeys.h"
#include "crypto/EncryptedPackage.h"
#include "crypto/Password.h"

namespace bf::crypto {
namespace {

constexpr int kStandardSpinCount = 50000;

QByteArray le32(std::uint32_t v)
{
    const char b[4] = {static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff),
                       static_cast<char>((v >> 16) & 0xff), static_cast<char>(v >> 24)};
    return QByteArray(b, 4);
}

[[noreturn]] void wrongPassword() { fail(CryptoStatus::WrongPassword, QStringLiteral("wrong password")); }

QByteArray standardKey(const StandardEncryption& s, const QString& password)
{
    QByteArray unicode = utf16le(password);
    WipeOnExit wipeUnicode(unicode);
    QByteArray h = digest(HashAlgorithm::Sha1, {s.header.salt, unicode});
    for (int i = 0; i < kStandardSpinCount; ++i) {
        QByteArray next = digest(HashAlgorithm::Sha1, {le32(static_cast<std::uint32_t>(i)), h});
        wipe(h);
        h = std::move(next);
    }
    QByteArray final = digest(HashAlgorithm::Sha1, {h, le32(0)});
    QByteArray inner(64, '\x36'), outer(64, '\x5c');
    for (qsizetype i = 0; i < final.size(); ++i) {
        inner[i] = static_cast<char>(inner[i] ^ final[i]);
        outer[i] = static_cast<char>(outer[i] ^ final[i]);
    }
    QByteArray key = digest(HashAlgorithm::Sha1, {inner}) + digest(HashAlgorithm::Sha1, {outer});
    key.truncate(s.keyBytes());
    for (QByteArray* b : {&h, &final, &inner, &outer})
        wipe(*b);
    return key;
}

QByteArray unlockStandard(const StandardEncryption& s, const QString& password)
{
    QByteArray key = standardKey(s, password);
    const QByteArray verifier = aesEcbDecrypt(key, s.header.encryptedVerifier);
    const QByteArray verifierHash = aesEcbDecrypt(key, s.header.encryptedVerifierHash).first(20);
    if (digest(HashAlgorithm::Sha1, {verifier}) != verifierHash) {
        wipe(key);
        wrongPassword();
    }
    return key;
}

QByteArray unlockAgile(const AgileEncryption& a, const QString& password)
{
    const AgileKeyParams& p = a.password.params;
    QByteArray iterated = agile::iteratedPasswordHash(p, a.password.spinCount, password);
    WipeOnExit wipeIterated(iterated);
    const QByteArray iv = agile::saltIv(p);
    QByteArray inputKey = agile::passwordKey(p, iterated, agile::kVerifierInputBlock);
    QByteArray valueKey = agile::passwordKey(p, iterated, agile::kVerifierValueBlock);
    WipeOnExit w1(inputKey), w2(valueKey);
    const QByteArray input = aesCbcDecrypt(inputKey, iv, a.password.encryptedVerifierHashInput).first(p.saltSize);
    const QByteArray value = aesCbcDecrypt(valueKey, iv, a.password.encryptedVerifierHashValue).first(p.hashSize);
    if (digest(p.hash, {input}) != value)
        wrongPassword();
    QByteArray keyKey = agile::passwordKey(p, iterated, agile::kKeyValueBlock);
    WipeOnExit w3(keyKey);
    QByteArray secret = aesCbcDecrypt(keyKey, iv, a.password.encryptedKeyValue);
    secret.truncate(a.keyData.keyBits / 8);
    return secret;
}

struct SizedData {
    std::uint64_t size;
    QByteArrayView data; // the encrypted bytes that cover `size`, whole blocks
};

SizedData sizedData(QByteArrayView encryptedPackage, int blockSize)
{
    ByteReader in(encryptedPackage, "EncryptedPackage");
    const std::uint64_t size = in.u64("StreamSize");
    const std::uint64_t available = static_cast<std::uint64_t>(in.remaining());
    const std::uint64_t needed = (size + static_cast<std::uint64_t>(blockSize) - 1) / blockSize * blockSize;
    if (size > available || needed > available)
        fail(CryptoStatus::Damaged, QStringLiteral("the encrypted package is cut short: it declares %1 bytes and holds %2")
                                        .arg(size)
                                        .arg(available));
    return {size, in.rest().first(static_cast<qsizetype>(needed))};
}

void checkIntegrity(const AgileEncryption& a, QByteArrayView key, QByteArrayView encryptedPackage)
{
    if (a.encryptedHmacKey.isEmpty())
        return;
    const AgileKeyParams& p = a.keyData;
    QByteArray hmacKey = aesCbcDecrypt(key, agile::derivedIv(p, agile::kHmacKeyBlock), a.encryptedHmacKey).first(p.hashSize);
    WipeOnExit wipeHmacKey(hmacKey);
    const QByteArray expected = aesCbcDecrypt(key, agile::derivedIv(p, agile::kHmacValueBlock), a.encryptedHmacValue).first(p.hashSize);
    if (hmac(p.hash, hmacKey, encryptedPackage) != expected)
        fail(CryptoStatus::Damaged, QStringLiteral("the encrypted package fails its integrity check: the file is damaged"));
}

QByteArray decryptAgile(const AgileEncryption& a, QByteArrayView key, QByteArrayView encryptedPackage)
{
    checkIntegrity(a, key, encryptedPackage);
    const SizedData sized = sizedData(encryptedPackage, a.keyData.blockSize);
    QByteArray plain;
    plain.reserve(sized.data.size());
    for (qsizetype at = 0, index = 0; at < sized.data.size(); at += agile::kSegmentSize, ++index) {
        const QByteArrayView segment = sized.data.sliced(at, std::min<qsizetype>(agile::kSegmentSize, sized.data.size() - at));
        plain.append(aesCbcDecrypt(key, agile::segmentIv(a.keyData, static_cast<std::uint32_t>(index)), segment));
    }
    plain.truncate(static_cast<qsizetype>(sized.size));
    return plain;
}

} // namespace

QByteArray unlockPackageKey(const EncryptionInfo& info, const QString& password)
{
    return info.kind == EncryptionInfo::Kind::Agile ? unlockAgile(info.agile, password) : unlockStandard(info.standard, password);
}

QByteArray decryptPackage(const EncryptionInfo& info, QByteArrayView key, QByteArrayView encryptedPackage)
{
    if (info.kind == EncryptionInfo::Kind::Agile)
        return decryptAgile(info.agile, key, encryptedPackage);
    const SizedData sized = sizedData(encryptedPackage, kAesBlockSize);
    QByteArray plain = aesEcbDecrypt(key, sized.data);
    plain.truncate(static_cast<qsizetype>(sized.size));
    return plain;
}

QByteArray decryptPackage(QByteArrayView encryptionInfo, QByteArrayView encryptedPackage, const QString& password)
{
    const EncryptionInfo info = parseEncryptionInfo(encryptionInfo);
    QByteArray key = unlockPackageKey(info, password);
    WipeOnExit wipeKey(key);
    return decryptPackage(info, key, encryptedPackage);
}

} // namespace bf::crypto
