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

} // namespace FaultPage
