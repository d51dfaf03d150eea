// The cost of password protection in a whole split, native engines: each workbook split plainly,
// then the same workbook protected with a password and split with protected outputs (decryption
// of the source, encryption of every output) and with plain ones (decryption only).
//
//   bench_protected_split [WORKBOOK...]   (default: two large corpus workbooks)
//
// Per workbook: seconds of each run, and the added seconds per MB of source over the plain split.
// Key derivation is included: Agile packages pay 100000 SHA-512 rounds per password tried and
// per output written, RC4 CryptoAPI a few hashes.
#include "automation/BackendPlugin.h"
#include "automation/SpreadsheetApplication.h"
#include "book/Unlock.h"
#include "platform/Seams.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

double splitSeconds(const QString& source, const QString& password, bool decrypt, const QString& outDir)
{
    const bf::platform::Seams seams;
    auto app = bf::automation::Backends().create(QString(), seams);
    app->setDisplayAlerts(false);
    app->setDecryptOutputs(decrypt);
    const auto start = Clock::now();
    auto book = app->workbooks().Open(source, password);
    const QString ending = QFileInfo(source).suffix();
    int n = 0;
    for (const auto& sheet : book->Worksheets()) {
        sheet->Copy();
        auto copy = app->ActiveWorkbook();
        copy->SaveAs(QStringLiteral("%1/%2.%3").arg(outDir).arg(n++).arg(ending));
        copy->Close(false);
    }
    book->Close(false);
    const double s = std::chrono::duration<double>(Clock::now() - start).count();
    QDir(outDir).removeRecursively();
    QDir().mkpath(outDir);
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    QStringList sources;
    for (int i = 1; i < argc; ++i)
        sources << QString::fromLocal8Bit(argv[i]);
    if (sources.isEmpty())
        sources << QStringLiteral(BRAKENFOLD_CORPUS_DIR "/xls/poi--57231_mixedgasreport.xls")
                << QStringLiteral(BRAKENFOLD_CORPUS_DIR "/xlsx/roo--images.xlsx");
    QTemporaryDir tmp;
    const QString out = tmp.filePath(QStringLiteral("out"));
    QDir().mkpath(out);
    const QString password = QStringLiteral("benchmark");
    std::printf("%-40s %8s %10s %10s %10s %12s %12s\n", "workbook", "MB", "plain s", "protect s", "decrypt s",
                "+s/MB prot", "+s/MB decr");
    for (const QString& source : sources) {
        QFile in(source);
        if (!in.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "bench_protected_split: cannot read %s\n", qPrintable(source));
            return 1;
        }
        const QByteArray plain = in.readAll();
        const bool openXml = !source.endsWith(QLatin1String(".xls"));
        const QString name = QFileInfo(source).fileName();
        const QString protectedPath = tmp.filePath(QStringLiteral("protected-") + name);
        QFile pf(protectedPath);
        if (!pf.open(QIODevice::WriteOnly)
            || pf.write(bf::book::protectWorkbook(plain, {openXml ? bf::book::FileKind::EncryptedOpenXml : bf::book::FileKind::EncryptedXls, password}, name)) < 0)
            return 1;
        pf.close();
        const double mb = double(plain.size()) / (1 << 20);
        const double p = splitSeconds(source, QString(), false, out);
        const double e = splitSeconds(protectedPath, password, false, out);
        const double d = splitSeconds(protectedPath, password, true, out);
        std::printf("%-40s %8.2f %10.3f %10.3f %10.3f %12.3f %12.3f\n", qPrintable(name.left(40)), mb, p, e, d,
                    (e - p) / mb, (d - p) / mb);
    }
    return 0;
}
