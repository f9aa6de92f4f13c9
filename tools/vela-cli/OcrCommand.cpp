// vela-cli ocr: prints the text that recognition puts into the text pane, or writes the pages
// as hOCR or as a searchable PDF, into one output or each input's own.
#include "CliCommand.h"
#include "MiDocument.h"
#include "OutputWriter.h"
#include "PageSource.h"
#include "ParallelOcr.h"
#include "VelaError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStringList>
#include <QThread>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

int ocrUsage() {
    std::fprintf(stderr, "usage: vela-cli ocr [--lang en|ja] [--lines] [--jobs N] "
                         "[--format text|hocr|pdf] [-o FILE | -O DIR] FILE|FOLDER...\n");
    return 2;
}

constexpr int MaxJobs = 64;

const char* extension(OutputWriter::Format format) {
    switch (format) {
    case OutputWriter::Format::Hocr:
        return "hocr";
    case OutputWriter::Format::Pdf:
        return "pdf";
    default:
        return "txt";
    }
}

// The files given, a folder standing for the images and documents in it (by name).
QStringList inputFiles(const QStringList& given) {
    static const QStringList kinds{"*.png", "*.jpg", "*.jpeg", "*.jpe", "*.bmp",
                                   "*.gif", "*.pdf", "*.tif",  "*.tiff"};
    QStringList files;
    for (const QString& name : given) {
        if (!QFileInfo(name).isDir()) {
            files.append(name);
            continue;
        }
        const QDir folder(name);
        for (const QString& entry : folder.entryList(kinds, QDir::Files, QDir::Name))
            files.append(folder.filePath(entry));
    }
    return files;
}

int runOcr(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int language = MiDocument::LanguageEnglish;
    bool lines = false;
    QStringList given;
    QString target, folder;
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
        } else if ((std::strcmp(arg, "-o") == 0 || std::strcmp(arg, "-O") == 0) && i + 1 < argc) {
            (arg[1] == 'o' ? target : folder) = QString::fromLocal8Bit(argv[++i]);
            if ((arg[1] == 'o' ? target : folder).isEmpty())
                return ocrUsage();
        } else if (arg[0] == '-' && arg[1] != '\0') {
            return ocrUsage();
        } else {
            given.append(QString::fromLocal8Bit(arg));
        }
    }
    const QStringList files = inputFiles(given);
    if (files.isEmpty() || (!target.isEmpty() && !folder.isEmpty()))
        return ocrUsage();
    if (!folder.isEmpty() && !QDir().mkpath(folder)) {
        std::fprintf(stderr, "vela-cli ocr: cannot make the folder \"%s\"\n",
                     folder.toLocal8Bit().constData());
        return 1;
    }

    std::vector<OcrInput> inputs;
    QSet<QString> targets;
    int skipped = 0;
    for (const QString& file : files) {
        OcrInput input{file, nullptr, {}, {}};
        if (!folder.isEmpty()) {
            const QFileInfo in(file);
            input.target = QDir(folder).filePath(in.completeBaseName() + QLatin1Char('.') +
                                                 QLatin1String(extension(format)));
            if (targets.contains(input.target)) {
                std::fprintf(stderr, "vela-cli ocr: two inputs would both be written to \"%s\"\n",
                             input.target.toLocal8Bit().constData());
                return 2;
            }
            targets.insert(input.target);
            // Written after the input last changed: done in an earlier run.
            const QFileInfo out(input.target);
            if (out.exists() && in.exists() && out.lastModified() >= in.lastModified()) {
                ++skipped;
                continue;
            }
        }
        try {
            input.source = std::make_unique<PageSource>(file);
        } catch (const std::exception& e) {
            input.error = OcrErrorText(e, file);
        }
        inputs.push_back(std::move(input));
    }
    if (skipped > 0)
        std::fprintf(stderr, "vela-cli ocr: %d input(s) skipped: their output is newer\n", skipped);
    try {
        std::unique_ptr<OutputWriter> writer;
        if (folder.isEmpty())
            writer = std::make_unique<OutputWriter>(format, target,
                                                    QFileInfo(files.front()).completeBaseName());
        ParallelOcr ocr(language, lines, inputs, format, writer.get());
        const int failed = ocr.Run(jobs);
        if (!folder.isEmpty()) {
            if (ocr.FailedInputs().isEmpty())
                return 0;
            std::fprintf(stderr, "vela-cli ocr: %lld of %zu input(s) failed: %s\n",
                         qint64(ocr.FailedInputs().size()), inputs.size(),
                         ocr.FailedInputs().join(QStringLiteral(", ")).toLocal8Bit().constData());
            return 1;
        }
        if (failed > 0 && !target.isEmpty()) {
            // A file that lacks pages would pass for the document; the old one stays.
            std::fprintf(stderr,
                         "vela-cli ocr: \"%s\" was not written: %d page(s) could not be "
                         "read\n",
                         target.toLocal8Bit().constData(), failed);
            return 1;
        }
        writer->Finish();
        return failed > 0 ? 1 : 0;
    } catch (const VelaError& e) {
        std::fprintf(stderr, "vela-cli ocr: %s\n", e.Message().toLocal8Bit().constData());
        return 1;
    }
}

} // namespace

VELA_CLI_COMMAND("ocr",
                 "ocr [--lang en|ja] [--lines] [--jobs N] [--format text|hocr|pdf] "
                 "[-o FILE | -O DIR] FILE|FOLDER...  recognise images, PDF and TIFF pages as the "
                 "window does, N pages at a time (default: the number of cores); text to standard "
                 "output unless -o names a file; -O writes each input's own output into DIR, "
                 "skipping inputs whose output is newer",
                 runOcr);
