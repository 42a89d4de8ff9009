#include "report/ReportLayout.h"

#include <QRegularExpression>

namespace {

// The band's objects at its place on the page, texts resolved.
void PlaceBand(const Band& band, double left, double top, int page, const VariableValue& value,
               PreparedPage& into) {
    static const QRegularExpression variable(QStringLiteral(R"(\[([^\[\]]+)\])"));
    for (const TextObject& object : band.objects) {
        QString text;
        qsizetype done = 0;
        for (auto match = variable.globalMatch(object.text); match.hasNext();) {
            const QRegularExpressionMatch found = match.next();
            text += QStringView(object.text).mid(done, found.capturedStart() - done);
            const QString name = found.captured(1);
            if (name == QLatin1String("Page#"))
                text += QString::number(page);
            else if (const std::optional<QString> resolved = value(name))
                text += *resolved;
            else
                text += found.captured(0);
            done = found.capturedEnd();
        }
        text += QStringView(object.text).mid(done);
        into.texts.push_back({object, QRectF(left + object.left, top + object.top, object.width, object.height), text});
    }
}

class Pages {
public:
    Pages(const ReportTemplate& report, const VariableValue& value, PreparedReport& prepared)
        : report_(report), value_(value), prepared_(prepared), header_(report.Find(BandKind::PageHeader)),
          footer_(report.Find(BandKind::PageFooter)) {}

    void Begin() {
        prepared_.pages.emplace_back();
        top_ = report_.page.topMm * UnitsPerMm;
        const int number = static_cast<int>(prepared_.pages.size());
        bottom_ = top_ + report_.page.PrintableHeight();
        if (footer_ && (number > 1 || footer_->printOnFirstPage)) {
            bottom_ -= footer_->height;
            PlaceBand(*footer_, Left(), bottom_, number, value_, prepared_.pages.back());
        }
        if (number == 1)
            if (const Band* title = report_.Find(BandKind::ReportTitle))
                Put(*title);
        if (header_)
            Put(*header_);
    }

    // The band below the last one, on a new page when it does not fit.
    void Add(const Band& band) {
        if (top_ + band.height > bottom_ + Slack && !pageIsEmpty())
            Begin();
        Put(band);
    }

private:
    // Rounding of the template's decimal sizes must not cost a row.
    static constexpr double Slack = 1e-6;

    double Left() const { return report_.page.leftMm * UnitsPerMm; }
    bool pageIsEmpty() const { return recordsOnPage_ == 0; }

    void Put(const Band& band) {
        PlaceBand(band, Left(), top_, static_cast<int>(prepared_.pages.size()), value_, prepared_.pages.back());
        top_ += band.height;
        recordsOnPage_ = band.kind == BandKind::MasterData ? recordsOnPage_ + 1 : 0;
    }

    const ReportTemplate& report_;
    const VariableValue& value_;
    PreparedReport& prepared_;
    const Band* header_;
    const Band* footer_;
    double top_ = 0;
    double bottom_ = 0;
    int recordsOnPage_ = 0;
};

}  // namespace

PreparedReport LayOutReport(const ReportTemplate& report, const VariableValue& value, RecordSource& records) {
    PreparedReport prepared;
    prepared.page = report.page;
    Pages pages(report, value, prepared);
    pages.Begin();
    if (const Band* data = report.Find(BandKind::MasterData)) {
        for (records.First(); !records.Eof(); records.Next())
            pages.Add(*data);
    }
    return prepared;
}
