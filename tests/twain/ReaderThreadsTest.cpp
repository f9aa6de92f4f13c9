#include "sane/ReaderThreads.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono_literals;

TEST(ReaderThreads, OnlyTheScansThreadsAreAwaitedAndAnEndedOneCountsAsGone) {
    std::atomic<bool> stop{false};
    const auto work = [&] {
        while (!stop)
            std::this_thread::sleep_for(1ms);
    };
    std::thread before(work);
    ReaderThreads readers;
    std::atomic<bool> readerEnded{false};
    std::thread reader([&] {
        std::this_thread::sleep_for(100ms);
        readerEnded = true;
    });
    readers.Started();
    // A thread the application starts during the page is not the scan's.
    std::thread later(work);
    EXPECT_FALSE(readers.WaitForEnd(20ms)) << "the reader still runs";
    // The reader ends by itself and is not joined yet, as a backend's would be; the threads
    // that ran before the scan and began during it keep running.
    EXPECT_TRUE(readers.WaitForEnd(10s));
    EXPECT_TRUE(readerEnded);
    stop = true;
    reader.join();
    later.join();
    before.join();
}
