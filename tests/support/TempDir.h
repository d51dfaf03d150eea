#pragma once
// A private temporary folder for one test, removed with everything in it afterwards.
#include <QString>
#include <QTemporaryDir>

namespace bf::test {
// The bytes of a file; empty when it cannot be read.
QByteArray readFile(const QString& path);

class TempDir {
public:
    TempDir();
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }
    // Writes bytes to a file under the folder (making its folders) and returns its path.
    QString write(const QString& name, const QByteArray& bytes) const;

private:
    QTemporaryDir dir_;
};

// A real small file system mounted on a fresh folder (the tests run as root), unmounted
// afterwards. Where mounting is not possible, mounted() is false and why() says why.
class SmallTmpfs {
public:
    explicit SmallTmpfs(int kilobytes);
    ~SmallTmpfs();
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;
    bool mounted() const { return why_.isEmpty(); }
    const QString& why() const { return why_; }
    QString file(const QString& name) const { return dir_.file(name); }
    void fill() const; // takes every byte that is left with the file "filler"

private:
    TempDir dir_;
    QString why_;
};
} // namespace bf::test
