#pragma once

#include <QByteArray>
#include <QString>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class MiDocument;
class PdfOutput;
struct Pix;

// One output of recognised pages: plain text, hOCR, or a searchable PDF (the page images
// with an invisible text layer on each word's box), the last two made from the final reading of
// each page with its words on the image as given. Pages may be recognised on several threads
// at once; each is written in its turn, so the output keeps the order of the pages whatever
// order they finish in.
// A file named as target is replaced only when the output is complete; an output that was
// not finished leaves the target as it was.
class OutputWriter final {
public:
    enum class Format { Text, Hocr, Pdf };
    static std::optional<Format> FormatNamed(const QString& name);

    // An empty target writes to standard output. Raises VelaError when the output cannot
    // be started (folder not writable, the PDF's glyph-less font missing).
    OutputWriter(Format format, const QString& target, const QString& title);
    ~OutputWriter();
    OutputWriter(const OutputWriter&) = delete;
    OutputWriter& operator=(const OutputWriter&) = delete;

    // hOCR and PDF are made from the recognised document, text from its lines.
    bool NeedsDocument() const { return m_format != Format::Text; }

    // The page numbered order (0 for the first page of the output): written once every page
    // before it has been written or skipped, waiting until then. Raises VelaError when the
    // output fails; that failure is final.
    // A page of text.
    void AddText(int order, const QByteArray& text);
    // A recognised page: document is open after OCR, original the image it was opened with and
    // jpeg (when not empty) a JPEG file of original's pixels, which the PDF keeps as it is.
    void AddRecognised(int order, const MiDocument& document, Pix* original,
                       const QByteArray& jpeg = {});
    // The page numbered order has nothing to write (it could not be read).
    void SkipPage(int order);
    // Ends the output and puts it in place of the target; raises VelaError on failure.
    void Finish();

private:
    // Runs write in the page's turn, once no output failed before; the turn then passes.
    void inTurn(int order, const std::function<void()>& write);
    void waitForTurn(int order, std::unique_lock<std::mutex>& lock);
    void advance();
    void fail(const QString& why);
    void discard();
    QString where() const;

    const Format m_format;
    const QString m_target;
    QString m_partPath; // the output being written, renamed onto the target when complete
    std::FILE* m_file = nullptr;
    std::unique_ptr<PdfOutput> m_pdf;
    std::mutex m_mutex;
    std::condition_variable m_turn;
    int m_next = 0;
    QString m_failure;
    bool m_finished = false;
};
