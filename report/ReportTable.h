#pragma once

#include "report/PreparedReport.h"

#include <vector>

// The prepared report as one table, for the exports that write rows and
// columns (spreadsheets, documents, HTML): the texts that share a top form a
// row, the texts' left edges are the column edges across the whole report, so
// every page lines up alike, and a text reaching over further edges (a title,
// a page number) spans those columns.

struct TableCell {
    int column = 0;
    int span = 1;  // columns taken, this one included
    QString text;
    const TextObject* style = nullptr;  // into the report the table was made of
};

struct TableRow {
    int page = 0;
    double top = 0;     // on the page, in layout units
    double height = 0;  // of its highest text
    std::vector<TableCell> cells;  // left to right, none overlapping
};

struct ReportTable {
    std::vector<double> edges;  // column i runs from edges[i] to edges[i + 1]
    std::vector<TableRow> rows; // page after page, top to bottom

    int Columns() const { return edges.empty() ? 0 : static_cast<int>(edges.size()) - 1; }
    double ColumnWidth(int column) const { return edges[column + 1] - edges[column]; }
};

// The table of the report; it points into the report, which must outlive it.
ReportTable TableOf(const PreparedReport& report);
