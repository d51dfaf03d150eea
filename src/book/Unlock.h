#pragma once
// Password-protected workbooks opened: the default password tried first, then the one given,
// and the content turned into the bytes of the same workbook without protection (in memory
// only), which the engines read as they read any file. Writing the protection back on copies.
#include "book/FileKind.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <stdexcept>

namespace bf::book {

// A password that opens nothing: Needed when none was given (and the default one fails), Wrong
// when the one given fails too. Other failures (a damaged or unsupported header) are Refusals.
class PasswordRefusal : public std::runtime_error {
public:
    enum class Why { Needed, Wrong };
    PasswordRefusal(Why why, const QString& message);
    Why why() const { return why_; }
    const QString& message() const { return message_; }

private:
    Why why_;
    QString message_;
};

// How a workbook was protected, to protect its copies alike.
struct Protection {
    FileKind kind = FileKind::Unknown; // EncryptedXls or EncryptedOpenXml
    QString password;
};

struct Unlocked {
    QByteArray bytes; // an unprotected file of the same format
    Protection protection;
};

// The file's content without protection, or nothing when the file is not password-protected
// (or cannot be opened at all: the engine then refuses it for what it is). Throws
// PasswordRefusal, or Refusal (Kind) for a damaged or unsupported encryption.
std::optional<Unlocked> unlockWorkbook(const QString& path, const QString& password);

// The workbook stream's absolute stream positions (sheet list, row index, string-table index)
// at or after `from`, moved by `delta` bytes: what inserting or removing a record before them
// takes. Records cut short are left alone.
void moveStreamPositions(QByteArray& stream, std::uint64_t from, std::int64_t delta);

// An unprotected workbook file (as the engines write it) protected with the password: an .xls
// with RC4 CryptoAPI, an Open XML package with Agile encryption (AES-256, SHA-512). Throws
// Refusal when the bytes are not what the kind says.
QByteArray protectWorkbook(const QByteArray& plain, const Protection& protection, const QString& displayName);

} // namespace bf::book
