// The main window and the plugin details window under faults and bad input: a message box
// says what went wrong, nothing outside the program's tmp and output changes, and the window
// goes on working.
#include "app/Form2Fixture.h"
#include "builder/frmConvert.h"
#include "fakes/FakeLauncher.h"
#include "faults/FaultSupport.h"
#include "support/Fingerprint.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kOldArchive("an older archive");

class GuiFaults : public Form2Fixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(program.path()));
        ASSERT_TRUE(copyTree(builtProgramFolder() + QStringLiteral("/plugintemplatepro"),
                             program.templateFolder()));
        root.write(QStringLiteral("elsewhere/keep.txt"), "keep");
    }

    // As start(), but "Create Plugin" opens the real details window, which builds at once.
    void startBuilding() {
        browser = new FakeWebBrowser;
        auto openConvertWindow = [this](const QString& front, const QString& download,
                                        const QString& /*sourceFolder*/) {
            frmConvert window(program, front, download, messages, launcher);
            window.txtPluginID->setText(QStringLiteral("p42"));
            window.txtPlugin_Name->setText(QStringLiteral("My Plugin"));
            window.txtPlugin_Uri->setText(QStringLiteral("https://example.com/my-plugin"));
            window.txtPlugin_Description->setPlainText(QStringLiteral("A guide"));
            window.txtPlugin_Author->setText(QStringLiteral("Ann"));
            window.txtPlugin_AuthorUrl->setText(QStringLiteral("https://example.com/"));
            if (beforeBuild)
                beforeBuild();
            window.Command3_Click();
        };
        form = std::make_unique<Form2>(
            program, browser, Form2Services{messages, input, folders, openConvertWindow, [] {}});
        form->tmrHTMLSourceMonitor->stop();
        form->tmrRemoveMsgs->stop();
    }

    void designate(const QString& front, const QString& download) {
        form->Combo1->setCurrentIndex(form->Combo1->findText(work(front)));
        form->cmdSetasFE_Click();
        form->Combo1->setCurrentIndex(form->Combo1->findText(work(download)));
        form->cmdSetasDownloadPage_Click();
    }

    QStringList outside() const {
        return fingerprint(root.path(), {program.workFolder(), program.outputFolder()});
    }

    bool workFolderHoldsLinks() const {
        bool found = false;
        for (const QString& line : fingerprint(program.workFolder()))
            found = found || line.contains(QStringLiteral(" -> "));
        return found;
    }

    void TearDown() override {
        form.reset();
        removeTreeRaw(QFile::encodeName(root.path()));
    }

    QString archive() const { return program.outputFolder() + QStringLiteral("/myplugin.zip"); }

    FakeLauncher launcher;
    std::function<void()> beforeBuild;
};

TEST_F(GuiFaults, BuildFaultsShowAnErrorKeepTheOldArchiveAndTheNextBuildWorks) {
    const QString site = makeSite(QStringLiteral("site"));
    startBuilding();
    loadTyped(site);
    designate(QStringLiteral("b.html"), QStringLiteral("c.htm"));
    root.write(QStringLiteral("program/output/myplugin.zip"), kOldArchive);
    const QString fake7za = program.path() + QStringLiteral("/7za");

    struct Case {
        const char* what;
        std::function<void()> breakIt, mendIt;
        QString expected;
    };
    const QList<Case> cases{
        {"designated page deleted after the tag check",
         [&] { beforeBuild = [&] { QFile::remove(work(QStringLiteral("b.html"))); }; },
         [&] {
             beforeBuild = nullptr;
             QFile::copy(site + QStringLiteral("/b.html"), work(QStringLiteral("b.html")));
         },
         work(QStringLiteral("b.html"))},
        {"archiver killed halfway",
         [&] {
             root.write(QStringLiteral("program/7za"),
                        "#!/bin/sh\npart= prev=\nfor a; do [ \"$prev\" = -- ] && "
                        "[ -z \"$part\" ] && part=$a; prev=$a; done\n"
                        "printf 'PK\\003\\004 half' > \"$part\"\nkill -9 $$\n");
             QFile::setPermissions(fake7za, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
         },
         [&] { QFile::remove(fake7za); }, QStringLiteral("stopped abnormally")},
        {"output folder read-only",
         [&] { ASSERT_TRUE(makeReadOnlyFolder(program.outputFolder())); },
         [&] { makeWritableFolder(program.outputFolder()); },
         // The build's staging folder cannot be made there.
         program.outputFolder() + QStringLiteral("/.ostrel-build-")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.breakIt();
        const QStringList before = outside();
        messages.shown.clear();
        form->Command3_Click();
        const QStringList after = outside();
        c.mendIt();
        EXPECT_EQ(after, before);
        // The site delivers nothing, which the window asks about first.
        ASSERT_EQ(messages.titles(),
                  (QStringList{QStringLiteral("No Delivery Files"),
                               QStringLiteral("Replace Plugin"), QStringLiteral("Error")}));
        EXPECT_TRUE(messages.shown.last().text.startsWith(
            QStringLiteral("Error during plugin creation. Error Number:")));
        EXPECT_TRUE(messages.shown.last().text.contains(c.expected))
            << messages.shown.last().text.toStdString();
        EXPECT_EQ(readBytes(archive()), kOldArchive);
        EXPECT_EQ(QDir(program.outputFolder())
                      .entryList({QStringLiteral("*.part"), QStringLiteral("*.zip")},
                                 QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("myplugin.zip")});
        EXPECT_TRUE(launcher.openedFolders.isEmpty());
    }

    messages.shown.clear();
    form->Command3_Click();
    EXPECT_EQ(messages.titles(),
              (QStringList{QStringLiteral("No Delivery Files"), QStringLiteral("Replace Plugin"),
                           QStringLiteral("Done")}));
    EXPECT_TRUE(readBytes(archive()).startsWith("PK"));
}

TEST_F(GuiFaults, OddNamesAreCopiedIntoTheWorkFolderByteForByte) {
    const QByteArray site = QFile::encodeName(root / QStringLiteral("-my \"odd\" site"));
    const QMap<QByteArray, QByteArray> files{
        {"a b.html", "blank"},
        {"\"quoted\" 'page'.htm", "quotes"},
        {"new\nline.html", "newline"},
        {"-dash.html", "dash"},
        {"caf\xE9.html", "latin-1 name"},
        {" lead.htm", "leading blank"},
        {"back\\slash.html", "backslash"},
        {"dir \xFF\n\"x\"/-f.png", "odd folder"},
        {"--/ x.htm", "not a top-level page"},
    };
    for (auto it = files.begin(); it != files.end(); ++it)
        writeRaw(site + '/' + it.key(), it.value());
    const QStringList before = outside();
    start();
    loadTyped(QFile::decodeName(site));
    form->tmrHTMLSourceMonitor_Timer();

    EXPECT_EQ(messages.titles(), QStringList{QStringLiteral("Reminder")});
    EXPECT_EQ(filesUnder(QFile::encodeName(program.workFolder())), filesUnder(site));
    EXPECT_EQ(outside(), before);
    const QStringList listed = entries();
    EXPECT_EQ(listed.size(), 7) << listed.join(QLatin1Char('|')).toStdString();
    for (const char* page : {"a b.html", "\"quoted\" 'page'.htm", "new\nline.html", "-dash.html",
                             " lead.htm", "back\\slash.html"})
        EXPECT_TRUE(listed.contains(work(QString::fromUtf8(page)))) << page;
}

TEST_F(GuiFaults, LinksOutOfTheFolderAreCopiedAsFilesAndLoopsEnd) {
    const QString site = makeSite(QStringLiteral("site"));
    const QString elsewhere = root / QStringLiteral("elsewhere");
    root.write(QStringLiteral("elsewhere/style.css"), "outside style");
    root.write(QStringLiteral("elsewhere/shared/x.png"), "outside picture");
    root.write(QStringLiteral("elsewhere/victim/precious.txt"), "precious");
    root.link(QStringLiteral("site/style.css"), elsewhere + QStringLiteral("/style.css"));
    root.link(QStringLiteral("site/shared"), elsewhere + QStringLiteral("/shared"));
    root.link(QStringLiteral("site/images/up"), QStringLiteral(".."));
    root.link(QStringLiteral("elsewhere/shared/back"), site);
    root.link(QStringLiteral("site/self"), QStringLiteral("self"));
    root.link(QStringLiteral("site/dangling"), QStringLiteral("nowhere"));
    // The work folder left by an earlier run is itself a link out.
    root.link(QStringLiteral("program/tmp"), elsewhere + QStringLiteral("/victim"));
    const QStringList before = outside();

    start();
    EXPECT_TRUE(QFileInfo(program.workFolder()).isDir());
    EXPECT_FALSE(QFileInfo(program.workFolder()).isSymLink());
    loadTyped(site);
    ASSERT_EQ(messages.titles(), (QStringList{QStringLiteral("Reminder"),
                                              QStringLiteral("Some Files Were Not Copied")}));
    for (const char* name : {"up", "self", "dangling", "back"})
        EXPECT_TRUE(messages.shown.last().text.contains(QLatin1String(name))) << name;
    EXPECT_EQ(entries().size(), 3);
    EXPECT_EQ(readBytes(work(QStringLiteral("style.css"))), "outside style");
    EXPECT_EQ(readBytes(work(QStringLiteral("shared/x.png"))), "outside picture");
    // Edits in the work folder can never reach through to the outside files.
    EXPECT_FALSE(workFolderHoldsLinks());
    EXPECT_EQ(outside(), before);

    // Emptying the work folder, on a new load and on a new start, leaves link targets alone.
    root.link(QStringLiteral("program/tmp/planted"), elsewhere + QStringLiteral("/victim"));
    loadTyped(site);
    form.reset();
    start();
    EXPECT_EQ(outside(), before);
    EXPECT_TRUE(QDir(program.workFolder()).isEmpty());
}

// Named Slow so a quick run can leave it out (--gtest_filter=-*Slow*).
TEST_F(GuiFaults, Slow_AHundredThousandFilesLoadAndThePagesAreListed) {
    const QByteArray site = QFile::encodeName(root / QStringLiteral("big"));
    ASSERT_EQ(::mkdir(site.constData(), 0755), 0);
    auto create = [](const QByteArray& path) {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        const bool ok = fd >= 0 && ::write(fd, "x", 1) == 1;
        return ::close(fd) == 0 && ok;
    };
    QStringList pages;
    int made = 0;
    for (int i = 0; i < 2000; ++i, ++made) {
        const QByteArray name = "page" + QByteArray::number(i).rightJustified(5, '0') + ".html";
        ASSERT_TRUE(create(site + '/' + name));
        pages << work(QString::fromLatin1(name));
    }
    for (int i = 0; i < 58000; ++i, ++made)
        ASSERT_TRUE(create(site + "/asset" + QByteArray::number(i) + ".txt"));
    for (int d = 0; d < 40; ++d) {
        const QByteArray folder = site + "/d" + QByteArray::number(d);
        ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
        for (int i = 0; i < 1000; ++i, ++made)
            ASSERT_TRUE(create(folder + "/f" + QByteArray::number(i) + ".png"));
    }
    ASSERT_EQ(made, 100000);
    const QStringList before = outside();

    start();
    loadTyped(QFile::decodeName(site));
    EXPECT_EQ(messages.titles(), QStringList{QStringLiteral("Reminder")});
    EXPECT_EQ(entries(), pages);
    EXPECT_EQ(filesUnder(QFile::encodeName(program.workFolder())).size(), 100000);
    EXPECT_EQ(outside(), before);
}

} // namespace
