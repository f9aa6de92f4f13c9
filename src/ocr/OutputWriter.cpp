#include "OutputWriter.h"

#include "HocrMarkup.h"
#include "MiDocument.h"
#include "OcrEngine.h"
#include "OutputPage.h"
#include "PdfImageData.h"
#include "PdfOutput.h"
#include "VelaError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <csignal>

namespace {

// The glyph-less font the PDF's text layer is set in (the OCR engine's pdf.ttf): in the
// language data folder, else the installed data's folder (a TESSDATA_PREFIX folder often holds
// language files only).
QString pdfFontFolder() {
    const QString data = OcrDataFolder();
    if (QFileInfo::exists(QDir(data).filePath(QStringLiteral("pdf.ttf"))))
        return data;
    return QStringLiteral(VELA_TESSDATA_DIR);
}

// What a run that was killed left half written beside target (named after its process).
void removeLeftOvers(const QFileInfo& target) {
    const QString prefix = QLatin1Char('.') + target.fileName() + QLatin1Char('.');
    const QDir folder = target.absoluteDir();
    for (const QString& entry :
         folder.entryList({prefix + QStringLiteral("*.part")}, QDir::Files | QDir::Hidden)) {
        const qint64 pid = entry.mid(prefix.size()).section(QLatin1Char('-'), 0, 0).toLongLong();
        if (pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            QFile::remove(folder.filePath(entry));
    }
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
    QByteArray font;
    if (format == Format::Pdf) {
        QFile file(QDir(pdfFontFolder()).filePath(QStringLiteral("pdf.ttf")));
        if (!file.open(QIODevice::ReadOnly))
            throw VelaError(QStringLiteral("Cannot write a PDF: the OCR engine's font \"pdf.ttf\" "
                                           "is missing from \"%1\"")
                                .arg(pdfFontFolder()));
        font = file.readAll();
    }
    if (!target.isEmpty()) {
        // Beside the target, so that putting it in place is a rename on the same disk.
        const QFileInfo info(target);
        removeLeftOvers(info);
        m_partPath = info.absoluteDir().filePath(
            QStringLiteral(".%1.%2-%3.part")
                .arg(info.fileName())
                .arg(QCoreApplication::applicationPid())
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
    }
    m_file = target.isEmpty() ? stdout : std::fopen(QFile::encodeName(m_partPath), "wb");
    if (!m_file)
        throw VelaError(QStringLiteral("Cannot write \"%1\"").arg(target));
    if (format == Format::Pdf)
        m_pdf = std::make_unique<PdfOutput>(m_file, title, font);
    if (format == Format::Hocr) {
        const QByteArray head = HocrMarkup::Head(title);
        if (std::fwrite(head.constData(), 1, size_t(head.size()), m_file) != size_t(head.size())) {
            discard();
            throw VelaError(QStringLiteral("Cannot write \"%1\"").arg(where()));
        }
    }
}

OutputWriter::~OutputWriter() {
    if (!m_finished)
        discard();
}

QString OutputWriter::where() const {
    return m_target.isEmpty() ? QStringLiteral("standard output") : m_target;
}

void OutputWriter::discard() {
    m_pdf.reset();
    if (m_file && m_file != stdout)
        std::fclose(m_file);
    m_file = nullptr;
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

void OutputWriter::inTurn(int order, const std::function<void()>& write) {
    std::unique_lock lock(m_mutex);
    waitForTurn(order, lock);
    struct Advance {
        OutputWriter* writer;
        ~Advance() { writer->advance(); }
    } advance{this};
    if (!m_failure.isEmpty())
        fail(m_failure);
    write();
}

void OutputWriter::AddText(int order, const QByteArray& text) {
    inTurn(order, [&] {
        if (std::fwrite(text.constData(), 1, size_t(text.size()), m_file) != size_t(text.size()) ||
            std::fflush(m_file) != 0)
            fail(QStringLiteral("Cannot write \"%1\"").arg(where()));
    });
}

void OutputWriter::AddRecognised(int order, const MiDocument& document, Pix* original,
                                 const QByteArray& jpeg) {
    if (m_format == Format::Text)
        throw VelaError(QStringLiteral("A text output takes the page's text"));
    // Made before the page's turn, so that pages are prepared side by side; the turn passes
    // whatever happens.
    OutputPage page;
    PdfImageData image;
    try {
        page = OutputPage::Of(document);
        if (m_format == Format::Pdf)
            image = PdfImageData::Of(original, jpeg);
    } catch (...) {
        SkipPage(order);
        throw;
    }
    if (m_format == Format::Hocr) {
        AddText(order, HocrMarkup::Page(page, order));
        return;
    }
    inTurn(order, [&] {
        if (image.data.isEmpty())
            fail(QStringLiteral("Cannot write page %1 to \"%2\": its image cannot be stored")
                     .arg(order + 1)
                     .arg(where()));
        if (!m_pdf->AddPage(page, image))
            fail(QStringLiteral("Cannot write page %1 to \"%2\"").arg(order + 1).arg(where()));
    });
}

void OutputWriter::SkipPage(int order) {
    std::unique_lock lock(m_mutex);
    waitForTurn(order, lock);
    advance();
}

void OutputWriter::Finish() {
    std::unique_lock lock(m_mutex);
    bool complete = m_failure.isEmpty();
    if (m_pdf)
        complete = m_pdf->Finish() && complete;
    if (m_format == Format::Hocr) {
        const QByteArray tail = HocrMarkup::Tail();
        complete =
            std::fwrite(tail.constData(), 1, size_t(tail.size()), m_file) == size_t(tail.size()) &&
            complete;
    }
    complete = std::fflush(m_file) == 0 && complete;
    if (m_file != stdout)
        complete = std::fclose(m_file) == 0 && complete;
    m_file = nullptr;
    m_pdf.reset();
    if (!complete) {
        discard();
        throw VelaError(m_failure.isEmpty() ? QStringLiteral("Cannot write \"%1\"").arg(where())
                                            : m_failure);
    }
    if (!m_partPath.isEmpty() && std::rename(QFile::encodeName(m_partPath).constData(),
                                             QFile::encodeName(m_target).constData()) != 0) {
        discard();
        throw VelaError(QStringLiteral("Cannot replace \"%1\"").arg(m_target));
    }
    m_finished = true;
}
