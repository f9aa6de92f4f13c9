#pragma once

#include "SaneDevice.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Reads a device's pages on a thread of its own, so that the application's window stays
// responsive: one page, or a feeder's pages up to a count. Each page is handed over as soon as
// it is complete; the next is begun at once (so that an empty feeder is known) but read only
// once the application has freed the page before, so a batch of any length holds about one
// page in memory. A failure ends the batch and keeps the pages already read.
class SaneScan {
public:
    // ready runs on the scan's thread whenever a page is complete or the scan has ended.
    SaneScan(SaneDevice& device, int maxPages, std::function<void()> ready);
    // Cancels the scan and waits for its thread.
    ~SaneScan();
    SaneScan(const SaneScan&) = delete;
    SaneScan& operator=(const SaneScan&) = delete;

    void Cancel();
    int Progress() const { return m_progress; }

    // A complete page, if one waits; it is the caller's then.
    bool Take(ScannedPage& page);
    bool PageWaiting() const;
    // Whether another page may follow the ones taken: one waits, the device has begun one, or
    // the scan ended with a failure or cancel still to be told.
    bool MorePending() const;
    // Whether it is known what follows the pages taken (a page waits, has begun, or the scan
    // has ended).
    bool NextKnown() const;
    bool Ended() const;
    // How the scan ended: TWCC_SUCCESS, ScanCancelled or a condition code.
    TW_UINT16 Result() const;
    // Waits at most `limit` for news from the scan's thread after `seen`, a News() taken
    // before the caller looked, so that news in between is not waited for.
    std::uint64_t News() const;
    void Wait(std::uint64_t seen, std::chrono::milliseconds limit) const;

private:
    void run(int maxPages);
    // With the mutex held.
    void tell() {
        ++m_news;
        m_changed.notify_all();
    }

    SaneDevice& m_device;
    std::function<void()> m_ready;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::uint64_t m_news = 0;
    std::deque<ScannedPage> m_pages;
    int m_started = 0; // pages the device has begun
    int m_taken = 0;
    TW_HANDLE m_lastTaken = nullptr; // the application's now
    bool m_ended = false;
    TW_UINT16 m_result = TWCC_SUCCESS;
    std::atomic<bool> m_cancel{false};
    std::atomic<int> m_progress{0};
    std::thread m_thread;
};
