#pragma once
// The cryptographic primitives the workbook schemes are built from, over the library's
// implementations: hashes, HMAC, AES in ECB and CBC, RC4, and random bytes. Plain functions on
// bytes; lengths that do not fit the cipher are refused with CryptoStatus::Malformed.
#include <QByteArray>
#include <QByteArrayView>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>

namespace bf::crypto {

enum class HashAlgorithm { Md5, Sha1, Sha256, Sha384, Sha512 };

int digestSize(HashAlgorithm algorithm);
// The digest of the pieces, hashed one after the other.
QByteArray digest(HashAlgorithm algorithm, std::initializer_list<QByteArrayView> pieces);
QByteArray hmac(HashAlgorithm algorithm, QByteArrayView key, QByteArrayView data);

// Incremental hashing for data that comes in pieces (an HMAC over a whole stream).
class Hmac {
public:
    Hmac(HashAlgorithm algorithm, QByteArrayView key);
    ~Hmac();
    Hmac(const Hmac&) = delete;
    Hmac& operator=(const Hmac&) = delete;
    void update(QByteArrayView data);
    QByteArray result();

private:
    struct State;
    std::unique_ptr<State> state_;
};

constexpr int kAesBlockSize = 16;
// AES with a 16-, 24- or 32-byte key; the data a whole number of blocks.
QByteArray aesEcbDecrypt(QByteArrayView key, QByteArrayView data);
QByteArray aesCbcDecrypt(QByteArrayView key, QByteArrayView iv, QByteArrayView data);
QByteArray aesCbcEncrypt(QByteArrayView key, QByteArrayView iv, QByteArrayView data);

// An RC4 keystream (1 to 256 key bytes), applied in place.
class Rc4 {
public:
    explicit Rc4(QByteArrayView key);
    ~Rc4();
    Rc4(const Rc4&) = delete;
    Rc4& operator=(const Rc4&) = delete;
    void apply(std::uint8_t* data, std::size_t size);
    void skip(std::size_t count);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Bytes from the kernel's cryptographic random source.
QByteArray randomBytes(int count);

} // namespace bf::crypto
