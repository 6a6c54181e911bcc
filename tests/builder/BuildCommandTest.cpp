#include "builder/BuildCommand.h"
#include "builder/ProductRecord.h"
#include "fakes/FakeLauncher.h"
#include "support/ArchiveTools.h"
#include "support/Fingerprint.h"
#include "support/TempFolder.h"
#include "support/TestTemplate.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

class BuildCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeTemplate(
            dir / QStringLiteral("program/plugintemplatepro"),
            TemplateContents::alike("<?php // #prefix# ?>\r\n#header#", Thanks::Included));
        dir.write(QStringLiteral("pages/index.html"), "<img src=\"a.png\">#FRONT#");
        dir.write(QStringLiteral("pages/download.html"), "#BACK#");
        dir.write(QStringLiteral("pages/a.png"), "png");
        pagesBefore = fingerprint(pages);
    }

    void TearDown() override { EXPECT_EQ(fingerprint(pages), pagesBefore); }

    // Every required option, the licence left empty.
    QStringList arguments(const QStringList& extra = {}) const {
        return QStringList{QStringLiteral("ostrel-build"), QStringLiteral("--pages"), pages} +
               QStringLiteral("--front|index.html|--download|download.html|--name|My Plugin|"
                              "--uri|https://example.org/p|--description|A guide|--version|1.0|"
                              "--author|Ann|--author-uri|https://example.org|--license|")
                   .split(QLatin1Char('|')) +
               extra;
    }

    int run(const QStringList& args) {
        outText.clear();
        errText.clear();
        QTextStream out(&outText);
        QTextStream err(&errText);
        const int code = RunBuildCommand(args, dir / QStringLiteral("program"), launcher, out, err);
        out.flush();
        err.flush();
        return code;
    }

    QString defaultArchive() const { return dir / QStringLiteral("program/output/myplugin.zip"); }

    TempFolder dir;
    const QString pages = dir / QStringLiteral("pages");
    FakeLauncher launcher;
    QString outText, errText;
    QStringList pagesBefore;
};

TEST_F(BuildCommandTest, HelpListsEveryOption) {
    EXPECT_EQ(run({QStringLiteral("ostrel-build"), QStringLiteral("--help")}), 0);
    for (const char* option :
         {"--pages", "--front", "--download", "--name", "--uri", "--description", "--version",
          "--author", "--author-uri", "--license", "--id", "--template", "--output", "--yes",
          "--deliver", "--deliver-none", "--strict", "--product-file"})
        EXPECT_TRUE(outText.contains(QLatin1String(option))) << option;
}

TEST_F(BuildCommandTest, WrongUsageExitsWithTwo) {
    const QStringList required = arguments().filter(QRegularExpression(QStringLiteral("^--")));
    ASSERT_EQ(required.size(), 10);
    for (const QString& option : required) {
        QStringList args = arguments();
        const int at = int(args.indexOf(option));
        args.remove(at, 2);
        EXPECT_EQ(run(args), 2) << option.toStdString();
        EXPECT_TRUE(errText.contains(option)) << errText.toStdString();
    }
    EXPECT_EQ(run(arguments({QStringLiteral("--no-such-option")})), 2);
    // An unquoted value's second word.
    EXPECT_EQ(run(arguments({"--name", "My", "Plugin"})), 2);
    EXPECT_TRUE(errText.startsWith("ostrel-build: unexpected argument: Plugin\n"));
    EXPECT_TRUE(errText.contains(QStringLiteral("--deliver-none"))) << errText.toStdString();
    EXPECT_TRUE(launcher.runs.isEmpty());
}

TEST_F(BuildCommandTest, BuildsAndPrintsTheArchivePath) {
    EXPECT_EQ(run(arguments()), 0) << errText.toStdString();
    EXPECT_EQ(outText, defaultArchive() + '\n');
    EXPECT_EQ(errText, QStringLiteral("ostrel-build: protected delivery files: none; every file of "
                                      "the plugin stays public.\n"));
    ASSERT_TRUE(QFileInfo(defaultArchive()).isFile());
    const QStringList tops = topFolders(archiveEntries(defaultArchive()));
    ASSERT_EQ(tops.size(), 1);
    // A freshly drawn identifier.
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^p[0-9]{2,6}$")).match(tops.first()).hasMatch())
        << tops.first().toStdString();
}

TEST_F(BuildCommandTest, ReportsReferencesToCheckAndStrictBuildsNothingThen) {
    dir.write(QStringLiteral("pages/index.html"),
              "#FRONT#\n<img src=\"b.png\">\n<a href=\"download.html\">free</a>\n"
              "<script>show('a.png')</script>");
    pagesBefore = fingerprint(pages);
    const QString report = QStringLiteral(
        "ostrel-build: References to check (3):\n"
        "  index.html:2: \"b.png\" names no file of the folder\n"
        "  index.html:3: \"download.html\" links to the download page and would give the product "
        "away; it leads to the sales page instead\n"
        "  index.html:4: \"a.png\" in a script is left as written and may not be found on "
        "WordPress\n");
    EXPECT_EQ(run(arguments({QStringLiteral("--strict")})), 1);
    EXPECT_TRUE(errText.contains(report)) << errText.toStdString();
    EXPECT_TRUE(errText.endsWith(QStringLiteral("--strict: the pages hold 3 references to check; "
                                                "nothing was built.\n")))
        << errText.toStdString();
    EXPECT_TRUE(QDir(dir / QStringLiteral("program/output")).isEmpty()); // no archive, no leftovers
    EXPECT_EQ(run(arguments()), 0) << errText.toStdString();
    EXPECT_TRUE(errText.contains(report)) << errText.toStdString();
    EXPECT_TRUE(QFileInfo(defaultArchive()).isFile());
}

TEST_F(BuildCommandTest, TemplateOutputAndIdentifierCanBeGiven) {
    const QString otherTemplate = dir / QStringLiteral("mytemplate");
    QDir().rename(dir / QStringLiteral("program/plugintemplatepro"), otherTemplate);
    const QString output = dir / QStringLiteral("out");
    EXPECT_EQ(
        run(arguments({QStringLiteral("--template"), otherTemplate, QStringLiteral("--output"),
                       output, QStringLiteral("--id"), QStringLiteral("shop_1")})),
        0)
        << errText.toStdString();
    EXPECT_EQ(outText, output + QStringLiteral("/myplugin.zip\n"));
    EXPECT_EQ(topFolders(archiveEntries(output + QStringLiteral("/myplugin.zip"))),
              QStringList{QStringLiteral("shop_1")});
    EXPECT_FALSE(QFileInfo::exists(defaultArchive()));
}

TEST_F(BuildCommandTest, DeliveryFilesAreDetectedOrChosen) {
    dir.write(QStringLiteral("pages/download.html"),
              "#BACK# <a href=\"files/book.pdf\">book</a> <a href=\"a.png\">picture</a>");
    dir.write(QStringLiteral("pages/files/book.pdf"), "%PDF");
    dir.write(QStringLiteral("pages/files/bonus.zip"), "PK");
    pagesBefore = fingerprint(pages);
    struct Case {
        QStringList options;
        int exitCode;
        QString printed;      // on the error output
        QByteArray delivered; // the list inside the plugin
    };
    const QList<Case> cases{
        {{},
         0,
         "(detected; --deliver or --deliver-none to change):\n  files/book.pdf\n",
         "\t'files/book.pdf',\n"},
        {{"--deliver", "files/bonus.zip", "--deliver", "./files/book.pdf", "--deliver",
          pages + "/files/bonus.zip"},
         0,
         "(chosen):\n  files/bonus.zip\n  files/book.pdf\n",
         "\t'files/bonus.zip',\n\t'files/book.pdf',\n"},
        {{"--deliver-none"}, 0, "none; every file of the plugin stays public", ""},
        {{"--deliver", "files/missing.pdf"}, 1, "\"files/missing.pdf\" is not a file", {}},
        {{"--deliver", "../program/plugintemplatepro/plugin.php"},
         1,
         "must be given by its path",
         {}},
        {{"--deliver", "files/book.pdf", "--deliver-none"}, 2, "exclude each other", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options.join(' ').toStdString());
        QFile::remove(defaultArchive());
        EXPECT_EQ(run(arguments(c.options + QStringList{"--id", "p1"})), c.exitCode);
        EXPECT_TRUE(errText.contains(c.printed)) << errText.toStdString();
        if (c.exitCode != 0) {
            EXPECT_TRUE(outText.isEmpty());
            EXPECT_FALSE(QFileInfo::exists(defaultArchive()));
            continue;
        }
        TempFolder unpacked;
        ASSERT_TRUE(extractArchive(defaultArchive(), unpacked.path()));
        EXPECT_TRUE(readBytes(unpacked / QStringLiteral("p1/modules/delivery.php"))
                        .endsWith("return array(\n" + c.delivered + ");\n"));
    }
}

TEST_F(BuildCommandTest, AProductFileCarriesTheProductToItsNextVersion) {
    const QString record = dir / QStringLiteral("herbs.json");
    const QStringList productFile{QStringLiteral("--product-file"), record};
    EXPECT_EQ(run(arguments(productFile + QStringList{"--id", "shop_1", "--deliver", "a.png"})), 0)
        << errText.toStdString();
    const ProductRecord first = LoadProductRecord(record);
    EXPECT_EQ(first.identifier, QStringLiteral("shop_1"));
    EXPECT_EQ(first.details.name, QStringLiteral("My Plugin"));
    EXPECT_EQ(first.deliveryFiles, QStringList{QStringLiteral("a.png")});
    EXPECT_EQ(first.lastBuiltVersion, QStringLiteral("1.0"));

    // The next version: the places and the version, and one detail changed.
    EXPECT_EQ(run(QStringList{"ostrel-build", "--pages", pages, "--front", "index.html",
                              "--download", "download.html", "--version", "1.1", "--description",
                              "A better guide", "--yes"} +
                  productFile),
              0)
        << errText.toStdString();
    EXPECT_TRUE(errText.contains("(from the product file;")) << errText.toStdString();
    EXPECT_EQ(topFolders(archiveEntries(defaultArchive())), QStringList{QStringLiteral("shop_1")});
    TempFolder unpacked;
    ASSERT_TRUE(extractArchive(defaultArchive(), unpacked.path()));
    EXPECT_TRUE(readBytes(unpacked / QStringLiteral("shop_1/modules/delivery.php"))
                    .endsWith("return array(\n\t'a.png',\n);\n"));
    const ProductRecord second = LoadProductRecord(record);
    EXPECT_EQ(second.identifier, QStringLiteral("shop_1"));
    EXPECT_EQ(second.details.name, QStringLiteral("My Plugin"));
    EXPECT_EQ(second.details.description, QStringLiteral("A better guide"));
    EXPECT_EQ(second.lastBuiltVersion, QStringLiteral("1.1"));
}

TEST_F(BuildCommandTest, AProductFileThatCannotServeIsRefusedAndKept) {
    const QString record = dir / QStringLiteral("herbs.json");
    struct Case {
        const char* what;
        QString file;
        QByteArray content; // written first unless empty
        QStringList options;
        int exitCode;
        QString message;
    };
    const QList<Case> cases{
        {"damaged", record, "{\"format\": \"ostrel-product\"", arguments(), 1,
         "is damaged: it is not JSON"},
        {"newer", record, "{\"format\": \"ostrel-product\", \"formatVersion\": 3}", arguments(), 1,
         "has format version 3"},
        {"a folder", dir.makeFolder("folder.json"), {}, arguments(), 1, "folder.json"},
        {"in the pages",
         pages + "/product.json",
         {},
         arguments(),
         1,
         "must not lie inside the pages folder"},
        {"in no folder",
         dir / QStringLiteral("none/p.json"),
         {},
         arguments(),
         1,
         "folder " + dir / QStringLiteral("none") + " does not exist"},
        {"new, details missing",
         record,
         {},
         arguments().mid(0, 7),
         2,
         "--name is required (see --help); the product file " + record + " does not exist yet"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(record);
        if (!c.content.isEmpty())
            writeBytes(c.file, c.content);
        EXPECT_EQ(run(c.options + QStringList{"--product-file", c.file}), c.exitCode);
        EXPECT_TRUE(errText.contains(c.message)) << errText.toStdString();
        EXPECT_TRUE(launcher.runs.isEmpty());
        EXPECT_FALSE(QFileInfo::exists(dir / QStringLiteral("program/output")));
        if (!c.content.isEmpty())
            EXPECT_EQ(readBytes(c.file), c.content);
        else
            EXPECT_FALSE(QFileInfo(c.file).isFile());
    }
}

TEST_F(BuildCommandTest, MissingTagsWarnButStillBuild) {
    dir.write(QStringLiteral("pages/index.html"), "#front# only lower case");
    dir.write(QStringLiteral("pages/download.html"), "no tag");
    pagesBefore = fingerprint(pages);
    EXPECT_EQ(run(arguments()), 0) << errText.toStdString();
    EXPECT_TRUE(errText.contains(QStringLiteral("warning"))) << errText.toStdString();
    EXPECT_TRUE(errText.contains(QStringLiteral("#FRONT#")));
    EXPECT_TRUE(errText.contains(QStringLiteral("#BACK#")));
    EXPECT_TRUE(QFileInfo(defaultArchive()).isFile());
}

TEST_F(BuildCommandTest, AnExistingArchiveIsReplacedOnlyWithYes) {
    const QByteArray old("an older archive");
    dir.write(QStringLiteral("program/output/myplugin.zip"), old);
    EXPECT_EQ(run(arguments()), 1);
    EXPECT_TRUE(errText.contains(QStringLiteral("--yes"))) << errText.toStdString();
    EXPECT_EQ(readBytes(defaultArchive()), old);
    EXPECT_TRUE(launcher.runs.isEmpty());

    EXPECT_EQ(
        run(arguments({QStringLiteral("--yes"), QStringLiteral("--id"), QStringLiteral("p7")})), 0)
        << errText.toStdString();
    EXPECT_EQ(topFolders(archiveEntries(defaultArchive())), QStringList{QStringLiteral("p7")});
}

TEST_F(BuildCommandTest, BadInputExitsWithOneAndNamesTheProblem) {
    QStringList args = arguments();
    args[args.indexOf(QStringLiteral("index.html"))] = QStringLiteral("nothere.html");
    EXPECT_EQ(run(args), 1);
    EXPECT_TRUE(errText.contains(QStringLiteral("nothere.html"))) << errText.toStdString();

    args = arguments();
    args[args.indexOf(QStringLiteral("download.html"))] = QStringLiteral("../outside.html");
    dir.write(QStringLiteral("outside.html"), "#BACK#");
    EXPECT_EQ(run(args), 1);
    EXPECT_TRUE(errText.contains(QStringLiteral("outside.html"))) << errText.toStdString();

    EXPECT_EQ(run(arguments({QStringLiteral("--output"), pages + QStringLiteral("/out")})), 1);
    EXPECT_EQ(run(arguments({QStringLiteral("--output"), pages})), 1);
    EXPECT_EQ(run(arguments({"--output", dir.link("to-pages", pages) + "/out"})), 1);

    for (const QString& id : {QStringLiteral("../x"), QStringLiteral("my id")}) {
        EXPECT_EQ(run(arguments({QStringLiteral("--id"), id})), 1);
        EXPECT_TRUE(errText.contains(QStringLiteral("unique identifier"))) << errText.toStdString();
    }

    // A folder named like the identifier is not the build's to touch.
    const QString letter = dir.write(QStringLiteral("Documents/letter.txt"), "mine");
    EXPECT_EQ(run(arguments({"--output", dir.path(), "--id", "Documents"})), 0);
    EXPECT_EQ(readBytes(letter), "mine");
    QFile::remove(dir / QStringLiteral("myplugin.zip"));
    launcher.runs.clear();

    args = arguments();
    args[args.indexOf(pages)] = dir / QStringLiteral("missing");
    EXPECT_EQ(run(args), 1);

    // A build error comes out as the build's message.
    QDir(dir / QStringLiteral("program/plugintemplatepro")).removeRecursively();
    EXPECT_EQ(run(arguments()), 1);
    EXPECT_TRUE(errText.contains(QStringLiteral("Error during plugin creation")))
        << errText.toStdString();
    EXPECT_TRUE(launcher.runs.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(defaultArchive()));
}

TEST(BuildCommandProgram, BuildsTheSampleProduct) {
    const QString program =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../ostrel/ostrel-build");
    const QString sample =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../../examples/sample-product");
    ASSERT_TRUE(QFileInfo(program).isExecutable()) << program.toStdString();
    ASSERT_TRUE(QFileInfo(sample).isDir()) << sample.toStdString();
    TempFolder output;
    const QStringList sampleBefore = fingerprint(sample);
    QProcess process;
    process.start(
        program,
        QStringList{QStringLiteral("--pages"), sample, QStringLiteral("--output"), output.path()} +
            QStringLiteral("--front|index.html|--download|download.html|--name|"
                           "Balcony Herbs|--uri|https://example.org/herbs|"
                           "--description|A starter guide|--version|1.0|--author|"
                           "Little Green Press|--author-uri|https://example.org|"
                           "--license|GPL2")
                .split(QLatin1Char('|')));
    ASSERT_TRUE(process.waitForFinished(-1));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const QString printed = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    EXPECT_EQ(printed, output / QStringLiteral("balconyherbs.zip"));
    EXPECT_TRUE(QFileInfo(printed).isFile());
    EXPECT_EQ(fingerprint(sample), sampleBefore);
}

} // namespace
