#pragma once

#include <atomic>
#include <exception>

// Progress and cancellation of one recognition, shared between the thread that runs it
// and the one that watches it.
class OcrMonitor final {
public:
    OcrMonitor() = default;
    // The monitor of one page of a longer run: its progress shows in the run's monitor too,
    // while a stop of the run does not break off the page.
    explicit OcrMonitor(OcrMonitor* run) : m_run(run) {}

    // 0 to 100 (of the page being read, in a run over pages).
    int Percent() const { return m_percent.load(std::memory_order_relaxed); }
    void SetPercent(int percent) {
        m_percent.store(percent, std::memory_order_relaxed);
        if (m_run)
            m_run->SetPercent(percent);
    }

    // The page being read (from 1) and the pages of the run; 0 pages outside such a run.
    int Page() const { return m_page.load(std::memory_order_relaxed); }
    int PageCount() const { return m_pageCount.load(std::memory_order_relaxed); }
    void SetPage(int page, int count) {
        m_pageCount.store(count, std::memory_order_relaxed);
        m_page.store(page, std::memory_order_relaxed);
    }

    void Cancel() { m_cancelled.store(true); }
    bool Cancelled() const { return m_cancelled.load(); }
    // Raises OcrCancelled once Cancel was called.
    void ThrowIfCancelled() const;

private:
    OcrMonitor* const m_run = nullptr;
    std::atomic<int> m_percent{0};
    std::atomic<int> m_page{0};
    std::atomic<int> m_pageCount{0};
    std::atomic<bool> m_cancelled{false};
};

// A recognition stopped on request; not a failure, so it is no VelaError.
class OcrCancelled final : public std::exception {
public:
    const char* what() const noexcept override { return "recognition cancelled"; }
};

inline void OcrMonitor::ThrowIfCancelled() const {
    if (Cancelled())
        throw OcrCancelled();
}
