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
    // The path is followed as the kernel follows it, one name at a time: a link may stand
    // for any folder on the way, not only for the file at its end.
    QStringList pending =
        QFileInfo(path).absoluteFilePath().split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString folder = QStringLiteral("/");
    for (int hops = 0; !pending.isEmpty();) {
        const QString name = pending.takeFirst();
        if (name == QLatin1String("."))
            continue;
        if (name == QLatin1String("..")) {
            folder = QFileInfo(folder).path();
            continue;
        }
        const QString current = QDir(folder).filePath(name);
        const QByteArray encoded = QFile::encodeName(current);
        struct stat link {};
        if (::lstat(encoded.constData(), &link) != 0)
            return {}; // what does not exist yet is made by us
        if (!S_ISLNK(link.st_mode)) {
            folder = current;
            continue;
        }
        struct stat dir {};
        if (::stat(QFile::encodeName(folder).constData(), &dir) == 0 && sharedFolder(dir) &&
            link.st_uid != ::geteuid() && link.st_uid != dir.st_uid)
            return QStringLiteral("%1 is a symbolic link of another user in the shared folder %2")
                .arg(current, folder);
        char target[PATH_MAX];
        const ssize_t size = ::readlink(encoded.constData(), target, sizeof target);
        if (size < 0 || size >= ssize_t(sizeof target) || ++hops > MaxLinks)
            return {};
        const QString text = QFile::decodeName(QByteArray(target, size));
        if (text.startsWith(QLatin1Char('/')))
            folder = QStringLiteral("/");
        pending = text.split(QLatin1Char('/'), Qt::SkipEmptyParts) + pending;
    }
    return {};
}

} // namespace LinkCheck
