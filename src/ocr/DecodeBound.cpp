#include "DecodeBound.h"

#include "VelaError.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace DecodeBound {

namespace {

// Far beyond what a page within the pixel limit takes to decode or render.
std::atomic<std::chrono::milliseconds::rep> s_limit{20'000};
std::atomic<int> s_running{0};

struct Outcome {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::exception_ptr failure;
};

} // namespace

std::chrono::milliseconds Limit() {
    return std::chrono::milliseconds(s_limit.load());
}

void SetLimit(std::chrono::milliseconds limit) {
    s_limit = limit.count();
}

int Running() {
    return s_running;
}

bool Within(std::function<void()> work, std::chrono::milliseconds limit) {
    const auto outcome = std::make_shared<Outcome>();
    ++s_running;
    std::thread([outcome, work = std::move(work)]() mutable {
        std::exception_ptr failure;
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        // What work holds goes before the caller hears: the caller's own is then the last.
        work = nullptr;
        const std::lock_guard lock(outcome->mutex);
        outcome->failure = failure;
        outcome->done = true;
        outcome->ended.notify_all();
        --s_running;
    }).detach();
    std::unique_lock lock(outcome->mutex);
    if (!outcome->ended.wait_for(lock, limit, [&] { return outcome->done; }))
        return false;
    if (outcome->failure)
        std::rethrow_exception(outcome->failure);
    return true;
}

void Run(std::function<void()> work, const QString& name) {
    const std::chrono::milliseconds limit = Limit();
    if (!Within(std::move(work), limit))
        throw VelaError(QStringLiteral("%1 takes too long to decode (more than %2 seconds): it "
                                       "is refused")
                            .arg(name)
                            .arg(double(limit.count()) / 1000.0));
}

PixPtr Decode(std::function<PixPtr()> decode, const QString& name) {
    const auto pix = std::make_shared<PixPtr>();
    Run([pix, decode = std::move(decode)] { *pix = decode(); }, name);
    return std::move(*pix);
}

} // namespace DecodeBound
