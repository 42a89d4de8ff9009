#include "report/XlsxExport.h"

#include "report/NumberText.h"
#include "report/ReportTable.h"

#include <QFile>
#include <QIODevice>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <clocale>
#include <locale.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

namespace {

// The workbook's creation time, fixed so that one report always makes the
// same bytes (libxlsxwriter would take the current time): 2000-01-01 UTC.
constexpr time_t CreatedTime = 946684800;

constexpr double PointsPerUnit = 72.0 / 96.0;
constexpr double MmPerInch = 25.4;

// Excel refuses longer font names; libxlsxwriter would cut a longer one at a
// byte count, possibly inside a character.
constexpr int FontNameMax = 31;

QString Failure(const QString& what, lxw_error error) {
    return QStringLiteral("%1: %2").arg(what, QString::fromUtf8(lxw_strerror(error)));
}

// libxlsxwriter prints every number of the workbook (values, widths, heights,
// font sizes, margins) with printf, in the thread's LC_NUMERIC. Under a locale
// with a decimal comma, as ru_RU, which the application takes from its
// environment, the sheet would hold "2345,6" and width="8,57", a file Excel
// calls damaged. The workbook is made with the C numbers, on this thread only.
class CNumbersOnThisThread {
public:
    CNumbersOnThisThread() {
        const locale_t base = duplocale(uselocale(static_cast<locale_t>(nullptr)));
        if (base == static_cast<locale_t>(nullptr))
            return;
        c_ = newlocale(LC_NUMERIC_MASK, "C", base);
        if (c_ == static_cast<locale_t>(nullptr)) {
            freelocale(base);
            return;
        }
        previous_ = uselocale(c_);
    }
    ~CNumbersOnThisThread() {
        if (c_ == static_cast<locale_t>(nullptr))
            return;
        uselocale(previous_);
        freelocale(c_);
    }
    CNumbersOnThisThread(const CNumbersOnThisThread&) = delete;
    CNumbersOnThisThread& operator=(const CNumbersOnThisThread&) = delete;

    bool Active() const { return c_ != static_cast<locale_t>(nullptr); }

private:
    locale_t c_ = static_cast<locale_t>(nullptr);
    locale_t previous_ = static_cast<locale_t>(nullptr);
};

// A workbook given up before it is closed is freed without being written.
struct WorkbookFree {
    void operator()(lxw_workbook* workbook) const { lxw_workbook_free(workbook); }
};
using Workbook = std::unique_ptr<lxw_workbook, WorkbookFree>;

// What a cell looks like; one workbook format for each look in the report.
struct Look {
    QString font;
    int fontHeight = 0;
    bool bold = false;
    bool frame = false;
    bool centred = false;
    bool wrap = false;
    int decimals = -1;  // a number shown with that many; -1 for a text

    bool operator<(const Look& other) const {
        return std::tie(font, fontHeight, bold, frame, centred, wrap, decimals) <
               std::tie(other.font, other.fontHeight, other.bold, other.frame, other.centred, other.wrap,
                        other.decimals);
    }
};

class Formats {
public:
    explicit Formats(lxw_workbook* workbook) : workbook_(workbook) {}

    // The workbook's format of the look, made on first use; nullptr when the
    // library cannot make one.
    lxw_format* For(const Look& look) {
        const auto found = made_.find(look);
        if (found != made_.end())
            return found->second;
        lxw_format* format = workbook_add_format(workbook_);
        if (!format)
            return nullptr;
        if (!look.font.isEmpty()) {
            QString font = look.font;
            if (font.size() > FontNameMax) {
                font.truncate(FontNameMax);
                if (font.back().isHighSurrogate())
                    font.chop(1);
            }
            format_set_font_name(format, font.toUtf8().constData());
        }
        // Negative heights are pixels at 96 dpi, positive ones points.
        if (look.fontHeight < 0)
            format_set_font_size(format, -look.fontHeight * PointsPerUnit);
        else if (look.fontHeight > 0)
            format_set_font_size(format, look.fontHeight);
        if (look.bold)
            format_set_bold(format);
        if (look.frame)
            format_set_border(format, LXW_BORDER_THIN);
        format_set_align(format, look.centred ? LXW_ALIGN_CENTER : LXW_ALIGN_LEFT);
        format_set_align(format, look.centred ? LXW_ALIGN_VERTICAL_CENTER : LXW_ALIGN_VERTICAL_TOP);
        if (look.wrap)
            format_set_text_wrap(format);
        if (look.decimals >= 0) {
            QByteArray pattern("0");
            if (look.decimals > 0)
                pattern += '.' + QByteArray(look.decimals, '0');
            format_set_num_format(format, pattern.constData());
        }
        made_.emplace(look, format);
        return format;
    }

private:
    lxw_workbook* workbook_;
    std::map<Look, lxw_format*> made_;
};

// Excel's code of the paper, which it knows by number only: the paper of the
// same size, or else the smallest ISO paper that holds the page (the lab's
// printers have those, not the American ones), or else the largest.
std::uint8_t PaperCode(const PageSetup& page) {
    struct Paper {
        std::uint8_t code;
        double shortMm;
        double longMm;
        bool iso;
    };
    static constexpr Paper papers[] = {
        {11, 148, 210, true},        // A5
        {13, 182, 257, true},        // B5
        {9, 210, 297, true},         // A4
        {12, 250, 354, true},        // B4
        {8, 297, 420, true},         // A3
        {1, 215.9, 279.4, false},    // Letter
        {5, 215.9, 355.6, false},    // Legal
    };
    const double shortMm = std::min(page.widthMm, page.heightMm);
    const double longMm = std::max(page.widthMm, page.heightMm);
    constexpr double tolerance = 1;
    for (const Paper& paper : papers)
        if (std::abs(paper.shortMm - shortMm) <= tolerance && std::abs(paper.longMm - longMm) <= tolerance)
            return paper.code;
    // The ISO papers stand from the smallest to the largest.
    for (const Paper& paper : papers)
        if (paper.iso && paper.shortMm + tolerance >= shortMm && paper.longMm + tolerance >= longMm)
            return paper.code;
    return 8;  // A3
}

// Excel keeps a column's width in whole pixels. Counted from the first edge
// and rounded down there, the columns together are never wider than the
// table: the measurement report fills the printable width to a fraction of a
// pixel, and a pixel more would print its last column on pages of its own.
// No column gets none, which would hide it and its texts.
std::vector<int> ColumnPixels(const ReportTable& table) {
    std::vector<int> pixels;
    int done = 0;
    for (int c = 0; c < table.Columns(); ++c) {
        const int edge = static_cast<int>(std::floor(table.edges[c + 1] - table.edges[0]));
        pixels.push_back(std::max(1, edge - done));
        done += pixels.back();
    }
    return pixels;
}

// A width in pixels as Excel's column width in characters of the default
// font: 7 pixels a character after 5 pixels of padding, and narrow columns at
// 12 pixels a character.
double ColumnCharacters(int pixels) {
    return pixels > 12 ? (pixels - 5) / 7.0 : pixels / 12.0;
}

void PageSetupOf(lxw_worksheet* sheet, const PageSetup& page) {
    worksheet_set_paper(sheet, PaperCode(page));
    if (page.landscape)
        worksheet_set_landscape(sheet);
    else
        worksheet_set_portrait(sheet);
    worksheet_set_margins(sheet, std::max(0.0, page.leftMm) / MmPerInch, std::max(0.0, page.rightMm) / MmPerInch,
                          std::max(0.0, page.topMm) / MmPerInch, std::max(0.0, page.bottomMm) / MmPerInch);
}

// One row's cells into the sheet's row r.
QString WriteRow(lxw_worksheet* sheet, Formats& formats, lxw_row_t r, const TableRow& row) {
    static const TextObject plain;
    // A zero height would hide the row in Excel; it keeps the default.
    if (row.height > 0) {
        if (const lxw_error error = worksheet_set_row(sheet, r, row.height * PointsPerUnit, nullptr))
            return Failure(QStringLiteral("row %1").arg(r + 1), error);
    }
    for (const TableCell& cell : row.cells) {
        const TextObject& style = cell.style ? *cell.style : plain;
        const std::optional<NumberText> number = ParseNumberText(cell.text);
        const Look look{style.fontFamily,
                        style.fontHeight,
                        style.bold,
                        style.frame,
                        style.centred,
                        cell.text.contains(QLatin1Char('\n')),
                        number ? number->decimals : -1};
        lxw_format* format = formats.For(look);
        if (!format)
            return QStringLiteral("no memory for the workbook's formats");

        const auto first = static_cast<lxw_col_t>(cell.column);
        const QByteArray text = number ? QByteArray() : cell.text.toUtf8();
        lxw_error error = LXW_NO_ERROR;
        // A merged range takes the format on every cell, so its frame goes
        // all round; its value stands in the first cell.
        if (cell.span > 1)
            error = worksheet_merge_range(sheet, r, first, r, static_cast<lxw_col_t>(cell.column + cell.span - 1),
                                          text.constData(), format);
        if (!error && number)
            error = worksheet_write_number(sheet, r, first, number->value, format);
        else if (!error && cell.span == 1 && !text.isEmpty())
            error = worksheet_write_string(sheet, r, first, text.constData(), format);
        else if (!error && cell.span == 1 && style.frame)
            error = worksheet_write_blank(sheet, r, first, format);
        if (error)
            return Failure(QStringLiteral("row %1, column %2").arg(r + 1).arg(cell.column + 1), error);
    }
    return {};
}

// The whole workbook into the file at path.
QString WriteWorkbook(const PreparedReport& report, const QByteArray& path, const ExportProgress& progress) {
    const ReportTable table = TableOf(report);
    if (table.rows.size() > LXW_ROW_MAX)
        return QStringLiteral("the report has %1 rows, a worksheet holds %2").arg(table.rows.size()).arg(LXW_ROW_MAX);
    if (table.Columns() > LXW_COL_MAX)
        return QStringLiteral("the report has %1 columns, a worksheet holds %2").arg(table.Columns()).arg(LXW_COL_MAX);

    Workbook workbook(workbook_new(path.constData()));
    if (!workbook)
        return QStringLiteral("the workbook cannot be started");
    lxw_doc_properties properties{};
    properties.created = CreatedTime;
    if (const lxw_error error = workbook_set_properties(workbook.get(), &properties))
        return Failure(QStringLiteral("the workbook's properties"), error);
    lxw_worksheet* sheet = workbook_add_worksheet(workbook.get(), "Отчёт");
    if (!sheet)
        return QStringLiteral("the worksheet cannot be added");
    PageSetupOf(sheet, report.page);

    const std::vector<int> pixels = ColumnPixels(table);
    for (std::size_t c = 0; c < pixels.size(); ++c)
        if (const lxw_error error = worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                                                         ColumnCharacters(pixels[c]), nullptr))
            return Failure(QStringLiteral("column %1").arg(c + 1), error);

    Formats formats(workbook.get());
    std::vector<lxw_row_t> breaks;
    const int pages = static_cast<int>(report.pages.size());
    std::size_t r = 0;
    for (int p = 0; p < pages; ++p) {
        // Excel keeps no more breaks than LXW_BREAKS_MAX; past them it breaks
        // the pages where they fill up.
        if (r > 0 && r < table.rows.size() && table.rows[r].page == p && breaks.size() < LXW_BREAKS_MAX)
            breaks.push_back(static_cast<lxw_row_t>(r));
        for (; r < table.rows.size() && table.rows[r].page == p; ++r)
            if (QString failure = WriteRow(sheet, formats, static_cast<lxw_row_t>(r), table.rows[r]); !failure.isEmpty())
                return failure;
        if (progress)
            progress(p + 1, pages);
    }
    if (!breaks.empty()) {
        breaks.push_back(0);  // the end of the list
        if (const lxw_error error = worksheet_set_h_pagebreaks(sheet, breaks.data()))
            return Failure(QStringLiteral("the page breaks"), error);
    }

    // Closing writes the file and frees the workbook, whatever it returns.
    if (const lxw_error error = workbook_close(workbook.release()))
        return Failure(QStringLiteral("the workbook"), error);
    return {};
}

}  // namespace

QString WriteXlsx(const PreparedReport& report, QIODevice& out, const ExportProgress& progress) {
    // libxlsxwriter writes only to a file it names itself; the workbook is
    // made in a folder of its own and copied into out once complete.
    const QTemporaryDir folder;
    if (!folder.isValid())
        return QStringLiteral("no temporary folder for the workbook: %1").arg(folder.errorString());
    const QString path = folder.filePath(QStringLiteral("report.xlsx"));
    {
        const CNumbersOnThisThread numbers;
        if (!numbers.Active())
            return QStringLiteral("the workbook's numbers cannot be written in the C notation");
        if (QString failure = WriteWorkbook(report, QFile::encodeName(path), progress); !failure.isEmpty())
            return failure;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty() && file.error() != QFileDevice::NoError)
        return file.errorString();
    if (out.write(bytes) != bytes.size())
        return out.errorString();
    return {};
}
