#include "sane/Prefault.h"

#include <chrono>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;

// A fresh block, filled by a scan from its end while the other half is only prefaulted: every
// page becomes present, and no byte the scan wrote is changed.
TEST(Prefault, PagesBecomePresentAndTheScansBytesStay) {
    const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
    const std::size_t size = 24 * 1024 * 1024 + 100;
    auto* block = static_cast<unsigned char*>(
        mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(block, MAP_FAILED);
    const std::size_t pages = (size + page - 1) / page;
    std::vector<unsigned char> present(pages);
    const auto allPresent = [&] {
        mincore(block, size, present.data());
        for (std::size_t i = 0; i + 1 < pages; ++i) // the last, partial page is the scan's
            if (!(present[i] & 1))
                return false;
        return true;
    };
    ASSERT_FALSE(allPresent());
    {
        Prefault prefault;
        prefault.Fill(block, size);
        for (std::size_t at = size - 1; at > size / 2; --at)
            block[at] = static_cast<unsigned char>(at % 251 + 1);
        const auto until = std::chrono::steady_clock::now() + 10s;
        while (!allPresent() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(1ms);
        EXPECT_TRUE(allPresent());
    }
    std::size_t changed = 0;
    for (std::size_t at = size / 2 + 1; at < size; ++at)
        changed += block[at] != static_cast<unsigned char>(at % 251 + 1);
    EXPECT_EQ(changed, 0u);
    munmap(block, size);
}
