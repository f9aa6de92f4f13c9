#include "DownloadTarget.h"

#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

// A symbolic link is followed: the file it names is the one the user means.
QString resolved(const QString& localPath) {
    const QFileInfo info(localPath);
    return info.isSymLink() && info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
}

mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

DownloadTarget::Opened DownloadTarget::Open(const QString& localPath) {
    Opened opened;
    const QString target = resolved(localPath);
    opened.Target = target;
    struct stat st {};
    const QByteArray encoded = QFile::encodeName(target);
    if (::stat(encoded.constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        opened.File = std::make_unique<QFile>(target);
        if (!opened.File->open(QIODevice::WriteOnly))
            opened.File.reset();
        return opened;
    }
    const QFileInfo info(target);
    auto temporary =
        std::make_unique<QTemporaryFile>(info.absolutePath() + QStringLiteral("/.") +
                                         info.fileName() + QStringLiteral(".XXXXXX.part"));
    temporary->setAutoRemove(false);
    if (!temporary->open())
        return opened;
    opened.TemporaryPath = temporary->fileName();
    opened.File = std::move(temporary);
    return opened;
}

QString DownloadTarget::Replace(const QString& temporaryPath, const QString& targetPath) {
    const QByteArray target = QFile::encodeName(targetPath);
    const QByteArray temporary = QFile::encodeName(temporaryPath);
    struct stat st {};
    const bool exists = ::stat(target.constData(), &st) == 0;
    if (exists) {
        // Only root can give the file back to its owner; before the mode, which a change
        // of owner would clear of its set-id bits.
        if (::chown(temporary.constData(), st.st_uid, st.st_gid) != 0) {
        }
    }
    const mode_t mode = exists ? (st.st_mode & 07777) : newFileMode();
    if (::chmod(temporary.constData(), mode) != 0 ||
        ::rename(temporary.constData(), target.constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return QString::fromLocal8Bit(std::strerror(error));
    }
    return {};
}
