// vela-cli ocr: prints the text that recognition puts into the text pane, or writes the pages
// as hOCR or as a searchable PDF.
#include "CliCommand.h"
#include "MiDocument.h"
#include "OcrEngine.h"
#include "OutputWriter.h"
#include "PageSource.h"
#include "Recognition.h"
#include "VelaError.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

int ocrUsage() {
    std::fprintf(stderr, "usage: vela-cli ocr [--lang en|ja] [--lines] [--jobs N] "
                         "[--format text|hocr|pdf] [-o FILE] FILE...\n");
    return 2;
}

constexpr int MaxJobs = 64;

struct Input {
    QString name;
    std::unique_ptr<PageSource> source; // null when the file cannot be read
    QString error;
};

// One page of one input, as the output numbers them.
struct Unit {
    int input = 0;
    int page = 0;
};

struct PageResult {
    bool done = false;
    QString error;
};

QString errorText(const std::exception& e, const QString& name) {
    if (const auto* vela = dynamic_cast<const VelaError*>(&e))
        return vela->Message();
    return QStringLiteral("\"%1\": %2").arg(name, QString::fromLocal8Bit(e.what()));
}

// Recognises the pages of all inputs on `jobs` threads, each with its own engine; the writer
// puts them out in page order, and failures are reported in that order too, as pages finish.
class ParallelOcr {
public:
    ParallelOcr(int language, bool lines, std::vector<Input>& inputs, OutputWriter& writer)
        : m_language(language), m_lines(lines), m_inputs(inputs), m_writer(writer) {
        for (int i = 0; i < int(inputs.size()); ++i) {
            const int pages = inputs[size_t(i)].source ? inputs[size_t(i)].source->PageCount() : 1;
            for (int page = 0; page < pages; ++page)
                m_units.push_back({i, page});
        }
        m_results.resize(m_units.size());
    }

    // The number of pages that could not be read.
    int Run(int jobs) {
        std::vector<std::thread> threads;
        for (int i = 0; i < std::clamp(jobs, 1, int(m_units.size())); ++i)
            threads.emplace_back([this] { work(); });
        int failed = 0;
        for (size_t i = 0; i < m_results.size(); ++i) {
            std::unique_lock lock(m_mutex);
            m_finished.wait(lock, [&] { return m_results[i].done; });
            const QString error = m_results[i].error;
            lock.unlock();
            if (!error.isEmpty()) {
                std::fprintf(stderr, "vela-cli ocr: %s\n", error.toLocal8Bit().constData());
                ++failed;
            }
        }
        for (auto& thread : threads)
            thread.join();
        return failed;
    }

private:
    void work() {
        // One short run: the orientation data need not stay loaded while a page is read.
        OcrEngine::Instance().SetKeepsOrientationData(false);
        for (;;) {
            const int order = m_next++;
            if (order >= int(m_units.size()))
                return;
            const Unit unit = m_units[size_t(order)];
            const Input& input = m_inputs[size_t(unit.input)];
            PageResult result;
            bool handed = false;
            try {
                if (!input.source)
                    throw VelaError(input.error);
                read(order, unit, *input.source, handed);
            } catch (const std::exception& e) {
                result.error = errorText(e, input.name);
            }
            if (!handed)
                m_writer.SkipPage(order);
            result.done = true;
            std::lock_guard lock(m_mutex);
            m_results[size_t(order)] = std::move(result);
            const int pages = input.source ? input.source->PageCount() : 1;
            const QByteArray name = input.name.toLocal8Bit();
            if (pages > 1)
                std::fprintf(stderr, "[%d/%zu] %s page %d/%d\n", ++m_doneCount, m_units.size(),
                             name.constData(), unit.page + 1, pages);
            else
                std::fprintf(stderr, "[%d/%zu] %s\n", ++m_doneCount, m_units.size(),
                             name.constData());
            m_finished.notify_all();
        }
    }

    void read(int order, const Unit& unit, const PageSource& source, bool& handed) {
        PixPtr original;
        QByteArray jpeg;
        const auto open = [&](MiDocument& document) {
            source.Open(unit.page, document, &jpeg);
            if (!m_writer.NeedsEngine())
                return;
            original.reset(pixClone(document.Page()));
            document.Recognised = [&](tesseract::TessBaseAPI& engine) {
                handed = true;
                m_writer.AddRecognised(order, engine, document, original.get(),
                                       !jpeg.isEmpty() && unit.page == 0 &&
                                               !PageSource::IsDocumentFile(source.FileName())
                                           ? source.FileName()
                                           : QString());
            };
        };
        const QStringList lines = Recognition::RecognizeOpened(m_language, open, m_lines);
        if (m_writer.NeedsEngine())
            return;
        // Pages of one document are set apart by a blank line, as in the window.
        QString text = Recognition::JoinLines(lines, QStringLiteral("\n"));
        if (unit.page > 0)
            text.prepend(QLatin1Char('\n'));
        handed = true;
        m_writer.AddText(order, text.toUtf8());
    }

    const int m_language;
    const bool m_lines;
    std::vector<Input>& m_inputs;
    OutputWriter& m_writer;
    std::vector<Unit> m_units;
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
    QString target;
    OutputWriter::Format format = OutputWriter::Format::Text;
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
        } else if (std::strcmp(arg, "--format") == 0 && i + 1 < argc) {
            const auto named = OutputWriter::FormatNamed(QString::fromLocal8Bit(argv[++i]));
            if (!named)
                return ocrUsage();
            format = *named;
        } else if (std::strcmp(arg, "-o") == 0 && i + 1 < argc) {
            target = QString::fromLocal8Bit(argv[++i]);
            if (target.isEmpty())
                return ocrUsage();
        } else if (arg[0] == '-' && arg[1] != '\0') {
            return ocrUsage();
        } else {
            files.append(QString::fromLocal8Bit(arg));
        }
    }
    if (files.isEmpty())
        return ocrUsage();

    std::vector<Input> inputs;
    for (const QString& file : files) {
        Input input{file, nullptr, {}};
        try {
            input.source = std::make_unique<PageSource>(file);
        } catch (const std::exception& e) {
            input.error = errorText(e, file);
        }
        inputs.push_back(std::move(input));
    }
    try {
        OutputWriter writer(format, target, QFileInfo(files.front()).completeBaseName());
        ParallelOcr ocr(language, lines, inputs, writer);
        const int failed = ocr.Run(jobs);
        if (failed > 0 && !target.isEmpty()) {
            // A file that lacks pages would pass for the document; the old one stays.
            std::fprintf(stderr,
                         "vela-cli ocr: \"%s\" was not written: %d page(s) could not be "
                         "read\n",
                         target.toLocal8Bit().constData(), failed);
            return 1;
        }
        writer.Finish();
        return failed > 0 ? 1 : 0;
    } catch (const VelaError& e) {
        std::fprintf(stderr, "vela-cli ocr: %s\n", e.Message().toLocal8Bit().constData());
        return 1;
    }
}

} // namespace

VELA_CLI_COMMAND("ocr",
                 "ocr [--lang en|ja] [--lines] [--jobs N] [--format text|hocr|pdf] [-o FILE] "
                 "FILE...  recognise images, PDF and TIFF pages as the window does, N pages at a "
                 "time (default: the number of cores); text to standard output unless -o names a "
                 "file",
                 runOcr);
