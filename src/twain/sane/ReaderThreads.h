#pragma once

#include <chrono>
#include <vector>

// Backends that read the device in a thread of their own stop that thread in sane_cancel by
// asynchronous cancellation. Cancelled while it was ending by itself, the thread can leave the
// program loader's lock taken, and every later library load or unload (sane_exit's among
// them) hangs. The threads a scan started are therefore given a bounded moment to end by
// themselves once the page has been read to its end, before anything cancels them.
class ReaderThreads {
public:
    ReaderThreads(); // notes the threads that run before the scan starts

    // Waits until the threads started since construction have ended, at most `limit`.
    // Returns false when some still run.
    bool WaitForEnd(std::chrono::milliseconds limit) const;

private:
    std::vector<long> m_before;
};
