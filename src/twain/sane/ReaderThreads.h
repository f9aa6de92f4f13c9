#pragma once

#include <chrono>
#include <vector>

// Backends that read the device in a thread of their own stop that thread by asynchronous
// cancellation, some as soon as the page's last bytes are delivered. Cancelled while it was
// ending by itself, the thread can leave the program loader's lock taken, and every later
// library load or unload (sane_exit's among them) hangs. The last bytes of a page are therefore
// read only once the threads the scan started have ended, within a bounded wait.
class ReaderThreads {
public:
    ReaderThreads(); // notes the threads that run before the scan starts

    // Waits until the threads started since construction have ended, at most `limit`.
    // Returns false when some still run.
    bool WaitForEnd(std::chrono::milliseconds limit) const;

private:
    std::vector<long> m_before;
};
