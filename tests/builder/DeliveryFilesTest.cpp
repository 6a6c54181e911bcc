#include "builder/DeliveryFiles.h"
#include "support/TempFolder.h"
#include "util/TextFile.h"

#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace {

// A name byte that is not UTF-8, as the page folder's listing decodes it.
QString latin1Name(const char* before, char16_t escapedByte, const char* after) {
    return QString::fromUtf8(before) + QChar(escapedByte) + QString::fromUtf8(after);
}

TEST(DeliveryFiles, ReferencesResolveAsABrowserWouldFromThePageFolder) {
    struct Case {
        QString reference;
        std::optional<QString> path;
        QString pageFolder = {};
    };
    const QList<Case> cases{
        {"files/a.pdf", "files/a.pdf"},
        {"./files/./a.pdf", "files/a.pdf"},
        {"  files/a.pdf\n", "files/a.pdf"},
        {"files\\a.pdf", "files/a.pdf"},
        {"files/a.pdf?download=1#page=2", "files/a.pdf"},
        {"files/my%20guide.pdf", "files/my guide.pdf"},
        {"files/Tips &amp; Tricks.pdf", "files/Tips & Tricks.pdf"},
        {"files/caf%C3%A9.pdf", QStringLiteral("files/caf\u00e9.pdf")},
        {"files/caf%E9.pdf", latin1Name("files/caf", 0xDCE9, ".pdf")},
        {"../outside.pdf", std::nullopt},
        {"files/../../outside.pdf", std::nullopt},
        {"/files/a.pdf", "files/a.pdf", "pages"},
        {"//cdn.example.com/a.pdf", std::nullopt},
        {"https://example.com/a.pdf", std::nullopt},
        {"mailto:help@example.com", std::nullopt},
        {"#top", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ResolvePageReference(c.reference, c.pageFolder), c.path)
            << c.reference.toStdString();
}

TEST(DeliveryFiles, DetectsWhatOnlyTheDownloadPageLinksAndOffersTheRest) {
    const QStringList assets{
        "index.html",       "download.html",   "css/site.css",    "js/app.js",
        "images/a.png",     "fonts/f.woff2",   "files/book.pdf",  "files/Bonus Pack.ZIP",
        "files/sample.pdf", "files/cover.jpg", "files/audio.mp3", "files/notes.txt",
        "files/README",     ".DS_Store",       ".git/config",     "files/Thumbs.db"};
    const QString sales =
        "<link href=\"css/site.css\"><img src='images/a.png' srcset=\"files/cover.jpg 2x, "
        "images/a.png 1x\"><a href=files/sample.pdf>free sample</a>"
        "<div style=\"background:url(files/notes.txt)\"></div>";
    const QString download =
        "<A HREF=\"files/book.pdf\">book</a> <a href='files/Bonus%20Pack.ZIP'>bonus</a>"
        "<a href=\"files/book.pdf\">again</a> <a href=\"files/sample.pdf\">sample</a>"
        "<a href=\"files/cover.jpg\">cover</a> <a href=\"css/site.css\">css</a>"
        "<a href=\"missing.pdf\">gone</a> <a href=\"https://example.com/files/audio.mp3\">x</a>"
        "<a href=\"index.html\">home</a> <img src=\"files/README\">";
    const DeliveryChoice choice =
        DetectDeliveryFiles(sales, "index.html", download, "download.html", assets);
    EXPECT_EQ(choice.detected, (QStringList{"files/book.pdf", "files/Bonus Pack.ZIP"}));
    EXPECT_EQ(choice.others, (QStringList{"files/audio.mp3", "files/README"}));

    // Pages in a subfolder find the product from their own folder.
    QStringList moved{"app/index.html", "app/download.html", "app/css/site.css"};
    for (const QString& asset : assets) {
        if (asset.startsWith(QLatin1String("files/")))
            moved << asset;
    }
    const DeliveryChoice fromSubfolder = DetectDeliveryFiles(
        "<a href=\"/files/sample.pdf\">sample</a>", "app/index.html",
        "<base href=\"../\"><a href=\"files/book.pdf\">book</a> <a href=\"../files/audio.mp3\">"
        "<a href=\"files/sample.pdf\">",
        "app/download.html", moved);
    EXPECT_EQ(fromSubfolder.detected, (QStringList{"files/book.pdf"}));
}

TEST(DeliveryFiles, AChosenListMustNameFilesOfThePageFolder) {
    TempFolder pages;
    pages.write(QStringLiteral("files/book.pdf"), "%PDF");
    pages.write(QStringLiteral("outside.pdf"), "%PDF");
    EXPECT_EQ(FindDeliveryProblem(pages.path(), {"files/book.pdf", "outside.pdf"}), QString());
    for (const char* bad : {"../outside.pdf", "/etc/passwd", "files//book.pdf", "./x.pdf",
                            "files\\book.pdf", "files", "files/missing.pdf", ""}) {
        const QString problem =
            FindDeliveryProblem(pages.path(), {"files/book.pdf", QString::fromUtf8(bad)});
        EXPECT_TRUE(problem.contains(QStringLiteral("\"%1\"").arg(QString::fromUtf8(bad))))
            << problem.toStdString();
    }
}

// PHP itself reads the list back, so quotes, backslashes and bytes that are not UTF-8 must
// come through its string syntax unchanged.
TEST(DeliveryFiles, ThePhpListReadsBackAsTheSamePaths) {
    const QString php = QStandardPaths::findExecutable(QStringLiteral("php"));
    if (php.isEmpty())
        GTEST_SKIP() << "php is not installed";
    const QStringList paths{"files/book.pdf", "files/Zo\u00eb's \"guide\".pdf", "a\\b\\'c.pdf",
                            latin1Name("files/caf", 0xDCE9, ".pdf"), "$HOME {$x}.zip"};
    TempFolder dir;
    const QString file = dir / QStringLiteral("delivery.php");
    SaveTextToFile(PhpPathList(QStringLiteral("two\nlines"), paths), file);
    QProcess process;
    process.start(php, {QStringLiteral("-r"),
                        QStringLiteral("define('ABSPATH', '/'); foreach (require $argv[1] as $p) "
                                       "echo bin2hex($p), \"\\n\";"),
                        file});
    ASSERT_TRUE(process.waitForFinished(30000));
    QStringList expected;
    for (const QString& path : paths)
        expected << QString::fromLatin1(encodeUtf8Lossless(path).toHex());
    EXPECT_EQ(QString::fromLatin1(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
              expected)
        << process.readAllStandardError().toStdString();
}

} // namespace
