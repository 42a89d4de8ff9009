#include "report/XlsxExport.h"

#include "report/NumberText.h"
#include "report/ReportTable.h"

#include <QFile>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

namespace {

// A template's font height in points: negative is pixels at 96 dpi.
double FontPoints(int height) {
    return height < 0 ? -height * 72.0 / 96.0 : height;
}

// Excel's column width is in characters of the default font, seven pixels
// each, plus five pixels of padding.
double ColumnCharacters(double units) {
    return std::max(0.0, (units - 5) / 7);
}

// Paper sizes by Excel's numbers; anything else prints on A4.
std::uint8_t PaperType(const PageSetup& page) {
    const double shortSide = std::min(page.widthMm, page.heightMm);
    const double longSide = std::max(page.widthMm, page.heightMm);
    const auto is = [&](double a, double b) { return std::abs(shortSide - a) < 1 && std::abs(longSide - b) < 1; };
    if (is(297, 420))
        return 8;
    if (is(148, 210))
        return 11;
    if (is(215.9, 279.4))
        return 1;
    return 9;
}

struct WorkbookClose {
    void operator()(lxw_workbook* workbook) const { workbook_close(workbook); }
};

// One format per look, made when first needed.
class Formats {
public:
    explicit Formats(lxw_workbook* workbook) : workbook_(workbook) {}

    lxw_format* For(const TextObject& style, int decimals, bool wrap) {
        const Key key{style.fontFamily, style.fontHeight, style.bold, style.frame, style.centred, decimals, wrap};
        if (const auto found = formats_.find(key); found != formats_.end())
            return found->second;
        lxw_format* format = workbook_add_format(workbook_);
        format_set_font_name(format, style.fontFamily.toUtf8().constData());
        format_set_font_size(format, FontPoints(style.fontHeight));
        if (style.bold)
            format_set_bold(format);
        if (style.frame)
            format_set_border(format, LXW_BORDER_THIN);
        format_set_align(format, style.centred ? LXW_ALIGN_CENTER : LXW_ALIGN_LEFT);
        format_set_align(format, style.centred ? LXW_ALIGN_VERTICAL_CENTER : LXW_ALIGN_VERTICAL_TOP);
        if (decimals >= 0)
            format_set_num_format(format, decimals == 0 ? "0" : ("0." + std::string(decimals, '0')).c_str());
        if (wrap)
            format_set_text_wrap(format);
        formats_.emplace(key, format);
        return format;
    }

private:
    using Key = std::tuple<QString, int, bool, bool, bool, int, bool>;
    lxw_workbook* workbook_;
    std::map<Key, lxw_format*> formats_;
};

QString Failed(lxw_error error) {
    return QString::fromUtf8(lxw_strerror(error));
}

}  // namespace

QString WriteXlsx(const PreparedReport& report, QIODevice& out, const ExportProgress& progress) {
    // The library writes a file of its own; it becomes the export's bytes.
    const QTemporaryDir folder;
    if (!folder.isValid())
        return QStringLiteral("no temporary folder: ") + folder.errorString();
    const QString path = folder.filePath(QStringLiteral("report.xlsx"));
    const QByteArray tmpdir = folder.path().toUtf8();
    lxw_workbook_options options{};
    options.tmpdir = const_cast<char*>(tmpdir.constData());
    std::unique_ptr<lxw_workbook, WorkbookClose> workbook(workbook_new_opt(path.toUtf8().constData(), &options));
    if (!workbook)
        return QStringLiteral("the workbook cannot be started");

    // Fixed properties, a fixed creation time among them (the library takes
    // the clock's for none): the same report gives the same bytes.
    lxw_doc_properties properties{};
    QByteArray title = report.pages.empty() || report.pages[0].texts.empty()
                           ? QByteArray("Report")
                           : report.pages[0].texts[0].text.toUtf8();
    properties.title = title.data();
    properties.created = 946684800;  // 2000-01-01
    workbook_set_properties(workbook.get(), &properties);

    lxw_worksheet* sheet = workbook_add_worksheet(workbook.get(), "Отчёт");
    if (!sheet)
        return QStringLiteral("the worksheet cannot be added");
    worksheet_set_paper(sheet, PaperType(report.page));
    if (report.page.landscape)
        worksheet_set_landscape(sheet);
    else
        worksheet_set_portrait(sheet);
    worksheet_set_margins(sheet, report.page.leftMm / 25.4, report.page.rightMm / 25.4, report.page.topMm / 25.4,
                          report.page.bottomMm / 25.4);

    const ReportTable table = TableOf(report);
    for (int column = 0; column < table.Columns(); ++column)
        worksheet_set_column(sheet, static_cast<lxw_col_t>(column), static_cast<lxw_col_t>(column),
                             ColumnCharacters(table.ColumnWidth(column)), nullptr);

    Formats formats(workbook.get());
    std::vector<lxw_row_t> breaks;
    const int pages = static_cast<int>(report.pages.size());
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const TableRow& row = table.rows[r];
        const auto at = static_cast<lxw_row_t>(r);
        if (r > 0 && row.page != table.rows[r - 1].page && breaks.size() < LXW_BREAKS_MAX)
            breaks.push_back(at);
        worksheet_set_row(sheet, at, row.height * 0.75, nullptr);
        for (const TableCell& cell : row.cells) {
            const auto column = static_cast<lxw_col_t>(cell.column);
            const std::optional<NumberText> number = ParseNumberText(cell.text);
            lxw_format* format =
                formats.For(*cell.style, number ? number->decimals : -1, cell.text.contains(QLatin1Char('\n')));
            const QByteArray text = cell.text.toUtf8();
            lxw_error error = LXW_NO_ERROR;
            if (cell.span > 1)
                error = worksheet_merge_range(sheet, at, column, at, static_cast<lxw_col_t>(cell.column + cell.span - 1),
                                              text.constData(), format);
            if (error == LXW_NO_ERROR) {
                if (number)
                    error = worksheet_write_number(sheet, at, column, number->value, format);
                else if (cell.text.isEmpty())
                    error = worksheet_write_blank(sheet, at, column, format);
                else if (cell.span == 1)
                    error = worksheet_write_string(sheet, at, column, text.constData(), format);
            }
            if (error != LXW_NO_ERROR)
                return Failed(error);
        }
        if (r + 1 == table.rows.size() || table.rows[r + 1].page != row.page)
            progress(row.page + 1, pages);
    }
    if (!breaks.empty()) {
        breaks.push_back(0);
        if (const lxw_error error = worksheet_set_h_pagebreaks(sheet, breaks.data()); error != LXW_NO_ERROR)
            return Failed(error);
    }

    if (const lxw_error error = workbook_close(workbook.release()); error != LXW_NO_ERROR)
        return Failed(error);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    if (out.write(file.readAll()) < 0)
        return out.errorString();
    return {};
}
