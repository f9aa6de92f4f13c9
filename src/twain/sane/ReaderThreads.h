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

    // Waits until the threads started since construction have ended, at most `limit`.
    // Returns false when some still run.
    bool WaitForEnd(std::chrono::milliseconds limit) const;

private:
    std::vector<long> m_before;
};
