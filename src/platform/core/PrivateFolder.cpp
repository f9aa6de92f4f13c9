#include "PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <cerrno>
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
        from = slash + 1;
    }
    const QByteArray path = QFile::encodeName(clean);
    struct stat st {};
    if (::stat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
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
    QByteArray pattern = QFile::encodeName(QDir::tempPath() + QStringLiteral("/vela-XXXXXX"));
    if (::mkdtemp(pattern.data()))
        return QFile::decodeName(pattern);
    return cache;
}

} // namespace PrivateFolder
