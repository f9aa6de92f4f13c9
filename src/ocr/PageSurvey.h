#pragma once

#include <vector>

struct Pix;

// A cheap look at an 8-bit grey page on a grid of tiles about a third of an inch wide: the
// brightest (paper) and darkest (ink) level in each, from 4x min and max reductions. It tells
// whether the page lies on a dark surround, whether its light is uneven and whether its
// contrast is low, so that clean pages can skip every correction.
class PageSurvey final {
public:
    explicit PageSurvey(Pix* gray);

    // The level of well-lit paper (the 90th percentile of the tiles' paper levels).
    int Paper() const { return m_paper; }
    // The level of the darkest ink (the 5th percentile of the tiles' ink levels).
    int Ink() const { return m_ink; }

    // Most of the image's border is dark and meets the paper in a sharp step: the page was
    // photographed on a table (a lamp's fall-off changes little from pixel to pixel).
    bool Surrounded() const;
    // The brightest level of the surround, when Surrounded().
    int Surround() const { return m_surround; }
    // Something darker than the paper beyond noise; a blank page needs no evening.
    bool HasInk() const;
    // The paper's level changes across the page by more than a fifth of the ink's contrast.
    bool Uneven() const;
    // Ink and paper less than 70 % of the paper level apart.
    bool LowContrast() const;

    // The reduction of the min and max copies the survey looks at.
    static constexpr int Reduction = 4;

private:
    void surveyBorder(Pix* bright);

    std::vector<int> m_tilePaper;
    std::vector<int> m_tileInk;
    int m_paper = 255;
    int m_ink = 0;
    int m_surround = 0;
    int m_steps = 0;
    int m_darkRing = 0;
    int m_ring = 0;
};
