#pragma once

#include <QFile>
#include <QString>
#include <memory>

// The local side of a fresh download: a temporary file beside the local file, which takes
// its place only once the transfer is complete, so a refused or broken download never
// destroys what the user had. A local file that is no regular file (a device such as
// /dev/null) cannot be replaced and is written in place.
class DownloadTarget {
public:
    struct Opened {
        std::unique_ptr<QFile> File; // null when nothing could be opened
        QString TemporaryPath;       // empty when the local file itself is written
        QString Target;              // the local file with its link followed, once
    };
    static Opened Open(const QString& localPath);
    // Puts the finished temporary file in the place of target (Opened::Target: a link is
    // not followed anew after the transfer, when it may name another file), keeping an
    // existing file's mode. Empty on success, else the reason.
    static QString Replace(const QString& temporaryPath, const QString& target);
};
