#include "builder/PluginBuilder.h"
#include "builder/FolderIndexes.h"
#include "builder/PageConversion.h"
#include "builder/PluginHeader.h"
#include "fakes/FakeLauncher.h"
#include "fakes/FakeProgress.h"
#include "support/ArchiveTools.h"
#include "support/Fingerprint.h"
#include "support/TempFolder.h"
#include "support/TestTemplate.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>

namespace {

QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

const QByteArray kPicture("\x89PNG\r\n\x1A\n\0\0 picture", 18);

class PluginBuilderTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeTemplate(
            dir / QStringLiteral("template"),
            {.plugin = "#header#\r\n<?php\r\n$menu = '#menuname#';\r\n$id = '#prefix#';\r\n",
             .page = "<?php $front = get_option('#prefix#_front'); ?>\r\n<div>#header#</div>",
             .cpt = "<?php register('#prefix#');\n",
             .loader = "<?php load('#prefix#'); ?>\n",
             .thanks = "<?php $back = get_option('#prefix#_back'); ?>\r\n"});

        dir.write(QStringLiteral("pages/index.html"),
                  "<html><body><img src=\"images/a.png\" alt=\"caf\xC3\xA9\">"
                  "<img src='images/a.png'>#FRONT#</body></html>");
        dir.write(QStringLiteral("pages/download.html"),
                  "<p>#BACK#</p><a href=\"files/book.pdf\">get</a>");
        dir.write(QStringLiteral("pages/more/about.html"),
                  "<a href=\"../index.html#top\"><img src=\"../images/a.png\">#FRONT#</a>");
        dir.write(QStringLiteral("pages/images/a.png"), kPicture);
        dir.write(QStringLiteral("pages/files/book.pdf"), "%PDF");
        dir.write(QString::fromUtf8("pages/notes/r\xC3\xA9sum\xC3\xA9.txt"),
                  "na\xC3\xAFve \xE2\x82\xAC text");
        dir.makeFolder(QStringLiteral("program"));
        pagesBefore = fingerprint(dir / QStringLiteral("pages"));
    }

    BuildRequest request(const QString& prefix = QStringLiteral("pid1")) const {
        BuildRequest r;
        r.pagesFolder = dir / QStringLiteral("pages");
        r.templateFolder = dir / QStringLiteral("template");
        r.outputFolder = dir / QStringLiteral("output");
        r.programFolder = dir / QStringLiteral("program");
        r.frontPage = r.pagesFolder + QStringLiteral("/index.html");
        r.downloadPage = r.pagesFolder + QStringLiteral("/download.html");
        r.details = {QStringLiteral("My Plugin"),     QStringLiteral("https://example.org/p"),
                     QStringLiteral("Sells a guide"), QStringLiteral("1.0"),
                     QStringLiteral("Ann"),           QStringLiteral("https://example.org"),
                     QStringLiteral("GPL2")};
        r.pluginPrefix = prefix;
        return r;
    }

    QString archivePath() const { return dir / QStringLiteral("output/myplugin.zip"); }

    // A build that must fail: checks the message's form and returns its number and description.
    BuildError failedBuild(const BuildRequest& r) {
        try {
            PluginBuilder(launcher).build(r);
        } catch (const BuildError& error) {
            static const QRegularExpression form(
                QStringLiteral("^Error during plugin creation\\. Error Number:-?\\d+ "
                               "Description:\\S"),
                QRegularExpression::DotMatchesEverythingOption);
            EXPECT_TRUE(form.match(error.message()).hasMatch()) << error.message().toStdString();
            EXPECT_NE(error.number, 0);
            return error;
        }
        ADD_FAILURE() << "the build did not fail";
        return {};
    }

    void expectOldArchiveKeptAndNoPartLeft(const QByteArray& old) {
        EXPECT_EQ(readBytes(archivePath()), old);
        EXPECT_EQ(entriesOf(dir / QStringLiteral("output")), QStringList{"myplugin.zip"});
    }

    TempFolder dir;
    FakeLauncher launcher;
    QStringList pagesBefore;
};

TEST_F(PluginBuilderTest, BuildsOneArchiveHoldingThePersonalisedPluginFolder) {
    const BuildRequest r = request();
    const QString archive = PluginBuilder(launcher).build(r);

    EXPECT_EQ(archive, archivePath());
    EXPECT_EQ(entriesOf(r.outputFolder), QStringList{QStringLiteral("myplugin.zip")});
    EXPECT_EQ(fingerprint(r.pagesFolder), pagesBefore);

    const QStringList entries = archiveEntries(archive);
    EXPECT_EQ(topFolders(entries), QStringList{QStringLiteral("pid1")});
    TempFolder unpacked;
    ASSERT_TRUE(extractArchive(archive, unpacked.path()));
    const QString plugin = unpacked / QStringLiteral("pid1");

    EXPECT_EQ(readBytes(plugin + QStringLiteral("/plugin.php")),
              BuildPluginHeader(r.details, QStringLiteral("pid1")).toUtf8() +
                  "<?php\n$menu = 'My Plugin';\n$id = 'pid1';\n");
    EXPECT_EQ(readBytes(plugin + QStringLiteral("/modules/template/template.php")),
              QByteArray("<?php $front = get_option('pid1_front'); ?><div>#header#</div>"));
    EXPECT_EQ(readBytes(plugin + QStringLiteral("/modules/template/thanks.php")),
              QByteArray("<?php $back = get_option('pid1_back'); ?>"));
    EXPECT_EQ(readBytes(plugin + QStringLiteral("/modules/cpt.php")),
              QByteArray("<?php register('pid1');\n"));
    EXPECT_EQ(readBytes(plugin + QStringLiteral("/modules/cpt_template_loader.php")),
              QByteArray("<?php load('pid1'); ?>\n"));

    const QByteArray url = AssetUrlPrefix().toUtf8();
    const QByteArray guard = ConvertedPageGuard().toUtf8();
    const QByteArray front = FrontTags().replacement.toUtf8();
    EXPECT_EQ(readBytes(plugin + QStringLiteral("/modules/template/converted_index.php")),
              guard + "<html><body><img src=\"" + url + "images/a.png\" alt=\"caf\xC3\xA9\">" +
                  "<img src='" + url + "images/a.png'>" + front + "</body></html>");
    EXPECT_EQ(readBytes(plugin + QStringLiteral("/modules/template/converted_download.php")),
              guard + "<p>" + BackTags().replacement.toUtf8() + "</p><a href=\"" + url +
                  "files/book.pdf\">get</a>");

    // Every other page becomes a page of the plugin, and only converted pages are served.
    EXPECT_EQ(
        readBytes(plugin + QStringLiteral("/modules/template/converted_page_1.php")),
        guard + "<a href=\"<?php echo esc_url( $page_url( 'index.html' ) ); ?>#top\"><img src=\"" +
            url + "images/a.png\">" + front + "</a>");
    EXPECT_EQ(readBytes(plugin + QStringLiteral("/modules/site_pages.php")),
              "<?php\ndefined( 'ABSPATH' ) || exit;\n\n// The site's pages, relative to "
              "modules/template: the sales page, the download page, and\n// the converted file of "
              "every other page, which the plugin serves at an address of its own.\nreturn "
              "array(\n\t'sales'    => 'index.html',\n\t'download' => 'download.html',\n\t'pages'  "
              "  => array(\n\t\t'more/about.html' => 'converted_page_1.php',\n\t),\n);\n");
    for (const char* page : {"index.html", "download.html", "more/about.html"})
        EXPECT_FALSE(entries.contains(QStringLiteral("pid1/modules/template/") + page)) << page;
    const QStringList files{QStringLiteral("images/a.png"), QStringLiteral("files/book.pdf"),
                            QStringLiteral("notes/r\u00e9sum\u00e9.txt")};
    for (const QString& file : files)
        EXPECT_EQ(readBytes(plugin + QStringLiteral("/modules/template/") + file),
                  readBytes(r.pagesFolder + '/' + file))
            << file.toStdString();
}

TEST_F(PluginBuilderTest, WritesTheDeliveryLists) {
    BuildRequest r = request();
    r.deliveryFiles = {QStringLiteral("files/book.pdf"),
                       QStringLiteral("notes/r\u00e9sum\u00e9.txt")};
    TempFolder unpacked;
    const QString archive = PluginBuilder(launcher).build(r);
    ASSERT_TRUE(extractArchive(archive, unpacked.path()));
    const QString modules = unpacked / QStringLiteral("pid1/modules/");
    EXPECT_TRUE(
        readBytes(modules + QStringLiteral("delivery.php"))
            .endsWith("return array(\n\t'files/book.pdf',\n\t'notes/r\xC3\xA9sum\xC3\xA9.txt',"
                      "\n);\n"));
    EXPECT_TRUE(readBytes(modules + QStringLiteral("private_pages.php"))
                    .endsWith("return array(\n\t'download.html',\n);\n"));

    // The files wait in a folder nobody can guess, named in delivery_folder.php, and not where
    // the pages are; the archive carries no hidden files such as server rules.
    const QRegularExpression named(QStringLiteral("return '(product-[a-z0-9]{32})';\n$"));
    const QRegularExpressionMatch folder =
        named.match(QString::fromUtf8(readBytes(modules + QStringLiteral("delivery_folder.php"))));
    ASSERT_TRUE(folder.hasMatch());
    for (const QString& file : r.deliveryFiles) {
        EXPECT_EQ(readBytes(modules + folder.captured(1) + '/' + file),
                  readBytes(r.pagesFolder + '/' + file));
        EXPECT_FALSE(QFileInfo::exists(modules + QStringLiteral("template/") + file));
    }
    EXPECT_TRUE(QFileInfo::exists(modules + folder.captured(1) + QStringLiteral("/index.php")));
    EXPECT_FALSE(archiveEntries(archive).join('\n').contains(
        QRegularExpression(QStringLiteral("(^|/)\\."))));
}

TEST(FolderIndexes, NeverWriteThroughLinksOrOverAnExistingIndex) {
    TempFolder dir;
    dir.write(QStringLiteral("outside/kept.txt"), "kept");
    dir.write(QStringLiteral("plugin/a/b/index.php"), "mine");
    dir.makeFolder(QStringLiteral("plugin/a/b/c"));
    dir.link(QStringLiteral("plugin/a/linked"), dir / QStringLiteral("outside"));
    dir.link(QStringLiteral("plugin/a/index.php"), dir / QStringLiteral("outside/index.php"));
    AddFolderIndexes(dir / QStringLiteral("plugin"));
    for (const char* made : {"plugin/index.php", "plugin/a/b/c/index.php"})
        EXPECT_TRUE(readBytes(dir / QString::fromUtf8(made)).startsWith("<?php")) << made;
    EXPECT_EQ(readBytes(dir / QStringLiteral("plugin/a/b/index.php")), QByteArray("mine"));
    EXPECT_EQ(QDir(dir / QStringLiteral("outside")).entryList(QDir::Files),
              QStringList{QStringLiteral("kept.txt")});
}

TEST_F(PluginBuilderTest, PacksUnderATemporaryNameInAStagingFolderInTheOutputFolder) {
    const QByteArray old("an older archive");
    dir.write(QStringLiteral("output/myplugin.zip"), old);
    QList<QByteArray> archiveWhileRunning;
    launcher.scripted = [&](const FakeLauncher::Run& run) {
        archiveWhileRunning << readBytes(archivePath());
        return QtLauncher().runAndWait(run.program, run.arguments, run.workingFolder);
    };
    const BuildRequest r = request();
    PluginBuilder(launcher).build(r);

    // One run deflates, one stores; both write the same short name in the staging folder.
    ASSERT_EQ(launcher.runs.size(), 2);
    EXPECT_EQ(launcher.runs.first().arguments.last(), QStringLiteral("pid1"));
    QStringList written;
    for (const FakeLauncher::Run& run : launcher.runs) {
        EXPECT_EQ(QFileInfo(run.program).fileName(), QStringLiteral("7za"));
        EXPECT_EQ(QFileInfo(run.workingFolder).absolutePath(), r.outputFolder);
        EXPECT_TRUE(QFileInfo(run.workingFolder).fileName().startsWith(".ostrel-build-"));
        EXPECT_FALSE(run.arguments.contains(QStringLiteral("-r")));
        const int dashes = int(run.arguments.indexOf(QStringLiteral("--")));
        ASSERT_GE(dashes, 0);
        ASSERT_LT(dashes + 1, run.arguments.size());
        written << run.arguments.at(dashes + 1);
        EXPECT_FALSE(QFileInfo::exists(run.workingFolder));
    }
    EXPECT_LT(written.first().size(), 30);
    EXPECT_EQ(written.last(), written.first());
    // The archive stayed as it was until the end.
    EXPECT_EQ(archiveWhileRunning, QList<QByteArray>(2, old));
    EXPECT_EQ(topFolders(archiveEntries(archivePath())), QStringList{QStringLiteral("pid1")});
}

TEST_F(PluginBuilderTest, RebuildMakesAFreshArchiveAndLeavesAFolderNamedLikeTheIdentifier) {
    PluginBuilder(launcher).build(request(QStringLiteral("first")));
    ASSERT_EQ(topFolders(archiveEntries(archivePath())), QStringList{QStringLiteral("first")});

    // A folder left over from an earlier build of the same identifier.
    dir.write(QStringLiteral("output/second/stale.txt"), "stale");
    dir.write(QStringLiteral("output/second/modules/template/old.html"), "old");
    PluginBuilder(launcher).build(request(QStringLiteral("second")));

    const QStringList entries = archiveEntries(archivePath());
    EXPECT_EQ(topFolders(entries), QStringList{QStringLiteral("second")});
    EXPECT_TRUE(entries.contains(QStringLiteral("second/plugin.php")));
    EXPECT_FALSE(entries.contains(QStringLiteral("second/stale.txt")));
    EXPECT_FALSE(entries.contains(QStringLiteral("second/modules/template/old.html")));
    EXPECT_EQ(entriesOf(dir / QStringLiteral("output")),
              (QStringList{QStringLiteral("myplugin.zip"), QStringLiteral("second")}));
    EXPECT_EQ(readBytes(dir / QStringLiteral("output/second/stale.txt")), "stale");
}

TEST_F(PluginBuilderTest, LeftoverStagingFoldersGoButNeverOneInUse) {
    for (const char* name : {"crashed", "inuse", "nolock"})
        dir.write(QStringLiteral("output/.ostrel-build-%1/.ostrel-build.lock").arg(name));
    QFile::remove(dir / QStringLiteral("output/.ostrel-build-nolock/.ostrel-build.lock"));
    const int held = ::open(QFile::encodeName(dir / QStringLiteral("output/.ostrel-build-inuse/"
                                                                   ".ostrel-build.lock")),
                            O_RDWR | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    PluginBuilder(launcher).build(request());
    ::close(held);
    EXPECT_EQ(entriesOf(dir / QStringLiteral("output")),
              (QStringList{".ostrel-build-inuse", ".ostrel-build-nolock", "myplugin.zip"}));
}

TEST_F(PluginBuilderTest, NamesAsLongAsAFileNameMayBeBuild) {
    for (const QString& name : {QString(251, 'n'), QStringLiteral("\u00e9").repeated(125) + 'n'}) {
        BuildRequest r = request();
        r.details.name = name;
        const QString archive = PluginBuilder(launcher).build(r);
        EXPECT_EQ(entriesOf(r.outputFolder), QStringList{QFileInfo(archive).fileName()});
        EXPECT_EQ(QFileInfo(archive).fileName(), ArchiveBaseName(name) + ".zip");
        QFile::remove(archive);
    }
}

TEST_F(PluginBuilderTest, ArchiverFailuresKeepTheOldArchive) {
    const QByteArray old("an older archive");
    dir.write(QStringLiteral("output/myplugin.zip"), old);
    struct Case {
        const char* what;
        std::function<Launcher::Outcome(const FakeLauncher::Run&)> outcome;
        QString expected;
    };
    const QList<Case> cases{
        {"exits non-zero after writing a part",
         [](const FakeLauncher::Run& run) {
             QFile part(run.workingFolder + '/' +
                        run.arguments.at(run.arguments.indexOf(QStringLiteral("--")) + 1));
             if (part.open(QIODevice::WriteOnly))
                 part.write("half an archive");
             return Launcher::Outcome{true, 2, {}, QStringLiteral("Error: disk full")};
         },
         QStringLiteral("disk full")},
        {"cannot start",
         [](const FakeLauncher::Run&) {
             return Launcher::Outcome{false, -1, QStringLiteral("no such program"), {}};
         },
         QStringLiteral("no such program")},
        {"stops abnormally",
         [](const FakeLauncher::Run&) {
             return Launcher::Outcome{true, 0, QStringLiteral("stopped abnormally"), {}};
         },
         QStringLiteral("stopped abnormally")},
        {"succeeds without a file",
         [](const FakeLauncher::Run&) {
             return Launcher::Outcome{true, 0, {}, {}};
         },
         QStringLiteral("no archive")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        launcher.scripted = c.outcome;
        const BuildError error = failedBuild(request());
        EXPECT_TRUE(error.description.contains(c.expected)) << error.description.toStdString();
        EXPECT_TRUE(error.description.contains(archivePath())) << error.description.toStdString();
        expectOldArchiveKeptAndNoPartLeft(old);
    }
    launcher.scripted = [](const FakeLauncher::Run&) { return Launcher::Outcome{true, 7, {}, {}}; };
    EXPECT_EQ(failedBuild(request()).number, 7);
    EXPECT_EQ(fingerprint(dir / QStringLiteral("pages")), pagesBefore);
}

TEST_F(PluginBuilderTest, ACancelAtAnyStageLeavesNoArchiveNoStagingAndTheOldArchive) {
    const QByteArray old("an older archive");
    dir.write(QStringLiteral("output/myplugin.zip"), old);
    // Writes its part, says how far it is, and would pack for a long time.
    const QString archiver = dir.write(
        QStringLiteral("program/7za"),
        "#!/bin/sh\npart= prev=\nfor a; do [ \"$prev\" = -- ] && [ -z \"$part\" ] && part=$a; "
        "prev=$a; done\nprintf 'PK\\003\\004 half' > \"$part\"\nprintf '  0%%\\b\\b\\b\\b 4'\n"
        "sleep 0.1\nprintf '2%% 1 + x'\nexec sleep 30\n");
    QFile::setPermissions(archiver, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    FakeProgress::Step packed{};
    struct Case {
        const char* stage;
        std::function<bool(const FakeProgress::Step&)> cancelAt;
    };
    const QList<Case> cases{
        {"copying", [](const auto& s) { return s.what.startsWith("Copying") && s.done > 0; }},
        {"converting", [](const auto& s) { return s.what.startsWith("Converting"); }},
        {"packing",
         [&](const auto& s) {
             packed = s;
             return s.what.startsWith("Packing") && s.done > 0;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stage);
        FakeProgress progress;
        progress.cancelWhen = [&] {
            return !progress.steps.isEmpty() && c.cancelAt(progress.steps.last());
        };
        EXPECT_THROW(PluginBuilder(launcher).build(request(), &progress), Cancelled);
        expectOldArchiveKeptAndNoPartLeft(old);
    }
    // 7za's 42 % of the first of two runs, read though it came in two pieces.
    EXPECT_EQ(packed.done, 42);
    EXPECT_EQ(packed.total, 200);
    ASSERT_EQ(launcher.runs.size(), 1);
    EXPECT_TRUE(launcher.runs[0].arguments.contains(QStringLiteral("-bsp1")));
}

TEST_F(PluginBuilderTest, AnArchiverThatCannotRunIsReported) {
    const QByteArray old("an older archive");
    dir.write(QStringLiteral("output/myplugin.zip"), old);
    // The program folder's own archiver comes first; this one names a missing interpreter.
    const QString broken =
        dir.write(QStringLiteral("program/7za"), "#!/nonexistent/interpreter\nexit 0\n");
    QFile::setPermissions(broken, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const BuildError error = failedBuild(request());
    ASSERT_EQ(launcher.runs.size(), 1);
    EXPECT_EQ(launcher.runs.first().program, broken);
    EXPECT_TRUE(error.description.contains(broken)) << error.description.toStdString();
    expectOldArchiveKeptAndNoPartLeft(old);
}

TEST_F(PluginBuilderTest, TemplateMustHoldTheFourRequiredFiles) {
    const QStringList required{
        QStringLiteral("plugin.php"), QStringLiteral("modules/template/template.php"),
        QStringLiteral("modules/cpt.php"), QStringLiteral("modules/cpt_template_loader.php")};
    for (const QString& file : required) {
        SCOPED_TRACE(file.toStdString());
        const QString path = dir / (QStringLiteral("template/") + file);
        const QByteArray content = readBytes(path);
        QFile::remove(path);
        const BuildError error = failedBuild(request());
        EXPECT_TRUE(error.description.contains(path)) << error.description.toStdString();
        EXPECT_TRUE(entriesOf(dir / QStringLiteral("output")).isEmpty());
        dir.write(QStringLiteral("template/") + file, content);
    }
    EXPECT_TRUE(launcher.runs.isEmpty());
}

TEST_F(PluginBuilderTest, TemplateWithoutThanksBuilds) {
    QFile::remove(dir / QStringLiteral("template/modules/template/thanks.php"));
    const QStringList entries = archiveEntries(PluginBuilder(launcher).build(request()));
    EXPECT_TRUE(entries.contains(QStringLiteral("pid1/modules/template/converted_download.php")));
    EXPECT_FALSE(entries.contains(QStringLiteral("pid1/modules/template/thanks.php")));
}

TEST_F(PluginBuilderTest, MissingDesignatedPageFailsBeforePacking) {
    const QByteArray old("an older archive");
    dir.write(QStringLiteral("output/myplugin.zip"), old);
    BuildRequest r = request();
    r.frontPage = dir / QStringLiteral("pages/gone.html");
    BuildError error = failedBuild(r);
    EXPECT_EQ(error.number, ENOENT);
    EXPECT_TRUE(error.description.contains(r.frontPage)) << error.description.toStdString();
    expectOldArchiveKeptAndNoPartLeft(old);

    r = request();
    r.downloadPage = dir / QStringLiteral("pages/gone.html");
    error = failedBuild(r);
    EXPECT_TRUE(error.description.contains(r.downloadPage)) << error.description.toStdString();
    expectOldArchiveKeptAndNoPartLeft(old);
    EXPECT_TRUE(launcher.runs.isEmpty());
    EXPECT_EQ(fingerprint(dir / QStringLiteral("pages")), pagesBefore);
}

TEST_F(PluginBuilderTest, RefusesAnInvalidRequestBeforeTouchingAnything) {
    const BuildError error = failedBuild(request(QStringLiteral("my id")));
    EXPECT_EQ(error.number, EINVAL);
    EXPECT_TRUE(error.description.contains(QStringLiteral("unique identifier")));
    BuildRequest r = request();
    r.details.version.clear();
    EXPECT_EQ(failedBuild(r).description, QStringLiteral("All the fields are required."));
    r = request();
    r.deliveryFiles = {QStringLiteral("files/book.pdf"), QStringLiteral("../template/plugin.php")};
    EXPECT_EQ(failedBuild(r).number, EINVAL);
    EXPECT_FALSE(QFileInfo::exists(dir / QStringLiteral("output")));
    EXPECT_TRUE(launcher.runs.isEmpty());
}

TEST_F(PluginBuilderTest, NeverDeletesOrWritesIntoThePagesOrTheTemplate) {
    // The pages where a plugin folder in the output folder would be, or inside it.
    const QString output = dir / QStringLiteral("output");
    auto movePagesTo = [&](BuildRequest& r, const QString& folder) {
        QDir().mkpath(QFileInfo(folder).absolutePath());
        ASSERT_TRUE(QDir().rename(r.pagesFolder, folder));
        r.pagesFolder = folder;
        r.frontPage = folder + QStringLiteral("/index.html");
        r.downloadPage = folder + QStringLiteral("/download.html");
    };
    BuildRequest r = request();
    movePagesTo(r, output + QStringLiteral("/pid1"));
    PluginBuilder(launcher).build(r);
    EXPECT_EQ(fingerprint(r.pagesFolder), pagesBefore);

    movePagesTo(r, output + QStringLiteral("/other/in/pages"));
    r.pluginPrefix = QStringLiteral("other");
    PluginBuilder(launcher).build(r);
    EXPECT_EQ(fingerprint(r.pagesFolder), pagesBefore);

    // The output folder where the template is, inside it, or led into it or the pages by a link.
    r.pluginPrefix = QStringLiteral("template");
    r.outputFolder = dir.path();
    const QStringList templateBefore = fingerprint(r.templateFolder);
    PluginBuilder(launcher).build(r);
    for (const QString& into : {r.templateFolder + QStringLiteral("/out"),
                                dir.link(QStringLiteral("to-template"), r.templateFolder),
                                dir.link(QStringLiteral("to-pages"), r.pagesFolder) + "/out"}) {
        r.outputFolder = into;
        EXPECT_EQ(failedBuild(r).number, EINVAL) << into.toStdString();
    }
    EXPECT_EQ(fingerprint(r.templateFolder), templateBefore);
    EXPECT_EQ(fingerprint(r.pagesFolder), pagesBefore);
    EXPECT_EQ(launcher.runs.size(), 3 * 2); // the three builds that went ahead, two runs each
}

} // namespace
