#include "Form2Fixture.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>

namespace {

const QString kEdit = QStringLiteral("Edit Page");
const QString kSave = QStringLiteral("Save / Discard Changes");

class Form2EditMode : public Form2Fixture {
protected:
    void SetUp() override {
        start();
        loadTyped(makeSite(QStringLiteral("site")));
        form->Combo1->setCurrentIndex(1); // b.html
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
    EXPECT_EQ(messages.shown[0].style, 36);
    EXPECT_EQ(readBytes(work("b.html")),
              QByteArray(
                  "<!DOCTYPE html>\n<html><head></head><body>b #FRONT# caf\xC3\xA9</body></html>"));
    EXPECT_EQ(browser->navigations.last(), work("b.html"));
    EXPECT_FALSE(form->isSaving());
    browser->answerReads();
    EXPECT_EQ(readBytes(work("b.html")).count("<!DOCTYPE"), 1); // written once
}

TEST_F(Form2EditMode, AChangedPageAnsweredNoIsLeftAsItWas) {
    const QByteArray before = readBytes(work("b.html"));
    enterEditMode();
    browser->outerHtml = QStringLiteral("<html><body>edited</body></html>");
    messages.answers = {MsgResult::No};
    form->Command2_Click();
    browser->answerReads();
    EXPECT_EQ(readBytes(work("b.html")), before);
    EXPECT_EQ(browser->navigations.last(), work("b.html"));
}

TEST_F(Form2EditMode, WithTheMarkerTheProgramAsksAndSaysDoneWhateverTheAnswer) {
    setMarker();
    const QByteArray before = readBytes(work("b.html"));
    enterEditMode();
    messages.answers = {MsgResult::No};
    form->Command2_Click();
    EXPECT_EQ(messages.titles(), (QStringList{QStringLiteral("Save"), QStringLiteral("Done")}));
    EXPECT_EQ(messages.shown[1].text, QStringLiteral("Done!"));
    EXPECT_EQ(readBytes(work("b.html")), before);
    EXPECT_EQ(browser->navigations.last(), work("b.html"));

    messages.shown.clear();
    enterEditMode();
    messages.answers = {MsgResult::Yes};
    form->Command2_Click();
    const int navigations = browser->navigations.size();
    form->Form_Activate(); // the question box closing must not reload the page before it is read
    EXPECT_EQ(browser->navigations.size(), navigations);
    browser->answerReads();
    EXPECT_EQ(messages.titles(), (QStringList{QStringLiteral("Save"), QStringLiteral("Done")}));
    EXPECT_EQ(readBytes(work("b.html")),
              QByteArray("<!DOCTYPE html>\n<html><head></head><body>b #FRONT#</body></html>"));
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

TEST_F(Form2EditMode, RemovingTheDesignationWhileEditingKeepsEditModeUntilItIsSetAgain) {
    enterEditMode();
    form->cmdRemove[0]->click();
    form->Command2_Click();
    EXPECT_EQ(form->Command2->text(), kSave);
    EXPECT_EQ(
        messages.shown.last().text,
        QStringLiteral("Please set this page as your front-end page or your download page first."));
}

TEST_F(Form2EditMode, ARebuildWhileEditingKeepsTheEditedPageInTheBrowser) {
    enterEditMode();
    const int navigations = browser->navigations.size();
    root.write(QStringLiteral("program/tmp/new.html"));
    form->tmrHTMLSourceMonitor_Timer();
    EXPECT_FALSE(form->isDesignated(0));
    EXPECT_EQ(form->Command2->text(), kSave);
    EXPECT_EQ(browser->navigations.size(), navigations)
        << browser->navigations.join(' ').toStdString();
}

TEST_F(Form2EditMode, ActivationReloadsThePreviewOnlyOutsideEditMode) {
    form->Form_Activate();
    EXPECT_EQ(browser->navigations, QStringList{work("b.html")});
    enterEditMode();
    const int navigations = browser->navigations.size();
    form->Form_Activate();
    EXPECT_EQ(browser->navigations.size(), navigations);
    form->Combo1->clear();
    form->Command2->setText(kEdit);
    form->Form_Activate();
    EXPECT_EQ(browser->navigations.size(), navigations);
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

TEST_F(Form2EditMode, HelpOpensTheQuickHelp) {
    form->lblHelp->click();
    EXPECT_EQ(quickHelpOpened, 1);
}

} // namespace
