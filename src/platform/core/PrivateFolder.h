#pragma once

#include <QString>

// Folders of the user's own that nobody else may enter: what a shared folder such as /tmp is
// not, where another user's file could block the program or be read.
namespace PrivateFolder {

// An XDG base folder: the variable when it holds an absolute path, else the fallback under home.
QString BaseFolder(const char* variable, const QString& underHome);

// Makes the folder and every missing folder above it with mode 0700, then makes sure the folder
// is a private one of ours: a wider mode is narrowed, anyone else's folder is refused, and so
// is a folder below one that another user may change (but for a shared folder's sticky bit).
bool Make(const QString& folder);

// The program's private folder for this user: "Vela" in the runtime folder when the session
// has a sound one, else in the cache folder; when neither can be made private, "vela-UID" in
// the temporary folder, or, when another user holds that, a folder of this run's own that is
// removed at its end (said on standard error).
QString ForUser();

} // namespace PrivateFolder
