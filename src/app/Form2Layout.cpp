#include "Form2Layout.h"

#include <QtGlobal>

namespace {

constexpr float kGap = 100.0f;
// A window manager's border, as far from the edge as the design keeps the help link.
constexpr double kBorderRoom = 120;

float rightOf(const QRectF& r) {
    return float(r.left()) + float(r.width()) + kGap;
}

} // namespace

void Form2Layout::applyResizeRules(double outerWidth) {
    const float w = float(outerWidth);
    browser.setWidth(w - 1000.0f);
    shortcutsFrame.setWidth(w - 1000.0f);
    pagesFrame.setWidth(w - 1000.0f);
    pageList.setWidth(w / 3.0f);
    loadButton.moveLeft(rightOf(pageList));
    setFrontButton.moveLeft(rightOf(loadButton));
    setDownloadButton.moveLeft(rightOf(setFrontButton));
    editButton.moveLeft(rightOf(setDownloadButton));
    helpLink.moveLeft(rightOf(hiddenButton));
}

void Form2Layout::fitHeight(double clientHeight) {
    // A screen shorter than the smallest window still shows all below the browser.
    const double missing =
        qBound(0.0, kDesignHeight - clientHeight, browser.height() - kSmallestBrowser);
    browser.setHeight(browser.height() - missing);
    for (QRectF* below : {&pagesFrame, &convertButton, &shortcutsFrame})
        below->translate(0, -missing);
}

void Form2Layout::fitWidth(double outerWidth, double convertMinimumWidth) {
    const double edge = outerWidth - kBorderRoom;
    if (helpLink.right() > edge)
        helpLink.moveRight(edge);
    const double overlap = editButton.right() + kGap - helpLink.left();
    if (overlap > 0) {
        pageList.setWidth(pageList.width() - overlap);
        for (QRectF* button : {&loadButton, &setFrontButton, &setDownloadButton, &editButton})
            button->translate(-overlap, 0);
    }
    const double room = pagesFrame.right() - convertButton.left();
    if (room < convertButton.width()) {
        convertButton.setWidth(qMin(convertButton.width(), qMax(convertMinimumWidth, room)));
        convertButton.moveRight(pagesFrame.right());
    }
}
