#include "MiDocument.h"

#include "DecodeBound.h"
#include "ImageHeader.h"
#include "InkJudge.h"
#include "InputFile.h"
#include "MissedWords.h"
#include "OcrEngine.h"
#include "OcrMonitor.h"
#include "PagePreparation.h"
#include "PageReading.h"
#include "PixPtr.h"
#include "ReadingChoice.h"
#include "SecondOpinion.h"
#include "SparseText.h"
#include "TableRules.h"
#include "VelaError.h"
#include "VerticalReading.h"

#include <QFileInfo>
#include <cmath>
#include <leptonica/allheaders.h>
#include <map>
#include <optional>
#include <tesseract/baseapi.h>

namespace {

// Which way is up: the clockwise quarter turns that make the page upright, from the
// orientation data run on a reduced copy (orientation needs shapes, not detail).
// area (when set) is where on the page to look.
int uprightQuarterTurns(Pix* pix, const std::optional<MiRect>& area) {
    const qint64 pixels = qint64(pixGetWidth(pix)) * pixGetHeight(pix);
    PixPtr small;
    int resolution = pixGetXRes(pix) > 0 ? pixGetXRes(pix) : 300;
    if (pixels > 4'000'000) {
        small.reset(pixScale(pix, 0.5f, 0.5f));
        resolution /= 2;
    }
    auto& osd = OcrEngine::Instance().OrientationDetector();
    osd.SetImage(small ? small.get() : pix);
    osd.SetSourceResolution(resolution);
    if (area) {
        const int scale = small ? 2 : 1;
        osd.SetRectangle(area->Left / scale, area->Top / scale, (area->Right - area->Left) / scale,
                         (area->Bottom - area->Top) / scale);
    }
    int degrees = 0;
    float confidence = 0;
    const char* script = nullptr;
    float scriptConfidence = 0;
    const bool found =
        osd.DetectOrientationScript(&degrees, &confidence, &script, &scriptConfidence);
    osd.Clear();
    OcrEngine::Instance().OrientationDone();
    // A weak vote is no reason to turn a page.
    if (!found || confidence < 2.0f)
        return 0;
    // degrees is how far the page was turned clockwise; turn it back.
    return ((360 - degrees) / 90) % 4;
}

// The skew of the text lines in degrees (the turn that straightens them), or 0 when
// none is found. Leptonica's own deskew wants a confidence of 3, which a short
// paragraph of dense Japanese lines does not reach although its angle is exact; a
// weaker vote suffices here because a wrong small turn costs little. Columns of vertical
// text are measured as lines on a copy turned by a quarter (a turn straightens the same
// either way).
double skewAngle(Pix* pix, bool columns) {
    PixPtr binary(pixConvertTo1(pix, 130));
    if (binary && columns)
        binary.reset(pixRotateOrth(binary.get(), 1));
    if (!binary)
        return 0;
    l_float32 angle = 0, confidence = 0;
    if (pixFindSkewSweepAndSearch(binary.get(), &angle, &confidence, 4, 2, 7.0f, 1.0f, 0.01f) != 0)
        return 0;
    if (confidence < 1.5f || std::abs(angle) < 0.1f)
        return 0;
    return angle;
}

// The engine's progress covers word recognition only; the steps before it get the first
// tenth of the bar.
constexpr int PercentBeforeWords = 10;

// The engine's mean confidence in a page's columns from which they are taken without reading
// the page across (upright columns read at 90 or more; upside down at 25, a picture far less).
constexpr double SureOfColumns = 70;

void report(OcrMonitor* monitor, int percent) {
    if (monitor) {
        monitor->ThrowIfCancelled();
        monitor->SetPercent(percent);
    }
}

// A page-wide correction is kept only when the page then reads better than as given. A page
// turned a quarter reads about as well unturned (the engine finds its vertical lines), and
// upright it shows as the user expects and its lines run across: nearly equal keeps it.
bool readsBetter(const PageReading& plain, const PageReading& corrected) {
    const double w = corrected.Weight();
    return plain.Weight() > w + 1.0 + 0.05 * std::abs(w);
}

// The page reads well as it stands: with confidence, and mostly in lines that run across
// (the engine also reads a page turned a quarter, in lines that run down).
bool readsAcross(const PageReading& reading) {
    double letters = 0, sure = 0, across = 0;
    for (const ReadLine& line : reading.Lines) {
        MiRect b = line.front().box;
        double inLine = 0;
        for (const ReadWord& w : line) {
            b = {std::min(b.Left, w.box.Left), std::min(b.Top, w.box.Top),
                 std::max(b.Right, w.box.Right), std::max(b.Bottom, w.box.Bottom)};
            inLine += w.text.size();
            sure += w.text.size() * w.confidence;
        }
        letters += inLine;
        if (b.Right - b.Left > b.Bottom - b.Top)
            across += inLine;
    }
    return letters >= 10 && sure >= 65 * letters && across * 3 >= letters * 2;
}

PixPtr turned(PixPtr page, int quarterTurns) {
    if (quarterTurns == 0)
        return page;
    PixPtr out(pixRotateOrth(page.get(), quarterTurns));
    if (!out)
        throw VelaError(QStringLiteral("The OCR engine cannot turn the page upright"));
    return out;
}

// The smallest skew worth a turn. The engine follows lines a little aslant by itself in
// Latin script, while turning resamples every stroke: on scanned English pages skewed by
// 0.6 degrees straightening lost 3-7 % of the words of tables, forms and slides. Dense
// Japanese lines run together unless straightened: without it the same pages lose 5-10 %.
double leastSkew(bool japanese) {
    return japanese ? 0.1 : 1.0;
}

PixPtr straightened(PixPtr page, double* applied, bool japanese, bool columns = false) {
    const double angle = skewAngle(page.get(), columns);
    *applied = 0;
    if (std::abs(angle) < leastSkew(japanese))
        return page;
    PixPtr out(pixRotate(page.get(), float(angle * M_PI / 180.0),
                         pixGetDepth(page.get()) == 1 ? L_ROTATE_SHEAR : L_ROTATE_AREA_MAP,
                         L_BRING_IN_WHITE, 0, 0));
    if (!out)
        throw VelaError(QStringLiteral("The OCR engine cannot straighten the page"));
    *applied = angle;
    return out;
}

// An upright page read in columns, with what was done to it.
struct ColumnReading {
    PixPtr page;
    VerticalReading::Columns columns;
    PreparationSteps steps;
    int quarterTurns = 0;
    double deskew = 0;
};

// Reads an upright page (with its blocks) in columns once enlarged (when its text is small)
// and straightened; none when no text on it runs vertically. sureFrom: VerticalReading::Read.
std::optional<ColumnReading> readInColumns(PixPtr page, VerticalReading::Blocks blocks,
                                           const PreparationSteps& steps, int quarterTurns,
                                           bool straighten, double sureFrom, OcrMonitor* monitor,
                                           int fromPercent, int toPercent,
                                           const QString& fileName) {
    if (!PageBlocks::AnyVertical(blocks))
        return std::nullopt;
    ColumnReading c{nullptr, {}, steps, quarterTurns, 0};
    PixPtr large = PagePreparation::Enlarge(page.get(), true, &c.steps);
    const bool enlarged = large != nullptr;
    if (enlarged)
        page = std::move(large);
    if (straighten)
        page = straightened(std::move(page), &c.deskew, true, true);
    if (enlarged || c.deskew != 0)
        blocks = VerticalReading::BlocksOf(page.get());
    EngineProgress progress(monitor, fromPercent, toPercent);
    std::optional<VerticalReading::Columns> read =
        VerticalReading::Read(page.get(), blocks, progress.get(), fileName, sureFrom);
    if (monitor && monitor->Cancelled())
        throw OcrCancelled();
    if (!read)
        return std::nullopt;
    c.columns = std::move(*read);
    c.page = std::move(page);
    return c;
}

} // namespace

MiDocument::MiDocument() = default;

MiDocument::~MiDocument() {
    replacePix(nullptr);
}

void MiDocument::replacePix(Pix* pix) {
    if (m_pix)
        pixDestroy(&m_pix);
    m_pix = pix;
}

QString MiDocument::LanguageCode(int languageId) {
    switch (languageId) {
    case LanguageEnglish:
        return QStringLiteral("eng");
    case LanguageJapanese:
        return QStringLiteral("jpn");
    default:
        throw VelaError(QStringLiteral("The OCR language %1 is not installed").arg(languageId));
    }
}

void MiDocument::Create(const QString& fileName) {
    if (IsOpen())
        throw VelaError(QStringLiteral("The document is already open"));
    Create(ReadInputFile(fileName), fileName);
}

void MiDocument::Create(const QByteArray& bytes, const QString& fileName) {
    // Leptonica reports on stderr unless silenced; the engine does that once.
    OcrEngine::Instance();
    if (IsOpen())
        throw VelaError(QStringLiteral("The document is already open"));
    // Checked and decoded from the same bytes, which nobody else can change or cut short.
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    ImageHeader::Check(data, bytes.size(), fileName);
    PixPtr pix = DecodeBound::Decode(
        [bytes] {
            return PixPtr(pixReadMem(reinterpret_cast<const l_uint8*>(bytes.constData()),
                                     size_t(bytes.size())));
        },
        QStringLiteral("\"%1\"").arg(fileName));
    if (!pix)
        throw VelaError(
            QStringLiteral("\"%1\" is damaged: the image cannot be decoded").arg(fileName));
    Create(std::move(pix), fileName);
}

void MiDocument::Create(PixPtr page, const QString& fileName) {
    if (IsOpen())
        throw VelaError(QStringLiteral("The document is already open"));
    replacePix(page.release());
    m_inputWidth = int(pixGetWidth(m_pix));
    m_inputHeight = int(pixGetHeight(m_pix));
    m_inputResolution = int(pixGetXRes(m_pix));
    m_fileName = QFileInfo(fileName).absoluteFilePath();
    m_image.reset();
    m_quarterTurns = 0;
    m_deskew = 0;
    m_preparation = {};
}

void MiDocument::requireOpen() const {
    if (!IsOpen())
        throw VelaError(QStringLiteral("No image is open in the document"));
}

void MiDocument::OCR(int languageId, bool orient, bool straighten, OcrMonitor* monitor) {
    requireOpen();
    const QString language = LanguageCode(languageId);
    const bool japanese = languageId == LanguageJapanese;
    report(monitor, 0);

    // A reading of the page with what was done to it.
    struct Candidate {
        PixPtr page;
        PageReading reading;
        PreparationSteps steps;
        int quarterTurns = 0;
        double deskew = 0;
    };
    tesseract::TessBaseAPI* api = nullptr;
    const Candidate* held = nullptr; // the reading the engine still holds
    // The first reading takes most of the progress bar; the comparisons that may follow share
    // the rest.
    int reads = 0;
    const auto nextShare = [&reads] {
        const int from = reads == 0 ? PercentBeforeWords : 70 + (reads - 1) * 15;
        ++reads;
        return std::pair{from, reads == 1 ? 70 : std::min(100, from + 15)};
    };
    // Enlarges (when asked) and straightens the page, then reads it.
    // An English page not enlarged and without a credible resolution (a photographed receipt)
    // is read as the plain engine reads it, at the resolution its text's size suggests: read
    // as 300 dpi, receipts at about 250 lost words. An enlarged page's text is at the size
    // that suits 300 dpi.
    const auto measuresResolution = [&](const auto& c) {
        return !japanese && c.steps.scale == 1.0;
    };
    const auto read = [&](PixPtr page, PreparationSteps steps, int quarterTurns, bool enlarge) {
        Candidate c{nullptr, {}, steps, quarterTurns, 0};
        if (enlarge)
            if (PixPtr large = PagePreparation::Enlarge(page.get(), japanese, &c.steps))
                page = std::move(large);
        if (straighten)
            page = straightened(std::move(page), &c.deskew, japanese);
        // Loaded only now, so that a page that cannot be prepared costs no load.
        if (!api)
            api = &OcrEngine::Instance().Recognizer(language);
        const auto [from, to] = nextShare();
        c.reading = PageReading::Read(*api, page.get(), m_fileName, monitor, from, to,
                                      measuresResolution(c));
        c.page = std::move(page);
        return c;
    };

    // Preparation is decided on the page as given and kept only when the page then reads
    // better; the page as given is read first, so that the engine still holds the prepared
    // reading, the likelier one, when it is kept.
    PreparationSteps steps;
    PixPtr prepared = PagePreparation::Prepare(m_pix, &steps);
    if (!prepared)
        prepared.reset(pixClone(m_pix));
    report(monitor, PercentBeforeWords / 2);
    // The blocks of the page as given (Japanese), found once.
    std::optional<VerticalReading::Blocks> blocks;
    const auto blocksAsGiven = [&]() -> const VerticalReading::Blocks& {
        if (!blocks)
            blocks = VerticalReading::BlocksOf(prepared.get());
        return *blocks;
    };
    // Orientation is looked for once at most (the look costs as much as a reading).
    std::optional<int> orientation;
    const auto quarterTurns = [&] {
        if (!orientation)
            orientation = orient ? uprightQuarterTurns(
                                       prepared.get(),
                                       japanese ? VerticalReading::OrientationArea(blocksAsGiven())
                                                : std::nullopt)
                                 : 0;
        return *orientation;
    };
    // Japanese set in columns is read column by column once upright; a page is read in columns
    // in full at most once per turn.
    std::map<int, std::optional<ColumnReading>> inColumns;
    const auto columnsAt = [&](int turns, double sureFrom = 0) -> std::optional<ColumnReading>& {
        auto found = inColumns.find(turns);
        if (found == inColumns.end() || (found->second && !found->second->columns.complete)) {
            const auto [from, to] = nextShare();
            PixPtr upright = turned(PixPtr(pixClone(prepared.get())), turns);
            VerticalReading::Blocks uprightBlocks =
                turns == 0 ? blocksAsGiven() : VerticalReading::BlocksOf(upright.get());
            found = inColumns
                        .insert_or_assign(turns, readInColumns(std::move(upright),
                                                               std::move(uprightBlocks), steps,
                                                               turns, straighten, sureFrom, monitor,
                                                               from, to, m_fileName))
                        .first;
        }
        return found->second;
    };
    const auto keepColumns = [&](ColumnReading& c) {
        if (Recognised)
            VerticalReading::HandOver(c.page.get(), Recognised, m_fileName);
        replacePix(c.page.release());
        m_quarterTurns = c.quarterTurns;
        m_deskew = c.deskew;
        m_preparation = c.steps;
        m_image = MiImage(std::move(c.columns.layout));
    };
    // A page set mostly in columns is read in columns first: when the engine is sure of them,
    // the readings across (each about as long as reading the columns) cannot change the result.
    // It is taken as upright when the engine is sure of its first column, without the look for
    // orientation (a fifth of the reading): upright columns read with a confidence of 90 or
    // more, upside down of 25.
    if (japanese && VerticalReading::MostlyVertical(blocksAsGiven())) {
        std::optional<ColumnReading>* columns = &columnsAt(0, SureOfColumns);
        const auto sure = [&] {
            return *columns && (*columns)->columns.complete &&
                   (*columns)->columns.confidence >= SureOfColumns;
        };
        if (!sure() && (quarterTurns() != 0 || (*columns && !(*columns)->columns.complete)))
            columns = &columnsAt(quarterTurns());
        if (sure()) {
            keepColumns(**columns);
            return;
        }
    }
    // Otherwise the page is read in columns only when it does not read well across (a picture
    // between columns can pass for a column of text).
    const auto readColumns = [&] {
        std::optional<ColumnReading>& columns = columnsAt(quarterTurns());
        if (columns)
            keepColumns(*columns);
        return columns.has_value();
    };

    std::optional<Candidate> plain;
    if (steps.Any())
        plain = read(PixPtr(pixClone(m_pix)), {}, 0, false);
    Candidate best = read(PixPtr(pixClone(prepared.get())), steps, 0, true);
    held = &best;
    if (plain && readsBetter(plain->reading, best.reading)) {
        best = std::move(*plain);
        held = nullptr;
    }
    // A page that reads well across is neither read in columns nor turned; a turn is kept
    // only when the page then reads better.
    if (!readsAcross(best.reading) && japanese && readColumns())
        return;
    if (!readsAcross(best.reading) && quarterTurns() != 0) {
        Candidate turnedPage =
            read(turned(std::move(prepared), quarterTurns()), steps, quarterTurns(), true);
        held = nullptr;
        if (!readsBetter(best.reading, turnedPage.reading)) {
            best = std::move(turnedPage);
            held = &best;
        }
    }

    // The page as given, read as the plain engine reads it, is a candidate for every region:
    // preparation and the passes below replace its reading of a region only where they match
    // the page's ink better. It is compared when its reading is at hand (a page read as given,
    // or prepared and read both ways) and its lines lie where ours do (not cut out,
    // straightened or turned); reading an enlarged page once more as given cost more than
    // half the reading again and won nothing on real scans.
    std::optional<PageReading> asGiven;
    if (!japanese && !best.steps.cut && best.deskew == 0 && best.quarterTurns == 0) {
        if (!best.steps.Any())
            asGiven = best.reading;
        else if (plain && plain->deskew == 0)
            asGiven = std::move(plain->reading);
    }

    // Writers that take the results from the engine see what was done to the page.
    replacePix(best.page.release());
    m_quarterTurns = best.quarterTurns;
    m_deskew = best.deskew;
    m_preparation = best.steps;
    try {
        if (Recognised) {
            if (!held)
                PageReading::Read(*api, m_pix, m_fileName, monitor, 95, 100,
                                  measuresResolution(best));
            Recognised(*api);
        }
        // The passes below look at the page in grey and share one judge: made grey for each
        // pass, colour receipts spent a few per cent of their reading turning it grey again.
        const PixPtr gray = PagePreparation::Gray(m_pix);
        TableRules(gray.get()).Read(*api, best.reading);
        SparseText::Complete(*api, gray.get(), best.reading);
        std::optional<InkJudge> judge;
        if (!japanese)
            judge.emplace(gray.get());
        // Words either reading found where the reading kept has none are read again alone.
        if (asGiven) {
            const PageReading theirs = ReadingChoice::Scaled(std::move(*asGiven), best.steps.scale);
            const PageReading ours = best.reading;
            ReadingChoice::KeepBetter(best.reading, theirs, 1.0, &*judge);
            MissedWords::ReadAgain(*api, m_pix, best.reading, {&ours, &theirs}, *judge);
        }
        if (judge)
            SecondOpinion::Review(*judge, best.reading);
    } catch (...) {
        api->Clear();
        throw;
    }
    api->Clear();
    m_image = MiImage(best.reading.Layout(japanese));
}

PageGeometry MiDocument::Geometry() const {
    requireOpen();
    return {m_inputWidth,   m_inputHeight, m_inputResolution,       m_preparation,
            m_quarterTurns, m_deskew,      int(pixGetWidth(m_pix)), int(pixGetHeight(m_pix))};
}

const MiImage& MiDocument::Images(int index) const {
    requireOpen();
    if (index != 0)
        throw VelaError(QStringLiteral("Image index %1 is out of range").arg(index));
    if (!m_image)
        throw VelaError(QStringLiteral("The document has not been recognised"));
    return *m_image;
}

void MiDocument::Close(bool save) {
    if (save)
        throw VelaError(QStringLiteral("Saving a document is not supported"));
    replacePix(nullptr);
    m_image.reset();
    m_fileName.clear();
}
