// Password-protected Open XML packages: damaged data and headers refused with their own errors,
// and our encrypted output read back in every hash and size. The corpus packages against the
// independent reader: the end-to-end ProtectedWorkbooks test.
#include "crypto/EncryptedPackage.h"
#include "support/TempDir.h"
#include "support/TestPaths.h"
#include "IndependentReader.h"

#include <gtest/gtest.h>

using namespace bf;
using namespace bf::crypto;
using bf::test::compoundFile;
using bf::test::compoundStream;
using bf::test::decryptIndependently;

namespace {

struct EncryptedFile {
    const char* file;
    const char* password;
    EncryptionInfo::Kind kind;
};

const EncryptedFile kCorpusPackages[] = {
    {"xlsx/calamine--pass_protected.xlsx", "123", EncryptionInfo::Kind::Agile},
    {"xlsx/excelize--encryptaes.xlsx", "password", EncryptionInfo::Kind::Standard},
};

struct Streams {
    QByteArray info, package;
};

Streams streamsOf(const QByteArray& file)
{
    return {compoundStream(file, encryptionInfoStreamName()), compoundStream(file, encryptedPackageStreamName())};
}

// The streams written as an encrypted package's compound file in dir.
QString writeEncrypted(const test::TempDir& dir, const EncryptedPackageStreams& enc)
{
    return dir.write(QStringLiteral("out.xlsx"), compoundFile({{encryptionInfoStreamName(), enc.encryptionInfo},
                                                               {encryptedPackageStreamName(), enc.encryptedPackage}}));
}

const auto failure = bf::test::cryptoFailure;

} // namespace

TEST(PackageDecryption, DamagedDataIsNotAWrongPassword)
{
    const Streams s = streamsOf(test::readFile(test::corpusFile(QStringLiteral("xlsx/calamine--pass_protected.xlsx"))));
    QByteArray flipped = s.package;
    flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 0x01);
    const struct {
        const char* name;
        QByteArray package;
    } cases[] = {
        {"one bit flipped", flipped},
        {"cut short", s.package.first(s.package.size() - 100)},
        {"size field only", s.package.first(8)},
        {"empty", QByteArray()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto e = failure([&] { decryptPackage(s.info, c.package, QStringLiteral("123")); });
        ASSERT_TRUE(e);
        EXPECT_NE(e->status(), CryptoStatus::WrongPassword);
        EXPECT_FALSE(e->detail().isEmpty());
    }
}

TEST(PackageDecryption, EveryCutOfTheHeaderIsRefusedWithAReason)
{
    for (const EncryptedFile& f : kCorpusPackages) {
        const Streams s = streamsOf(test::readFile(test::corpusFile(QString::fromLatin1(f.file))));
        for (qsizetype cut = 0; cut < s.info.size(); cut += (f.kind == EncryptionInfo::Kind::Agile ? 37 : 1)) {
            SCOPED_TRACE(std::string(f.file) + " cut at " + std::to_string(cut));
            const auto e = failure([&] { parseEncryptionInfo(s.info.first(cut)); });
            ASSERT_TRUE(e);
            EXPECT_EQ(e->status(), CryptoStatus::Malformed) << e->detail().toStdString();
            EXPECT_TRUE(e->detail().startsWith(QStringLiteral("EncryptionInfo"))) << e->detail().toStdString();
        }
    }
}

TEST(PackageDecryption, GarbledAgileDescriptorsAndStandardHeadersNameWhatIsWrong)
{
    const Streams s = streamsOf(test::readFile(test::corpusFile(QStringLiteral("xlsx/calamine--pass_protected.xlsx"))));
    const Streams standard =
        streamsOf(test::readFile(test::corpusFile(QStringLiteral("xlsx/excelize--encryptaes.xlsx"))));
    const auto edited = [&](const char* from, const char* to) {
        QByteArray info = s.info;
        info.replace(QByteArray(from), QByteArray(to));
        EXPECT_NE(info, s.info) << from;
        return info;
    };
    const auto at = [&](int offset, QByteArray bytes) {
        return QByteArray(standard.info).replace(offset, bytes.size(), bytes);
    };
    test::expectRefused({
        {edited("hashAlgorithm=\"SHA512\"", "hashAlgorithm=\"WHIRLPOOL\""), CryptoStatus::Unsupported, "WHIRLPOOL"},
        {edited("cipherAlgorithm=\"AES\"", "cipherAlgorithm=\"3DES\""), CryptoStatus::Unsupported, "3DES"},
        {edited("ChainingModeCBC", "ChainingModeCFB"), CryptoStatus::Unsupported, "ChainingModeCFB"},
        {edited("keyBits=\"256\"", "keyBits=\"100\""), CryptoStatus::Malformed, "keyBits"},
        {edited("spinCount=\"100000\"", "spinCount=\"99999999999\""), CryptoStatus::Malformed, "spinCount"},
        {edited("saltValue=\"", "saltValue=\"*"), CryptoStatus::Malformed, "saltValue"},
        {edited("saltSize=\"16\"", "saltSize=\"17\""), CryptoStatus::Malformed, "saltSize"},
        {edited("<keyData", "<keyDaty"), CryptoStatus::Malformed, "keyData"},
        {edited("</encryption>", "</encryptio>"), CryptoStatus::Malformed, "not well-formed"},
        {edited("keyEncryptor/password\"", "keyEncryptor/certificate\""), CryptoStatus::Unsupported, "password key encryptor"},
        {edited("encryptedKeyValue=\"", "encryptedKeyValu=\""), CryptoStatus::Malformed, "encryptedKeyValue"},
        {QByteArray("\x04\x00\x04\x00\x41\x00\x00\x00", 8) + s.info.sliced(8), CryptoStatus::Malformed, "reserved"},
        {QByteArray("\x03\x00\x03\x00", 4) + s.info.sliced(4), CryptoStatus::Unsupported, "extensible"},
        {QByteArray("\x09\x00\x02\x00", 4) + s.info.sliced(4), CryptoStatus::Unsupported, "9.2"},
        // Standard: version (4), flags (4), header size (4), then the header: flags, size extra,
        // cipher, hash, key size.
        {at(8, QByteArray("\xff\xff\x00\x00", 4)), CryptoStatus::Malformed, "HeaderSize"},
        {at(8, QByteArray("\x04\x00\x00\x00", 4)), CryptoStatus::Malformed, "HeaderSize"},
        {at(20, QByteArray("\x01\x68\x00\x00", 4)), CryptoStatus::Unsupported, "0x6801"},
        {at(24, QByteArray("\x03\x80\x00\x00", 4)), CryptoStatus::Unsupported, "0x8003"},
        {at(28, QByteArray("\x00\x01\x00\x00", 4)), CryptoStatus::Malformed, "KeySize"},
        {at(4, QByteArray("\x34\x00\x00\x00", 4)), CryptoStatus::Unsupported, "extensible"},
    }, [](const QByteArray& info) { parseEncryptionInfo(info); });
}

TEST(PackageEncryption, OurAgileOutputOfEverySizeReadsBack)
{
    const Streams source = streamsOf(test::readFile(test::corpusFile(QStringLiteral("xlsx/calamine--pass_protected.xlsx"))));
    const QByteArray package = decryptPackage(source.info, source.package, QStringLiteral("123"));
    const QString password = QStringLiteral("Pässwörd ✓ 密码");
    // Sizes around the 4096-byte segments and the 16-byte blocks, and a whole package.
    for (const QByteArray& plain : {package, package.first(4096), package.first(4097), package.first(15), QByteArray()}) {
        SCOPED_TRACE(plain.size());
        const EncryptedPackageStreams enc = encryptPackage(plain, password);
        const EncryptionInfo info = parseEncryptionInfo(enc.encryptionInfo);
        ASSERT_EQ(info.kind, EncryptionInfo::Kind::Agile);
        EXPECT_EQ(info.agile.keyData.keyBits, 256);
        EXPECT_EQ(info.agile.keyData.hash, HashAlgorithm::Sha512);
        EXPECT_EQ(info.agile.password.spinCount, 100000u);
        EXPECT_EQ(decryptPackage(enc.encryptionInfo, enc.encryptedPackage, password), plain);
        EXPECT_EQ(failure([&] { decryptPackage(enc.encryptionInfo, enc.encryptedPackage, QStringLiteral("Passwort")); })->status(),
                  CryptoStatus::WrongPassword);
    }
}

TEST(PackageEncryption, EveryHashAndKeySizeReadsBack)
{
    const Streams source = streamsOf(test::readFile(test::corpusFile(QStringLiteral("xlsx/calamine--pass_protected.xlsx"))));
    const QByteArray package = decryptPackage(source.info, source.package, QStringLiteral("123"));
    const struct {
        AgileChoice choice;
        // The independent reader has no MD5 (it takes it for SHA-1), uses a 192-bit key with
        // its padding, and checks verifiers and HMACs in whole cipher blocks only.
        bool independent;
        bool checked;
    } cases[] = {
        {{HashAlgorithm::Sha1, 128, 1000}, true, false},
        {{HashAlgorithm::Sha256, 256, 1000}, true, true},
        {{HashAlgorithm::Sha384, 192, 1000}, false, false},
        {{HashAlgorithm::Sha512, 128, 1000}, true, true},
        {{HashAlgorithm::Md5, 256, 1000}, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(digestSize(c.choice.hash) * 100 + c.choice.keyBits);
        const EncryptedPackageStreams enc = encryptPackage(package, QStringLiteral("secret"), c.choice);
        const EncryptionInfo info = parseEncryptionInfo(enc.encryptionInfo);
        EXPECT_EQ(info.agile.keyData.hash, c.choice.hash);
        EXPECT_EQ(info.agile.password.params.keyBits, c.choice.keyBits);
        EXPECT_EQ(decryptPackage(enc.encryptionInfo, enc.encryptedPackage, QStringLiteral("secret")), package);
        QByteArray tampered = enc.encryptedPackage;
        tampered[tampered.size() - 1] = static_cast<char>(tampered[tampered.size() - 1] ^ 0x80);
        EXPECT_EQ(failure([&] { decryptPackage(enc.encryptionInfo, tampered, QStringLiteral("secret")); })->status(),
                  CryptoStatus::Damaged);
        if (!c.independent)
            continue;
        test::TempDir dir;
        const QString path = writeEncrypted(dir, enc);
        const auto theirs = decryptIndependently(path, QStringLiteral("secret"), c.checked);
        ASSERT_EQ(theirs.exitCode, 0);
        EXPECT_EQ(theirs.bytes, package);
    }
}
