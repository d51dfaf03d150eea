#pragma once
// The EncryptionInfo stream of a password-protected Open XML package: Standard encryption
// (AES with SHA-1, binary header) or Agile encryption (XML descriptor).
#include "crypto/CryptoApiHeader.h"
#include "crypto/Primitives.h"

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>

namespace bf::crypto {

// The EncryptionInfo stream is a few kilobytes; anything this large is not one.
constexpr qsizetype kMaxEncryptionInfoBytes = 1 << 20;
// The largest spin count the format allows.
constexpr std::uint32_t kMaxSpinCount = 10'000'000;

struct StandardEncryption {
    CryptoApiHeader header; // AES (algId), SHA-1
    int keyBytes() const { return static_cast<int>(header.keyBits / 8); }
};

// The cipher and hash parameters of one key: the package's (keyData) or the password's.
struct AgileKeyParams {
    int saltSize = 0;
    int blockSize = 0;
    int keyBits = 0;
    int hashSize = 0;
    HashAlgorithm hash = HashAlgorithm::Sha1;
    QByteArray salt;
};

struct AgilePasswordKey {
    AgileKeyParams params;
    std::uint32_t spinCount = 0;
    QByteArray encryptedVerifierHashInput;
    QByteArray encryptedVerifierHashValue;
    QByteArray encryptedKeyValue;
};

struct AgileEncryption {
    AgileKeyParams keyData;
    QByteArray encryptedHmacKey;   // empty when the file has no data-integrity element
    QByteArray encryptedHmacValue;
    AgilePasswordKey password;
};

struct EncryptionInfo {
    enum class Kind { Standard, Agile } kind = Kind::Standard;
    StandardEncryption standard;
    AgileEncryption agile;
};

// Throws CryptoError: Malformed for a cut or garbled stream, Unsupported for a well-formed one
// naming a scheme, cipher or hash not read here (the message names it).
EncryptionInfo parseEncryptionInfo(QByteArrayView bytes);

// The Agile descriptor (the XML after the eight-byte version and reserved field).
AgileEncryption parseAgileDescriptor(QByteArrayView xml);
QByteArray writeAgileDescriptor(const AgileEncryption& agile);

} // namespace bf::crypto
