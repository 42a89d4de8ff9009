#include "app/WindowPlacement.h"

#include "app/Settings.h"

#include <array>

namespace {

enum Key { Width, Left, Height, Top, Maximized, KeyCount };

constexpr std::array<const char*, KeyCount> KeyNames = {"Width", "Left", "Height", "Top", "Maximized"};

// Every [FormMain] value is read with the default "0" and at most 9 characters.
QString Read(Key key) {
    return ReadSetting(QStringLiteral("FormMain"), QLatin1String(KeyNames[key]), QStringLiteral("0"), 9);
}

void Write(Key key, const QString& value) {
    WriteSetting(QStringLiteral("FormMain"), QLatin1String(KeyNames[key]), value);
}

int Clamp(int value, int low, int high) {
    return value < low ? low : value > high ? high : value;
}

}  // namespace

WindowBounds RestoreBounds(const QString& width, const QString& left, const QString& height,
                           const QString& top, int screenWidth, int screenHeight) {
    WindowBounds b{};
    // The minimum wins over a screen smaller than it, as it does for the window itself.
    b.width = ParseDecimal(width).value_or(screenWidth / 2);
    b.width = b.width < MinFormWidth ? MinFormWidth : b.width > screenWidth ? screenWidth : b.width;
    b.left = Clamp(ParseDecimal(left).value_or(screenWidth / 2), 0, screenWidth - b.width);
    b.height = ParseDecimal(height).value_or(screenHeight / 2);
    b.height = b.height < MinFormHeight ? MinFormHeight : b.height > screenHeight ? screenHeight : b.height;
    b.top = Clamp(ParseDecimal(top).value_or(screenHeight / 2), 0, screenHeight - b.height);
    return b;
}

bool OpensMaximized(const QString& stored) {
    return stored.startsWith(QLatin1Char('1'));
}

WindowPlacement ReadWindowPlacement(int screenWidth, int screenHeight) {
    return {RestoreBounds(Read(Width), Read(Left), Read(Height), Read(Top), screenWidth, screenHeight),
            OpensMaximized(Read(Maximized))};
}

void WriteWindowPlacement(const WindowPlacement& placement) {
    const WindowBounds& b = placement.bounds;
    Write(Maximized, placement.maximized ? QStringLiteral("1") : QStringLiteral("0"));
    Write(Left, QString::number(b.left));
    Write(Top, QString::number(b.top));
    Write(Width, QString::number(b.width));
    Write(Height, QString::number(b.height));
}
