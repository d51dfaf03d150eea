// Workbooks another writer (LibreOffice) protected with a non-ASCII password and with the
// default password: both kinds open with their password, decrypt as the independent reader
// decrypts them, and refuse another password.
#include "crypto/BiffEncryption.h"
#include "crypto/EncryptedPackage.h"
#include "crypto/Password.h"
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

namespace {

bool refusedAsWrong(const std::function<void()>& call)
{
    const auto e = bf::test::cryptoFailure(call);
    return e && e->status() == CryptoStatus::WrongPassword;
}

} // namespace

TEST(OtherWriter, LibreOfficeProtectedWorkbooksOpenWithTheirPassword)
{
    const QStringList passwords{QStringLiteral("Pässwörd ✓ 密码"), defaultPassword()};
    test::TempDir dir;
    QProcess make;
    make.start(test::python(), {test::sourceDir() + QStringLiteral("/tests/crypto/make_encrypted.py"), dir.path(),
                                dir.write(QStringLiteral("passwords"), passwords.join('\n').toUtf8())});
    ASSERT_TRUE(make.waitForFinished(300000));
    ASSERT_EQ(make.exitCode(), 0) << make.readAllStandardError().toStdString();

    for (int n = 0; n < passwords.size(); ++n) {
        const QString& password = passwords[n];
        SCOPED_TRACE(password.toStdString());

        const QString xlsx = dir.file(QStringLiteral("%1.xlsx").arg(n));
        const QByteArray file = test::readFile(xlsx);
        const QByteArray info = compoundStream(file, encryptionInfoStreamName());
        const QByteArray package = compoundStream(file, encryptedPackageStreamName());
        EXPECT_EQ(decryptPackage(info, package, password), decryptIndependently(xlsx, password).bytes);
        EXPECT_TRUE(refusedAsWrong([&] { decryptPackage(info, package, password.left(password.size() - 1)); }));

        const QString xls = dir.file(QStringLiteral("%1.xls").arg(n));
        QByteArray stream = compoundStream(test::readFile(xls), QStringLiteral("Workbook"));
        RecordSpan span;
        ASSERT_TRUE(findFilepass(stream, &span));
        const Filepass filepass = parseFilepass(QByteArrayView(stream).sliced(span.offset, span.size));
        EXPECT_TRUE(refusedAsWrong([&] { unlockFilepass(filepass, password.toUpper()); }));
        decryptWorkbookStream(stream, *unlockFilepass(filepass, password), span);
        QByteArray theirs = compoundStream(decryptIndependently(xls, password).bytes, QStringLiteral("Workbook"));
        // The independent reader blanks the FILEPASS record; the rest must be the same bytes.
        theirs.replace(span.offset - 4, 4 + span.size, stream.mid(span.offset - 4, 4 + span.size));
        EXPECT_EQ(stream, theirs);
        EXPECT_TRUE(stream.contains(QStringLiteral("workbook %1").arg(n).toLatin1()));
    }
}
