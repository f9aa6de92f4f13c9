#pragma once

#include <atomic>
#include <exception>

// Progress and cancellation of one recognition, shared between the thread that runs it
// and the one that watches it.
class OcrMonitor final {
public:
    // 0 to 100.
    int Percent() const { return m_percent.load(std::memory_order_relaxed); }
    void SetPercent(int percent) { m_percent.store(percent, std::memory_order_relaxed); }

    void Cancel() { m_cancelled.store(true); }
    bool Cancelled() const { return m_cancelled.load(); }
    // Raises OcrCancelled once Cancel was called.
    void ThrowIfCancelled() const;

private:
    std::atomic<int> m_percent{0};
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
