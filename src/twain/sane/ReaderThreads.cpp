#include "ReaderThreads.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <thread>

namespace {

std::vector<long> threadsOfThisProcess() {
    std::vector<long> ids;
    if (DIR* dir = ::opendir("/proc/self/task")) {
        while (const dirent* entry = ::readdir(dir))
            if (entry->d_name[0] != '.')
                ids.push_back(std::strtol(entry->d_name, nullptr, 10));
        ::closedir(dir);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

} // namespace

ReaderThreads::ReaderThreads() : m_before(threadsOfThisProcess()) {}

void ReaderThreads::Started() {
    if (m_started)
        return;
    m_started = true;
    for (long id : threadsOfThisProcess())
        if (!std::binary_search(m_before.begin(), m_before.end(), id))
            m_readers.push_back(id);
}

bool ReaderThreads::WaitForEnd(std::chrono::milliseconds limit) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const std::vector<long> now = threadsOfThisProcess();
        const bool running = std::any_of(now.begin(), now.end(), [&](long id) {
            return m_started ? std::find(m_readers.begin(), m_readers.end(), id) != m_readers.end()
                             : !std::binary_search(m_before.begin(), m_before.end(), id);
        });
        if (!running)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}
