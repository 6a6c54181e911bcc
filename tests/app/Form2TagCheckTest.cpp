#include "Form2Fixture.h"

#include <QFile>
#include <QPushButton>

namespace {

class Form2TagCheck : public Form2Fixture {
protected:
    void SetUp() override {
        start();
        loadTyped(makeSite(QStringLiteral("site"))); // b.html has #FRONT#, c.htm has #BACK#
        messages.shown.clear();
    }

    void designate(const QString& front, const QString& download) {
        form->Combo1->setEditText(work(front));
        form->cmdSetasFE_Click();
        form->Combo1->setEditText(work(download));
        form->cmdSetasDownloadPage_Click();
        messages.shown.clear();
    }

    // Between "pages:" and ". Please" stands exactly what is missing, with its own blanks.
    QString warningFor(const QString& between) const {
        return QStringLiteral("The following tags are not present in your pages:") + between +
               QStringLiteral(
                   ". Please read the user manual for more info. Go ahead without them?");
    }
};

TEST_F(Form2TagCheck, BothPagesWithTheirTagsOpenTheDetailsWindowAtOnce) {
    designate(QStringLiteral("b.html"), QStringLiteral("c.htm"));
    form->Command3->click();
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_EQ(convertWindowOpenedFor, QStringList{work("b.html") + " | " + work("c.htm")});
}

TEST_F(Form2TagCheck, BothDesignationsAreNeeded) {
    form->Combo1->setEditText(work("c.htm"));
    form->cmdSetasDownloadPage_Click();
    messages.shown.clear();
    form->Command3_Click();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown[0].title, QStringLiteral("Missing Info"));
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("Please select your Front-End page and your Download page."));
    EXPECT_TRUE(convertWindowOpenedFor.isEmpty());
}

TEST_F(Form2TagCheck, MissingTagsAreListedWithTheirSpacingAndNoStops) {
    struct Case {
        const char* front;
        const char* download;
        QString missing;
    };
    root.write(QStringLiteral("program/tmp/lower.html"), "#front# #Front# #back#"); // wrong case
    const Case cases[] = {
        {"lower.html", "c.htm", QStringLiteral(" #FRONT# ")},
        {"b.html", "lower.html", QStringLiteral("  #BACK# ")},
        {"a.htm", "a.htm", QStringLiteral(" #FRONT#  #BACK# ")},
        {"b.html", "b.html", QStringLiteral("  #BACK# ")}, // each page counts only with its own tag
    };
    for (const Case& c : cases) {
        form->cmdRemove_Click(0);
        form->cmdRemove_Click(1);
        designate(QString::fromLatin1(c.front), QString::fromLatin1(c.download));
        messages.answers = {MsgResult::No};
        form->Command3_Click();
        ASSERT_EQ(messages.shown.size(), 1) << c.front;
        EXPECT_EQ(messages.shown[0].title, QStringLiteral("Missing Info"));
        EXPECT_EQ(messages.shown[0].text, warningFor(c.missing)) << c.front;
        EXPECT_EQ(messages.shown[0].style, MsgStyle::YesNoInformation | MsgStyle::DefaultButton2);
    }
    EXPECT_TRUE(convertWindowOpenedFor.isEmpty());

    messages.answers = {MsgResult::Yes};
    form->Command3_Click();
    EXPECT_EQ(convertWindowOpenedFor.size(), 1);
}

TEST_F(Form2TagCheck, ThePageWithBothTagsPassesAsBothPages) {
    root.write(QStringLiteral("program/tmp/both.html"), "#FRONT# and #BACK#");
    designate(QStringLiteral("both.html"), QStringLiteral("both.html"));
    form->Command3_Click();
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_EQ(convertWindowOpenedFor.size(), 1);
}

TEST_F(Form2TagCheck, AnUnreadableDesignatedPageIsNamedAndStopsTheHandOff) {
    designate(QStringLiteral("b.html"), QStringLiteral("c.htm"));
    QFile::remove(work("c.htm"));
    form->Command3_Click();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].text.contains(work("c.htm")))
        << messages.shown[0].text.toStdString();
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("download")));
    EXPECT_TRUE(convertWindowOpenedFor.isEmpty());
}

} // namespace
