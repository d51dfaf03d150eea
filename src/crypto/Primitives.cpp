#include "crypto/Primitives.h"

#include "crypto/CryptoError.h"

#include <nettle/aes.h>
#include <nettle/arcfour.h>
#include <nettle/cbc.h>
#include <nettle/hmac.h>
#include <nettle/md5.h>
#include <nettle/nettle-meta.h>
#include <nettle/sha1.h>
#include <nettle/sha2.h>

#include <QString>
#include <cerrno>
#include <string.h>
#include <sys/random.h>
#include <vector>

namespace bf::crypto {
namespace {

const nettle_hash& hashOf(HashAlgorithm algorithm)
{
    switch (algorithm) {
    case HashAlgorithm::Md5: return nettle_md5;
    case HashAlgorithm::Sha1: return nettle_sha1;
    case HashAlgorithm::Sha256: return nettle_sha256;
    case HashAlgorithm::Sha384: return nettle_sha384;
    case HashAlgorithm::Sha512: return nettle_sha512;
    }
    return nettle_sha1;
}

const std::uint8_t* bytes(QByteArrayView v) { return reinterpret_cast<const std::uint8_t*>(v.data()); }

// Cleared on destruction: contexts hold key schedules.
struct Scratch {
    explicit Scratch(std::size_t size) : bytes(size) {}
    ~Scratch() { explicit_bzero(bytes.data(), bytes.size()); }
    void* data() { return bytes.data(); }
    std::vector<std::uint8_t> bytes;
};

const nettle_cipher& aesFor(QByteArrayView key)
{
    switch (key.size()) {
    case 16: return nettle_aes128;
    case 24: return nettle_aes192;
    case 32: return nettle_aes256;
    default: break;
    }
    fail(CryptoStatus::Malformed, QStringLiteral("an AES key of %1 bytes (16, 24 or 32 expected)").arg(key.size()));
}

void requireBlocks(QByteArrayView data, const char* what)
{
    if (data.size() % kAesBlockSize != 0)
        fail(CryptoStatus::Malformed,
             QStringLiteral("%1 of %2 bytes is not a whole number of 16-byte cipher blocks")
                 .arg(QLatin1String(what))
                 .arg(data.size()));
}

void requireIv(QByteArrayView iv)
{
    if (iv.size() != kAesBlockSize)
        fail(CryptoStatus::Malformed, QStringLiteral("an initialisation vector of %1 bytes (16 expected)").arg(iv.size()));
}

std::uint8_t* out(QByteArray& a) { return reinterpret_cast<std::uint8_t*>(a.data()); }

} // namespace

int digestSize(HashAlgorithm algorithm) { return static_cast<int>(hashOf(algorithm).digest_size); }

QByteArray digest(HashAlgorithm algorithm, std::initializer_list<QByteArrayView> pieces)
{
    const nettle_hash& h = hashOf(algorithm);
    Scratch ctx(h.context_size);
    h.init(ctx.data());
    for (QByteArrayView piece : pieces)
        h.update(ctx.data(), static_cast<std::size_t>(piece.size()), bytes(piece));
    QByteArray result(h.digest_size, Qt::Uninitialized);
    h.digest(ctx.data(), h.digest_size, out(result));
    return result;
}

struct Hmac::State {
    explicit State(const nettle_hash& h) : hash(h), outer(h.context_size), inner(h.context_size), state(h.context_size) {}
    const nettle_hash& hash;
    Scratch outer, inner, state;
};

Hmac::Hmac(HashAlgorithm algorithm, QByteArrayView key) : state_(std::make_unique<State>(hashOf(algorithm)))
{
    hmac_set_key(state_->outer.data(), state_->inner.data(), state_->state.data(), &state_->hash,
                 static_cast<std::size_t>(key.size()), bytes(key));
}

Hmac::~Hmac() = default;

void Hmac::update(QByteArrayView data)
{
    hmac_update(state_->state.data(), &state_->hash, static_cast<std::size_t>(data.size()), bytes(data));
}

QByteArray Hmac::result()
{
    QByteArray r(state_->hash.digest_size, Qt::Uninitialized);
    hmac_digest(state_->outer.data(), state_->inner.data(), state_->state.data(), &state_->hash,
                state_->hash.digest_size, out(r));
    return r;
}

QByteArray hmac(HashAlgorithm algorithm, QByteArrayView key, QByteArrayView data)
{
    Hmac m(algorithm, key);
    m.update(data);
    return m.result();
}

QByteArray aesEcbDecrypt(QByteArrayView key, QByteArrayView data)
{
    const nettle_cipher& c = aesFor(key);
    requireBlocks(data, "encrypted data");
    Scratch ctx(c.context_size);
    c.set_decrypt_key(ctx.data(), bytes(key));
    QByteArray result(data.size(), Qt::Uninitialized);
    c.decrypt(ctx.data(), static_cast<std::size_t>(data.size()), out(result), bytes(data));
    return result;
}

namespace {
// AES in CBC mode over whole blocks, one way or the other.
QByteArray aesCbc(QByteArrayView key, QByteArrayView iv, QByteArrayView data, bool encrypt)
{
    const nettle_cipher& c = aesFor(key);
    requireIv(iv);
    requireBlocks(data, encrypt ? "plain data" : "encrypted data");
    Scratch ctx(c.context_size);
    (encrypt ? c.set_encrypt_key : c.set_decrypt_key)(ctx.data(), bytes(key));
    std::uint8_t chain[kAesBlockSize];
    memcpy(chain, iv.data(), kAesBlockSize);
    QByteArray result(data.size(), Qt::Uninitialized);
    const auto size = static_cast<std::size_t>(data.size());
    if (encrypt)
        cbc_encrypt(ctx.data(), c.encrypt, kAesBlockSize, chain, size, out(result), bytes(data));
    else
        cbc_decrypt(ctx.data(), c.decrypt, kAesBlockSize, chain, size, out(result), bytes(data));
    return result;
}
} // namespace

QByteArray aesCbcDecrypt(QByteArrayView key, QByteArrayView iv, QByteArrayView data) { return aesCbc(key, iv, data, false); }

QByteArray aesCbcEncrypt(QByteArrayView key, QByteArrayView iv, QByteArrayView data) { return aesCbc(key, iv, data, true); }

struct Rc4::State {
    ~State() { explicit_bzero(&ctx, sizeof ctx); }
    arcfour_ctx ctx;
};

Rc4::Rc4(QByteArrayView key) : state_(std::make_unique<State>())
{
    if (key.size() < ARCFOUR_MIN_KEY_SIZE || key.size() > ARCFOUR_MAX_KEY_SIZE)
        fail(CryptoStatus::Malformed, QStringLiteral("an RC4 key of %1 bytes").arg(key.size()));
    arcfour_set_key(&state_->ctx, static_cast<std::size_t>(key.size()), bytes(key));
}

Rc4::~Rc4() = default;

void Rc4::apply(std::uint8_t* data, std::size_t size) { arcfour_crypt(&state_->ctx, size, data, data); }

void Rc4::skip(std::size_t count)
{
    std::uint8_t sink[256] = {};
    while (count > 0) {
        const std::size_t n = count < sizeof sink ? count : sizeof sink;
        arcfour_crypt(&state_->ctx, n, sink, sink);
        count -= n;
    }
}

QByteArray randomBytes(int count)
{
    QByteArray result(count, Qt::Uninitialized);
    int filled = 0;
    while (filled < count) {
        const ssize_t n = getrandom(result.data() + filled, static_cast<std::size_t>(count - filled), 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw std::runtime_error("the system's random source failed");
        }
        filled += static_cast<int>(n);
    }
    return result;
}

} // namespace bf::crypto
