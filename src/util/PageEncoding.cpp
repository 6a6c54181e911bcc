#include "PageEncoding.h"

#include "MetaCharsetPrescan.h"
#include "PageCodecs.h"
#include "TextFile.h"

#include <QHash>
#include <algorithm>

namespace {

enum class Codec { Utf8, Utf16Le, Utf16Be, Windows1252, XUserDefined, Replacement, Bytes, Multi };

struct Encoding {
    const char* name;
    const char* labels; // space-separated, lower case
    Codec codec;
    const char* systemDecoder = nullptr; // iconv names
    const char* systemEncoder = nullptr;
};

// The browser's encodings and the labels that name them.
constexpr Encoding kEncodings[] = {
    {"UTF-8", "unicode-1-1-utf-8 unicode11utf8 unicode20utf8 utf-8 utf8 x-unicode20utf8",
     Codec::Utf8},
    {"IBM866", "866 cp866 csibm866 ibm866", Codec::Bytes, "IBM866"},
    {"ISO-8859-2",
     "csisolatin2 iso-8859-2 iso-ir-101 iso8859-2 iso88592 iso_8859-2 iso_8859-2:1987 l2 latin2",
     Codec::Bytes, "ISO-8859-2"},
    {"ISO-8859-3",
     "csisolatin3 iso-8859-3 iso-ir-109 iso8859-3 iso88593 iso_8859-3 iso_8859-3:1988 l3 latin3",
     Codec::Bytes, "ISO-8859-3"},
    {"ISO-8859-4",
     "csisolatin4 iso-8859-4 iso-ir-110 iso8859-4 iso88594 iso_8859-4 iso_8859-4:1988 l4 latin4",
     Codec::Bytes, "ISO-8859-4"},
    {"ISO-8859-5",
     "csisolatincyrillic cyrillic iso-8859-5 iso-ir-144 iso8859-5 iso88595 iso_8859-5 "
     "iso_8859-5:1988",
     Codec::Bytes, "ISO-8859-5"},
    {"ISO-8859-6",
     "arabic asmo-708 csiso88596e csiso88596i csisolatinarabic ecma-114 iso-8859-6 iso-8859-6-e "
     "iso-8859-6-i iso-ir-127 iso8859-6 iso88596 iso_8859-6 iso_8859-6:1987",
     Codec::Bytes, "ISO-8859-6"},
    {"ISO-8859-7",
     "csisolatingreek ecma-118 elot_928 greek greek8 iso-8859-7 iso-ir-126 iso8859-7 iso88597 "
     "iso_8859-7 iso_8859-7:1987 sun_eu_greek",
     Codec::Bytes, "ISO-8859-7"},
    {"ISO-8859-8",
     "csiso88598e csisolatinhebrew hebrew iso-8859-8 iso-8859-8-e iso-ir-138 iso8859-8 iso88598 "
     "iso_8859-8 iso_8859-8:1988 visual",
     Codec::Bytes, "ISO-8859-8"},
    {"ISO-8859-8-I", "csiso88598i iso-8859-8-i logical", Codec::Bytes, "ISO-8859-8"},
    {"ISO-8859-10", "csisolatin6 iso-8859-10 iso-ir-157 iso8859-10 iso885910 l6 latin6",
     Codec::Bytes, "ISO-8859-10"},
    {"ISO-8859-13", "iso-8859-13 iso8859-13 iso885913", Codec::Bytes, "ISO-8859-13"},
    {"ISO-8859-14", "iso-8859-14 iso8859-14 iso885914", Codec::Bytes, "ISO-8859-14"},
    {"ISO-8859-15", "csisolatin9 iso-8859-15 iso8859-15 iso885915 iso_8859-15 l9", Codec::Bytes,
     "ISO-8859-15"},
    {"ISO-8859-16", "iso-8859-16", Codec::Bytes, "ISO-8859-16"},
    {"KOI8-R", "cskoi8r koi koi8 koi8-r koi8_r", Codec::Bytes, "KOI8-R"},
    {"KOI8-U", "koi8-ru koi8-u", Codec::Bytes, "KOI8-RU"},
    {"macintosh", "csmacintosh mac macintosh x-mac-roman", Codec::Bytes, "MACINTOSH"},
    {"windows-874", "dos-874 iso-8859-11 iso8859-11 iso885911 tis-620 windows-874", Codec::Bytes,
     "CP874"},
    {"windows-1250", "cp1250 windows-1250 x-cp1250", Codec::Bytes, "CP1250"},
    {"windows-1251", "cp1251 windows-1251 x-cp1251", Codec::Bytes, "CP1251"},
    {"windows-1252",
     "ansi_x3.4-1968 ascii cp1252 cp819 csisolatin1 ibm819 iso-8859-1 iso-ir-100 iso8859-1 "
     "iso88591 iso_8859-1 iso_8859-1:1987 l1 latin1 us-ascii windows-1252 x-cp1252",
     Codec::Windows1252},
    {"windows-1253", "cp1253 windows-1253 x-cp1253", Codec::Bytes, "CP1253"},
    {"windows-1254",
     "cp1254 csisolatin5 iso-8859-9 iso-ir-148 iso8859-9 iso88599 iso_8859-9 iso_8859-9:1989 l5 "
     "latin5 windows-1254 x-cp1254",
     Codec::Bytes, "CP1254"},
    {"windows-1255", "cp1255 windows-1255 x-cp1255", Codec::Bytes, "CP1255"},
    {"windows-1256", "cp1256 windows-1256 x-cp1256", Codec::Bytes, "CP1256"},
    {"windows-1257", "cp1257 windows-1257 x-cp1257", Codec::Bytes, "CP1257"},
    {"windows-1258", "cp1258 windows-1258 x-cp1258", Codec::Bytes, "CP1258"},
    {"x-mac-cyrillic", "x-mac-cyrillic x-mac-ukrainian", Codec::Bytes, "MAC-CYRILLIC"},
    // GBK pages are read as gb18030, which holds GBK, as a browser does.
    {"GBK", "chinese csgb2312 csiso58gb231280 gb2312 gb_2312 gb_2312-80 gbk iso-ir-58 x-gbk",
     Codec::Multi, "GB18030", "GBK"},
    {"gb18030", "gb18030", Codec::Multi, "GB18030", "GB18030"},
    {"Big5", "big5 big5-hkscs cn-big5 csbig5 x-x-big5", Codec::Multi, "BIG5-HKSCS", "BIG5-HKSCS"},
    {"EUC-JP", "cseucpkdfmtjapanese euc-jp x-euc-jp", Codec::Multi, "EUC-JP", "EUC-JP"},
    {"ISO-2022-JP", "csiso2022jp iso-2022-jp", Codec::Multi, "ISO-2022-JP", "ISO-2022-JP"},
    // CP932, not SHIFT_JIS: a browser reads 0x5C as a backslash, not a yen sign.
    {"Shift_JIS", "csshiftjis ms932 ms_kanji shift-jis shift_jis sjis windows-31j x-sjis",
     Codec::Multi, "CP932", "CP932"},
    {"EUC-KR",
     "cseuckr csksc56011987 euc-kr iso-ir-149 korean ks_c_5601-1987 ks_c_5601-1989 ksc5601 "
     "ksc_5601 windows-949",
     Codec::Multi, "CP949", "CP949"},
    {"replacement", "csiso2022kr hz-gb-2312 iso-2022-cn iso-2022-cn-ext iso-2022-kr replacement",
     Codec::Replacement},
    {"UTF-16BE", "unicodefffe utf-16be", Codec::Utf16Be},
    {"UTF-16LE", "csunicode iso-10646-ucs-2 ucs-2 unicode unicodefeff utf-16 utf-16le",
     Codec::Utf16Le},
    {"x-user-defined", "x-user-defined", Codec::XUserDefined},
};

constexpr const Encoding& kUtf8 = kEncodings[0];

const Encoding* encodingForLabel(QByteArrayView label) {
    static const QHash<QByteArray, const Encoding*> byLabel = [] {
        QHash<QByteArray, const Encoding*> table;
        for (const Encoding& encoding : kEncodings)
            for (const QByteArray& each : QByteArray(encoding.labels).split(' '))
                table.insert(each, &encoding);
        return table;
    }();
    auto isSpace = [](char c) {
        return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
    };
    while (!label.isEmpty() && isSpace(label.front()))
        label = label.sliced(1);
    while (!label.isEmpty() && isSpace(label.back()))
        label.chop(1);
    return byLabel.value(label.toByteArray().toLower(), nullptr);
}

struct ByteOrderMark {
    const char* encoding;
    qsizetype length;
};

ByteOrderMark byteOrderMark(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return {"UTF-8", 3};
    if (bytes.startsWith("\xFE\xFF"))
        return {"UTF-16BE", 2};
    if (bytes.startsWith("\xFF\xFE"))
        return {"UTF-16LE", 2};
    return {nullptr, 0};
}

QString decodeAs(QByteArrayView bytes, const Encoding& encoding) {
    switch (encoding.codec) {
    case Codec::Utf8:
        return DecodeUtf8(bytes);
    case Codec::Utf16Le:
    case Codec::Utf16Be:
        return DecodeUtf16(bytes, encoding.codec == Codec::Utf16Be);
    case Codec::Windows1252:
        return DecodeByTable(bytes, Windows1252Table());
    case Codec::XUserDefined:
        return DecodeByTable(bytes, XUserDefinedTable());
    case Codec::Replacement: // stands for encodings that are unsafe to read at all
        return bytes.isEmpty() ? QString() : QString(QChar(0xFFFD));
    case Codec::Bytes:
        return DecodeByTable(bytes, SystemByteTable(encoding.systemDecoder));
    case Codec::Multi:
        return DecodeWithSystem(bytes, encoding.systemDecoder);
    }
    return DecodeUtf8(bytes);
}

} // namespace

QByteArray EncodingForLabel(QByteArrayView label) {
    const Encoding* encoding = encodingForLabel(label);
    return encoding ? QByteArray(encoding->name) : QByteArray();
}

QByteArray DetectPageEncoding(const QByteArray& bytes) {
    if (const char* marked = byteOrderMark(bytes).encoding)
        return marked;
    const QByteArray declared =
        PrescanForCharset(QByteArrayView(bytes).first(std::min<qsizetype>(bytes.size(), 1024)));
    if (!declared.isEmpty())
        return declared;
    return IsValidUtf8(bytes) ? QByteArray("UTF-8") : QByteArray("windows-1252");
}

QString DecodePage(const QByteArray& bytes, QByteArray* encoding) {
    const QByteArray name = DetectPageEncoding(bytes);
    if (encoding)
        *encoding = name;
    const qsizetype markLength = byteOrderMark(bytes).length;
    return decodeAs(QByteArrayView(bytes).sliced(markLength), *encodingForLabel(name));
}

QString LoadPageFromFile(const QString& path, QByteArray* encoding) {
    return DecodePage(LoadBytesFromFile(path), encoding);
}

QByteArray EncodePage(const QString& text, QByteArrayView encodingLabel) {
    const Encoding* found = encodingForLabel(encodingLabel);
    const Encoding& encoding = found ? *found : kUtf8;
    switch (encoding.codec) {
    case Codec::Utf8:
    case Codec::Replacement: // nothing can be written in it
        return EncodeUtf8(text);
    case Codec::Utf16Le:
    case Codec::Utf16Be:
        return EncodeUtf16WithMark(text, encoding.codec == Codec::Utf16Be);
    case Codec::Windows1252:
        return EncodeByTable(text, Windows1252Table());
    case Codec::XUserDefined:
        return EncodeByTable(text, XUserDefinedTable());
    case Codec::Bytes:
        return EncodeByTable(text, SystemByteTable(encoding.systemDecoder));
    case Codec::Multi:
        return EncodeWithSystem(text, encoding.systemEncoder);
    }
    return EncodeUtf8(text);
}

void SavePageToFile(const QString& text, QByteArrayView encoding, const QString& path) {
    SaveBytesToFile(EncodePage(text, encoding), path);
}
