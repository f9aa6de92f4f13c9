#include "BoundedDecode.h"

#include "MiDocument.h"
#include "PageSource.h"
#include "VelaError.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <chrono>
#include <exception>
#include <thread>

namespace BoundedDecode {

namespace {

// Shared with the decoding thread, which may outlive the wait.
struct Decoding {
    std::shared_ptr<MiDocument> Document = std::make_shared<MiDocument>();
    std::exception_ptr Failure;
    std::atomic<bool> Done = false;
};

} // namespace

std::shared_ptr<MiDocument> OpenFirstPage(const QString& fileName, int boundMs) {
    auto decoding = std::make_shared<Decoding>();
    std::thread([decoding, fileName] {
        try {
            PageSource(fileName).Open(0, *decoding->Document);
        } catch (...) {
            decoding->Failure = std::current_exception();
        }
        decoding->Done = true;
    }).detach();
    QElapsedTimer clock;
    clock.start();
    // The window paints and its timers run meanwhile; the user's input waits.
    while (!decoding->Done && clock.elapsed() < boundMs) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!decoding->Done)
        throw VelaError(QStringLiteral("「%1」の画像は %2 秒たっても読み込みが終わらないため、"
                                       "読み込みをやめました。")
                            .arg(fileName)
                            .arg(boundMs / 1000.0));
    if (decoding->Failure)
        std::rethrow_exception(decoding->Failure);
    return decoding->Document;
}

} // namespace BoundedDecode
