// Password-protected .xls workbooks: the corpus files' FILEPASS schemes verified, the XOR
// obfuscation decrypted, damaged FILEPASS records refused. Decryption and our encrypted output
// against the independent reader: the end-to-end ProtectedWorkbooks test.
#include "crypto/BiffEncryption.h"
#include "crypto/XorObfuscation.h"
#include "support/TestPaths.h"
#include "IndependentReader.h"

#include <gtest/gtest.h>

using namespace bf;
using namespace bf::crypto;
using bf::test::compoundStream;
const auto failure = bf::test::cryptoFailure;

namespace {

std::uint16_t rd16(const QByteArray& b, qsizetype at)
{
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b[at]) | (static_cast<std::uint8_t>(b[at + 1]) << 8));
}

struct EncryptedBook {
    const char* file;
    const char* stream;
    BiffScheme scheme;
    FilepassForm form;
};

const EncryptedBook kCorpusBooks[] = {
    {"xls/sheetjs--password_2002_128_strong.xls", "Workbook", BiffScheme::Rc4CryptoApi, FilepassForm::Biff8},
    {"xls/sheetjs--password_2002_40_972000.xls", "Workbook", BiffScheme::Rc4, FilepassForm::Biff8},
    {"xls/sheetjs--password_2002_40_xor.xls", "Book", BiffScheme::Xor, FilepassForm::Biff5},
};

} // namespace

TEST(BiffDecryption, CorpusWorkbooksVerifyTheirPasswordAndRefuseOthers)
{
    for (const EncryptedBook& b : kCorpusBooks) {
        SCOPED_TRACE(b.file);
        const QByteArray stream = compoundStream(test::readFile(test::corpusFile(QString::fromLatin1(b.file))), QString::fromLatin1(b.stream));
        RecordSpan span;
        ASSERT_TRUE(findFilepass(stream, &span));
        const Filepass filepass = parseFilepass(QByteArrayView(stream).sliced(span.offset, span.size), b.form);
        EXPECT_EQ(filepass.scheme, b.scheme);
        EXPECT_TRUE(unlockFilepass(filepass, QStringLiteral("password")));
        for (const char* wrong : {"", "Password", "passwort", "VelvetSweatshop"}) {
            const auto e = failure([&] { unlockFilepass(filepass, QString::fromLatin1(wrong)); });
            ASSERT_TRUE(e) << wrong;
            EXPECT_EQ(e->status(), CryptoStatus::WrongPassword);
        }
    }
}

TEST(BiffDecryption, XorObfuscatedBiff5StreamDecryptsToItsSheetNames)
{
    const EncryptedBook& b = kCorpusBooks[2];
    QByteArray stream = compoundStream(test::readFile(test::corpusFile(QString::fromLatin1(b.file))), QStringLiteral("Book"));
    RecordSpan span;
    ASSERT_TRUE(findFilepass(stream, &span));
    auto cipher = unlockFilepass(parseFilepass(QByteArrayView(stream).sliced(span.offset, span.size), b.form), QStringLiteral("password"));
    decryptWorkbookStream(stream, *cipher, span);
    QStringList names;
    for (qsizetype at = 0; at + 4 <= stream.size(); at += 4 + rd16(stream, at + 2))
        if (rd16(stream, at) == 0x0085) // BOUNDSHEET: position, state, kind, length, name
            names << QString::fromLatin1(stream.mid(at + 4 + 7, static_cast<std::uint8_t>(stream[at + 4 + 6])));
    EXPECT_EQ(names, QStringList({QStringLiteral("Sheet1"), QStringLiteral("Sheet2"), QStringLiteral("Sheet3")}));
}

TEST(BiffDecryption, XorPasswordVerifierMatchesPublishedValue)
{
    // The published example of the verifier: "abcdefghij" gives 0xFEF1.
    EXPECT_EQ(xorob::passwordVerifier(xorob::singleBytePassword(QStringLiteral("abcdefghij"))), 0xFEF1);
}

TEST(BiffDecryption, GarbledFilepassIsRefusedWithAReason)
{
    const QByteArray stream = compoundStream(test::readFile(test::corpusFile(QString::fromLatin1(kCorpusBooks[0].file))), QStringLiteral("Workbook"));
    RecordSpan span;
    ASSERT_TRUE(findFilepass(stream, &span));
    const QByteArray payload = stream.mid(span.offset, span.size);
    for (qsizetype cut = 0; cut < payload.size(); ++cut) {
        const auto e = failure([&] { parseFilepass(payload.first(cut)); });
        ASSERT_TRUE(e) << cut;
        EXPECT_EQ(e->status(), CryptoStatus::Malformed) << cut;
        EXPECT_TRUE(e->detail().startsWith(QStringLiteral("FILEPASS"))) << e->detail().toStdString();
    }
    const auto edited = [&](qsizetype at, QByteArray bytes) { return QByteArray(payload).replace(at, bytes.size(), bytes); };
    // Type (2), version (4), flags (4), header size (4), then the header: flags, size extra, cipher, hash, key size.
    test::expectRefused({{edited(0, QByteArray("\x02\x00", 2)), CryptoStatus::Unsupported, "type 2"},
                         {edited(2, QByteArray("\x07\x00", 2)), CryptoStatus::Unsupported, "7.2"},
                         {edited(22, QByteArray("\x0e\x66", 2)), CryptoStatus::Unsupported, "0x660e"},
                         {edited(26, QByteArray("\x03\x80", 2)), CryptoStatus::Unsupported, "0x8003"},
                         {edited(30, QByteArray("\x00\x01", 2)), CryptoStatus::Malformed, "KeySize"},
                         {edited(10, QByteArray("\xff\x00", 2)), CryptoStatus::Malformed, "HeaderSize"}},
                        [](const QByteArray& p) { parseFilepass(p); });
    QByteArray cutRecord = stream.first(span.offset + 10);
    EXPECT_EQ(failure([&] { findFilepass(cutRecord, &span); })->status(), CryptoStatus::Malformed);
}
