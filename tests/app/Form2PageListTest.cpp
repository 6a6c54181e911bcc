#include "Form2Fixture.h"

#include <QFile>
#include <QPushButton>

namespace {

using Form2PageList = Form2Fixture;

TEST_F(Form2PageList, QuietTicksKeepTheSelectionAndTheDesignations) {
    start();
    loadTyped(makeSite(QStringLiteral("site")));
    form->Combo1->setCurrentIndex(0);
    form->cmdSetasFE_Click();
    const int navigations = browser->navigations.size();
    for (int i = 0; i < 5; ++i)
        form->tmrHTMLSourceMonitor_Timer();
    EXPECT_EQ(form->Combo1->currentText(), work("a.htm"));
    EXPECT_TRUE(form->isDesignated(0));
    EXPECT_EQ(browser->navigations.size(), navigations);
}

TEST_F(Form2PageList, APageAddedOrRemovedByAnotherProgramRebuildsTheList) {
    start();
    loadTyped(makeSite(QStringLiteral("site")));
    form->cmdSetasFE_Click();
    form->cmdSetasDownloadPage_Click();

    root.write(QStringLiteral("program/tmp/d.html"));
    form->tmrHTMLSourceMonitor_Timer();
    EXPECT_EQ(entries().size(), 4);
    EXPECT_EQ(form->Combo1->currentText(), work("d.html"));
    EXPECT_EQ(browser->navigations.last(), work("d.html"));
    EXPECT_FALSE(form->isDesignated(0));
    EXPECT_FALSE(form->isDesignated(1));

    // A rename keeps the count but changes the names: seen all the same.
    form->cmdSetasFE_Click();
    QFile::rename(work("a.htm"), work("z.htm"));
    form->tmrHTMLSourceMonitor_Timer();
    EXPECT_EQ(entries(),
              (QStringList{work("b.html"), work("c.htm"), work("d.html"), work("z.htm")}));
    EXPECT_FALSE(form->isDesignated(0));
}

TEST_F(Form2PageList, RemovingTheLastPageDisablesTheListButKeepsItsEntries) {
    start();
    loadTyped(makeSite(QStringLiteral("site")));
    for (const char* page : {"a.htm", "b.html", "c.htm"})
        QFile::remove(work(QString::fromLatin1(page)));
    form->tmrHTMLSourceMonitor_Timer();
    EXPECT_FALSE(form->Combo1->isEnabled());
    EXPECT_FALSE(form->Command2->isEnabled());
    EXPECT_EQ(entries().size(), 3);
}

TEST_F(Form2PageList, ASecondLoadRebuildsEvenWithTheSamePages) {
    const QString first = makeSite(QStringLiteral("first"));
    const QString second = makeSite(QStringLiteral("second"));
    root.write(QStringLiteral("third/x.html"));
    root.write(QStringLiteral("third/y.html"));
    root.write(QStringLiteral("third/z.html"));
    start();
    loadTyped(first);
    form->cmdSetasFE_Click();
    form->cmdSetasDownloadPage_Click();

    loadTyped(second); // the very same page names
    EXPECT_FALSE(form->isDesignated(0));
    EXPECT_FALSE(form->isDesignated(1));

    form->cmdSetasFE_Click();
    loadTyped(root / QStringLiteral("third")); // as many pages, other names
    EXPECT_EQ(entries(), (QStringList{work("x.html"), work("y.html"), work("z.html")}));
    EXPECT_FALSE(form->isDesignated(0));
}

} // namespace
