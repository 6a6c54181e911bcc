#include "builder/PageConversion.h"
#include "support/TempFolder.h"
#include "util/FileError.h"
#include "util/PageEncoding.h"
#include "util/RecurseFiles.h"
#include "util/TextFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

// The rewrite of every double-quoted exact path, as pages were converted before they were read
// as markup.
QString referenceRewrite(QString text, const QStringList& assets, const QString& urlPrefix) {
    const QString quote = QStringLiteral("\"");
    for (const QString& asset : assets)
        text.replace(quote + asset + quote, quote + urlPrefix + asset + quote, Qt::CaseSensitive);
    return text;
}

const QString kPrefix = AssetUrlPrefix();
const QByteArray kGuard = "<?php defined( 'ABSPATH' ) || exit; ?>";
const QByteArray kFront = FrontTags().replacement.toUtf8();

TEST(PageTags, EachListedFormBecomesThePhpInItsOrder) {
    // The generator's own output, so the coding-standard checker is told why it is not escaped.
    const QString front = QStringLiteral("<?php echo $front_tag; // phpcs:ignore "
                                         "WordPress.Security.EscapeOutput -- the seller's own "
                                         "HTML, cleaned when saved ?>");
    const QString back = QStringLiteral("<?php echo $back_tag; // phpcs:ignore "
                                        "WordPress.Security.EscapeOutput -- the seller's own "
                                        "HTML, cleaned when saved ?>");
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

// A site whose references all were exact double-quoted paths converts as it always did.
TEST(PageConversion, TheSampleProductConvertsAsItAlwaysDid) {
    const QString sample =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../../examples/sample-product");
    QStringList files;
    RecurseFiles(sample, sample, files);
    ASSERT_FALSE(files.isEmpty()) << sample.toStdString();
    const ReferenceConverter references(
        files,
        FindSitePages(files, QStringLiteral("index.html"), QStringLiteral("download.html"), {}),
        kPrefix);
    for (const QString& page : {QStringLiteral("index.html"), QStringLiteral("download.html")}) {
        const QString text = LoadPageFromFile(sample + QLatin1Char('/') + page);
        const ReferenceConverter::Result converted = references.convert(text, page);
        EXPECT_EQ(converted.text, referenceRewrite(text, files, kPrefix)) << page.toStdString();
        EXPECT_TRUE(converted.problems.isEmpty())
            << converted.problems.first().text().toStdString();
    }
}

class ConvertPageTest : public ::testing::Test {
protected:
    QString convert(const QByteArray& page, QStringList assets = {}) {
        const QString pagePath = dir.write(QStringLiteral("pages/index.html"), page);
        assets << QStringLiteral("index.html");
        const ReferenceConverter references(
            assets, {QStringLiteral("index.html"), QStringLiteral("download.html"), {}}, kPrefix);
        ConvertPage(pagePath, QStringLiteral("index.html"), FrontTags(), references, output);
        return output;
    }

    TempFolder dir;
    QString output = dir.makeFolder(QStringLiteral("out")) + QStringLiteral("/converted_index.php");
};

// One line ending, LF, in the PHP file: browsers read CR LF and CR as LF anyway.
TEST_F(ConvertPageTest, WritesTheConvertedTextAsUtf8WithoutMarkWithLineFeeds) {
    convert("<p>caf\xC3\xA9 #FRONT#</p>\r\n\r<img src=\"images/a.png\">",
            {QStringLiteral("images/a.png")});
    EXPECT_EQ(readBytes(output), kGuard + "<p>caf\xC3\xA9 " + kFront +
                                     "</p>\n\n<img src=\"<?php echo "
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
    EXPECT_EQ(readBytes(output),
              kGuard + "<?php echo '<?'; ?>xml version=\"1.0\"?>\n<p>" + kFront + "</p>");
}

// WordPress serves the template as UTF-8, so the page is read as the browser read it and
// written as UTF-8; its declaration stays as written.
TEST_F(ConvertPageTest, PagesInOtherEncodingsBecomeTheSameTextInUtf8) {
    const std::pair<QByteArray, QByteArray> pages[] = {
        {"<meta charset=\"iso-8859-1\">Caf\xE9 cr\xE8me, d\xE9j\xE0 vu #front#",
         "<meta charset=\"iso-8859-1\">Caf\xC3\xA9 cr\xC3\xA8me, d\xC3\xA9j\xC3\xA0 vu " + kFront},
        {"\xEF\xBB\xBF<p>caf\xC3\xA9</p>", "<p>caf\xC3\xA9</p>"},
        {"<p>\x80 10, caf\xE9</p>", "<p>\xE2\x82\xAC 10, caf\xC3\xA9</p>"},
        {QByteArray("\xFF\xFE\xE9\0#\0F\0R\0O\0N\0T\0#\0", 18), "\xC3\xA9" + kFront},
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
        const ReferenceConverter references({}, {}, kPrefix);
        ConvertPage(dir / QStringLiteral("pages/missing.html"), QStringLiteral("missing.html"),
                    BackTags(), references, output);
        FAIL() << "no error";
    } catch (const FileError& error) {
        EXPECT_TRUE(error.description().contains(QStringLiteral("missing.html")));
    }
    EXPECT_FALSE(QFileInfo::exists(output));
}

} // namespace
