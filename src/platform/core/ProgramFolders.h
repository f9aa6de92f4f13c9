#pragma once

#include <QString>

// Where the program keeps its files. A copy whose folder the user may write (a build folder, a
// portable copy) keeps everything beside the executable. An installed copy cannot: its settings
// file is "vela.ini" in the user's configuration folder ($XDG_CONFIG_HOME/Vela, else
// ~/.config/Vela) and its work files live in a private folder of the user's own (the runtime
// folder, else the cache folder).
struct ProgramFolders {
    // Folder of the executable, without a trailing separator.
    QString AppFolder;
    // The settings file's path without ".ini".
    QString SettingsBase;
    // Folder of the work files ("zScan.bmp", "trans.html").
    QString WorkFolder;
    bool Installed = false;

    // Resolves the folders of the executable at exePath. For an installed copy it also makes
    // the user's folders (mode 0700, fixing a wider mode of an existing one) and, on the first
    // start, copies an administrator's settings file found beside the executable into the
    // configuration folder (mode 0600). Never throws: a folder that cannot be made is still
    // named, so that writing into it fails with the writer's own message.
    static ProgramFolders ForExecutable(const QString& exePath);
};

// Folder of the scanner's source manager, with its sources folder inside: the program's library
// folder of an installed copy (found relative to the executable's folder), else the executable's
// folder itself.
QString ProgramLibraryFolder(const QString& appFolder);
