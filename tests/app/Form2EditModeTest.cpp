#include "Form2Fixture.h"

#include "app/services/QtDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <deque>
#include <functional>
#include <tuple>

namespace {

const QString kEdit = QStringLiteral("Edit Page");
const QString kSave = QStringLiteral("Save / Discard Changes");

class Form2EditMode : public Form2Fixture {
protected:
    void SetUp() override { openWindow(); }

    // A window with b.html shown and designated as the front-end page.
    void openWindow() {
        // A seller with nothing kept from an earlier round of the same test.
        QDir(root / QStringLiteral("program/products")).removeRecursively();
        start();
        loadTyped(makeSite(QStringLiteral("site")));
        form->Combo1->setCurrentIndex(1); // b.html
        form->Combo1_Click();
        form->cmdSetasFE_Click();
        messages.shown.clear();
        browser->navigations.clear();
        browser->doctype = QStringLiteral("<!DOCTYPE html>");
        browser->outerHtml = QStringLiteral("<html><head></head><body>b #FRONT#</body></html>");
    }

    // Enters edit mode on the current page and lets the load finish, as the browser would.
    void enterEditMode() {
        form->Command2->click();
        browser->completeLoad();
        browser->answerReads(); // the markup when editing began
    }

    void setMarker() { root.write(QStringLiteral("program/save.alt"), "Text1"); }

    // Asks to leave edit mode with scripted answers and lets the browser answer the read.
    void leave(std::deque<int> answers) {
        messages.answers = std::move(answers);
        form->Command2_Click();
        browser->answerReads();
    }

    void edit() { browser->outerHtml = QStringLiteral("<html><body>edited</body></html>"); }
    static QByteArray edited() { return "<!DOCTYPE html>\n<html><body>edited</body></html>"; }
};

TEST_F(Form2EditMode, RefusesAnEmptyListAndPagesThatAreNotDesignated) {
    form->Combo1->setCurrentIndex(0); // a.htm, not designated
    form->Command2_Click();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(
        messages.shown[0].text,
        QStringLiteral("Please set this page as your front-end page or your download page first."));
    form->Combo1->clear();
    form->Command2_Click();
    EXPECT_EQ(
        messages.shown.last().text,
        QStringLiteral("Please add one or more web pages (.htm / .html files) to edit first."));
    // A dropped file lies outside the working folder: designated or not, it is never edited.
    const QString outside = root.write(QStringLiteral("mine.html"), "<html>mine</html>");
    form->Form_OLEDragDrop({outside});
    form->cmdSetasFE_Click();
    browser->navigations.clear();
    form->Command2_Click();
    EXPECT_TRUE(messages.shown.last().text.startsWith(outside + QStringLiteral(" is not in")));
    form->SavePage(QStringLiteral("mine"), QStringLiteral("yours"), false);
    browser->answerReads();
    EXPECT_EQ(readBytes(outside), QByteArray("<html>mine</html>"));
    EXPECT_EQ(form->Command2->text(), kEdit);
    EXPECT_TRUE(browser->navigations.isEmpty());
}

TEST_F(Form2EditMode, EnteringLocksThePageControlsAndSwitchesDesignModeOnAfterTheLoad) {
    enterEditMode();
    EXPECT_EQ(form->Command2->text(), kSave);
    EXPECT_EQ(browser->navigations, QStringList{work("b.html")});
    EXPECT_EQ(browser->designModes.last(), QStringLiteral("On"));
    for (QWidget* locked :
         {static_cast<QWidget*>(form->Command5), static_cast<QWidget*>(form->Combo1),
          static_cast<QWidget*>(form->cmdSetasFE),
          static_cast<QWidget*>(form->cmdSetasDownloadPage)})
        EXPECT_FALSE(locked->isEnabled());
    EXPECT_TRUE(form->Command3->isEnabled());
    EXPECT_TRUE(form->cmdRemove[0]->isEnabled());
    EXPECT_TRUE(form->cmdInsertFront->isEnabled());
    form->cmdInsertBack->click();
    EXPECT_EQ(browser->inserted, QStringList{QStringLiteral("#BACK#")});
}

TEST_F(Form2EditMode, LeavingRestoresTheControlsByTheDesignations) {
    enterEditMode();
    form->Command2->click();
    browser->answerReads();
    browser->completeLoad();
    EXPECT_EQ(form->Command2->text(), kEdit);
    EXPECT_EQ(browser->designModes.last(), QStringLiteral("off"));
    EXPECT_TRUE(form->Command5->isEnabled());
    EXPECT_TRUE(form->Combo1->isEnabled());
    EXPECT_FALSE(form->cmdSetasFE->isEnabled()); // the front-end page is designated
    EXPECT_TRUE(form->cmdSetasDownloadPage->isEnabled());
    EXPECT_FALSE(form->cmdInsertFront->isEnabled());
}

TEST_F(Form2EditMode, AnUnchangedPageIsNeitherAskedAboutNorWritten) {
    const QByteArray before = readBytes(work("b.html"));
    enterEditMode();
    form->Command2_Click();
    browser->answerReads();
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_EQ(readBytes(work("b.html")), before);
    EXPECT_EQ(browser->navigations.last(), work("b.html"));
}

TEST_F(Form2EditMode, AChangedPageIsSavedOnYesWithItsDoctypeToThePageItWasTakenFrom) {
    enterEditMode();
    browser->outerHtml =
        QStringLiteral("<html><head></head><body>b #FRONT# caf\u00e9</body></html>");
    messages.answers = {MsgResult::Yes};
    form->Command2_Click();
    // A tick while the markup is on its way changes neither the target nor the list.
    root.write(QStringLiteral("program/tmp/zz.html"));
    form->tmrHTMLSourceMonitor_Timer();
    EXPECT_TRUE(form->isSaving());
    browser->answerReads();

    ASSERT_EQ(messages.titles(), QStringList{QStringLiteral("Save")});
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("Save changes?"));
    EXPECT_EQ(messages.shown[0].style, MsgStyle::YesNoCancelQuestion);
    EXPECT_EQ(readBytes(work("b.html")),
              QByteArray(
                  "<!DOCTYPE html>\n<html><head></head><body>b #FRONT# caf\xC3\xA9</body></html>"));
    EXPECT_EQ(browser->navigations.last(), work("b.html"));
    EXPECT_FALSE(form->isSaving());
    browser->answerReads();
    EXPECT_EQ(readBytes(work("b.html")).count("<!DOCTYPE"), 1); // written once
}

TEST_F(Form2EditMode, TheAnswerDecidesAndDoneFollowsOnlyAWrite) {
    // With the marker the question comes before the read; Escape on it answers Cancel.
    struct Case {
        bool marker;
        int answer;
        bool written;
        bool stillEditing;
        QStringList titles;
    };
    const QStringList save{QStringLiteral("Save")};
    const QList<Case> cases{
        {false, MsgResult::Yes, true, false, save},
        {false, MsgResult::No, false, false, save},
        {false, MsgResult::Cancel, false, true, save},
        {true, MsgResult::Yes, true, false, {QStringLiteral("Save"), QStringLiteral("Done")}},
        {true, MsgResult::No, false, false, save},
        {true, MsgResult::Cancel, false, true, save},
    };
    const QByteArray before = readBytes(work("b.html"));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "marker " << c.marker << ", answer " << c.answer);
        if (c.marker)
            setMarker();
        browser->outerHtml = QStringLiteral("<html><body>b</body></html>");
        enterEditMode();
        edit();
        messages.shown.clear();
        browser->navigations.clear();
        leave({c.answer});
        EXPECT_EQ(messages.titles(), c.titles);
        EXPECT_EQ(readBytes(work("b.html")), c.written ? edited() : before);
        EXPECT_EQ(form->isEditing(), c.stillEditing);
        EXPECT_EQ(form->Command2->text(), c.stillEditing ? kSave : kEdit);
        EXPECT_EQ(browser->navigations,
                  c.stillEditing ? QStringList() : QStringList{work("b.html")});
        if (c.stillEditing)
            leave({MsgResult::No});
        root.write(QStringLiteral("program/tmp/b.html"), before);
        QFile::remove(program.saveMarker());
    }
}

TEST_F(Form2EditMode, APageThatCannotBeWrittenStaysOpenForEditing) {
    enterEditMode();
    browser->outerHtml = QStringLiteral("<html><body>edited</body></html>");
    QFile::remove(work("b.html"));
    root.makeFolder(QStringLiteral("program/tmp/b.html")); // a folder where the page was
    messages.answers = {MsgResult::Yes};
    form->Command2_Click();
    browser->answerReads();
    EXPECT_EQ(messages.shown.last().title, QStringLiteral("Error"));
    EXPECT_EQ(form->Command2->text(), kSave);
    EXPECT_FALSE(form->isSaving());
}

TEST_F(Form2EditMode, EditModeStaysBoundToTheFileItBeganOn) {
    // Whatever happens to the list, the designations or the window while a page is edited, the
    // browser keeps it and the save writes it; the list catches up once edit mode ends.
    const QString outside = root.write(QStringLiteral("product.pdf"), "%PDF-1.4");
    auto addPageAndTick = [&] {
        root.write(QStringLiteral("program/tmp/new.html"), "<html>new</html>");
        form->tmrHTMLSourceMonitor_Timer();
    };
    const QList<std::pair<const char*, std::function<void()>>> cases{
        {"a page added and the page's designation removed",
         [&] {
             addPageAndTick();
             form->cmdRemove[0]->click();
         }},
        {"a file dropped on the window and on the list",
         [&] {
             form->Form_OLEDragDrop({outside});
             form->Combo1_OLEDragDrop({outside});
         }},
        {"the window activated", [&] { form->Form_Activate(); }},
        {"a tick and an activation while the question is open",
         [&] {
             setMarker();
             messages.whileShown = [&] {
                 addPageAndTick();
                 form->Form_Activate();
             };
         }},
    };
    for (const auto& [name, disturb] : cases) {
        SCOPED_TRACE(name);
        enterEditMode();
        edit();
        browser->navigations.clear();
        disturb();
        EXPECT_TRUE(browser->navigations.isEmpty()) << browser->navigations.join(' ').toStdString();
        EXPECT_EQ(entries(), (QStringList{work("a.htm"), work("b.html"), work("c.htm")}));
        leave({MsgResult::Yes});
        EXPECT_EQ(readBytes(work("b.html")), edited());
        EXPECT_EQ(readBytes(outside), QByteArray("%PDF-1.4"));
        EXPECT_EQ(browser->navigations, QStringList{work("b.html")});

        form->tmrHTMLSourceMonitor_Timer(); // after edit mode the list follows the folder again
        EXPECT_EQ(entries().contains(work("new.html")), QFile::exists(work("new.html")));
        messages.whileShown = nullptr;
        QFile::remove(program.saveMarker());
        QFile::remove(work("new.html"));
        openWindow();
    }
}

TEST_F(Form2EditMode, NothingIsWrittenWhenTheBrowserNoLongerShowsTheEditedFile) {
    // A page's own script may take the browser elsewhere, or the document may be gone; the markup
    // read then belongs to no file of ours and must not be written over the edited one.
    const QString other = work("c.htm");
    const QByteArray before = readBytes(work("b.html")), otherBefore = readBytes(other);
    const QList<std::tuple<const char*, bool, QString, QString>> cases{
        {"another page", false, other, QStringLiteral("<html><body>c</body></html>")},
        {"no document, marker", true, QString(), QString()},
    };
    for (const auto& [name, marker, shownFile, shownHtml] : cases) {
        SCOPED_TRACE(name);
        if (marker)
            setMarker();
        enterEditMode();
        browser->documentFile = shownFile;
        browser->outerHtml = shownHtml;
        messages.shown.clear();
        browser->navigations.clear();
        leave({MsgResult::Yes});
        EXPECT_EQ(messages.shown.last().title, QStringLiteral("Not Saved"));
        EXPECT_FALSE(messages.titles().contains(QStringLiteral("Done")));
        EXPECT_EQ(readBytes(work("b.html")), before);
        EXPECT_EQ(readBytes(other), otherBefore);
        EXPECT_TRUE(form->isEditing());
        EXPECT_EQ(browser->navigations, QStringList{work("b.html")}); // shown again for editing
        browser->outerHtml = QStringLiteral("<html><body>b</body></html>");
        browser->completeLoad();
        browser->answerReads();
        leave({MsgResult::No});
        QFile::remove(program.saveMarker());
    }
    // Outside edit mode a replacement goes to the file the browser was sent to, or nowhere.
    browser->documentFile = other;
    form->SavePage(QStringLiteral("c"), QStringLiteral("x"), false);
    browser->answerReads();
    EXPECT_EQ(messages.shown.last().title, QStringLiteral("Not Saved"));
    EXPECT_EQ(readBytes(work("b.html")), before);
    EXPECT_EQ(readBytes(other), otherBefore);
}

TEST_F(Form2EditMode, ClosingTheWindowWithUnsavedEditsOffersAChoice) {
    // {answer, written, closed}; an unchanged page closes without a question.
    const QByteArray before = readBytes(work("b.html"));
    for (const auto& [answer, written, closed] :
         {std::tuple{MsgResult::Yes, true, true}, std::tuple{MsgResult::No, false, true},
          std::tuple{MsgResult::Cancel, false, false}, std::tuple{0, false, true}}) {
        SCOPED_TRACE(answer);
        form->show();
        enterEditMode();
        if (answer != 0)
            edit();
        messages.answers = {answer};
        form->close();
        browser->answerReads();
        EXPECT_EQ(messages.titles(), answer ? QStringList{QStringLiteral("Save")} : QStringList());
        EXPECT_EQ(readBytes(work("b.html")), written ? edited() : before);
        EXPECT_EQ(form->isVisible(), !closed);
        EXPECT_TRUE(closed || form->isEditing());
        openWindow();
    }
}

TEST_F(Form2EditMode, ConvertWhileEditingSavesTheEditsFirstAsTheSellerChooses) {
    // {answer, written, converted}: the plugin is made from the files as saved.
    const QByteArray before = readBytes(work("b.html"));
    for (const auto& [answer, written, converted] :
         {std::tuple{MsgResult::Yes, true, true}, std::tuple{MsgResult::No, false, true},
          std::tuple{MsgResult::Cancel, false, false}}) {
        SCOPED_TRACE(answer);
        form->Combo1->setCurrentIndex(0);
        form->cmdSetasDownloadPage_Click();
        form->Combo1->setCurrentIndex(1);
        enterEditMode();
        edit();
        convertWindowOpenedFor.clear();
        messages.shown.clear();
        messages.answers = {answer, MsgResult::Yes}; // then yes to any missing tag
        form->Command3_Click();
        browser->answerReads();
        ASSERT_FALSE(messages.shown.isEmpty());
        EXPECT_EQ(messages.shown[0].title, QStringLiteral("Save"));
        EXPECT_EQ(messages.shown[0].style, MsgStyle::YesNoCancelQuestion);
        EXPECT_EQ(readBytes(work("b.html")), written ? edited() : before);
        EXPECT_EQ(convertWindowOpenedFor.size(), converted ? 1 : 0);
        EXPECT_TRUE(form->isEditing());
        // Saved edits are not asked about again when edit mode ends.
        messages.shown.clear();
        leave({MsgResult::No});
        EXPECT_EQ(messages.titles().contains(QStringLiteral("Save")), !written);
        QFile::remove(work("b.html"));
        root.write(QStringLiteral("program/tmp/b.html"), before);
        openWindow();
    }
}

TEST_F(Form2EditMode, ChangedPagesOutliveTheSessionAndComeBackWithTheirFolder) {
    // {at the next start, on loading the folder again}: Yes or No to each offer, and whether the
    // working copy then holds the changed page. The seller's own folder never changes.
    const QByteArray original = readBytes(root / QStringLiteral("site/b.html"));
    for (const auto& [continueAnswer, reloadAnswer, changedAfterStart, changedAfterReload] :
         {std::tuple{MsgResult::Yes, MsgResult::Yes, true, true},
          std::tuple{MsgResult::No, MsgResult::Yes, false, true},
          std::tuple{MsgResult::No, MsgResult::No, false, false}}) {
        SCOPED_TRACE(std::to_string(continueAnswer) + " " + std::to_string(reloadAnswer));
        openWindow();
        enterEditMode();
        edit();
        leave({MsgResult::Yes});
        ASSERT_EQ(readBytes(work("b.html")), edited());

        form.reset(); // quit, and start again
        messages.shown.clear();
        messages.answers = {continueAnswer};
        start();
        EXPECT_EQ(messages.titles(), QStringList{QStringLiteral("Continue")});
        EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("b.html")));
        EXPECT_EQ(QFile::exists(work("b.html")) && readBytes(work("b.html")) == edited(),
                  changedAfterStart);
        form->tmrHTMLSourceMonitor_Timer();
        EXPECT_EQ(entries().size(), changedAfterStart ? 3 : 0);

        messages.shown.clear();
        messages.answers = {reloadAnswer};
        loadTyped(root / QStringLiteral("site"));
        EXPECT_EQ(messages.titles().filter(QStringLiteral("Changed Pages")).size(), 1);
        EXPECT_EQ(readBytes(work("b.html")) == edited(), changedAfterReload);
        EXPECT_EQ(readBytes(root / QStringLiteral("site/b.html")), original);
    }

    // Changes that could not be kept with the product are not replaced without a question, whose
    // Enter keeps them.
    openWindow();
    root.write(QStringLiteral("program/products"), "a file where the products' folder goes");
    enterEditMode();
    edit();
    leave({MsgResult::Yes});
    ASSERT_EQ(messages.titles().filter(QStringLiteral("Error")).size(), 1);
    messages.shown.clear();
    messages.answers = {MsgResult::No};
    loadTyped(makeSite(QStringLiteral("other")));
    ASSERT_EQ(messages.titles().last(), QStringLiteral("Changed Pages"));
    EXPECT_EQ(messages.shown.last().style, MsgStyle::YesNoQuestion | MsgStyle::DefaultButton2);
    EXPECT_EQ(readBytes(work("b.html")), edited());
}

TEST_F(Form2EditMode, ActivationReloadsThePreviewOnlyOutsideEditMode) {
    form->Form_Activate();
    EXPECT_EQ(browser->navigations, QStringList{work("b.html")});
    enterEditMode();
    const int navigations = browser->navigations.size();
    form->Form_Activate();
    EXPECT_EQ(browser->navigations.size(), navigations);
    leave({});
    form->Combo1->clear();
    const int afterLeaving = browser->navigations.size();
    form->Form_Activate();
    EXPECT_EQ(browser->navigations.size(), afterLeaving);
}

TEST_F(Form2EditMode, SavePageReplacesEveryOccurrenceInTheBrowsersMarkup) {
    browser->outerHtml = QStringLiteral("<html><body>old and old</body></html>");
    form->SavePage(QStringLiteral("old"), QStringLiteral("new"), true);
    browser->answerReads();
    EXPECT_EQ(readBytes(work("b.html")),
              QByteArray("<!DOCTYPE html>\n<html><body>new and new</body></html>"));
    form->SavePage(QString(), QStringLiteral("x"), false);
    browser->doctype.clear();
    browser->answerReads();
    EXPECT_EQ(readBytes(work("b.html")), QByteArray("<html><body>old and old</body></html>"));
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(Form2EditMode, ClosingTheWindowDuringASaveNeitherWritesNorReportsDone) {
    setMarker();
    const QByteArray before = readBytes(work("b.html"));
    enterEditMode();
    messages.answers = {MsgResult::Yes};
    form->Command2_Click();
    form.reset(); // the markup read is still pending
    EXPECT_EQ(messages.titles(), QStringList{QStringLiteral("Save")});
    EXPECT_EQ(readBytes(work("b.html")), before);
}

TEST(QtMessageBoxTest, EscapeGivesUpAndEnterTakesTheDefaultButton) {
    // On "Save changes?" Escape must keep the edits: Cancel, never No. Enter takes Yes unless a
    // question makes its safe answer the default.
    const QList<std::tuple<int, Qt::Key, int>> cases{
        {MsgStyle::YesNoCancelQuestion, Qt::Key_Escape, MsgResult::Cancel},
        {MsgStyle::YesNoQuestion, Qt::Key_Escape, MsgResult::No},
        {MsgStyle::Information, Qt::Key_Escape, MsgResult::Ok},
        {MsgStyle::YesNoQuestion, Qt::Key_Return, MsgResult::Yes},
        {MsgStyle::YesNoQuestion | MsgStyle::DefaultButton2, Qt::Key_Return, MsgResult::No},
        {MsgStyle::YesNoCancelQuestion | MsgStyle::DefaultButton3, Qt::Key_Return,
         MsgResult::Cancel}};
    for (const auto& [style, key, expected] : cases) {
        QTimer::singleShot(0, [key = key] {
            QWidget* box = QApplication::activeModalWidget();
            ASSERT_NE(box, nullptr);
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QApplication::sendEvent(box, &press);
        });
        EXPECT_EQ(
            QtMessageBox().MsgBox(QStringLiteral("Save"), QStringLiteral("Save changes?"), style),
            expected)
            << style << " " << key;
    }
}

TEST_F(Form2EditMode, HelpOpensTheQuickHelp) {
    form->lblHelp->click();
    EXPECT_EQ(quickHelpOpened, 1);
}

} // namespace
