#include "builder/frmConvert.h"
#include "builder/ProductStore.h"
#include "fakes/FakeLauncher.h"
#include "fakes/FakeServices.h"
#include "support/ArchiveTools.h"
#include "support/TempFolder.h"
#include "support/TestTemplate.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>

namespace {

// A program folder with a small template and a loaded page folder.
class frmConvertTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeTemplate(
            root / QStringLiteral("program/plugintemplatepro"),
            TemplateContents::alike("<?php // #prefix#\r\n?>\r\n#header#", Thanks::LeftOut));
        root.write(QStringLiteral("program/tmp/index.html"), "<img src=\"a.png\"> #FRONT#");
        root.write(QStringLiteral("program/tmp/download.html"),
                   "#BACK# <a href=\"files/guide.pdf\">guide</a>");
        root.write(QStringLiteral("program/tmp/files/guide.pdf"), "%PDF");
        root.write(QStringLiteral("program/tmp/a.png"), "png");
        QDir().mkpath(program.outputFolder());
        window = std::make_unique<frmConvert>(program, program.workFolder() + "/index.html",
                                              program.workFolder() + "/download.html", messages,
                                              launcher);
        typeDetails();
    }

    // What a seller types into the fields that open empty.
    void typeDetails() { typeDetails(*window); }
    static void typeDetails(frmConvert& w) {
        w.txtPlugin_Name->setText(QStringLiteral("My Plugin"));
        w.txtPlugin_Uri->setText(QStringLiteral("https://www.example.com/my-plugin"));
        w.txtPlugin_Description->setPlainText(QStringLiteral("Grow herbs"));
        w.txtPlugin_Author->setText(QStringLiteral("Ann"));
        w.txtPlugin_AuthorUrl->setText(QStringLiteral("https://ann.example.com/"));
    }

    QString archive() const { return program.outputFolder() + QStringLiteral("/myplugin.zip"); }

    TempFolder root;
    ProgramFolder program{root / QStringLiteral("program")};
    FakeMessageBox messages;
    FakeLauncher launcher;
    std::unique_ptr<frmConvert> window;
};

TEST_F(frmConvertTest, OpensWithItsPromptsAsHintsAndAFreshIdentifier) {
    frmConvert fresh(program, program.workFolder() + "/index.html",
                     program.workFolder() + "/download.html", messages, launcher);
    EXPECT_EQ(fresh.windowTitle(), QStringLiteral("Create Plugin"));
    // Field|its hint: an untouched field is empty, so the check asks for it.
    const QList<std::pair<QLineEdit*, QString>> prompts{
        {fresh.txtPlugin_Name, QStringLiteral("My Plugin")},
        {fresh.txtPlugin_Uri, QStringLiteral("https://www.example.com/my-plugin")},
        {fresh.txtPlugin_Author, QStringLiteral("Enter Your Name...")},
        {fresh.txtPlugin_AuthorUrl, QStringLiteral("Enter Your Url ...")}};
    for (const auto& [box, hint] : prompts) {
        EXPECT_TRUE(box->text().isEmpty()) << hint.toStdString();
        EXPECT_EQ(box->placeholderText(), hint);
    }
    EXPECT_TRUE(fresh.txtPlugin_Description->toPlainText().isEmpty());
    EXPECT_EQ(fresh.txtPlugin_Description->placeholderText(),
              QStringLiteral("Enter your description..."));
    EXPECT_EQ(fresh.txtPlugin_Version->text(), QStringLiteral("1.0"));
    EXPECT_EQ(fresh.txtPlugin_License->text(), QStringLiteral("GPL"));
    messages.shown.clear();
    fresh.Command3_Click();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("All the fields are required."));
    const QRegularExpression drawn(QStringLiteral("^p[0-9]{2,6}$"));
    EXPECT_TRUE(drawn.match(window->txtPluginID->text()).hasMatch());
    EXPECT_EQ(window->txtPlugin_AuthorUrl->accessibleName(), QStringLiteral("Author Url:"));
    EXPECT_EQ(window->txtPluginID->accessibleName(), QStringLiteral("Unique Identifier"));
}

// Every field sits inside its frame with a margin, and the frame is filled to its right edge.
TEST_F(frmConvertTest, TheDetailsKeepAMarginInsideTheirFrameAndLeaveNoEmptySide) {
    window->show();
    QCoreApplication::processEvents();
    const QWidget* details = window->txtPlugin_License->parentWidget();
    EXPECT_GE(details->width(), window->layout()->contentsRect().width());
    int rightmost = 0;
    for (QWidget* box : std::initializer_list<QWidget*>{
             window->txtPlugin_Name, window->txtPlugin_Uri, window->txtPlugin_Description,
             window->txtPlugin_Version, window->txtPlugin_Author, window->txtPlugin_AuthorUrl,
             window->txtPlugin_License}) {
        EXPECT_TRUE(details->rect().adjusted(4, 4, -4, -4).contains(box->geometry()))
            << box->accessibleName().toStdString();
        rightmost = qMax(rightmost, box->geometry().right());
    }
    EXPECT_GE(rightmost, details->width() - 16);
}

TEST_F(frmConvertTest, GenerateNewChangesOnlyTheIdentifier) {
    window->txtPlugin_Name->setText(QStringLiteral("Typed"));
    QSet<QString> seen;
    for (int i = 0; i < 20; ++i) {
        window->cmdGenerateIdentifier->click();
        seen << window->txtPluginID->text();
    }
    EXPECT_GT(seen.size(), 1);
    EXPECT_EQ(window->txtPlugin_Name->text(), QStringLiteral("Typed"));
}

TEST_F(frmConvertTest, RefusalsComeInTheImportantBoxAndChangeNothing) {
    const auto refuse = [&](const std::function<void()>& edit, const QString& textPart) {
        window->Form_Load();
        typeDetails();
        edit();
        messages.shown.clear();
        window->Command3_Click();
        ASSERT_EQ(messages.shown.size(), 1);
        EXPECT_EQ(messages.shown[0].title, QStringLiteral("Important"));
        EXPECT_TRUE(messages.shown[0].text.contains(textPart))
            << messages.shown[0].text.toStdString();
    };
    refuse([&] { window->txtPlugin_Author->clear(); },
           QStringLiteral("All the fields are required."));
    refuse([&] { window->txtPluginID->clear(); }, QStringLiteral("identifier"));
    refuse([&] { window->txtPluginID->setText(QStringLiteral("../escape")); },
           QStringLiteral("identifier"));
    refuse([&] { window->txtPlugin_Name->setText(QStringLiteral("a/b")); },
           QStringLiteral("archive"));
    refuse([&] { window->txtPlugin_Description->setPlainText(QStringLiteral("x */ y")); },
           QStringLiteral("Description"));
    refuse([&] { window->txtPlugin_AuthorUrl->setText(QStringLiteral("javascript:alert(1)")); },
           QStringLiteral("Author Url"));
    refuse([&] { window->txtPlugin_Uri->setText(QStringLiteral("www.example.com")); },
           QStringLiteral("Plugin URI"));
    EXPECT_TRUE(launcher.runs.isEmpty());
    EXPECT_TRUE(QDir(program.outputFolder()).isEmpty());
}

TEST_F(frmConvertTest, CreatePluginBuildsTheArchiveReportsDoneAndOpensTheOutput) {
    window->txtPluginID->setText(QStringLiteral("p42"));
    window->Command3->click();
    ASSERT_EQ(messages.titles(), QStringList{QStringLiteral("Done")});
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral(
                  "Done! Your plugin is ready. The software will now open the output window."));
    EXPECT_TRUE(QFileInfo(archive()).isFile());
    EXPECT_FALSE(QFileInfo::exists(program.outputFolder() + QStringLiteral("/p42")));
    EXPECT_EQ(launcher.openedFolders, QStringList{program.outputFolder()});
    EXPECT_EQ(window->Command3->text(), QStringLiteral("Create Plugin"));
    EXPECT_TRUE(window->Command3->isEnabled());
    EXPECT_TRUE(window->Command1->isEnabled());
    // The window says where the plugin is, leads there and to the next step.
    EXPECT_TRUE(window->txtArchive->isVisibleTo(window.get()));
    EXPECT_EQ(window->txtArchive->text(), archive());
    EXPECT_TRUE(window->lblNextStep->text().contains(QStringLiteral("Upload Plugin")));
    window->cmdShowInFolder->click();
    EXPECT_EQ(launcher.shownFiles, QStringList{archive()});
    window->cmdCopyPath->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), archive());

    // A desktop that cannot open folders: the user still learns where the plugin is.
    launcher.desktopOpensFolders = false;
    messages.answers = {MsgResult::Yes}; // replace the archive of the first build
    window->Command3->click();
    EXPECT_EQ(messages.shown.last().title, QStringLiteral("Output Folder"));
    EXPECT_TRUE(messages.shown.last().text.endsWith(archive()))
        << messages.shown.last().text.toStdString();
}

TEST_F(frmConvertTest, TheDeliveryListOffersTheDetectedFilesTickedAndTheChoiceIsBuilt) {
    root.write(QStringLiteral("program/tmp/download.html"),
               "#BACK# <a href=\"files/book.pdf\">book</a> <a href=\"a.png\">picture</a>");
    root.write(QStringLiteral("program/tmp/files/book.pdf"), "%PDF");
    root.write(QStringLiteral("program/tmp/files/extra.zip"), "PK");
    QFile::remove(root / QStringLiteral("program/tmp/files/guide.pdf"));
    window->Form_Load();
    QListWidget* list = window->lstDeliveryFiles;
    EXPECT_TRUE(list->accessibleName().startsWith(QStringLiteral("Delivery files")));
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("files/book.pdf"));
    EXPECT_EQ(list->item(0)->checkState(), Qt::Checked);
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("files/extra.zip"));
    EXPECT_EQ(list->item(1)->checkState(), Qt::Unchecked);

    list->item(0)->setCheckState(Qt::Unchecked);
    list->item(1)->setCheckState(Qt::Checked);
    window->txtPluginID->setText(QStringLiteral("p42"));
    window->Command3_Click();
    ASSERT_EQ(messages.titles(), QStringList{QStringLiteral("Done")});
    TempFolder unpacked;
    ASSERT_TRUE(extractArchive(archive(), unpacked.path()));
    EXPECT_TRUE(readBytes(unpacked / QStringLiteral("p42/modules/delivery.php"))
                    .endsWith("return array(\n\t'files/extra.zip',\n);\n"));

    // Nothing to deliver: the list says so, nothing in it can be ticked, and building asks first,
    // No being the answer Enter gives.
    root.write(QStringLiteral("program/tmp/download.html"), "#BACK#");
    for (const char* file : {"files/book.pdf", "files/extra.zip"})
        QFile::remove(root / QStringLiteral("program/tmp/") + QString::fromUtf8(file));
    window->Form_Load();
    ASSERT_EQ(list->count(), 1);
    EXPECT_FALSE(list->item(0)->flags() & Qt::ItemIsUserCheckable);
    EXPECT_TRUE(window->chosenDeliveryFiles().isEmpty());
    messages.shown.clear();
    messages.answers = {MsgResult::No, MsgResult::Yes};
    window->Command3_Click();
    ASSERT_EQ(messages.titles(), QStringList{QStringLiteral("No Delivery Files")});
    EXPECT_EQ(messages.shown[0].style, MsgStyle::YesNoQuestion | MsgStyle::DefaultButton2);
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("will be public")));
    window->Command3_Click(); // Yes: built, the seller knowing
    EXPECT_EQ(messages.titles().mid(1),
              (QStringList{QStringLiteral("No Delivery Files"), QStringLiteral("Replace Plugin"),
                           QStringLiteral("Done")}));
}

TEST_F(frmConvertTest, TheReportListsTheReferencesToCheckUnderTheirCount) {
    EXPECT_EQ(window->lblReferences->text(), QStringLiteral("References to check (0):"));
    ASSERT_EQ(window->lstReferences->count(), 1);
    EXPECT_TRUE(window->lstReferences->item(0)->text().startsWith(QStringLiteral("None")));

    root.write(QStringLiteral("program/tmp/pages/about.html"),
               "<img src=\"../a.png\">\n<img src=\"lost.png\">");
    window->Form_Load();
    EXPECT_EQ(window->lblReferences->text(), QStringLiteral("References to check (1):"));
    ASSERT_EQ(window->lstReferences->count(), 1);
    EXPECT_EQ(window->lstReferences->item(0)->text(),
              QStringLiteral("pages/about.html:2: \"lost.png\" names no file of the folder"));
}

TEST_F(frmConvertTest, TheWindowIsBusyWhileTheArchiverRuns) {
    QStringList seen;
    launcher.scripted = [&](const FakeLauncher::Run& run) {
        seen << window->Command3->text();
        for (QWidget* w :
             {static_cast<QWidget*>(window->Command3), static_cast<QWidget*>(window->txtPluginID),
              static_cast<QWidget*>(window->cmdGenerateIdentifier),
              static_cast<QWidget*>(window->Command1)})
            EXPECT_FALSE(w->isEnabled());
        window->reject(); // closing is refused while busy
        EXPECT_TRUE(window->isBusy());
        return QtLauncher().runAndWait(run.program, run.arguments, run.workingFolder);
    };
    window->Command3_Click();
    ASSERT_FALSE(seen.isEmpty());
    seen.removeDuplicates(); // the archiver runs more than once
    EXPECT_EQ(seen, QStringList{QStringLiteral("Please Wait...")});
}

TEST_F(frmConvertTest, CancelInTheProgressDialogStopsTheBuildQuietlyAndKeepsTheOldArchive) {
    root.write(QStringLiteral("program/output/myplugin.zip"), "older archive");
    messages.answers = {MsgResult::Yes};
    QStringList dialogNames;
    launcher.scripted = [&](const FakeLauncher::Run& run) {
        // The build runs off the window's thread, which meanwhile serves the dialog.
        QMetaObject::invokeMethod(
            window.get(),
            [&] {
                auto* dialog = window->findChild<QProgressDialog*>();
                if (!dialog)
                    return;
                dialogNames << dialog->windowTitle();
                for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
                    dialogNames << button->accessibleName();
                    button->click();
                }
            },
            Qt::BlockingQueuedConnection);
        bool stopped = false;
        for (int wait = 0; wait < 2000 && !stopped; ++wait, QThread::msleep(5))
            stopped = run.watch.stop();
        return Launcher::Outcome{true, -1, QStringLiteral("the program was stopped"), {}, stopped};
    };
    window->Command3_Click();
    EXPECT_EQ(dialogNames,
              (QStringList{QStringLiteral("Creating the Plugin"), QStringLiteral("Cancel")}));
    EXPECT_EQ(messages.titles(), QStringList{QStringLiteral("Replace Plugin")});
    EXPECT_EQ(readBytes(archive()), QByteArray("older archive"));
    EXPECT_EQ(QDir(program.outputFolder())
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("myplugin.zip")});
    EXPECT_TRUE(launcher.openedFolders.isEmpty());
    EXPECT_FALSE(window->isBusy());
    EXPECT_TRUE(window->Command3->isEnabled());
}

TEST_F(frmConvertTest, AnExistingArchiveIsReplacedOnlyWhenTheUserSaysYes) {
    root.write(QStringLiteral("program/output/myplugin.zip"), "older archive");
    messages.answers = {MsgResult::No};
    window->Command3_Click();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown[0].style, MsgStyle::YesNoQuestion | MsgStyle::DefaultButton2);
    EXPECT_TRUE(messages.shown[0].text.contains(archive()));
    EXPECT_EQ(readBytes(archive()), QByteArray("older archive"));
    EXPECT_TRUE(launcher.runs.isEmpty());

    messages.shown.clear();
    messages.answers = {MsgResult::Yes};
    window->Command3_Click();
    EXPECT_EQ(messages.titles(),
              (QStringList{QStringLiteral("Replace Plugin"), QStringLiteral("Done")}));
    EXPECT_TRUE(readBytes(archive()).startsWith("PK"));
}

TEST_F(frmConvertTest, AFailedArchiverIsAnErrorNeverDoneAndTheOldArchiveStays) {
    root.write(QStringLiteral("program/output/myplugin.zip"), "older archive");
    launcher.scripted = [](const FakeLauncher::Run&) {
        Launcher::Outcome outcome;
        outcome.started = true;
        outcome.exitCode = 2;
        outcome.output = QStringLiteral("ERROR: disk full");
        return outcome;
    };
    window->txtPluginID->setText(QStringLiteral("p42"));
    window->Command3_Click();
    ASSERT_EQ(messages.titles(),
              (QStringList{QStringLiteral("Replace Plugin"), QStringLiteral("Error")}));
    EXPECT_TRUE(messages.shown[1].text.startsWith(
        QStringLiteral("Error during plugin creation. Error Number:2 Description:")));
    EXPECT_TRUE(messages.shown[1].text.contains(QStringLiteral("disk full")));
    EXPECT_EQ(readBytes(archive()), QByteArray("older archive"));
    EXPECT_FALSE(QFileInfo::exists(program.outputFolder() + QStringLiteral("/p42")));
    EXPECT_TRUE(launcher.openedFolders.isEmpty());
    // Usable again: the user can mend the cause and try once more.
    EXPECT_TRUE(window->Command3->isEnabled());
    EXPECT_FALSE(window->isBusy());
}

TEST_F(frmConvertTest, AProductBuiltBeforeComesBackWithItsIdentifierAndTheVersionRaised) {
    ProductStore store(root / QStringLiteral("products"));
    const QString source = root.makeFolder(QStringLiteral("my-site"));
    window->rememberProduct(store, source); // nothing remembered yet: as typed, a fresh identifier
    EXPECT_FALSE(window->lblRemembered->isVisibleTo(window.get()));
    window->txtPluginID->setText(QStringLiteral("p42"));
    window->txtPlugin_Description->setPlainText(QStringLiteral("Line one\n\"Zo\u00eb's\" guide"));
    window->Command3_Click();
    ASSERT_EQ(messages.titles(), QStringList{QStringLiteral("Done")});

    frmConvert next(program, program.workFolder() + "/index.html",
                    program.workFolder() + "/download.html", messages, launcher);
    next.rememberProduct(store, source);
    EXPECT_EQ(next.txtPluginID->text(), QStringLiteral("p42"));
    EXPECT_EQ(next.details().description, QStringLiteral("Line one\n\"Zo\u00eb's\" guide"));
    EXPECT_EQ(next.txtPlugin_AuthorUrl->text(), QStringLiteral("https://ann.example.com/"));
    EXPECT_EQ(next.txtPlugin_Version->text(), QStringLiteral("1.1"));
    EXPECT_EQ(next.chosenDeliveryFiles(), QStringList{QStringLiteral("files/guide.pdf")});
    EXPECT_TRUE(next.lblRemembered->isVisibleTo(&next));
    EXPECT_TRUE(next.lblRemembered->text().contains(QStringLiteral("version 1.0")));

    // A record that cannot be read is said so, and left as it is whatever gets built.
    const QString record = store.productFolder(source) + QStringLiteral("/product.json");
    writeBytes(record, "{ damaged");
    messages.shown.clear();
    frmConvert damaged(program, program.workFolder() + "/index.html",
                       program.workFolder() + "/download.html", messages, launcher);
    damaged.rememberProduct(store, source);
    ASSERT_EQ(messages.titles(), QStringList{QStringLiteral("Product Not Remembered")});
    EXPECT_TRUE(messages.shown[0].text.contains(record)) << messages.shown[0].text.toStdString();
    EXPECT_NE(damaged.txtPluginID->text(), QStringLiteral("p42"));
    typeDetails(damaged);
    damaged.Command3_Click();
    EXPECT_EQ(readBytes(record), QByteArray("{ damaged"));
}

} // namespace
