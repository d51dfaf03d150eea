#pragma once
// The tests' independent decryption (msoffcrypto-tool through Debian's Python), the streams
// of a compound file, and the check of a table of refused inputs.
#include "support/TempDir.h"
#include "support/TestPaths.h"
#include "support/Thrown.h"
#include "book/Cfb.h"
#include "crypto/CryptoError.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace bf::test {

struct IndependentResult {
    int exitCode = -1;
    QByteArray bytes; // the decrypted file
};

inline IndependentResult decryptIndependently(const QString& path, const QString& password, bool checked = true)
{
    TempDir dir;
    const QString passwordFile = dir.write(QStringLiteral("password"), password.toUtf8());
    const QString out = dir.file(QStringLiteral("plain"));
    QProcess p;
    QStringList args{sourceDir() + QStringLiteral("/tests/crypto/msoffcrypto_decrypt.py"), path, passwordFile, out};
    if (!checked)
        args << QStringLiteral("--unchecked");
    p.start(python(), args);
    const bool ended = p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit;
    if (!ended || (p.exitCode() != 0 && p.exitCode() != 3))
        ADD_FAILURE() << "msoffcrypto-tool failed on " << path.toStdString() << ": " << p.readAllStandardError().toStdString();
    return {ended ? p.exitCode() : -1, readFile(out)};
}

inline QByteArray compoundStream(const QByteArray& file, const QString& name)
{
    QString reason;
    const auto cfb = book::CfbFile::openBytes(file, &reason);
    QByteArray out;
    if (!cfb || !cfb->readStream(name, &out))
        ADD_FAILURE() << "no stream " << name.toStdString() << ": " << reason.toStdString();
    return out;
}

inline QByteArray compoundFile(const std::vector<std::pair<QString, QByteArray>>& streams)
{
    std::vector<book::CfbOutputStream> out;
    for (const auto& [name, bytes] : streams)
        out.push_back({name, reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())});
    QString reason;
    const QByteArray file = book::writeCompoundFile(out, &reason);
    EXPECT_FALSE(file.isEmpty()) << reason.toStdString();
    return file;
}

inline std::optional<crypto::CryptoError> cryptoFailure(const std::function<void()>& call)
{
    return thrown<crypto::CryptoError>(call);
}

// Bytes a parser must refuse with this status and a message naming what is wrong.
struct Refusal {
    QByteArray bytes;
    crypto::CryptoStatus status;
    const char* named;
};

inline void expectRefused(const std::vector<Refusal>& cases, const std::function<void(const QByteArray&)>& parse)
{
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.named);
        const auto e = cryptoFailure([&] { parse(c.bytes); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->status(), c.status) << e->detail().toStdString();
        EXPECT_TRUE(e->detail().contains(QLatin1String(c.named))) << e->detail().toStdString();
    }
}

} // namespace bf::test
