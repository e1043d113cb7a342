#include "platform/ansi_text.h"

namespace ksx4 {
namespace {

// Code page 1252 differs from Latin-1 only in 0x80..0x9F. The five bytes the
// code page leaves undefined map to the C1 control of the same number, as the
// system's own conversion does.
// clang-format off
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};
// clang-format on

char16_t toUnicode(uint8_t byte) {
    if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
    return byte;
}

// -1 when the character has no byte in the code page.
int toByte(QChar ch) {
    const char16_t u = ch.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return u;
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] == u) return 0x80 + i;
    }
    return -1;
}

}  // namespace

QString ansiToText(const uint8_t* bytes, std::size_t count) {
    QString text;
    text.reserve(static_cast<qsizetype>(count));
    for (std::size_t i = 0; i < count; ++i) text.append(QChar(toUnicode(bytes[i])));
    return text;
}

QByteArray textToAnsi(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (QChar ch : text) {
        const int b = toByte(ch);
        bytes.append(static_cast<char>(b < 0 ? '?' : b));
    }
    return bytes;
}

bool isAnsiText(const QString& text) {
    for (QChar ch : text) {
        // A surrogate half has no byte, so characters beyond the first plane
        // are refused too.
        if (toByte(ch) < 0) return false;
    }
    return true;
}

}  // namespace ksx4
