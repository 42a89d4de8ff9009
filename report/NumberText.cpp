#include "report/NumberText.h"

#include <QRegularExpression>

std::optional<NumberText> ParseNumberText(const QString& text) {
    static const QRegularExpression number(QStringLiteral(R"(^-?(0|[1-9][0-9]{0,14})(,([0-9]{1,15}))?$)"));
    const QRegularExpressionMatch match = number.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    QString c = text;
    c.replace(QLatin1Char(','), QLatin1Char('.'));
    return NumberText{c.toDouble(), static_cast<int>(match.capturedLength(3))};
}
