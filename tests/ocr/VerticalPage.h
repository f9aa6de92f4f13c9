#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

// Japanese pages set vertically, drawn column by column (Qt lays out no vertical text): the
// columns run top to bottom and follow each other from right to left. Punctuation takes its
// vertical place or is turned, small kana sit to the upper right of their cell, a two-digit
// number is set across one cell, and ruby (marked as 漢字《かな》 after a run of kanji) is
// set at half size beside its kanji. What the page reads is known column by column.
namespace VerticalPage {

struct Page {
    QImage image;
    QString heading;        // the horizontal heading above the columns, or empty
    QStringList columns;    // each column's body text (ruby left out), right to left
    QStringList paragraphs; // the body paragraphs without their ruby
};

// Paragraphs start a new column, indented by one cell; a column holds rows cells.
Page Render(const QStringList& paragraphs, const QString& heading = {}, int rows = 20,
            int pointSize = 12);

// The heading and paragraphs as one text, ruby left out.
QString Text(const Page& page);

} // namespace VerticalPage
