#pragma once
// Password-protected Open XML packages: the EncryptionInfo and EncryptedPackage streams of the
// compound file that wraps them, decrypted to the package (a zip) and made from one.
#include "crypto/EncryptionInfo.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace bf::crypto {

// The package's own key, unlocked by the password; throws CryptoError WrongPassword when the
// password fails the verifier. The caller wipes the key when done.
QByteArray unlockPackageKey(const EncryptionInfo& info, const QString& password);

// The package decrypted with the unlocked key. For Agile encryption the data-integrity HMAC is
// checked first: a mismatch throws CryptoError Damaged. A stream cut short throws Damaged too.
QByteArray decryptPackage(const EncryptionInfo& info, QByteArrayView key, QByteArrayView encryptedPackage);

// Both steps from the two streams' bytes.
QByteArray decryptPackage(QByteArrayView encryptionInfo, QByteArrayView encryptedPackage, const QString& password);

// A package encrypted with Agile encryption, fresh random salts and keys, and the
// data-integrity HMAC. By default AES-256 with SHA-512 and a spin count of 100000, the
// strongest the format's readers take.
struct EncryptedPackageStreams {
    QByteArray encryptionInfo;
    QByteArray encryptedPackage;
};
struct AgileChoice {
    HashAlgorithm hash = HashAlgorithm::Sha512;
    int keyBits = 256; // 128, 192 or 256
    std::uint32_t spinCount = 100000;
};
EncryptedPackageStreams encryptPackage(QByteArrayView package, const QString& password, const AgileChoice& choice = {});

// The stream names inside the compound file.
inline QString encryptionInfoStreamName() { return QStringLiteral("EncryptionInfo"); }
inline QString encryptedPackageStreamName() { return QStringLiteral("EncryptedPackage"); }

} // namespace bf::crypto
