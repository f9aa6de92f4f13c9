#pragma once

#include <QString>
#include <QTemporaryFile>

// A file that replaces another only once it is complete: the bytes go to a temporary file
// beside it, put in the old one's place by Commit, so a reader sees the old file or the whole
// new one. Unlike QSaveFile it does not wait for the disk: a scanned page is read back at once,
// and waiting for the disk took longer than scanning it.
class ReplacingFile {
public:
    explicit ReplacingFile(const QString& fileName);
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    bool Open();
    QIODevice& Device() { return m_temp; }
    bool Commit();

private:
    QString m_fileName;
    QTemporaryFile m_temp;
};
