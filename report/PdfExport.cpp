#include "report/PdfExport.h"

#include "report/ReportPainter.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

namespace {

constexpr int Resolution = 600;  // dots per inch of the PDF's coordinates

}  // namespace

QString WritePdf(const PreparedReport& report, QIODevice& out, const ExportProgress& progress) {
    const int pages = static_cast<int>(report.pages.size());
    {
        QPdfWriter writer(&out);
        writer.setResolution(Resolution);
        writer.setCreator(QStringLiteral("vel"));
        writer.setPageLayout(QPageLayout(QPageSize(QSizeF(report.page.widthMm, report.page.heightMm),
                                                   QPageSize::Millimeter),
                                         QPageLayout::Portrait, QMarginsF()));
        QPainter painter(&writer);
        if (!painter.isActive())
            return QStringLiteral("the PDF cannot be started");
        const double unitsToDevice = Resolution / 96.0;
        for (std::size_t i = 0; i < report.pages.size(); ++i) {
            if (i > 0)
                writer.newPage();
            PaintReportPage(painter, report.pages[i], unitsToDevice);
            if (progress)
                progress(static_cast<int>(i) + 1, pages);
        }
    }
    // A failed write shows when the file is committed.
    return {};
}
