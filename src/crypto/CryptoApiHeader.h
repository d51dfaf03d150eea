#pragma once
// The binary encryption header and verifier shared by Standard encryption of an Open XML
// package and RC4 CryptoAPI encryption of an .xls: what follows the version in both.
#include "crypto/ByteReader.h"

#include <QByteArray>
#include <cstdint>

namespace bf::crypto {

namespace alg {
constexpr std::uint32_t Rc4 = 0x6801;
constexpr std::uint32_t Aes128 = 0x660E;
constexpr std::uint32_t Aes192 = 0x660F;
constexpr std::uint32_t Aes256 = 0x6610;
constexpr std::uint32_t Sha1 = 0x8004;
} // namespace alg

namespace flag {
constexpr std::uint32_t CryptoApi = 0x04;
constexpr std::uint32_t External = 0x10;
constexpr std::uint32_t Aes = 0x20;
} // namespace flag

struct CryptoApiHeader {
    std::uint32_t flags = 0;
    std::uint32_t algId = 0;
    std::uint32_t algIdHash = 0;
    std::uint32_t keyBits = 0;
    QByteArray salt;                  // 16 bytes
    QByteArray encryptedVerifier;     // 16 bytes
    std::uint32_t verifierHashSize = 0;
    QByteArray encryptedVerifierHash; // 20 bytes for RC4, 32 for AES
};

// Reads flags, header size, header and verifier; the algorithm is checked by the caller.
// encryptedHashSize: the length of the encrypted verifier hash the caller's cipher gives.
CryptoApiHeader readCryptoApiHeader(ByteReader& in, int encryptedHashSize);

// The same, written; `cspName` is stored as the provider's name.
QByteArray writeCryptoApiHeader(const CryptoApiHeader& header, const QString& cspName, std::uint32_t providerType);

} // namespace bf::crypto
