// libFuzzer target: the encryption headers of password-protected workbooks and the decryption
// they lead to.
//
// A compound file is taken apart and its EncryptionInfo, EncryptedPackage and workbook streams
// are read as a reader of such a file reads them; any other input is read as an EncryptionInfo
// stream and as a FILEPASS payload of both forms. Any input may be refused with a CryptoError;
// nothing else is allowed: no crash, no sanitizer report, no other exception.
#include "crypto/BiffEncryption.h"
#include "crypto/EncryptedPackage.h"
#include "book/Cfb.h"

#include <cstddef>
#include <cstdint>

namespace {

using namespace bf::crypto;

// Key derivation repeats a hash this many times at most here, to keep inputs fast.
constexpr std::uint32_t kMaxFuzzSpinCount = 1000;

void package(QByteArrayView info, QByteArrayView encrypted)
{
    try {
        const EncryptionInfo parsed = parseEncryptionInfo(info);
        if (parsed.kind == EncryptionInfo::Kind::Agile && parsed.agile.password.spinCount > kMaxFuzzSpinCount)
            return;
        const QByteArray key = unlockPackageKey(parsed, QStringLiteral("password"));
        decryptPackage(parsed, key, encrypted);
    } catch (const CryptoError&) {
    }
}

void workbookStream(QByteArray stream, FilepassForm form)
{
    try {
        RecordSpan span;
        if (!findFilepass(stream, &span))
            return;
        const Filepass filepass = parseFilepass(QByteArrayView(stream).sliced(span.offset, span.size), form);
        auto cipher = unlockFilepass(filepass, QStringLiteral("password"));
        decryptWorkbookStream(stream, *cipher, span);
    } catch (const CryptoError&) {
    }
}

void filepass(QByteArrayView payload, FilepassForm form)
{
    try {
        const Filepass f = parseFilepass(payload, form);
        unlockFilepass(f, QStringLiteral("password"));
    } catch (const CryptoError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (!bytes.startsWith("\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1")) {
        package(bytes, bytes);
        filepass(bytes, FilepassForm::Biff8);
        filepass(bytes, FilepassForm::Biff5);
        return 0;
    }
    QString reason;
    const auto cfb = bf::book::CfbFile::openBytes(bytes, &reason);
    if (!cfb)
        return 0;
    QByteArray info, encrypted, stream;
    if (cfb->readStream(encryptionInfoStreamName(), &info)) {
        cfb->readStream(encryptedPackageStreamName(), &encrypted);
        package(info, encrypted);
    }
    if (cfb->readStream(QStringLiteral("Workbook"), &stream))
        workbookStream(stream, FilepassForm::Biff8);
    else if (cfb->readStream(QStringLiteral("Book"), &stream))
        workbookStream(stream, FilepassForm::Biff5);
    return 0;
}
