#pragma once

#include "ImageHeader.h"
#include "MiImage.h"
#include "PageGeometry.h"
#include "PixPtr.h"
#include "PreparationSteps.h"

class OcrMonitor;

#include <QString>
#include <functional>
#include <optional>

namespace tesseract {
class TessBaseAPI;
}

// The OCR engine's document: one image file opened, optionally recognised, then closed.
// Every failure raises VelaError with the engine's message.
class MiDocument final {
public:
    // Images above this many pixels are refused from their header, before decoding.
    static constexpr qint64 MaxImagePixels = ImageHeader::MaxPixels;

    // Language ids of the document interface.
    static constexpr int LanguageEnglish = 9;
    static constexpr int LanguageJapanese = 17;

    MiDocument();
    ~MiDocument();
    MiDocument(const MiDocument&) = delete;
    MiDocument& operator=(const MiDocument&) = delete;

    // Opens and decodes the image file (the first page of a multi-page file).
    void Create(const QString& fileName);
    // The same from the file's bytes, read beforehand: fileName names it in errors.
    void Create(const QByteArray& bytes, const QString& fileName);
    // Opens a page decoded elsewhere (a page of a document, PageSource) from fileName.
    void Create(PixPtr page, const QString& fileName);
    // Recognises the open image. A page captured poorly is prepared first as it needs
    // (PagePreparation: cut out of a dark surround, light evened, small text enlarged);
    // orient turns the page upright (0, 90, 180 or 270 degrees), straighten removes a small
    // skew; afterwards the document holds the corrected page and the word rectangles refer
    // to it. monitor (when set) receives the
    // progress and can stop the run, which then raises OcrCancelled.
    void OCR(int languageId, bool orient, bool straighten, OcrMonitor* monitor = nullptr);
    // The recognised page; only index 0 exists.
    const MiImage& Images(int index) const;
    // Closes the document; saving is not supported and raises.
    void Close(bool save);

    bool IsOpen() const { return m_pix != nullptr; }
    const QString& FileName() const { return m_fileName; }
    // The page as it stands (upright and straight after OCR), owned by the document; null
    // when closed.
    Pix* Page() const { return m_pix; }
    // What the last OCR corrected: clockwise quarter turns applied, skew removed (degrees).
    int AppliedQuarterTurns() const { return m_quarterTurns; }
    double AppliedDeskew() const { return m_deskew; }
    // How the last OCR prepared the page before turning it (nothing for a clean page).
    const PreparationSteps& AppliedPreparation() const { return m_preparation; }
    // Where the recognised page lies on the image as opened: a word rectangle of the layout
    // in the opened image's own pixels is Geometry().ToInput(rectangle).
    PageGeometry Geometry() const;

    // Called by OCR while the engine still holds the page's results (for writers that take
    // them from the engine itself); a failure it raises ends OCR.
    std::function<void(tesseract::TessBaseAPI& engine)> Recognised;

    // The Tesseract language of a language id; raises for ids other than 9 and 17.
    static QString LanguageCode(int languageId);

private:
    void requireOpen() const;
    void replacePix(Pix* pix);

    QString m_fileName;
    Pix* m_pix = nullptr;
    std::optional<MiImage> m_image;
    int m_quarterTurns = 0;
    double m_deskew = 0;
    PreparationSteps m_preparation;
    int m_inputWidth = 0, m_inputHeight = 0, m_inputResolution = 0;
};
