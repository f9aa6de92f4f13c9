#include "LinkCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace LinkCheck {

namespace {

// The kernel's own limit of links followed in one lookup.
constexpr int MaxLinks = 40;

bool sharedFolder(const struct stat& folder) {
    return (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
}

} // namespace

QString Refusal(const QString& path) {
    QString current = QFileInfo(path).absoluteFilePath();
    for (int hop = 0; hop < MaxLinks; ++hop) {
        const QByteArray encoded = QFile::encodeName(current);
        struct stat link {};
        if (::lstat(encoded.constData(), &link) != 0 || !S_ISLNK(link.st_mode))
            return {};
        const QString folder = QFileInfo(current).absolutePath();
        struct stat dir {};
        if (::stat(QFile::encodeName(folder).constData(), &dir) == 0 && sharedFolder(dir) &&
            link.st_uid != ::geteuid() && link.st_uid != dir.st_uid)
            return QStringLiteral("%1 is a symbolic link of another user in the shared folder %2")
                .arg(current, folder);
        char target[PATH_MAX];
        const ssize_t size = ::readlink(encoded.constData(), target, sizeof target);
        if (size < 0 || size >= ssize_t(sizeof target))
            return {};
        current = QDir::cleanPath(
            QDir(folder).absoluteFilePath(QFile::decodeName(QByteArray(target, size))));
    }
    return {};
}

} // namespace LinkCheck
