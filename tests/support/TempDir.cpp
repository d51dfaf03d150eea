#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <sys/mount.h>

namespace bf::test {
QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TempDir::TempDir() : dir_(QDir::tempPath() + "/brakenfold-test-XXXXXX")
{
    if (!dir_.isValid())
        throw std::runtime_error("cannot create a temporary folder");
}

QString TempDir::write(const QString& name, const QByteArray& bytes) const
{
    const QString path = file(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write test file");
    return path;
}

SmallTmpfs::SmallTmpfs(int kilobytes)
{
    const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k";
    if (::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", 0, options.constData()) != 0)
        why_ = QStringLiteral("cannot mount a tmpfs: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
}

SmallTmpfs::~SmallTmpfs()
{
    if (mounted())
        ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
}

void SmallTmpfs::fill() const
{
    QFile filler(file(QStringLiteral("filler")));
    const QByteArray block(512, 'f');
    if (filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        while (filler.write(block) == block.size()) {
        }
}
} // namespace bf::test
