#pragma once
// Passwords as the formats hash them.
#include <QByteArray>
#include <QString>

namespace bf::crypto {

// The password a workbook carries when it is encrypted without the user choosing one; callers
// try it first, silently, before asking.
inline QString defaultPassword() { return QStringLiteral("VelvetSweatshop"); }

// The text as UTF-16LE code units: how every scheme but XOR obfuscation hashes a password.
QByteArray utf16le(const QString& text);

// Overwrites the bytes before they are released, so key material does not linger in freed
// memory. Detaches first only when shared (then the shared copy is the caller's to wipe).
void wipe(QByteArray& bytes);

// Wipes the bytes it holds when it goes out of scope.
class WipeOnExit {
public:
    explicit WipeOnExit(QByteArray& bytes) : bytes_(bytes) {}
    ~WipeOnExit() { wipe(bytes_); }
    WipeOnExit(const WipeOnExit&) = delete;
    WipeOnExit& operator=(const WipeOnExit&) = delete;

private:
    QByteArray& bytes_;
};

} // namespace bf::crypto
