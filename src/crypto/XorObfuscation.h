#pragma once
// XOR obfuscation of .xls workbooks: the key, verifier and 16-byte array derived from the
// password's single-byte form (at most 15 characters).
#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

namespace bf::crypto::xorob {

// Each character's low byte, or its high byte when the low one is zero; at most 15.
QByteArray singleBytePassword(const QString& password);
std::uint16_t passwordVerifier(const QByteArray& password);
// Requires a non-empty password.
std::uint16_t xorKey(const QByteArray& password);
std::array<std::uint8_t, 16> xorArray(const QByteArray& password);

} // namespace bf::crypto::xorob
