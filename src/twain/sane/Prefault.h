#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>

// Makes the pages of a fresh page block present on a thread of its own, from the block's end,
// where the scan begins to fill it: the faults of fresh memory, on a virtual machine up to half
// of a page's reading, then overlap the device read instead of adding to it. The block's bytes
// are never written here, so the scan may fill it meanwhile. Made before the scan starts, its
// thread is not one of the device's (see ReaderThreads.h).
class Prefault {
public:
    Prefault();
    ~Prefault() { Stop(); }
    Prefault(const Prefault&) = delete;
    Prefault& operator=(const Prefault&) = delete;

    // Once: the block to make present.
    void Fill(void* data, std::size_t size);
    // Ends the filling after the piece in hand and waits for it; before the block is freed.
    void Stop();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_given;
    unsigned char* m_data = nullptr;
    std::size_t m_size = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
