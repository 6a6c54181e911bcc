#include "Form2Fixture.h"
#include "support/Fingerprint.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QString kNoHtmlFiles = QStringLiteral("No HTML Files");

using Form2Load = Form2Fixture;

TEST_F(Form2Load, FirstStartCreatesOnlyTheOutputFolderAndShowsTheBlankPage) {
    start();
    EXPECT_FALSE(QFileInfo::exists(program.workFolder()));
    EXPECT_TRUE(QFileInfo(program.outputFolder()).isDir());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Ostrel! Pro 2.6 "));
    EXPECT_TRUE(browser->isSilent());
    EXPECT_EQ(browser->navigations, QStringList{program.blankPage()});
    EXPECT_FALSE(form->Combo1->isEnabled());
    form->tmrHTMLSourceMonitor_Timer();
    EXPECT_FALSE(QFileInfo::exists(program.workFolder()));
    EXPECT_EQ(form->Combo1->count(), 0);
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(Form2Load, StartEmptiesTheWorkFolderLeftFromTheLastRunAndKeepsTheOutput) {
    root.write(QStringLiteral("program/tmp/old.html"));
    root.write(QStringLiteral("program/tmp/.hidden/x"));
    const QString built = root.write(QStringLiteral("program/output/earlier.zip"), "zip");
    start();
    EXPECT_TRUE(QFileInfo(program.workFolder()).isDir());
    EXPECT_TRUE(
        QDir(program.workFolder()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    EXPECT_EQ(readBytes(built), QByteArray("zip"));
    form->tmrHTMLSourceMonitor_Timer();
    EXPECT_FALSE(form->Combo1->isEnabled());
    EXPECT_EQ(form->Combo1->count(), 0);
    EXPECT_FALSE(form->isDesignated(0));
    EXPECT_TRUE(form->designatedPage(1).startsWith(QStringLiteral("Unknown.")));
}

TEST_F(Form2Load, TypedPathLoadsCopiesAndListsThePagesAndLeavesTheSourceAlone) {
    const QString site = makeSite(QStringLiteral("site"));
    const QStringList before = fingerprint(site);
    start();
    loadTyped(site);

    EXPECT_EQ(messages.titles(), QStringList{QStringLiteral("Reminder")});
    EXPECT_EQ(input.asked,
              QStringList{QStringLiteral(
                  "Please enter the full path (local) of an HTML folder | Enter Path | ")});
    EXPECT_EQ(entries(), (QStringList{work("a.htm"), work("b.html"), work("c.htm")}));
    EXPECT_EQ(form->Combo1->currentText(), work("c.htm"));
    EXPECT_EQ(browser->navigations.last(), work("c.htm"));
    EXPECT_TRUE(form->Combo1->isEnabled());
    EXPECT_TRUE(form->Command2->isEnabled());
    EXPECT_FALSE(form->isDesignated(0));
    EXPECT_FALSE(form->isDesignated(1));
    EXPECT_EQ(readBytes(work("images/logo.png")), QByteArray("png"));
    EXPECT_EQ(fingerprint(site), before);
}

TEST_F(Form2Load, FolderSelectorLoadsWithItsTitleAndTheWindowAsOwner) {
    const QString site = makeSite(QStringLiteral("site"));
    start();
    folders.answers.push_back(site);
    form->mnuLoadUsingBrowser_Click();
    form->tmrHTMLSourceMonitor_Timer();
    EXPECT_EQ(folders.titles, QStringList{QStringLiteral("Select a Folder with HTM/HTML Files")});
    EXPECT_EQ(folders.lastOwner, form.get());
    EXPECT_EQ(entries().size(), 3);
}

TEST_F(Form2Load, CancelledOrEmptyAnswersChangeNothingAfterTheReminder) {
    const QString site = makeSite(QStringLiteral("site"));
    start();
    loadTyped(site);
    const QStringList before = fingerprint(program.workFolder());
    messages.shown.clear();

    form->mnuLoadUsingBrowser_Click(); // the selector answers an empty text: cancelled
    loadTyped(QString());
    loadTyped(QStringLiteral("   "));
    EXPECT_EQ(messages.titles(), QStringList(3, QStringLiteral("Reminder")));
    EXPECT_EQ(fingerprint(program.workFolder()), before);
    EXPECT_EQ(entries().size(), 3);
}

TEST_F(Form2Load, FoldersWithoutTopLevelPagesAreRefusedAndTheWorkspaceStays) {
    const QString site = makeSite(QStringLiteral("site"));
    root.write(QStringLiteral("nested/sub/page.htm"));
    root.write(QStringLiteral("plain/readme.txt"));
    const QString file = root.write(QStringLiteral("page.html"));
    start();
    loadTyped(site);
    form->cmdSetasFE_Click();
    const QStringList before = fingerprint(program.workFolder());

    for (const QString& bad : {root / QStringLiteral("nested"), root / QStringLiteral("plain"),
                               file, root / QStringLiteral("missing")}) {
        messages.shown.clear();
        loadTyped(bad);
        EXPECT_EQ(messages.titles(), (QStringList{QStringLiteral("Reminder"), kNoHtmlFiles}))
            << bad.toStdString();
        EXPECT_EQ(messages.shown.last().text,
                  QStringLiteral("We could not find .htm or .html files in this folder. Please "
                                 "try with another one."));
    }
    EXPECT_EQ(fingerprint(program.workFolder()), before);
    EXPECT_TRUE(form->isDesignated(0));
    EXPECT_TRUE(form->Combo1->isEnabled());
}

TEST_F(Form2Load, PathsWithBlanksQuotesAndNonAsciiLettersLoad) {
    const QString site = makeSite(QStringLiteral("My \"Best\" Caf\u00e9 Site"));
    start();
    loadTyped(site);
    EXPECT_EQ(entries().size(), 3);
    // Pasted with surrounding quotes and blanks, as file managers copy paths.
    loadTyped(QStringLiteral("  '%1' ").arg(site));
    EXPECT_EQ(messages.titles(), QStringList(2, QStringLiteral("Reminder")));
    EXPECT_EQ(readBytes(work("images/logo.png")), QByteArray("png"));
}

TEST_F(Form2Load, TheWorkFolderOrAFolderAroundItIsRefused) {
    const QString site = makeSite(QStringLiteral("site"));
    start();
    loadTyped(site);
    const QStringList before = fingerprint(program.workFolder());
    root.write(QStringLiteral("program/index.html")); // so the program folder has a page

    for (const QString& bad :
         {program.workFolder(), program.workFolder() + QStringLiteral("/images"), program.path(),
          root.path()}) {
        messages.shown.clear();
        loadTyped(bad);
        ASSERT_EQ(messages.shown.size(), 2) << bad.toStdString();
        EXPECT_EQ(messages.shown.last().title, QStringLiteral("Choose Another Folder"));
        EXPECT_TRUE(messages.shown.last().text.contains(program.workFolder()));
    }
    EXPECT_EQ(fingerprint(program.workFolder()), before);
}

TEST_F(Form2Load, LinkLoopsAndUnreadableFilesAreReportedAndTheRestLoads) {
    const QString site = makeSite(QStringLiteral("site"));
    root.link(QStringLiteral("site/images/loop"), site);
    root.link(QStringLiteral("site/unreadable.pdf"), QStringLiteral("/proc/self/mem"));
    start();
    loadTyped(site);
    ASSERT_EQ(messages.titles(), (QStringList{QStringLiteral("Reminder"),
                                              QStringLiteral("Some Files Were Not Copied")}));
    EXPECT_TRUE(messages.shown.last().text.contains(QStringLiteral("loop")));
    EXPECT_TRUE(messages.shown.last().text.contains(QStringLiteral("unreadable.pdf")));
    EXPECT_EQ(entries().size(), 3);
}

TEST_F(Form2Load, AWorkFolderThatCannotBeEmptiedIsReportedAndNothingIsCopied) {
    const QString site = makeSite(QStringLiteral("site"));
    root.write(QStringLiteral("other/new.html"), "new");
    start();
    loadTyped(site);
    if (!makeUndeletable(work("images/logo.png")))
        GTEST_SKIP() << "cannot make a file undeletable here";
    messages.shown.clear();
    loadTyped(root / QStringLiteral("other"));
    makeDeletable(work("images/logo.png"));

    ASSERT_EQ(messages.shown.size(), 2);
    EXPECT_EQ(messages.shown.last().title, QStringLiteral("Error"));
    EXPECT_TRUE(messages.shown.last().text.contains(program.workFolder()));
    EXPECT_TRUE(messages.shown.last().text.contains(QStringLiteral("logo.png")));
    EXPECT_FALSE(QFileInfo::exists(work("new.html")));
    // Still usable: once the file can go, the same load works.
    messages.shown.clear();
    loadTyped(root / QStringLiteral("other"));
    EXPECT_EQ(entries(), QStringList{work("new.html")});
}

TEST_F(Form2Load, EveryReachableControlHasAnAccessibleName) {
    start();
    // Names follow what is shown: the page list stays "Page" with a path chosen, and the edit
    // button is named by its caption in and out of edit mode.
    loadTyped(makeSite(QStringLiteral("site")));
    form->cmdSetasFE_Click();
    for (QWidget* page :
         {static_cast<QWidget*>(form->Combo1), static_cast<QWidget*>(form->Combo1->lineEdit())}) {
        QAccessibleInterface* item = QAccessible::queryAccessibleInterface(page);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->text(QAccessible::Name), QStringLiteral("Page"));
    }
    for (int i = 0; i < 2; ++i) {
        form->Command2_Click();
        EXPECT_EQ(form->Command2->accessibleName(), form->Command2->text());
    }
    for (QAbstractButton* b : form->findChildren<QAbstractButton*>()) {
        if (b->isVisibleTo(form.get())) {
            EXPECT_FALSE(b->accessibleName().isEmpty()) << b->text().toStdString();
        }
    }
}

// What a screen reader reads of a drop-down: its role, value, actions, and its children with
// theirs, down to the list's items.
QStringList accessibleTree(QAccessibleInterface* item) {
    QStringList lines{QStringLiteral("%1 value=%2 actions=%3")
                          .arg(int(item->role()))
                          .arg(item->text(QAccessible::Value),
                               item->actionInterface()
                                   ? item->actionInterface()->actionNames().join(u',')
                                   : QString())};
    for (int i = 0; i < item->childCount(); ++i) {
        QAccessibleInterface* child = item->child(i);
        lines << QStringLiteral("child %1: role %2, %3 children, parent %4, index %5")
                     .arg(i)
                     .arg(int(child->role()))
                     .arg(child->childCount())
                     .arg(child->parent() && child->parent()->object() == item->object())
                     .arg(item->indexOfChild(child));
        for (int k = 0; k < child->childCount(); ++k)
            lines << QStringLiteral("  item %1: %2")
                         .arg(k)
                         .arg(child->child(k)->text(QAccessible::Name));
    }
    return lines;
}

TEST_F(Form2Load, ThePageListIsBrowsableLikeAnyDropDownAndNamedPage) {
    start();
    loadTyped(makeSite(QStringLiteral("site")));
    QAccessibleInterface* pageList = QAccessible::queryAccessibleInterface(form->Combo1);
    ASSERT_NE(pageList, nullptr);
    EXPECT_EQ(pageList->text(QAccessible::Name), QStringLiteral("Page"));

    // Qt's own drop-down with the same items, for everything but the name.
    QComboBox plain;
    plain.setEditable(true);
    plain.addItems(entries());
    plain.setCurrentIndex(form->Combo1->currentIndex());
    const QStringList tree = accessibleTree(pageList);
    EXPECT_EQ(tree, accessibleTree(QAccessible::queryAccessibleInterface(&plain)));
    EXPECT_TRUE(tree.contains(QStringLiteral("  item 0: ") + work("a.htm")))
        << tree.join('\n').toStdString();
    EXPECT_TRUE(tree.contains(QStringLiteral("  item 2: ") + work("c.htm")));
    EXPECT_EQ(pageList->text(QAccessible::Value), work("c.htm"));

    // Choosing another page by keyboard changes the value.
    form->Combo1->setFocus();
    QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    QCoreApplication::sendEvent(form->Combo1, &up);
    EXPECT_EQ(pageList->text(QAccessible::Value), work("b.html"));
}

} // namespace
