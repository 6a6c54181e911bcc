#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <array>

// The decoders and encoders behind PageEncoding. Decoders turn malformed input into U+FFFD;
// encoders write what the encoding cannot hold as a decimal character reference.

bool IsValidUtf8(QByteArrayView bytes);
QString DecodeUtf8(QByteArrayView bytes);
QByteArray EncodeUtf8(const QString& text);
QString DecodeUtf16(QByteArrayView bytes, bool bigEndian);
QByteArray EncodeUtf16WithMark(const QString& text, bool bigEndian);

// A one-byte-per-character encoding, both ways.
struct ByteTable {
    std::array<char16_t, 256> toUnicode{};
    std::array<unsigned char, 0x10000> fromUnicode{}; // 0 where no byte above 0x7F stands for it
};
const ByteTable& Windows1252Table();
const ByteTable& XUserDefinedTable();
// Read once from the system's converter; ASCII and C1 controls stand for themselves where it
// has nothing else, as in a browser's table.
const ByteTable& SystemByteTable(const char* systemName);
QString DecodeByTable(QByteArrayView bytes, const ByteTable& table);
QByteArray EncodeByTable(const QString& text, const ByteTable& table);

// Multi-byte encodings through the system's converter (iconv names).
QString DecodeWithSystem(QByteArrayView bytes, const char* systemName);
QByteArray EncodeWithSystem(const QString& text, const char* systemName);

// Calls f with each code point of text; an unpaired surrogate counts as U+FFFD.
template <typename F> void ForEachCodePoint(const QString& text, F f) {
    const auto* u = reinterpret_cast<const char16_t*>(text.constData());
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = u[i];
        if (!QChar::isSurrogate(c)) {
            f(char32_t(c));
        } else if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(u[i + 1])) {
            f(QChar::surrogateToUcs4(c, u[i + 1]));
            ++i;
        } else {
            f(char32_t(0xFFFD));
        }
    }
}

inline void AppendCharacterReference(QByteArray& out, char32_t codePoint) {
    out += "&#";
    out += QByteArray::number(uint(codePoint));
    out += ';';
}
