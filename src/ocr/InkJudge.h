#pragma once

#include "PageReading.h"
#include "PixPtr.h"

#include <memory>

// Judges readings of a stretch of a page on its own pixels: every word of a reading is drawn
// in a font fitted to its rectangle (the best of a sans, a serif and a typewriter face), and
// the drawing is laid over the page's ink there. The closer the two, the likelier the reading:
// a misread word draws other strokes than the page has, a word left out leaves ink uncovered.
class InkJudge final {
public:
    // page: the page the readings' rectangles refer to.
    explicit InkJudge(Pix* page);
    ~InkJudge();
    InkJudge(const InkJudge&) = delete;
    InkJudge& operator=(const InkJudge&) = delete;

    // Whether the judge can draw (its faces are installed).
    bool Usable() const;
    // How well the lines drawn match the page's ink inside area: 0 to 1 (the harmonic mean of
    // the shares of drawn and of page ink that have the other within a pixel).
    double Match(const QList<ReadLine>& lines, const MiRect& area) const;
    // The area a single word is judged on: its rectangle with a quarter of its height around,
    // so that ink a reading leaves out next to the word counts.
    static MiRect WordArea(const MiRect& box);

private:
    struct Faces;
    PixPtr drawn(const QString& text, int width, int height, Pix* ink) const;

    std::unique_ptr<Faces> m_faces;
    PixPtr m_gray;
};
