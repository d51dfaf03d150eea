#pragma once
// The failures of password verification and decryption. Callers tell a wrong password (ask
// again) from a damaged or unsupported file (give up) by the status.
#include "core/StatusError.h"

namespace bf::crypto {

enum class CryptoStatus {
    WrongPassword, // the password does not match the file's verifier
    Damaged,       // the password matched but the data fails its integrity check
    Malformed,     // the encryption header cannot be read (truncated, garbled)
    Unsupported,   // a well-formed header naming a scheme or algorithm not read here
};

using CryptoError = StatusError<CryptoStatus>;

[[noreturn]] void fail(CryptoStatus status, const QString& detail);

} // namespace bf::crypto
