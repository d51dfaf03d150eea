#include "startup/clsSetting.h"

#include "platform/AtomicFile.h"
#include "core/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace bf {

namespace {
const char16_t kEquals = u'=';

void appendUtf16Le(QByteArray& out, const QString& text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        out.append(static_cast<char>(u & 0xFF));
        out.append(static_cast<char>(u >> 8));
    }
}
} // namespace

clsSetting::clsSetting(const QString& filePath, const platform::Seams& seams, const QString& writePath)
    : filePath_(filePath), writePath_(writePath.isEmpty() ? filePath : writePath), seams_(seams)
{
    if (ReadConfigFile(filePath_) != kDone)
        seams_.msgBox(QStringLiteral("Can't Read Setting from config file"));
}

clsSetting::~clsSetting()
{
    try {
        if (WriteConfigFile(writePath_) != kDone)
            seams_.msgBox(QStringLiteral("Can't Write Setting to config file"));
    } catch (...) {
        // A destructor must not throw; the report above is all the user can be told.
    }
}

int clsSetting::indexOf(const QString& key) const
{
    for (std::size_t i = 0; i < table_.size(); ++i)
        if (table_[i].first == key)
            return static_cast<int>(i);
    return -1;
}

std::int32_t clsSetting::GetSetting(const QString& KeyName, QString& retValue) const
{
    const int i = indexOf(KeyName);
    if (i < 0)
        return kKeyMissing;
    retValue = table_[static_cast<std::size_t>(i)].second;
    return kDone;
}

std::int32_t clsSetting::SetSetting(const QString& KeyName, const QString& value)
{
    const int i = indexOf(KeyName);
    if (i < 0)
        return kKeyMissing;
    table_[static_cast<std::size_t>(i)].second = value;
    return kDone;
}

std::int32_t clsSetting::ReadConfigFile(const QString& path)
{
    QFileInfo info(path);
    if (!info.exists() || info.isDir())
        throw Error(err::FileNotFound, standardDescription(err::FileNotFound));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(err::PermissionDenied, standardDescription(err::PermissionDenied));
    const QByteArray bytes = file.readAll();

    // UTF-16LE units; a leading byte-order mark is skipped. An odd last byte is no character.
    qsizetype pos = 0;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE)
        pos = 2;
    const qsizetype end = bytes.size() - (bytes.size() - pos) % 2;
    auto unitAt = [&](qsizetype p) {
        return static_cast<char16_t>(static_cast<unsigned char>(bytes[p]) |
                                     (static_cast<unsigned char>(bytes[p + 1]) << 8));
    };

    while (pos < end) {
        const qsizetype lineStart = pos;
        QString line;
        bool ended = false;
        while (pos < end) {
            const char16_t u = unitAt(pos);
            if (u == u'\n') { // a lone line feed also ends a line
                pos += 2;
                ended = true;
                break;
            }
            if (u == u'\r' && pos + 2 < end && unitAt(pos + 2) == u'\n') {
                pos += 4;
                ended = true;
                break;
            }
            line.append(QChar(u));
            pos += 2;
        }
        (void)ended;
        if (line.isEmpty())
            continue;
        const qsizetype eq = line.indexOf(QChar(kEquals));
        if (eq < 0) {
            unreadTail_ = bytes.mid(lineStart);
            return kStoppedAtMalformedLine;
        }
        const QString key = line.left(eq);
        const QString value = line.mid(eq + 1);
        const int i = indexOf(key);
        if (i >= 0)
            table_[static_cast<std::size_t>(i)].second = value;
        else
            table_.emplace_back(key, value);
    }
    return kDone;
}

std::int32_t clsSetting::WriteConfigFile(const QString& path)
{
    // The user's own copy is made at its first write-back. Any other file must still be there
    // and not carry the read-only attribute (the owner's write bit), whoever runs the program.
    const QFileInfo info(path);
    if (path != filePath_ && !info.exists()) {
        if (!QDir().mkpath(info.absolutePath()))
            return kKeyMissing;
    } else if (!info.exists() || info.isDir() || !(QFile::permissions(path) & QFileDevice::WriteOwner)) {
        return kKeyMissing;
    }
    QByteArray out;
    out.append('\xFF');
    out.append('\xFE');
    for (const auto& [key, value] : table_) {
        appendUtf16Le(out, key);
        appendUtf16Le(out, QStringLiteral("="));
        appendUtf16Le(out, value);
        appendUtf16Le(out, QStringLiteral("\r\n"));
    }
    // Lines not read because reading stopped early go back exactly as they were.
    out.append(unreadTail_);
    QString error;
    return platform::writeFileAtomically(path, out, &error, seams_.writeFault) ? kDone : kKeyMissing;
}

} // namespace bf
