#include "ReplacingFile.h"

#include <QFileInfo>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

ReplacingFile::ReplacingFile(const QString& fileName)
    : m_fileName(fileName), m_temp(fileName + QStringLiteral(".XXXXXX")) {}

bool ReplacingFile::Open() {
    if (!m_temp.open())
        return false;
    // The new file keeps the old one's permissions; a new one gets those of a plain file.
    const QFileInfo old(m_fileName);
    m_temp.setPermissions(old.exists() ? old.permissions()
                                       : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                             QFile::ReadOther);
    return true;
}

bool ReplacingFile::Commit() {
    if (!m_temp.isOpen() || !m_temp.flush() || m_temp.error() != QFile::NoError)
        return false;
    const QByteArray temp = QFile::encodeName(m_temp.fileName());
    const QByteArray target = QFile::encodeName(m_fileName);
    m_temp.close();
    // Swapped, not renamed over: ext4 writes a file renamed over another out to disk at once,
    // which cost more than the scan, while a swap is just as atomic and leaves the new file to
    // the usual write-back. The old file then goes under the temporary name.
    // Only a plain file is swapped: a rename over a folder fails, as it should. Without an old
    // file, or on a file system without swaps, the new one is renamed into place.
    struct stat old {};
    const bool swapped =
        ::lstat(target.constData(), &old) == 0 && S_ISREG(old.st_mode) &&
        ::renameat2(AT_FDCWD, temp.constData(), AT_FDCWD, target.constData(), RENAME_EXCHANGE) == 0;
    if (swapped)
        ::unlink(temp.constData());
    else if (std::rename(temp.constData(), target.constData()) != 0)
        return false;
    m_temp.setAutoRemove(false);
    return true;
}
