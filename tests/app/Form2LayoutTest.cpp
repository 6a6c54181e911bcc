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

// Narrower than designed, the help link and the Convert button stay inside the window (less a
// window manager's borders) and clear of the buttons; at the design width nothing moves.
TEST(Form2Layout, NarrowerThanDesignedHelpAndConvertStayInsideAndClear) {
    for (double outer : {Form2Layout::kMinimumWidth, 12000.0, 1280.0 * 15, 1366.0 * 15}) {
        SCOPED_TRACE(outer);
        Form2Layout layout;
        layout.applyResizeRules(outer);
        layout.fitWidth(outer, 3450);
        EXPECT_LE(layout.helpLink.right(), outer - 120);
        EXPECT_LE(layout.convertButton.right(), outer - 120);
        EXPECT_GE(layout.convertButton.width(), 3450);
        EXPECT_GE(layout.helpLink.left(), layout.editButton.right() + 100);
        EXPECT_DOUBLE_EQ(layout.loadButton.left(), layout.pageList.right() + 100);
    }
    Form2Layout designed;
    designed.applyResizeRules(Form2Layout::kDesignWidth);
    Form2Layout fitted = designed;
    fitted.fitWidth(Form2Layout::kDesignWidth, 3450);
    for (auto [now, was] : {std::pair{fitted.helpLink, designed.helpLink},
                            std::pair{fitted.convertButton, designed.convertButton},
                            std::pair{fitted.pageList, designed.pageList}})
        EXPECT_EQ(now, was);
}

// Shorter than designed, only the browser gives up height: what lies below moves up together
// and keeps its margin to the bottom, also on a screen shorter than the smallest window.
TEST(Form2Layout, ShorterThanDesignedOnlyTheBrowserGivesUpHeight) {
    const Form2Layout design;
    for (double client : {Form2Layout::kDesignHeight, Form2Layout::kMinimumHeight, 564.0 * 15}) {
        SCOPED_TRACE(client);
        Form2Layout layout;
        layout.fitHeight(client);
        const double raised = Form2Layout::kDesignHeight - client;
        EXPECT_DOUBLE_EQ(layout.browser.bottom(), design.browser.bottom() - raised);
        for (auto [now, was] : {std::pair{layout.pagesFrame, design.pagesFrame},
                                std::pair{layout.convertButton, design.convertButton},
                                std::pair{layout.shortcutsFrame, design.shortcutsFrame}})
            EXPECT_EQ(now, was.translated(0, -raised));
    }
    // The smallest window, with a title bar, fits a 1280x720 screen less a 40-pixel panel.
    EXPECT_LE(TwipsScale().toPixels(Form2Layout::kMinimumHeight), 640);
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
    EXPECT_LE(form->lblHelp->geometry().right(), width - 120 / 15); // pulled inside
    EXPECT_GE(form->minimumWidth(), 11100 / 15);
}

} // namespace
