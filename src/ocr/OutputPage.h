#pragma once

#include "MiLayout.h"

#include <QList>
#include <QString>

class MiDocument;

// A recognised page as the outputs (hOCR, the PDF's text layer) set it down: the final reading's
// words on the image as given, in its own pixels, grouped into lines and the lines into blocks.
struct OutputPage {
    struct Word {
        QString text;
        MiRect box;
        // The way the word runs on the image as given, in clockwise quarter turns from left to
        // right: 1 downwards (a column of vertical text, or a line of a page turned a quarter).
        int direction = 0;
        float confidence = -1;
    };
    struct Line {
        QList<Word> words;
        MiRect box;
        int baseline = 0; // below the box's bottom edge (0 or less); 0 for lines not across
    };
    struct Block {
        QList<Line> lines;
        MiRect box;
    };

    QString fileName;
    int width = 0, height = 0; // the image as given
    int dpi = 300;
    int quarterTurns = 0; // clockwise turns that make the image upright
    QList<Block> blocks;

    // The recognised document's page (open, after OCR).
    static OutputPage Of(const MiDocument& document);
    // Words of a line read overlapping (a word cut in two, a mark beside a word, a word whose
    // box takes in the next ones) are set a little apart, as text readers put a space only
    // where words lie apart. A word lying within the one before keeps its box: the box around
    // it is the one read wrong.
    static void SetApart(QList<Word>& line);
};
