#include "GlobalMemory.h"

#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>
#include <sys/mman.h>
#include <unordered_map>

namespace {

struct Block {
    void* data = nullptr;
    std::size_t size = 0;
    int locks = 0;
    std::size_t mapped = 0; // length of a mapping of its own, 0 for the heap
};

// A scanned page is tens of megabytes, written once from start to end: in huge pages it is
// filled with a few hundred faults instead of thousands.
constexpr std::size_t HugePage = std::size_t(2) << 20;
constexpr std::size_t MappedFrom = 4 * HugePage;

// Zero-filled memory; mapped is set to the length of a mapping of its own.
void* allocate(std::size_t size, std::size_t& mapped) {
    mapped = 0;
    if (size < MappedFrom)
        return std::calloc(size ? size : 1, 1);
    const std::size_t length = (size + HugePage - 1) / HugePage * HugePage;
    void* data = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (data == MAP_FAILED)
        return nullptr;
    madvise(data, length, MADV_HUGEPAGE); // only a hint: without it, ordinary pages
    mapped = length;
    return data;
}

void release(const Block& block) {
    if (block.mapped)
        munmap(block.data, block.mapped);
    else
        std::free(block.data);
}

struct Blocks {
    std::mutex mutex;
    std::unordered_map<HGLOBAL, Block> live;
    std::size_t next = 1;
};

Blocks& blocks() {
    static Blocks* s_blocks = new Blocks; // never destroyed: modules may free late at exit
    return *s_blocks;
}

} // namespace

HGLOBAL GlobalAlloc(std::size_t size) {
    std::size_t mapped = 0;
    void* data = allocate(size, mapped);
    if (!data)
        return nullptr;
    Blocks& b = blocks();
    std::lock_guard lock(b.mutex);
    try {
        // Handles are numbers, not addresses, so a handle can never be mistaken for memory.
        auto handle = reinterpret_cast<HGLOBAL>(b.next++ << 4);
        b.live.emplace(handle, Block{data, size, 0, mapped});
        return handle;
    } catch (const std::bad_alloc&) {
        release(Block{data, size, 0, mapped});
        return nullptr;
    }
}

void* GlobalLock(HGLOBAL handle) {
    Blocks& b = blocks();
    std::lock_guard lock(b.mutex);
    const auto it = b.live.find(handle);
    if (it == b.live.end())
        return nullptr;
    ++it->second.locks;
    return it->second.data;
}

bool GlobalUnlock(HGLOBAL handle) {
    Blocks& b = blocks();
    std::lock_guard lock(b.mutex);
    const auto it = b.live.find(handle);
    if (it == b.live.end() || it->second.locks == 0)
        return false;
    return --it->second.locks > 0;
}

std::size_t GlobalSize(HGLOBAL handle) {
    Blocks& b = blocks();
    std::lock_guard lock(b.mutex);
    const auto it = b.live.find(handle);
    return it == b.live.end() ? 0 : it->second.size;
}

HGLOBAL GlobalFree(HGLOBAL handle) {
    Blocks& b = blocks();
    std::lock_guard lock(b.mutex);
    const auto it = b.live.find(handle);
    if (it == b.live.end())
        return handle;
    release(it->second);
    b.live.erase(it);
    return nullptr;
}
