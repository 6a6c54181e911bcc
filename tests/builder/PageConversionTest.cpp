#include "builder/PageConversion.h"
#include "support/TempFolder.h"
#include "util/FileError.h"
#include "util/TextFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

// The plain replace-all, entry by entry, that RewriteAssetPaths must agree with.
QString referenceRewrite(QString text, const QStringList& assets, const QString& urlPrefix) {
    const QString quote = QStringLiteral("\"");
    for (const QString& asset : assets)
        text.replace(quote + asset + quote, quote + urlPrefix + asset + quote, Qt::CaseSensitive);
    return text;
}

QString randomString(QRandomGenerator& random, const QString& alphabet, int maxLength) {
    QString s;
    const int length = int(random.bounded(maxLength + 1));
    for (int i = 0; i < length; ++i)
        s += alphabet.at(int(random.bounded(int(alphabet.size()))));
    return s;
}

const QString kPrefix = AssetUrlPrefix();
const QByteArray kGuard = "<?php defined( 'ABSPATH' ) || exit; ?>";

TEST(RewriteAssetPaths, AgreesWithThePlainReplaceAllOnRandomPages) {
    QRandomGenerator random(20240611);
    // Short prefixes so that "prefix + asset" is itself a likely asset; one holds a quote.
    const QStringList prefixes{QStringLiteral("x"), QStringLiteral("ab"), QStringLiteral("a/"),
                               QStringLiteral("x\""), QString()};
    for (int round = 0; round < 5000; ++round) {
        const QString prefix = prefixes.at(int(random.bounded(int(prefixes.size()))));
        const QString text = randomString(random, QStringLiteral("\"\"\"ab x/"), 40);
        QStringList assets;
        const int count = int(random.bounded(7));
        for (int i = 0; i < count; ++i) {
            const int kind = int(random.bounded(10));
            if (kind == 0 && !assets.isEmpty()) // repeated entry
                assets << assets.at(int(random.bounded(int(assets.size()))));
            else if (kind == 1 && !assets.isEmpty()) // prefix in front of an earlier entry
                assets << prefix + assets.at(int(random.bounded(int(assets.size()))));
            else if (kind == 2) // may hold a quote
                assets << randomString(random, QStringLiteral("a\"b"), 3);
            else
                assets << randomString(random, QStringLiteral("abx"), 3);
        }
        if (random.bounded(4) == 0) // a later entry that earlier rewrites can produce
            assets << prefix + prefix + QStringLiteral("a");
        const QString expected = referenceRewrite(text, assets, prefix);
        ASSERT_EQ(RewriteAssetPaths(text, assets, prefix), expected)
            << "round " << round << " text [" << text.toStdString() << "] prefix ["
            << prefix.toStdString() << "] assets [" << assets.join(QLatin1Char('|')).toStdString()
            << "]";
    }
}

TEST(RewriteAssetPaths, AgreesOnLongerPagesWithManyAssets) {
    QRandomGenerator random(77);
    for (int round = 0; round < 300; ++round) {
        const QString text = randomString(random, QStringLiteral("\"\"ab/ =<>"), 400);
        QStringList assets;
        for (int i = 0; i < 40; ++i)
            assets << randomString(random, QStringLiteral("ab/"), 4);
        ASSERT_EQ(RewriteAssetPaths(text, assets, QStringLiteral("b")),
                  referenceRewrite(text, assets, QStringLiteral("b")))
            << "round " << round;
    }
}

TEST(RewriteAssetPaths, AdjacentQuotedStretchesAndEmptyAssets) {
    const QStringList cases{QStringLiteral("\"a\"a\"a\""), QStringLiteral("\"a\"\"a\""),
                            QStringLiteral("\"\"\"\"\""), QStringLiteral("\"a\"a\"a\"a\"")};
    const QList<QStringList> lists{
        {QStringLiteral("a")},
        {QStringLiteral("a"), QStringLiteral("a")},
        {QString()},
        {QString(), QStringLiteral("p")},
        {QStringLiteral("a"), QStringLiteral("pa"), QStringLiteral("a")}};
    for (const QString& text : cases)
        for (const QStringList& assets : lists)
            EXPECT_EQ(RewriteAssetPaths(text, assets, QStringLiteral("p")),
                      referenceRewrite(text, assets, QStringLiteral("p")))
                << text.toStdString() << " / " << assets.join(QLatin1Char('|')).toStdString();
}

TEST(RewriteAssetPaths, OnlyExactDoubleQuotedReferencesToListedFilesChange) {
    const QStringList assets{QStringLiteral("images/a.png")};
    EXPECT_EQ(RewriteAssetPaths(QStringLiteral("<img src=\"images/a.png\">"), assets, kPrefix),
              QStringLiteral("<img src=\"<?php echo esc_url( plugins_url( '/', __FILE__ ) ); "
                             "?>images/a.png\">"));
    const QStringList unchanged{
        QStringLiteral("<img src='images/a.png'>"),
        QStringLiteral("<img src=images/a.png>"),
        QStringLiteral("<img src=\"Images/a.png\">"),
        QStringLiteral("<img src=\"./images/a.png\">"),
        QStringLiteral("<img src=\"images/b.png\">"),
        QStringLiteral("<img src=\"images/a.png?v=1\">"),
        QStringLiteral("url(images/a.png)"),
    };
    for (const QString& text : unchanged)
        EXPECT_EQ(RewriteAssetPaths(text, assets, kPrefix), text) << text.toStdString();
    EXPECT_EQ(RewriteAssetPaths(QStringLiteral("\"x\""), {}, kPrefix), QStringLiteral("\"x\""));
}

TEST(RewriteAssetPaths, RunningTheListTwiceGivesWhatTheReferenceGives) {
    const QString text =
        QStringLiteral("<a href=\"a.html\"><img src=\"images/a.png\"></a>\"a.html\"");
    QStringList assets{QStringLiteral("a.html"), QStringLiteral("images/a.png")};
    assets += assets;
    const QString once = RewriteAssetPaths(text, assets, kPrefix);
    EXPECT_EQ(once, referenceRewrite(text, assets, kPrefix));
    EXPECT_EQ(RewriteAssetPaths(once, assets, kPrefix), referenceRewrite(once, assets, kPrefix));
}

TEST(PageTags, EachListedFormBecomesThePhpInItsOrder) {
    const QString front = QStringLiteral("<?php echo $front_tag;?>");
    const QString back = QStringLiteral("<?php echo $back_tag;?>");
    EXPECT_EQ(ReplacePageTags(QStringLiteral("#front# #FRONT# #Front# #FrOnT#"), FrontTags()),
              front + ' ' + front + ' ' + front + QStringLiteral(" #FrOnT#"));
    EXPECT_EQ(ReplacePageTags(QStringLiteral("#back# #BACK# #Back# #bAcK# #front#"), BackTags()),
              back + ' ' + back + ' ' + back + QStringLiteral(" #bAcK# #front#"));
    // Overlapping forms show the order: the lower-case form is taken first.
    EXPECT_EQ(ReplacePageTags(QStringLiteral("#FRONT#front#"), FrontTags()),
              QStringLiteral("#FRONT") + front);
    EXPECT_EQ(ReplacePageTags(QStringLiteral("#Front#FRONT#"), FrontTags()),
              QStringLiteral("#Front") + front);
    EXPECT_EQ(ReplacePageTags(QStringLiteral("#Back#BACK#"), BackTags()),
              QStringLiteral("#Back") + back);
    // Where the tag stands does not matter.
    EXPECT_EQ(
        ReplacePageTags(QStringLiteral("<a title=\"#BACK#\"><!-- #back# --></a>"), BackTags()),
        QStringLiteral("<a title=\"") + back + QStringLiteral("\"><!-- ") + back +
            QStringLiteral(" --></a>"));
}

class ConvertPageTest : public ::testing::Test {
protected:
    QString convert(const QByteArray& page, const QStringList& assets = {}) {
        const QString pagePath = dir.write(QStringLiteral("pages/index.html"), page);
        ConvertPage(pagePath, FrontTags(), assets, output);
        return output;
    }

    TempFolder dir;
    QString output = dir.makeFolder(QStringLiteral("out")) + QStringLiteral("/converted_index.php");
};

TEST_F(ConvertPageTest, WritesTheConvertedTextAsUtf8WithoutMark) {
    convert("<p>caf\xC3\xA9 #FRONT#</p><img src=\"images/a.png\">",
            {QStringLiteral("images/a.png")});
    EXPECT_EQ(readBytes(output),
              kGuard + "<p>caf\xC3\xA9 <?php echo $front_tag;?></p><img src=\"<?php echo "
                       "esc_url( plugins_url( '/', __FILE__ ) ); ?>images/a.png\">");
}

TEST_F(ConvertPageTest, PageTextNeverRunsAsPhp) {
    // Only "<?php" (any case) and "<?=" open PHP on purpose; every other "<?" is printed. The
    // tags' own PHP comes after, so it stays PHP.
    const QString printed = QStringLiteral("<?php echo '<?'; ?>");
    const QList<std::pair<QString, QString>> cases{
        {QStringLiteral("<?xml version=\"1.0\"?><html>"),
         printed + QStringLiteral("xml version=\"1.0\"?><html>")},
        {QStringLiteral("<?php echo 1; ?><?PHP x ?><?= $y ?>"),
         QStringLiteral("<?php echo 1; ?><?PHP x ?><?= $y ?>")},
        {QStringLiteral("a<?b<?<?"),
         QStringLiteral("a") + printed + QStringLiteral("b") + printed + printed},
        {QStringLiteral("<?ph"), printed + QStringLiteral("ph")},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(NeutralisePhpOpenings(text), expected) << text.toStdString();
    convert("<?xml version=\"1.0\"?>\n<p>#FRONT#</p>");
    EXPECT_EQ(readBytes(output), kGuard + "<?php echo '<?'; ?>xml version=\"1.0\"?>\n<p><?php "
                                          "echo $front_tag;?></p>");
}

// WordPress serves the template as UTF-8, so the page is read as the browser read it and
// written as UTF-8; its declaration stays as written.
TEST_F(ConvertPageTest, PagesInOtherEncodingsBecomeTheSameTextInUtf8) {
    const std::pair<QByteArray, QByteArray> pages[] = {
        {"<meta charset=\"iso-8859-1\">Caf\xE9 cr\xE8me, d\xE9j\xE0 vu #front#",
         "<meta charset=\"iso-8859-1\">Caf\xC3\xA9 cr\xC3\xA8me, d\xC3\xA9j\xC3\xA0 vu <?php echo "
         "$front_tag;?>"},
        {"\xEF\xBB\xBF<p>caf\xC3\xA9</p>", "<p>caf\xC3\xA9</p>"},
        {"<p>\x80 10, caf\xE9</p>", "<p>\xE2\x82\xAC 10, caf\xC3\xA9</p>"},
        {QByteArray("\xFF\xFE\xE9\0#\0F\0R\0O\0N\0T\0#\0", 18), "\xC3\xA9<?php echo $front_tag;?>"},
        {"<meta charset=shift_jis>\x93\xFA\x96\x7B",
         "<meta charset=shift_jis>\xE6\x97\xA5\xE6\x9C\xAC"},
    };
    for (const auto& [page, converted] : pages) {
        convert(page);
        EXPECT_EQ(readBytes(output), kGuard + converted) << page.toHex().constData();
    }
}

TEST_F(ConvertPageTest, ReplacesALongerEarlierOutputAndWritesAnEmptyPageAsTheGuardAlone) {
    dir.write(QStringLiteral("out/converted_index.php"), QByteArray(5000, 'o'));
    convert("short");
    EXPECT_EQ(readBytes(output), kGuard + "short");
    convert("");
    EXPECT_EQ(readBytes(output), kGuard);
}

TEST_F(ConvertPageTest, MissingPageIsAnErrorAndWritesNothing) {
    try {
        ConvertPage(dir / QStringLiteral("pages/missing.html"), BackTags(), {}, output);
        FAIL() << "no error";
    } catch (const FileError& error) {
        EXPECT_TRUE(error.description().contains(QStringLiteral("missing.html")));
    }
    EXPECT_FALSE(QFileInfo::exists(output));
}

} // namespace
