#pragma once

#include "report/PreparedReport.h"
#include "report/ReportLayout.h"
#include "report/ReportTemplate.h"

#include <QString>

#include <optional>

class TStringGrid;

// The measurement report: the lab's A4 table of the measurements as the grid
// shows them, in the grid's order, with the title and column heads in the
// language LanguageIndex selects.

// The template, from the program's resources.
const ReportTemplate& MeasurementTemplate();

// The date-time cell of the table, "hh:mm:ss (dd mmm 20yy)", in the report's
// two columns: the time is the text before the first "(", the date the text
// inside the parentheses. A deleted record's cell goes on after them
// (" - удалена"); that note follows the date, so the report shows it too.
struct DateTimeParts {
    QString date;
    QString time;
};
DateTimeParts SplitDateTime(const QString& cell);

// The grid's data rows, from row 2 to the last, as the report's records.
class rptUserDataSet1 final : public RecordSource {
public:
    explicit rptUserDataSet1(const TStringGrid& grid) : grid_(grid) {}
    // rptUserDataSet1First: the records end after the grid's data rows.
    void First() override;
    // rptUserDataSet1CheckEOF
    bool Eof() override;
    void Next() override { ++recNo_; }
    int RecNo() const override { return recNo_; }

private:
    const TStringGrid& grid_;
    int recNo_ = 0;
    int end_ = 0;
};

// rptReport1GetValue: a report variable's text for record recNo (grid row
// recNo + 2), or nothing for a name that is not the report's.
std::optional<QString> rptReport1GetValue(const QString& VarName, const TStringGrid& grid, int recNo);

// The whole report laid out, on the template's page or on another.
PreparedReport PrepareMeasurementReport(const TStringGrid& grid);
PreparedReport PrepareMeasurementReport(const TStringGrid& grid, const PageSetup& page);
