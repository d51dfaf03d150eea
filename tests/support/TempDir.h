#pragma once
// A private temporary folder for one test, removed with everything in it afterwards.
#include <QString>
#include <QTemporaryDir>

namespace bf::test {
class TempDir {
public:
    TempDir();
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }
    // Writes bytes to a file under the folder and returns its path.
    QString write(const QString& name, const QByteArray& bytes) const;

private:
    QTemporaryDir dir_;
};
} // namespace bf::test
