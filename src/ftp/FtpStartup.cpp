// Start-up work of the FTP client's module: the listing cache folder and today's date.
#include "FtpClient.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace {

int s_today = 0;

} // namespace

QString FtpCacheDirectory() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation))
        .filePath(QStringLiteral("ftpcache"));
}

void FtpClientStartup() {
    const QString folder = FtpCacheDirectory();
    // Failures are ignored: the cache is never read or written by the component.
    if (QDir().mkpath(folder)) {
        // Hidden and system have no counterpart here; keep it private to the user.
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
    }
    const QDate today = QDate::currentDate();
    s_today = today.year() * 10000 + today.month() * 100 + today.day();
}

int FtpCacheToday() {
    return s_today;
}
