#include "crypto/CryptoApiHeader.h"

#include "crypto/Password.h"

namespace bf::crypto {
namespace {

constexpr std::uint32_t kFixedHeaderSize = 32; // eight 32-bit fields before the provider name

void put32(QByteArray& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.append(static_cast<char>((v >> (8 * i)) & 0xff));
}

} // namespace

CryptoApiHeader readCryptoApiHeader(ByteReader& in, int encryptedHashSize)
{
    CryptoApiHeader h;
    h.flags = in.u32("Flags");
    const std::uint32_t headerSize = in.u32("HeaderSize");
    if (headerSize < kFixedHeaderSize || headerSize > static_cast<std::uint64_t>(in.remaining()))
        in.malformed(QStringLiteral("HeaderSize %1 does not fit (at least %2, at most the %3 bytes left)")
                         .arg(headerSize)
                         .arg(kFixedHeaderSize)
                         .arg(in.remaining()));
    ByteReader header(in.rest().first(headerSize), "EncryptionHeader");
    header.u32("Flags");
    header.u32("SizeExtra");
    h.algId = header.u32("AlgID");
    h.algIdHash = header.u32("AlgIDHash");
    h.keyBits = header.u32("KeySize");
    in.skip(headerSize, "EncryptionHeader"); // the provider type and name are not needed

    const std::uint32_t saltSize = in.u32("SaltSize");
    if (saltSize != 16)
        in.malformed(QStringLiteral("SaltSize %1 (16 expected)").arg(saltSize));
    h.salt = in.take(16, "Salt");
    h.encryptedVerifier = in.take(16, "EncryptedVerifier");
    h.verifierHashSize = in.u32("VerifierHashSize");
    if (h.verifierHashSize != 20)
        in.malformed(QStringLiteral("VerifierHashSize %1 (20 expected)").arg(h.verifierHashSize));
    h.encryptedVerifierHash = in.take(encryptedHashSize, "EncryptedVerifierHash");
    return h;
}

QByteArray writeCryptoApiHeader(const CryptoApiHeader& h, const QString& cspName, std::uint32_t providerType)
{
    QByteArray header;
    put32(header, h.flags);
    put32(header, 0); // SizeExtra
    put32(header, h.algId);
    put32(header, h.algIdHash);
    put32(header, h.keyBits);
    put32(header, providerType);
    put32(header, 0); // Reserved1
    put32(header, 0); // Reserved2
    header.append(utf16le(cspName));
    header.append(2, '\0');

    QByteArray out;
    put32(out, h.flags);
    put32(out, static_cast<std::uint32_t>(header.size()));
    out.append(header);
    put32(out, static_cast<std::uint32_t>(h.salt.size()));
    out.append(h.salt);
    out.append(h.encryptedVerifier);
    put32(out, h.verifierHashSize);
    out.append(h.encryptedVerifierHash);
    return out;
}

} // namespace bf::crypto
