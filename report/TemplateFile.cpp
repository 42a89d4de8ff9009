#include "report/TemplateFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <stdexcept>

namespace {

// A refusal, with the place it was found.
struct Refused : std::runtime_error {
    using std::runtime_error::runtime_error;
};

double Number(const QJsonObject& object, const char* key, const QString& where, std::optional<double> otherwise) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined() && otherwise)
        return *otherwise;
    if (!value.isDouble())
        throw Refused((where + QStringLiteral(": \"%1\" must be a number").arg(QLatin1String(key))).toStdString());
    return value.toDouble();
}

bool Flag(const QJsonObject& object, const char* key, bool otherwise) {
    const QJsonValue value = object.value(QLatin1String(key));
    return value.isBool() ? value.toBool() : otherwise;
}

BandKind KindNamed(const QString& name, const QString& where) {
    if (name == QLatin1String("ReportTitle"))
        return BandKind::ReportTitle;
    if (name == QLatin1String("PageHeader"))
        return BandKind::PageHeader;
    if (name == QLatin1String("MasterData"))
        return BandKind::MasterData;
    if (name == QLatin1String("PageFooter"))
        return BandKind::PageFooter;
    throw Refused((where + QStringLiteral(": unknown band kind \"%1\"").arg(name)).toStdString());
}

TextObject ReadObject(const QJsonObject& json, const QString& where) {
    TextObject object;
    object.name = json.value(QLatin1String("name")).toString();
    object.left = Number(json, "left", where, 0.0);
    object.top = Number(json, "top", where, 0.0);
    object.width = Number(json, "width", where, std::nullopt);
    object.height = Number(json, "height", where, std::nullopt);
    const QJsonObject font = json.value(QLatin1String("font")).toObject();
    object.fontFamily = font.value(QLatin1String("family")).toString(object.fontFamily);
    object.fontHeight = static_cast<int>(Number(font, "height", where, object.fontHeight));
    object.bold = Flag(font, "bold", false);
    object.frame = Flag(json, "frame", false);
    object.centred = Flag(json, "centred", true);
    const QJsonValue text = json.value(QLatin1String("text"));
    if (!text.isString())
        throw Refused((where + QStringLiteral(": \"text\" must be a text")).toStdString());
    object.text = text.toString();
    return object;
}

Band ReadBand(const QJsonObject& json, const QString& where) {
    Band band;
    band.kind = KindNamed(json.value(QLatin1String("kind")).toString(), where);
    band.name = json.value(QLatin1String("name")).toString();
    band.height = Number(json, "height", where, std::nullopt);
    band.printOnFirstPage = Flag(json, "printOnFirstPage", true);
    const QJsonArray objects = json.value(QLatin1String("objects")).toArray();
    for (qsizetype i = 0; i < objects.size(); ++i)
        band.objects.push_back(ReadObject(objects[i].toObject(), where + QStringLiteral(", object %1").arg(i + 1)));
    return band;
}

}  // namespace

TemplateReading ReadReportTemplate(const QByteArray& json) {
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parse);
    if (parse.error != QJsonParseError::NoError)
        return {std::nullopt, QStringLiteral("not JSON: %1 at %2").arg(parse.errorString()).arg(parse.offset)};
    if (!document.isObject())
        return {std::nullopt, QStringLiteral("not a template: the document is no object")};
    try {
        const QJsonObject root = document.object();
        ReportTemplate report;
        report.name = root.value(QLatin1String("name")).toString();
        const QJsonObject page = root.value(QLatin1String("page")).toObject();
        const QJsonObject margins = page.value(QLatin1String("margins")).toObject();
        const QString where = QStringLiteral("page");
        report.page.widthMm = Number(page, "width", where, report.page.widthMm);
        report.page.heightMm = Number(page, "height", where, report.page.heightMm);
        report.page.landscape = Flag(page, "landscape", false);
        report.page.leftMm = Number(margins, "left", where, 0.0);
        report.page.topMm = Number(margins, "top", where, 0.0);
        report.page.rightMm = Number(margins, "right", where, 0.0);
        report.page.bottomMm = Number(margins, "bottom", where, 0.0);
        const QJsonArray bands = root.value(QLatin1String("bands")).toArray();
        for (qsizetype i = 0; i < bands.size(); ++i)
            report.bands.push_back(ReadBand(bands[i].toObject(), QStringLiteral("band %1").arg(i + 1)));
        return {std::move(report), {}};
    } catch (const Refused& refused) {
        return {std::nullopt, QString::fromStdString(refused.what())};
    }
}
