// Figures for the cryptography of password-protected workbooks, in-process, on synthetic data:
// the cost of the password's key derivation, and the throughput of decrypting and encrypting.
//
//   bench_crypto [MB]          (default 16)
//
//   agile key      the password check of Agile encryption at the written spin count (100000
//                  rounds of SHA-512): paid once per workbook and password tried
//   agile enc/dec  an Open XML package of MB megabytes encrypted with AES-256 (HMAC included),
//                  and decrypted back (HMAC checked), key derivation excluded
//   rc4 enc/dec    an .xls record stream of MB megabytes (8224-byte records) with RC4 CryptoAPI
#include "crypto/BiffEncryption.h"
#include "crypto/EncryptedPackage.h"
#include "crypto/Primitives.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;
using namespace bf::crypto;

template <class F>
double seconds(F&& f)
{
    const auto start = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

QByteArray recordStream(qsizetype bytes)
{
    QByteArray stream("\x09\x08\x10\x00\x00\x06\x05\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00", 20);
    const QByteArray payload = randomBytes(8224);
    while (stream.size() < bytes)
        stream += QByteArray("\x3c\x00\x20\x20", 4) + payload; // CONTINUE records
    return stream;
}

} // namespace

int main(int argc, char** argv)
{
    const int mb = argc > 1 ? std::atoi(argv[1]) : 16;
    const qsizetype size = qsizetype(mb) << 20;
    const QString password = QStringLiteral("benchmark");

    const QByteArray package = randomBytes(static_cast<int>(size));
    EncryptedPackageStreams enc;
    const double encrypt = seconds([&] { enc = encryptPackage(package, password); });
    const EncryptionInfo info = parseEncryptionInfo(enc.encryptionInfo);
    QByteArray key;
    const double unlock = seconds([&] { key = unlockPackageKey(info, password); });
    QByteArray plain;
    const double decrypt = seconds([&] { plain = decryptPackage(info, key, enc.encryptedPackage); });
    if (plain != package) {
        std::fprintf(stderr, "bench_crypto: the package did not decrypt to itself\n");
        return 1;
    }
    std::printf("agile key    %8.1f ms per password\n", unlock * 1000);
    std::printf("agile enc    %8.1f MB/s (%.1f ms per MB, key derivation included once)\n", mb / encrypt, encrypt * 1000 / mb);
    std::printf("agile dec    %8.1f MB/s (%.1f ms per MB, HMAC checked)\n", mb / decrypt, decrypt * 1000 / mb);

    QByteArray stream = recordStream(size);
    const QByteArray clear = stream;
    BiffEncryptionSetup setup = setUpRc4CryptoApi(password);
    const RecordSpan span{20, 0};
    const double rc4Enc = seconds([&] { encryptWorkbookStream(stream, *setup.cipher, span); });
    const Filepass filepass = parseFilepass(QByteArrayView(setup.filepassRecord).sliced(4));
    auto cipher = unlockFilepass(filepass, password);
    const double rc4Dec = seconds([&] { decryptWorkbookStream(stream, *cipher, span); });
    if (stream != clear) {
        std::fprintf(stderr, "bench_crypto: the record stream did not decrypt to itself\n");
        return 1;
    }
    std::printf("rc4 enc      %8.1f MB/s (%.1f ms per MB)\n", mb / rc4Enc, rc4Enc * 1000 / mb);
    std::printf("rc4 dec      %8.1f MB/s (%.1f ms per MB)\n", mb / rc4Dec, rc4Dec * 1000 / mb);
    return 0;
}
