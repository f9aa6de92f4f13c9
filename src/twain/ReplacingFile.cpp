#include "ReplacingFile.h"

#include <QFileInfo>
#include <cstdio>

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
    if (std::rename(QFile::encodeName(m_temp.fileName()).constData(),
                    QFile::encodeName(m_fileName).constData()) != 0)
        return false;
    m_temp.setAutoRemove(false);
    m_temp.close();
    return true;
}
