#include "PrivateFolder.h"

#include "LinkCheck.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace PrivateFolder {

namespace {

const QString FolderName = QStringLiteral("Vela");

// A folder that belongs to us and that nobody else may enter.
bool isPrivate(const QString& folder) {
    struct stat st {};
    return ::stat(QFile::encodeName(folder).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

// A folder above ours that nobody but us (or root) can change: another user who may rename
// entries in it could swap our folder for one of theirs. A shared folder such as /tmp keeps
// that right to each entry's owner (its sticky bit).
bool safeParent(const QByteArray& folder) {
    struct stat st {};
    if (::stat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    if (st.st_uid != ::geteuid() && st.st_uid != 0)
        return false;
    return (st.st_mode & (S_IWGRP | S_IWOTH)) == 0 || (st.st_mode & S_ISVTX) != 0;
}

// The last resort when no folder of the session or the cache can be private: one per user in
// the temporary folder, the same for every call (the single-instance lock lives there).
QString temporaryFolder() {
    const QString shared =
        QDir(QDir::tempPath()).filePath(QStringLiteral("vela-%1").arg(::geteuid()));
    if (Make(shared))
        return shared;
    // Taken by someone else: a folder of this run's own, removed at its end.
    static QByteArray own;
    if (own.isEmpty()) {
        QByteArray pattern = QFile::encodeName(QDir::tempPath() + QStringLiteral("/vela-XXXXXX"));
        if (!::mkdtemp(pattern.data()))
            return shared;
        own = pattern;
        std::fprintf(stderr,
                     "vela: %s belongs to another user; this run keeps its files in %s, and a "
                     "second copy of the program is not noticed\n",
                     QFile::encodeName(shared).constData(), own.constData());
        std::atexit([] { QDir(QFile::decodeName(own)).removeRecursively(); });
    }
    return QFile::decodeName(own);
}

} // namespace

QString BaseFolder(const char* variable, const QString& underHome) {
    const QString value = qEnvironmentVariable(variable);
    if (QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::cleanPath(QDir::homePath() + QLatin1Char('/') + underHome);
}

bool Make(const QString& folder) {
    const QString clean = QDir::cleanPath(folder);
    for (qsizetype from = 1;;) {
        const qsizetype slash = clean.indexOf(QLatin1Char('/'), from);
        const QByteArray part = QFile::encodeName(slash < 0 ? clean : clean.left(slash));
        if (::mkdir(part.constData(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash < 0)
            break;
        // Checked before anything is made in it.
        if (!safeParent(part))
            return false;
        from = slash + 1;
    }
    const QByteArray path = QFile::encodeName(clean);
    struct stat st {};
    // A link planted in a shared folder (vela-UID in /tmp) would lend us a folder of its choice.
    if (!LinkCheck::Refusal(clean).isEmpty() || ::stat(path.constData(), &st) != 0 ||
        !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    return (st.st_mode & 077) == 0 || ::chmod(path.constData(), 0700) == 0;
}

QString ForUser() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime) && isPrivate(runtime)) {
        const QString folder = QDir(runtime).filePath(FolderName);
        if (Make(folder))
            return folder;
    }
    const QString cache =
        QDir(BaseFolder("XDG_CACHE_HOME", QStringLiteral(".cache"))).filePath(FolderName);
    if (Make(cache))
        return cache;
    return temporaryFolder();
}

} // namespace PrivateFolder
