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
};

// A scanned page, tens of megabytes, gets a mapping of its own, so that its memory goes back
// to the system as soon as it is freed instead of staying in the heap. Not in huge pages: on a
// virtual machine that gives free memory back to its host, they are often ones the host must
// fill in again; a 26 MB block then took up to 65 ms to fill against 4 ms when hot, where
// ordinary pages took 12 ms every time, and the scan lost more than it won.
constexpr std::size_t MappedFrom = std::size_t(8) << 20;

// Zero-filled memory.
void* allocate(std::size_t size) {
    if (size < MappedFrom)
        return std::calloc(size ? size : 1, 1);
    void* data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return data == MAP_FAILED ? nullptr : data;
}

void release(const Block& block) {
    if (block.size < MappedFrom)
        std::free(block.data);
    else
        munmap(block.data, block.size);
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
    void* data = allocate(size);
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
        release(Block{data, size, 0});
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
