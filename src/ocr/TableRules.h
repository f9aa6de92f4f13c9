#pragma once

#include "PageReading.h"
#include "PixPtr.h"

#include <vector>

// Ruled tables. Their grid lines, found by morphology as long thin runs of ink, are removed
// before recognition, and the ground of every cell is evened, so that coloured fills, shaded
// rows and dark header rows with light text all become dark text on white. After recognition
// the words of each table are set out row by row, the cells of one row on one line.
class TableRules final {
public:
    // Looks for ruled tables on the page.
    explicit TableRules(Pix* page);

    bool Found() const { return !m_tables.empty(); }
    // The page in 8-bit grey with the tables' rules removed and their cells evened; null when
    // no table was found.
    PixPtr Cleaned() const;
    // Reads every table again row by row on the cleaned page (with the engine loaded with the
    // page's language), keeps for each row the reading with more weight of this and the
    // reading's own words there, and puts it in the reading row by row in the place of the
    // table's words. The words of different cells are marked as such (tabs between them).
    void Read(tesseract::TessBaseAPI& api, PageReading& reading) const;

    struct Table {
        MiRect bounds;
        std::vector<int> rows;    // tops of the rows, then the bottom of the last
        std::vector<int> columns; // lefts of the columns, then the right of the last
    };

private:
    // One line per row of the table, its cells read one by one (those with ink on the
    // cleaned page's binary copy, ink), empty where nothing was read. text: the height of the
    // table's characters (0: unknown).
    QList<ReadLine> readRows(tesseract::TessBaseAPI& api, Pix* page, Pix* ink, const Table& table,
                             int text) const;
    static QList<ReadLine> laidOut(const PageReading& reading, const Table& table);
    static void replace(PageReading& reading, const Table& table, const QList<ReadLine>& rows,
                        int margin);

    PixPtr m_gray;
    PixPtr m_rules;
    std::vector<Table> m_tables;
    int m_thick = 3;
};
