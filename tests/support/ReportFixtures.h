#pragma once

#include "archive/StringGrid.h"
#include "report/PreparedReport.h"

#include <QStringList>

#include <algorithm>

#include <memory>
#include <vector>

// A table as the window shows records, for the report's tests: the two header
// rows, then one row per record, newest first: number (records down to 1),
// "10:20:30 (d янв 2024)" with d counting 1 to 28 from the top row, density
// "2345,k" with k the row's index modulo 10, "Асфальт" and "120,5".
inline std::unique_ptr<TStringGrid> MeasurementGrid(int records) {
    auto grid = std::make_unique<TStringGrid>(5, records + 2);
    for (int i = 0; i < records; ++i) {
        const int row = i + 2;
        grid->SetCells(0, row, QString::number(records - i));
        grid->SetCells(1, row, QStringLiteral("10:20:30 (%1 янв 2024)").arg(i % 28 + 1, 2));
        grid->SetCells(2, row, QStringLiteral("2345,%1").arg(i % 10));
        grid->SetCells(3, row, QStringLiteral("Асфальт"));
        grid->SetCells(4, row, QStringLiteral("120,5"));
    }
    return grid;
}

// Each prepared page's texts, in the order they were placed.
inline std::vector<QStringList> PageTexts(const PreparedReport& report) {
    std::vector<QStringList> pages;
    for (const PreparedPage& page : report.pages) {
        QStringList texts;
        for (const PlacedText& text : page.texts)
            texts << text.text;
        pages.push_back(texts);
    }
    return pages;
}

// Each page's texts as a reader meets them, top to bottom and left to right
// (the layout places a page's footer before its rows), page after page.
inline QStringList TextsInReadingOrder(const PreparedReport& report) {
    QStringList texts;
    for (const PreparedPage& page : report.pages) {
        std::vector<const PlacedText*> placed;
        for (const PlacedText& text : page.texts)
            placed.push_back(&text);
        std::stable_sort(placed.begin(), placed.end(), [](const PlacedText* a, const PlacedText* b) {
            return a->rect.top() != b->rect.top() ? a->rect.top() < b->rect.top() : a->rect.left() < b->rect.left();
        });
        for (const PlacedText* text : placed)
            texts << text->text;
    }
    return texts;
}
