// The XML descriptor of Agile encryption: read with the stream reader, every attribute checked.
#include "crypto/EncryptionInfo.h"

#include <QXmlStreamReader>

namespace bf::crypto {
namespace {

constexpr QLatin1String kPasswordEncryptor("http://schemas.microsoft.com/office/2006/keyEncryptor/password");

[[noreturn]] void malformed(const QString& what)
{
    fail(CryptoStatus::Malformed, QStringLiteral("EncryptionInfo (Agile): %1").arg(what));
}

[[noreturn]] void unsupported(const QString& what)
{
    fail(CryptoStatus::Unsupported, QStringLiteral("EncryptionInfo (Agile): %1").arg(what));
}

class Attributes {
public:
    Attributes(const QXmlStreamAttributes& a, const char* element) : a_(a), element_(element) {}

    QString text(const char* name) const
    {
        if (!a_.hasAttribute(QLatin1String(name)))
            malformed(QStringLiteral("<%1> has no %2 attribute").arg(QLatin1String(element_), QLatin1String(name)));
        return a_.value(QLatin1String(name)).toString();
    }
    int number(const char* name, int low, int high) const
    {
        bool ok = false;
        const qlonglong v = text(name).trimmed().toLongLong(&ok);
        if (!ok || v < low || v > high)
            malformed(QStringLiteral("<%1> %2=\"%3\" is not a number from %4 to %5")
                          .arg(QLatin1String(element_), QLatin1String(name), text(name))
                          .arg(low)
                          .arg(high));
        return static_cast<int>(v);
    }
    QByteArray base64(const char* name) const
    {
        const auto decoded = QByteArray::fromBase64Encoding(text(name).toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            malformed(QStringLiteral("<%1> %2 is not base64").arg(QLatin1String(element_), QLatin1String(name)));
        return *decoded;
    }

private:
    const QXmlStreamAttributes& a_;
    const char* element_;
};

HashAlgorithm hashNamed(const QString& name)
{
    const QString n = name.toUpper().remove(QLatin1Char('-'));
    if (n == QLatin1String("SHA1"))
        return HashAlgorithm::Sha1;
    if (n == QLatin1String("SHA256"))
        return HashAlgorithm::Sha256;
    if (n == QLatin1String("SHA384"))
        return HashAlgorithm::Sha384;
    if (n == QLatin1String("SHA512"))
        return HashAlgorithm::Sha512;
    if (n == QLatin1String("MD5"))
        return HashAlgorithm::Md5;
    unsupported(QStringLiteral("hash algorithm %1 is not supported (SHA-1, SHA-256, SHA-384, SHA-512, MD5)").arg(name));
}

AgileKeyParams readKeyParams(const Attributes& a)
{
    AgileKeyParams p;
    const QString cipher = a.text("cipherAlgorithm");
    if (cipher != QLatin1String("AES"))
        unsupported(QStringLiteral("cipher %1 is not supported (AES only)").arg(cipher));
    const QString chaining = a.text("cipherChaining");
    if (chaining != QLatin1String("ChainingModeCBC"))
        unsupported(QStringLiteral("cipher chaining %1 is not supported (ChainingModeCBC only)").arg(chaining));
    p.hash = hashNamed(a.text("hashAlgorithm"));
    p.saltSize = a.number("saltSize", 1, 65536);
    p.blockSize = a.number("blockSize", 2, 4096);
    p.keyBits = a.number("keyBits", 0, 65536);
    p.hashSize = a.number("hashSize", 1, 64);
    p.salt = a.base64("saltValue");
    if (p.blockSize != kAesBlockSize)
        malformed(QStringLiteral("blockSize %1 for AES (16 expected)").arg(p.blockSize));
    if (p.keyBits != 128 && p.keyBits != 192 && p.keyBits != 256)
        malformed(QStringLiteral("keyBits %1 for AES (128, 192 or 256 expected)").arg(p.keyBits));
    if (p.hashSize != digestSize(p.hash))
        malformed(QStringLiteral("hashSize %1 does not match the %2-byte hash").arg(p.hashSize).arg(digestSize(p.hash)));
    if (p.salt.size() != p.saltSize)
        malformed(QStringLiteral("a salt of %1 bytes where saltSize says %2").arg(p.salt.size()).arg(p.saltSize));
    return p;
}

void readPasswordKey(const Attributes& a, AgilePasswordKey* key)
{
    key->params = readKeyParams(a);
    key->spinCount = static_cast<std::uint32_t>(a.number("spinCount", 0, static_cast<int>(kMaxSpinCount)));
    key->encryptedVerifierHashInput = a.base64("encryptedVerifierHashInput");
    key->encryptedVerifierHashValue = a.base64("encryptedVerifierHashValue");
    key->encryptedKeyValue = a.base64("encryptedKeyValue");
    const auto check = [&](const QByteArray& field, const char* name, int atLeast) {
        if (field.size() < atLeast || field.size() % key->params.blockSize != 0)
            malformed(QStringLiteral("<encryptedKey> %1 of %2 bytes (whole cipher blocks covering at least %3 expected)")
                          .arg(QLatin1String(name))
                          .arg(field.size())
                          .arg(atLeast));
    };
    check(key->encryptedVerifierHashInput, "encryptedVerifierHashInput", key->params.saltSize);
    check(key->encryptedVerifierHashValue, "encryptedVerifierHashValue", key->params.hashSize);
    check(key->encryptedKeyValue, "encryptedKeyValue", 1);
}

} // namespace

AgileEncryption parseAgileDescriptor(QByteArrayView xml)
{
    AgileEncryption agile;
    bool haveKeyData = false, havePassword = false, inPasswordEncryptor = false;
    QXmlStreamReader reader(QByteArray(xml.data(), xml.size()));
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::EndElement && reader.name() == QLatin1String("keyEncryptor"))
            inPasswordEncryptor = false;
        if (token != QXmlStreamReader::StartElement)
            continue;
        const auto name = reader.name();
        const QXmlStreamAttributes attrs = reader.attributes();
        if (name == QLatin1String("keyData")) {
            agile.keyData = readKeyParams(Attributes(attrs, "keyData"));
            haveKeyData = true;
        } else if (name == QLatin1String("dataIntegrity")) {
            const Attributes a(attrs, "dataIntegrity");
            agile.encryptedHmacKey = a.base64("encryptedHmacKey");
            agile.encryptedHmacValue = a.base64("encryptedHmacValue");
        } else if (name == QLatin1String("keyEncryptor")) {
            inPasswordEncryptor = attrs.value(QLatin1String("uri")) == kPasswordEncryptor;
        } else if (name == QLatin1String("encryptedKey") && inPasswordEncryptor && !havePassword) {
            readPasswordKey(Attributes(attrs, "encryptedKey"), &agile.password);
            havePassword = true;
        }
    }
    if (reader.hasError())
        malformed(QStringLiteral("the XML is not well-formed (%1, line %2)").arg(reader.errorString()).arg(reader.lineNumber()));
    if (!haveKeyData)
        malformed(QStringLiteral("no <keyData> element"));
    if (!havePassword)
        unsupported(QStringLiteral("no password key encryptor (a certificate-only file)"));
    if (agile.password.encryptedKeyValue.size() < agile.keyData.keyBits / 8)
        malformed(QStringLiteral("encryptedKeyValue of %1 bytes cannot hold a %2-bit key")
                      .arg(agile.password.encryptedKeyValue.size())
                      .arg(agile.keyData.keyBits));
    for (const QByteArray* field : {&agile.encryptedHmacKey, &agile.encryptedHmacValue})
        if (field->size() % kAesBlockSize != 0 || field->size() < (agile.encryptedHmacKey.isEmpty() ? 0 : agile.keyData.hashSize))
            malformed(QStringLiteral("<dataIntegrity> holds %1 bytes where whole cipher blocks covering a %2-byte hash are expected")
                          .arg(field->size())
                          .arg(agile.keyData.hashSize));
    return agile;
}

QByteArray writeAgileDescriptor(const AgileEncryption& agile)
{
    const auto params = [](const AgileKeyParams& p) {
        const char* hash = p.hash == HashAlgorithm::Sha512 ? "SHA512"
            : p.hash == HashAlgorithm::Sha384              ? "SHA384"
            : p.hash == HashAlgorithm::Sha256              ? "SHA256"
            : p.hash == HashAlgorithm::Md5                 ? "MD5"
                                                           : "SHA1";
        return QStringLiteral(R"(saltSize="%1" blockSize="%2" keyBits="%3" hashSize="%4" cipherAlgorithm="AES" )"
                              R"(cipherChaining="ChainingModeCBC" hashAlgorithm="%5" saltValue="%6")")
            .arg(p.saltSize)
            .arg(p.blockSize)
            .arg(p.keyBits)
            .arg(p.hashSize)
            .arg(QLatin1String(hash), QLatin1String(p.salt.toBase64()));
    };
    const AgilePasswordKey& k = agile.password;
    const QString xml =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                       R"(<encryption xmlns="http://schemas.microsoft.com/office/2006/encryption" )"
                       R"(xmlns:p="http://schemas.microsoft.com/office/2006/keyEncryptor/password">)")
        + QStringLiteral("<keyData %1/>").arg(params(agile.keyData))
        + QStringLiteral(R"(<dataIntegrity encryptedHmacKey="%1" encryptedHmacValue="%2"/>)")
              .arg(QLatin1String(agile.encryptedHmacKey.toBase64()), QLatin1String(agile.encryptedHmacValue.toBase64()))
        + QStringLiteral(R"(<keyEncryptors><keyEncryptor uri="%1">)").arg(kPasswordEncryptor)
        + QStringLiteral(R"(<p:encryptedKey spinCount="%1" %2 encryptedVerifierHashInput="%3" )"
                         R"(encryptedVerifierHashValue="%4" encryptedKeyValue="%5"/>)")
              .arg(k.spinCount)
              .arg(params(k.params), QLatin1String(k.encryptedVerifierHashInput.toBase64()),
                   QLatin1String(k.encryptedVerifierHashValue.toBase64()), QLatin1String(k.encryptedKeyValue.toBase64()))
        + QStringLiteral("</keyEncryptor></keyEncryptors></encryption>");
    return xml.toUtf8();
}

} // namespace bf::crypto
