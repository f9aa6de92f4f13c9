#include "ThreadQueue.h"

#include <deque>
#include <mutex>

namespace {

struct Queue {
    std::mutex mutex;
    std::deque<TW_MSG> messages;
};

Queue& queue() {
    static Queue* s_queue = new Queue;
    return *s_queue;
}

// A source that floods the queue must not exhaust memory; the oldest messages go first.
constexpr std::size_t MaxQueued = 1024;

} // namespace

void TwainPostThreadMessage(TW_UINT32 message, std::uint64_t wParam, std::int64_t lParam) {
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    try {
        if (q.messages.size() >= MaxQueued)
            q.messages.pop_front();
        q.messages.push_back(TW_MSG{message, wParam, lParam});
    } catch (...) {
    }
}

bool TwainPeekThreadMessage(TW_MSG* message) {
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    if (q.messages.empty() || !message)
        return false;
    *message = q.messages.front();
    q.messages.pop_front();
    return true;
}

void TwainClearThreadMessages() {
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    q.messages.clear();
}
