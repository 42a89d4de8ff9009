#include "report/PdfExport.h"

#include "report/ReportPainter.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace {

constexpr int Resolution = 600;  // dots per inch of the PDF's coordinates

}  // namespace

QString ExportPdf(const PreparedReport& report, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    {
        QPdfWriter writer(&file);
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
        }
    }
    if (!file.commit())
        return file.errorString();
    return {};
}
