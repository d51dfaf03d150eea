#pragma once
// The desktop's opener (xdg-open) for files, addresses and folders, and program starts.
#include "platform/Seams.h"

#include <QObject>

namespace bf::platform::qt {

class QtShell : public ShellSeam {
public:
    QtShell() = default;
    ~QtShell() override;
    QtShell(const QtShell&) = delete;
    QtShell& operator=(const QtShell&) = delete;

    // xdg-open ends with a failure status when no program takes the target: failed runs then.
    bool open(const QString& target, OpenFailed failed) override;
    bool openFolder(const QString& folder, OpenFailed failed) override;
    bool startProgram(const QString& program, const QStringList& arguments) override;
    // Asks xdg-mime for the default program of the file's type.
    bool hasHandlerFor(const QString& file) override;

    // The openers started that have not ended yet.
    int openersRunning() const;

private:
    bool startOpener(const QString& argument, OpenFailed failed);

    QObject openers_; // owns each opener's process until it ends
};

} // namespace bf::platform::qt
