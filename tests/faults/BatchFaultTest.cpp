// ostrel-build, run as its own process, under faults and bad input: every failure is a clear
// message and a non-zero exit, nothing outside the program's tmp and output changes, no
// half-made archive appears under its final name, and the next normal build works.
#include "builder/PageConversion.h"
#include "faults/FaultSupport.h"
#include "support/ArchiveTools.h"
#include "support/Fingerprint.h"
#include "support/RunProgram.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

const QByteArray kOldArchive("an older archive");
const QByteArray kUrlPrefix("<?php echo esc_url( plugins_url( '/', __FILE__ ) ); ?>");
const QByteArray kGuard("<?php defined( 'ABSPATH' ) || exit; ?>");
const QByteArray kFrontTag = FrontTags().replacement.toUtf8();
const QByteArray kBackTag = BackTags().replacement.toUtf8();

// The start of a stand-in 7za: finds the archive it is to write, the name after "--".
const QByteArray kFake7zaStart("#!/bin/sh\npart= prev=\n"
                               "for a; do [ \"$prev\" = -- ] && [ -z \"$part\" ] && part=$a; "
                               "prev=$a; done\n");

QByteArray randomBytes(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(bytes.data()),
                                          size / qsizetype(sizeof(quint32)));
    return bytes;
}

class BatchFaults : public ::testing::Test {
protected:
    void SetUp() override {
        makeProgramFolder(program);
        ASSERT_TRUE(QFileInfo(ostrelBuild).isExecutable()) << ostrelBuild.toStdString();
        root.write(QStringLiteral("site/index.html"), "<img src=\"images/a.png\"> #FRONT#");
        root.write(QStringLiteral("site/download.html"), "#BACK# <a href=\"files/book.pdf\">");
        root.write(QStringLiteral("site/images/a.png"), "png");
        root.write(QStringLiteral("site/files/book.pdf"), "%PDF");
        root.write(QStringLiteral("elsewhere/keep.txt"), "keep");
        root.write(QStringLiteral("program/output/myplugin.zip"), kOldArchive);
    }

    void TearDown() override { removeTreeRaw(QFile::encodeName(root.path())); }

    QStringList arguments(const QStringList& extra = {}) const {
        return QStringList{QStringLiteral("--pages"), site} +
               QStringLiteral("--front|index.html|--download|download.html|--name|My Plugin|"
                              "--uri|https://example.org/p|--description|A guide|--version|1.0|"
                              "--author|Ann|--author-uri|https://example.org|--license|GPL2|"
                              "--id|shop1|--yes")
                   .split(QLatin1Char('|')) +
               extra;
    }

    ProcessResult
    build(const QStringList& extra = {},
          const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) const {
        return runProgram(ostrelBuild, arguments(extra), root.path(), environment);
    }

    // With SIGXFSZ ignored, writes past the limit fail with EFBIG as on a full disk.
    ProcessResult buildWithFileSizeLimit(int kilobytes) const {
        return buildWithLimit(QStringLiteral("-f"), kilobytes);
    }

    ProcessResult buildWithLimit(const QString& limit, int kilobytes) const {
        return runProgram(
            QStringLiteral("bash"),
            QStringList{QStringLiteral("-c"),
                        QStringLiteral("trap '' XFSZ; ulimit %1 \"$0\" && exec \"$@\"").arg(limit),
                        QString::number(kilobytes), ostrelBuild} +
                arguments(),
            root.path());
    }

    QStringList outside() const {
        return fingerprint(root.path(), {program + QStringLiteral("/tmp"), output});
    }

    void snapshot() { before = outside(); }

    // Nor a staging folder.
    void expectNoPartOrNewArchive() const {
        for (const QString& name : QDir(output).entryList(QDir::AllEntries | QDir::Hidden)) {
            EXPECT_FALSE(name.startsWith(".ostrel-build-")) << name.toStdString();
            EXPECT_FALSE(name.endsWith(QStringLiteral(".part"))) << name.toStdString();
            EXPECT_FALSE(name.endsWith(QStringLiteral(".zip")) && name != "myplugin.zip")
                << name.toStdString();
        }
    }

    void expectCleanFailure(const ProcessResult& r, const QString& expected) const {
        ASSERT_TRUE(r.ended) << "ostrel-build did not end";
        EXPECT_FALSE(r.crashed);
        EXPECT_EQ(r.exitCode, 1);
        const QString err = QString::fromUtf8(r.err);
        EXPECT_TRUE(err.startsWith(QStringLiteral("ostrel-build: "))) << r.err.toStdString();
        EXPECT_TRUE(err.contains(expected)) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
        EXPECT_EQ(readBytes(archive), kOldArchive);
        expectNoPartOrNewArchive();
        EXPECT_EQ(outside(), before);
    }

    void expectUsableAfterwards() const {
        const ProcessResult r = build();
        ASSERT_TRUE(r.ended);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(QString::fromUtf8(r.out).trimmed(), archive);
        bool listed = false;
        EXPECT_TRUE(archiveListing(archive, &listed).contains("\nPath = shop1/plugin.php\n"));
        EXPECT_TRUE(listed);
        expectNoPartOrNewArchive();
        EXPECT_EQ(outside(), before);
    }

    QByteArray builtFile(const QString& relative) const {
        TempFolder into;
        EXPECT_TRUE(extractArchive(archive, into.path()));
        return readBytes(into / (QStringLiteral("shop1/") + relative));
    }

    TempFolder root;
    const QString program = root / QStringLiteral("program");
    const QString ostrelBuild = program + QStringLiteral("/ostrel-build");
    const QString output = program + QStringLiteral("/output");
    const QString archive = output + QStringLiteral("/myplugin.zip");
    const QString site = root / QStringLiteral("site");
    const QString elsewhere = root / QStringLiteral("elsewhere");
    QStringList before;
};

TEST_F(BatchFaults, ArchiverMissingFailingOrKilledKeepsTheOldArchive) {
    struct Case {
        const char* what;
        QByteArray fake7za; // placed in the program folder, which comes before the search path
        QString expected;
    };
    const QList<Case> cases{
        {"missing everywhere", {}, QStringLiteral("7za was found neither")},
        {"exits with an error",
         kFake7zaStart +
             "printf 'PK\\003\\004 half' > \"$part\"\necho 'ERROR: simulated' >&2\nexit 2\n",
         QStringLiteral("simulated")},
        {"killed halfway", kFake7zaStart + "printf 'PK\\003\\004 half' > \"$part\"\nkill -9 $$\n",
         QStringLiteral("stopped abnormally")},
        // The real one makes the archive; the next run, which updates it, dies.
        {"killed while updating its archive",
         kFake7zaStart + "[ -e \"$part\" ] || exec 7za \"$@\"\n"
                         "mv \"$part\" \"$part.tmp\" && printf 'PK\\003\\004 half' > \"$part\"\n"
                         "kill -9 $$\n",
         QStringLiteral("stopped abnormally")},
    };
    const QString fake = program + QStringLiteral("/7za");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (c.fake7za.isEmpty()) {
            environment.insert(QStringLiteral("PATH"), root.makeFolder(QStringLiteral("nobin")));
        } else {
            root.write(QStringLiteral("program/7za"), c.fake7za);
            QFile::setPermissions(fake, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        snapshot();
        expectCleanFailure(build({}, environment), c.expected);
        QFile::remove(fake);
        QDir(root / QStringLiteral("nobin")).removeRecursively();
    }
    snapshot();
    expectUsableAfterwards();
}

TEST_F(BatchFaults, AReadOnlyOutputFolderIsReported) {
    ASSERT_TRUE(makeReadOnlyFolder(output));
    snapshot();
    const ProcessResult r = build();
    makeWritableFolder(output);
    // The number is the one mkdir failed with.
    expectCleanFailure(r, QStringLiteral("Number:%1 Description:Cannot create the folder "
                                         "%2/.ostrel-build-")
                              .arg(::geteuid() == 0 ? EPERM : EACCES)
                              .arg(output));
    expectUsableAfterwards();
}

TEST_F(BatchFaults, AFullDiskWhileCopyingConvertingOrPackingIsReported) {
    constexpr int kLimit = 200; // kilobytes
    // Every copied file stays under the limit while the converted page grows past it.
    QByteArray bigPage("#FRONT#");
    while (bigPage.size() < 150 * 1024)
        bigPage += "<img src=\"images/a.png\"> filler text ";
    struct Case {
        const char* what;
        QMap<QString, QByteArray> files;
        QString expected;
    };
    const QList<Case> cases{
        {"copying the pages",
         {{QStringLiteral("files/large.bin"), randomBytes(300 * 1024)}},
         QStringLiteral("Number:%1 Description:Cannot copy").arg(EFBIG)},
        {"writing the converted page",
         {{QStringLiteral("index.html"), bigPage}},
         QStringLiteral("converted_index.php: File too large")},
        {"writing the archive",
         {{QStringLiteral("files/one.bin"), randomBytes(150 * 1024)},
          {QStringLiteral("files/two.bin"), randomBytes(150 * 1024)}},
         QStringLiteral("7za ended with exit code")},
    };
    const QByteArray page = readBytes(site + QStringLiteral("/index.html"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (auto it = c.files.begin(); it != c.files.end(); ++it)
            root.write(QStringLiteral("site/") + it.key(), it.value());
        snapshot();
        expectCleanFailure(buildWithFileSizeLimit(kLimit), c.expected);
        for (auto it = c.files.begin(); it != c.files.end(); ++it)
            QFile::remove(site + QLatin1Char('/') + it.key());
        root.write(QStringLiteral("site/index.html"), page);
    }
    snapshot();
    expectUsableAfterwards();
}

TEST_F(BatchFaults, ATemplateWithoutARequiredFileChangesNothing) {
    const QString broken = root / QStringLiteral("brokentemplate");
    ASSERT_TRUE(copyTree(program + QStringLiteral("/plugintemplatepro"), broken));
    QFile::remove(broken + QStringLiteral("/modules/cpt.php"));
    snapshot();
    expectCleanFailure(build({QStringLiteral("--template"), broken}),
                       QStringLiteral("lacks the required file %1/modules/cpt.php").arg(broken));
    expectUsableAfterwards();
}

TEST_F(BatchFaults, PathsThatAreNotUtf8ReachTheFileSystemUnchanged) {
    const QByteArray pages = QFile::encodeName(root.path()) + "/si\xE9te";
    const QByteArray made = QFile::encodeName(output) + "/r\xE9sultat";
    writeRaw(pages + "/index\xE9.html", "#FRONT#");
    writeRaw(pages + "/download\xE9.html", "#BACK#");
    writeRaw(pages + "/b\xE9.pdf", "%PDF");
    const QByteArray templ = QFile::encodeName(program) + "/plugintemplatepro";
    ASSERT_EQ(::rename(templ, templ + "\xE9"), 0);
    snapshot();
    QList<QByteArray> args{
        "--pages",  pages, "--front",    "index\xE9.html", "--download", "download\xE9.html",
        "--output", made,  "--template", templ + "\xE9",   "--deliver",  "b\xE9.pdf"};
    for (const QString& argument : arguments().mid(6))
        args << argument.toUtf8();
    const ProcessResult r = runWithByteArguments(ostrelBuild, args, root.path());
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, made + "/myplugin.zip\n");
    EXPECT_EQ(outside(), before);
    // Moved to a name the archive tools can be given.
    ASSERT_EQ(::rename(made + "/myplugin.zip", QFile::encodeName(archive)), 0);
    EXPECT_EQ(::rmdir(made), 0); // nothing else in it
    const QByteArray listing = archiveListing(archive);
    EXPECT_TRUE(listing.contains("\nPath = shop1/modules/template/download\xE9.html\n"));
    EXPECT_TRUE(listing.contains("\nPath = shop1/modules/template/converted_download.php\n"));
}

TEST_F(BatchFaults, OddNamesReachTheArchiveByteForByte) {
    QDir(site).removeRecursively();
    const QByteArray front("-front \"page\" one.html");
    const QByteArray download("down\nload.html");
    const QByteArray notUtf8("\xFF\xFE.png");
    const QMap<QByteArray, QByteArray> files{
        {front, "<a href=\"new\nline dir/g.png\"><img src=\"" + notUtf8 +
                    "\"><img src=\"-dash/--x.png\"><img src=\"a b/c \"d\" 'e'.png\">#FRONT#"},
        {download, "#BACK#"},
        {"a b/c \"d\" 'e'.png", "quoted"},
        {"-dash/--x.png", "dashes"},
        {notUtf8, "latin"},
        {"new\nline dir/g.png", "newline"},
        {"dir\xE9 \"q\"/-f.txt", "folder not utf-8"},
    };
    const QByteArray siteBytes = QFile::encodeName(site);
    for (auto it = files.begin(); it != files.end(); ++it)
        writeRaw(siteBytes + '/' + it.key(), it.value());
    snapshot();
    QStringList args = arguments();
    args[args.indexOf(QStringLiteral("index.html"))] = QString::fromUtf8(front);
    args[args.indexOf(QStringLiteral("download.html"))] = QString::fromUtf8(download);
    const ProcessResult r = runProgram(ostrelBuild, args, root.path());
    ASSERT_TRUE(r.ended);
    EXPECT_EQ(outside(), before);
    if (r.exitCode != 0) {
        // An archiver that cannot store such a name must fail the build, never drop the file.
        expectCleanFailure(r, QStringLiteral("Error during plugin creation"));
        return;
    }
    EXPECT_TRUE(
        archiveListing(archive).contains("\nPath = shop1/modules/template/" + notUtf8 + "\n"));
    TempFolder into;
    ASSERT_TRUE(extractArchive(archive, into.path()));
    QMap<QByteArray, QByteArray> packed =
        filesUnder(QFile::encodeName(into / QStringLiteral("shop1/modules/template")));
    // The pages are served converted only; every other file travels as it is.
    for (auto it = files.begin(); it != files.end(); ++it)
        EXPECT_EQ(packed.value(it.key()),
                  it.key() == front || it.key() == download ? QByteArray() : it.value())
            << it.key().toPercentEncoding().data();
    QByteArray converted = files.value(front);
    // A double quote ends the attribute, in a browser as in the conversion, so "a b/c \"d\"..."
    // names no file; a path written exactly stays convertible even where a browser drops its
    // line break.
    for (const QByteArray& asset : {QByteArray("new\nline dir/g.png"), QByteArray("-dash/--x.png")})
        converted.replace('"' + asset + '"', '"' + kUrlPrefix + asset + '"');
    converted.replace("#FRONT#", kFrontTag);
    // A page that is not UTF-8 reads as windows-1252, as in a browser, where its reference names
    // "\u00ff\u00fe.png" and not the file; the template holds that text as UTF-8.
    converted.replace(notUtf8, "\xC3\xBF\xC3\xBE.png");
    EXPECT_EQ(packed.value("converted_index.php").toStdString(),
              (kGuard + converted).toStdString());
    EXPECT_EQ(packed.value("converted_download.php"), kGuard + kBackTag);
    removeTreeRaw(QFile::encodeName(into.path()));
}

TEST_F(BatchFaults, APageHoldingNulBytesKeepsThem) {
    static const char kPage[] = "<p>\0\0#FRONT#\0<img src=\"images/a.png\">\0</p>\0";
    const QByteArray page(kPage, sizeof kPage - 1);
    root.write(QStringLiteral("site/index.html"), page);
    root.write(QStringLiteral("site/download.html"), QByteArray("\0#BACK#\0", 8));
    snapshot();
    const ProcessResult r = build();
    ASSERT_TRUE(r.ended);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(outside(), before);
    QByteArray converted = page;
    converted.replace("\"images/a.png\"", "\"" + kUrlPrefix + "images/a.png\"")
        .replace("#FRONT#", kFrontTag);
    EXPECT_EQ(builtFile(QStringLiteral("modules/template/converted_index.php")),
              kGuard + converted);
    EXPECT_EQ(builtFile(QStringLiteral("modules/template/converted_download.php")),
              kGuard + QByteArray("\0", 1) + kBackTag + QByteArray("\0", 1));
}

// The HTML5 tokenizer recurses as deep as the page nests; the program must not run out of stack.
TEST_F(BatchFaults, APageNestedDeeperThanTheStackHoldsIsConverted) {
    const int depth = 30000;
    root.write(QStringLiteral("site/index.html"), QByteArray("<div>").repeated(depth) +
                                                      "<img src=\"images/a.png\">#FRONT#" +
                                                      QByteArray("</div>").repeated(depth));
    snapshot();
    const ProcessResult r = buildWithLimit(QStringLiteral("-s"), 256);
    ASSERT_TRUE(r.ended);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(builtFile(QStringLiteral("modules/template/converted_index.php"))
                    .contains("<img src=\"" + kUrlPrefix + "images/a.png\">"));
}

TEST_F(BatchFaults, AFiftyMegabytePageIsConverted) {
    QByteArray chunk;
    while (chunk.size() < 1024 * 1024)
        chunk += "<p>Lorem ipsum dolor sit amet, consectetur adipiscing elit.</p>\n";
    QByteArray page("#FRONT#");
    for (int i = 0; i < 50; ++i) {
        page += chunk + "<img src=\"images/a.png\"><a href=\"files/book.pdf\">";
        if (i == 25)
            page += "#Front#";
    }
    page += "#front#";
    root.write(QStringLiteral("site/index.html"), page);
    snapshot();
    const ProcessResult r = build();
    ASSERT_TRUE(r.ended);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(outside(), before);
    QByteArray converted = kGuard + page;
    converted.replace("\"images/a.png\"", "\"" + kUrlPrefix + "images/a.png\"")
        .replace("\"files/book.pdf\"", "\"" + kUrlPrefix + "files/book.pdf\"")
        .replace("#FRONT#", kFrontTag)
        .replace("#front#", kFrontTag)
        .replace("#Front#", kFrontTag);
    const QByteArray built = builtFile(QStringLiteral("modules/template/converted_index.php"));
    EXPECT_EQ(built.size(), converted.size());
    EXPECT_TRUE(built == converted); // not printed: 50 MB
}

TEST_F(BatchFaults, LinksOutOfThePagesAreReadButNeverWrittenAndLoopsEnd) {
    root.write(QStringLiteral("elsewhere/style.css"), "outside style");
    root.write(QStringLiteral("elsewhere/shared/x.png"), "outside picture");
    root.write(QStringLiteral("elsewhere/victim/precious.txt"), "precious");
    root.link(QStringLiteral("site/style.css"), elsewhere + QStringLiteral("/style.css"));
    root.link(QStringLiteral("site/shared"), elsewhere + QStringLiteral("/shared"));
    // A stale plugin folder that is a link out of the output folder.
    root.link(QStringLiteral("program/output/shop1"), elsewhere + QStringLiteral("/victim"));
    snapshot();
    ProcessResult r = build();
    ASSERT_TRUE(r.ended);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(outside(), before);
    EXPECT_EQ(builtFile(QStringLiteral("modules/template/style.css")), "outside style");
    EXPECT_EQ(builtFile(QStringLiteral("modules/template/shared/x.png")), "outside picture");

    // Loops, also through the outside folder, and links that lead nowhere.
    root.link(QStringLiteral("site/images/up"), QStringLiteral(".."));
    root.link(QStringLiteral("elsewhere/shared/back"), site);
    root.link(QStringLiteral("site/self"), QStringLiteral("self"));
    root.link(QStringLiteral("site/dangling"), QStringLiteral("nowhere"));
    root.write(QStringLiteral("program/output/myplugin.zip"), kOldArchive);
    snapshot();
    r = build();
    expectCleanFailure(r, QStringLiteral("Cannot copy the pages"));
    EXPECT_TRUE(r.err.contains("leads")) << r.err.toStdString();

    for (const char* link :
         {"site/images/up", "elsewhere/shared/back", "site/self", "site/dangling"})
        QFile::remove(root / QString::fromLatin1(link));
    snapshot();
    expectUsableAfterwards();
}

} // namespace
