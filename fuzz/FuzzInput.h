#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

// The fuzzer's bytes taken apart from the front: whole numbers little-endian,
// zero once the bytes run out, so every input decodes to something.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : bytes_(data, size) {}

    std::uint8_t Byte() { return bytes_.empty() ? 0 : Take(1)[0]; }
    std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() | Byte() << 8); }
    std::int32_t Int32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<std::uint32_t>(Byte()) << (8 * i);
        std::int32_t s;
        std::memcpy(&s, &v, sizeof s);
        return s;
    }
    // At most n bytes.
    std::span<const std::uint8_t> Take(std::size_t n) {
        const std::span<const std::uint8_t> taken = bytes_.first(std::min(n, bytes_.size()));
        bytes_ = bytes_.subspan(taken.size());
        return taken;
    }
    // The bytes up to the next separator (dropped) or the end.
    QByteArray Until(std::uint8_t separator) {
        std::size_t n = 0;
        while (n < bytes_.size() && bytes_[n] != separator)
            ++n;
        const std::span<const std::uint8_t> taken = Take(n);
        if (!bytes_.empty())
            Take(1);
        return QByteArray(reinterpret_cast<const char*>(taken.data()), static_cast<qsizetype>(taken.size()));
    }
    std::span<const std::uint8_t> Rest() { return Take(bytes_.size()); }
    bool Empty() const { return bytes_.empty(); }

private:
    std::span<const std::uint8_t> bytes_;
};

// Any bytes as a text: UTF-8 (bad sequences become U+FFFD), or, after a first
// byte 0x01, UTF-16 units, so lone surrogates come too.
inline QString AnyText(const QByteArray& bytes) {
    if (!bytes.startsWith('\x01'))
        return QString::fromUtf8(bytes);
    const QByteArray units = bytes.mid(1);
    QString text;
    for (qsizetype i = 0; i + 1 < units.size(); i += 2)
        text += QChar(static_cast<char16_t>(static_cast<std::uint8_t>(units[i]) |
                                            static_cast<std::uint8_t>(units[i + 1]) << 8));
    return text;
}

// Stops the fuzzer with a message when a property does not hold.
#define FUZZ_CHECK(condition)                                                          \
    do {                                                                               \
        if (!(condition)) {                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                              \
        }                                                                              \
    } while (false)
