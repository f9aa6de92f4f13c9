#pragma once

#include <QString>

// Symbolic links planted by another user in a shared folder (/tmp and the like): following one
// would let that user choose which of our files is read or replaced. The kernel refuses them
// when its protected_symlinks rule is on; this check refuses them where it is not.
namespace LinkCheck {

// Why path may not be followed: some link on its way to the file (a folder of the path, the
// path itself, and each link these name in turn) is owned neither by us nor by the owner of
// its folder, and that folder is sticky and writable by everyone. Empty when path may be used.
QString Refusal(const QString& path);

} // namespace LinkCheck
