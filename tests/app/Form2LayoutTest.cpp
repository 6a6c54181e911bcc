#include "app/Form2Layout.h"
#include "Form2Fixture.h"

#include <QGroupBox>
#include <QPushButton>

namespace {

TEST(Form2Layout, StretchesWithTheWindowAndChainsTheButtons) {
    Form2Layout layout;
    layout.applyResizeRules(16395);
    EXPECT_DOUBLE_EQ(layout.browser.width(), 15395);
    EXPECT_DOUBLE_EQ(layout.shortcutsFrame.width(), 15395);
    EXPECT_DOUBLE_EQ(layout.pagesFrame.width(), 15395);
    EXPECT_DOUBLE_EQ(layout.pageList.width(), 5465);
    EXPECT_DOUBLE_EQ(layout.loadButton.left(), 405 + 5465 + 100);
    EXPECT_DOUBLE_EQ(layout.setFrontButton.left(), layout.loadButton.right() + 100);
    EXPECT_DOUBLE_EQ(layout.setDownloadButton.left(), layout.setFrontButton.right() + 100);
    EXPECT_DOUBLE_EQ(layout.editButton.left(), layout.setDownloadButton.right() + 100);
    EXPECT_DOUBLE_EQ(layout.helpLink.left(), 19645);

    const Form2Layout before = layout;
    layout.applyResizeRules(16395 + 3000);
    EXPECT_DOUBLE_EQ(layout.pageList.width(), before.pageList.width() + 1000);
    for (auto [now, was] : {std::pair{layout.loadButton, before.loadButton},
                            std::pair{layout.setFrontButton, before.setFrontButton},
                            std::pair{layout.setDownloadButton, before.setDownloadButton},
                            std::pair{layout.editButton, before.editButton}})
        EXPECT_DOUBLE_EQ(now.left(), was.left() + 1000);
    EXPECT_DOUBLE_EQ(layout.helpLink.left(), 19645);
    EXPECT_DOUBLE_EQ(layout.browser.top(), 1440); // nothing else moves
}

TEST(Form2Layout, AtTheMinimumWidthNothingIsNegativeAndTheButtonsStayInside) {
    Form2Layout layout;
    layout.applyResizeRules(Form2Layout::kMinimumWidth);
    EXPECT_GT(layout.browser.width(), 0);
    EXPECT_LE(layout.editButton.right(), Form2Layout::kMinimumWidth);
}

using Form2Window = Form2Fixture;

TEST_F(Form2Window, ResizingTheWindowFollowsTheRulesAndRespectsTheMinimum) {
    start();
    form->resize(1200, 720);
    form->Form_Resize();
    const int width = form->frameGeometry().width();
    EXPECT_NEAR(form->frSelected->width(), width - 1000 / 15, 1);
    EXPECT_NEAR(form->Combo1->width(), width / 3, 1);
    EXPECT_NEAR(form->Command5->x(), form->Combo1->geometry().right() + 1 + 100 / 15, 1);
    EXPECT_NEAR(form->lblHelp->x(), 19645 / 15, 1);
    EXPECT_GE(form->minimumWidth(), 11100 / 15);
}

} // namespace
