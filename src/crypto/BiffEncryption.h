#pragma once
// Password-protected .xls workbooks: the FILEPASS record's schemes (XOR obfuscation, RC4,
// RC4 CryptoAPI), password verification, and the record stream decrypted or encrypted in place
// with the records and fields the format leaves in the clear.
#include "crypto/BiffRecords.h"
#include "crypto/CryptoApiHeader.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <memory>

namespace bf::crypto {

constexpr std::uint16_t kFilepassRecord = biff::kFilepass;

enum class BiffScheme { Xor, Rc4, Rc4CryptoApi };
// The FILEPASS of a BIFF8 workbook starts with the scheme; a BIFF5 one holds only the XOR key.
enum class FilepassForm { Biff8, Biff5 };

struct Filepass {
    BiffScheme scheme = BiffScheme::Xor;
    std::uint16_t xorKey = 0;      // XOR obfuscation
    std::uint16_t xorVerifier = 0;
    QByteArray salt;               // RC4 (16 bytes)
    QByteArray encryptedVerifier;
    QByteArray encryptedVerifierHash;
    CryptoApiHeader cryptoApi;     // RC4 CryptoAPI
};

// The record's payload (without its 4-byte header). Throws CryptoError: Malformed for a cut or
// garbled one, Unsupported for an unknown scheme.
Filepass parseFilepass(QByteArrayView payload, FilepassForm form = FilepassForm::Biff8);

// A scheme's keystream, unlocked by the password: transforms bytes by their position in the
// workbook stream (`recordSize`: the payload length of the record they belong to).
class BiffCipher {
public:
    virtual ~BiffCipher() = default;
    virtual void decrypt(std::uint8_t* data, std::size_t size, std::uint64_t streamOffset, std::uint16_t recordSize) = 0;
    virtual void encrypt(std::uint8_t* data, std::size_t size, std::uint64_t streamOffset, std::uint16_t recordSize) = 0;
};

// Throws CryptoError WrongPassword when the password fails the verifier.
std::unique_ptr<BiffCipher> unlockFilepass(const Filepass& filepass, const QString& password);

// One record's payload, in place, at `payloadOffset` in the stream: records the format keeps in
// the clear are left alone, and so is a BOUNDSHEET's stream position.
void decryptRecord(BiffCipher& cipher, std::uint16_t type, std::uint8_t* payload, std::uint16_t size, std::uint64_t payloadOffset);
void encryptRecord(BiffCipher& cipher, std::uint16_t type, std::uint8_t* payload, std::uint16_t size, std::uint64_t payloadOffset);

// Where the FILEPASS record's payload lies in a workbook stream: in the first substream, after
// its BOF. Returns false when the first substream has none (the workbook is not encrypted).
struct RecordSpan {
    qsizetype offset = 0; // of the payload
    std::uint16_t size = 0;
};
bool findFilepass(QByteArrayView stream, RecordSpan* filepass);

// Every record after the FILEPASS, in place. A record cut by the stream's end is transformed
// as far as it goes.
void decryptWorkbookStream(QByteArray& stream, BiffCipher& cipher, const RecordSpan& filepass);
void encryptWorkbookStream(QByteArray& stream, BiffCipher& cipher, const RecordSpan& filepass);

// For writing: a FILEPASS record (header included) for RC4 CryptoAPI with a 128-bit key and a
// fresh random salt, and the cipher to encrypt the stream with once it is inserted after the
// first BOF (and the stream positions it shifts are updated).
struct BiffEncryptionSetup {
    QByteArray filepassRecord;
    std::unique_ptr<BiffCipher> cipher;
};
BiffEncryptionSetup setUpRc4CryptoApi(const QString& password);

} // namespace bf::crypto
