#include "output/MeasurementReport.h"

#include "app/MessageTable.h"
#include "archive/StringGrid.h"
#include "report/TemplateFile.h"

#include <QFile>

#include <stdexcept>

// Out of any namespace, as the resource's own registration is.
static void RegisterReportResources() {
    Q_INIT_RESOURCE(report);
}

namespace {

ReportTemplate LoadTemplate() {
    RegisterReportResources();
    QFile file(QStringLiteral(":/report/MeasurementReport.json"));
    if (!file.open(QIODevice::ReadOnly))
        throw std::logic_error("the measurement report's template is not among the resources");
    const TemplateReading reading = ReadReportTemplate(file.readAll());
    if (!reading.report)
        throw std::logic_error("the measurement report's template is refused: " + reading.error.toStdString());
    return *reading.report;
}

}  // namespace

const ReportTemplate& MeasurementTemplate() {
    static const ReportTemplate report = LoadTemplate();
    return report;
}

DateTimeParts SplitDateTime(const QString& cell) {
    const qsizetype open = cell.indexOf(QLatin1Char('('));
    if (open < 0)
        return {QString(), cell};
    const QString time = cell.left(open);
    const qsizetype close = cell.indexOf(QLatin1Char(')'), open);
    if (close < 0)
        return {cell.mid(open + 1).chopped(cell.size() > open + 1 ? 1 : 0), time};
    return {cell.mid(open + 1, close - open - 1) + cell.mid(close + 1), time};
}

void rptUserDataSet1::First() {
    recNo_ = 0;
    end_ = grid_.RowCount() - 2;
}

bool rptUserDataSet1::Eof() {
    return recNo_ >= end_ || recNo_ >= grid_.RowCount() - 2;
}

std::optional<QString> rptReport1GetValue(const QString& VarName, const TStringGrid& grid, int recNo) {
    const int row = recNo + 2;
    const auto cell = [&](int column) { return grid.Cells(column, row); };
    if (VarName == QStringLiteral("Заголовок"))
        return MessageText(TextReportTitle);
    if (VarName == QStringLiteral("Дата0"))
        return MessageText(TextDate);
    if (VarName == QStringLiteral("Время0"))
        return MessageText(TextTime);
    if (VarName == QStringLiteral("Плотность0"))
        return MessageText(TextDensity);
    if (VarName == QStringLiteral("Материал0"))
        return MessageText(TextMaterial);
    if (VarName == QStringLiteral("Температура0"))
        return MessageText(TextTemperature);
    if (VarName == QStringLiteral("№№"))
        return cell(0);
    if (VarName == QStringLiteral("Дата"))
        return SplitDateTime(cell(1)).date;
    if (VarName == QStringLiteral("Время"))
        return SplitDateTime(cell(1)).time;
    if (VarName == QStringLiteral("Плотность"))
        return cell(2);
    if (VarName == QStringLiteral("Материал"))
        return cell(3);
    if (VarName == QStringLiteral("Температура"))
        return cell(4);
    return std::nullopt;
}

PreparedReport PrepareMeasurementReport(const TStringGrid& grid) {
    return PrepareMeasurementReport(grid, MeasurementTemplate().page);
}

PreparedReport PrepareMeasurementReport(const TStringGrid& grid, const PageSetup& page) {
    ReportTemplate report = MeasurementTemplate();
    report.page = page;
    rptUserDataSet1 records(grid);
    return LayOutReport(
        report, [&](const QString& name) { return rptReport1GetValue(name, grid, records.RecNo()); }, records);
}
