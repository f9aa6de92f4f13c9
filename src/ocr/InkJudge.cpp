#include "InkJudge.h"

#include <algorithm>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <vector>

namespace {

// The faces words are drawn in, from the fonts Debian's DejaVu package installs.
constexpr const char* FacePaths[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",
};
// The size words are drawn at before they are fitted to their rectangles.
constexpr int DrawnSize = 40;

// Ink drawn and ink of the page that lie within a pixel of each other, as a harmonic mean of
// both shares; 0 when either has none.
double overlap(Pix* drawn, Pix* page) {
    l_int32 drawnCount = 0, pageCount = 0;
    pixCountPixels(drawn, &drawnCount, nullptr);
    pixCountPixels(page, &pageCount, nullptr);
    if (drawnCount == 0 || pageCount == 0)
        return 0;
    const PixPtr nearPage(pixDilateBrick(nullptr, page, 3, 3));
    const PixPtr nearDrawn(pixDilateBrick(nullptr, drawn, 3, 3));
    if (!nearPage || !nearDrawn)
        return 0;
    const PixPtr drawnHit(pixAnd(nullptr, drawn, nearPage.get()));
    const PixPtr pageHit(pixAnd(nullptr, page, nearDrawn.get()));
    l_int32 drawnHits = 0, pageHits = 0;
    pixCountPixels(drawnHit.get(), &drawnHits, nullptr);
    pixCountPixels(pageHit.get(), &pageHits, nullptr);
    const double precision = double(drawnHits) / drawnCount, recall = double(pageHits) / pageCount;
    return precision + recall > 0 ? 2 * precision * recall / (precision + recall) : 0;
}

PixPtr clip(Pix* pix, const MiRect& r) {
    Box* box = boxCreate(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
    PixPtr out(pixClipRectangle(pix, box, nullptr));
    boxDestroy(&box);
    return out;
}

} // namespace

struct InkJudge::Faces {
    FT_Library library = nullptr;
    std::vector<FT_Face> faces;
    ~Faces() {
        for (FT_Face face : faces)
            FT_Done_Face(face);
        if (library)
            FT_Done_FreeType(library);
    }
};

InkJudge::InkJudge(Pix* page) : m_faces(std::make_unique<Faces>()) {
    if (FT_Init_FreeType(&m_faces->library) != 0) {
        m_faces->library = nullptr;
        return;
    }
    for (const char* path : FacePaths) {
        FT_Face face = nullptr;
        if (FT_New_Face(m_faces->library, path, 0, &face) == 0 &&
            FT_Set_Pixel_Sizes(face, 0, DrawnSize) == 0)
            m_faces->faces.push_back(face);
        else if (face)
            FT_Done_Face(face);
    }
    m_gray.reset(pixGetDepth(page) == 8 && !pixGetColormap(page) ? pixClone(page)
                                                                 : pixConvertTo8(page, 0));
}

InkJudge::~InkJudge() = default;

bool InkJudge::Usable() const {
    return !m_faces->faces.empty() && m_gray;
}

// The text drawn in the face that best matches ink (the page's ink in the word's rectangle),
// its inked part stretched to width x height; null when nothing of it has ink.
PixPtr InkJudge::drawn(const QString& text, int width, int height, Pix* ink) const {
    PixPtr best;
    double bestMatch = -1;
    for (FT_Face face : m_faces->faces) {
        const int advance = DrawnSize * int(text.size() + 2);
        PixPtr canvas(pixCreate(advance, DrawnSize * 2, 1));
        if (!canvas)
            continue;
        int pen = DrawnSize / 2;
        const int baseline = DrawnSize * 3 / 2;
        for (const char32_t c : text.toUcs4()) {
            if (FT_Load_Char(face, c, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0)
                continue;
            const FT_Bitmap& b = face->glyph->bitmap;
            const int left = pen + face->glyph->bitmap_left,
                      top = baseline - face->glyph->bitmap_top;
            for (unsigned y = 0; y < b.rows; ++y)
                for (unsigned x = 0; x < b.width; ++x) {
                    const unsigned char byte = b.buffer[y * unsigned(b.pitch) + x / 8];
                    if ((byte >> (7 - x % 8)) & 1)
                        pixSetPixel(canvas.get(), left + int(x), top + int(y), 1);
                }
            pen += int(face->glyph->advance.x >> 6);
            if (pen + DrawnSize >= advance)
                break;
        }
        Box* inked = nullptr;
        if (pixClipToForeground(canvas.get(), nullptr, &inked) != 0 || !inked)
            continue;
        const PixPtr word(pixClipRectangle(canvas.get(), inked, nullptr));
        boxDestroy(&inked);
        PixPtr fitted(word ? pixScaleToSize(word.get(), width, height) : nullptr);
        if (!fitted)
            continue;
        if (pixGetDepth(fitted.get()) != 1)
            fitted.reset(pixConvertTo1(fitted.get(), 128));
        const double match = overlap(fitted.get(), ink);
        if (match > bestMatch) {
            bestMatch = match;
            best = std::move(fitted);
        }
    }
    return best;
}

double InkJudge::Match(const QList<ReadLine>& lines, const MiRect& wanted) const {
    if (!Usable())
        return 0;
    const MiRect area{std::max(0, wanted.Left), std::max(0, wanted.Top),
                      std::min(int(pixGetWidth(m_gray.get())), wanted.Right),
                      std::min(int(pixGetHeight(m_gray.get())), wanted.Bottom)};
    if (area.Right - area.Left < 2 || area.Bottom - area.Top < 2)
        return 0;
    const PixPtr gray = clip(m_gray.get(), area);
    Pix* binary = nullptr;
    if (!gray ||
        pixOtsuAdaptiveThreshold(gray.get(), pixGetWidth(gray.get()), pixGetHeight(gray.get()), 0,
                                 0, 0.1f, nullptr, &binary) != 0)
        return 0;
    // Specks are no one's letters.
    const PixPtr ink(
        pixSelectBySize(binary, 3, 3, 8, L_SELECT_IF_EITHER, L_SELECT_IF_GTE, nullptr));
    pixDestroy(&binary);
    if (!ink)
        return 0;
    PixPtr canvas(pixCreateTemplate(ink.get()));
    for (const ReadLine& line : lines)
        for (const ReadWord& w : line) {
            // The word is drawn over the ink its rectangle (and a little around it) holds, so
            // that two readings' words over the same ink are drawn alike however their
            // rectangles were measured.
            const int pad = std::max(1, (w.box.Bottom - w.box.Top) / 8);
            const MiRect r{
                std::max(w.box.Left - pad, area.Left), std::max(w.box.Top - pad, area.Top),
                std::min(w.box.Right + pad, area.Right), std::min(w.box.Bottom + pad, area.Bottom)};
            if (r.Right - r.Left < 2 || r.Bottom - r.Top < 2)
                continue;
            const PixPtr around = clip(ink.get(), {r.Left - area.Left, r.Top - area.Top,
                                                   r.Right - area.Left, r.Bottom - area.Top});
            Box* inked = nullptr;
            if (!around || pixClipToForeground(around.get(), nullptr, &inked) != 0 || !inked)
                continue;
            l_int32 x, y, width, height;
            boxGetGeometry(inked, &x, &y, &width, &height);
            boxDestroy(&inked);
            x += r.Left - area.Left;
            y += r.Top - area.Top;
            const PixPtr wordInk = clip(ink.get(), {x, y, x + width, y + height});
            const PixPtr word = wordInk ? drawn(w.text, width, height, wordInk.get()) : nullptr;
            if (word)
                pixRasterop(canvas.get(), x, y, width, height, PIX_PAINT, word.get(), 0, 0);
        }
    return overlap(canvas.get(), ink.get());
}

MiRect InkJudge::WordArea(const MiRect& b) {
    const int margin = std::max(2, (b.Bottom - b.Top) / 4);
    return {b.Left - margin, b.Top - margin, b.Right + margin, b.Bottom + margin};
}
