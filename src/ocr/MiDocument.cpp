#include "MiDocument.h"

#include "ImageHeader.h"
#include "OcrEngine.h"
#include "OcrMonitor.h"
#include "PagePreparation.h"
#include "PixPtr.h"
#include "VelaError.h"
#include "VerticalReading.h"
#include "WordJoin.h"

#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <leptonica/allheaders.h>
#include <memory>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

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

void report(OcrMonitor* monitor, int percent) {
    if (monitor) {
        monitor->ThrowIfCancelled();
        monitor->SetPercent(percent);
    }
}

// The engine's monitor, forwarding its progress and asking ours whether to stop.
struct EngineMonitor {
    explicit EngineMonitor(OcrMonitor* monitor) {
        if (!monitor)
            return;
        desc.cancel_this = monitor;
        desc.cancel = [](void* ours, int) { return static_cast<OcrMonitor*>(ours)->Cancelled(); };
        desc.progress_callback2 = [](tesseract::ETEXT_DESC* engine, int, int, int, int) {
            static_cast<OcrMonitor*>(engine->cancel_this)
                ->SetPercent(PercentBeforeWords +
                             engine->progress * (100 - PercentBeforeWords) / 100);
            return true;
        };
    }
    tesseract::ETEXT_DESC* get() { return desc.cancel_this ? &desc : nullptr; }
    tesseract::ETEXT_DESC desc;
};

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
    // Leptonica reports on stderr unless silenced; the engine does that once.
    OcrEngine::Instance();
    if (IsOpen())
        throw VelaError(QStringLiteral("The document is already open"));

    QFile file(fileName);
    if (!QFileInfo(fileName).isFile())
        throw VelaError(QStringLiteral("Cannot open \"%1\": no such file").arg(fileName));
    if (!file.open(QIODevice::ReadOnly))
        throw VelaError(QStringLiteral("Cannot open \"%1\": %2").arg(fileName, file.errorString()));
    const qint64 size = file.size();

    // Map rather than read: the compressed bytes are only looked at once by the decoder.
    QByteArray bytes;
    const uchar* data = file.map(0, size);
    if (!data) {
        bytes = file.readAll();
        data = reinterpret_cast<const uchar*>(bytes.constData());
    }

    ImageHeader::Check(data, size, fileName);
    Pix* pix = pixReadMem(data, size_t(size));
    if (!pix)
        throw VelaError(
            QStringLiteral("\"%1\" is damaged: the image cannot be decoded").arg(fileName));
    Create(PixPtr(pix), fileName);
}

void MiDocument::Create(PixPtr page, const QString& fileName) {
    if (IsOpen())
        throw VelaError(QStringLiteral("The document is already open"));
    replacePix(page.release());
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

    // Orientation and skew are found on the prepared page: a shaded corner or a table
    // around the page misleads both.
    if (PixPtr prepared = PagePreparation::Prepare(m_pix, &m_preparation))
        replacePix(prepared.release());
    report(monitor, PercentBeforeWords / 4);
    if (orient) {
        m_quarterTurns = uprightQuarterTurns(
            m_pix, japanese ? VerticalReading::OrientationArea(m_pix) : std::nullopt);
        if (m_quarterTurns != 0) {
            Pix* turned = pixRotateOrth(m_pix, m_quarterTurns);
            if (!turned)
                throw VelaError(QStringLiteral("The OCR engine cannot turn the page upright"));
            replacePix(turned);
        }
    }
    if (PixPtr large = PagePreparation::Enlarge(m_pix, &m_preparation))
        replacePix(large.release());
    report(monitor, PercentBeforeWords / 2);
    if (straighten) {
        const double angle = skewAngle(m_pix, japanese && VerticalReading::RunsVertically(m_pix));
        if (angle != 0) {
            Pix* straight = pixRotate(m_pix, float(angle * M_PI / 180.0),
                                      pixGetDepth(m_pix) == 1 ? L_ROTATE_SHEAR : L_ROTATE_AREA_MAP,
                                      L_BRING_IN_WHITE, 0, 0);
            if (!straight)
                throw VelaError(QStringLiteral("The OCR engine cannot straighten the page"));
            m_deskew = angle;
            replacePix(straight);
        }
    }
    report(monitor, PercentBeforeWords);

    EngineMonitor engineMonitor(monitor);
    // Japanese set in columns is read column by column; every other page as it always was.
    if (japanese) {
        if (std::optional<MiLayout> vertical =
                VerticalReading::Read(m_pix, engineMonitor.get(), m_fileName)) {
            if (monitor && monitor->Cancelled())
                throw OcrCancelled();
            if (Recognised)
                VerticalReading::HandOver(m_pix, Recognised, m_fileName);
            m_image = MiImage(std::move(*vertical));
            return;
        }
    }

    // Loaded only now, so that a page that cannot be turned or straightened costs no load,
    // and the orientation data can be gone before recognition reaches its peak.
    auto& api = OcrEngine::Instance().Recognizer(language);
    api.SetPageSegMode(tesseract::PSM_AUTO);
    api.SetImage(m_pix);
    if (pixGetXRes(m_pix) < 70)
        api.SetSourceResolution(300);
    const int recognized = api.Recognize(engineMonitor.get());
    if (monitor && monitor->Cancelled()) {
        api.Clear();
        throw OcrCancelled();
    }
    if (recognized != 0) {
        api.Clear();
        throw VelaError(
            QStringLiteral("The OCR engine failed to recognise \"%1\"").arg(m_fileName));
    }

    QList<MiWord> words;
    QStringList lines;
    QString line;
    std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
    if (it) {
        do {
            if (it->Empty(tesseract::RIL_WORD))
                continue;
            if (it->IsAtBeginningOf(tesseract::RIL_TEXTLINE) && !line.isEmpty()) {
                lines.append(line);
                line.clear();
            }
            const QString text = WordJoin::Taken(it->GetUTF8Text(tesseract::RIL_WORD));
            if (text.isEmpty())
                continue;
            int left = 0, top = 0, right = 0, bottom = 0;
            it->BoundingBox(tesseract::RIL_WORD, &left, &top, &right, &bottom);
            words.append(MiWord(text, {MiRect{left, top, right, bottom}}));
            WordJoin::Append(line, text, japanese);
        } while (it->Next(tesseract::RIL_WORD));
    }
    if (!line.isEmpty())
        lines.append(line);
    it.reset();
    if (Recognised) {
        try {
            Recognised(api);
        } catch (...) {
            api.Clear();
            throw;
        }
    }
    api.Clear();
    m_image = MiImage(MiLayout(lines.join(QStringLiteral("\r\n")), MiWords(std::move(words))));
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
