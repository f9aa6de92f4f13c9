#include "Prefault.h"

#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// Small enough that a stop is quick, large enough that the calls cost nothing.
constexpr std::uintptr_t Piece = std::uintptr_t(1) << 20;

} // namespace

Prefault::Prefault() {
    m_thread = std::thread([this] { run(); });
}

void Prefault::Fill(void* data, std::size_t size) {
    std::lock_guard lock(m_mutex);
    if (!m_data) {
        m_data = static_cast<unsigned char*>(data);
        m_size = size;
    }
    m_given.notify_all();
}

void Prefault::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_given.notify_all();
    }
    if (m_thread.joinable())
        m_thread.join();
}

void Prefault::run() {
    std::unique_lock lock(m_mutex);
    m_given.wait(lock, [this] { return m_data || m_stop; });
    if (m_stop)
        return;
    // Only the pages wholly inside the block: a heap block shares its edges with others.
    const auto page = std::uintptr_t(sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(m_data);
    const std::uintptr_t first = (start + page - 1) / page * page;
    std::uintptr_t end = (start + m_size) / page * page;
    lock.unlock();
    while (end > first && !m_stop) {
        const std::uintptr_t from = end - first > Piece ? end - Piece : first;
        // Faults the pages in as if written, without writing; a kernel without it ends here.
        if (madvise(reinterpret_cast<void*>(from), end - from, MADV_POPULATE_WRITE) != 0)
            return;
        end = from;
    }
}
