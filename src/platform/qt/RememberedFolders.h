#pragma once
// Where each chooser opens: the folder last picked in it, kept in a settings file of the user's so
// that it holds across restarts; the home folder before the first pick, or once that folder is gone.
#include <QString>

namespace bf::platform::qt {

class RememberedFolders {
public:
    explicit RememberedFolders(QString settingsFile) : file_(std::move(settingsFile)) {}
    // $XDG_CONFIG_HOME/brakenfold/folders.conf (~/.config when XDG_CONFIG_HOME is unset).
    static QString userFile();

    // chooser names a chooser: its prompt or its filter, whatever tells it from the others.
    QString startFor(const QString& chooser) const;
    void remember(const QString& chooser, const QString& folder) const;

private:
    QString file_;
};

} // namespace bf::platform::qt
