// vela-cli ocr: prints the text that recognition puts into the text pane.
#include "CliCommand.h"
#include "MiDocument.h"
#include "OcrEngine.h"
#include "Recognition.h"
#include "VelaError.h"

#include <QCoreApplication>
#include <QStringList>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

int ocrUsage() {
    std::fprintf(stderr, "usage: vela-cli ocr [--lang en|ja] [--lines] [--jobs N] FILE...\n");
    return 2;
}

constexpr int MaxJobs = 64;

struct PageResult {
    bool done = false;
    bool failed = false;
    QByteArray text;
    QString error;
};

// Recognises the files on `jobs` threads, each with its own engine, and hands the results
// back in the order given: a page's text is printed as soon as it and all before it are
// done. Progress goes to standard error as pages finish.
class ParallelOcr {
public:
    ParallelOcr(int language, bool lines, const QStringList& files)
        : m_language(language), m_lines(lines), m_files(files), m_results(size_t(files.size())) {}

    int Run(int jobs) {
        std::vector<std::thread> threads;
        for (int i = 0; i < jobs; ++i)
            threads.emplace_back([this] { work(); });
        int status = 0;
        for (size_t i = 0; i < m_results.size(); ++i) {
            std::unique_lock lock(m_mutex);
            m_finished.wait(lock, [&] { return m_results[i].done; });
            const PageResult result = std::move(m_results[i]);
            lock.unlock();
            if (!result.failed) {
                std::fwrite(result.text.constData(), 1, size_t(result.text.size()), stdout);
                std::fflush(stdout);
            } else {
                std::fprintf(stderr, "vela-cli ocr: %s\n", result.error.toLocal8Bit().constData());
                status = 1;
            }
        }
        for (auto& thread : threads)
            thread.join();
        return status;
    }

private:
    void work() {
        // One short run: the orientation data need not stay loaded while a page is read.
        OcrEngine::Instance().SetKeepsOrientationData(false);
        for (;;) {
            const int index = m_next++;
            if (index >= m_files.size())
                return;
            PageResult result;
            try {
                const QStringList text =
                    Recognition::RecognizeFile(m_language, m_files[index], m_lines);
                result.text = Recognition::JoinLines(text, QStringLiteral("\n")).toUtf8();
            } catch (const VelaError& e) {
                result.failed = true;
                result.error = e.Message();
            } catch (const std::exception& e) {
                result.failed = true;
                result.error = QStringLiteral("\"%1\": %2")
                                   .arg(m_files[index], QString::fromLocal8Bit(e.what()));
            }
            result.done = true;
            std::lock_guard lock(m_mutex);
            m_results[size_t(index)] = std::move(result);
            std::fprintf(stderr, "[%d/%lld] %s\n", ++m_doneCount, qlonglong(m_files.size()),
                         m_files[index].toLocal8Bit().constData());
            m_finished.notify_all();
        }
    }

    const int m_language;
    const bool m_lines;
    const QStringList m_files;
    std::atomic<int> m_next{0};
    std::mutex m_mutex;
    std::condition_variable m_finished;
    std::vector<PageResult> m_results;
    int m_doneCount = 0;
};

int runOcr(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int language = MiDocument::LanguageEnglish;
    bool lines = false;
    QStringList files;
    int jobs = QThread::idealThreadCount();
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--lang") == 0 && i + 1 < argc) {
            const char* value = argv[++i];
            if (std::strcmp(value, "en") == 0)
                language = MiDocument::LanguageEnglish;
            else if (std::strcmp(value, "ja") == 0)
                language = MiDocument::LanguageJapanese;
            else
                return ocrUsage();
        } else if (std::strcmp(arg, "--lines") == 0) {
            lines = true;
        } else if (std::strcmp(arg, "--jobs") == 0 && i + 1 < argc) {
            bool ok = false;
            jobs = QByteArray(argv[++i]).toInt(&ok);
            if (!ok || jobs < 1 || jobs > MaxJobs)
                return ocrUsage();
        } else if (arg[0] == '-' && arg[1] != '\0') {
            return ocrUsage();
        } else {
            files.append(QString::fromLocal8Bit(arg));
        }
    }
    if (files.isEmpty())
        return ocrUsage();

    ParallelOcr ocr(language, lines, files);
    return ocr.Run(std::clamp(jobs, 1, int(files.size())));
}

} // namespace

VELA_CLI_COMMAND("ocr",
                 "ocr [--lang en|ja] [--lines] [--jobs N] FILE...  recognise images as the window "
                 "does, N at a time (default: the number of cores)",
                 runOcr);
