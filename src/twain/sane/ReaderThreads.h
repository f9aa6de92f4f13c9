#pragma once

#include <chrono>
#include <vector>

// Backends that read the device in a thread of their own stop that thread by asynchronous
// cancellation, some as soon as the page's last bytes are delivered, and on every failure.
// Cancelled while it was ending by itself, the thread can die holding a lock it took on its way
// out (the program loader's, malloc's), and the program hangs on it later. So the last bytes of
// a page are read, and a failed scan is cancelled, only once the threads the scan started have
// ended, within a bounded wait.
class ReaderThreads {
public:
    ReaderThreads(); // notes the threads that run before the scan starts

    // Once the device delivers: the threads started meanwhile are the scan's. Threads the
    // application starts later (a thread pool's, say) are then not waited for; they would
    // cost every page the whole wait.
    void Started();
    // Waits until the scan's threads have ended, at most `limit` (before Started(), every
    // thread started since construction counts). Returns false when some still run.
    bool WaitForEnd(std::chrono::milliseconds limit) const;

private:
    std::vector<long> m_before;
    std::vector<long> m_readers;
    bool m_started = false;
};
