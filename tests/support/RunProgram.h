#pragma once
// One of the built programs started as a user starts it: its exit status and both streams, and
// the files a run left.
#include "support/Deadline.h"
#include "support/TestPaths.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QProcessEnvironment>

namespace bf::test {

struct Outcome {
    int exitCode = -1;
    QString out, err;
    QStringList outLines() const { return out.split('\n', Qt::SkipEmptyParts); }
};

inline Outcome runProgram(const QString& program, const QStringList& args, const QString& workingDir,
                          const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(workingDir);
    p.setStandardInputFile(QProcess::nullDevice()); // no one answers a prompt
    p.start(appDir() + '/' + program, args);
    const bool ended = p.waitForFinished(deadlineMs(300000)) && p.exitStatus() == QProcess::NormalExit;
    if (!ended)
        p.kill();
    return {ended ? p.exitCode() : -1, QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

// Files under folder, relative to it, sorted.
inline QStringList filesUnder(const QString& folder)
{
    QStringList files;
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

} // namespace bf::test
