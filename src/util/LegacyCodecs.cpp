#include "PageCodecs.h"

#include <QMutex>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <map>
#include <memory>
#include <string>

namespace {

constexpr char16_t kReplacement = 0xFFFD;

#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr const char* kNativeUtf16 = "UTF-16LE";
constexpr const char* kNativeUtf32 = "UTF-32LE";
#else
constexpr const char* kNativeUtf16 = "UTF-16BE";
constexpr const char* kNativeUtf32 = "UTF-32BE";
#endif

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(::iconv_open(to, from)) {}
    ~Converter() {
        if (ok())
            ::iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != iconv_t(-1); }

    // Converts what it can of *in (all of it, or with in null the held-back state) onto out;
    // returns 0, or the errno that stopped it with *in at the offending input.
    int run(char** in, size_t* inLeft, QByteArray& out) {
        char buffer[16384];
        for (;;) {
            char* next = buffer;
            size_t room = sizeof buffer;
            const size_t result = ::iconv(cd_, in, inLeft, &next, &room);
            const int error = result == size_t(-1) ? errno : 0;
            out.append(buffer, next - buffer);
            if (error != E2BIG)
                return error;
        }
    }
    int flush(QByteArray& out) { return run(nullptr, nullptr, out); }

private:
    iconv_t cd_;
};

// C1 controls stand for themselves where the table has nothing else, as in a browser's tables.
char16_t unmapped(int byte) {
    return byte < 0xA0 ? char16_t(byte) : kReplacement;
}

void readSystemTable(const char* systemName, ByteTable& table) {
    Converter converter(kNativeUtf16, systemName);
    for (int b = 0; b < 256; ++b) {
        table.toUnicode[b] = unmapped(b);
        if (b < 0x80 || !converter.ok())
            continue;
        char byte = char(b);
        char* in = &byte;
        size_t inLeft = 1;
        QByteArray unit;
        const bool converted = converter.run(&in, &inLeft, unit) == 0;
        converter.flush(unit); // some hold a letter back for an accent that may follow
        if (converted && unit.size() == 2)
            std::memcpy(&table.toUnicode[b], unit.constData(), 2);
    }
}

void fillWindows1252(ByteTable& table) {
    static constexpr char16_t k80To9F[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    for (int b = 0; b < 256; ++b)
        table.toUnicode[b] = b >= 0x80 && b <= 0x9F ? k80To9F[b - 0x80] : char16_t(b);
}

void fillXUserDefined(ByteTable& table) {
    for (int b = 0; b < 256; ++b)
        table.toUnicode[b] = b < 0x80 ? char16_t(b) : char16_t(0xF780 + b - 0x80);
}

template <typename Fill> std::unique_ptr<const ByteTable> makeTable(Fill fill) {
    auto table = std::make_unique<ByteTable>();
    fill(*table);
    for (int b = 255; b >= 0x80; --b) // the lowest byte wins where two give one character
        if (table->toUnicode[b] >= 0x80 && table->toUnicode[b] != kReplacement)
            table->fromUnicode[table->toUnicode[b]] = static_cast<unsigned char>(b);
    return table;
}

// Reads the same in every encoding that keeps ASCII.
QByteArray asciiWithReferences(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    ForEachCodePoint(text, [&out](char32_t cp) {
        if (cp < 0x80)
            out += char(cp);
        else
            AppendCharacterReference(out, cp);
    });
    return out;
}

} // namespace

const ByteTable& Windows1252Table() {
    static const auto table = makeTable(fillWindows1252);
    return *table;
}

const ByteTable& XUserDefinedTable() {
    static const auto table = makeTable(fillXUserDefined);
    return *table;
}

const ByteTable& SystemByteTable(const char* systemName) {
    static QMutex mutex;
    static std::map<std::string, std::unique_ptr<const ByteTable>> tables;
    const QMutexLocker lock(&mutex);
    auto& table = tables[systemName];
    if (!table)
        table = makeTable([systemName](ByteTable& t) { readSystemTable(systemName, t); });
    return *table;
}

QString DecodeByTable(QByteArrayView bytes, const ByteTable& table) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    QString text(bytes.size(), Qt::Uninitialized);
    auto* out = reinterpret_cast<char16_t*>(text.data());
    for (qsizetype i = 0; i < bytes.size(); ++i)
        out[i] = table.toUnicode[p[i]];
    return text;
}

QByteArray EncodeByTable(const QString& text, const ByteTable& table) {
    QByteArray out;
    out.reserve(text.size());
    ForEachCodePoint(text, [&](char32_t cp) {
        if (cp < 0x80) {
            out += char(cp);
            return;
        }
        const unsigned char byte = cp < 0x10000 ? table.fromUnicode[cp] : 0;
        if (byte != 0)
            out += char(byte);
        else
            AppendCharacterReference(out, cp);
    });
    return out;
}

QString DecodeWithSystem(QByteArrayView bytes, const char* systemName) {
    Converter converter(kNativeUtf16, systemName);
    if (!converter.ok())
        return DecodeByTable(bytes, Windows1252Table());
    QByteArray units; // UTF-16 in the machine's order
    units.reserve(2 * bytes.size());
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = size_t(bytes.size());
    // A malformed or cut-off sequence: one U+FFFD, and the next byte may start a character.
    while (inLeft > 0 && converter.run(&in, &inLeft, units) != 0) {
        units.append(reinterpret_cast<const char*>(&kReplacement), 2);
        ++in;
        --inLeft;
    }
    converter.flush(units);
    return QString(reinterpret_cast<const QChar*>(units.constData()), units.size() / 2);
}

QByteArray EncodeWithSystem(const QString& text, const char* systemName) {
    Converter converter(systemName, kNativeUtf32);
    if (!converter.ok())
        return asciiWithReferences(text);
    std::u32string codePoints;
    codePoints.reserve(size_t(text.size()));
    ForEachCodePoint(text, [&](char32_t cp) { codePoints += cp; });
    QByteArray out;
    out.reserve(2 * text.size());
    char* in = reinterpret_cast<char*>(codePoints.data());
    size_t inLeft = codePoints.size() * sizeof(char32_t);
    while (inLeft > 0 && converter.run(&in, &inLeft, out) != 0) {
        // What the converter holds back goes first, and the reference needs the ASCII state.
        converter.flush(out);
        AppendCharacterReference(out, *reinterpret_cast<const char32_t*>(in));
        in += sizeof(char32_t);
        inLeft -= sizeof(char32_t);
    }
    converter.flush(out);
    return out;
}
