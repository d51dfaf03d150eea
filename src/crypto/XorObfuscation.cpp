#include "crypto/XorObfuscation.h"

namespace bf::crypto::xorob {
namespace {

constexpr std::uint16_t kInitialCode[15] = {0xE1F0, 0x1D0F, 0xCC9C, 0x84C0, 0x110C, 0x0E10, 0xF1CE, 0x313E,
                                            0x1872, 0xE139, 0xD40F, 0x84F9, 0x280C, 0xA96A, 0x4EC3};

constexpr std::uint16_t kXorMatrix[105] = {
    0xAEFC, 0x4DD9, 0x9BB2, 0x2745, 0x4E8A, 0x9D14, 0x2A09, 0x7B61, 0xF6C2, 0xFDA5, 0xEB6B, 0xC6F7, 0x9DCF, 0x2BBF,
    0x4563, 0x8AC6, 0x05AD, 0x0B5A, 0x16B4, 0x2D68, 0x5AD0, 0x0375, 0x06EA, 0x0DD4, 0x1BA8, 0x3750, 0x6EA0, 0xDD40,
    0xD849, 0xA0B3, 0x5147, 0xA28E, 0x553D, 0xAA7A, 0x44D5, 0x6F45, 0xDE8A, 0xAD35, 0x4A4B, 0x9496, 0x390D, 0x721A,
    0xEB23, 0xC667, 0x9CEF, 0x29FF, 0x53FE, 0xA7FC, 0x5FD9, 0x47D3, 0x8FA6, 0x0F6D, 0x1EDA, 0x3DB4, 0x7B68, 0xF6D0,
    0xB861, 0x60E3, 0xC1C6, 0x93AD, 0x377B, 0x6EF6, 0xDDEC, 0x45A0, 0x8B40, 0x06A1, 0x0D42, 0x1A84, 0x3508, 0x6A10,
    0xAA51, 0x4483, 0x8906, 0x022D, 0x045A, 0x08B4, 0x1168, 0x76B4, 0xED68, 0xCAF1, 0x85C3, 0x1BA7, 0x374E, 0x6E9C,
    0x3730, 0x6E60, 0xDCC0, 0xA9A1, 0x4363, 0x86C6, 0x1DAD, 0x3331, 0x6662, 0xCCC4, 0x89A9, 0x0373, 0x06E6, 0x0DCC,
    0x1021, 0x2042, 0x4084, 0x8108, 0x1231, 0x2462, 0x48C4};

constexpr std::uint8_t kPad[15] = {0xBB, 0xFF, 0xFF, 0xBA, 0xFF, 0xFF, 0xB9, 0x80, 0x00, 0xBE, 0x0F, 0x00, 0xBF, 0x0F, 0x00};

std::uint8_t xorRor(std::uint8_t a, std::uint8_t b)
{
    const std::uint8_t v = a ^ b;
    return static_cast<std::uint8_t>((v >> 1) | (v << 7));
}

} // namespace

QByteArray singleBytePassword(const QString& password)
{
    QByteArray out;
    for (qsizetype i = 0; i < password.size() && out.size() < 15; ++i) {
        const char16_t unit = password.at(i).unicode();
        const std::uint8_t low = unit & 0xff;
        out.append(static_cast<char>(low != 0 ? low : unit >> 8));
    }
    return out;
}

std::uint16_t passwordVerifier(const QByteArray& password)
{
    std::uint16_t verifier = 0;
    QByteArray bytes = QByteArray(1, static_cast<char>(password.size())) + password;
    for (qsizetype i = bytes.size() - 1; i >= 0; --i) {
        const std::uint16_t high = (verifier & 0x4000) ? 1 : 0;
        verifier = static_cast<std::uint16_t>((((verifier << 1) & 0x7fff) | high) ^ static_cast<std::uint8_t>(bytes[i]));
    }
    return verifier ^ 0xCE4B;
}

std::uint16_t xorKey(const QByteArray& password)
{
    std::uint16_t key = kInitialCode[password.size() - 1];
    int element = 0x68;
    for (qsizetype i = password.size() - 1; i >= 0; --i) {
        std::uint8_t c = static_cast<std::uint8_t>(password[i]);
        for (int bit = 0; bit < 7; ++bit, --element) {
            if (c & 0x40)
                key ^= kXorMatrix[element];
            c = static_cast<std::uint8_t>(c << 1);
        }
    }
    return key;
}

std::array<std::uint8_t, 16> xorArray(const QByteArray& password)
{
    const std::uint16_t key = xorKey(password);
    const std::uint8_t high = key >> 8, low = key & 0xff;
    const auto pw = [&](qsizetype i) { return static_cast<std::uint8_t>(password[i]); };
    std::array<std::uint8_t, 16> a{};
    qsizetype index = password.size();
    if (index % 2 == 1) {
        a[index] = xorRor(kPad[0], high);
        --index;
        a[index] = xorRor(pw(password.size() - 1), low);
    }
    while (index > 0) {
        --index;
        a[index] = xorRor(pw(index), high);
        --index;
        a[index] = xorRor(pw(index), low);
    }
    qsizetype at = 15;
    qsizetype pad = 15 - password.size();
    while (pad > 0) {
        a[at--] = xorRor(kPad[pad--], high);
        a[at--] = xorRor(kPad[pad--], low);
    }
    return a;
}

} // namespace bf::crypto::xorob
