#include "crypto/Password.h"

#include "crypto/CryptoError.h"

#include <cstring>
#include <string.h>

namespace bf::crypto {

void fail(CryptoStatus status, const QString& detail)
{
    throw CryptoError(status, detail);
}

QByteArray utf16le(const QString& password)
{
    QByteArray out(password.size() * 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < password.size(); ++i) {
        const char16_t unit = password.at(i).unicode();
        out[2 * i] = static_cast<char>(unit & 0xff);
        out[2 * i + 1] = static_cast<char>(unit >> 8);
    }
    return out;
}

void wipe(QByteArray& bytes)
{
    if (bytes.isEmpty())
        return;
    if (!bytes.isDetached()) {
        bytes = QByteArray();
        return;
    }
    explicit_bzero(bytes.data(), static_cast<std::size_t>(bytes.size()));
    bytes.clear();
}

} // namespace bf::crypto
