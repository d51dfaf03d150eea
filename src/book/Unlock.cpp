#include "book/Unlock.h"

#include "book/Cfb.h"
#include "book/WorkbookFile.h"
#include "crypto/BiffEncryption.h"
#include "crypto/BiffRecords.h"
#include "crypto/CryptoError.h"
#include "crypto/EncryptedPackage.h"
#include "crypto/Password.h"

#include <QStringList>

namespace bf::book {

namespace {

using biff::rd16;
using biff::rd32;
using biff::wr32;

QString cannotOpen(const QString& path, const QString& why) { return QStringLiteral("'%1' cannot be opened: %2").arg(path, why); }

// The protected content unlocked by the default password, else by the one given.
template <class Attempt>
Unlocked withPassword(const QString& path, FileKind kind, const QString& password, Attempt attempt)
{
    QStringList candidates{crypto::defaultPassword()};
    if (!password.isEmpty() && password != crypto::defaultPassword())
        candidates << password;
    for (const QString& candidate : candidates) {
        try {
            return {attempt(candidate), {kind, candidate}};
        } catch (const crypto::CryptoError& e) {
            if (e.status() != crypto::CryptoStatus::WrongPassword)
                throw Refusal(Refusal::Why::Kind, kind, cannotOpen(path, e.detail()));
        }
    }
    if (password.isEmpty())
        throw PasswordRefusal(PasswordRefusal::Why::Needed, refusalText(path, kind));
    throw PasswordRefusal(PasswordRefusal::Why::Wrong, cannotOpen(path, QStringLiteral("wrong password")));
}

[[noreturn]] void damagedStreams(const QString& path, FileKind kind)
{
    throw Refusal(Refusal::Why::Kind, kind, cannotOpen(path, describe(kind) + QStringLiteral(", and its protected streams cannot be read")));
}

QByteArray compound(const std::vector<std::pair<QString, QByteArray>>& streams, const QString& path, FileKind kind,
                    const std::vector<CfbNode>& storages = {})
{
    std::vector<CfbOutputStream> out;
    for (const auto& [name, bytes] : streams)
        out.push_back({name, reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())});
    QString reason;
    QByteArray file = writeCompoundFile(out, &reason, storages);
    if (file.isEmpty())
        throw Refusal(Refusal::Why::Kind, kind, cannotOpen(path, reason));
    return file;
}

std::optional<Unlocked> unlockPackage(const CfbFile& cfb, const QString& path, const QString& password)
{
    QByteArray info, package;
    if (!cfb.readStream(crypto::encryptionInfoStreamName(), &info) || !cfb.readStream(crypto::encryptedPackageStreamName(), &package))
        damagedStreams(path, FileKind::EncryptedOpenXml);
    return withPassword(path, FileKind::EncryptedOpenXml, password,
                        [&](const QString& p) { return crypto::decryptPackage(info, package, p); });
}

std::optional<Unlocked> unlockBiff(const CfbFile& cfb, const QString& path, const QString& password)
{
    QString name = QStringLiteral("Workbook");
    QByteArray stream;
    if (!cfb.readStream(name, &stream) && !cfb.readStream(name = QStringLiteral("Book"), &stream))
        damagedStreams(path, FileKind::EncryptedXls);
    crypto::RecordSpan span;
    if (!crypto::findFilepass(stream, &span))
        return std::nullopt; // rights management, not a password: refused for what it is
    const auto form = stream.size() >= 6 && rd16(stream, 4) == biff::kBiff8Version ? crypto::FilepassForm::Biff8 : crypto::FilepassForm::Biff5;
    return withPassword(path, FileKind::EncryptedXls, password, [&](const QString& p) {
        QByteArray plain = stream;
        crypto::Filepass filepass = crypto::parseFilepass(QByteArrayView(plain).sliced(span.offset, span.size), form);
        crypto::decryptWorkbookStream(plain, *crypto::unlockFilepass(filepass, p), span);
        // The FILEPASS goes, and with it the summary streams (encrypted or not, they are not
        // copied): what remains is the workbook as if never protected.
        const qsizetype start = span.offset - 4, length = span.size + 4;
        plain.remove(start, length);
        moveStreamPositions(plain, std::uint64_t(start), -std::int64_t(length));
        QByteArray file = compound({{name, plain}}, path, FileKind::EncryptedXls);
        crypto::wipe(plain);
        return file;
    });
}

} // namespace

PasswordRefusal::PasswordRefusal(Why why, const QString& message)
    : std::runtime_error(message.toStdString()), why_(why), message_(message)
{
}

std::optional<Unlocked> unlockWorkbook(const QString& path, const QString& password)
{
    std::unique_ptr<CfbFile> cfb;
    FileKind kind;
    try {
        WorkbookFile file(path);
        kind = file.kind();
        if (kind != FileKind::EncryptedXls && kind != FileKind::EncryptedOpenXml)
            return std::nullopt;
        cfb = file.takeContainer();
    } catch (const Refusal&) {
        return std::nullopt;
    }
    if (!cfb)
        return std::nullopt;
    return kind == FileKind::EncryptedOpenXml ? unlockPackage(*cfb, path, password) : unlockBiff(*cfb, path, password);
}

void moveStreamPositions(QByteArray& stream, std::uint64_t from, std::int64_t delta)
{
    const auto move = [&](qsizetype at) {
        const std::uint32_t v = rd32(stream, at);
        if (v >= from)
            wr32(stream, at, std::uint32_t(std::int64_t(v) + delta));
    };
    for (qsizetype pos = 0; pos + 4 <= stream.size();) {
        const std::uint16_t type = rd16(stream, pos), size = rd16(stream, pos + 2);
        const qsizetype payload = pos + 4;
        if (payload + size > stream.size())
            break;
        if (type == biff::kBoundSheet && size >= 4)
            move(payload);
        else if (type == biff::kIndex)
            for (qsizetype i = 16; i + 4 <= size; i += 4)
                move(payload + i);
        else if (type == biff::kExtSst)
            for (qsizetype i = 2; i + 8 <= size; i += 8)
                move(payload + i);
        pos = payload + size;
    }
}

QByteArray protectWorkbook(const QByteArray& plain, const Protection& protection, const QString& displayName)
{
    if (protection.kind == FileKind::EncryptedOpenXml) {
        const auto streams = crypto::encryptPackage(plain, protection.password);
        return compound({{crypto::encryptionInfoStreamName(), streams.encryptionInfo},
                         {crypto::encryptedPackageStreamName(), streams.encryptedPackage}},
                        displayName, protection.kind);
    }
    QString reason;
    const auto cfb = CfbFile::openBytes(plain, &reason);
    QByteArray stream;
    if (!cfb || !cfb->readStream(QStringLiteral("Workbook"), &stream) || stream.size() < 8 || rd16(stream, 0) != biff::kBof || 4 + rd16(stream, 2) > stream.size())
        throw Refusal(Refusal::Why::Kind, protection.kind, cannotOpen(displayName, QStringLiteral("its workbook stream cannot be read to protect it")));
    std::vector<std::pair<QString, QByteArray>> streams;
    std::vector<CfbNode> storages;
    for (const CfbFile::Entry& e : cfb->entries()) {
        if (e.name.compare(QLatin1String("Workbook"), Qt::CaseInsensitive) == 0 || e.name.startsWith(QChar(5)))
            continue; // the property streams would show in the clear: left out
        if (e.storage) {
            CfbNode node;
            if (cfb->readStorage(e.name, &node))
                storages.push_back(std::move(node));
        } else {
            QByteArray bytes;
            if (cfb->readStream(e.name, &bytes))
                streams.push_back({e.name, bytes});
        }
    }
    crypto::BiffEncryptionSetup setup = crypto::setUpRc4CryptoApi(protection.password);
    const qsizetype at = 4 + rd16(stream, 2);
    moveStreamPositions(stream, std::uint64_t(at), setup.filepassRecord.size());
    stream.insert(at, setup.filepassRecord);
    crypto::encryptWorkbookStream(stream, *setup.cipher, {at + 4, std::uint16_t(setup.filepassRecord.size() - 4)});
    streams.insert(streams.begin(), {QStringLiteral("Workbook"), stream});
    return compound(streams, displayName, protection.kind, storages);
}

} // namespace bf::book
