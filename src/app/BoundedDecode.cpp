#include "BoundedDecode.h"

#include "MiDocument.h"
#include "PageSource.h"
#include "VelaError.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace BoundedDecode {

namespace {

// Shared with the decoding thread, which may outlive the wait.
struct Decoding {
    std::shared_ptr<MiDocument> Document = std::make_shared<MiDocument>();
    std::exception_ptr Failure;
    bool Done = false;
    std::mutex Mutex;
    std::condition_variable Ended;
};

} // namespace

std::shared_ptr<MiDocument> OpenFirstPage(const QString& fileName, int boundMs) {
    auto decoding = std::make_shared<Decoding>();
    std::thread([decoding, fileName] {
        std::exception_ptr failure;
        try {
            PageSource(fileName).Open(0, *decoding->Document);
        } catch (...) {
            failure = std::current_exception();
        }
        const std::lock_guard lock(decoding->Mutex);
        decoding->Failure = failure;
        decoding->Done = true;
        decoding->Ended.notify_all();
    }).detach();
    // No events run meanwhile: a drop, a timer or the browser's start would come in between.
    std::unique_lock lock(decoding->Mutex);
    if (!decoding->Ended.wait_for(lock, std::chrono::milliseconds(boundMs),
                                  [&] { return decoding->Done; }))
        throw VelaError(QStringLiteral("「%1」の画像は %2 秒たっても読み込みが終わらないため、"
                                       "読み込みをやめました。")
                            .arg(fileName)
                            .arg(boundMs / 1000.0));
    if (decoding->Failure)
        std::rethrow_exception(decoding->Failure);
    return decoding->Document;
}

} // namespace BoundedDecode
