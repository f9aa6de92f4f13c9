#include "SaneScan.h"

#include "GlobalMemory.h"

namespace {

// How long a cancelled scan may take to end by itself before its device read is broken off.
constexpr std::chrono::seconds CancelWait(2);
// How long the next page waits for the application to let go of the one before.
constexpr std::chrono::seconds ReleaseWait(5);

} // namespace

SaneScan::SaneScan(SaneDevice& device, int maxPages, std::function<void()> ready)
    : m_device(device), m_ready(std::move(ready)) {
    m_thread = std::thread([this, maxPages] { run(maxPages); });
}

void SaneScan::Cancel() {
    std::lock_guard lock(m_mutex);
    m_cancel = true;
    tell();
}

SaneScan::~SaneScan() {
    Cancel();
    {
        std::unique_lock lock(m_mutex);
        // A device that stops answering keeps its read waiting; a cancel breaks it off.
        if (!m_changed.wait_for(lock, CancelWait, [this] { return m_ended; })) {
            lock.unlock();
            m_device.EndScan();
        }
    }
    m_thread.join();
    for (ScannedPage& page : m_pages)
        GlobalFree(page.dib);
}

void SaneScan::run(int maxPages) {
    TW_UINT16 result = TWCC_SUCCESS;
    try {
        for (int n = 0; maxPages <= 0 || n < maxPages; ++n) {
            {
                // The next page begins once the one before it has been taken.
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [this] { return m_pages.empty() || m_cancel; });
            }
            if (m_cancel) {
                result = ScanCancelled;
                break;
            }
            ScannedPage page;
            m_progress = 0;
            const TW_UINT16 cc = m_device.ScanPage(
                page,
                [this](int percent) {
                    m_progress = percent;
                    return !m_cancel;
                },
                [this] {
                    std::unique_lock lock(m_mutex);
                    ++m_started;
                    tell();
                    // The page is read once the application has written and freed the one before:
                    // a batch then holds one page at a time, and a device is slower than a write.
                    const auto until = std::chrono::steady_clock::now() + ReleaseWait;
                    while (m_lastTaken && GlobalSize(m_lastTaken) > 0 && !m_cancel &&
                           std::chrono::steady_clock::now() < until)
                        m_changed.wait_for(lock, std::chrono::milliseconds(2));
                });
            // An empty feeder after the first page is the batch's end.
            if (cc == TWCC_NOMEDIA && m_device.Feeder() && n > 0)
                break;
            if (cc != TWCC_SUCCESS) {
                result = cc;
                break;
            }
            {
                std::lock_guard lock(m_mutex);
                m_pages.push_back(page);
                tell();
            }
            if (m_ready)
                m_ready();
            if (!m_device.Feeder())
                break;
        }
        m_device.EndScan();
    } catch (...) {
        result = TWCC_LOWMEMORY;
    }
    {
        std::lock_guard lock(m_mutex);
        m_result = result;
        m_ended = true;
        tell();
    }
    if (m_ready)
        m_ready();
}

bool SaneScan::Take(ScannedPage& page) {
    std::lock_guard lock(m_mutex);
    if (m_pages.empty())
        return false;
    page = m_pages.front();
    m_pages.pop_front();
    m_lastTaken = page.dib;
    ++m_taken;
    tell();
    return true;
}

bool SaneScan::PageWaiting() const {
    std::lock_guard lock(m_mutex);
    return !m_pages.empty();
}

bool SaneScan::NextKnown() const {
    std::lock_guard lock(m_mutex);
    return !m_pages.empty() || m_ended || m_started > m_taken;
}

bool SaneScan::MorePending() const {
    std::lock_guard lock(m_mutex);
    return !m_pages.empty() || (m_ended ? m_result != TWCC_SUCCESS : m_started > m_taken);
}

bool SaneScan::Ended() const {
    std::lock_guard lock(m_mutex);
    return m_ended;
}

TW_UINT16 SaneScan::Result() const {
    std::lock_guard lock(m_mutex);
    return m_result;
}

std::uint64_t SaneScan::News() const {
    std::lock_guard lock(m_mutex);
    return m_news;
}

void SaneScan::Wait(std::uint64_t seen, std::chrono::milliseconds limit) const {
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, limit, [&] { return m_news != seen; });
}
