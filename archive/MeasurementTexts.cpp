#include "archive/MeasurementTexts.h"

#include <charconv>
#include <cmath>
#include <string>

const std::array<const char*, 13> MonthAbbrev = {
    "", "янв", "фев", "мар", "апр", "мая", "июн", "июл", "авг", "сен", "окт", "ноя", "дек",
};

const std::array<const char*, 17> MaterialNames = {
    "",           "Асфальт базовый", "Асфальт 2",  "Асфальт 3",  "Асфальт 4",  "Асфальт 5",
    "Асфальт 6",  "Асфальт 7",       "Асфальт 8",  "Материал 1", "Материал 2", "Материал 3",
    "Материал 4", "Материал 5",      "Материал 6", "Материал 7", "Материал 8",
};

namespace {

// Beyond 18 integer digits a picture gives way to the general format with 15
// significant digits, as Delphi-era number pictures did: "1,00000001504747E30".
constexpr int MaxPictureIntegerDigits = 18;

QString GeneralFormat(double value) {
    char buf[64];
    const auto end = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14).ptr;
    std::string text(buf, end);
    const std::size_t e = text.find('e');
    std::string mantissa = text.substr(0, e);
    const int exponent = std::stoi(text.substr(e + 1));
    if (mantissa.find('.') != std::string::npos) {
        while (mantissa.back() == '0')
            mantissa.pop_back();
        if (mantissa.back() == '.')
            mantissa.pop_back();
    }
    for (char& c : mantissa)
        if (c == '.')
            c = ',';
    return QString::fromStdString(mantissa + 'E' + std::to_string(exponent));
}

// Formats value with exactly `decimals` digits after ",", rounding the exact
// binary value half away from zero. With showZeroInteger false an integer part
// of 0 is left out (the "#" before the separator).
QString FormatPicture(float value, int decimals, bool showZeroInteger) {
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");

    // A float converts to double exactly, and 160 fixed decimals spell out every
    // float exactly (the smallest has 149), so rounding below is on true digits.
    const double magnitude = std::fabs(static_cast<double>(value));
    char buf[256];
    const auto end = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::fixed, 160).ptr;
    const std::string exact(buf, end);
    const std::size_t point = exact.find('.');
    std::string digits = exact.substr(0, point) + exact.substr(point + 1, decimals);
    const bool roundUp = exact[point + 1 + decimals] >= '5';
    if (roundUp) {
        int i = static_cast<int>(digits.size()) - 1;
        for (; i >= 0 && digits[i] == '9'; --i)
            digits[i] = '0';
        if (i >= 0)
            ++digits[i];
        else
            digits.insert(digits.begin(), '1');
    }
    std::string integer = digits.substr(0, digits.size() - decimals);
    const std::string fraction = digits.substr(digits.size() - decimals);
    integer.erase(0, std::min(integer.find_first_not_of('0'), integer.size()));
    if (static_cast<int>(integer.size()) > MaxPictureIntegerDigits)
        return GeneralFormat(value);

    const bool isZero = integer.empty() && fraction.find_first_not_of('0') == std::string::npos;
    if (integer.empty() && showZeroInteger)
        integer.push_back('0');
    const std::string sign = (value < 0 && !isZero) ? "-" : "";
    return QString::fromStdString(sign + integer + ',' + fraction);
}

}  // namespace

QString FormatDensity(float value) {
    return FormatPicture(value, 2, true);
}

QString FormatTemperature(float value) {
    return FormatPicture(value, 1, false);
}

QString TimeDateText(const TMeasurement& m) {
    const char* month = m.Month < MonthAbbrev.size() ? MonthAbbrev[m.Month] : "";
    QString text = QString::asprintf("%2u:%02u:%02u (%2u %s 20%02u)", unsigned{m.Hour}, unsigned{m.Minute},
                                     unsigned{m.Second}, unsigned{m.Day}, month, unsigned{m.Year});
    if (m.Second == DeletedMark)
        text += QStringLiteral(" - удалена");
    return text;
}

QString MaterialText(std::int8_t material) {
    if (material < 0 || material >= static_cast<int>(MaterialNames.size()))
        return QString::fromUtf8(MaterialNames[0]);
    return QString::fromUtf8(MaterialNames[material]);
}

std::array<QString, 5> MeasurementRowTexts(const TMeasurement& m) {
    return {
        QString::number(m.Number),
        TimeDateText(m),
        FormatDensity(m.Density),
        MaterialText(m.Material),
        FormatTemperature(m.Temperature),
    };
}
