#pragma once
// Where the configuration is read from and written back to. An application folder its user can
// write keeps Config/Config.cfg for both; an installed one (not the user's to write) is read
// until the user has a copy of their own under $XDG_CONFIG_HOME/brakenfold/, which is written at
// exit and read first from then on.
#include <QString>

namespace bf {

struct ConfigPaths {
    QString readFrom;
    QString writeTo;
};

// installedFile: Config/Config.cfg beside the program; folderWritable: whether this user may
// create files in its folder; userFile: the per-user copy's path.
ConfigPaths ChooseConfigPaths(const QString& installedFile, bool folderWritable, const QString& userFile);

// $XDG_CONFIG_HOME/brakenfold/Config.cfg; an unset, empty or relative XDG_CONFIG_HOME means
// $HOME/.config.
QString UserConfigFile(const QString& xdgConfigHome, const QString& home);

// The paths for this process: its environment and the real folder's permissions.
ConfigPaths ConfigPathsForThisUser(const QString& installedFile);

} // namespace bf
