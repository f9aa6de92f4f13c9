#include "SaneDevice.h"

#include "DibFile.h"
#include "GlobalMemory.h"
#include "Prefault.h"
#include "ReaderThreads.h"

#include <QBuffer>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr std::size_t MaxPageBytes = std::size_t(1) << 31; // a DIB's size must fit 32 bits
// The pixels the window takes in one page (its OCR refuses more): a page announced larger, or
// one of unknown length that grows past it, is refused before it holds more memory.
constexpr std::size_t MaxPagePixels = 50'000'000;
constexpr std::size_t ReadBytes = 256 * 1024;
// Less than any pipe holds, so that a reader thread has written it all and can end.
constexpr std::size_t PageTail = 4096;
constexpr std::chrono::milliseconds ReaderEndWait(100);

struct DibShape {
    std::uint16_t bits = 0;
    std::uint32_t colours = 0;
    std::size_t rowSize = 0;
};

DibShape shapeOf(const SANE_Parameters& p) {
    DibShape s;
    s.bits = p.format == SANE_FRAME_RGB ? 24 : p.depth == 1 ? 1 : 8;
    s.colours = s.bits == 24 ? 0 : 1u << s.bits;
    s.rowSize = (std::size_t(s.bits) * std::size_t(p.pixels_per_line) + 31) / 32 * 4;
    return s;
}

// The bytes of a SANE line that convertLine reads.
std::size_t lineBytesRead(const SANE_Parameters& p) {
    const std::size_t samples = p.format == SANE_FRAME_RGB ? 3 : 1;
    if (p.depth == 1)
        return (std::size_t(p.pixels_per_line) + 7) / 8 * samples;
    return std::size_t(p.pixels_per_line) * samples * std::size_t(p.depth) / 8;
}

// Frames convertLine knows, with lines long enough for what it reads. The length may be
// unknown (-1): hand-held and sheet-fed scanners tell it only by ending the page.
bool readable(const SANE_Parameters& p) {
    return (p.format == SANE_FRAME_GRAY || p.format == SANE_FRAME_RGB) &&
           (p.depth == 1 || p.depth == 8 || p.depth == 16) && p.last_frame &&
           p.pixels_per_line > 0 && (p.lines > 0 || p.lines == -1) && p.bytes_per_line > 0 &&
           std::size_t(p.bytes_per_line) >= lineBytesRead(p);
}

// An option's word as a number: fixed-point words unfixed, integers as they are.
double wordValue(const SANE_Option_Descriptor* d, SANE_Word w) {
    return d->type == SANE_TYPE_FIXED ? SANE_UNFIX(w) : double(w);
}

// SANE's red, green, blue into a DIB's blue, green, red: the common case, and byte by byte it
// took longer than the device read. Five pixels go at a time in one 16-byte shuffle (the 16th
// byte is written again by the next step); SSSE3 has that shuffle in one instruction.
#if defined(__x86_64__)
__attribute__((target_clones("ssse3", "default")))
#endif
void swapRedAndBlue(const unsigned char* in, unsigned char* out, std::size_t width) {
    using Bytes = unsigned char __attribute__((vector_size(16)));
    std::size_t x = 0;
    for (; x + 6 <= width; x += 5) {
        Bytes v;
        std::memcpy(&v, in + 3 * x, sizeof v);
        v = __builtin_shufflevector(v, v, 2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
        std::memcpy(out + 3 * x, &v, sizeof v);
    }
    for (; x < width; ++x) {
        out[3 * x] = in[3 * x + 2];
        out[3 * x + 1] = in[3 * x + 1];
        out[3 * x + 2] = in[3 * x];
    }
}

// One SANE line into one DIB row.
void convertLine(const SANE_Parameters& p, const unsigned char* in, unsigned char* out) {
    const int width = p.pixels_per_line;
    if (p.format == SANE_FRAME_RGB && p.depth == 8) {
        swapRedAndBlue(in, out, std::size_t(width));
    } else if (p.format == SANE_FRAME_RGB && p.depth == 1) {
        // Each three bytes hold eight pixels: red's bits, green's, blue's, the first pixel in
        // the highest bit; 1 is full intensity.
        for (std::size_t x = 0; x < std::size_t(width); ++x)
            for (std::size_t c = 0; c < 3; ++c)
                out[3 * x + 2 - c] = (in[x / 8 * 3 + c] >> (7 - x % 8)) & 1 ? 255 : 0;
    } else if (p.format == SANE_FRAME_RGB) {
        const int step = p.depth == 16 ? 2 : 1;
        const int high = p.depth == 16 ? 1 : 0; // little-endian high byte
        for (int x = 0; x < width; ++x) {
            const unsigned char* px = in + std::size_t(x) * 3 * step;
            out[3 * x] = px[2 * step + high];
            out[3 * x + 1] = px[step + high];
            out[3 * x + 2] = px[high];
        }
    } else if (p.depth == 1) {
        // SANE's 1 is black; palette index 0 is black.
        for (int i = 0; i < (width + 7) / 8; ++i)
            out[i] = static_cast<unsigned char>(~in[i]);
    } else if (p.depth == 16) {
        for (int x = 0; x < width; ++x)
            out[x] = in[2 * x + 1];
    } else {
        std::memcpy(out, in, std::size_t(width));
    }
}

} // namespace

SaneDevice::~SaneDevice() {
    sane_close(m_handle);
}

TW_UINT16 SaneDevice::ConditionOf(SANE_Status status) {
    switch (status) {
    case SANE_STATUS_GOOD:
        return TWCC_SUCCESS;
    case SANE_STATUS_DEVICE_BUSY:
        return TWCC_MAXCONNECTIONS; // in use by another program
    case SANE_STATUS_JAMMED:
        return TWCC_PAPERJAM;
    case SANE_STATUS_COVER_OPEN:
        return TWCC_INTERLOCK;
    case SANE_STATUS_NO_DOCS:
        return TWCC_NOMEDIA;
    case SANE_STATUS_NO_MEM:
        return TWCC_LOWMEMORY;
    case SANE_STATUS_IO_ERROR:
    default:
        return TWCC_BUMMER;
    }
}

int SaneDevice::optionIndex(const char* name) const {
    for (SANE_Int i = 1; i < 256; ++i) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(m_handle, i);
        if (!d)
            return -1;
        if (d->name && std::strcmp(d->name, name) == 0 && SANE_OPTION_IS_ACTIVE(d->cap) &&
            SANE_OPTION_IS_SETTABLE(d->cap))
            return i;
    }
    return -1;
}

bool SaneDevice::setString(const char* name, const char* value) {
    const int index = optionIndex(name);
    if (index < 0)
        return false;
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(m_handle, index);
    std::vector<char> buffer(std::max<std::size_t>(std::size_t(d->size), std::strlen(value) + 1));
    std::strcpy(buffer.data(), value);
    return sane_control_option(m_handle, index, SANE_ACTION_SET_VALUE, buffer.data(), nullptr) ==
           SANE_STATUS_GOOD;
}

bool SaneDevice::setNumber(const char* name, double value) {
    const int index = optionIndex(name);
    if (index < 0)
        return false;
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(m_handle, index);
    if (d->type != SANE_TYPE_FIXED && d->type != SANE_TYPE_INT && d->type != SANE_TYPE_BOOL)
        return false;
    SANE_Word word = d->type == SANE_TYPE_FIXED ? SANE_FIX(value) : SANE_Word(std::lround(value));
    return sane_control_option(m_handle, index, SANE_ACTION_SET_VALUE, &word, nullptr) ==
           SANE_STATUS_GOOD;
}

std::optional<double> SaneDevice::number(const char* name) const {
    const int index = optionIndex(name);
    if (index < 0)
        return std::nullopt;
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(m_handle, index);
    SANE_Word word = 0;
    if ((d->type != SANE_TYPE_FIXED && d->type != SANE_TYPE_INT) || d->size != sizeof word ||
        sane_control_option(m_handle, index, SANE_ACTION_GET_VALUE, &word, nullptr) !=
            SANE_STATUS_GOOD)
        return std::nullopt;
    return wordValue(d, word);
}

QStringList SaneDevice::stringList(const char* name) const {
    QStringList list;
    const int index = optionIndex(name);
    if (index < 0)
        return list;
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(m_handle, index);
    if (d->constraint_type == SANE_CONSTRAINT_STRING_LIST)
        for (const SANE_String_Const* s = d->constraint.string_list; s && *s; ++s)
            list << QString::fromUtf8(*s);
    return list;
}

QStringList SaneDevice::Resolutions() const {
    QStringList list;
    const int index = optionIndex(SANE_NAME_SCAN_RESOLUTION);
    if (index < 0)
        return list;
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(m_handle, index);
    if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST) {
        for (SANE_Int i = 1; i <= d->constraint.word_list[0]; ++i)
            list << QString::number(int(wordValue(d, d->constraint.word_list[i])));
    } else if (d->constraint_type == SANE_CONSTRAINT_RANGE) {
        const double lo = wordValue(d, d->constraint.range->min),
                     hi = wordValue(d, d->constraint.range->max);
        for (int dpi : {75, 100, 150, 200, 300, 600, 1200})
            if (dpi >= lo && dpi <= hi)
                list << QString::number(dpi);
    }
    return list;
}

bool SaneDevice::HasFeeder() const {
    for (const QString& s : stringList(SANE_NAME_SCAN_SOURCE))
        if (s.contains(QLatin1String("Feeder"), Qt::CaseInsensitive) ||
            s.contains(QLatin1String("ADF")))
            return true;
    return false;
}

void SaneDevice::UseFeeder(bool feeder) {
    for (const QString& s : stringList(SANE_NAME_SCAN_SOURCE)) {
        const bool isFeeder = s.contains(QLatin1String("Feeder"), Qt::CaseInsensitive) ||
                              s.contains(QLatin1String("ADF"));
        if (isFeeder == feeder) {
            m_feeder = feeder && setString(SANE_NAME_SCAN_SOURCE, s.toUtf8().constData());
            return;
        }
    }
}

namespace {

// The range of a single-valued millimetre option.
std::optional<std::pair<double, double>> mmRange(const SANE_Option_Descriptor* d) {
    if (!d || d->unit != SANE_UNIT_MM || d->constraint_type != SANE_CONSTRAINT_RANGE ||
        d->size != sizeof(SANE_Word) || (d->type != SANE_TYPE_FIXED && d->type != SANE_TYPE_INT))
        return std::nullopt;
    return std::pair{wordValue(d, d->constraint.range->min),
                     wordValue(d, d->constraint.range->max)};
}

} // namespace

std::optional<QRectF> SaneDevice::AreaLimits() const {
    std::optional<std::pair<double, double>> ranges[4];
    const char* names[4] = {SANE_NAME_SCAN_TL_X, SANE_NAME_SCAN_TL_Y, SANE_NAME_SCAN_BR_X,
                            SANE_NAME_SCAN_BR_Y};
    for (int i = 0; i < 4; ++i) {
        const int index = optionIndex(names[i]);
        ranges[i] = index < 0 ? std::nullopt : mmRange(sane_get_option_descriptor(m_handle, index));
        if (!ranges[i])
            return std::nullopt;
    }
    const QRectF limits(QPointF(ranges[0]->first, ranges[1]->first),
                        QPointF(ranges[2]->second, ranges[3]->second));
    return limits.isValid() ? std::optional(limits) : std::nullopt;
}

double SaneDevice::AreaStep() const {
    const int index = optionIndex(SANE_NAME_SCAN_BR_X);
    const SANE_Option_Descriptor* d =
        index < 0 ? nullptr : sane_get_option_descriptor(m_handle, index);
    if (!mmRange(d))
        return 0.1;
    const double step = wordValue(d, d->constraint.range->quant);
    return step > 0 ? step : d->type == SANE_TYPE_FIXED ? 0.1 : 1.0;
}

QRectF SaneDevice::Area() const {
    const auto l = number(SANE_NAME_SCAN_TL_X), t = number(SANE_NAME_SCAN_TL_Y),
               r = number(SANE_NAME_SCAN_BR_X), b = number(SANE_NAME_SCAN_BR_Y);
    return l && t && r && b ? QRectF(QPointF(*l, *t), QPointF(*r, *b)) : QRectF();
}

void SaneDevice::SetArea(const QRectF& mm) {
    const QRectF area = mm.normalized();
    setNumber(SANE_NAME_SCAN_TL_X, area.left());
    setNumber(SANE_NAME_SCAN_TL_Y, area.top());
    setNumber(SANE_NAME_SCAN_BR_X, area.right());
    setNumber(SANE_NAME_SCAN_BR_Y, area.bottom());
}

int SaneDevice::previewResolution(double widestMm) const {
    // About 400 pixels across the widest side is enough to choose an area on.
    const double wanted = widestMm > 0 ? 400 * 25.4 / widestMm : 50;
    const int index = optionIndex(SANE_NAME_SCAN_RESOLUTION);
    if (index < 0)
        return 0;
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(m_handle, index);
    if (d->constraint_type == SANE_CONSTRAINT_RANGE)
        return int(std::clamp(wanted, wordValue(d, d->constraint.range->min),
                              wordValue(d, d->constraint.range->max)));
    if (d->constraint_type != SANE_CONSTRAINT_WORD_LIST || d->constraint.word_list[0] < 1)
        return 0;
    // The lowest listed resolution that reaches the wanted one, else the highest.
    double best = 0;
    for (SANE_Int i = 1; i <= d->constraint.word_list[0]; ++i) {
        const double dpi = wordValue(d, d->constraint.word_list[i]);
        if ((dpi >= wanted && (best < wanted || dpi < best)) || (best < wanted && dpi > best))
            best = dpi;
    }
    return int(best);
}

TW_UINT16 SaneDevice::Preview(QImage& image, const std::function<bool(int)>& progress) {
    const std::optional<QRectF> limits = AreaLimits();
    const QRectF area = Area();
    const std::optional<double> dpi = number(SANE_NAME_SCAN_RESOLUTION);
    const bool feeder = m_feeder;
    if (feeder)
        UseFeeder(false);
    if (limits)
        SetArea(*limits);
    const int previewDpi =
        previewResolution(limits ? std::max(limits->width(), limits->height()) : 0.0);
    if (previewDpi > 0)
        setNumber(SANE_NAME_SCAN_RESOLUTION, previewDpi);
    setNumber(SANE_NAME_PREVIEW, 1);
    ScannedPage page;
    const TW_UINT16 cc = ScanPage(page, progress);
    sane_cancel(m_handle);
    setNumber(SANE_NAME_PREVIEW, 0);
    if (dpi)
        setNumber(SANE_NAME_SCAN_RESOLUTION, *dpi);
    if (limits && area.isValid())
        SetArea(area);
    if (feeder)
        UseFeeder(true);
    if (cc != TWCC_SUCCESS)
        return cc;
    // The DIB behind a bitmap file header is what the image reader takes.
    QBuffer bitmap;
    bitmap.open(QIODevice::WriteOnly);
    const bool written = WriteDibAsBitmap(static_cast<const unsigned char*>(GlobalLock(page.dib)),
                                          GlobalSize(page.dib), bitmap);
    GlobalUnlock(page.dib);
    GlobalFree(page.dib);
    if (!written)
        return TWCC_LOWMEMORY;
    image = QImage::fromData(bitmap.data(), "BMP");
    return image.isNull() ? TWCC_LOWMEMORY : TWCC_SUCCESS;
}

void SaneDevice::SetMode(ScanMode mode) {
    const QStringList modes = stringList(SANE_NAME_SCAN_MODE);
    const auto pick = [&](const char* wanted) {
        for (const QString& m : modes)
            if (m.compare(QLatin1String(wanted), Qt::CaseInsensitive) == 0)
                return setString(SANE_NAME_SCAN_MODE, m.toUtf8().constData());
        return false;
    };
    switch (mode) {
    case ScanMode::Color:
        pick(SANE_VALUE_SCAN_MODE_COLOR);
        setInt(SANE_NAME_BIT_DEPTH, 8);
        break;
    case ScanMode::Gray:
        pick(SANE_VALUE_SCAN_MODE_GRAY);
        setInt(SANE_NAME_BIT_DEPTH, 8);
        break;
    case ScanMode::LineArt:
        // The device's line-art mode, or grey with 1 bit where it has none.
        if (!pick(SANE_VALUE_SCAN_MODE_LINEART)) {
            pick(SANE_VALUE_SCAN_MODE_GRAY);
            setInt(SANE_NAME_BIT_DEPTH, 1);
        }
        break;
    }
}

void SaneDevice::SetResolution(int dpi) {
    setInt(SANE_NAME_SCAN_RESOLUTION, dpi);
}

TW_UINT16 SaneDevice::ScanPage(ScannedPage& page, const std::function<bool(int)>& progress,
                               const std::function<void()>& started) {
    // Options cannot be read while the device scans.
    const int dpi = [&] {
        const int index = optionIndex(SANE_NAME_SCAN_RESOLUTION);
        SANE_Word w = 0;
        if (index < 0 || sane_control_option(m_handle, index, SANE_ACTION_GET_VALUE, &w, nullptr) !=
                             SANE_STATUS_GOOD)
            return 0;
        if (sane_get_option_descriptor(m_handle, index)->type != SANE_TYPE_FIXED)
            return int(w);
        // Some backends keep a configured resolution as a plain number in a fixed option.
        const double dpi = SANE_UNFIX(w);
        return dpi < 1.0 ? int(w) : int(dpi + 0.5);
    }();
    Prefault prefault; // started before the backend's reader threads: not one of them
    ReaderThreads readers;
    // The backend's reader is let end by itself before it is cancelled (see ReaderThreads.h).
    bool readerAwaited = false;
    const auto awaitReader = [&] {
        if (!readerAwaited)
            readers.WaitForEnd(ReaderEndWait);
        readerAwaited = true;
    };
    const auto cancel = [&] {
        awaitReader();
        sane_cancel(m_handle);
    };
    SANE_Status status = sane_start(m_handle);
    SANE_Parameters p{};
    if (status == SANE_STATUS_GOOD)
        status = sane_get_parameters(m_handle, &p);
    if (status != SANE_STATUS_GOOD || !readable(p)) {
        cancel();
        return status != SANE_STATUS_GOOD ? ConditionOf(status) : TWCC_BADVALUE;
    }
    if (started)
        started();
    const DibShape shape = shapeOf(p);
    const std::size_t header = 40 + 4 * std::size_t(shape.colours);
    const std::size_t maxRows = std::min(
        shape.rowSize < MaxPageBytes - header ? (MaxPageBytes - header) / shape.rowSize : 0,
        MaxPagePixels / std::size_t(p.pixels_per_line));
    const bool known = p.lines > 0;
    if (maxRows == 0 || (known && std::size_t(p.lines) > maxRows)) {
        cancel();
        return TWCC_LOWMEMORY;
    }
    // A page of known length goes straight into its DIB from the bottom up; one of unknown
    // length into rows from the top, turned over once it has ended.
    unsigned char* dib = nullptr;
    std::vector<unsigned char> grown;
    if (known) {
        const std::size_t bytes = header + shape.rowSize * std::size_t(p.lines);
        page.dib = GlobalAlloc(bytes);
        dib = static_cast<unsigned char*>(GlobalLock(page.dib));
        if (!dib) {
            GlobalFree(page.dib);
            page.dib = nullptr;
            cancel();
            return TWCC_LOWMEMORY;
        }
        prefault.Fill(dib, bytes);
    }
    const auto freePage = [&] {
        prefault.Stop();
        if (page.dib) {
            GlobalUnlock(page.dib);
            GlobalFree(page.dib);
        }
        page.dib = nullptr;
    };
    const std::size_t rows = known ? std::size_t(p.lines) : maxRows;
    const auto rowAt = [&](std::size_t row) {
        if (known)
            return dib + header + shape.rowSize * (rows - 1 - row);
        grown.resize((row + 1) * shape.rowSize); // grows by doubling underneath
        return grown.data() + shape.rowSize * row;
    };

    // Reads take many lines at a time: one read per line cost more than the conversion.
    const std::size_t lineBytes = std::size_t(p.bytes_per_line);
    std::vector<unsigned char> buffer(lineBytes * std::max<std::size_t>(1, ReadBytes / lineBytes));
    std::size_t filled = 0;
    std::size_t row = 0;
    try {
        while (row < rows) {
            SANE_Int got = 0;
            std::size_t wanted = buffer.size() - filled;
            if (known) {
                // A backend may cancel its reader thread as soon as the page's last bytes are
                // read: those are read only once the reader, having written them, has ended.
                const std::size_t left = lineBytes * (rows - row) - filled;
                wanted = std::min(wanted, left > PageTail ? left - PageTail : left);
                if (left <= PageTail)
                    awaitReader();
            }
            status = sane_read(m_handle, buffer.data() + filled, SANE_Int(wanted), &got);
            readers.Started(); // a backend's reader runs by its first delivery
            if (status != SANE_STATUS_GOOD)
                break;
            filled += std::size_t(std::clamp<SANE_Int>(got, 0, SANE_Int(wanted)));
            const std::size_t lines = std::min(filled / lineBytes, rows - row);
            for (std::size_t i = 0; i < lines; ++i, ++row)
                convertLine(p, buffer.data() + i * lineBytes, rowAt(row));
            filled -= lines * lineBytes;
            std::memmove(buffer.data(), buffer.data() + lines * lineBytes, filled);
            if (progress && !progress(known ? int(row * 100 / rows) : 0)) {
                status = SANE_STATUS_CANCELLED;
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        status = SANE_STATUS_NO_MEM;
    }
    if (!known && status == SANE_STATUS_GOOD)
        status = SANE_STATUS_NO_MEM; // longer than any page we can hand over
    // The rest of the page up to its end, so that a feeder can start the next one.
    for (int i = 0; status == SANE_STATUS_GOOD && i < 64; ++i) {
        SANE_Int got = 0;
        status =
            sane_read(m_handle, buffer.data(), SANE_Int(std::min(buffer.size(), lineBytes)), &got);
    }
    if (status == SANE_STATUS_EOF)
        awaitReader(); // it has written its last
    if (status != SANE_STATUS_GOOD && status != SANE_STATUS_EOF) {
        freePage();
        cancel();
        return status == SANE_STATUS_CANCELLED ? ScanCancelled : ConditionOf(status);
    }
    if (row == 0) {
        freePage();
        cancel();
        return TWCC_BUMMER; // the page ended before its first line
    }
    if (known && row < rows) {
        // Ended early: cut to the lines received, which sit at the top of the block.
        std::memmove(dib + header, dib + header + shape.rowSize * (rows - row),
                     shape.rowSize * row);
    } else if (!known) {
        page.dib = GlobalAlloc(header + shape.rowSize * row);
        dib = static_cast<unsigned char*>(GlobalLock(page.dib));
        if (!dib) {
            freePage();
            sane_cancel(m_handle);
            return TWCC_LOWMEMORY;
        }
        for (std::size_t r = 0; r < row; ++r)
            std::memcpy(dib + header + shape.rowSize * (row - 1 - r),
                        grown.data() + shape.rowSize * r, shape.rowSize);
    }
    const auto put32 = [](unsigned char* at, std::uint32_t v) { std::memcpy(at, &v, 4); };
    put32(dib, 40);
    put32(dib + 4, std::uint32_t(p.pixels_per_line));
    put32(dib + 8, std::uint32_t(row));
    dib[12] = 1;
    dib[14] = std::uint8_t(shape.bits);
    put32(dib + 20, std::uint32_t(shape.rowSize * row));
    put32(dib + 24, std::uint32_t(dpi * 10000 / 254));
    put32(dib + 28, std::uint32_t(dpi * 10000 / 254));
    for (std::uint32_t i = 0; i < shape.colours; ++i) {
        const auto grey = std::uint8_t(i * 255 / (shape.colours - 1));
        dib[40 + 4 * i] = dib[41 + 4 * i] = dib[42 + 4 * i] = grey;
    }
    GlobalUnlock(page.dib);
    if (progress)
        progress(100);
    TW_IMAGEINFO& info = page.info;
    info.XResolution.Whole = info.YResolution.Whole = TW_INT16(dpi);
    info.ImageWidth = p.pixels_per_line;
    info.ImageLength = TW_INT32(row);
    info.SamplesPerPixel = shape.bits == 24 ? 3 : 1;
    for (int i = 0; i < info.SamplesPerPixel; ++i)
        info.BitsPerSample[i] = shape.bits == 24 ? 8 : TW_INT16(shape.bits);
    info.BitsPerPixel = TW_INT16(shape.bits);
    info.PixelType = shape.bits == 24 ? TWPT_RGB : shape.bits == 1 ? TWPT_BW : TWPT_GRAY;
    info.Compression = TWCP_NONE;
    return TWCC_SUCCESS;
}

void SaneDevice::EndScan() {
    sane_cancel(m_handle);
}

void FreePages(std::vector<ScannedPage>& pages) {
    for (ScannedPage& page : pages)
        GlobalFree(page.dib);
    pages.clear();
}
