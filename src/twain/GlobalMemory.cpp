#include "GlobalMemory.h"

#include <cstdlib>
#include <mutex>
#include <new>
#include <unordered_map>

namespace {

struct Block {
    void* data = nullptr;
    std::size_t size = 0;
    int locks = 0;
};

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
    void* data = std::calloc(size ? size : 1, 1);
    if (!data)
        return nullptr;
    Blocks& b = blocks();
    std::lock_guard lock(b.mutex);
    try {
        // Handles are numbers, not addresses, so a handle can never be mistaken for memory.
        auto handle = reinterpret_cast<HGLOBAL>(b.next++ << 4);
        b.live.emplace(handle, Block{data, size, 0});
        return handle;
    } catch (const std::bad_alloc&) {
        std::free(data);
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
    std::free(it->second.data);
    b.live.erase(it);
    return nullptr;
}
