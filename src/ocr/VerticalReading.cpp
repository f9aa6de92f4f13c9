#include "VerticalReading.h"

#include "OcrEngine.h"
#include "PageBlocks.h"
#include "PixPtr.h"
#include "UprightNumbers.h"
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
#include <utility>
#include <vector>

namespace {

struct Word {
    QString text;
    MiRect rect;
    float confidence = 0;
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
        lines.back().words.push_back({text, r, it->Confidence(tesseract::RIL_WORD)});
    } while (it->Next(tesseract::RIL_WORD));
    std::erase_if(lines, [](const Line& line) { return line.words.empty(); });
    for (Line& line : lines)
        fitBox(line);
    return lines;
}

// How far apart a column's characters follow each other.
int pitchOf(const Line& column) {
    qsizetype characters = 0;
    for (const Word& w : column.words)
        characters += w.text.size();
    return int((column.box.Bottom - column.box.Top) / std::max<qsizetype>(1, characters));
}

// Ruby stands beside its kanji at half their size: as columns of its own, whose characters
// follow each other at half the body's pitch, or as narrow words beside a column's middle.
void leaveOutRuby(std::vector<Line>& columns) {
    const int body = medianOf(columns, pitchOf);
    std::erase_if(columns, [&](const Line& c) { return pitchOf(c) * 10 < body * 7; });
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

void setRegion(tesseract::TessBaseAPI& api, Pix* page, const MiRect& r,
               tesseract::PageSegMode mode) {
    api.SetPageSegMode(mode);
    api.SetImage(page);
    if (pixGetXRes(page) < 70)
        api.SetSourceResolution(300);
    const int left = std::max(0, r.Left), top = std::max(0, r.Top);
    api.SetRectangle(left, top, std::min(int(pixGetWidth(page)), r.Right) - left,
                     std::min(int(pixGetHeight(page)), r.Bottom) - top);
}

// The digits the horizontal model reads in a cell, or nothing unless it reads one per piece.
QString digitsIn(Pix* page, const UprightNumbers::Cell& cell, int em) {
    auto& api = OcrEngine::Instance().Recognizer(QStringLiteral("jpn"));
    const int pad = em / 4;
    const MiRect& r = cell.rect;
    setRegion(api, page, {r.Left - pad, r.Top - pad, r.Right + pad, r.Bottom + pad},
              tesseract::PSM_SINGLE_WORD);
    const QString digits =
        api.Recognize(nullptr) == 0 ? WordJoin::Taken(api.GetUTF8Text()) : QString();
    api.Clear();
    const bool all = std::all_of(digits.begin(), digits.end(), [](QChar c) { return c.isDigit(); });
    return digits.size() == cell.digits && all ? digits : QString();
}

// A column holding numbers set across is read again in parts: the vertical model between the
// numbers, the horizontal one for each number (the vertical model's word boxes are too loose
// to put a number among its words afterwards).
void readUprightNumbers(Pix* page, std::vector<Line>& columns) {
    const int em = medianOf(columns, pitchOf);
    for (Line& column : columns) {
        MiRect area = column.box;
        area.Left = std::max(0, area.Left - em / 8);
        area.Right = std::min(int(pixGetWidth(page)), area.Right + em / 8);
        std::vector<Word> words;
        int top = area.Top - em / 4;
        const auto readTo = [&](int bottom) {
            if (bottom - top < em / 2)
                return;
            auto& api = OcrEngine::Instance().Recognizer(QStringLiteral("jpn_vert"));
            setRegion(api, page, {area.Left, top, area.Right, bottom},
                      tesseract::PSM_SINGLE_BLOCK_VERT_TEXT);
            if (api.Recognize(nullptr) == 0)
                for (const Line& line : recognisedLines(api))
                    words.insert(words.end(), line.words.begin(), line.words.end());
            api.Clear();
        };
        for (const UprightNumbers::Cell& cell : UprightNumbers::Find(page, area, em)) {
            const QString digits = digitsIn(page, cell, em);
            if (digits.isEmpty())
                continue;
            readTo(cell.rect.Top);
            words.push_back({digits, cell.rect});
            top = cell.rect.Bottom;
        }
        if (words.empty())
            continue;
        readTo(area.Bottom + em / 4);
        column.words = std::move(words);
        fitBox(column);
    }
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

// Where a block of columns is cut to read its first (rightmost) column alone: the middle of the
// gap on that column's left, or none when the ink does not show the block's columns apart
// (columns aslant on a photographed page run into each other).
std::optional<int> firstColumnEdge(Pix* page, const PageBlocks::Block& block) {
    Box* box = boxCreate(block.left, block.top, block.right - block.left, block.bottom - block.top);
    const PixPtr region(pixClipRectangle(page, box, nullptr));
    boxDestroy(&box);
    const PixPtr binary(region ? (pixGetDepth(region.get()) == 1 ? pixClone(region.get())
                                                                 : pixConvertTo1(region.get(), 130))
                               : nullptr);
    Numa* counts = binary ? pixCountPixelsByColumn(binary.get()) : nullptr;
    if (!counts)
        return std::nullopt;
    // Runs of pixel columns holding ink (a speck or two is no ink).
    const int least = std::max(2, (block.bottom - block.top) / 200);
    std::vector<std::pair<int, int>> runs;
    for (int x = 0, n = numaGetCount(counts); x < n; ++x) {
        l_int32 count = 0;
        numaGetIValue(counts, x, &count);
        if (count < least)
            continue;
        if (!runs.empty() && runs.back().second == x)
            runs.back().second = x + 1;
        else
            runs.push_back({x, x + 1});
    }
    numaDestroy(&counts);
    if (runs.size() < 3)
        return std::nullopt;
    // Body columns are the widest runs; ruby and hanging punctuation make narrower ones.
    const int body = medianOf(runs, [](const auto& r) { return r.second - r.first; });
    for (size_t i = runs.size() - 1; i > 0; --i) {
        const int width = runs[i].second - runs[i].first;
        if (width * 10 < body * 7)
            continue;
        if (width * 2 > body * 3)
            return std::nullopt;
        return block.left + (runs[i - 1].second + runs[i].first) / 2;
    }
    return std::nullopt;
}

VelaError failed(const QString& fileName) {
    return VelaError(QStringLiteral("The OCR engine failed to recognise \"%1\"").arg(fileName));
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

Blocks BlocksOf(Pix* page) {
    return verticalModelInstalled() ? PageBlocks::Find(page) : Blocks();
}

bool MostlyVertical(const Blocks& blocks) {
    long long balance = 0;
    for (const PageBlocks::Block& b : blocks)
        balance += (b.vertical ? 1 : -1) * (long long)(b.right - b.left) * (b.bottom - b.top);
    return balance > 0;
}

std::optional<MiRect> OrientationArea(const Blocks& blocks) {
    std::optional<MiRect> area;
    long long largest = 0;
    for (const PageBlocks::Block& b : blocks) {
        const long long size = (long long)(b.right - b.left) * (b.bottom - b.top);
        if (!b.vertical || size <= largest)
            continue;
        largest = size;
        const int half = std::min(b.right - b.left, (b.bottom - b.top) / 4) / 2;
        const int middle = (b.left + b.right) / 2;
        area = MiRect{middle - half, b.top, middle + half, b.bottom};
    }
    return area;
}

std::optional<Columns> Read(Pix* page, const Blocks& blocks, tesseract::ETEXT_DESC* monitor,
                            const QString& fileName, double sureFrom) {
    if (!PageBlocks::AnyVertical(blocks))
        return std::nullopt;
    const auto lettersAndSure = [](const std::vector<Line>& lines) {
        std::pair<double, double> out{0, 0};
        for (const Line& line : lines)
            for (const Word& word : line.words) {
                out.first += word.text.size();
                out.second += word.text.size() * word.confidence;
            }
        return out;
    };
    const auto read = [&](const MiRect& r, bool vertical) {
        auto& api = OcrEngine::Instance().Recognizer(vertical ? QStringLiteral("jpn_vert")
                                                              : QStringLiteral("jpn"));
        setRegion(api, page, r,
                  vertical ? tesseract::PSM_SINGLE_BLOCK_VERT_TEXT : tesseract::PSM_SINGLE_BLOCK);
        const int status = api.Recognize(monitor);
        std::vector<Line> lines = status == 0 ? recognisedLines(api) : std::vector<Line>();
        api.Clear();
        if (status != 0 && !cancelled(monitor))
            throw failed(fileName);
        return lines;
    };
    QList<MiWord> words;
    QStringList text;
    double sure = 0, letters = 0;
    bool sampled = sureFrom <= 0;
    for (const PageBlocks::Block& block : blocks) {
        const MiRect whole{block.left, block.top, block.right, block.bottom};
        std::vector<Line> lines;
        // The first column is read alone first when it can be told apart: a page the engine
        // is unsure of there is read no further.
        const std::optional<int> edge = block.vertical && !std::exchange(sampled, true)
                                            ? firstColumnEdge(page, block)
                                            : std::nullopt;
        if (edge) {
            lines = read({*edge, block.top, block.right, block.bottom}, true);
            const auto [n, s] = lettersAndSure(lines);
            if (n >= 8 && s < sureFrom * n)
                return Columns{{}, s / n, false};
            std::vector<Line> rest = read({block.left, block.top, *edge, block.bottom}, true);
            lines.insert(lines.end(), rest.begin(), rest.end());
        } else {
            lines = read(whole, block.vertical);
        }
        if (cancelled(monitor))
            return Columns();
        if (block.vertical) {
            leaveOutRuby(lines);
            const auto [n, s] = lettersAndSure(lines);
            letters += n;
            sure += s;
            readUprightNumbers(page, lines);
            text += paragraphsOf(lines);
        } else {
            for (const Line& line : lines)
                text.append(textOf(line));
        }
        for (const Line& line : lines)
            for (const Word& word : line.words)
                words.append(MiWord(word.text, {word.rect}, block.vertical, word.confidence));
    }
    text.removeAll(QString());
    return Columns{MiLayout(text.join(QStringLiteral("\r\n")), MiWords(std::move(words))),
                   letters > 0 ? sure / letters : 0};
}

void HandOver(Pix* page, const std::function<void(tesseract::TessBaseAPI&)>& recognised,
              const QString& fileName) {
    auto& api = OcrEngine::Instance().Recognizer(QStringLiteral("jpn_vert"));
    setRegion(api, page, {0, 0, int(pixGetWidth(page)), int(pixGetHeight(page))},
              tesseract::PSM_SINGLE_BLOCK_VERT_TEXT);
    if (api.Recognize(nullptr) != 0) {
        api.Clear();
        throw failed(fileName);
    }
    try {
        recognised(api);
    } catch (...) {
        api.Clear();
        throw;
    }
    api.Clear();
}

} // namespace VerticalReading
