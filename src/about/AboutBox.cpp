#include "about/AboutBox.h"

#include "core/Error.h"

#include <QFile>
#include <QFileInfo>

namespace bf::about {

namespace {
QString requireBesideProgram(const platform::Seams& seams, const QString& relative)
{
    const QString path = platform::resolveBesideProgram(seams, relative);
    if (!QFileInfo(path).isFile())
        throw Error(err::FileNotFound, QStringLiteral("File not found: %1").arg(path));
    return path;
}

std::uint16_t le16(const QByteArray& b, qsizetype at)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      (static_cast<unsigned char>(b[at + 1]) << 8));
}
} // namespace

AboutTexts LoadAboutTexts(const platform::Seams& seams, const QString& mainCaption)
{
    AboutTexts t;
    const platform::AppInfoSeam& app = seams.app();
    t.caption = QStringLiteral("About ") + app.title();
    t.version = QStringLiteral("Version ") + QString::number(app.major()) + '.' + QString::number(app.minor()) +
                '.' + QString::number(app.revision());
    t.title = mainCaption;
    t.disclaimer = QString();
    return t;
}

QString AppIconFile(const platform::Seams& seams)
{
    return requireBesideProgram(seams, QStringLiteral("\\Icon\\AppMain.ico"));
}

QString HandCursorFile(const platform::Seams& seams)
{
    return requireBesideProgram(seams, QStringLiteral("\\icon\\hand.cur"));
}

Hotspot ParseCursorHotspot(const QByteArray& bytes, const QString& nameForErrors)
{
    // Header: reserved 0, type 2 (cursor), image count; then 16-byte entries whose fourth and
    // fifth 16-bit fields hold the hotspot.
    constexpr qsizetype kHeader = 6;
    constexpr qsizetype kEntry = 16;
    if (bytes.size() < kHeader + kEntry || le16(bytes, 0) != 0 || le16(bytes, 2) != 2 || le16(bytes, 4) == 0)
        throw Error(err::InvalidPicture, QStringLiteral("Invalid picture: %1 is not a cursor file").arg(nameForErrors));
    return Hotspot{le16(bytes, kHeader + 4), le16(bytes, kHeader + 6)};
}

Hotspot ReadCursorHotspot(const QString& curFile)
{
    QFile f(curFile);
    if (!f.exists())
        throw Error(err::FileNotFound, QStringLiteral("File not found: %1").arg(curFile));
    if (!f.open(QIODevice::ReadOnly))
        throw Error(err::PathFileAccessError, QStringLiteral("cannot read %1: %2").arg(curFile, f.errorString()));
    // The header and the first entry are all we need.
    return ParseCursorHotspot(f.read(22), curFile);
}

} // namespace bf::about
