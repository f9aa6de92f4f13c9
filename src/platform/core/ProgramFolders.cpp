#include "ProgramFolders.h"

#include "PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString FolderName = QStringLiteral("Vela");
const QString UserSettingsName = QStringLiteral("vela");
// An administrator's settings file larger than this is not a settings file.
constexpr qint64 MaxSettingsCopy = 1 << 20;

bool anyWriteBit(const struct stat& st) {
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

// A folder counts as writable as the settings file's writer sees it: a folder nobody may write
// is read-only, also for root. The folder the build installs into is never a working folder.
bool writableFolder(const QString& folder) {
#ifdef VELA_INSTALL_BINDIR
    const QString installed = QFileInfo(QStringLiteral(VELA_INSTALL_BINDIR)).canonicalFilePath();
    if (!installed.isEmpty() && QFileInfo(folder).canonicalFilePath() == installed)
        return false;
#endif
    const QByteArray path = QFile::encodeName(folder);
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && anyWriteBit(st) &&
           ::access(path.constData(), W_OK) == 0;
}

// The first start of an installed copy takes over the administrator's settings (the upload
// account) found beside the executable. The copy is the user's and holds a password: mode 0600.
void copyAdministratorSettings(const QString& from, const QString& to) {
    const QFileInfo target(to);
    const QFileInfo source(from);
    if (target.exists() || target.isSymLink() || !source.isFile() ||
        source.size() > MaxSettingsCopy)
        return;
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return;
    const QByteArray data = in.read(MaxSettingsCopy);
    if (in.error() != QFileDevice::NoError)
        return;
    const QByteArray path = QFile::encodeName(to);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    QFile out;
    bool ok = out.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle) &&
              out.write(data) == data.size() && out.flush();
    out.close();
    ok = ok && out.error() == QFileDevice::NoError;
    // Half a file would pass for the user's own settings: better none.
    if (!ok)
        ::unlink(path.constData());
}

} // namespace

ProgramFolders ProgramFolders::ForExecutable(const QString& exePath) {
    const QFileInfo exe(exePath);
    ProgramFolders f;
    f.AppFolder = exe.absolutePath();
    const QString besideExe = exe.absoluteDir().filePath(exe.completeBaseName());
    f.Installed = !writableFolder(f.AppFolder);
    if (!f.Installed) {
        f.SettingsBase = besideExe;
        f.WorkFolder = f.AppFolder;
        return f;
    }
    const QString config =
        QDir(PrivateFolder::BaseFolder("XDG_CONFIG_HOME", QStringLiteral(".config")))
            .filePath(FolderName);
    f.SettingsBase = QDir(config).filePath(UserSettingsName);
    if (PrivateFolder::Make(config))
        copyAdministratorSettings(besideExe + QStringLiteral(".ini"),
                                  f.SettingsBase + QStringLiteral(".ini"));
    f.WorkFolder = PrivateFolder::ForUser();
    return f;
}

QString ProgramLibraryFolder(const QString& appFolder) {
#ifdef VELA_LIBRARY_FROM_BINDIR
    const QString installed =
        QDir::cleanPath(QDir(appFolder).filePath(QStringLiteral(VELA_LIBRARY_FROM_BINDIR)));
    if (QFileInfo(installed).isDir())
        return installed;
#endif
    return appFolder;
}
