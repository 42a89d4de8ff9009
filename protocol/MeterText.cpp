#include "protocol/MeterText.h"

#include <QByteArrayView>
#include <QStringDecoder>

QString DecodeMeterText(std::span<const std::uint8_t> bytes) {
    // A decoder per call, so that no two threads ever share one.
    QStringDecoder decoder("windows-1251");
    return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}
