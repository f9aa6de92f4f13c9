#include "PagePreparation.h"

#include "ImageHeader.h"
#include "PageOutline.h"
#include "PageSurvey.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The engine reads best when full characters are some 40 pixels high; below 26 (8-point text
// at 300 dpi) it starts to lose strokes of Japanese, so smaller text is enlarged to that
// height. Latin text of 24 (10-point at 200 dpi) reads as well unenlarged, in a third of the
// time, and keeps the spaces between short codes.
int smallText(bool japanese) {
    return japanese ? 26 : 24;
}
constexpr int GoodText = 40;

// Paper brought to white and the darkest ink to black: the local background (a grey closing
// of a 4x reduction, wider than any stroke) divides the light out, then the levels are
// stretched. The engine's global threshold then holds everywhere on the page. (Binarising
// here with Sauvola's local threshold instead reads worse: it breaks faint JPEG strokes.)
PixPtr evenLight(Pix* gray) {
    PixPtr even(pixBackgroundNormMorph(gray, nullptr, 4, 15, 230));
    if (!even)
        return nullptr;
    l_uint32 ink = 0;
    if (pixGetRankValue(even.get(), 2, 0.005f, &ink) != 0)
        return nullptr;
    // Stretching a faint page stretches its noise too; a 3x3 mean first keeps the stretched
    // grain from breaking strokes (without it a faint Japanese page loses 5 % of characters).
    const PixPtr smooth(pixBlockconvGray(even.get(), nullptr, 1, 1));
    if (!smooth)
        return nullptr;
    return PixPtr(pixGammaTRC(nullptr, smooth.get(), 1.0f, std::min(int(ink), 150), 220));
}

PixPtr enlarged(Pix* page, double scale) {
    PixPtr out(pixScaleLI(page, float(scale), float(scale)));
    if (out && pixGetXRes(page) > 0)
        pixSetResolution(out.get(), int(std::lround(pixGetXRes(page) * scale)),
                         int(std::lround(pixGetYRes(page) * scale)));
    return out;
}

} // namespace

PixPtr PagePreparation::Gray(Pix* page) {
    if (pixGetDepth(page) == 8 && !pixGetColormap(page))
        return PixPtr(pixClone(page));
    if (pixGetDepth(page) == 32)
        return PixPtr(pixConvertRGBToLuminance(page));
    return PixPtr(pixConvertTo8(page, 0));
}

int PagePreparation::TextHeight(Pix* gray) {
    // Half size is exact enough and a quarter of the work; the min reduction keeps thin strokes.
    const PixPtr small(pixScaleGrayMinMax(gray, 2, 2, L_CHOOSE_MIN));
    if (!small)
        return 0;
    const PixPtr binary(pixThresholdToBinary(small.get(), 128));
    if (!binary)
        return 0;
    Boxa* boxes = pixConnCompBB(binary.get(), 8);
    std::vector<int> heights;
    for (int i = 0; boxes && i < boxaGetCount(boxes); ++i) {
        l_int32 x, y, w, h;
        boxaGetBoxGeometry(boxes, i, &x, &y, &w, &h);
        // Specks, rules and pictures say nothing about the text's size.
        if (std::min(w, h) >= 2 && std::max(w, h) <= 200)
            heights.push_back(h);
    }
    boxaDestroy(&boxes);
    if (heights.size() < 20)
        return 0;
    // The tall pieces are whole characters (a Japanese character often falls into several).
    const auto tall = heights.begin() + std::ptrdiff_t(heights.size() * 9 / 10);
    std::nth_element(heights.begin(), tall, heights.end());
    return 2 * *tall;
}

PixPtr PagePreparation::Prepare(Pix* page, PreparationSteps* steps) {
    PreparationSteps done;
    if (steps)
        *steps = done;
    if (!page || pixGetDepth(page) == 1)
        return nullptr;
    PixPtr gray = Gray(page);
    if (!gray)
        return nullptr;

    PageSurvey survey(gray.get());
    if (survey.Surrounded()) {
        if (const auto outline = PageOutline::Find(gray.get(), survey)) {
            if (PixPtr cut = outline->Cut(gray.get())) {
                gray = std::move(cut);
                survey = PageSurvey(gray.get());
                done.cut = true;
                for (size_t i = 0; i < 4; ++i) {
                    done.corners[2 * i] = outline->Corners()[i].x;
                    done.corners[2 * i + 1] = outline->Corners()[i].y;
                }
                done.cutWidth = int(pixGetWidth(gray.get()));
                done.cutHeight = int(pixGetHeight(gray.get()));
            }
        }
    }
    // A photograph's light is never even, and its paper is grey: a cut page is always evened.
    if (done.cut || survey.Uneven() || survey.LowContrast()) {
        if (PixPtr even = evenLight(gray.get())) {
            gray = std::move(even);
            done.evened = true;
        }
    }
    if (steps)
        *steps = done;
    if (!done.Any())
        return nullptr;
    return gray;
}

PixPtr PagePreparation::Enlarge(Pix* page, bool japanese, PreparationSteps* steps) {
    if (!page || pixGetDepth(page) == 1)
        return nullptr;
    const PixPtr gray = Gray(page);
    const int height = gray ? TextHeight(gray.get()) : 0;
    if (height == 0 || height >= smallText(japanese))
        return nullptr;
    // Never beyond the largest page the document accepts.
    const double pixels = double(pixGetWidth(page)) * pixGetHeight(page);
    const double scale = std::min(
        {4.0, double(GoodText) / height, std::sqrt(double(ImageHeader::MaxPixels) / pixels)});
    if (scale < 1.2)
        return nullptr;
    PixPtr large = enlarged(page, scale);
    if (large && steps)
        steps->scale = scale;
    return large;
}
