// Password-protected .xls workbooks: the corpus files' FILEPASS schemes verified and their
// record streams decrypted as the independent reader decrypts them, and our RC4 CryptoAPI
// output read back by our reader, the independent reader and xlrd.
#include "crypto/BiffEncryption.h"
#include "crypto/XorObfuscation.h"
#include "support/TempDir.h"
#include "support/TestPaths.h"
#include "IndependentReader.h"

#include <QProcess>
#include <gtest/gtest.h>

using namespace bf;
using namespace bf::crypto;
using bf::test::compoundFile;
using bf::test::compoundStream;
using bf::test::decryptIndependently;
const auto failure = bf::test::cryptoFailure;

namespace {

std::uint16_t rd16(const QByteArray& b, qsizetype at)
{
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b[at]) | (static_cast<std::uint8_t>(b[at + 1]) << 8));
}

// The end of the last record that the stream holds whole.
qsizetype wholeRecordsEnd(const QByteArray& stream)
{
    qsizetype at = 0;
    while (stream.size() - at >= 4 && stream.size() - at - 4 >= rd16(stream, at + 2))
        at += 4 + rd16(stream, at + 2);
    return at;
}

// The FILEPASS record blanked (type 0, zero payload), as the independent reader leaves it.
QByteArray blankFilepass(QByteArray stream, const RecordSpan& filepass)
{
    stream.replace(filepass.offset - 4, 2, QByteArray(2, '\0'));
    stream.replace(filepass.offset, filepass.size, QByteArray(filepass.size, '\0'));
    return stream;
}

QString xlsDump(const QString& path)
{
    QProcess p;
    p.start(test::python(), {test::sourceDir() + QStringLiteral("/tests/crypto/xls_dump.py"), path});
    p.waitForFinished(120000);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput());
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

TEST(BiffDecryption, Rc4StreamsDecryptAsTheIndependentReaderDoes)
{
    for (const EncryptedBook& b : kCorpusBooks) {
        if (b.scheme == BiffScheme::Xor)
            continue; // the independent reader has no XOR obfuscation
        SCOPED_TRACE(b.file);
        const QByteArray file = test::readFile(test::corpusFile(QString::fromLatin1(b.file)));
        QByteArray stream = compoundStream(file, QStringLiteral("Workbook"));
        RecordSpan span;
        ASSERT_TRUE(findFilepass(stream, &span));
        auto cipher = unlockFilepass(parseFilepass(QByteArrayView(stream).sliced(span.offset, span.size)), QStringLiteral("password"));
        // The independent reader stops at bytes after the last whole record: it gets the
        // whole records, whose keystream does not depend on what follows.
        const QByteArray whole = stream.first(wholeRecordsEnd(stream));
        test::TempDir dir;
        const QString trimmed = dir.write(QStringLiteral("in.xls"), compoundFile({{QStringLiteral("Workbook"), whole}}));
        const auto theirs = decryptIndependently(trimmed, QStringLiteral("password"));
        ASSERT_EQ(theirs.exitCode, 0);

        decryptWorkbookStream(stream, *cipher, span);
        EXPECT_EQ(blankFilepass(stream, span).first(whole.size()), compoundStream(theirs.bytes, QStringLiteral("Workbook")));
        const QString decrypted = dir.write(QStringLiteral("plain.xls"), compoundFile({{QStringLiteral("Workbook"), blankFilepass(stream, span)}}));
        EXPECT_TRUE(xlsDump(decrypted).startsWith(QStringLiteral("sheet 'Sheet1'"))) << xlsDump(decrypted).toStdString();
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

TEST(BiffEncryption, OurRc4CryptoApiStreamReadsBackEverywhere)
{
    const QString source = test::corpusFile(QStringLiteral("xls/poi--27394.xls"));
    const QByteArray plain = compoundStream(test::readFile(source), QStringLiteral("Workbook"));
    const QString password = QStringLiteral("Ünïcode ✓");
    BiffEncryptionSetup setup = setUpRc4CryptoApi(password);

    // The FILEPASS goes after the first BOF; the sheets' stream positions move by its size.
    const qsizetype afterBof = 4 + rd16(plain, 2);
    QByteArray stream = plain.first(afterBof) + setup.filepassRecord + plain.sliced(afterBof);
    const auto shift = static_cast<std::uint32_t>(setup.filepassRecord.size());
    for (qsizetype at = 0; at + 4 <= stream.size(); at += 4 + rd16(stream, at + 2)) {
        if (rd16(stream, at) != 0x0085)
            continue;
        std::uint32_t pos = 0;
        memcpy(&pos, stream.constData() + at + 4, 4);
        pos += shift;
        memcpy(stream.data() + at + 4, &pos, 4);
    }
    const QByteArray clear = stream;
    const RecordSpan span{afterBof + 4, static_cast<std::uint16_t>(setup.filepassRecord.size() - 4)};
    encryptWorkbookStream(stream, *setup.cipher, span);
    EXPECT_NE(stream, clear);

    RecordSpan found;
    ASSERT_TRUE(findFilepass(stream, &found));
    EXPECT_EQ(found.offset, span.offset);
    const Filepass filepass = parseFilepass(QByteArrayView(stream).sliced(found.offset, found.size));
    EXPECT_EQ(filepass.scheme, BiffScheme::Rc4CryptoApi);
    EXPECT_EQ(failure([&] { unlockFilepass(filepass, QStringLiteral("Unicode ✓")); })->status(), CryptoStatus::WrongPassword);
    QByteArray ours = stream;
    decryptWorkbookStream(ours, *unlockFilepass(filepass, password), found);
    EXPECT_EQ(ours, clear);

    test::TempDir dir;
    const QString encrypted = dir.write(QStringLiteral("enc.xls"), compoundFile({{QStringLiteral("Workbook"), stream}}));
    const auto theirs = decryptIndependently(encrypted, password);
    ASSERT_EQ(theirs.exitCode, 0);
    EXPECT_EQ(compoundStream(theirs.bytes, QStringLiteral("Workbook")), blankFilepass(clear, span));
    EXPECT_EQ(decryptIndependently(encrypted, QStringLiteral("Unicode")).exitCode, 3);
    EXPECT_EQ(xlsDump(dir.write(QStringLiteral("dec.xls"), theirs.bytes)), xlsDump(source));
}
