#include "editor/frmQuickHelp.h"
#include "support/TempFolder.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QScrollArea>
#include <gtest/gtest.h>
#include <memory>
#include <utility>
#include <vector>

namespace {

class frmQuickHelpTest : public ::testing::Test {
protected:
    std::unique_ptr<frmQuickHelp> open() {
        auto window = std::make_unique<frmQuickHelp>(marker);
        window->show();
        return window;
    }

    TempFolder program;
    QString marker = program / QStringLiteral("save.alt");
};

TEST_F(frmQuickHelpTest, WithoutMarkerOpensUntickedAndTickingCreatesIt) {
    auto window = open();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quick Help"));
    EXPECT_FALSE(window->Check1->isChecked());

    window->Check1->click();
    window->Command1->click();
    EXPECT_EQ(readBytes(marker), QByteArray("Text1"));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Accepted);
}

TEST_F(frmQuickHelpTest, WithoutMarkerCloseLeavesItAbsent) {
    auto window = open();
    window->Command1->click();
    EXPECT_FALSE(QFileInfo::exists(marker));
    EXPECT_FALSE(window->isVisible());
}

TEST_F(frmQuickHelpTest, WithMarkerOpensTickedAndUntickingDeletesIt) {
    program.write(QStringLiteral("save.alt"), "anything");
    auto window = open();
    EXPECT_TRUE(window->Check1->isChecked());

    window->Check1->click();
    window->Command1->click();
    EXPECT_FALSE(QFileInfo::exists(marker));
    EXPECT_FALSE(window->isVisible());
}

TEST_F(frmQuickHelpTest, CloseWithMarkerUnchangedRewritesIt) {
    program.write(QStringLiteral("save.alt"), "old content that is longer");
    auto window = open();
    window->Command1->click();
    EXPECT_EQ(readBytes(marker), QByteArray("Text1"));
}

TEST_F(frmQuickHelpTest, LeavingOtherwiseKeepsTheMarkerAsItWas) {
    {
        auto window = open();
        window->Check1->click();
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &esc);
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(window->result(), QDialog::Rejected);
        EXPECT_FALSE(QFileInfo::exists(marker));
    }
    program.write(QStringLiteral("save.alt"), "kept");
    {
        auto window = open();
        window->Check1->click();
        window->close();
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(readBytes(marker), QByteArray("kept"));
    }
}

TEST_F(frmQuickHelpTest, MarkerFolderMissingKeepsWindowOpenWithTheReason) {
    marker = program / QStringLiteral("gone/save.alt");
    auto window = open();
    EXPECT_TRUE(window->lblMarkerError->isHidden());
    window->Check1->click();
    window->Command1->click();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->lblMarkerError->isHidden());
    EXPECT_TRUE(window->lblMarkerError->text().contains(marker))
        << window->lblMarkerError->text().toStdString();
    EXPECT_FALSE(QFileInfo::exists(marker));

    // Unticking needs nothing deleted, so the window can go.
    window->Check1->click();
    window->Command1->click();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(frmQuickHelpTest, MarkerThatCannotBeDeletedKeepsWindowOpen) {
    const QString path = program.write(QStringLiteral("save.alt"), "Text1");
    if (!makeUndeletable(path))
        GTEST_SKIP() << "cannot make a file undeletable here";
    auto window = open();
    window->Check1->click();
    window->Command1->click();
    const bool stillOpen = window->isVisible();
    const QString reason = window->lblMarkerError->text();
    makeDeletable(path);
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(reason.contains(path)) << reason.toStdString();
    EXPECT_TRUE(QFileInfo::exists(path));
}

// Widgets in layout order, the scrolled content included.
void collect(QLayout* layout, std::vector<QWidget*>& out) {
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (QLayout* inner = item->layout())
            collect(inner, out);
        else if (auto* scroll = qobject_cast<QScrollArea*>(item->widget()))
            collect(scroll->widget()->layout(), out);
        else if (QWidget* w = item->widget())
            out.push_back(w);
    }
}

QString caption(QWidget* w) {
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    return {};
}

TEST_F(frmQuickHelpTest, ContentComesInOrderWithItsTexts) {
    frmQuickHelp window(marker);
    std::vector<QWidget*> widgets;
    collect(window.layout(), widgets);

    std::vector<std::pair<QString, QString>> shown;
    for (QWidget* w : widgets)
        if (!w->isHidden())
            shown.emplace_back(w->objectName(), caption(w));

    const std::vector<std::pair<QString, QString>> expected = {
        {"Label2", "Software Requirements"},
        {"Label1", "To use this software your computer needs the web engine that comes with it; "
                   "nothing else needs to be installed."},
        {"Label4", "Using the Software"},
        {"Label11", "Using the software it's really easy: First, open a folder containing an HTML "
                    "sales page (most sellers of resell-rights products provide a reseller website "
                    "containing a sales page and a download page)."},
        {"Label16", "Make sure that the download files (like a .pdf file etc), are included in "
                    "this folder so they're also added to the plugin."},
        {"Label17", "Telling the Software which is Your Front-End Page and which is your Download "
                    "Page."},
        {"Label3", "After this, use the drop-down selector, select your front-end page (usually "
                   "index.html or index.htm) and click the \"Set as Front-End Page\" button."},
        {"Label12", "Then, use the drop-down selector again, select your download page (the name "
                    "of the page will usually start with \"download\" but it may have another "
                    "name) and click the \"Set as Download Page\" button."},
        {"Label13", "Adding Tags to Your Front-End Page and to Your Sales Page."},
        {"Label7", "The software requires that you add the following text to your front-end page: "
                   "#FRONT# "},
        {"Label14", "To do this, go to your front-end page, click the \"Edit Page\" button, click "
                    "where you want to insert a \"Buy Button\" (or autoresponder form - if you're "
                    "using a lead magnet page), enter the #FRONT# and save the page."},
        {"Label15", "We'll do the same with the download page but here we'll enter the #BACK# "
                    "tag. Please read the user manual for more info."},
        {"Label5", "Some pages may look different in this browser than how you see them under "
                   "Google Chrome or Firefox and it's ok."},
        {"Label6", "This software doesn't replace a web design tool. It's main goal is to help you "
                   "to quickly prepara your pages to covert them to WordPress."},
        {"Label8", "Problems to Save Your Page?"},
        {"Label9", "If you click the \"Save / Discard Changes\" button and nothing happens, then "
                   "please enable the following option and retry."},
        {"Check1", "Yes, I'm Experiencing This."},
        {"Label10", "Please >> Only enable this option if you click that button and nothing "
                    "happens (the software doesn't give you an option to save or discard the "
                    "changes)."},
        {"Command1", "Close"},
    };
    ASSERT_EQ(shown.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(shown[i].first, expected[i].first) << "at " << i;
        EXPECT_EQ(shown[i].second, expected[i].second) << "at " << i;
    }

    // Texts with '#', '>>' and quotes must show as written, not as markup.
    for (auto* label : window.findChildren<QLabel*>()) {
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
        EXPECT_TRUE(label->wordWrap()) << label->objectName().toStdString();
    }
    EXPECT_TRUE(window.Label2->font().bold());
    EXPECT_TRUE(window.Check1->font().bold());
    EXPECT_FALSE(window.Label1->font().bold());
}

TEST_F(frmQuickHelpTest, EveryReachableControlHasItsCaptionAsAccessibleName) {
    frmQuickHelp window(marker);
    EXPECT_EQ(window.Check1->accessibleName(), window.Check1->text());
    EXPECT_EQ(window.Command1->accessibleName(), QStringLiteral("Close"));
    for (auto* w : window.findChildren<QWidget*>())
        if (w->focusPolicy() & Qt::TabFocus) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->metaObject()->className();
        }
}

TEST_F(frmQuickHelpTest, FitsTheScreenAndScrollsInsteadOfGrowing) {
    frmQuickHelp window(marker);
    window.show();
    EXPECT_LE(window.height(), 720);
    EXPECT_EQ(window.minimumWidth(), window.maximumWidth());
    EXPECT_EQ(window.scroller->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_TRUE(window.scroller->widget()->isAncestorOf(window.Check1));
    EXPECT_FALSE(window.scroller->isAncestorOf(window.Command1));
}

} // namespace
