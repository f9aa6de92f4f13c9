#pragma once

#include "OutputWriter.h"
#include "PageSource.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <vector>

// What a failure says, naming the input when the failure does not.
QString OcrErrorText(const std::exception& e, const QString& name);

// One input of vela-cli ocr.
struct OcrInput {
    QString name;
    std::unique_ptr<PageSource> source; // null when the file cannot be read
    QString error;
    QString target; // the input's own output file, when each input has one
};

// Recognises the pages of all inputs on several threads, each with its own engine, into one
// output or into each input's own. Outputs get their pages in order; failures are reported in
// that order too, as pages finish. Progress goes to standard error: a line per page, or one line
// kept up to date on a terminal.
class ParallelOcr final {
public:
    // shared: the one output of every input; null: each input to its target, in format.
    ParallelOcr(int language, bool lines, std::vector<OcrInput>& inputs,
                OutputWriter::Format format, OutputWriter* shared);
    ParallelOcr(const ParallelOcr&) = delete;
    ParallelOcr& operator=(const ParallelOcr&) = delete;
    ~ParallelOcr();

    // Reads every page on jobs threads; returns the number of pages that could not be read.
    int Run(int jobs);
    // The inputs whose own output was not written.
    const QStringList& FailedInputs() const { return m_failedInputs; }

private:
    struct Unit {
        int input = 0;
        int page = 0;
        int order = 0; // in the unit's output
    };
    struct Result {
        bool done = false;
        QString error;
    };

    void work();
    void read(const Unit& unit, const PageSource& source, OutputWriter& writer, bool& handed);
    OutputWriter& writerOf(const Unit& unit);
    void finishInput(int input, bool failed);
    void progress(const Unit& unit);

    const int m_language;
    const bool m_lines;
    std::vector<OcrInput>& m_inputs;
    const OutputWriter::Format m_format;
    OutputWriter* const m_shared;
    std::vector<std::unique_ptr<OutputWriter>> m_writers; // each input's own, while written
    std::vector<QString> m_writerFailures;
    std::vector<Unit> m_units;
    std::vector<Result> m_results;
    std::atomic<int> m_next{0};
    std::mutex m_mutex;
    std::condition_variable m_finished;
    int m_doneCount = 0;
    const bool m_terminal;
    QStringList m_failedInputs;
};
