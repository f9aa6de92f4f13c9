#pragma once

#include "MiLayout.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <tesseract/ocrclass.h>

class OcrMonitor;
struct Pix;

namespace tesseract {
class TessBaseAPI;
}

// A word as the engine read it: its text, rectangle and the engine's confidence (0 to 100).
// cell numbers the table cell it lies in (-1: none); cells of one line are set apart by tabs.
// glyphConfidence is the engine's mean confidence in the word's characters (-1: unknown);
// alternative is the word with the one character of which the engine had a second reading most
// nearly as likely read that way (empty: none); rivals the word with any one character read as
// any of the engine's other readings of it, likeliest first.
struct ReadWord {
    QString text;
    MiRect box;
    float confidence = 0;
    int cell = -1;
    float glyphConfidence = -1;
    QString alternative = QString();
    QStringList rivals = QStringList();
};
using ReadLine = QList<ReadWord>;

// The engine's progress reported to our monitor within [from, to] percent, and our monitor's
// cancel passed to the engine.
class EngineProgress final {
public:
    EngineProgress(OcrMonitor* monitor, int from, int to);
    EngineProgress(const EngineProgress&) = delete;
    EngineProgress& operator=(const EngineProgress&) = delete;
    // What the engine's Recognize takes; null without a monitor.
    tesseract::ETEXT_DESC* get() { return m_ours ? &m_desc : nullptr; }

private:
    tesseract::ETEXT_DESC m_desc;
    OcrMonitor* m_ours = nullptr;
    int m_from, m_to;
};

// What one run of the engine read on a page: its lines in reading order.
class PageReading final {
public:
    // Runs the engine, loaded with its language, over the page with automatic layout. monitor
    // (when set) receives the engine's progress mapped onto [fromPercent, toPercent] and can
    // stop the run (OcrCancelled). Raises VelaError naming fileName when the engine fails.
    // The engine keeps the page's results until it is given another image or cleared. A page
    // without a credible resolution is read as 300 dpi, or with measureResolution as the
    // engine measures it from its text's size.
    static PageReading Read(tesseract::TessBaseAPI& api, Pix* page, const QString& fileName,
                            OcrMonitor* monitor = nullptr, int fromPercent = 0, int toPercent = 100,
                            bool measureResolution = false);

    // What the engine holds from its last recognition.
    static PageReading Results(tesseract::TessBaseAPI& api);

    QList<ReadLine> Lines;

    // How much text the engine read with confidence: every letter and digit weighs by how far
    // its word's confidence lies above one half, so misread text counts against the page and
    // a page read the wrong way up weighs less than nothing. Rules read as strokes weigh
    // nothing.
    double Weight() const;
    // The layout: lines separated by "\r\n", words by a space, cells by a tab; Japanese keeps
    // spaces only between two non-CJK neighbours.
    MiLayout Layout(bool japanese) const;
};
