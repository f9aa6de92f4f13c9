#include "VerticalReading.h"

#include "OcrEngine.h"
#include "PageBlocks.h"
#include "VelaError.h"
#include "WordJoin.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <leptonica/allheaders.h>
#include <memory>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>
#include <vector>

namespace {

struct Word {
    QString text;
    MiRect rect;
};

// A text line as the engine found it: a row of a horizontal block, a column of a vertical one.
struct Line {
    std::vector<Word> words;
    MiRect box;
    int Width() const { return box.Right - box.Left; }
};

int median(std::vector<int> values) {
    if (values.empty())
        return 0;
    const auto at = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

template <typename T, typename F> int medianOf(const std::vector<T>& items, F value) {
    std::vector<int> values;
    for (const T& item : items)
        values.push_back(value(item));
    return median(std::move(values));
}

void fitBox(Line& line) {
    line.box = line.words.front().rect;
    for (const Word& word : line.words) {
        line.box.Left = std::min(line.box.Left, word.rect.Left);
        line.box.Top = std::min(line.box.Top, word.rect.Top);
        line.box.Right = std::max(line.box.Right, word.rect.Right);
        line.box.Bottom = std::max(line.box.Bottom, word.rect.Bottom);
    }
}

std::vector<Line> recognisedLines(tesseract::TessBaseAPI& api) {
    std::vector<Line> lines;
    std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
    if (!it)
        return lines;
    do {
        if (it->Empty(tesseract::RIL_WORD))
            continue;
        if (lines.empty() || it->IsAtBeginningOf(tesseract::RIL_TEXTLINE))
            lines.emplace_back();
        const QString text = WordJoin::Taken(it->GetUTF8Text(tesseract::RIL_WORD));
        if (text.isEmpty())
            continue;
        MiRect r;
        it->BoundingBox(tesseract::RIL_WORD, &r.Left, &r.Top, &r.Right, &r.Bottom);
        lines.back().words.push_back({text, r});
    } while (it->Next(tesseract::RIL_WORD));
    std::erase_if(lines, [](const Line& line) { return line.words.empty(); });
    for (Line& line : lines)
        fitBox(line);
    return lines;
}

// Ruby stands beside its kanji at half their size: as columns of its own, whose characters
// follow each other at half the body's pitch, or as narrow words beside a column's middle.
void leaveOutRuby(std::vector<Line>& columns) {
    const auto pitch = [](const Line& c) {
        qsizetype characters = 0;
        for (const Word& w : c.words)
            characters += w.text.size();
        return int((c.box.Bottom - c.box.Top) / std::max<qsizetype>(1, characters));
    };
    const int body = medianOf(columns, pitch);
    std::erase_if(columns, [&](const Line& c) { return pitch(c) * 10 < body * 7; });
    for (Line& column : columns) {
        const auto centre = [](const Word& w) { return (w.rect.Left + w.rect.Right) / 2; };
        const int middle = medianOf(column.words, centre);
        const int half =
            medianOf(column.words, [](const Word& w) { return w.rect.Right - w.rect.Left; }) / 2;
        std::erase_if(column.words, [&](const Word& w) {
            return w.rect.Right - w.rect.Left < half * 2 * 7 / 10 &&
                   std::abs(centre(w) - middle) > half;
        });
    }
    std::erase_if(columns, [](const Line& c) { return c.words.empty(); });
    for (Line& column : columns)
        fitBox(column);
}

QString textOf(const Line& line) {
    QString text;
    for (const Word& word : line.words)
        WordJoin::Append(text, word.text, true);
    return text;
}

// A block's columns as paragraphs: a column that starts lower than most (an indent), or that
// follows one ending more than a character and a half early, begins a new paragraph.
QStringList paragraphsOf(const std::vector<Line>& columns) {
    const int size = medianOf(columns, [](const Line& c) { return c.Width(); });
    const int top = medianOf(columns, [](const Line& c) { return c.box.Top; });
    const int bottom = medianOf(columns, [](const Line& c) { return c.box.Bottom; });
    QStringList paragraphs;
    for (size_t i = 0; i < columns.size(); ++i) {
        const bool indented = columns[i].box.Top > top + size / 2;
        const bool afterShort = i > 0 && columns[i - 1].box.Bottom < bottom - size * 3 / 2;
        if (i == 0 || indented || afterShort)
            paragraphs.append(QString());
        WordJoin::Append(paragraphs.back(), textOf(columns[i]), true);
    }
    return paragraphs;
}

bool cancelled(tesseract::ETEXT_DESC* monitor) {
    return monitor && monitor->cancel && monitor->cancel(monitor->cancel_this, 0);
}

bool verticalModelInstalled() {
    return QFileInfo(QDir(OcrDataFolder()).filePath(QStringLiteral("jpn_vert.traineddata")))
        .isFile();
}

} // namespace

namespace VerticalReading {

std::optional<MiLayout> Read(Pix* page, tesseract::ETEXT_DESC* monitor, const QString& fileName) {
    if (!verticalModelInstalled())
        return std::nullopt;
    const std::vector<PageBlocks::Block> blocks = PageBlocks::Find(page);
    if (!PageBlocks::AnyVertical(blocks))
        return std::nullopt;
    QList<MiWord> words;
    QStringList text;
    for (const PageBlocks::Block& block : blocks) {
        auto& api = OcrEngine::Instance().Recognizer(block.vertical ? QStringLiteral("jpn_vert")
                                                                    : QStringLiteral("jpn"));
        api.SetPageSegMode(block.vertical ? tesseract::PSM_SINGLE_BLOCK_VERT_TEXT
                                          : tesseract::PSM_SINGLE_BLOCK);
        api.SetImage(page);
        if (pixGetXRes(page) < 70)
            api.SetSourceResolution(300);
        api.SetRectangle(block.left, block.top, block.right - block.left, block.bottom - block.top);
        const int status = api.Recognize(monitor);
        std::vector<Line> lines = status == 0 ? recognisedLines(api) : std::vector<Line>();
        api.Clear();
        if (cancelled(monitor))
            return MiLayout();
        if (status != 0)
            throw VelaError(
                QStringLiteral("The OCR engine failed to recognise \"%1\"").arg(fileName));
        if (block.vertical) {
            leaveOutRuby(lines);
            text += paragraphsOf(lines);
        } else {
            for (const Line& line : lines)
                text.append(textOf(line));
        }
        for (const Line& line : lines)
            for (const Word& word : line.words)
                words.append(MiWord(word.text, {word.rect}, block.vertical));
    }
    text.removeAll(QString());
    return MiLayout(text.join(QStringLiteral("\r\n")), MiWords(std::move(words)));
}

} // namespace VerticalReading
