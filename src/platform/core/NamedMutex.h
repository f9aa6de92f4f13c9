#pragma once

#include <QString>
#include <memory>

class QLockFile;

// A named mutex across the processes of one user: a lock file named after the mutex in the
// user's private folder (PrivateFolder::ForUser), never in the shared temporary folder, where
// another user's file would hold it for everyone. The lock of a process that died is taken over.
class NamedMutex final {
public:
    explicit NamedMutex(const QString& name);
    ~NamedMutex();
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // False when another live process holds the mutex.
    bool TryCreate();
    void Release();

private:
    std::unique_ptr<QLockFile> m_lock;
};
