#include "OutputWriter.h"

#include "MiDocument.h"
#include "OcrEngine.h"
#include "PixPtr.h"
#include "VelaError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryFile>
#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/renderer.h>

namespace {

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

// The folder that holds the engine's glyphless font (pdf.ttf), which the PDF text layer is
// set in: the language data folder, else the installed data's folder (a TESSDATA_PREFIX
// folder often holds language files only).
QString pdfFontFolder() {
    const QString data = OcrDataFolder();
    if (QFileInfo::exists(QDir(data).filePath(QStringLiteral("pdf.ttf"))))
        return data;
    return QStringLiteral(VELA_TESSDATA_DIR);
}

bool endsLikeAPdf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 16)
        return false;
    file.seek(file.size() - 16);
    return file.read(16).contains("%%EOF");
}

} // namespace

std::optional<OutputWriter::Format> OutputWriter::FormatNamed(const QString& name) {
    if (name == QLatin1String("text"))
        return Format::Text;
    if (name == QLatin1String("hocr"))
        return Format::Hocr;
    if (name == QLatin1String("pdf"))
        return Format::Pdf;
    return std::nullopt;
}

OutputWriter::OutputWriter(Format format, const QString& target, const QString& title)
    : m_format(format), m_target(target) {
    QByteArray base = "-";
    if (!target.isEmpty()) {
        // Beside the target, so that putting it in place is a rename on the same disk.
        const QFileInfo info(target);
        const QString part = info.absoluteDir().filePath(
            QStringLiteral(".%1.%2-%3")
                .arg(info.fileName())
                .arg(QCoreApplication::applicationPid())
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        base = QFile::encodeName(part);
        m_partPath = part + QLatin1Char('.') + QLatin1String(extension(format));
    }
    const QString where = target.isEmpty() ? QStringLiteral("standard output") : target;
    switch (format) {
    case Format::Text:
        m_text = target.isEmpty() ? stdout : std::fopen(QFile::encodeName(m_partPath), "wb");
        if (!m_text)
            throw VelaError(QStringLiteral("Cannot write \"%1\"").arg(target));
        return;
    case Format::Hocr:
        m_renderer = std::make_unique<tesseract::TessHOcrRenderer>(base.constData());
        break;
    case Format::Pdf: {
        const QByteArray fonts = QFile::encodeName(pdfFontFolder());
        if (!QFileInfo::exists(QDir(pdfFontFolder()).filePath(QStringLiteral("pdf.ttf"))))
            throw VelaError(QStringLiteral("Cannot write a PDF: the OCR engine's font \"pdf.ttf\" "
                                           "is missing from \"%1\"")
                                .arg(pdfFontFolder()));
        m_renderer =
            std::make_unique<tesseract::TessPDFRenderer>(base.constData(), fonts.constData());
        break;
    }
    }
    if (!m_renderer->happy() || !m_renderer->BeginDocument(title.toUtf8().constData())) {
        discard();
        throw VelaError(QStringLiteral("Cannot write \"%1\"").arg(where));
    }
}

OutputWriter::~OutputWriter() {
    if (!m_finished)
        discard();
}

void OutputWriter::discard() {
    m_renderer.reset();
    if (m_text && m_text != stdout)
        std::fclose(m_text);
    m_text = nullptr;
    if (!m_partPath.isEmpty())
        QFile::remove(m_partPath);
}

void OutputWriter::waitForTurn(int order, std::unique_lock<std::mutex>& lock) {
    m_turn.wait(lock, [&] { return m_next >= order; });
}

void OutputWriter::advance() {
    ++m_next;
    m_turn.notify_all();
}

void OutputWriter::fail(const QString& why) {
    if (m_failure.isEmpty())
        m_failure = why;
    throw VelaError(m_failure);
}

void OutputWriter::AddText(int order, const QByteArray& text) {
    addPage(order, text, nullptr, nullptr, {});
}

void OutputWriter::AddRecognised(int order, tesseract::TessBaseAPI& engine,
                                 const MiDocument& document, Pix* original,
                                 const QString& jpegFile) {
    if (m_format != Format::Pdf) {
        addPage(order, {}, &engine, nullptr, document.FileName());
        return;
    }
    const PreparationSteps& steps = document.AppliedPreparation();
    const bool sameShape =
        document.AppliedQuarterTurns() == 0 && document.AppliedDeskew() == 0 && !steps.cut;
    if (!original || !sameShape) {
        addPage(order, {}, &engine, nullptr, {});
        return;
    }
    if (steps.scale == 1.0) {
        addPage(order, {}, &engine, original, jpegFile);
        return;
    }
    // Read enlarged: the engine's page sets the page's size and the layer's scale, and the
    // input's pixels go in as a JPEG of their own (made here, before waiting for the turn,
    // unless the input is one).
    if (!jpegFile.isEmpty()) {
        addPage(order, {}, &engine, nullptr, jpegFile);
        return;
    }
    int quality = 85;
    engine.GetIntVariable("jpg_quality", &quality);
    PixPtr plain(pixRemoveColormap(original, REMOVE_CMAP_BASED_ON_SRC));
    l_uint8* data = nullptr;
    size_t size = 0;
    QTemporaryFile jpeg(QDir::temp().filePath(QStringLiteral("vela-page-XXXXXX.jpg")));
    const bool written =
        plain && pixWriteMemJpeg(&data, &size, plain.get(), quality, 0) == 0 && jpeg.open() &&
        jpeg.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size) &&
        jpeg.flush();
    lept_free(data);
    if (!written) {
        // No room for the copy: the page goes in as the engine read it.
        addPage(order, {}, &engine, nullptr, {});
        return;
    }
    addPage(order, {}, &engine, nullptr, jpeg.fileName());
}

void OutputWriter::addPage(int order, const QByteArray& text, tesseract::TessBaseAPI* engine,
                           Pix* image, const QString& imageFile) {
    std::unique_lock lock(m_mutex);
    waitForTurn(order, lock);
    struct Advance {
        OutputWriter* writer;
        ~Advance() { writer->advance(); }
    } advance{this};
    if (!m_failure.isEmpty())
        fail(m_failure);
    const QString where = m_target.isEmpty() ? QStringLiteral("standard output") : m_target;
    if (m_text) {
        if (std::fwrite(text.constData(), 1, size_t(text.size()), m_text) != size_t(text.size()) ||
            std::fflush(m_text) != 0)
            fail(QStringLiteral("Cannot write \"%1\"").arg(where));
        return;
    }
    if (!engine)
        fail(QStringLiteral("No recognised page to write to \"%1\"").arg(where));
    if (m_format == Format::Pdf) {
        if (image) {
            // Encoded by what it is (bilevel as G4, else JPEG), not by the file it came from.
            pixSetInputFormat(image, IFF_UNKNOWN);
            // The engine takes the reference it is given and frees it with its page.
            engine->SetInputImage(pixClone(image));
        }
        const QByteArray name = QFile::encodeName(imageFile);
        engine->SetInputName(imageFile.isEmpty() ? nullptr : name.constData());
    } else {
        const QByteArray name = QFile::encodeName(imageFile);
        engine->SetInputName(name.constData());
    }
    if (!m_renderer->AddImage(engine))
        fail(QStringLiteral("Cannot write page %1 to \"%2\"").arg(order + 1).arg(where));
}

void OutputWriter::SkipPage(int order) {
    std::unique_lock lock(m_mutex);
    waitForTurn(order, lock);
    advance();
}

void OutputWriter::Finish() {
    std::unique_lock lock(m_mutex);
    const QString where = m_target.isEmpty() ? QStringLiteral("standard output") : m_target;
    bool complete = m_failure.isEmpty();
    if (m_renderer) {
        complete = m_renderer->EndDocument() && m_renderer->happy() && complete;
        m_renderer.reset(); // closes the file
    }
    if (m_text && m_text != stdout)
        complete = std::fclose(m_text) == 0 && complete;
    m_text = nullptr;
    if (complete && m_format == Format::Pdf && !m_partPath.isEmpty())
        complete = endsLikeAPdf(m_partPath);
    if (!complete) {
        discard();
        throw VelaError(m_failure.isEmpty() ? QStringLiteral("Cannot write \"%1\"").arg(where)
                                            : m_failure);
    }
    if (!m_partPath.isEmpty() && std::rename(QFile::encodeName(m_partPath).constData(),
                                             QFile::encodeName(m_target).constData()) != 0) {
        discard();
        throw VelaError(QStringLiteral("Cannot replace \"%1\"").arg(m_target));
    }
    m_finished = true;
}
