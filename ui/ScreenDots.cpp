#include "ui/ScreenDots.h"

#include "platform/widgets/QtColor.h"

ScreenDots FramedDots() {
    ScreenDots dots;
    for (int column = 0; column < ScreenDotsWidth; ++column)
        dots.ink[0][column] = dots.ink[ScreenDotsHeight - 1][column] = true;
    for (int row = 0; row < ScreenDotsHeight; ++row)
        dots.ink[row][0] = dots.ink[row][ScreenDotsWidth - 1] = true;
    return dots;
}

void UnpackScreenImage(std::span<const std::uint8_t, ScreenImageSize> image, ScreenDots& dots) {
    constexpr int BytesPerRow = ScreenWidth / 8;
    for (int i = 0; i < ScreenImageSize; ++i) {
        const int row = 2 + i / BytesPerRow;
        const int column = 2 + (i % BytesPerRow) * 8;
        for (int bit = 0; bit < 8; ++bit)
            dots.ink[row][column + bit] = (image[i] & (0x80 >> bit)) != 0;
    }
}

QImage ScreenPicture(const ScreenDots& dots, TColor ink, TColor background) {
    QImage picture(ScreenDotsWidth, ScreenDotsHeight, QImage::Format_RGB32);
    const QRgb inkPixel = ToQColor(ink).rgb();
    const QRgb backgroundPixel = ToQColor(background).rgb();
    for (int row = 0; row < ScreenDotsHeight; ++row) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(row));
        for (int column = 0; column < ScreenDotsWidth; ++column)
            line[column] = dots.ink[row][column] ? inkPixel : backgroundPixel;
    }
    return picture;
}
