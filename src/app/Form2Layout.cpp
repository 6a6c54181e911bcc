#include "Form2Layout.h"

namespace {

float rightOf(const QRectF& r) {
    return float(r.left()) + float(r.width()) + 100.0f;
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
