// The command-line split of password-protected workbooks, as the real program: passwords come
// from a file (never the command line), a workbook no password opens is named and not split,
// outputs keep their source's protection or are plain with --decrypt, and neither a password
// nor a decrypted package reaches the disk outside the protected outputs.
#include "automation/ProtectedCheck.h"
#include "book/Unlock.h"
#include "support/RunProgram.h"

using namespace bf;

namespace {

const QString kPassword = QStringLiteral("Zq7-Pässwort ✓");

// The split with TMPDIR at tmp.
test::Outcome runSplit(const QStringList& args, const QString& tmp)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TMPDIR"), tmp);
    return test::runProgram(QStringLiteral("brakenfold-split"), args, tmp, env);
}

// The files under folder with this ending, as full paths.
QStringList filesUnder(const QString& folder, const QString& ending = QString())
{
    QStringList files;
    for (const QString& f : test::filesUnder(folder))
        if (f.endsWith(ending))
            files << folder + '/' + f;
    return files;
}

// The files under the folders holding a password or a plain package.
QStringList leaks(const QStringList& folders)
{
    const QByteArray utf16(reinterpret_cast<const char*>(kPassword.utf16()), kPassword.size() * 2);
    QStringList found;
    for (const QString& folder : folders)
        for (const QString& f : filesUnder(folder)) {
            const QByteArray bytes = test::readFile(f);
            if (bytes.contains(kPassword.toUtf8()) || bytes.contains(utf16) || bytes.contains("PK\x03\x04"))
                found << f;
        }
    return found;
}

} // namespace

TEST(ProtectedSplit, PasswordsFromAFileKeepEveryOutputProtectedAndNothingPlainReachesTheDisk)
{
    test::TempDir sources, out, tmp, plainOut;
    // Sources protected with a password of the test's own, to find it on disk.
    const struct {
        const char* corpus;
        book::FileKind kind;
        const char* name;
    } made[] = {{"xlsx/poi--55906-multisheetrefs.xlsx", book::FileKind::EncryptedOpenXml, "protected.xlsx"},
                {"xls/calamine--issue127.xls", book::FileKind::EncryptedXls, "protected.xls"}};
    QStringList paths;
    for (const auto& m : made)
        paths << sources.write(QString::fromLatin1(m.name),
                               book::protectWorkbook(test::readFile(test::corpusFile(QString::fromLatin1(m.corpus))),
                                                     {m.kind, kPassword}, QString::fromLatin1(m.name)));
    const QString passwords = sources.write(QStringLiteral("passwords"), "wrong\r\n" + kPassword.toUtf8() + "\n");

    const test::Outcome none = runSplit(QStringList{"-o", out.path()} + paths, tmp.path());
    EXPECT_EQ(none.exitCode, 1) << none.err.toStdString();
    EXPECT_TRUE(none.err.contains(paths[0]) && none.err.contains("password-protected")) << none.err.toStdString();
    EXPECT_TRUE(filesUnder(out.path(), ".xlsx").isEmpty());

    const test::Outcome run = runSplit(QStringList{"--password-file", passwords, "-o", out.path()} + paths, tmp.path());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    for (const char* ending : {".xlsx", ".xls"})
        EXPECT_EQ(test::outputFaults({paths[QLatin1String(ending) == QLatin1String(".xls")], kPassword}, filesUnder(out.path(), QString::fromLatin1(ending)), false).toStdString(), "");
    EXPECT_EQ(leaks({out.path(), tmp.path()}), QStringList());

    const test::Outcome plain = runSplit(QStringList{"--decrypt", "--password-file", passwords, "-o", plainOut.path()} + paths, tmp.path());
    ASSERT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    for (const char* ending : {".xlsx", ".xls"})
        EXPECT_EQ(test::outputFaults({paths[QLatin1String(ending) == QLatin1String(".xls")], kPassword}, filesUnder(plainOut.path(), QString::fromLatin1(ending)), true).toStdString(), "");
}
