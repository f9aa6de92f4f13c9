#include "PageReading.h"

#include "OcrMonitor.h"
#include "VelaError.h"
#include "WordJoin.h"

#include <algorithm>
#include <leptonica/allheaders.h>
#include <memory>
#include <optional>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>
#include <vector>

EngineProgress::EngineProgress(OcrMonitor* monitor, int from, int to) : m_from(from), m_to(to) {
    if (!monitor)
        return;
    m_desc.cancel_this = this;
    m_desc.cancel = [](void* self, int) {
        return static_cast<EngineProgress*>(self)->m_ours->Cancelled();
    };
    m_desc.progress_callback2 = [](tesseract::ETEXT_DESC* engine, int, int, int, int) {
        const auto* self = static_cast<EngineProgress*>(engine->cancel_this);
        self->m_ours->SetPercent(self->m_from +
                                 engine->progress * (self->m_to - self->m_from) / 100);
        return true;
    };
    m_ours = monitor;
}

PageReading PageReading::Read(tesseract::TessBaseAPI& api, Pix* page, const QString& fileName,
                              OcrMonitor* monitor, int fromPercent, int toPercent,
                              bool measureResolution) {
    api.SetPageSegMode(tesseract::PSM_AUTO);
    api.SetImage(page);
    if (pixGetXRes(page) < 70 && !measureResolution)
        api.SetSourceResolution(300);
    EngineProgress progress(monitor, fromPercent, toPercent);
    const int recognized = api.Recognize(progress.get());
    if (monitor && monitor->Cancelled()) {
        api.Clear();
        throw OcrCancelled();
    }
    if (recognized != 0) {
        api.Clear();
        throw VelaError(QStringLiteral("The OCR engine failed to recognise \"%1\"").arg(fileName));
    }
    return Results(api);
}

namespace {

bool latinLetter(QChar c) {
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

bool digit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The engine's spacing joins a number and a letter that stand a space apart ("14 A" comes out
// "14A"), as codes are often set. The word is cut where a digit and a letter meet across a gap
// of at least 0.4 of their height: a space is wider, while the side bearings of digits and
// letters set close together (even a narrow "1" in a wide figure) leave less.
QList<ReadWord> cutAtSpaces(const tesseract::ResultIterator& at, const ReadWord& word) {
    QList<ReadWord> pieces{word};
    tesseract::ResultIterator symbol(at);
    QString text;
    ReadWord* piece = &pieces.back();
    piece->text.clear();
    MiRect last{};
    do {
        MiRect box;
        symbol.BoundingBox(tesseract::RIL_SYMBOL, &box.Left, &box.Top, &box.Right, &box.Bottom);
        const QString glyph = WordJoin::Taken(symbol.GetUTF8Text(tesseract::RIL_SYMBOL));
        text += glyph;
        if (!glyph.isEmpty() && !piece->text.isEmpty() &&
            box.Left - last.Right >= 0.4 * std::max(box.Bottom - box.Top, last.Bottom - last.Top) &&
            ((digit(piece->text.back()) && latinLetter(glyph.front())) ||
             (latinLetter(piece->text.back()) && digit(glyph.front())))) {
            pieces.append({QString(), box, word.confidence, word.cell});
            piece = &pieces.back();
        }
        if (piece->text.isEmpty())
            piece->box = box;
        piece->box = {std::min(piece->box.Left, box.Left), std::min(piece->box.Top, box.Top),
                      std::max(piece->box.Right, box.Right),
                      std::max(piece->box.Bottom, box.Bottom)};
        piece->text += glyph;
        last = box;
    } while (!symbol.IsAtFinalElement(tesseract::RIL_WORD, tesseract::RIL_SYMBOL) &&
             symbol.Next(tesseract::RIL_SYMBOL));
    // Symbols that do not spell the word are no ground for cutting it.
    if (pieces.size() == 1 || text != word.text)
        return {word};
    return pieces;
}

// The engine's mean confidence in the word's characters. It tells a misread word better than
// the word's own confidence, which one doubtful letter of a right word pulls down as far.
float glyphConfidence(const tesseract::ResultIterator& at) {
    tesseract::ResultIterator symbol(at);
    double sum = 0;
    int count = 0;
    do {
        sum += symbol.Confidence(tesseract::RIL_SYMBOL);
        ++count;
    } while (!symbol.IsAtFinalElement(tesseract::RIL_WORD, tesseract::RIL_SYMBOL) &&
             symbol.Next(tesseract::RIL_SYMBOL));
    return count > 0 ? float(sum / count) : -1;
}

// Sets the word's alternative (its character that had the likeliest rival read as that rival)
// and its rivals (the word with any one character read as any of its rivals, likeliest first);
// none when no character had one or the characters do not spell the word.
void readRivals(const tesseract::ResultIterator& at, ReadWord& word) {
    tesseract::ResultIterator symbol(at);
    struct Rival {
        float confidence;
        qsizetype from, length;
        QString text;
    };
    std::vector<Rival> found;
    std::optional<Rival> likeliest;
    QString text;
    do {
        const QString glyph = WordJoin::Taken(symbol.GetUTF8Text(tesseract::RIL_SYMBOL));
        // The first choice is the reading itself; a rival may spell the same.
        tesseract::ChoiceIterator choice(symbol);
        bool first = true;
        while (choice.Next()) {
            const QString other = QString::fromUtf8(choice.GetUTF8Text());
            if (other == glyph)
                continue;
            const Rival r{choice.Confidence(), text.size(), glyph.size(), other};
            if (first && r.confidence > (likeliest ? likeliest->confidence : 0))
                likeliest = r;
            first = false;
            found.push_back(r);
        }
        text += glyph;
    } while (!symbol.IsAtFinalElement(tesseract::RIL_WORD, tesseract::RIL_SYMBOL) &&
             symbol.Next(tesseract::RIL_SYMBOL));
    if (!likeliest || text != word.text)
        return;
    const auto spelt = [&](const Rival& r) {
        return QString(text).replace(r.from, r.length, r.text);
    };
    word.alternative = spelt(*likeliest);
    std::stable_sort(found.begin(), found.end(),
                     [](const Rival& a, const Rival& b) { return a.confidence > b.confidence; });
    for (const Rival& r : found)
        if (!word.rivals.contains(spelt(r)))
            word.rivals << spelt(r);
}

} // namespace

PageReading PageReading::Results(tesseract::TessBaseAPI& api) {
    PageReading reading;
    std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
    if (it) {
        ReadLine line;
        do {
            if (it->Empty(tesseract::RIL_WORD))
                continue;
            if (it->IsAtBeginningOf(tesseract::RIL_TEXTLINE) && !line.isEmpty()) {
                reading.Lines.append(line);
                line.clear();
            }
            const QString text = WordJoin::Taken(it->GetUTF8Text(tesseract::RIL_WORD));
            if (text.isEmpty())
                continue;
            ReadWord word{text, {}, it->Confidence(tesseract::RIL_WORD)};
            it->BoundingBox(tesseract::RIL_WORD, &word.box.Left, &word.box.Top, &word.box.Right,
                            &word.box.Bottom);
            word.glyphConfidence = glyphConfidence(*it);
            readRivals(*it, word);
            const QList<ReadWord> pieces = cutAtSpaces(*it, word);
            for (ReadWord piece : pieces) {
                piece.glyphConfidence = word.glyphConfidence;
                // The rival of a word cut in pieces may lie in any piece.
                if (pieces.size() > 1) {
                    piece.alternative.clear();
                    piece.rivals.clear();
                }
                line.append(piece);
            }
        } while (it->Next(tesseract::RIL_WORD));
        if (!line.isEmpty())
            reading.Lines.append(line);
    }
    return reading;
}

double PageReading::Weight() const {
    double weight = 0;
    for (const ReadLine& line : Lines)
        for (const ReadWord& word : line) {
            const auto letters = std::count_if(word.text.begin(), word.text.end(),
                                               [](QChar c) { return c.isLetterOrNumber(); });
            weight += double(letters) * (word.confidence - 50.0) / 100.0;
        }
    return weight;
}

MiLayout PageReading::Layout(bool japanese) const {
    QList<MiWord> words;
    QStringList lines;
    for (const ReadLine& readLine : Lines) {
        QString line;
        int cell = -1;
        for (const ReadWord& word : readLine) {
            words.append(MiWord(word.text, {word.box}, false, word.confidence, word.glyphConfidence,
                                word.alternative));
            if (!line.isEmpty() && word.cell != cell)
                line += QLatin1Char('\t') + word.text;
            else
                WordJoin::Append(line, word.text, japanese);
            cell = word.cell;
        }
        lines.append(line);
    }
    return MiLayout(lines.join(QStringLiteral("\r\n")), MiWords(std::move(words)));
}
