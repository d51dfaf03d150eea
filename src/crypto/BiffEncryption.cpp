#include "crypto/BiffEncryption.h"

#include "crypto/BiffRecords.h"
#include "crypto/Password.h"
#include "crypto/Primitives.h"
#include "crypto/XorObfuscation.h"

namespace bf::crypto {
namespace {

using biff::kBof;
using biff::kBoundSheet;
using biff::rd16;
constexpr std::uint32_t kRc4BlockSize = 1024;
constexpr std::uint32_t kWriteKeyBits = 128;
constexpr std::uint32_t kProviderRsaFull = 1;
// The provider name readers expect with a 128-bit RC4 key.
const char* const kProviderName = "Microsoft Enhanced Cryptographic Provider v1.0";

QByteArray le32(std::uint32_t v)
{
    const char b[4] = {static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff),
                       static_cast<char>((v >> 16) & 0xff), static_cast<char>(v >> 24)};
    return QByteArray(b, 4);
}

[[noreturn]] void wrongPassword() { fail(CryptoStatus::WrongPassword, QStringLiteral("wrong password")); }

// Records whose payload the format keeps in the clear.
bool staysClear(std::uint16_t type)
{
    switch (type) {
    case kBof:
    case kFilepassRecord:
    case 0x0194: // USREXCL
    case 0x0195: // FILELOCK
    case 0x00E1: // INTERFACEHDR
    case 0x0196: // RRDINFO
    case 0x0138: // RRDHEAD
        return true;
    default:
        return false;
    }
}

// RC4 re-keyed every 1024 bytes of the stream, the key derived from the block's number.
class Rc4BlockCipher : public BiffCipher {
public:
    void decrypt(std::uint8_t* data, std::size_t size, std::uint64_t offset, std::uint16_t) override { apply(data, size, offset); }
    void encrypt(std::uint8_t* data, std::size_t size, std::uint64_t offset, std::uint16_t) override { apply(data, size, offset); }

    void apply(std::uint8_t* data, std::size_t size, std::uint64_t offset)
    {
        while (size > 0) {
            const std::uint64_t block = offset / kRc4BlockSize;
            const std::uint32_t inBlock = static_cast<std::uint32_t>(offset % kRc4BlockSize);
            seek(block, inBlock);
            const std::size_t n = std::min<std::size_t>(size, kRc4BlockSize - inBlock);
            rc4_->apply(data, n);
            position_ += static_cast<std::uint32_t>(n);
            data += n;
            size -= n;
            offset += n;
        }
    }

protected:
    virtual QByteArray blockKey(std::uint32_t block) const = 0;

private:
    void seek(std::uint64_t block, std::uint32_t inBlock)
    {
        if (!rc4_ || block != block_ || inBlock < position_) {
            QByteArray key = blockKey(static_cast<std::uint32_t>(block));
            rc4_ = std::make_unique<Rc4>(key);
            wipe(key);
            block_ = block;
            position_ = 0;
        }
        rc4_->skip(inBlock - position_);
        position_ = inBlock;
    }

    std::unique_ptr<Rc4> rc4_;
    std::uint64_t block_ = 0;
    std::uint32_t position_ = 0;
};

// RC4 with MD5: a 40-bit key from the password and salt.
class Rc4Md5Cipher : public Rc4BlockCipher {
public:
    Rc4Md5Cipher(const QString& password, const QByteArray& salt)
    {
        QByteArray unicode = utf16le(password);
        QByteArray h0 = digest(HashAlgorithm::Md5, {unicode}).first(5);
        wipe(unicode);
        QByteArray buffer;
        for (int i = 0; i < 16; ++i)
            buffer += h0 + salt;
        truncated_ = digest(HashAlgorithm::Md5, {buffer}).first(5);
        wipe(buffer);
        wipe(h0);
    }
    ~Rc4Md5Cipher() override { wipe(truncated_); }

protected:
    QByteArray blockKey(std::uint32_t block) const override { return digest(HashAlgorithm::Md5, {truncated_, le32(block)}); }

private:
    QByteArray truncated_;
};

// RC4 with SHA-1 (CryptoAPI): a 40- to 128-bit key from the password and salt.
class Rc4Sha1Cipher : public Rc4BlockCipher {
public:
    Rc4Sha1Cipher(const QString& password, const QByteArray& salt, std::uint32_t keyBits) : keyBits_(keyBits)
    {
        QByteArray unicode = utf16le(password);
        h0_ = digest(HashAlgorithm::Sha1, {salt, unicode});
        wipe(unicode);
    }
    ~Rc4Sha1Cipher() override { wipe(h0_); }

protected:
    QByteArray blockKey(std::uint32_t block) const override
    {
        QByteArray key = digest(HashAlgorithm::Sha1, {h0_, le32(block)}).first(static_cast<qsizetype>(keyBits_ / 8));
        if (keyBits_ == 40)
            key.append(11, '\0'); // a 40-bit key is used as 128 bits, the rest zero
        return key;
    }

private:
    QByteArray h0_;
    std::uint32_t keyBits_;
};

class XorCipher : public BiffCipher {
public:
    explicit XorCipher(const QByteArray& password) : array_(xorob::xorArray(password)) {}
    ~XorCipher() override { array_.fill(0); }

    void decrypt(std::uint8_t* data, std::size_t size, std::uint64_t offset, std::uint16_t recordSize) override
    {
        for (std::size_t i = 0; i < size; ++i) {
            const std::uint8_t v = data[i] ^ array_[(offset + i + recordSize) % 16];
            data[i] = static_cast<std::uint8_t>((v >> 5) | (v << 3));
        }
    }
    void encrypt(std::uint8_t* data, std::size_t size, std::uint64_t offset, std::uint16_t recordSize) override
    {
        for (std::size_t i = 0; i < size; ++i) {
            const std::uint8_t v = static_cast<std::uint8_t>((data[i] << 5) | (data[i] >> 3));
            data[i] = v ^ array_[(offset + i + recordSize) % 16];
        }
    }

private:
    std::array<std::uint8_t, 16> array_;
};

bool verifiesRc4(Rc4BlockCipher& cipher, const QByteArray& encryptedVerifier, const QByteArray& encryptedHash, HashAlgorithm hash)
{
    QByteArray both = encryptedVerifier + encryptedHash;
    cipher.apply(reinterpret_cast<std::uint8_t*>(both.data()), static_cast<std::size_t>(both.size()), 0);
    const bool ok = digest(hash, {both.first(16)}) == both.sliced(16);
    wipe(both);
    return ok;
}

Filepass readRc4(ByteReader& in, std::uint16_t major, std::uint16_t minor)
{
    Filepass f;
    if (major == 1 && minor == 1) {
        f.scheme = BiffScheme::Rc4;
        f.salt = in.take(16, "Salt");
        f.encryptedVerifier = in.take(16, "EncryptedVerifier");
        f.encryptedVerifierHash = in.take(16, "EncryptedVerifierHash");
        return f;
    }
    if (major < 2 || major > 4 || minor != 2)
        fail(CryptoStatus::Unsupported, QStringLiteral("FILEPASS: unknown RC4 encryption version %1.%2").arg(major).arg(minor));
    f.scheme = BiffScheme::Rc4CryptoApi;
    f.cryptoApi = readCryptoApiHeader(in, 20);
    const CryptoApiHeader& h = f.cryptoApi;
    if (h.algId != alg::Rc4)
        fail(CryptoStatus::Unsupported, QStringLiteral("FILEPASS: cipher 0x%1 is not supported (RC4 only)").arg(h.algId, 4, 16, QLatin1Char('0')));
    if (h.algIdHash != 0 && h.algIdHash != alg::Sha1)
        fail(CryptoStatus::Unsupported, QStringLiteral("FILEPASS: hash 0x%1 is not supported (SHA-1 only)").arg(h.algIdHash, 4, 16, QLatin1Char('0')));
    if (h.keyBits == 0)
        f.cryptoApi.keyBits = 40;
    else if (h.keyBits < 40 || h.keyBits > 128 || h.keyBits % 8 != 0)
        in.malformed(QStringLiteral("KeySize %1 (40 to 128 bits in steps of 8 expected)").arg(h.keyBits));
    return f;
}

void transform(QByteArray& stream, BiffCipher& cipher, const RecordSpan& filepass, bool encrypting)
{
    auto* base = reinterpret_cast<std::uint8_t*>(stream.data());
    const qsizetype end = stream.size();
    qsizetype at = filepass.offset + filepass.size;
    while (end - at >= 4) {
        const std::uint16_t type = rd16(base + at);
        const std::uint16_t size = rd16(base + at + 2);
        const qsizetype payload = at + 4;
        const auto available = static_cast<std::uint16_t>(std::min<qsizetype>(size, end - payload));
        if (encrypting)
            encryptRecord(cipher, type, base + payload, available, static_cast<std::uint64_t>(payload));
        else
            decryptRecord(cipher, type, base + payload, available, static_cast<std::uint64_t>(payload));
        at = payload + size;
    }
}

// The part of a record's payload that is transformed: all of it, none, or a BOUNDSHEET's
// fields after its stream position.
std::uint16_t clearPrefix(std::uint16_t type, std::uint16_t size)
{
    if (staysClear(type))
        return size;
    if (type == kBoundSheet)
        return std::min<std::uint16_t>(size, 4);
    return 0;
}

} // namespace

Filepass parseFilepass(QByteArrayView payload, FilepassForm form)
{
    ByteReader in(payload, "FILEPASS");
    Filepass f;
    const std::uint16_t type = form == FilepassForm::Biff5 ? 0 : in.u16("wEncryptionType");
    if (type == 0) {
        f.scheme = BiffScheme::Xor;
        f.xorKey = in.u16("key");
        f.xorVerifier = in.u16("verificationBytes");
        return f;
    }
    if (type != 1)
        fail(CryptoStatus::Unsupported, QStringLiteral("FILEPASS: unknown encryption type %1").arg(type));
    const std::uint16_t major = in.u16("VersionMajor");
    const std::uint16_t minor = in.u16("VersionMinor");
    return readRc4(in, major, minor);
}

std::unique_ptr<BiffCipher> unlockFilepass(const Filepass& f, const QString& password)
{
    switch (f.scheme) {
    case BiffScheme::Xor: {
        const QByteArray single = xorob::singleBytePassword(password);
        if (single.isEmpty() || xorob::passwordVerifier(single) != f.xorVerifier || xorob::xorKey(single) != f.xorKey)
            wrongPassword();
        return std::make_unique<XorCipher>(single);
    }
    case BiffScheme::Rc4: {
        auto cipher = std::make_unique<Rc4Md5Cipher>(password, f.salt);
        if (!verifiesRc4(*cipher, f.encryptedVerifier, f.encryptedVerifierHash, HashAlgorithm::Md5))
            wrongPassword();
        return cipher;
    }
    case BiffScheme::Rc4CryptoApi: {
        auto cipher = std::make_unique<Rc4Sha1Cipher>(password, f.cryptoApi.salt, f.cryptoApi.keyBits);
        if (!verifiesRc4(*cipher, f.cryptoApi.encryptedVerifier, f.cryptoApi.encryptedVerifierHash, HashAlgorithm::Sha1))
            wrongPassword();
        return cipher;
    }
    }
    wrongPassword();
}

void decryptRecord(BiffCipher& cipher, std::uint16_t type, std::uint8_t* payload, std::uint16_t size, std::uint64_t payloadOffset)
{
    const std::uint16_t clear = clearPrefix(type, size);
    cipher.decrypt(payload + clear, size - clear, payloadOffset + clear, size);
}

void encryptRecord(BiffCipher& cipher, std::uint16_t type, std::uint8_t* payload, std::uint16_t size, std::uint64_t payloadOffset)
{
    const std::uint16_t clear = clearPrefix(type, size);
    cipher.encrypt(payload + clear, size - clear, payloadOffset + clear, size);
}

bool findFilepass(QByteArrayView stream, RecordSpan* filepass)
{
    const auto* base = reinterpret_cast<const std::uint8_t*>(stream.data());
    qsizetype at = 0;
    bool first = true;
    while (stream.size() - at >= 4) {
        const std::uint16_t type = rd16(base + at);
        const std::uint16_t size = rd16(base + at + 2);
        if (first && type != kBof)
            return false;
        if (!first && (type == kBof || type == biff::kEof)) // the first substream ended
            return false;
        if (type == kFilepassRecord) {
            if (stream.size() - (at + 4) < size)
                fail(CryptoStatus::Malformed, QStringLiteral("FILEPASS: the record declares %1 bytes, the stream holds %2")
                                                  .arg(size)
                                                  .arg(stream.size() - (at + 4)));
            *filepass = {at + 4, size};
            return true;
        }
        first = false;
        at += 4 + size;
    }
    return false;
}

void decryptWorkbookStream(QByteArray& stream, BiffCipher& cipher, const RecordSpan& filepass)
{
    transform(stream, cipher, filepass, false);
}

void encryptWorkbookStream(QByteArray& stream, BiffCipher& cipher, const RecordSpan& filepass)
{
    transform(stream, cipher, filepass, true);
}

BiffEncryptionSetup setUpRc4CryptoApi(const QString& password)
{
    CryptoApiHeader h;
    h.flags = flag::CryptoApi;
    h.algId = alg::Rc4;
    h.algIdHash = alg::Sha1;
    h.keyBits = kWriteKeyBits;
    h.salt = randomBytes(16);
    h.verifierHashSize = 20;
    auto cipher = std::make_unique<Rc4Sha1Cipher>(password, h.salt, h.keyBits);
    QByteArray verifier = randomBytes(16);
    QByteArray both = verifier + digest(HashAlgorithm::Sha1, {verifier});
    cipher->apply(reinterpret_cast<std::uint8_t*>(both.data()), static_cast<std::size_t>(both.size()), 0);
    h.encryptedVerifier = both.first(16);
    h.encryptedVerifierHash = both.sliced(16);
    wipe(verifier);

    const QByteArray payload = QByteArray("\x01\x00\x04\x00\x02\x00", 6)
        + writeCryptoApiHeader(h, QString::fromLatin1(kProviderName), kProviderRsaFull);
    QByteArray record("\x2f\x00", 2);
    record.append(static_cast<char>(payload.size() & 0xff));
    record.append(static_cast<char>(payload.size() >> 8));
    record.append(payload);
    return {record, std::move(cipher)};
}

} // namespace bf::crypto
