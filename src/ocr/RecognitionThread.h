#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// One thread that runs jobs in the order given. It lives as long as its owner, so the
// engine instances it loads (one set per thread) are loaded once, not for every page.
class RecognitionThread final {
public:
    RecognitionThread();
    // Finishes the jobs already given, then ends the thread.
    ~RecognitionThread();
    RecognitionThread(const RecognitionThread&) = delete;
    RecognitionThread& operator=(const RecognitionThread&) = delete;

    // Queues job; it must not raise.
    void Post(std::function<void()> job);

private:
    void loop();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    std::thread m_thread;
};
