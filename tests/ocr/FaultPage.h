#pragma once

#include <QImage>
#include <QString>

// Pages drawn to show faults met on real scans, each with the text it holds in reading order.
namespace FaultPage {

struct Page {
    QImage image;
    QString truth;
};

// A condensed transcript: two framed panels side by side, each a page of 25 numbered lines
// under its own page heading, the numbers set off by a rule.
Page CondensedTranscript();

// A statistical table as offices print it: rows set apart by thin rules only (no rules between
// the columns), a dark header row with light text, every other row tinted, a label column
// and columns of numbers with thousands separators and decimals. Cells are separated by tabs
// in the truth.
Page StatisticalTable();

} // namespace FaultPage
