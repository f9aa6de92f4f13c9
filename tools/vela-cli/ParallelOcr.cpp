#include "ParallelOcr.h"

#include "MiDocument.h"
#include "OcrEngine.h"
#include "PixPtr.h"
#include "Recognition.h"
#include "VelaError.h"

#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <thread>
#include <unistd.h>

QString OcrErrorText(const std::exception& e, const QString& name) {
    if (const auto* vela = dynamic_cast<const VelaError*>(&e))
        return vela->Message();
    return QStringLiteral("\"%1\": %2").arg(name, QString::fromLocal8Bit(e.what()));
}

ParallelOcr::ParallelOcr(int language, bool lines, std::vector<OcrInput>& inputs,
                         OutputWriter::Format format, OutputWriter* shared)
    : m_language(language), m_lines(lines), m_inputs(inputs), m_format(format), m_shared(shared),
      m_writers(inputs.size()), m_writerFailures(inputs.size()),
      m_terminal(::isatty(STDERR_FILENO) != 0) {
    for (int i = 0; i < int(inputs.size()); ++i) {
        const int pages = inputs[size_t(i)].source ? inputs[size_t(i)].source->PageCount() : 1;
        for (int page = 0; page < pages; ++page)
            m_units.push_back({i, page, shared ? int(m_units.size()) : page});
    }
    m_results.resize(m_units.size());
}

ParallelOcr::~ParallelOcr() = default;

int ParallelOcr::Run(int jobs) {
    std::vector<std::thread> threads;
    for (int i = 0; i < std::clamp(jobs, 1, int(m_units.size())); ++i)
        threads.emplace_back([this] { work(); });
    int failed = 0;
    bool inputFailed = false;
    for (size_t i = 0; i < m_results.size(); ++i) {
        std::unique_lock lock(m_mutex);
        m_finished.wait(lock, [&] { return m_results[i].done; });
        const QString error = m_results[i].error;
        lock.unlock();
        if (!error.isEmpty()) {
            std::fprintf(stderr, "%svela-cli ocr: %s\n", m_terminal ? "\r\033[K" : "",
                         error.toLocal8Bit().constData());
            ++failed;
            inputFailed = true;
        }
        const Unit& unit = m_units[i];
        if (i + 1 == m_units.size() || m_units[i + 1].input != unit.input) {
            if (!m_shared)
                finishInput(unit.input, inputFailed);
            inputFailed = false;
        }
    }
    for (auto& thread : threads)
        thread.join();
    if (m_terminal && !m_units.empty())
        std::fputc('\n', stderr);
    return failed;
}

void ParallelOcr::finishInput(int input, bool failed) {
    std::unique_ptr<OutputWriter> writer;
    {
        std::lock_guard lock(m_mutex);
        writer = std::move(m_writers[size_t(input)]);
    }
    const OcrInput& in = m_inputs[size_t(input)];
    try {
        if (!failed && writer)
            writer->Finish();
        else
            failed = true;
    } catch (const VelaError& e) {
        std::fprintf(stderr, "%svela-cli ocr: %s\n", m_terminal ? "\r\033[K" : "",
                     e.Message().toLocal8Bit().constData());
        failed = true;
    }
    // An output that lacks pages would pass for the input's; it is not written.
    if (failed)
        m_failedInputs.append(in.name);
}

OutputWriter& ParallelOcr::writerOf(const Unit& unit) {
    if (m_shared)
        return *m_shared;
    std::lock_guard lock(m_mutex);
    std::unique_ptr<OutputWriter>& writer = m_writers[size_t(unit.input)];
    QString& failure = m_writerFailures[size_t(unit.input)];
    // Every page of an input whose output cannot be started fails with it.
    if (!failure.isEmpty())
        throw VelaError(failure);
    if (!writer) {
        const OcrInput& input = m_inputs[size_t(unit.input)];
        try {
            writer = std::make_unique<OutputWriter>(m_format, input.target,
                                                    QFileInfo(input.name).completeBaseName());
        } catch (const VelaError& e) {
            failure = e.Message();
            throw;
        }
    }
    return *writer;
}

void ParallelOcr::work() {
    // One short run: the orientation data need not stay loaded while a page is read.
    OcrEngine::Instance().SetKeepsOrientationData(false);
    for (;;) {
        const int index = m_next++;
        if (index >= int(m_units.size()))
            return;
        const Unit unit = m_units[size_t(index)];
        const OcrInput& input = m_inputs[size_t(unit.input)];
        Result result;
        // The shared output's turn passes also for an input that cannot be read.
        OutputWriter* writer = m_shared;
        bool handed = false;
        try {
            if (!input.source)
                throw VelaError(input.error);
            writer = &writerOf(unit);
            read(unit, *input.source, *writer, handed);
        } catch (const std::exception& e) {
            result.error = OcrErrorText(e, input.name);
        }
        if (writer && !handed)
            writer->SkipPage(unit.order);
        result.done = true;
        std::lock_guard lock(m_mutex);
        m_results[size_t(index)] = std::move(result);
        progress(unit);
        m_finished.notify_all();
    }
}

void ParallelOcr::progress(const Unit& unit) {
    const OcrInput& input = m_inputs[size_t(unit.input)];
    const int pages = input.source ? input.source->PageCount() : 1;
    const QByteArray name = input.name.toLocal8Bit();
    const char* start = m_terminal ? "\r\033[K" : "";
    const char* end = m_terminal ? "" : "\n";
    if (pages > 1)
        std::fprintf(stderr, "%s[%d/%zu] %s page %d/%d%s", start, ++m_doneCount, m_units.size(),
                     name.constData(), unit.page + 1, pages, end);
    else
        std::fprintf(stderr, "%s[%d/%zu] %s%s", start, ++m_doneCount, m_units.size(),
                     name.constData(), end);
    std::fflush(stderr);
}

void ParallelOcr::read(const Unit& unit, const PageSource& source, OutputWriter& writer,
                       bool& handed) {
    PixPtr original;
    QByteArray jpeg;
    const auto open = [&](MiDocument& document) {
        source.Open(unit.page, document, &jpeg);
        if (writer.NeedsDocument())
            original.reset(pixClone(document.Page()));
    };
    const auto show = [&](const MiDocument& document) {
        if (!writer.NeedsDocument())
            return;
        handed = true;
        writer.AddRecognised(unit.order, document, original.get(), jpeg);
    };
    const QStringList lines = Recognition::RecognizeOpened(m_language, open, m_lines, show);
    if (writer.NeedsDocument())
        return;
    // Pages of one document are set apart by a blank line, as in the window.
    QString text = Recognition::JoinLines(lines, QStringLiteral("\n"));
    if (unit.page > 0)
        text.prepend(QLatin1Char('\n'));
    handed = true;
    writer.AddText(unit.order, text.toUtf8());
}
