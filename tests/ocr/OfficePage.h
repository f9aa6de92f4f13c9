#pragma once

#include "DegradedPage.h"

#include <QImage>
#include <QString>
#include <vector>

// Office documents rendered by the tests, in English or Japanese: a ruled table with filled
// cells, a list of part codes, a boxed transcript with line numbers, a form, pages in two and
// three columns, a slide, a receipt and a chart. Each comes with the text it holds in reading
// order (a table's cells separated by tabs, a line number before its line).
namespace OfficePage {

struct Page {
    QString name;
    QImage image;
    QString truth;
};

std::vector<Page> Set(bool japanese);

// The spoilings of a scanner and of a copier: dirt specks and a slight skew through JPEG,
// and dirt specks at 200 dpi.
std::vector<DegradedPage::Case> Spoilings();

// The share of the truth's words found in the text, order and punctuation ignored; Japanese
// counts each of its characters as a word.
double WordAccuracy(const QString& truth, const QString& text);

} // namespace OfficePage
