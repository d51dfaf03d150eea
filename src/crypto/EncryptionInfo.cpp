#include "crypto/EncryptionInfo.h"

namespace bf::crypto {
namespace {

int aesKeyBits(std::uint32_t algId)
{
    switch (algId) {
    case alg::Aes128: return 128;
    case alg::Aes192: return 192;
    case alg::Aes256: return 256;
    default: return 0;
    }
}

StandardEncryption readStandard(ByteReader& in)
{
    StandardEncryption s;
    s.header = readCryptoApiHeader(in, 32);
    const CryptoApiHeader& h = s.header;
    if (h.flags & flag::External)
        fail(CryptoStatus::Unsupported, QStringLiteral("EncryptionInfo: extensible encryption (an external provider) is not supported"));
    if (h.algId == alg::Rc4 || !(h.flags & flag::Aes))
        fail(CryptoStatus::Unsupported,
             QStringLiteral("EncryptionInfo: Standard encryption with cipher 0x%1 is not supported (AES only)").arg(h.algId, 4, 16, QLatin1Char('0')));
    const int bits = h.algId == 0 ? 128 : aesKeyBits(h.algId);
    if (bits == 0)
        fail(CryptoStatus::Unsupported, QStringLiteral("EncryptionInfo: unknown cipher 0x%1").arg(h.algId, 4, 16, QLatin1Char('0')));
    if (h.algIdHash != 0 && h.algIdHash != alg::Sha1)
        fail(CryptoStatus::Unsupported, QStringLiteral("EncryptionInfo: hash 0x%1 is not supported (SHA-1 only)").arg(h.algIdHash, 4, 16, QLatin1Char('0')));
    if (h.keyBits != static_cast<std::uint32_t>(bits))
        in.malformed(QStringLiteral("KeySize %1 does not match the %2-bit cipher").arg(h.keyBits).arg(bits));
    return s;
}

} // namespace

EncryptionInfo parseEncryptionInfo(QByteArrayView bytes)
{
    if (bytes.size() > kMaxEncryptionInfoBytes)
        fail(CryptoStatus::Malformed, QStringLiteral("EncryptionInfo: %1 bytes, more than the %2 an encryption header may take")
                                          .arg(bytes.size())
                                          .arg(kMaxEncryptionInfoBytes));
    ByteReader in(bytes, "EncryptionInfo");
    const std::uint16_t major = in.u16("VersionMajor");
    const std::uint16_t minor = in.u16("VersionMinor");
    EncryptionInfo info;
    if (major == 4 && minor == 4) {
        const std::uint32_t reserved = in.u32("Reserved");
        if (reserved != 0x40)
            in.malformed(QStringLiteral("Agile encryption's reserved field is 0x%1 (0x40 expected)").arg(reserved, 0, 16));
        info.kind = EncryptionInfo::Kind::Agile;
        info.agile = parseAgileDescriptor(in.rest());
        return info;
    }
    if ((major == 3 || major == 4) && minor == 3)
        fail(CryptoStatus::Unsupported, QStringLiteral("EncryptionInfo: extensible encryption (version %1.%2) is not supported").arg(major).arg(minor));
    if (major < 2 || major > 4 || minor != 2)
        fail(CryptoStatus::Unsupported, QStringLiteral("EncryptionInfo: unknown encryption version %1.%2").arg(major).arg(minor));
    info.kind = EncryptionInfo::Kind::Standard;
    info.standard = readStandard(in);
    return info;
}

} // namespace bf::crypto
