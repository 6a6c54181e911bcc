#include "builder/conversion/ReferenceConverter.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

const QString P = QStringLiteral("P/");

QString link(const char* page) {
    return PageLinkExpression(QString::fromUtf8(page));
}

// A small site: the sales page, the download page and three other pages, one in a subfolder.
ReferenceConverter site() {
    const QStringList files{"index.html",          "download.html",  "about.html",
                            "docs/index.html",     "pages/app.html", "pages/css/app.css",
                            "css/site.css",        "images/a.png",   "images/b.png",
                            "images/my photo.png", "img/bg.jpg",     "assets/x.png",
                            "files/product.pdf",   "media/v.mp4",    "media/poster.jpg"};
    return ReferenceConverter(files, FindSitePages(files, "index.html", "download.html", {}), P);
}

struct Row {
    const char* page;
    QString markup;
    QString converted;
};

TEST(ReferenceConversion, EveryConstructLeadsWhereTheBrowserWouldHaveGone) {
    const QList<Row> rows{
        // Paths written exactly as the file's stay as they were written, behind the prefix.
        {"index.html", "<img src=\"images/a.png\">", "<img src=\"P/images/a.png\">"},
        {"index.html", "<img src=\"images/my photo.png\">", "<img src=\"P/images/my photo.png\">"},
        {"index.html", "<link href=\"css/site.css?v=1.2\">",
         "<link href=\"P/css/site.css?v=1.2\">"},
        {"index.html", "<img src='images/a.png#frag'>", "<img src='P/images/a.png#frag'>"},
        // Other ways of naming the same file.
        {"index.html", "<img src=\"./images/a.png\">", "<img src=\"P/images/a.png\">"},
        {"index.html", "<img src=/assets/x.png>", "<img src=P/assets/x.png>"},
        {"index.html", "<img src=\"images/my%20photo.png\">",
         "<img src=\"P/images/my%20photo.png\">"},
        {"index.html", "<img src=\" images/./../images/a.png \">",
         "<img src=\" P/images/a.png \">"},
        {"index.html", "<img srcset=\"images/a.png 1x, ./images/b.png 2x\">",
         "<img srcset=\"P/images/a.png 1x, P/images/b.png 2x\">"},
        {"index.html", "<link rel=preload imagesrcset=\"images/a.png 480w,images/b.png 800w\">",
         "<link rel=preload imagesrcset=\"P/images/a.png 480w,P/images/b.png 800w\">"},
        {"index.html", "<div style=\"background-image: url('img/bg.jpg')\">",
         "<div style=\"background-image: url('P/img/bg.jpg')\">"},
        {"index.html", "<div style=\"background:url(img/bg.jpg) no-repeat\">",
         "<div style=\"background:url(P/img/bg.jpg) no-repeat\">"},
        {"index.html", "<div style=\"background:url(&quot;./img/bg.jpg&quot;)\">",
         "<div style=\"background:url(&quot;P/img/bg.jpg&quot;)\">"},
        {"index.html", "<style>@import \"css/site.css\"; .a{background:URL( img/bg.jpg )}</style>",
         "<style>@import \"P/css/site.css\"; .a{background:URL( P/img/bg.jpg )}</style>"},
        {"index.html", "<style>/* url(img/bg.jpg) */</style>",
         "<style>/* url(img/bg.jpg) */</style>"},
        {"index.html", "<video poster=\"media/poster.jpg\"><source src=\"media/v.mp4\"></video>",
         "<video poster=\"P/media/poster.jpg\"><source src=\"P/media/v.mp4\"></video>"},
        {"index.html", "<meta property=\"og:image\" content=\"./images/a.png\">",
         "<meta property=\"og:image\" content=\"P/images/a.png\">"},
        {"index.html", "<meta name=\"description\" content=\"./images/a.png\">",
         "<meta name=\"description\" content=\"./images/a.png\">"},
        {"index.html", "<img data-src=\"images/a.png\" data-lazy='./images/b.png' data-x='1.png'>",
         "<img data-src=\"P/images/a.png\" data-lazy='P/images/b.png' data-x='1.png'>"},
        {"index.html", "<a href=\"files/product.pdf\">", "<a href=\"P/files/product.pdf\">"},
        // Any attribute holding exactly a file's path, as before; single quotes never were.
        {"index.html", "<img alt=\"images/a.png\" title='images/a.png'>",
         "<img alt=\"P/images/a.png\" title='images/a.png'>"},
        // Scripts: only double-quoted exact paths; text and comments stay.
        {"index.html", "<script>var a = \"images/a.png\", b = 'images/b.png';</script>",
         "<script>var a = \"P/images/a.png\", b = 'images/b.png';</script>"},
        {"index.html", "<p>\"images/a.png\"</p><!-- <img src=\"images/a.png\"> -->",
         "<p>\"images/a.png\"</p><!-- <img src=\"images/a.png\"> -->"},
        // What leads elsewhere stays byte for byte.
        {"index.html",
         "<a href=\"https://example.com/images/a.png\"><script src=\"//cdn.example.com/images/"
         "a.png\"></script><a href=\"mailto:x@example.com\"><a href=\"#top\"><a href=\"\">"
         "<a href=\"javascript:void(0)\"><a href=\"images/A.png\">",
         "<a href=\"https://example.com/images/a.png\"><script src=\"//cdn.example.com/images/"
         "a.png\"></script><a href=\"mailto:x@example.com\"><a href=\"#top\"><a href=\"\">"
         "<a href=\"javascript:void(0)\"><a href=\"images/A.png\">"},
        // Pages: their WordPress addresses, the fragment kept; the download page's key stays
        // with the download page.
        {"index.html", "<a href=\"about.html#team\">",
         "<a href=\"" + link("about.html") + "#team\">"},
        {"index.html", "<a href=\"docs/\">", "<a href=\"" + link("docs/index.html") + "\">"},
        {"index.html", "<a href=download.html>", "<a href=" + link("index.html") + ">"},
        {"download.html", "<a href=\"download.html#files\">",
         "<a href=\"" + link("download.html") + "#files\">"},
        {"index.html", "<script>go(\"about.html\")</script>",
         "<script>go(\"" + link("about.html") + "\")</script>"},
        // A page in a subfolder starts from its own folder.
        {"pages/app.html", "<link href=\"css/app.css\">", "<link href=\"P/pages/css/app.css\">"},
        {"pages/app.html", "<img src=\"../images/a.png\"><a href=\"../files/product.pdf\">",
         "<img src=\"P/images/a.png\"><a href=\"P/files/product.pdf\">"},
        {"pages/app.html", "<a href=\"../index.html#buy\"><img src=\"/images/a.png\">",
         "<a href=\"" + link("index.html") + "#buy\"><img src=\"P/images/a.png\">"},
        // A base moves where relative addresses start, and becomes the same folder of the plugin.
        {"about.html",
         "<base href=\"pages/\"><link href=\"css/app.css\"><img src=\"../images/a.png\">",
         "<base href=\"P/pages/\"><link href=\"P/pages/css/app.css\"><img src=\"P/images/a.png\">"},
        {"about.html", "<base href=\"https://cdn.example.com/\"><img src=\"images/a.png\">",
         "<base href=\"https://cdn.example.com/\"><img src=\"images/a.png\">"},
    };
    const ReferenceConverter converter = site();
    for (const Row& row : rows)
        EXPECT_EQ(converter.convert(row.markup, QString::fromUtf8(row.page)).text, row.converted)
            << row.page << ": " << row.markup.toStdString();
}

TEST(ReferenceConversion, ReportsWhatLeadsNowhereAndWhatItLeftWithItsLine) {
    const QString page = QStringLiteral("<!doctype html>\n"
                                        "<img src=\"images/A.png\">\n"
                                        "<div style=\"background:url('../../x.jpg')\"></div>\n"
                                        "<a href=\"download.html\">get it</a>\n"
                                        "<script>\n"
                                        "  var pic = 'images/b.png', word = 'a.b.c';\n"
                                        "</script>\n"
                                        "<img alt=\"missing.png\" data-x=\"missing.png\">\n"
                                        "<a href=\"https://example.com/missing.png\">\n");
    const QList<ReferenceProblem> problems =
        site().convert(page, QStringLiteral("index.html")).problems;
    QStringList texts;
    for (const ReferenceProblem& problem : problems)
        texts << problem.text();
    EXPECT_EQ(texts,
              (QStringList{
                  "index.html:2: \"images/A.png\" names no file of the folder",
                  "index.html:3: \"../../x.jpg\" leads out of the folder",
                  "index.html:4: \"download.html\" links to the download page and would give the "
                  "product away; it leads to the sales page instead",
                  "index.html:6: \"images/b.png\" in a script is left as written and may not be "
                  "found on WordPress"}));
}

TEST(ReferenceConversion, PagesAreFoundAtAnyDepthButNotInHiddenFoldersOrAmongDeliveryFiles) {
    const SitePages pages = FindSitePages({"z.htm", "index.html", "a/B.HTML", "download.html",
                                           ".git/x.html", "files/book.html", "css/site.css"},
                                          "index.html", "download.html", {"files/book.html"});
    EXPECT_EQ(pages.others, (QStringList{"a/B.HTML", "z.htm"}));
}

} // namespace
