#include "util/PageEncoding.h"
#include "support/TempFolder.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

QByteArray meta(QByteArrayView label) {
    return "<meta charset=\"" + label.toByteArray() + "\">";
}

// The text as HTML shows it: decimal character references become their characters.
QString resolveReferences(QString text) {
    static const QRegularExpression reference(QStringLiteral("&#([0-9]+);"));
    QRegularExpressionMatch match;
    for (qsizetype from = 0; (from = text.indexOf(reference, from, &match)) >= 0;) {
        const char32_t codePoint = match.captured(1).toUInt();
        const QString character = QString::fromUcs4(&codePoint, 1);
        text.replace(from, match.capturedLength(), character);
        from += character.size();
    }
    return text;
}

TEST(PageEncoding, DetectsTheEncodingABrowserReadsThePageWith) {
    const QByteArray latin1("<p>caf\xE9</p>");
    const QByteArray utf8("<p>caf\xC3\xA9</p>");
    const struct {
        const char* what;
        QByteArray bytes;
        const char* encoding;
    } cases[] = {
        {"UTF-8 mark beats a declaration", "\xEF\xBB\xBF" + meta("latin2") + latin1, "UTF-8"},
        {"UTF-16LE mark", QByteArray("\xFF\xFE<\0p\0", 6), "UTF-16LE"},
        {"quoted", meta("iso-8859-2") + latin1, "ISO-8859-2"},
        {"unquoted after a slash", "<meta/charset=koi8-r>" + utf8, "KOI8-R"},
        {"upper case, spaces", "<META CHARSET = ' Shift_JIS '>", "Shift_JIS"},
        {"meta in a comment", "<!-- <meta charset=\"koi8-r\"> -->" + meta("latin2"), "ISO-8859-2"},
        {"unclosed comment", "<!-- " + meta("latin2"), "UTF-8"},
        {"meta in an attribute", "<div title='<meta charset=koi8-r>'>" + latin1, "windows-1252"},
        {"<metadata> is another tag", "<metadata charset=koi8-r>" + latin1, "windows-1252"},
        {"repeated attribute", "<meta charset=koi8-r charset=latin2>", "KOI8-R"},
        {"http-equiv", "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=cp1251\">",
         "windows-1251"},
        {"content first", "<meta content='text/html;charset=\"cp1251\"' http-equiv=content-type>",
         "windows-1251"},
        {"content alone", "<meta content=\"text/html; charset=cp1251\">" + latin1, "windows-1252"},
        {"within 1024 bytes", QByteArray(990, ' ') + meta("latin2"), "ISO-8859-2"},
        {"cut off at 1024 bytes", QByteArray(1010, ' ') + meta("latin2") + latin1, "windows-1252"},
        {"iso-8859-1", meta("iso-8859-1") + utf8, "windows-1252"},
        {"declared UTF-16", meta("utf-16") + latin1, "UTF-8"},
        {"x-user-defined", meta("x-user-defined"), "windows-1252"},
        {"unknown, then known", meta("klingon") + meta("latin2"), "ISO-8859-2"},
        {"unsafe encoding", meta("iso-2022-kr"), "replacement"},
        {"valid UTF-8", utf8, "UTF-8"},
        {"empty", QByteArray(), "UTF-8"},
        {"not UTF-8", latin1, "windows-1252"},
        {"UTF-8 cut off", "caf\xC3", "windows-1252"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DetectPageEncoding(c.bytes), QByteArray(c.encoding)) << c.what;
}

TEST(PageEncoding, LabelsNameTheBrowsersEncodings) {
    const std::pair<const char*, const char*> labels[] = {
        {" ISO-8859-1 ", "windows-1252"},
        {"\tUTF8\n", "UTF-8"},
        {"sjis", "Shift_JIS"},
        {"gb2312", "GBK"},
        {"utf-16", "UTF-16LE"},
        {"hz-gb-2312", "replacement"},
        {"x-mac-ukrainian", "x-mac-cyrillic"},
        {"utf-8x", ""},
        {"", ""},
    };
    for (const auto& [label, encoding] : labels)
        EXPECT_EQ(EncodingForLabel(label), QByteArray(encoding)) << label;
    // A browser's name for an encoding, as the editor passes it on, names that encoding here.
    for (const char* name :
         {"UTF-8",        "IBM866",       "ISO-8859-2",   "ISO-8859-3",     "ISO-8859-4",
          "ISO-8859-5",   "ISO-8859-6",   "ISO-8859-7",   "ISO-8859-8",     "ISO-8859-8-I",
          "ISO-8859-10",  "ISO-8859-13",  "ISO-8859-14",  "ISO-8859-15",    "ISO-8859-16",
          "KOI8-R",       "KOI8-U",       "macintosh",    "windows-874",    "windows-1250",
          "windows-1251", "windows-1252", "windows-1253", "windows-1254",   "windows-1255",
          "windows-1256", "windows-1257", "windows-1258", "x-mac-cyrillic", "GBK",
          "gb18030",      "Big5",         "EUC-JP",       "ISO-2022-JP",    "Shift_JIS",
          "EUC-KR",       "replacement",  "UTF-16BE",     "UTF-16LE",       "x-user-defined"})
        EXPECT_EQ(EncodingForLabel(name), QByteArray(name));
}

TEST(PageEncoding, DecodesTheTextTheBrowserShows) {
    const struct {
        const char* label;
        QByteArray body;
        QString text;
    } declared[] = {
        {"windows-1252", "\x80\x81\x9F\xE9", QStringLiteral("€\u0081Ÿé")},
        {"windows-1250", "\x81\x8A", QStringLiteral("\u0081Š")}, // unassigned: a C1 control
        {"windows-1253", "\xAA", QStringLiteral("\uFFFD")},
        {"shift_jis", "\x93\xFA\x96\x7B\\\x82", QStringLiteral("日本\\\uFFFD")},
        {"iso-2022-jp", "\x1B$BF|\x1B(Ba", QStringLiteral("日a")},
        {"gbk", "\xD6\xD0\x81\x30\x81\x30", QStringLiteral("中\u0080")},
        {"utf-8", "a\xE2\x82god\xF0\x9F\x8C\xBF\xED\xA0\x80\xC0",
         QStringLiteral("a\uFFFDgod🌿\uFFFD\uFFFD\uFFFD\uFFFD")},
    };
    for (const auto& c : declared) {
        QByteArray used;
        EXPECT_EQ(DecodePage(meta(c.label) + c.body, &used), meta(c.label) + c.text) << c.label;
        EXPECT_EQ(used, EncodingForLabel(c.label));
    }
    const std::pair<QByteArray, QString> marked[] = {
        {"\xEF\xBB\xBFh\xC3\xAF", QStringLiteral("hï")},
        {QByteArray("\xFF\xFEh\0\xEF\0", 6), QStringLiteral("hï")},
        {QByteArray("\xFE\xFF\0h\0\xEF", 6), QStringLiteral("hï")},
        {QByteArray("\xFF\xFEh\0\x3C\xD8i\0", 8), QStringLiteral("h\uFFFDi")},
        {QByteArray("\xFF\xFEh\0\x3C\xD8i", 7), QStringLiteral("h\uFFFD")},
    };
    for (const auto& [bytes, text] : marked)
        EXPECT_EQ(DecodePage(bytes), text) << bytes.toHex().constData();
    // Encodings a browser refuses to read show as one replacement character.
    EXPECT_EQ(DecodePage(meta("iso-2022-kr") + "<p>hidden"), QStringLiteral("\uFFFD"));
}

TEST(PageEncoding, EncodedPagesReadBackAsTheyWereShown) {
    const std::pair<const char*, QString> held[] = {
        {"windows-1252", QStringLiteral("Café crème € “quotes” \u0081")},
        {"ISO-8859-2", QStringLiteral("Zażółć gęślą jaźń")},
        {"Shift_JIS", QStringLiteral("日本語のテキスト ｶﾅ \\ ~")},
        {"ISO-2022-JP", QStringLiteral("日本語 and ASCII 日本")},
        {"Big5", QStringLiteral("中文字")},
        {"gb18030", QStringLiteral("中文 😀")},
        {"UTF-16LE", QStringLiteral("Zoë 😀")},
        {"UTF-8", QStringLiteral("Zoë 😀")},
    };
    for (const auto& [encoding, text] : held) {
        const QString page = meta(encoding) + text;
        const QByteArray bytes = EncodePage(page, encoding);
        QByteArray used;
        EXPECT_EQ(DecodePage(bytes, &used), page) << encoding;
        EXPECT_EQ(used, QByteArray(encoding));
        EXPECT_FALSE(bytes.contains("&#")) << encoding;
    }
    EXPECT_EQ(EncodePage(QStringLiteral("é"), "UTF-8"), QByteArray("\xC3\xA9")); // no mark
    EXPECT_EQ(EncodePage(QStringLiteral("é"), "no-such-label"), QByteArray("\xC3\xA9"));
    EXPECT_EQ(EncodePage(QStringLiteral("é"), "iso-2022-kr"), QByteArray("\xC3\xA9"));
    EXPECT_EQ(EncodePage(QStringLiteral("é"), "utf-16"), QByteArray("\xFF\xFE\xE9\0", 4));
    EXPECT_EQ(EncodePage(QStringLiteral("é"), "utf-16be"), QByteArray("\xFE\xFF\0\xE9", 4));
}

TEST(PageEncoding, CharactersTheEncodingLacksBecomeReferences) {
    const struct {
        const char* encoding;
        QString text;
        QString shown; // what the saved page reads back as, before HTML resolves references
    } cases[] = {
        {"windows-1252", QStringLiteral("aĀb"), QStringLiteral("a&#256;b")},
        {"ISO-8859-2", QStringLiteral("€ 😀"), QStringLiteral("&#8364; &#128512;")},
        {"KOI8-R", QStringLiteral("é"), QStringLiteral("&#233;")},
        {"Shift_JIS", QStringLiteral("日😀本"), QStringLiteral("日&#128512;本")},
        // The references must come out in the ASCII state, between the escapes.
        {"ISO-2022-JP", QStringLiteral("日😀本"), QStringLiteral("日&#128512;本")},
        // A letter the converter may hold back for an accent still comes first.
        {"Big5", QStringLiteral("Ê😀"), QStringLiteral("Ê&#128512;")},
        {"EUC-KR", QStringLiteral("한ก"), QStringLiteral("한&#3585;")},
    };
    for (const auto& c : cases) {
        const QString shown = DecodePage(EncodePage(meta(c.encoding) + c.text, c.encoding));
        EXPECT_EQ(shown, meta(c.encoding) + c.shown) << c.encoding;
        EXPECT_EQ(resolveReferences(shown), meta(c.encoding) + c.text) << c.encoding;
    }
    // A broken surrogate pair is shown as the replacement character, and saved as one.
    const QString broken = QStringLiteral("a") + QChar(0xD83D) + QStringLiteral("b");
    EXPECT_EQ(EncodePage(broken, "windows-1252"), QByteArray("a&#65533;b"));
    EXPECT_EQ(EncodePage(broken, "UTF-8"), QByteArray("a\xEF\xBF\xBD"
                                                      "b"));
}

TEST(PageEncoding, AnyPageSavedInItsEncodingShowsTheSameTextAgain) {
    QRandomGenerator random(4711);
    for (const char* encoding :
         {"UTF-8", "windows-1252", "ISO-8859-6", "windows-1253", "KOI8-U", "Shift_JIS", "EUC-JP",
          "ISO-2022-JP", "EUC-KR", "Big5", "GBK", "gb18030"}) {
        for (int round = 0; round < 80; ++round) {
            QByteArray bytes = meta(encoding);
            for (int i = int(random.bounded(24)); i > 0; --i)
                bytes += char(random.bounded(2) ? random.bounded(256) : 0x1B + random.bounded(100));
            QByteArray used;
            const QString shown = DecodePage(bytes, &used);
            ASSERT_EQ(used, QByteArray(encoding));
            const QString again = DecodePage(EncodePage(shown, used));
            ASSERT_EQ(resolveReferences(again), resolveReferences(shown))
                << encoding << ' ' << bytes.toHex().constData();
        }
    }
}

TEST(PageEncoding, FilesKeepTheirEncodingThroughLoadAndSave) {
    TempFolder dir;
    // The editor saves with the encoding it loaded: a Latin-1 page keeps its bytes.
    const QByteArray latin1 = meta("iso-8859-1") + "<p>Caf\xE9 cr\xE8me</p>";
    const QString path = dir.write(QStringLiteral("page.html"), latin1);
    QByteArray encoding;
    const QString text = LoadPageFromFile(path, &encoding);
    EXPECT_EQ(text, meta("iso-8859-1") + QStringLiteral("<p>Café crème</p>"));
    SavePageToFile(text, encoding, path);
    EXPECT_EQ(readBytes(path), latin1);

    EXPECT_THROW(LoadPageFromFile(dir / QStringLiteral("missing.html")), FileError);
    EXPECT_THROW(SavePageToFile(text, encoding, dir.path()), FileError);
}

} // namespace
