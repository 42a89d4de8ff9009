#include "report/PreparedReportFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QString Format = QStringLiteral("vel prepared report");
constexpr int Version = 1;

QJsonObject PageJson(const PageSetup& page) {
    return {{"width", page.widthMm},   {"height", page.heightMm}, {"landscape", page.landscape},
            {"left", page.leftMm},     {"top", page.topMm},       {"right", page.rightMm},
            {"bottom", page.bottomMm}};
}

PageSetup PageFrom(const QJsonObject& json) {
    PageSetup page;
    page.widthMm = json.value(QLatin1String("width")).toDouble();
    page.heightMm = json.value(QLatin1String("height")).toDouble();
    page.landscape = json.value(QLatin1String("landscape")).toBool();
    page.leftMm = json.value(QLatin1String("left")).toDouble();
    page.topMm = json.value(QLatin1String("top")).toDouble();
    page.rightMm = json.value(QLatin1String("right")).toDouble();
    page.bottomMm = json.value(QLatin1String("bottom")).toDouble();
    return page;
}

QJsonObject TextJson(const PlacedText& text) {
    const TextObject& s = text.style;
    return {{"name", s.name},
            {"x", text.rect.x()},
            {"y", text.rect.y()},
            {"w", text.rect.width()},
            {"h", text.rect.height()},
            {"font", s.fontFamily},
            {"fontHeight", s.fontHeight},
            {"bold", s.bold},
            {"frame", s.frame},
            {"centred", s.centred},
            {"template", s.text},
            {"text", text.text}};
}

PlacedText TextFrom(const QJsonObject& json) {
    PlacedText text;
    TextObject& s = text.style;
    s.name = json.value(QLatin1String("name")).toString();
    text.rect = QRectF(json.value(QLatin1String("x")).toDouble(), json.value(QLatin1String("y")).toDouble(),
                       json.value(QLatin1String("w")).toDouble(), json.value(QLatin1String("h")).toDouble());
    s.left = text.rect.x();
    s.top = text.rect.y();
    s.width = text.rect.width();
    s.height = text.rect.height();
    s.fontFamily = json.value(QLatin1String("font")).toString();
    s.fontHeight = json.value(QLatin1String("fontHeight")).toInt();
    s.bold = json.value(QLatin1String("bold")).toBool();
    s.frame = json.value(QLatin1String("frame")).toBool();
    s.centred = json.value(QLatin1String("centred")).toBool(true);
    s.text = json.value(QLatin1String("template")).toString();
    text.text = json.value(QLatin1String("text")).toString();
    return text;
}

}  // namespace

QByteArray WritePreparedReport(const PreparedReport& report) {
    QJsonArray pages;
    for (const PreparedPage& page : report.pages) {
        QJsonArray texts;
        for (const PlacedText& text : page.texts)
            texts.append(TextJson(text));
        pages.append(texts);
    }
    const QJsonObject root{{"format", Format}, {"version", Version}, {"page", PageJson(report.page)}, {"pages", pages}};
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

PreparedReportReading ReadPreparedReport(const QByteArray& bytes) {
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    const QJsonObject root = document.object();
    if (!document.isObject() || root.value(QLatin1String("format")).toString() != Format)
        return {std::nullopt, QStringLiteral("not a prepared report")};
    if (root.value(QLatin1String("version")).toInt() > Version)
        return {std::nullopt, QStringLiteral("a prepared report of a later version of the program")};
    PreparedReport report;
    report.page = PageFrom(root.value(QLatin1String("page")).toObject());
    for (const QJsonValue& page : root.value(QLatin1String("pages")).toArray()) {
        PreparedPage& prepared = report.pages.emplace_back();
        for (const QJsonValue& text : page.toArray())
            prepared.texts.push_back(TextFrom(text.toObject()));
    }
    return {std::move(report), {}};
}
