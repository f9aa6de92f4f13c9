#pragma once

#include <QByteArray>
#include <QString>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>

class MiDocument;
struct Pix;
namespace tesseract {
class TessBaseAPI;
class TessResultRenderer;
} // namespace tesseract

// One output of recognised pages: plain text, hOCR, or a searchable PDF (the page images
// with an invisible text layer on each word's box), the last two made by the engine's own
// renderers. Pages may be recognised on several threads at once; each is written in its
// turn, so the output keeps the order of the pages whatever order they finish in.
// A file named as target is replaced only when the output is complete; an output that was
// not finished leaves the target as it was.
class OutputWriter final {
public:
    enum class Format { Text, Hocr, Pdf };
    static std::optional<Format> FormatNamed(const QString& name);

    // An empty target writes to standard output. Raises VelaError when the output cannot
    // be started (folder not writable, the engine's PDF font missing).
    OutputWriter(Format format, const QString& target, const QString& title);
    ~OutputWriter();
    OutputWriter(const OutputWriter&) = delete;
    OutputWriter& operator=(const OutputWriter&) = delete;

    // hOCR and PDF are made from the engine while it holds a page's results.
    bool NeedsEngine() const { return m_format != Format::Text; }

    // The page numbered order (0 for the first page of the output): written once every page
    // before it has been written or skipped, waiting until then. Raises VelaError when the
    // output fails; that failure is final.
    // A page of text.
    void AddText(int order, const QByteArray& text);
    // A recognised page, while engine holds its results. original is the page as the input
    // gave it, and jpegFile (when set) a JPEG file whose own bytes are that page. The PDF
    // stores the input's page wherever the text layer fits it (also when the engine read it
    // enlarged); a page the engine had to turn, straighten or cut out is stored as read.
    void AddRecognised(int order, tesseract::TessBaseAPI& engine, const MiDocument& document,
                       Pix* original, const QString& jpegFile = {});
    // The page numbered order has nothing to write (it could not be read).
    void SkipPage(int order);
    // Ends the output and puts it in place of the target; raises VelaError on failure.
    void Finish();

private:
    // image replaces the engine's page in the PDF; imageFile's own bytes (a JPEG) stand for
    // the page's pixels while the engine's page still gives the page's size.
    void addPage(int order, const QByteArray& text, tesseract::TessBaseAPI* engine, Pix* image,
                 const QString& imageFile);
    void waitForTurn(int order, std::unique_lock<std::mutex>& lock);
    void advance();
    void fail(const QString& why);
    void discard();

    const Format m_format;
    const QString m_target;
    QString m_partPath; // the output being written, renamed onto the target when complete
    std::unique_ptr<tesseract::TessResultRenderer> m_renderer;
    std::FILE* m_text = nullptr;
    std::mutex m_mutex;
    std::condition_variable m_turn;
    int m_next = 0;
    QString m_failure;
    bool m_finished = false;
};
