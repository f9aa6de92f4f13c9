#include "PdfPageImage.h"

#include "DecodeBound.h"
#include "ImageHeader.h"
#include "VelaError.h"

#include <QFile>
#include <array>
#include <cmath>
#include <mutex>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <vector>

namespace {

// A transformation [a b c d e f] as PDF writes it.
using Matrix = std::array<double, 6>;

Matrix times(const Matrix& m, const Matrix& n) {
    return {m[0] * n[0] + m[1] * n[2],        m[0] * n[1] + m[1] * n[3],
            m[2] * n[0] + m[3] * n[2],        m[2] * n[1] + m[3] * n[3],
            m[4] * n[0] + m[5] * n[2] + n[4], m[4] * n[1] + m[5] * n[3] + n[5]};
}

// Follows a page's drawing: it is one image when the only thing painted is one image
// (invisible text, as an earlier reading left, paints nothing).
class OneImage final : public QPDFObjectHandle::ParserCallbacks {
public:
    void handleObject(QPDFObjectHandle object) override {
        if (!object.isOperator()) {
            m_operands.push_back(object);
            return;
        }
        const std::string op = object.getOperatorValue();
        if (op == "q") {
            m_saved.push_back(m_state);
        } else if (op == "Q" && !m_saved.empty()) {
            m_state = m_saved.back();
            m_saved.pop_back();
        } else if (op == "cm" && m_operands.size() == 6) {
            Matrix m;
            for (size_t i = 0; i < 6; ++i)
                m[i] = m_operands[i].isNumber() ? m_operands[i].getNumericValue() : 0;
            m_state.ctm = times(m, m_state.ctm);
        } else if (op == "Tr" && m_operands.size() == 1 && m_operands[0].isNumber()) {
            m_state.textMode = int(m_operands[0].getNumericValue());
        } else if (op == "Do" && m_operands.size() == 1 && m_operands[0].isName()) {
            ++m_drawn;
            name = m_operands[0].getName();
            placed = m_state.ctm;
        } else if (op == "Tj" || op == "TJ" || op == "'" || op == "\"") {
            if (m_state.textMode != 3)
                ++m_other;
        } else if (op == "S" || op == "s" || op == "f" || op == "F" || op == "f*" || op == "B" ||
                   op == "B*" || op == "b" || op == "b*" || op == "sh" || op == "BI") {
            ++m_other;
        }
        m_operands.clear();
    }
    void handleEOF() override {}

    bool One() const { return m_drawn == 1 && m_other == 0; }

    std::string name;
    Matrix placed{};

private:
    struct State {
        Matrix ctm{1, 0, 0, 1, 0, 0};
        int textMode = 0;
    };
    State m_state;
    std::vector<State> m_saved;
    std::vector<QPDFObjectHandle> m_operands;
    int m_drawn = 0;
    int m_other = 0;
};

// An image's filters as a list of names.
std::vector<std::string> filtersOf(QPDFObjectHandle dict) {
    QPDFObjectHandle filter = dict.getKey("/Filter");
    std::vector<std::string> names;
    if (filter.isName())
        names.push_back(filter.getName());
    else if (filter.isArray())
        for (QPDFObjectHandle f : filter.getArrayAsVector())
            names.push_back(f.isName() ? f.getName() : std::string());
    return names;
}

// The colour components of an image's colour space: 1 or 3, or 0 for those not read here.
int componentsOf(QPDFObjectHandle space) {
    if (space.isName()) {
        if (space.getName() == "/DeviceGray" || space.getName() == "/CalGray")
            return 1;
        if (space.getName() == "/DeviceRGB" || space.getName() == "/CalRGB")
            return 3;
        return 0;
    }
    if (space.isArray() && space.getArrayNItems() == 2 && space.getArrayItem(0).isName() &&
        space.getArrayItem(0).getName() == "/ICCBased" && space.getArrayItem(1).isStream()) {
        QPDFObjectHandle n = space.getArrayItem(1).getDict().getKey("/N");
        const long long count = n.isInteger() ? n.getIntValue() : 0;
        return count == 1 || count == 3 ? int(count) : 0;
    }
    return 0;
}

// The Decode array inverts the samples ([1 0] on one component).
std::optional<bool> inverted(QPDFObjectHandle dict) {
    QPDFObjectHandle decode = dict.getKey("/Decode");
    if (decode.isNull())
        return false;
    if (!decode.isArray() || decode.getArrayNItems() != 2)
        return std::nullopt;
    const double low = decode.getArrayItem(0).getNumericValue();
    const double high = decode.getArrayItem(1).getNumericValue();
    if (low == 0 && high == 1)
        return false;
    if (low == 1 && high == 0)
        return true;
    return std::nullopt;
}

QByteArray bytesOf(const std::shared_ptr<Buffer>& buffer) {
    return QByteArray(reinterpret_cast<const char*>(buffer->getBuffer()),
                      qsizetype(buffer->getSize()));
}

// CCITT G4 data in a TIFF of one strip, which Leptonica decodes.
QByteArray g4Tiff(const QByteArray& data, quint32 width, quint32 height) {
    QByteArray tiff("II*\0\x08\0\0\0", 8);
    const auto put = [&](quint32 value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            tiff.append(char((value >> (8 * i)) & 0xff));
    };
    // Tag, type (3 short, 4 long), count 1, value.
    const std::vector<std::array<quint32, 3>> entries{
        {256, 4, width},  {257, 4, height},
        {258, 3, 1},      {259, 3, 4},
        {262, 3, 0},      {273, 4, 8 + 2 + 8 * 12 + 4},
        {278, 4, height}, {279, 4, quint32(data.size())}};
    put(quint32(entries.size()), 2);
    for (const auto& [tag, type, value] : entries) {
        put(tag, 2);
        put(type, 2);
        put(1, 4);
        put(value, 4);
    }
    put(0, 4);
    return tiff + data;
}

// Samples of a given depth and component count, rows padded to whole bytes, as a Pix.
PixPtr pixOfSamples(const QByteArray& samples, int w, int h, int bits, int components) {
    const qsizetype row = (qsizetype(w) * bits * components + 7) / 8;
    if (samples.size() < row * h)
        return nullptr;
    PixPtr pix(pixCreate(w, h, components == 3 ? 32 : bits));
    if (!pix)
        return nullptr;
    l_uint32* data = pixGetData(pix.get());
    const int wpl = pixGetWpl(pix.get());
    const auto* in = reinterpret_cast<const uchar*>(samples.constData());
    for (int y = 0; y < h; ++y) {
        const uchar* line = in + row * y;
        l_uint32* out = data + qsizetype(y) * wpl;
        for (int x = 0; x < w; ++x) {
            if (components == 3)
                composeRGBPixel(line[3 * x], line[3 * x + 1], line[3 * x + 2], out + x);
            else if (bits == 8)
                SET_DATA_BYTE(out, x, line[x]);
            else if ((line[x / 8] >> (7 - x % 8)) & 1)
                SET_DATA_BIT(out, x);
        }
    }
    return pix;
}

} // namespace

struct PdfPageImage::Document {
    QPDF pdf;
    std::vector<QPDFPageObjectHelper> pages;
    std::mutex mutex; // the library reads one object at a time
};

PdfPageImage::PdfPageImage(const QByteArray& bytes, const QString& fileName) {
    auto document = std::make_unique<Document>();
    try {
        document->pdf.setSuppressWarnings(true);
        document->pdf.processMemoryFile(QFile::encodeName(fileName).constData(), bytes.constData(),
                                        size_t(bytes.size()));
        document->pages = QPDFPageDocumentHelper(document->pdf).getAllPages();
        m_document = std::move(document);
    } catch (const std::exception&) {
        // Left to the renderer, which tells what is wrong with the file.
    }
}

PdfPageImage::~PdfPageImage() = default;

int PdfPageImage::ImageDpi(int index) const {
    if (!m_document || index >= int(m_document->pages.size()))
        return 0;
    std::lock_guard lock(m_document->mutex);
    try {
        QPDFPageObjectHelper page = m_document->pages[size_t(index)];
        const QPDFObjectHandle::Rectangle box = page.getCropBox().getArrayAsRectangle();
        const double inches = std::max(std::abs(box.urx - box.llx), 1.0) / 72.0;
        double widest = 0;
        for (auto& [name, image] : page.getImages()) {
            QPDFObjectHandle w = image.getDict().getKey("/Width");
            if (w.isInteger())
                widest = std::max(widest, double(w.getIntValue()));
        }
        return int(std::lround(widest / inches));
    } catch (const std::exception&) {
        return 0;
    }
}

std::optional<PdfPageImage::Image> PdfPageImage::Page(int index, const QString& pageName) const {
    if (!m_document || index >= int(m_document->pages.size()))
        return std::nullopt;
    // What is read from the file, under the lock; decoding follows outside it.
    enum class Coding { Jpeg, G4, Samples } coding;
    QByteArray data;
    int w = 0, h = 0, bits = 8, components = 1;
    bool invert = false;
    double ppi = 0;
    try {
        std::lock_guard lock(m_document->mutex);
        QPDFPageObjectHelper page = m_document->pages[size_t(index)];
        if (page.getAttribute("/Rotate", false).isInteger() &&
            page.getAttribute("/Rotate", false).getIntValue() % 360 != 0)
            return std::nullopt;
        OneImage drawing;
        page.parseContents(&drawing);
        if (!drawing.One())
            return std::nullopt;
        const auto images = page.getImages();
        const auto found = images.find(drawing.name);
        if (found == images.end())
            return std::nullopt;
        QPDFObjectHandle image = found->second;
        QPDFObjectHandle dict = image.getDict();
        // Laid upright over the whole page (to a hundredth of its size).
        const Matrix& m = drawing.placed;
        const QPDFObjectHandle::Rectangle box = page.getCropBox().getArrayAsRectangle();
        const double pw = box.urx - box.llx, ph = box.ury - box.lly;
        if (m[1] != 0 || m[2] != 0 || m[0] <= 0 || m[3] <= 0 || pw <= 0 || ph <= 0 ||
            std::abs(m[4] - box.llx) > pw / 100 || std::abs(m[5] - box.lly) > ph / 100 ||
            std::abs(m[0] - pw) > pw / 100 || std::abs(m[3] - ph) > ph / 100)
            return std::nullopt;
        if (dict.getKey("/ImageMask").isBool() && dict.getKey("/ImageMask").getBoolValue())
            return std::nullopt;
        if (!dict.getKey("/SMask").isNull() || !dict.getKey("/Mask").isNull())
            return std::nullopt;
        QPDFObjectHandle width = dict.getKey("/Width"), height = dict.getKey("/Height");
        if (!width.isInteger() || !height.isInteger() || width.getIntValue() <= 0 ||
            height.getIntValue() <= 0)
            return std::nullopt;
        if (width.getIntValue() * height.getIntValue() > ImageHeader::MaxPixels)
            throw VelaError(QStringLiteral("%1 is too large: %2 x %3 pixels (at most %4 million "
                                           "pixels are accepted)")
                                .arg(pageName)
                                .arg(width.getIntValue())
                                .arg(height.getIntValue())
                                .arg(ImageHeader::MaxPixels / 1'000'000));
        w = int(width.getIntValue());
        h = int(height.getIntValue());
        ppi = w * 72.0 / m[0];
        QPDFObjectHandle depth = dict.getKey("/BitsPerComponent");
        bits = depth.isInteger() ? int(depth.getIntValue()) : 1;
        components = componentsOf(dict.getKey("/ColorSpace"));
        const std::optional<bool> inverts = inverted(dict);
        if (!inverts)
            return std::nullopt;
        invert = *inverts;
        const std::vector<std::string> filters = filtersOf(dict);
        if (filters.size() == 1 && filters[0] == "/DCTDecode") {
            if (components == 0 || invert)
                return std::nullopt;
            coding = Coding::Jpeg;
            data = bytesOf(image.getRawStreamData());
        } else if (filters.size() == 1 && filters[0] == "/CCITTFaxDecode") {
            QPDFObjectHandle parms = dict.getKey("/DecodeParms");
            if (parms.isArray() && parms.getArrayNItems() == 1)
                parms = parms.getArrayItem(0);
            const auto number = [&](const char* key, long long otherwise) {
                QPDFObjectHandle v = parms.isDictionary() ? parms.getKey(key) : parms;
                return v.isInteger() ? v.getIntValue() : otherwise;
            };
            const auto flag = [&](const char* key) {
                QPDFObjectHandle v = parms.isDictionary() ? parms.getKey(key) : parms;
                return v.isBool() && v.getBoolValue();
            };
            if (number("/K", 0) >= 0 || number("/Columns", 1728) != w || flag("/EncodedByteAlign"))
                return std::nullopt;
            coding = Coding::G4;
            data = bytesOf(image.getRawStreamData());
        } else {
            if (components == 0 || !(bits == 8 || (bits == 1 && components == 1)))
                return std::nullopt;
            coding = Coding::Samples;
            data = bytesOf(image.getStreamData(qpdf_dl_generalized));
        }
    } catch (const VelaError&) {
        throw;
    } catch (const std::exception&) {
        // A stream the library cannot take apart is left to the renderer.
        return std::nullopt;
    }

    Image out;
    switch (coding) {
    case Coding::Jpeg:
        out.pix = DecodeBound::Decode(
            [data] {
                return PixPtr(pixReadMem(reinterpret_cast<const l_uint8*>(data.constData()),
                                         size_t(data.size())));
            },
            pageName);
        out.jpeg = data;
        break;
    case Coding::G4: {
        const QByteArray tiff = g4Tiff(data, quint32(w), quint32(h));
        out.pix = DecodeBound::Decode(
            [tiff] {
                return PixPtr(pixReadMemTiff(reinterpret_cast<const l_uint8*>(tiff.constData()),
                                             size_t(tiff.size()), 0));
            },
            pageName);
        break;
    }
    case Coding::Samples:
        out.pix = pixOfSamples(data, w, h, bits, components);
        // PDF's bilevel samples are 0 for black; Leptonica's 1.
        invert = bits == 1 ? !invert : invert;
        break;
    }
    if (!out.pix || pixGetWidth(out.pix.get()) != w || pixGetHeight(out.pix.get()) != h)
        throw VelaError(QStringLiteral("%1 is damaged: its image cannot be decoded").arg(pageName));
    if (invert)
        pixInvert(out.pix.get(), out.pix.get());
    const int dpi = int(std::lround(ppi));
    pixSetResolution(out.pix.get(), dpi, dpi);
    return out;
}
