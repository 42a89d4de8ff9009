#include "archive/TableRendering.h"

#include "archive/Archive.h"
#include "archive/MeasurementTexts.h"
#include "archive/StringGrid.h"

#include <QCoreApplication>

void ShowArchive(TStringGrid& grid, TArchive& archive) {
    const int count = ValidCount(archive);
    grid.SetRowCount(count + 2);
    grid.SetCells(0, 1, QStringLiteral("(%1)").arg(count));
    for (int p = 0; p < count; ++p)
        archive.DisplayOrder[p] = count - 1 - p;

    for (int p = 0; p < ValidCount(archive); ++p) {
        const std::array<QString, 5> texts = MeasurementRowTexts(archive.Records[archive.DisplayOrder[p]]);
        for (int col = 0; col < 5; ++col)
            grid.SetCells(col, p + 2, texts[col]);
        QCoreApplication::processEvents();
    }
}

void ClearTable(TStringGrid& grid, const std::function<void()>& formResize) {
    for (int row = 0; row < grid.RowCount(); ++row)
        for (int col = 1; col < grid.ColCount(); ++col)
            grid.SetCells(col, row, QString());
    grid.SetRowCount(3);
    grid.SetFixedRows(2);
    if (formResize)
        formResize();
}

void WriteHeaderTexts(TStringGrid& grid) {
    grid.SetCells(0, 0, QStringLiteral(" № зап."));
    grid.SetCells(1, 0, QStringLiteral("Дата, время"));
    grid.SetCells(1, 1, QString());
    grid.SetCells(2, 0, QStringLiteral("Плотность,"));
    grid.SetCells(2, 1, QStringLiteral("  кг/м^3"));
    grid.SetCells(3, 0, QStringLiteral("Материал"));
    grid.SetCells(4, 0, QStringLiteral("Температура,"));
    grid.SetCells(4, 1, QStringLiteral("°C"));
}
