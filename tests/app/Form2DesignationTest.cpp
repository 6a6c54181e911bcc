#include "Form2Fixture.h"

#include <QLabel>
#include <QPushButton>

namespace {

const QString kFrontUnset = QStringLiteral(
    "Unknown. Please Select a Page From the Drop-Down and Set it as Your Front-End Page.");
const QString kDownloadUnset = QStringLiteral(
    "Unknown. Please Select a Page From the Drop-Down and Set it as Your Download Page.");

class Form2Designation : public Form2Fixture {
protected:
    void SetUp() override {
        start();
        loadTyped(makeSite(QStringLiteral("site")));
        messages.shown.clear();
    }
};

TEST_F(Form2Designation, StartsUnsetWithTheClearButtonsDisabled) {
    EXPECT_EQ(form->lblSelectedPage[0]->text(), kFrontUnset);
    EXPECT_EQ(form->lblSelectedPage[1]->text(), kDownloadUnset);
    EXPECT_FALSE(form->cmdRemove[0]->isEnabled());
    EXPECT_FALSE(form->cmdRemove[1]->isEnabled());
    EXPECT_TRUE(form->cmdSetasFE->isEnabled());
    EXPECT_TRUE(form->cmdSetasDownloadPage->isEnabled());
    EXPECT_FALSE(form->lblPageSelected->isVisibleTo(form.get()));
}

TEST_F(Form2Designation, SettingTakesTheSelectedPathAndConfirmsUntilTheNextTick) {
    form->Combo1->setCurrentIndex(1);
    form->cmdSetasFE->click(); // through the button, so the wiring is covered too
    EXPECT_EQ(form->lblSelectedPage[0]->text(), work("b.html"));
    EXPECT_FALSE(form->cmdSetasFE->isEnabled());
    EXPECT_TRUE(form->cmdRemove[0]->isEnabled());
    EXPECT_TRUE(form->lblPageSelected->isVisibleTo(form.get()));
    EXPECT_EQ(form->lblPageSelected->text(), QStringLiteral("Page Set as Front-End Page."));

    form->cmdSetasDownloadPage->click(); // the same page may hold both roles
    EXPECT_EQ(form->lblSelectedPage[1]->text(), work("b.html"));
    EXPECT_EQ(form->lblPageSelected->text(), QStringLiteral("Page Set as Download Page."));

    form->tmrRemoveMsgs_Timer();
    EXPECT_FALSE(form->lblPageSelected->isVisibleTo(form.get()));
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(Form2Designation, RemoveUnsetsOnlyItsOwnDesignation) {
    form->cmdSetasFE_Click();
    form->cmdSetasDownloadPage_Click();
    form->tmrRemoveMsgs_Timer();
    form->cmdRemove[0]->click();
    EXPECT_EQ(form->lblSelectedPage[0]->text(), kFrontUnset);
    EXPECT_FALSE(form->cmdRemove[0]->isEnabled());
    EXPECT_TRUE(form->cmdSetasFE->isEnabled());
    EXPECT_EQ(form->lblSelectedPage[1]->text(), work("c.htm"));
    EXPECT_TRUE(form->cmdRemove[1]->isEnabled());
    EXPECT_FALSE(form->lblPageSelected->isVisibleTo(form.get()));
}

TEST_F(Form2Designation, EmptyDropDownTextIsRefused) {
    form->Combo1->setEditText(QString());
    form->cmdSetasFE_Click();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown[0].title, QStringLiteral("Missing Info"));
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("Please select a folder with HTML files."));
    EXPECT_EQ(messages.shown[0].style, 64);
    EXPECT_FALSE(form->isDesignated(0));
    EXPECT_FALSE(form->isDesignated(1));
}

TEST_F(Form2Designation, TypedTextIsTakenAsItStandsAndPathsAreNeverMarkup) {
    const QString typed = QStringLiteral("/elsewhere/<b>bold</b> & page.html");
    form->Combo1->setEditText(typed);
    form->cmdSetasFE_Click();
    EXPECT_EQ(form->designatedPage(0), typed);
    EXPECT_EQ(form->lblSelectedPage[0]->textFormat(), Qt::PlainText);
}

TEST_F(Form2Designation, ChoosingAnEntryShowsItWithoutTouchingTheDesignations) {
    form->cmdSetasFE_Click();
    form->Combo1->setCurrentIndex(0);
    emit form->Combo1->activated(0);
    EXPECT_EQ(browser->navigations.last(), work("a.htm"));
    EXPECT_EQ(form->designatedPage(0), work("c.htm"));
}

} // namespace
