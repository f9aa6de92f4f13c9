#include "NamedMutex.h"

#include "PrivateFolder.h"

#include <QDir>
#include <QLockFile>

NamedMutex::NamedMutex(const QString& name)
    : m_lock(std::make_unique<QLockFile>(
          QDir(PrivateFolder::ForUser()).filePath(name + QStringLiteral(".lock")))) {
    // Never stale by age: only a dead owner frees it.
    m_lock->setStaleLockTime(0);
}

NamedMutex::~NamedMutex() {
    Release();
}

bool NamedMutex::TryCreate() {
    return m_lock->tryLock(0);
}

void NamedMutex::Release() {
    if (m_lock->isLocked())
        m_lock->unlock();
}
