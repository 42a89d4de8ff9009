#pragma once

#include <functional>

class TStringGrid;
struct TArchive;

// Renders the first Count records of the archive into the table, newest first:
// the last record stands in row 2. Sets the row count once, writes "(Count)"
// into cell (0, 1) and fills one row at a time, processing pending window
// events after each row so the window stays usable during a long archive.
// Count is read again at every row: a command run from those events may have
// replaced the archive. Nothing but the grid and DisplayOrder is changed.
void ShowArchive(TStringGrid& grid, TArchive& archive);

// Empties columns 1 to 4 (header rows included), leaves one empty data row and
// runs the window layout, which writes the header texts again. Column 0 keeps
// its texts: cell (0, 1) the last count, cell (0, 2) the last first number.
void ClearTable(TStringGrid& grid, const std::function<void()>& formResize);

// The header texts of rows 0 and 1 by column position, except cell (0, 1),
// which holds the record count.
void WriteHeaderTexts(TStringGrid& grid);
