// Password-protected workbooks through the native backend, from the corpus and made by
// LibreOffice with the default and a non-ASCII password.
#include "ProtectedCheck.h"

namespace bf::test {

namespace {
void checkNative(const Protected& source)
{
    automation::Backends backends;
    checkProtectedWorkbook(source, backends, QString());
}
} // namespace

TEST(ProtectedWorkbooks, CorpusWorkbooksOpenWithTheirPasswordAndTheirCopiesStayProtected)
{
    const Protected corpus[] = {
        {corpusFile("xls/sheetjs--password_2002_128_strong.xls"), "password"},  // RC4 CryptoAPI
        {corpusFile("xls/sheetjs--password_2002_40_972000.xls"), "password"},   // RC4
        {corpusFile("xlsx/calamine--pass_protected.xlsx"), "123"},              // Agile
        {corpusFile("xlsx/excelize--encryptaes.xlsx"), "password"},             // Standard
    };
    for (const Protected& source : corpus)
        checkNative(source);
}

TEST(ProtectedWorkbooks, LibreOfficeProtectedWorkbooksWithTheDefaultAndANonAsciiPassword)
{
    const QStringList passwords{QStringLiteral("Pässwörd ✓ 密码"), QStringLiteral("VelvetSweatshop")};
    TempDir dir;
    QProcess make;
    make.start(python(), {sourceDir() + QStringLiteral("/tests/crypto/make_encrypted.py"), dir.path(),
                          dir.write(QStringLiteral("passwords"), passwords.join('\n').toUtf8())});
    ASSERT_TRUE(make.waitForFinished(300000));
    ASSERT_EQ(make.exitCode(), 0) << make.readAllStandardError().toStdString();
    for (int n = 0; n < passwords.size(); ++n)
        for (const char* ending : {".xls", ".xlsx"})
            checkNative({dir.file(QString::number(n) + ending), passwords[n]});
}

} // namespace bf::test
