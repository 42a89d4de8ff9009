#pragma once

#include <QString>

class TStringGrid;

// The table as tab-separated text, from the grid's cell texts as they stand
// (a dragged row or column is copied at its new place).

// Every row, the header rows included: five cells joined by TAB, each line
// ended by LF alone.
QString WholeTableText(const TStringGrid& grid);

// The selected rows, top to bottom: the selection's cells (columns 1 to 4, not
// the record number) joined by TAB, each line ended by CR LF. Empty when no row
// is selected.
QString SelectionText(const TStringGrid& grid);
