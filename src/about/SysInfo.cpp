#include "about/SysInfo.h"

#include "core/Error.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <array>

namespace bf::about {

namespace {

platform::RegistrySeam& registry(const platform::Seams& seams)
{
    platform::RegistrySeam* r = seams.registry;
    if (!r)
        throw Error(err::ObjectVariableNotSet, QStringLiteral("no registry is available"));
    return *r;
}

// Closes the opened key however the read ends.
class KeyGuard {
public:
    KeyGuard(platform::RegistrySeam& reg, platform::RegistrySeam::Handle key) : reg_(reg), key_(key) {}
    ~KeyGuard() { reg_.closeKey(key_); }
    KeyGuard(const KeyGuard&) = delete;
    KeyGuard& operator=(const KeyGuard&) = delete;

private:
    platform::RegistrySeam& reg_;
    platform::RegistrySeam::Handle key_;
};

} // namespace

bool GetKeyValue(const platform::Seams& seams, std::uint32_t KeyRoot, const QString& KeyName, const QString& SubKeyRef, QString& KeyVal)
{
    platform::RegistrySeam& reg = registry(seams);
    platform::RegistrySeam::Handle key = 0;
    // Reading needs no more than read access; asking for full access fails for ordinary users.
    if (reg.openKey(KeyRoot, KeyName, platform::KEY_READ_ACCESS, &key) != platform::REG_SUCCESS) {
        KeyVal.clear();
        return false;
    }
    KeyGuard guard(reg, key);

    std::array<unsigned char, kKeyValueBufferSize> buffer{};
    std::uint32_t type = 0;
    std::uint32_t size = kKeyValueBufferSize;
    if (reg.queryValue(key, SubKeyRef, &type, buffer.data(), &size) != platform::REG_SUCCESS) {
        KeyVal.clear();
        return false;
    }
    // Never trust the reported count beyond the room we gave.
    if (size > kKeyValueBufferSize) {
        KeyVal.clear();
        return false;
    }
    if (size == 0)
        throw Error(err::InvalidProcedureCall,
                    QStringLiteral("the registry value %1 of %2 holds no data").arg(SubKeyRef, KeyName));

    QByteArray bytes(reinterpret_cast<const char*>(buffer.data()), static_cast<qsizetype>(size));
    if (bytes.endsWith('\0'))
        bytes.chop(1);

    switch (type) {
    case platform::REG_SZ_TYPE:
        KeyVal = QString::fromLocal8Bit(bytes);
        break;
    case platform::REG_DWORD_TYPE: {
        QString literal = QStringLiteral("&h");
        for (qsizetype i = bytes.size() - 1; i >= 0; --i)
            literal += QStringLiteral("%1").arg(static_cast<unsigned char>(bytes[i]), 2, 16, QLatin1Char('0')).toUpper();
        KeyVal = literal;
        break;
    }
    default:
        break; // other kinds of value are not text: KeyVal keeps what it held
    }
    return true;
}

void StartSysInfo(const platform::Seams& seams)
{
    try {
        QString path;
        if (!GetKeyValue(seams, platform::HKEY_LOCAL_MACHINE_ROOT, QString::fromLatin1(kSysInfoPathKey),
                         QString::fromLatin1(kSysInfoPathValue), path)) {
            QString folder;
            if (!GetKeyValue(seams, platform::HKEY_LOCAL_MACHINE_ROOT, QString::fromLatin1(kSysInfoFolderKey),
                             QString::fromLatin1(kSysInfoFolderValue), folder))
                throw Error(err::FileNotFound, QStringLiteral("System Information is not registered"));
            const QString candidate = folder + QDir::separator() + QString::fromLatin1(kSysInfoProgramName);
            const QFileInfo info(candidate);
            if (!info.isFile() || info.isHidden())
                throw Error(err::FileNotFound, QStringLiteral("File not found: %1").arg(candidate));
            path = candidate;
        }
        if (path.isEmpty())
            throw Error(err::InvalidProcedureCall, QStringLiteral("empty command line"));
        platform::ShellSeam* shell = seams.shell;
        if (!shell)
            throw Error(err::ObjectVariableNotSet, QStringLiteral("no shell is available"));
        // The path text unchanged is the whole command line.
        if (!shell->startProgram(path, {}))
            throw Error(err::FileNotFound, QStringLiteral("File not found: %1").arg(path));
    } catch (...) {
        seams.msgBox(QString::fromLatin1(kSysInfoUnavailable), platform::MsgButtons::Ok);
    }
}

} // namespace bf::about
