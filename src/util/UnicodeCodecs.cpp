#include "PageCodecs.h"
#include "TextFile.h"

#include <cstring>

namespace {

constexpr char16_t kReplacement = 0xFFFD;

struct Utf8Sequence {
    int length; // bytes taken; for a malformed one, those a browser replaces by one U+FFFD
    bool wellFormed;
    char32_t codePoint;
};

// The sequence starting at p[i] (not ASCII), checked byte by byte so a malformed one ends
// where its first wrong byte starts.
Utf8Sequence readUtf8(const unsigned char* p, qsizetype i, qsizetype size) {
    const unsigned char lead = p[i];
    int trailing;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    char32_t codePoint;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trailing = 1;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trailing = 2;
        codePoint = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trailing = 3;
        codePoint = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
    } else {
        return {1, false, 0};
    }
    for (int k = 1; k <= trailing; ++k) {
        if (i + k >= size || p[i + k] < low || p[i + k] > high)
            return {k, false, 0};
        codePoint = (codePoint << 6) | (p[i + k] & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    return {trailing + 1, true, codePoint};
}

// Where the ASCII bytes starting at i end; pages are mostly ASCII, so eight at a time.
qsizetype asciiRunEnd(const unsigned char* p, qsizetype i, qsizetype size) {
    for (; i + 8 <= size; i += 8) {
        quint64 word;
        std::memcpy(&word, p + i, 8);
        if (word & 0x8080808080808080ULL)
            break;
    }
    while (i < size && p[i] < 0x80)
        ++i;
    return i;
}

} // namespace

bool IsValidUtf8(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size;) {
        if (p[i] < 0x80) {
            i = asciiRunEnd(p, i, size);
            continue;
        }
        const Utf8Sequence sequence = readUtf8(p, i, size);
        if (!sequence.wellFormed)
            return false;
        i += sequence.length;
    }
    return true;
}

QString DecodeUtf8(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    // No byte gives more than one UTF-16 unit: four-byte sequences give two.
    QString text(size, Qt::Uninitialized);
    auto* const begin = reinterpret_cast<char16_t*>(text.data());
    char16_t* out = begin;
    for (qsizetype i = 0; i < size;) {
        if (p[i] < 0x80) {
            const qsizetype end = asciiRunEnd(p, i, size);
            while (i < end)
                *out++ = p[i++];
            continue;
        }
        const Utf8Sequence sequence = readUtf8(p, i, size);
        i += sequence.length;
        if (!sequence.wellFormed) {
            *out++ = kReplacement;
        } else if (sequence.codePoint >= 0x10000) {
            *out++ = QChar::highSurrogate(sequence.codePoint);
            *out++ = QChar::lowSurrogate(sequence.codePoint);
        } else {
            *out++ = char16_t(sequence.codePoint);
        }
    }
    text.truncate(out - begin);
    return text;
}

QByteArray EncodeUtf8(const QString& text) {
    QByteArray out;
    out.reserve(text.size() + text.size() / 2);
    ForEachCodePoint(text, [&out](char32_t cp) { appendUtf8(out, cp); });
    return out;
}

QString DecodeUtf16(QByteArrayView bytes, bool bigEndian) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype units = bytes.size() / 2;
    bool oddByte = bytes.size() % 2 != 0;
    auto unitAt = [&](qsizetype k) {
        const unsigned char first = p[2 * k];
        const unsigned char second = p[2 * k + 1];
        return char16_t(bigEndian ? (first << 8) | second : (second << 8) | first);
    };
    QString text(units + 1, Qt::Uninitialized);
    auto* const begin = reinterpret_cast<char16_t*>(text.data());
    char16_t* out = begin;
    for (qsizetype k = 0; k < units; ++k) {
        const char16_t c = unitAt(k);
        if (!QChar::isSurrogate(c)) {
            *out++ = c;
        } else if (QChar::isHighSurrogate(c) && k + 1 < units &&
                   QChar::isLowSurrogate(unitAt(k + 1))) {
            *out++ = c;
            *out++ = unitAt(++k);
        } else {
            *out++ = kReplacement;
            // A lead surrogate cut off with the last byte is one error, not two.
            if (k + 1 == units && QChar::isHighSurrogate(c))
                oddByte = false;
        }
    }
    if (oddByte)
        *out++ = kReplacement;
    text.truncate(out - begin);
    return text;
}

QByteArray EncodeUtf16WithMark(const QString& text, bool bigEndian) {
    QByteArray out;
    out.reserve(2 + 2 * text.size());
    auto appendUnit = [&](char16_t unit) {
        const char high = char(unit >> 8);
        const char low = char(unit & 0xFF);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    };
    appendUnit(0xFEFF);
    ForEachCodePoint(text, [&](char32_t cp) {
        if (cp >= 0x10000) {
            appendUnit(QChar::highSurrogate(cp));
            appendUnit(QChar::lowSurrogate(cp));
        } else {
            appendUnit(char16_t(cp));
        }
    });
    return out;
}
